// A ScanUi that records every call in order, with in-memory trees, for
// tests of the scan and of what it shows.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "scan/memory_tree.h"
#include "scan/scan_ui.h"

namespace quill::testing {

class ScanUiRecorder final : public ScanUi {
 public:
  struct Box {
    std::string text;
    BoxIcon icon;
  };

  void ProgressRange(uint64_t) override { ++progressCalls; }
  void ProgressPos(uint64_t) override { ++progressCalls; }
  void StatusText(const std::string& text) override {
    Record("status: " + text);
    if (onStatus) onStatus(text);
  }
  void ScanError(const std::string& text) override { Record("error: " + text); }
  void OutputLine(int32_t index, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lineNumbers.push_back(index);
    lines.push_back(text);
    events.push_back("line: " + text);
  }
  void MessageBox(const std::string& text, BoxIcon icon) override {
    std::lock_guard<std::mutex> lock(mutex_);
    boxes.push_back({text, icon});
    events.push_back("box: " + text);
  }
  TreeControl& ObjectTree() override { return objectTree; }
  TreeControl& DocumentTree() override { return documentTree; }
  void ArrangeForRecoveryOption(RecoveryOption option) override { arrangedFor = option; }
  void PrepareViewForScan(const std::string& path) override { Record("prepare: " + path); }
  void HideProgressPanel() override { Record("hide progress"); }
  void SetCaption(const std::string& text) override { caption = text; }

  // Every call but progress, in order.
  std::vector<std::string> events;
  std::vector<std::string> lines;
  std::vector<int32_t> lineNumbers;
  std::vector<Box> boxes;
  int progressCalls = 0;
  RecoveryOption arrangedFor = RecoveryOption::kDocument;
  std::string caption;
  MemoryTree objectTree;
  MemoryTree documentTree;
  // Called on every status text, on the scan thread.
  std::function<void(const std::string&)> onStatus;

 private:
  void Record(const std::string& event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events.push_back(event);
  }
  std::mutex mutex_;
};

}  // namespace quill::testing
