#include "cli/terminal_progress.h"

#include <unistd.h>

#include <algorithm>

namespace quill {

namespace {
constexpr int kBarWidth = 40;
}

TerminalProgress::TerminalProgress(std::FILE* out, bool draw_bar) : out_(out), drawBar_(draw_bar) {}

TerminalProgress::~TerminalProgress() { ClearBar(); }

TerminalProgress TerminalProgress::ForStderr() {
  return TerminalProgress(stderr, ::isatty(STDERR_FILENO) == 1);
}

void TerminalProgress::ClearBar() {
  if (!barShown_) return;
  std::fprintf(out_, "\r%*s\r", kBarWidth + 16, "");
  std::fflush(out_);
  barShown_ = false;
}

void TerminalProgress::DrawBar() {
  if (!drawBar_ || upper_ == 0) return;
  const uint64_t shown = std::min(position_, upper_);
  const int filled = static_cast<int>(shown * kBarWidth / upper_);
  std::fprintf(out_, "\r[%.*s%*s] %3d%%", filled, "########################################",
               kBarWidth - filled, "", static_cast<int>(shown * 100 / upper_));
  std::fflush(out_);
  barShown_ = true;
}

void TerminalProgress::ProgressRange(uint64_t upper) {
  upper_ = upper;
  position_ = 0;
  DrawBar();
}

void TerminalProgress::ProgressPos(uint64_t position) {
  position_ = position;
  DrawBar();
}

void TerminalProgress::StatusText(const std::string& text) {
  ClearBar();
  std::fprintf(out_, "%s\n", text.c_str());
  DrawBar();
}

void TerminalProgress::ScanError(const std::string& text) {
  ClearBar();
  std::fprintf(out_, "%s\n", text.c_str());
}

}  // namespace quill
