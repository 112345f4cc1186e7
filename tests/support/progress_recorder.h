// A ProgressSink that records every message in order, for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/progress_sink.h"

namespace quill::testing {

struct RecordedMessage {
  int id = 0;           // MSG_PROGRESS_RANGE, MSG_STATUS_TEXT, ...
  uint64_t value = 0;   // range upper bound or position
  std::string text;     // status or error text

  friend bool operator==(const RecordedMessage&, const RecordedMessage&) = default;
};

class ProgressRecorder final : public ProgressSink {
 public:
  void ProgressRange(uint64_t upper) override { messages.push_back({MSG_PROGRESS_RANGE, upper, {}}); }
  void ProgressPos(uint64_t position) override { messages.push_back({MSG_PROGRESS_POS, position, {}}); }
  void StatusText(const std::string& text) override { messages.push_back({MSG_STATUS_TEXT, 0, text}); }
  void ScanError(const std::string& text) override { messages.push_back({MSG_SCAN_ERROR, 0, text}); }

  // The texts of status and error messages, in order.
  std::vector<std::string> Texts() const;
  std::vector<std::string> Errors() const;
  // Number of messages of one kind.
  size_t Count(int id) const;

  std::vector<RecordedMessage> messages;
};

}  // namespace quill::testing
