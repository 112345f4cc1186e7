// corrupt_copy SRC DST --seed N [--zero-pages PCT] [--flip-bytes N]
//              [--truncate-bytes N] [--garbage-prefix] [--torn-sectors N]
// Writes a damaged copy of a data file and prints what was damaged. The
// source is only read.
#include <CLI/CLI.hpp>
#include <fmt/format.h>
#include <fmt/ranges.h>

#include <iostream>

#include "corruptor.h"

int main(int argc, char** argv) {
  using namespace quill::corruptor;

  CLI::App app{"Copy a data file, damaging the copy (for robustness tests)"};
  std::string source;
  std::string destination;
  CorruptionOptions options;
  app.add_option("SRC", source, "File to copy; opened read-only")->required();
  app.add_option("DST", destination, "Damaged copy to write")->required();
  app.add_option("--seed", options.seed, "Seed of every random choice")->required();
  app.add_option("--zero-pages", options.zeroPagesPercent, "Percent of the pages set to zero")
      ->check(CLI::Range(0.0, 100.0));
  app.add_option("--flip-bytes", options.flipBytes, "Number of bytes changed at random positions");
  app.add_option("--truncate-bytes", options.truncateBytes, "Bytes cut from the end");
  app.add_flag("--garbage-prefix", options.garbagePrefix, "Write 512 random bytes before page 0");
  app.add_option("--torn-sectors", options.tornSectors,
                 "Sectors replaced by stale bytes with another torn-page marker");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }

  CopyResult result = CorruptCopy(source, destination, options);
  if (!result.ok) {
    std::cerr << result.error << '\n';
    return 1;
  }
  const CorruptionReport& report = result.report;
  std::cout << fmt::format("zeroed pages: {}\n", fmt::join(report.zeroedPages, " "));
  std::cout << fmt::format("flipped bytes: {}\n", report.flippedOffsets.size());
  std::cout << fmt::format("torn sectors: {}\n", report.tornSectorOffsets.size());
  std::cout << fmt::format("bytes cut: {}\n", report.bytesCut);
  std::cout << fmt::format("garbage prefix: {}\n", report.garbagePrefix ? "yes" : "no");
  std::cout << fmt::format("pages touched: {}\n", fmt::join(report.touchedPages, " "));
  return 0;
}
