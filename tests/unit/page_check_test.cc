#include "pages/page_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "cli/check_command.h"
#include "cli/info_command.h"
#include "database_builder.h"
#include "page_builder.h"
#include "pages/database_file.h"
#include "pages/page_header.h"
#include "records/data_page.h"
#include "support/progress_recorder.h"
#include "support/run_cli.h"
#include "support/temp_dir.h"
#include "records/page_reads.h"
#include "scan/application_state.h"

namespace quill {
namespace {

using fixture::BuildPrimaryFile;
using fixture::BuildSecondaryFile;
using fixture::PageBuilder;
using fixture::PageImage;
using fixture::PrimaryFileLayout;
namespace L = page_header_layout;

// Known answers worked out by hand from the checksum's definition: a set
// bit in the last word of sector 15 is not rotated, one in the first word of
// sector 0 is rotated left by 15.
TEST(PageChecksum, KnownAnswers) {
  PageImage page;
  EXPECT_EQ(PageChecksum(page.bytes()), 0u);
  page.Put<uint8_t>(kPageSize - 1, 1);
  EXPECT_EQ(PageChecksum(page.bytes()), 0x01000000u);
  PageImage first;
  first.Put<uint8_t>(0, 1);
  EXPECT_EQ(PageChecksum(first.bytes()), 0x00008000u);
  // The checksum field itself does not take part.
  first.Put<uint32_t>(L::kTornBits, 0xDEADBEEF);
  EXPECT_EQ(PageChecksum(first.bytes()), 0x00008000u);

  // Every byte different: an independent computation of the same formula
  // gave 0xD753DE5A.
  PageImage pattern;
  for (size_t i = 0; i < kPageSize; ++i) {
    pattern.Put<uint8_t>(i, static_cast<uint8_t>((i * 7 + 3) * ((i >> 9) | 1)));
  }
  EXPECT_EQ(PageChecksum(pattern.bytes()), 0xD753DE5Au);
}

enum class Protection { kNone, kTornBits, kChecksum };

// A data page with a few records, sitting at 1:7, protected as asked.
PageImage ProtectedPage(Protection protection, int32_t page_id = 7, uint16_t file_id = 1) {
  PageBuilder builder(1, 1001, page_id, file_id);
  const std::vector<uint8_t> record(300, 0x5B);  // 0x5B: low bits 3
  for (int i = 0; i < 20; ++i) builder.AddRecord(record);
  if (protection == Protection::kTornBits) builder.TornPage(1);
  if (protection == Protection::kChecksum) builder.Checksum();
  return builder.Build();
}

struct DamageCase {
  const char* name;
  Protection protection;
  std::function<void(PageImage&)> damage;
  uint32_t expected;
};

void XorByte(PageImage& page, size_t offset, uint8_t mask) {
  page.Put<uint8_t>(offset, static_cast<uint8_t>(page.Get<uint8_t>(offset) ^ mask));
}

TEST(CheckPage, DamageTable) {
  const DamageCase cases[] = {
      {"clean page", Protection::kNone, [](PageImage&) {}, 0},
      {"clean torn-protected page", Protection::kTornBits, [](PageImage&) {}, 0},
      {"clean checksummed page", Protection::kChecksum, [](PageImage&) {}, 0},
      {"unprotected page, body byte changed", Protection::kNone,
       [](PageImage& p) { XorByte(p, 4000, 0xFF); }, 0},
      {"checksum: body byte changed", Protection::kChecksum,
       [](PageImage& p) { XorByte(p, 4000, 0x01); }, kPageProblemBadChecksum},
      {"checksum: last byte of the page changed", Protection::kChecksum,
       [](PageImage& p) { XorByte(p, kPageSize - 1, 0x80); }, kPageProblemBadChecksum},
      {"checksum: stored checksum changed", Protection::kChecksum,
       [](PageImage& p) { XorByte(p, L::kTornBits + 3, 0x10); }, kPageProblemBadChecksum},
      {"checksum: header byte changed", Protection::kChecksum,
       [](PageImage& p) { XorByte(p, L::kSlotCount, 0x01); }, kPageProblemBadChecksum},
      {"checksum: two equal words swapped stay unnoticed within a sector", Protection::kChecksum,
       [](PageImage& p) {
         const uint32_t a = p.Get<uint32_t>(1024);
         p.Put<uint32_t>(1024, p.Get<uint32_t>(1028)).Put<uint32_t>(1028, a);
       },
       0},
      {"checksum: the same word moved to another sector", Protection::kChecksum,
       [](PageImage& p) {
         p.Put<uint32_t>(7000, 0);
         p.Put<uint32_t>(8000, 0x12345678);
         p.Put<uint32_t>(8000 - 512, 0x12345678);
       },
       kPageProblemBadChecksum},
      {"torn: sector 7 carries another marker", Protection::kTornBits,
       [](PageImage& p) { XorByte(p, 7 * 512 + 511, 0x02); }, kPageProblemTornPage},
      {"torn: sector 15 carries another marker", Protection::kTornBits,
       [](PageImage& p) { XorByte(p, kPageSize - 1, 0x03); }, kPageProblemTornPage},
      {"torn: sector 0 is not protected", Protection::kTornBits,
       [](PageImage& p) { XorByte(p, 511, 0x03); }, 0},
      {"torn: a high bit of a sector's last byte is not part of the marker", Protection::kTornBits,
       [](PageImage& p) { XorByte(p, 3 * 512 + 511, 0x80); }, 0},
      {"torn: the stored marker changed", Protection::kTornBits,
       [](PageImage& p) { XorByte(p, L::kTornBits, 0x01); }, kPageProblemTornPage},
      {"address: header names page 8", Protection::kNone,
       [](PageImage& p) { p.Put<int32_t>(L::kThisPageId, 8); }, kPageProblemWrongAddress},
      {"address: header names file 2", Protection::kNone,
       [](PageImage& p) { p.Put<uint16_t>(L::kThisFileId, 2); }, kPageProblemWrongAddress},
      {"address and checksum", Protection::kChecksum,
       [](PageImage& p) { p.Put<int32_t>(L::kThisPageId, -7); },
       kPageProblemWrongAddress | kPageProblemBadChecksum},
      {"torn bits and checksum both present, one sector torn", Protection::kTornBits,
       [](PageImage& p) {
         fixture::StampPageChecksum(p);  // flags 0x0300
         XorByte(p, 2 * 512 + 511, 0x01);
       },
       kPageProblemTornPage | kPageProblemBadChecksum},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.name);
    PageImage page = ProtectedPage(c.protection);
    c.damage(page);
    PageCheckResult result = CheckPage(page.bytes(), PageAddress{1, 7});
    EXPECT_EQ(result.problems, c.expected);
    EXPECT_EQ(result.damaged(), c.expected != 0);
    EXPECT_EQ(result.text.empty(), c.expected == 0) << result.text;
  }
}

TEST(CheckPage, TextNamesEveryProblem) {
  PageImage page = ProtectedPage(Protection::kTornBits, 9);
  fixture::StampPageChecksum(page);
  XorByte(page, 4 * 512 + 511, 0x03);
  XorByte(page, 6 * 512 + 511, 0x03);
  PageCheckResult result = CheckPage(page.bytes(), PageAddress{1, 7});
  const uint32_t stored = page.Get<uint32_t>(L::kTornBits);
  char expected_checksum[80];
  std::snprintf(expected_checksum, sizeof expected_checksum,
                "checksum mismatch: stored 0x%08X, computed 0x%08X", stored,
                PageChecksum(page.bytes()));
  EXPECT_EQ(result.text, "header names page 1:9; torn page: 2 of 15 sectors without write marker " +
                             std::to_string(stored & 3) + " (first: sector 4); " + expected_checksum);
}

// A primary file (torn-page protected, as files from SQL Server 2000 are)
// and a secondary file beside it, with damage placed on known pages.
class FileSetCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PrimaryFileLayout description;
    description.tornPages = true;
    description.userTables = {{1001, 4}};
    fixture::DataFileBuilder primary = BuildPrimaryFile(description);
    primaryPageCount_ = primary.pageCount();
    // Page 40: a page from elsewhere (it names page 41).
    primary.SetPage(40, ProtectedPage(Protection::kNone, 41));
    // Page 41: a torn write.
    PageImage torn = ProtectedPage(Protection::kTornBits, 41);
    XorByte(torn, 5 * 512 + 511, 0x01);
    primary.SetPage(41, torn);
    // Page 42: checksummed and intact; page 43: checksummed, one byte off.
    primary.SetPage(42, ProtectedPage(Protection::kChecksum, 42));
    PageImage bad_sum = ProtectedPage(Protection::kChecksum, 43);
    XorByte(bad_sum, 6000, 0x04);
    primary.SetPage(43, bad_sum);
    ASSERT_TRUE(primary.WriteTo(dir_.File("db.mdf")));

