#include "corruptor.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <functional>
#include <set>

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

// An image of `page_count` pages whose sectors all differ: page i is data
// of object `object_id(i)` with index id `index_id(i)`.
std::vector<uint8_t> VariedImage(int32_t page_count, const std::function<int32_t(int32_t)>& object_id,
                                 const std::function<uint16_t(int32_t)>& index_id) {
  std::vector<uint8_t> bytes;
  for (int32_t i = 0; i < page_count; ++i) {
    fixture::PageBuilder builder(1, object_id(i), i);
    builder.IndexId(index_id(i));
    for (int r = 0; r < 40; ++r) {
      std::vector<uint8_t> record(200);
      for (size_t k = 0; k < record.size(); ++k) record[k] = static_cast<uint8_t>(i * 7 + r * 13 + k);
      builder.AddRecord(record);
    }
    const fixture::PageImage page = builder.Build();
    bytes.insert(bytes.end(), page.bytes().begin(), page.bytes().end());
  }
  return bytes;
}

std::vector<uint8_t> UserImage(int32_t page_count) {
  return VariedImage(page_count, [](int32_t) { return 500; }, [](int32_t) { return uint16_t{256}; });
}

bool PageEquals(const std::vector<uint8_t>& a, int64_t page_a, const std::vector<uint8_t>& b, int64_t page_b) {
  return std::equal(a.begin() + page_a * kPageSize, a.begin() + (page_a + 1) * kPageSize,
                    b.begin() + page_b * kPageSize);
}

size_t DifferingBits(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  size_t bits = 0;
  for (size_t k = 0; k < std::min(a.size(), b.size()); ++k) bits += std::popcount(static_cast<uint8_t>(a[k] ^ b[k]));
  return bits;
}

struct DamageCase {
  const char* name;
  CorruptionOptions options;
  // Checks the damaged image against the original and the report.
  std::function<void(const std::vector<uint8_t>& original, const std::vector<uint8_t>& damaged,
                     const CorruptionReport& report)>
      check;
};

