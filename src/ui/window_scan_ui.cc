#include "ui/window_scan_ui.h"

#include "ui/main_window.h"
#include "ui/window_thread.h"

namespace quill::ui {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

void WindowScanUi::ProgressRange(uint64_t upper) {
  OnWindowThread(&window_, [&] { window_.SetProgressRange(upper); });
}

void WindowScanUi::ProgressPos(uint64_t position) {
  OnWindowThread(&window_, [&] { window_.SetProgressPos(position); });
}

void WindowScanUi::StatusText(const std::string& text) {
  OnWindowThread(&window_, [&] { window_.SetStatusText(Text(text)); });
}

void WindowScanUi::ScanError(const std::string& text) {
  OnWindowThread(&window_, [&] { window_.OnScanError(Text(text)); });
}

void WindowScanUi::OutputLine(int32_t index, const std::string& text) {
  OnWindowThread(&window_, [&] { window_.outputPane()->InsertLine(index, Text(text)); });
}

void WindowScanUi::ReplaceOutputLine(int32_t index, const std::string& text) {
  OnWindowThread(&window_, [&] { window_.outputPane()->ReplaceLine(index, Text(text)); });
}

void WindowScanUi::MessageBox(const std::string& text, BoxIcon icon) {
  OnWindowThread(&window_, [&] {
    window_.prompter().Inform(&window_, Text(text),
                              icon == BoxIcon::kStop ? Prompter::Icon::kStop : Prompter::Icon::kInformation);
  });
}

void WindowScanUi::ArrangeForRecoveryOption(RecoveryOption option) {
  OnWindowThread(&window_, [&] { window_.ArrangeTrees(option == RecoveryOption::kDocument); });
}

void WindowScanUi::PrepareViewForScan(const std::string& path) {
  OnWindowThread(&window_, [&] { window_.PrepareViewForScan(Text(path)); });
}

void WindowScanUi::HideProgressPanel() {
  OnWindowThread(&window_, [&] { window_.recordPanel()->ShowProgressPanel(false); });
}

void WindowScanUi::SetCaption(const std::string& text) {
  OnWindowThread(&window_, [&] { window_.SetCaption(Text(text)); });
}

}  // namespace quill::ui
