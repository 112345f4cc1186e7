#include "pages/base_offset_probe.h"

#include <gtest/gtest.h>

#include "database_builder.h"
#include "page_builder.h"
#include "pages/database_file.h"
#include "support/progress_recorder.h"
#include "support/temp_dir.h"
#include "scan/application_state.h"

namespace quill {
namespace {

using fixture::BuildPrimaryFile;
using fixture::DataFileBuilder;
using fixture::PageBuilder;
using testing::TempDir;

// Pages that carry their own ids from page 8 on, as every real file has.
DataFileBuilder SelfIdentifiedPages(int32_t page_count) {
  DataFileBuilder builder(page_count);
  for (int32_t i = 0; i < page_count; ++i) builder.SetPage(i, PageBuilder(1, 7, i).Build());
  return builder;
}

// Pages whose id never matches their position.
DataFileBuilder MisnumberedPages(int32_t page_count) {
  DataFileBuilder builder(page_count);
  for (int32_t i = 0; i < page_count; ++i) builder.SetPage(i, PageBuilder(1, 7, i + 1000).Build());
  return builder;
}

TEST(BaseOffsetProbe, ChoosesTheAlignmentWherePagesCarryTheirOwnIds) {
  struct Case {
    const char* name;
    DataFileBuilder builder;
    bool found;
    int64_t base_offset;  // of the file set after Open
  } cases[] = {
      {"whole pages", SelfIdentifiedPages(20), true, 0},
      {"trailing partial page", SelfIdentifiedPages(20).TrailingBytes(std::vector<uint8_t>(300, 0xAB)),
       true, 0},
      {"bytes before page 0", SelfIdentifiedPages(20).LeadingBytes(std::vector<uint8_t>(512, 0x5A)),
       true, 512},
      // The length no longer tells the alignment: the first pages are
      // searched byte by byte.
      {"bytes before page 0 and a padded tail",
       SelfIdentifiedPages(20).LeadingBytes(std::vector<uint8_t>(512, 0x5A)).TrailingBytes(std::vector<uint8_t>(3000, 0)),
       true, 512},
      {"odd bytes before page 0", SelfIdentifiedPages(20).LeadingBytes(std::vector<uint8_t>(701, 1)).TrailingBytes(std::vector<uint8_t>(99, 1)),
       true, 701},
      {"no page identifies itself", MisnumberedPages(20).TrailingBytes(std::vector<uint8_t>(100, 1)),
       false, 100},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.File("probe.mdf");
    ASSERT_TRUE(c.builder.WriteTo(path));
    auto file = ReadOnlyFile::Open(path);
    ASSERT_TRUE(file);
    const int64_t remainder = static_cast<int64_t>(file->length() % kPageSize);
    const int64_t page_count = static_cast<int64_t>(file->length() / kPageSize);
    NullProgressSink sink;
    StopSource abort;
    BaseOffsetProbeResult probe = ProbeBaseOffset(*file, page_count, remainder, sink, abort.token());
    EXPECT_EQ(probe.found, c.found);

    CDatabaseFile set;
    set.Open(path, nullptr);
    EXPECT_EQ(set.baseOffset(), c.base_offset);
  }
}

TEST(BaseOffsetProbe, ShiftedFileMapsPagesAtTheirRealPositions) {
  TempDir dir;
  const std::string path = dir.File("shifted.mdf");
  ASSERT_TRUE(BuildPrimaryFile({}).LeadingBytes(std::vector<uint8_t>(512, 0x5A)).WriteTo(path));
  ApplicationState state;
  CDatabaseFile set;
  ASSERT_TRUE(set.Open(path, nullptr));
  EXPECT_EQ(set.baseOffset(), 512);
  const PageRef sysschobjs = set.systemPages().at(34).at(0);
  auto sysschobjs_header = set.ReadPageHeader({1, sysschobjs.pageIndex});
  ASSERT_TRUE(sysschobjs_header);
  EXPECT_EQ(sysschobjs_header->thisPage.pageId, sysschobjs.pageIndex);
  auto header = set.ReadPageHeader({1, 9});
  ASSERT_TRUE(header);
  EXPECT_EQ(header->pageType, 13);
  EXPECT_EQ(header->thisPage.pageId, 9);
}

TEST(BaseOffsetProbe, SmallFilesStartAtAQuarterOfTheirPages) {
  // With 4 pages the probe starts at page 1: a self-identified page 1 is
  // found, while page 0 (which would also match) is never looked at.
  struct Case {
    const char* name;
    int32_t identified_page;
    bool found;
  } cases[] = {{"page 1 of 4", 1, true}, {"only page 0 of 4", 0, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DataFileBuilder builder = MisnumberedPages(4);
    builder.SetPage(c.identified_page, PageBuilder(1, 7, c.identified_page).Build());
    TempDir dir;
    const std::string path = dir.File("small.mdf");
    ASSERT_TRUE(builder.WriteTo(path));
    auto file = ReadOnlyFile::Open(path);
    ASSERT_TRUE(file);
    testing::ProgressRecorder recorder;
    StopSource abort;
    EXPECT_EQ(ProbeBaseOffset(*file, 4, 0, recorder, abort.token()).found, c.found);
    EXPECT_EQ(recorder.Texts().front(), "Checking for file corruption ...........");
    EXPECT_EQ(recorder.Texts().back(), "Checking for file corruption is done...........");
  }
}

TEST(BaseOffsetProbe, StopFlagEndsTheProbeWithNothingFound) {
  TempDir dir;
  const std::string path = dir.File("stop.mdf");
  ASSERT_TRUE(SelfIdentifiedPages(20).WriteTo(path));
  auto file = ReadOnlyFile::Open(path);
  ASSERT_TRUE(file);
  NullProgressSink sink;
  StopSource abort;
  abort.RequestStop();
  EXPECT_FALSE(ProbeBaseOffset(*file, 20, 0, sink, abort.token()).found);
}

}  // namespace
}  // namespace quill