    fixture::DataFileBuilder secondary = BuildSecondaryFile(3, 2001, 3);
    secondary.SetPage(2, ProtectedPage(Protection::kNone, 2, 4));  // names file 4
    ASSERT_TRUE(secondary.WriteTo(dir_.File("db_1.ndf")));
  }

  bool Open(CDatabaseFile& file) {
    if (!file.Open(dir_.File("db.mdf"), &progress_)) return false;
    std::vector<DataFileEntry> list;
    file.LocateSecondaryFiles(list, dir_.File("db.mdf"));
    return file.secondaryFiles().size() == 1;
  }

  testing::TempDir dir_;
  ApplicationState state_;
  testing::ProgressRecorder progress_;
  int32_t primaryPageCount_ = 0;
};

TEST_F(FileSetCheckTest, ReportsExactlyTheDamagedPagesOfEveryFile) {
  CDatabaseFile file;
  ASSERT_TRUE(Open(file));
  FileSetCheckSummary summary;
  std::vector<DamagedPage> damaged = FindDamagedPages(file, &summary);
  ASSERT_EQ(damaged.size(), 4u);
  const struct {
    uint16_t fileId;
    int32_t pageId;
    uint32_t problems;
  } expected[] = {{1, 40, kPageProblemWrongAddress},
                  {1, 41, kPageProblemTornPage},
                  {1, 43, kPageProblemBadChecksum},
                  {3, 2, kPageProblemWrongAddress}};
  for (size_t i = 0; i < damaged.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(damaged[i].fileId, expected[i].fileId);
    EXPECT_EQ(damaged[i].pageId, expected[i].pageId);
    EXPECT_EQ(damaged[i].problems, expected[i].problems);
    EXPECT_EQ(damaged[i].objectId, 1001);
    EXPECT_FALSE(damaged[i].problem.empty());
  }
  EXPECT_EQ(summary.filesChecked, 2);
  EXPECT_EQ(summary.pagesChecked, primaryPageCount_ + 4);
  EXPECT_EQ(summary.damagedPages, 4);
  EXPECT_GT(summary.zeroPages, 0);
  EXPECT_FALSE(summary.aborted);
  EXPECT_EQ(CountDamagedPages(file), 4);

  testing::ProgressRecorder progress;
  CheckFileSetPages(file, {}, &progress);
  ASSERT_GE(progress.messages.size(), 3u);
  const uint64_t total = static_cast<uint64_t>(primaryPageCount_ + 4);
  EXPECT_EQ(progress.messages.front(), (testing::RecordedMessage{MSG_PROGRESS_RANGE, total, {}}));
  EXPECT_EQ(progress.messages.back(), (testing::RecordedMessage{MSG_PROGRESS_POS, total, {}}));
  EXPECT_GT(progress.Count(MSG_PROGRESS_POS), 10u);
  EXPECT_EQ(DamagedPageCountLine(4), "Damaged pages: 4");

  // Damaged pages are still read: the torn page's records come back with
  // its bits restored.
  auto page = quill::ReadDataPage(file, {1, 41}, {});
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->header().slotCount, 20);
  EXPECT_EQ(page->data()[3 * 512 + 511], 0x5B);
}

