// Where a long-running pass reports its progress: the four messages of the
// page layer. Calls are synchronous and arrive in the order they are made;
// the receiver handles each one before the pass goes on.
#pragma once

#include <cstdint>
#include <string>

namespace quill {

// Numeric ids of the messages, kept from the window messages they replace so
// that logs and recorders can name them the same way.
inline constexpr int MSG_PROGRESS_RANGE = 1028;
inline constexpr int MSG_STATUS_TEXT = 1029;
inline constexpr int MSG_SCAN_ERROR = 1030;
inline constexpr int MSG_PROGRESS_POS = 1180;

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;

  // MSG_PROGRESS_RANGE: progress back to 0 with the range 0..upper.
  virtual void ProgressRange(uint64_t upper) = 0;
  // MSG_PROGRESS_POS: the current position inside the range.
  virtual void ProgressPos(uint64_t position) = 0;
  // MSG_STATUS_TEXT: a status line (UTF-8).
  virtual void StatusText(const std::string& text) = 0;
  // MSG_SCAN_ERROR: a failure that ends the pass, shown to the user (UTF-8).
  virtual void ScanError(const std::string& text) = 0;
};

// A sink that drops everything; used when nobody watches a pass.
class NullProgressSink final : public ProgressSink {
 public:
  void ProgressRange(uint64_t) override {}
  void ProgressPos(uint64_t) override {}
  void StatusText(const std::string&) override {}
  void ScanError(const std::string&) override {}
};

}  // namespace quill
