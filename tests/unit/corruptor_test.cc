#include "corruptor.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "page_builder.h"
#include "pages/page_check.h"
#include "support/temp_dir.h"

namespace quill {
namespace {

using corruptor::CorruptCopy;
using corruptor::Corrupt;
using corruptor::CorruptionOptions;
using corruptor::CorruptionReport;

// An image of `page_count` torn-protected pages, each at its own position.
std::vector<uint8_t> ProtectedImage(int32_t page_count) {
  std::vector<uint8_t> bytes;
  for (int32_t i = 0; i < page_count; ++i) {
    fixture::PageBuilder builder(1, 500, i);
    const std::vector<uint8_t> record(200, static_cast<uint8_t>(i));
    for (int r = 0; r < 30; ++r) builder.AddRecord(record);
    fixture::PageImage page = builder.TornPage(2).Build();
    bytes.insert(bytes.end(), page.bytes().begin(), page.bytes().end());
  }
  return bytes;
}

std::span<const uint8_t, kPageSize> PageAt(const std::vector<uint8_t>& bytes, size_t offset,
                                           int64_t index) {
  return std::span<const uint8_t, kPageSize>(bytes.data() + offset + index * kPageSize, kPageSize);
}

TEST(Corruptor, SameSeedSameDamageAndEveryKindLandsWhereReported) {
  const std::vector<uint8_t> original = ProtectedImage(100);
  CorruptionOptions options;
  options.seed = 42;
  options.zeroPagesPercent = 5;
  options.tornSectors = 3;
  options.flipBytes = 10;
  options.truncateBytes = 1000;
  options.garbagePrefix = true;

  std::vector<uint8_t> first = original;
  std::vector<uint8_t> second = original;
  const CorruptionReport report = Corrupt(first, options);
  Corrupt(second, options);
  EXPECT_EQ(first, second);
  options.seed = 43;
  std::vector<uint8_t> other = original;
  Corrupt(other, options);
  EXPECT_NE(first, other);

  EXPECT_EQ(report.zeroedPages.size(), 5u);
  EXPECT_EQ(report.tornSectorOffsets.size(), 3u);
  EXPECT_EQ(report.flippedOffsets.size(), 10u);
  EXPECT_EQ(report.bytesCut, 1000u);
  EXPECT_EQ(first.size(), original.size() - 1000 + corruptor::kGarbagePrefixSize);

  // Pages behind the prefix: zeroed ones are zero (unless a flip hit them),
  // torn ones fail the torn-page check, untouched ones equal the original.
  const size_t prefix = corruptor::kGarbagePrefixSize;
  for (int64_t page : report.zeroedPages) {
    bool flipped = false;
    for (uint64_t offset : report.flippedOffsets) flipped |= offset / kPageSize == uint64_t(page);
    if (page < 99 && !flipped) {
      EXPECT_TRUE(IsZeroPage(PageAt(first, prefix, page))) << page;
    }
  }
  for (uint64_t offset : report.tornSectorOffsets) {
    const int64_t page = static_cast<int64_t>(offset / kPageSize);
    if (page == 99) continue;  // cut short
    EXPECT_TRUE(CheckPage(PageAt(first, prefix, page), {1, static_cast<int32_t>(page)}).problems &
                kPageProblemTornPage)
        << page;
  }
  EXPECT_TRUE(report.touchedPages.contains(99));  // the cut tail
  int untouched = 0;
  for (int64_t page = 0; page < 99; ++page) {
    if (report.touchedPages.contains(page)) continue;
    ++untouched;
    EXPECT_TRUE(std::equal(original.begin() + page * kPageSize, original.begin() + (page + 1) * kPageSize,
                           first.begin() + prefix + page * kPageSize))
        << page;
  }
  EXPECT_GT(untouched, 70);
}

TEST(Corruptor, CopyNeverWritesTheSource) {
  testing::TempDir dir;
  const std::vector<uint8_t> original = ProtectedImage(20);
  const std::string source = dir.File("source.mdf");
  ASSERT_TRUE(testing::WriteBytes(source, original));
  std::filesystem::permissions(source, std::filesystem::perms::owner_read | std::filesystem::perms::group_read,
                               std::filesystem::perm_options::replace);
  const auto written = std::filesystem::last_write_time(source);

  CorruptionOptions options;
  options.seed = 7;
  options.flipBytes = 50;
  auto result = CorruptCopy(source, dir.File("copy.mdf"), options);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(testing::ReadBytes(source), original);
  EXPECT_EQ(std::filesystem::last_write_time(source), written);
  EXPECT_NE(testing::ReadBytes(dir.File("copy.mdf")), original);

  // The source as destination, by its own name or another path to it.
  auto same = CorruptCopy(source, source, options);
  EXPECT_FALSE(same.ok);
  auto dotted = CorruptCopy(source, dir.path() + "./source.mdf", options);
  EXPECT_FALSE(dotted.ok);
  EXPECT_EQ(testing::ReadBytes(source), original);

  EXPECT_FALSE(CorruptCopy(dir.File("missing.mdf"), dir.File("x.mdf"), options).ok);
}

}  // namespace
}  // namespace quill