TEST_F(FileSetCheckTest, StopFlagEndsThePass) {
  CDatabaseFile file;
  ASSERT_TRUE(Open(file));
  StopSource stop;
  stop.RequestStop();
  const FileSetCheckSummary summary = CheckFileSetPages(file, {}, nullptr, stop.token());
  EXPECT_TRUE(summary.aborted);
  EXPECT_EQ(summary.pagesChecked, 0);
}

TEST_F(FileSetCheckTest, CheckCommandPrintsDamagedPagesAndExitsThree) {
  std::ostringstream out;
  EXPECT_EQ(RunCheckCommand(dir_.File("db.mdf"), state_, progress_, out), kExitDamagedPages);
  const std::string text = out.str();
  EXPECT_NE(text.find("page 1:40 object 1001: header names page 1:41\n"), std::string::npos) << text;
  EXPECT_NE(text.find("page 1:41 object 1001: torn page: 1 of 15 sectors"), std::string::npos) << text;
  EXPECT_NE(text.find("page 1:43 object 1001: checksum mismatch"), std::string::npos) << text;
  EXPECT_NE(text.find("page 3:2 object 1001: header names page 4:2\n"), std::string::npos) << text;
  EXPECT_NE(text.find("checked " + std::to_string(primaryPageCount_ + 4) + " pages in 2 files: 4 damaged"),
            std::string::npos)
      << text;
}

TEST(CheckCommand, UndamagedFileExitsZeroAndMissingFileOne) {
  testing::TempDir dir;
  PrimaryFileLayout description;
  description.userTables = {{1001, 2}};
  ASSERT_TRUE(BuildPrimaryFile(description).WriteTo(dir.File("ok.mdf")));
  ApplicationState state;
  testing::ProgressRecorder progress;
  std::ostringstream out;
  EXPECT_EQ(RunCheckCommand(dir.File("ok.mdf"), state, progress, out), kExitOk);
  EXPECT_NE(out.str().find("pages in 1 file: 0 damaged"), std::string::npos) << out.str();
  EXPECT_EQ(out.str().find("page 1:"), std::string::npos) << out.str();

  std::ostringstream none;
  EXPECT_EQ(RunCheckCommand(dir.File("missing.mdf"), state, progress, none), kExitCannotScan);
  EXPECT_EQ(progress.Errors(), std::vector<std::string>{kFileCannotBeOpen});

  // The executable passes the exit codes on.
  std::string cli_out;
  std::string cli_err;
  EXPECT_EQ(testing::RunCli("check " + dir.File("ok.mdf"), cli_out, cli_err), kExitOk);
  EXPECT_EQ(testing::RunCli("check " + dir.File("missing.mdf"), cli_out, cli_err), kExitCannotScan);
  EXPECT_NE(cli_err.find(kFileCannotBeOpen), std::string::npos);
}

}  // namespace
}  // namespace quill
