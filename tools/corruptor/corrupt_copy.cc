// corrupt_copy SRC DST --seed N [damage options, see --help]
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
  uint64_t cut_at_page = 0;
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
  app.add_option("--zero-runs", options.zeroRuns, "Runs of zeros written at random positions");
  app.add_option("--zero-run-bytes", options.zeroRunBytes, "Length of each run of zeros (default 4096)")
      ->check(CLI::PositiveNumber);
  app.add_option("--zero-run-alignment", options.zeroRunAlignment,
                 "Runs start at a multiple of this many bytes (default 4096; 1: anywhere)")
      ->check(CLI::PositiveNumber);
  app.add_option("--repeat-sectors", options.repeatedSectors,
                 "512-byte sectors written again over the sector after them");
  app.add_option("--swap-pages", options.swappedPagePairs, "Pairs of pages that trade places");
  app.add_option("--bit-flip-rate", options.bitFlipRate, "Probability of each bit being flipped")
      ->check(CLI::Range(0.0, kMaxBitFlipRate));
  app.add_flag("--destroy-boot-page", options.destroyBootPage, "Overwrite the boot page with random bytes");
  app.add_option("--destroy-system-pages", options.destroyedSystemPages,
                 "System table pages overwritten with random bytes");
  app.add_option("--cut-at-page", cut_at_page, "End the copy where this page would start");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }
  if (app.count("--cut-at-page") > 0) options.cutAtPage = cut_at_page;

  CopyResult result = CorruptCopy(source, destination, options);
  if (!result.ok) {
    std::cerr << result.error << '\n';
    return 1;
  }
  const CorruptionReport& report = result.report;
  std::cout << fmt::format("zeroed pages: {}\n", fmt::join(report.zeroedPages, " "));
  std::cout << fmt::format("flipped bytes: {}\n", report.flippedOffsets.size());
  std::cout << fmt::format("torn sectors: {}\n", report.tornSectorOffsets.size());
  std::cout << "zeroed runs:";
  for (const ByteRun& run : report.zeroedRuns) std::cout << fmt::format(" {}+{}", run.offset, run.length);
  std::cout << '\n';
  std::cout << fmt::format("repeated sectors: {}\n", fmt::join(report.repeatedSectorOffsets, " "));
  std::cout << "swapped pages:";
  for (const auto& [a, b] : report.swappedPages) std::cout << fmt::format(" {}<->{}", a, b);
  std::cout << '\n';
  std::cout << fmt::format("flipped bits: {}\n", report.flippedBitOffsets.size());
  std::cout << fmt::format("destroyed pages: {}\n", fmt::join(report.destroyedPages, " "));
  std::cout << fmt::format("bytes cut: {}\n", report.bytesCut);
  std::cout << fmt::format("garbage prefix: {}\n", report.garbagePrefix ? "yes" : "no");
  std::cout << fmt::format("pages touched: {}\n", fmt::join(report.touchedPages, " "));
  return 0;
}
