// The stop request of a run. The front end owns a StopSource (its Stop
// command sets it); every loop over pages, links, chains and records polls
// the StopToken it was handed. A default token never asks to stop: work
// started without a front end (a command-line read, a test) runs to its end.
#pragma once

#include <atomic>

namespace quill {

class StopToken {
 public:
  StopToken() = default;
  explicit StopToken(const std::atomic<bool>* flag) : flag_(flag) {}

  bool stopRequested() const { return flag_ != nullptr && flag_->load(std::memory_order_relaxed); }

 private:
  const std::atomic<bool>* flag_ = nullptr;
};

// The flag behind the tokens of one front end. Set from the window thread,
// read from the worker; it can be cleared between stages (the mapping pass
// ends on a stop and the scan goes on with what it mapped). Must outlive
// every token it hands out.
class StopSource {
 public:
  void RequestStop() { requested_.store(true, std::memory_order_relaxed); }
  void Clear() { requested_.store(false, std::memory_order_relaxed); }
  bool stopRequested() const { return requested_.load(std::memory_order_relaxed); }
  StopToken token() const { return StopToken(&requested_); }

 private:
  std::atomic<bool> requested_{false};
};

}  // namespace quill
