#include "support/progress_recorder.h"

#include <algorithm>

namespace quill::testing {

std::vector<std::string> ProgressRecorder::Texts() const {
  std::vector<std::string> texts;
  for (const auto& m : messages) {
    if (m.id == MSG_STATUS_TEXT || m.id == MSG_SCAN_ERROR) texts.push_back(m.text);
  }
  return texts;
}

std::vector<std::string> ProgressRecorder::Errors() const {
  std::vector<std::string> texts;
  for (const auto& m : messages) {
    if (m.id == MSG_SCAN_ERROR) texts.push_back(m.text);
  }
  return texts;
}

size_t ProgressRecorder::Count(int id) const {
  return static_cast<size_t>(
      std::count_if(messages.begin(), messages.end(), [id](const auto& m) { return m.id == id; }));
}

}  // namespace quill::testing
