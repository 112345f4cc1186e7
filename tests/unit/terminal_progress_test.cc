#include "cli/terminal_progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace quill {
namespace {

std::string Written(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f)) text.push_back(static_cast<char>(c));
  return text;
}

TEST(TerminalProgress, PrintsStatusLinesAndDrawsTheBarOnlyWhenAsked) {
  std::FILE* plain_out = std::tmpfile();
  ASSERT_NE(plain_out, nullptr);
  {
    TerminalProgress plain(plain_out, /*draw_bar=*/false);
    plain.ProgressRange(10);
    plain.ProgressPos(5);
    plain.StatusText("Mapping Database Objects...........");
    plain.ScanError("File cannot be open...........");
  }
  EXPECT_EQ(Written(plain_out), "Mapping Database Objects...........\nFile cannot be open...........\n");
  std::fclose(plain_out);

  std::FILE* bar_out = std::tmpfile();
  ASSERT_NE(bar_out, nullptr);
  {
    TerminalProgress bar(bar_out, /*draw_bar=*/true);
    bar.ProgressRange(200);
    bar.ProgressPos(100);
  }
  const std::string drawn = Written(bar_out);
  EXPECT_NE(drawn.find(" 50%"), std::string::npos);
  EXPECT_NE(drawn.find("[####################                    ]"), std::string::npos);
  std::fclose(bar_out);
}

}  // namespace
}  // namespace quill
