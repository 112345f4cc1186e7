// The running rule of window work: one worker at a time, refused while a
// stopped worker's completion is still to come, and a completion that runs
// on the posting side's thread.
#include "scan/work_runner.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>

namespace quill {
namespace {

// Stands in for the window thread's event queue.
class PostQueue {
 public:
  void Post(std::function<void()> call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
    posted_.notify_all();
  }
  // Waits for one posted call and runs it here.
  void RunOne() {
    std::unique_lock<std::mutex> lock(mutex_);
    posted_.wait(lock, [this] { return !calls_.empty(); });
    auto call = std::move(calls_.front());
    calls_.pop_front();
    lock.unlock();
    call();
  }

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> calls_;
};

class Gate {
 public:
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    cv_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = false;
};

TEST(WorkRunnerTest, RefusesNewWorkUntilTheStoppedWorkersCompletionHasArrived) {
  ApplicationState state;
  PostQueue queue;
  WorkRunner runner(state, [&](std::function<void()> call) { queue.Post(std::move(call)); });
  Gate gate;
  bool completed = false;
  ASSERT_TRUE(runner.Start([&] { gate.Wait(); }, [&] { completed = true; }));
  EXPECT_TRUE(state.processRunning.load());
  EXPECT_FALSE(runner.Start([] {}, [] {})) << "a worker runs";

  // Stop clears the flag at once; the worker has not ended.
  state.processRunning = false;
  state.abortRequested.RequestStop();
  EXPECT_FALSE(runner.Start([] {}, [] {})) << "the stopped worker has not delivered its completion";
  EXPECT_TRUE(runner.active());

  gate.Open();
  queue.RunOne();
  EXPECT_TRUE(completed);
  EXPECT_FALSE(runner.active());
  EXPECT_FALSE(state.processRunning.load());

  bool second = false;
  ASSERT_TRUE(runner.Start([] {}, [&] { second = true; }));
  queue.RunOne();
  EXPECT_TRUE(second);
}

TEST(WorkRunnerTest, RefusedWhileAnotherProcessRuns) {
  ApplicationState state;
  PostQueue queue;
  WorkRunner runner(state, [&](std::function<void()> call) { queue.Post(std::move(call)); });
  state.processRunning = true;  // a scan
  bool ran = false;
  EXPECT_FALSE(runner.Start([&] { ran = true; }, [] {}));
  EXPECT_FALSE(runner.active());
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace quill
