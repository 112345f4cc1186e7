#include "cli/cli_scan_ui.h"

#include <fmt/format.h>

#include <cstdio>

namespace quill {

void CliScanUi::OutputLine(int32_t index, const std::string& text) {
  out_ << fmt::format("{:>4}  {}\n", index, text);
  out_.flush();
}

void CliScanUi::MessageBox(const std::string& text, BoxIcon icon) {
  std::fprintf(stderr, "%s\n", text.c_str());
  if (icon == BoxIcon::kStop) lastError_ = text;
}

}  // namespace quill
