// The engine's ScanUi on the main window: progress, status texts, output
// lines, boxes, the two trees and the caption, each carried out on the
// window thread while the calling worker waits.
#pragma once

#include <functional>

#include "scan/scan_ui.h"
#include "ui/tree_widget_control.h"

namespace quill::ui {

class CMainFrame;

class WindowScanUi final : public ScanUi {
 public:
  WindowScanUi(CMainFrame& window, TreeWidgetControl& object_tree, TreeWidgetControl& document_tree)
      : window_(window), objectTree_(object_tree), documentTree_(document_tree) {}

  void ProgressRange(uint64_t upper) override;
  void ProgressPos(uint64_t position) override;
  void StatusText(const std::string& text) override;
  void ScanError(const std::string& text) override;
  void OutputLine(int32_t index, const std::string& text) override;
  void ReplaceOutputLine(int32_t index, const std::string& text) override;
  void MessageBox(const std::string& text, BoxIcon icon) override;
  TreeControl& ObjectTree() override { return objectTree_; }
  TreeControl& DocumentTree() override { return documentTree_; }
  void ArrangeForRecoveryOption(RecoveryOption option) override;
  void PrepareViewForScan(const std::string& path) override;
  void HideProgressPanel() override;
  void SetCaption(const std::string& text) override;

 private:
  CMainFrame& window_;
  TreeWidgetControl& objectTree_;
  TreeWidgetControl& documentTree_;
};

}  // namespace quill::ui
