// The damaged-file sweep's own parts: the child runner that tells a crash
// and a hang from a finished run, the row comparison that sorts foreign
// rows by where they came from, and the remake arguments each copy is
// reported with.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>

#include "child_run.h"
#include "corruptor.h"
#include "damage_kinds.h"
#include "database_builder.h"
#include "page_builder.h"
#include "pages/page_geometry.h"
#include "row_comparison.h"
#include "support/temp_dir.h"

namespace quill {
namespace {

using sweep::ChildEnd;

TEST(SweepChildRun, TellsFinishedCrashedAndHungChildrenApart) {
  testing::TempDir dir;
  const std::string errors = dir.File("child.err");
  struct Case {
    const char* name;
    std::function<std::string()> work;
    ChildEnd end;
    std::string output;
  };
  const Case cases[] = {
      {"finished", [] { return std::string(200000, 'x'); }, ChildEnd::kDone, std::string(200000, 'x')},
      {"aborted", []() -> std::string { std::abort(); }, ChildEnd::kCrashed, ""},
      {"exit code", []() -> std::string { ::_exit(5); }, ChildEnd::kCrashed, ""},
      {"too much output", [] { return std::string(2000, 'y'); }, ChildEnd::kCrashed, ""},
      {"hung", []() -> std::string {
         for (int i = 0; i < 300; ++i) ::usleep(100000);
         return "late";
       },
       ChildEnd::kHung, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto started = std::chrono::steady_clock::now();
    const size_t limit = std::string(c.name) == "too much output" ? 1000 : 1 << 20;
    const sweep::ChildResult result = sweep::RunInChild(c.work, 1.0, errors, limit);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(result.end, c.end) << result.how;
    if (c.end == ChildEnd::kDone) {
      EXPECT_EQ(result.output, c.output);
    }
    EXPECT_LT(seconds, 10.0);
  }
}

// An image whose page 3 is a data page with four record slots and page 4
// a data page with two; page 5 is free space.
std::vector<uint8_t> CensusImage() {
  std::vector<uint8_t> bytes(6 * kPageSize, 0);
  for (int32_t page : {3, 4}) {
    fixture::PageBuilder builder(1, 500, page);
    for (int r = 0; r < (page == 3 ? 4 : 2); ++r) builder.AddRecord(std::vector<uint8_t>(20, uint8_t(r)));
    const fixture::PageImage image = builder.Build();
    std::copy(image.bytes().begin(), image.bytes().end(), bytes.begin() + page * kPageSize);
  }
  return bytes;
}

TEST(SweepRowComparison, SortsForeignRowsByWhereTheyCameFrom) {
  sweep::DatabaseRows undamaged;
  undamaged.rows = {{"T", "a|1", {1, 3}, 0}, {"T", "b|2", {1, 3}, 1}, {"T", "b|2", {1, 3}, 2}};
  const sweep::Baseline baseline = sweep::MakeBaseline(undamaged, CensusImage());
  EXPECT_EQ(baseline.rows, 3u);
  EXPECT_EQ(baseline.recordPlaces.size(), 6u);

  sweep::DatabaseRows damaged;
  damaged.rows = {
      {"T", "b|2", {1, 3}, 1},    // recovered
      {"T", "b|2", {1, 4}, 0},    // recovered (the text twice in the undamaged rows)
      {"T", "b|2", {1, 4}, 1},    // a third time: foreign, and page 4 holds a record there
      {"T", "a|9", {1, 3}, 0},    // another text where the undamaged file had a row
      {"T", "c|3", {1, 3}, 3},    // a record slot no undamaged row came from
      {"T", "d|4", {1, 2}, 0},    // page 2 was touched
      {"T", "e|5", {1, 5}, 0},    // page 5 holds no record: from nowhere
      {"T", "f|6", {1, 3}, 7},    // slot beyond the page's slot count
      {"T", "a|1", {3, 3}, 0},    // recovered, whatever its place
  };
  const sweep::RowCounts counts = sweep::CompareRows(baseline, damaged, {2});
  EXPECT_EQ(counts.recovered, 3u);
  EXPECT_EQ(counts.touched, 1u);
  EXPECT_EQ(counts.changed, 1u);
  EXPECT_EQ(counts.record, 2u);
  EXPECT_EQ(counts.elsewhere, 2u);
  ASSERT_EQ(counts.elsewhereSamples.size(), 2u);
  EXPECT_EQ(counts.elsewhereSamples[0], "T 1:5:0 e|5");
}

// Every kind's copy is made again, byte for byte, by corrupt_copy with the
// arguments the sweep reports.
TEST(SweepDamageKinds, ReportedArgumentsRemakeTheCopy) {
  testing::TempDir dir;
  fixture::PrimaryFileLayout layout;
  layout.userTables = {{1001, 6}, {2002, 4}};
  const std::string source = dir.File("source.mdf");
  ASSERT_TRUE(fixture::BuildPrimaryFile(layout).WriteTo(source));
  std::vector<uint8_t> original;
  ASSERT_TRUE(corruptor::ReadWholeFile(source, original));
  const uint64_t pages = original.size() / kPageSize;
  for (const sweep::DamageKind& kind : sweep::DamageKinds()) {
    SCOPED_TRACE(kind.name);
    const uint64_t seed = sweep::CopySeed(1, "source", kind.name, 3);
    EXPECT_NE(seed, sweep::CopySeed(1, "source", kind.name, 4));
    EXPECT_NE(seed, sweep::CopySeed(1, "other", kind.name, 3));
    const corruptor::CorruptionOptions options = kind.options(seed, pages);
    std::vector<uint8_t> bytes = original;
    corruptor::Corrupt(bytes, options);
    const std::string command = std::string(QUILLSTONE_CORRUPT_COPY) + " " + source + " " + dir.File("remade.mdf") +
                                " " + sweep::CorruptCopyArguments(options) + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_EQ(testing::ReadBytes(dir.File("remade.mdf")), bytes) << command;
  }
}

}  // namespace
}  // namespace quill
