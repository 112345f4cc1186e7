// Runs one piece of window work at a time (a table page, a document list, a
// save) on a worker thread under the running rule: processRunning is set
// before the worker starts and cleared when its work returns, and the work's
// completion is handed to the window thread without making either side
// wait.
//
// Stop clears processRunning at once while the stopped worker may still be
// finishing, possibly blocked in a synchronous call to the window. The
// runner therefore stays busy until the worker's completion has arrived on
// the window thread: only then is the thread joined (it has nothing left to
// do) and new work accepted. The window never waits for a worker.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "scan/application_state.h"

namespace quill {

class WorkRunner {
 public:
  // Delivers a call to the window thread and returns at once.
  using Post = std::function<void(std::function<void()>)>;

  WorkRunner(ApplicationState& state, Post post) : state_(state), post_(std::move(post)) {}
  // Joins a worker still running; the owner makes sure it does not wait for
  // the destroying thread.
  ~WorkRunner();
  WorkRunner(const WorkRunner&) = delete;
  WorkRunner& operator=(const WorkRunner&) = delete;

  // Starts `work` on a worker; `completion` then runs on the window thread.
  // False (nothing started) while processRunning is set or a worker's
  // completion is still to come. Called on the window thread.
  bool Start(std::function<void()> work, std::function<void()> completion);

  // True from Start until the completion has run.
  bool active() const { return active_.load(); }

 private:
  ApplicationState& state_;
  Post post_;
  std::thread worker_;
  std::atomic<bool> active_{false};
};

}  // namespace quill
