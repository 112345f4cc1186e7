// The page checks over every real data file of the shared test data, against
// the page survey in each folder's SOURCE.txt: the pages it found not to be
// valid page images (random bytes in unallocated space) are exactly the
// damaged ones, every checksummed page it verified verifies here too, and
// files without such pages report none. Skips when the folder is absent.
#include <gtest/gtest.h>

#include "support/real_data.h"
#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "common/little_endian.h"
#include "pages/database_file.h"
#include "scan/application_state.h"
#include "pages/page_check.h"
#include "pages/page_header.h"
#include "pages/read_only_file.h"
#include "pages/sequential_page_reader.h"

namespace quill {
namespace {

// The number written right after `before` or, when `before` is empty,
// right before `after` in the survey text.
std::optional<int64_t> SurveyNumber(const std::string& text, const std::string& before,
                                    const std::string& after = {}) {
  const size_t at = text.find(before.empty() ? after : before);
  if (at == std::string::npos) return std::nullopt;
  size_t first = at + before.size();
  size_t last = first;
  if (before.empty()) {
    while (first > 0 && std::isdigit(static_cast<unsigned char>(text[first - 1]))) --first;
  } else {
    while (last < text.size() && std::isdigit(static_cast<unsigned char>(text[last]))) ++last;
  }
  if (first == last) return std::nullopt;
  return std::stoll(text.substr(first, last - first));
}

// Pages whose protection holds, counted by a walk of our own.
struct ProtectionCounts {
  int64_t checksumOk = 0;
  int64_t tornOk = 0;
};

ProtectionCounts CountProtectedPages(const CDatabaseFile& file) {
  ProtectionCounts counts;
  auto data = ReadOnlyFile::Open(file.path());
  if (!data) return counts;
  SequentialPageReader reader(*data, static_cast<uint64_t>(file.baseOffset()));
  for (int64_t index = 0; index < file.pageCount(); ++index) {
    auto raw = reader.Next();
    const uint16_t flags = LoadAt<uint16_t, page_header_layout::kFlagBits>(raw);
    const uint32_t problems = CheckPage(raw, {1, static_cast<int32_t>(index)}).problems;
    if ((flags & kFlagChecksumPresent) && !(problems & kPageProblemBadChecksum)) ++counts.checksumOk;
    if ((flags & kFlagTornBitsPresent) && !(problems & kPageProblemTornPage)) ++counts.tornOk;
  }
  return counts;
}

std::string SurveyOf(const std::filesystem::path& folder) {
  std::ifstream source_file(folder / "SOURCE.txt");
  return std::string((std::istreambuf_iterator<char>(source_file)), std::istreambuf_iterator<char>());
}

// The surveys together verified more than 6000 checksums: the number is
// read from every survey.
TEST(RealPageSurveys, CountMoreThan6000VerifiedChecksums) {
  if (!std::filesystem::is_directory(QUILLSTONE_REAL_DATA_DIR)) GTEST_SKIP() << "no real data";
  int64_t checksum_total = 0;
  for (const testing::RealFile& file : testing::RealFiles()) {
    checksum_total += SurveyNumber(SurveyOf(file.folder), "checksum (").value_or(0);
  }
  EXPECT_GT(checksum_total, 6000);
}

class RealPageCheck : public testing::RealFileTest {};

TEST_P(RealPageCheck, DamagedPagesAreTheSurveysInvalidPages) {
  ASSERT_TRUE(std::filesystem::exists(folder() / "SOURCE.txt"));
  const std::string source = SurveyOf(folder());
  const auto invalid_pages = SurveyNumber(source, "", " pages that are not valid page images");
  ASSERT_TRUE(invalid_pages);
  const auto checksum_verified = SurveyNumber(source, "checksum (");
  const auto torn_pages = SurveyNumber(source, "torn-page bits on ");

  ApplicationState state;
  CDatabaseFile file;
  ASSERT_TRUE(file.Open(path(), nullptr));
  FileSetCheckSummary summary;
  const std::vector<DamagedPage> damaged = FindDamagedPages(file, &summary);
  EXPECT_EQ(summary.pagesChecked, file.pageCount());
  EXPECT_EQ(static_cast<int64_t>(damaged.size()), *invalid_pages);
  for (const DamagedPage& page : damaged) {
    // Random bytes never name their own position.
    EXPECT_TRUE(page.problems & kPageProblemWrongAddress) << page.pageId << ": " << page.problem;
  }

  const ProtectionCounts counts = CountProtectedPages(file);
  EXPECT_EQ(counts.checksumOk, checksum_verified.value_or(0));
  // The survey's torn count also takes in invalid pages that start like a
  // page; compare it where the file is not checksummed.
  if (torn_pages && !checksum_verified) {
    EXPECT_EQ(counts.tornOk, *torn_pages);
  }
  std::cout << fmt::format("{:<32} {:>6} pages {:>8} damaged {:>12} checksum ok {:>9} torn ok\n", name(),
                           file.pageCount(), damaged.size(), counts.checksumOk, counts.tornOk);
}

QUILL_REAL_FILE_TESTS(RealPageCheck, testing::RealFiles());

}  // namespace
}  // namespace quill
