// What a scan asks of the user interface: the page layer's progress
// messages, output lines, message boxes, the two trees and the few changes
// to the window a scan makes. Every call is synchronous: the interface has
// handled it when the call returns, so the scan thread and the window stay
// in step. The desktop application implements it with blocking queued
// signals; the command-line tool and the tests implement it directly.
#pragma once

#include <cstdint>
#include <string>

#include "scan/application_state.h"
#include "common/progress_sink.h"
#include "common/tree_control.h"

namespace quill {

// Numeric id of the output-line message, beside the page layer's ones.
inline constexpr int MSG_OUTPUT_LINE = 1207;

enum class BoxIcon { kInformation, kStop };

class ScanUi : public ProgressSink {
 public:
  // MSG_OUTPUT_LINE: shows one output line (UTF-8) as line `index` of the
  // output pane. Numbering and the log file are AddOutputLine's (run_log.h).
  virtual void OutputLine(int32_t index, const std::string& text) = 0;
  // Replaces the text of output line `index` in place (a running count).
  // A face without a pane keeps nothing to replace.
  virtual void ReplaceOutputLine(int32_t /*index*/, const std::string& /*text*/) {}
  // A message box; returns when the user has closed it.
  virtual void MessageBox(const std::string& text, BoxIcon icon) = 0;
  // The object tree and the document tree.
  virtual TreeControl& ObjectTree() = 0;
  virtual TreeControl& DocumentTree() = 0;
  // Shows the object tree for kCompletedDatabase and the document tree for
  // kDocument.
  virtual void ArrangeForRecoveryOption(RecoveryOption option) = 0;
  // A scan starts: the trees, the record panel's labels and record list are
  // emptied, `path` shown in the caption label and the progress panel shown.
  virtual void PrepareViewForScan(const std::string& path) = 0;
  virtual void HideProgressPanel() = 0;
  // The caption label above the record list.
  virtual void SetCaption(const std::string& text) = 0;
};

}  // namespace quill