// Each kind of damage: made again by its seed, confined to the pages it
// reports (every other page equals the original), and shaped as it says.
TEST(Corruptor, DiskAndCopyDamageLandsWhereReported) {
  const std::vector<uint8_t> original = UserImage(100);
  const uint64_t bits = original.size() * 8;
  const DamageCase cases[] = {
      {"aligned 4 KiB runs",
       {.seed = 3, .zeroRuns = 6, .zeroRunBytes = 4096, .zeroRunAlignment = 4096},
       [](auto&, auto& damaged, auto& report) {
         ASSERT_EQ(report.zeroedRuns.size(), 6u);
         for (const corruptor::ByteRun& run : report.zeroedRuns) {
           EXPECT_EQ(run.offset % 4096, 0u);
           EXPECT_EQ(run.length, 4096u);
           EXPECT_TRUE(std::all_of(damaged.begin() + run.offset, damaged.begin() + run.offset + run.length,
                                   [](uint8_t b) { return b == 0; }));
           EXPECT_TRUE(report.touchedPages.contains(run.offset / kPageSize));
         }
       }},
      {"unaligned 64 KiB runs",
       {.seed = 4, .zeroRuns = 8, .zeroRunBytes = 65536, .zeroRunAlignment = 1},
       [](auto&, auto& damaged, auto& report) {
         ASSERT_EQ(report.zeroedRuns.size(), 8u);
         bool off_sector = false;
         for (const corruptor::ByteRun& run : report.zeroedRuns) {
           off_sector |= run.offset % 512 != 0;
           ASSERT_LE(run.offset + run.length, damaged.size());
           EXPECT_TRUE(std::all_of(damaged.begin() + run.offset, damaged.begin() + run.offset + run.length,
                                   [](uint8_t b) { return b == 0; }));
           // A run not on a page boundary reaches into nine pages.
           EXPECT_TRUE(report.touchedPages.contains((run.offset + run.length - 1) / kPageSize));
         }
         EXPECT_TRUE(off_sector);
       }},
      {"repeated sectors",
       {.seed = 5, .repeatedSectors = 20},
       [](auto& original, auto& damaged, auto& report) {
         ASSERT_EQ(report.repeatedSectorOffsets.size(), 20u);
         const auto& offsets = report.repeatedSectorOffsets;
         for (uint64_t offset : offsets) {
           EXPECT_EQ(offset % 512, 0u);
           // Neighbouring repeats overwrite each other's sources.
           if (std::count(offsets.begin(), offsets.end(), offset) > 1 ||
               std::count(offsets.begin(), offsets.end(), offset - 512) > 0 ||
               std::count(offsets.begin(), offsets.end(), offset + 512) > 0) {
             continue;
           }
           EXPECT_TRUE(std::equal(damaged.begin() + offset - 512, damaged.begin() + offset, damaged.begin() + offset));
           EXPECT_FALSE(std::equal(original.begin() + offset, original.begin() + offset + 512, damaged.begin() + offset));
         }
       }},
      {"swapped pages",
       {.seed = 6, .swappedPagePairs = 1},
       [](auto& original, auto& damaged, auto& report) {
         ASSERT_EQ(report.swappedPages.size(), 1u);
         const auto [a, b] = report.swappedPages[0];
         EXPECT_NE(a, b);
         EXPECT_TRUE(PageEquals(damaged, a, original, b));
         EXPECT_TRUE(PageEquals(damaged, b, original, a));
         EXPECT_EQ(report.touchedPages, (std::set<int64_t>{a, b}));
       }},
      {"bit flips at 1e-3",
       {.seed = 7, .bitFlipRate = 1e-3},
       [bits](auto& original, auto& damaged, auto& report) {
         // About rate * bits flips (6554 expected; the bound is 12 deviations).
         const double expected = 1e-3 * static_cast<double>(bits);
         EXPECT_NEAR(static_cast<double>(report.flippedBitOffsets.size()), expected, 12 * std::sqrt(expected));
         EXPECT_EQ(DifferingBits(original, damaged), report.flippedBitOffsets.size());
         EXPECT_TRUE(std::is_sorted(report.flippedBitOffsets.begin(), report.flippedBitOffsets.end()));
       }},
      {"bit flips at 1e-5",
       {.seed = 8, .bitFlipRate = 1e-5},
       [bits](auto& original, auto& damaged, auto& report) {
         const double expected = 1e-5 * static_cast<double>(bits);  // 66
         EXPECT_NEAR(static_cast<double>(report.flippedBitOffsets.size()), expected, 12 * std::sqrt(expected));
         EXPECT_EQ(DifferingBits(original, damaged), report.flippedBitOffsets.size());
       }},
      {"cut at a page",
       {.seed = 9, .cutAtPage = 37},
       [](auto& original, auto& damaged, auto& report) {
         EXPECT_EQ(damaged.size(), 37 * kPageSize);
         EXPECT_EQ(report.bytesCut, original.size() - 37 * kPageSize);
         EXPECT_EQ(report.touchedPages.size(), 63u);
         EXPECT_EQ(*report.touchedPages.begin(), 37);
       }},
      {"boot page",
       {.seed = 10, .destroyBootPage = true},
       [](auto& original, auto& damaged, auto& report) {
         EXPECT_EQ(report.destroyedPages, std::vector<int64_t>{9});
         EXPECT_FALSE(PageEquals(damaged, 9, original, 9));
       }},
  };
  for (const DamageCase& damage : cases) {
    SCOPED_TRACE(damage.name);
    std::vector<uint8_t> first = original;
    std::vector<uint8_t> second = original;
    const CorruptionReport report = Corrupt(first, damage.options);
    Corrupt(second, damage.options);
    EXPECT_EQ(first, second);
    EXPECT_NE(first, original);
    EXPECT_FALSE(report.touchedPages.empty());
    for (int64_t page = 0; page < static_cast<int64_t>(first.size() / kPageSize); ++page) {
      if (!report.touchedPages.contains(page)) {
        EXPECT_TRUE(PageEquals(first, page, original, page)) << page;
      }
    }
    damage.check(original, first, report);
  }
}

// System table pages are chosen by their headers: the page's own id, a data
// or index page, an object id below 99 and an index id below 256.
TEST(Corruptor, DestroysOnlySystemTablePages) {
  // Pages 10..19 belong to object 34 (index id 0 or 1); page 15 claims
  // another page id; pages 20..29 carry object 34 with the user index id
  // 256; page 30 is an allocation page (object 99); the rest are user pages.
  std::vector<uint8_t> original = VariedImage(
      40, [](int32_t i) { return i >= 10 && i < 30 ? 34 : i == 30 ? 99 : 500; },
      [](int32_t i) { return static_cast<uint16_t>(i >= 20 && i < 30 ? 256 : i % 2); });
  original[15 * kPageSize + 32] = 77;  // page 15's own id now 77
  const std::vector<int64_t> expected = {10, 11, 12, 13, 14, 16, 17, 18, 19};
  EXPECT_EQ(corruptor::SystemTablePages(original), expected);

  std::vector<uint8_t> damaged = original;
  const CorruptionReport report = Corrupt(damaged, {.seed = 12, .destroyedSystemPages = 3});
  ASSERT_EQ(report.destroyedPages.size(), 3u);
  for (int64_t page : report.destroyedPages) {
    EXPECT_TRUE(std::find(expected.begin(), expected.end(), page) != expected.end()) << page;
    EXPECT_FALSE(PageEquals(damaged, page, original, page)) << page;
  }
  EXPECT_EQ(report.touchedPages, std::set<int64_t>(report.destroyedPages.begin(), report.destroyedPages.end()));
  // Asking for more pages than there are destroys each once.
  damaged = original;
  EXPECT_EQ(Corrupt(damaged, {.seed = 12, .destroyedSystemPages = 50}).destroyedPages, expected);
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
