#include "scan/work_runner.h"

#include <utility>

namespace quill {

WorkRunner::~WorkRunner() {
  if (worker_.joinable()) worker_.join();
}

bool WorkRunner::Start(std::function<void()> work, std::function<void()> completion) {
  if (state_.processRunning.load() || active_.load()) return false;
  if (worker_.joinable()) worker_.join();  // ended: its completion has run
  active_.store(true);
  state_.processRunning.store(true);
  worker_ = std::thread([this, work = std::move(work), completion = std::move(completion)]() mutable {
    work();
    state_.processRunning.store(false);
    post_([this, completion = std::move(completion)] {
      if (worker_.joinable()) worker_.join();
      active_.store(false);
      if (completion) completion();
    });
  });
  return true;
}

}  // namespace quill
