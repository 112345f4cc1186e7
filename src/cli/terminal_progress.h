// The command-line progress display: status texts as lines on stderr, and a
// progress bar on stderr when stderr is a terminal.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "common/progress_sink.h"

namespace quill {

class TerminalProgress final : public ProgressSink {
 public:
  // Writes to `out` (stderr); draws the bar only when `draw_bar` is set.
  TerminalProgress(std::FILE* out, bool draw_bar);
  ~TerminalProgress() override;

  // A display for stderr that draws the bar only on a terminal.
  static TerminalProgress ForStderr();

  void ProgressRange(uint64_t upper) override;
  void ProgressPos(uint64_t position) override;
  void StatusText(const std::string& text) override;
  void ScanError(const std::string& text) override;

 private:
  void ClearBar();
  void DrawBar();

  std::FILE* out_;
  bool drawBar_;
  bool barShown_ = false;
  uint64_t upper_ = 0;
  uint64_t position_ = 0;
};

}  // namespace quill
