// The command-line tool's face of a scan: output lines numbered on stdout
// as they come, status, progress, errors and message boxes on stderr, and
// the two trees kept in memory for printing when the scan has ended.
#pragma once

#include <ostream>
#include <string>

#include "cli/terminal_progress.h"
#include "scan/memory_tree.h"
#include "scan/scan_ui.h"

namespace quill {

class CliScanUi final : public ScanUi {
 public:
  CliScanUi(std::ostream& out, ProgressSink& progress) : out_(out), progress_(progress) {}

  void ProgressRange(uint64_t upper) override { progress_.ProgressRange(upper); }
  void ProgressPos(uint64_t position) override { progress_.ProgressPos(position); }
  void StatusText(const std::string& text) override { progress_.StatusText(text); }
  void ScanError(const std::string& text) override {
    progress_.ScanError(text);
    lastError_ = text;
  }
  // "   7  text": the pane's line number, right-aligned, two spaces, text.
  void OutputLine(int32_t index, const std::string& text) override;
  // Boxes go to stderr; the last one is kept as the scan's final word.
  void MessageBox(const std::string& text, BoxIcon icon) override;
  TreeControl& ObjectTree() override { return objectTree_; }
  TreeControl& DocumentTree() override { return documentTree_; }
  void ArrangeForRecoveryOption(RecoveryOption) override {}
  void PrepareViewForScan(const std::string&) override {}
  void HideProgressPanel() override {}
  void SetCaption(const std::string&) override {}

  const MemoryTree& objectTree() const { return objectTree_; }
  const MemoryTree& documentTree() const { return documentTree_; }
  // The last error or stop-icon box text, for a failed run's stderr line.
  const std::string& lastError() const { return lastError_; }

 private:
  std::ostream& out_;
  ProgressSink& progress_;
  MemoryTree objectTree_;
  MemoryTree documentTree_;
  std::string lastError_;
};

}  // namespace quill
