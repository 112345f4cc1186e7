#include "cli/page_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/info_command.h"
#include "database_builder.h"
#include "page_builder.h"
#include "record_builder.h"
#include "support/progress_recorder.h"
#include "support/run_cli.h"
#include "support/temp_dir.h"
#include "scan/application_state.h"

namespace quill {
namespace {

using fixture::Bytes;
using fixture::BuildPrimaryFile;
using fixture::CompressedRecordBuilder;
using fixture::PageBuilder;
using fixture::PlainRecordBuilder;

constexpr int32_t kTestPage = 40;  // free in a 64-page fixture file
constexpr int32_t kObjectId = 2001;

// Writes a 64-page primary file with `page` at position kTestPage.
std::string WriteFileWithPage(const testing::TempDir& dir, const fixture::PageImage& page) {
  auto builder = BuildPrimaryFile({});
  builder.SetPage(kTestPage, page);
  const std::string path = dir.File("db.mdf");
  if (!builder.WriteTo(path)) ADD_FAILURE() << "cannot write " << path;
  return path;
}

struct PageRun {
  int exitCode = -1;
  std::string out;
  std::vector<std::string> errors;
};

PageRun RunPage(const std::string& path, PageAddress address, bool deleted = false, bool advanced = false) {
  ApplicationState state;
  state.showDeletedRecords = deleted;
  state.showAdvancedDeletedRecords = advanced;
  testing::ProgressRecorder progress;
  std::ostringstream out;
  PageRun run;
  run.exitCode = RunPageCommand(path, address, state, progress, out);
  run.out = out.str();
  run.errors = progress.Errors();
  return run;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ParsePageAddress, AcceptsDecimalIdsInRangeAndRejectsTheRest) {
  struct Case {
    const char* text;
    std::optional<PageAddress> expected;
  };
  const Case cases[] = {
      {"1:9", PageAddress{1, 9}},
      {"1:0", PageAddress{1, 0}},
      {"3:0007", PageAddress{3, 7}},
      {"65535:2147483647", PageAddress{65535, 2147483647}},
      {"", std::nullopt},
      {"1", std::nullopt},
      {"1:", std::nullopt},
      {":9", std::nullopt},
      {"0:9", std::nullopt},
      {"65536:9", std::nullopt},
      {"1:2147483648", std::nullopt},
      {"1:99999999999", std::nullopt},
      {"-1:9", std::nullopt},
      {"1:-9", std::nullopt},
      {"+1:9", std::nullopt},
      {" 1:9", std::nullopt},
      {"1:9 ", std::nullopt},
      {"1:0x10", std::nullopt},
      {"1:2:3", std::nullopt},
      {"1.5:9", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const PageAddressParse parse = ParsePageAddress(c.text);
    EXPECT_EQ(parse.address, c.expected);
    EXPECT_EQ(parse.error.empty(), c.expected.has_value());
  }
}

TEST(PageCommand, PrintsEveryHeaderFieldTheSlotArrayAndTheRecordParts) {
  testing::TempDir dir;
  PageBuilder builder(1, kObjectId, kTestPage);
  auto& h = builder.header();
  h.typeFlagBits = 0x04;
  h.level = 0;
  h.flagBits = 0x0200;
  h.indexId = 256;
  h.previousPage = {1, 39};
  h.minRecordLength = 11;
  h.nextPage = {1, 41};
  h.reservedCount = 3;
  h.reservedByTransaction = 5;
  h.ghostRecordCount = 0;
  h.tornBits = 0xDEADBEEF;
  builder.Lsn(25, 400, 1).Transaction(2, 1234);
  const Bytes first = PlainRecordBuilder()
                          .Fixed({0x01, 0x02, 0x03, 0x04})
                          .ColumnCount(3)
                          .Nulls({2})
                          .Variable({'A', 0, 'B', 0})
                          .Build();
  Bytes long_value(100);
  for (size_t i = 0; i < long_value.size(); ++i) long_value[i] = static_cast<uint8_t>(i);
  const Bytes second = PlainRecordBuilder()
                           .Fixed({0xAA})
                           .ColumnCount(3)
                           .Variable(long_value)
                           .Variable(Bytes(16, 0x11), /*complex=*/true)
                           .Build();
  builder.AddRecord(first).AddRecord(second);
  const std::string path = WriteFileWithPage(dir, builder.Build());

  const PageRun run = RunPage(path, {1, kTestPage});
  ASSERT_EQ(run.exitCode, kExitOk);
  EXPECT_TRUE(run.errors.empty());
  const size_t second_offset = 96 + first.size();
  const std::string expected =
      "page 1:40 of " + path + "\n"
      "\n"
      "header\n"
      "  header version:          1\n"
      "  page type:               1 (data)\n"
      "  type flag bits:          0x04\n"
      "  level:                   0\n"
      "  flag bits:               0x0200 (checksum)\n"
      "  index id:                256\n"
      "  previous page:           1:39\n"
      "  minimum record length:   11\n"
      "  next page:               1:41\n"
      "  slot count:              2\n"
      "  object id:               2001\n"
      "  free byte count:         " + std::to_string(8192 - second_offset - second.size() - 4) + "\n"
      "  free data offset:        " + std::to_string(second_offset + second.size()) + "\n"
      "  this page:               1:40\n"
      "  reserved byte count:     3\n"
      "  LSN:                     ( 25 : 400 : 1 )\n"
      "  reserved by transaction: 5\n"
      "  transaction id:          ( 2 : 1234 )\n"
      "  ghost record count:      0\n"
      "  torn bits:               0xDEADBEEF (holds the page checksum)\n"
      "\n"
      "slot array: 2 slots\n"
      "  slot 0: offset 96\n"
      "  slot 1: offset " + std::to_string(second_offset) + "\n"
      "\n"
      "records by slot\n"
      "  slot 0 (offset 96): primary, plain, " + std::to_string(first.size()) + " bytes\n"
      "    length:            " + std::to_string(first.size()) + "\n"
      "    ghost:             no\n"
      "    fixed length:      4\n"
      "    fixed data:        01 02 03 04  ....\n"
      "    columns:           3\n"
      "    null bitmap:       04\n"
      "    variable columns:  1\n"
      "      var 0 (4 bytes): 41 00 42 00  A.B.\n"
      "    versioning tag:    no\n"
      "  slot 1 (offset " + std::to_string(second_offset) + "): primary, plain, " +
      std::to_string(second.size()) + " bytes\n"
      "    length:            " + std::to_string(second.size()) + "\n"
      "    ghost:             no\n"
      "    fixed length:      1\n"
      "    fixed data:        AA  .\n"
      "    columns:           3\n"
      "    null bitmap:       00\n"
      "    variable columns:  2\n"
      "      var 0 (100 bytes):\n"
      "        00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F  ................\n"
      "        10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F  ................\n"
      "        20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F   !\"#$%&'()*+,-./\n"
      "        30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F  0123456789:;<=>?\n"
      "        ... (100 bytes)\n"
      "      var 1 (16 bytes, complex): 11 11 11 11 11 11 11 11 11 11 11 11 11 11 11 11  ................\n"
      "    versioning tag:    no\n"
      "records: 2 of 2 slots parsed, 0 skipped, 0 not shown\n";
  EXPECT_EQ(run.out, expected);
}

// Slots the page does not turn into rows: each entry still gets a line that
// says why.
TEST(PageCommand, ExplainsSkippedNotShownAndUnresolvedSlots) {
  testing::TempDir dir;
  const Bytes stub = fixture::ForwardingStub({1, 9999}, 0);  // target outside the file
  const Bytes index_record = PlainRecordBuilder(3).Fixed({1, 2, 3, 4}).ColumnCount(1).Build();
  const Bytes ghost = PlainRecordBuilder(6).Fixed({7, 7}).ColumnCount(2).Variable({'x'}).Build();
  PageBuilder builder(1, kObjectId, kTestPage);
  const uint16_t stub_at = 96;
  const uint16_t index_at = static_cast<uint16_t>(stub_at + stub.size());
  const uint16_t ghost_at = static_cast<uint16_t>(index_at + index_record.size());
  builder.PutBody(stub_at, stub).PutBody(index_at, index_record).PutBody(ghost_at, ghost);
  builder.RawSlots({stub_at, 0, index_at, ghost_at, 40});
  const std::string path = WriteFileWithPage(dir, builder.Build());

  const PageRun plain = RunPage(path, {1, kTestPage});
  ASSERT_EQ(plain.exitCode, kExitOk);
  EXPECT_TRUE(Contains(plain.out,
                       "  slot 0 (offset 96): forwarding stub to 1:9999 slot 0, target not read: target page 1:9999: "
                       "outside the file (64 pages)\n"
                       "  slot 1: skipped (empty slot)\n"))
      << plain.out;
  EXPECT_TRUE(Contains(plain.out, "  slot 2 (offset " + std::to_string(index_at) +
                                      "): index, plain, not shown: index record, not a row (status byte A at offset " +
                                      std::to_string(index_at) + ")\n"
                                      "    bytes:\n"
                                      "      16 00 08 00 01 02 03 04 01 00 00"))
      << plain.out;
  EXPECT_TRUE(Contains(plain.out,
                       "  slot 3 (offset " + std::to_string(ghost_at) +
                           "): ghost data, plain, not shown: deleted record; deleted records are not being read "
                           "(status byte A at offset " + std::to_string(ghost_at) + ")\n"))
      << plain.out;
  EXPECT_TRUE(Contains(plain.out, "  slot 4: skipped (offset 40 is outside 96..8192)\n")) << plain.out;
  EXPECT_TRUE(Contains(plain.out, "records: 3 of 5 slots parsed, 2 skipped, 2 not shown\n")) << plain.out;

  // With --deleted the ghost record is parsed like a row.
  const PageRun deleted = RunPage(path, {1, kTestPage}, /*deleted=*/true);
  ASSERT_EQ(deleted.exitCode, kExitOk);
  EXPECT_TRUE(Contains(deleted.out, "  slot 3 (offset " + std::to_string(ghost_at) +
                                        "): ghost data, plain, " + std::to_string(ghost.size()) + " bytes\n"))
      << deleted.out;
  EXPECT_TRUE(Contains(deleted.out, "      var 0 (1 byte): 78  x\n")) << deleted.out;
  EXPECT_TRUE(Contains(deleted.out, "records: 3 of 5 slots parsed, 2 skipped, 1 not shown\n")) << deleted.out;
}

TEST(PageCommand, DeletedRecordInFreeSpaceIsFoundOnlyWithBothDeletedOptions) {
  testing::TempDir dir;
  const Bytes row = PlainRecordBuilder().Fixed(Bytes(8, 0x01)).ColumnCount(2).Variable({'a', 'b'}).Build();
  // A deleted row of the typical shape: status 0x3C, fixed part ending at 132.
  const Bytes deleted_row =
      PlainRecordBuilder(6).Fixed(Bytes(128, 0x22)).ColumnCount(3).Variable({'g', 'o', 'n', 'e'}).Build();
  ASSERT_EQ(Bytes(deleted_row.begin(), deleted_row.begin() + 4), (Bytes{0x3C, 0x00, 0x84, 0x00}));
  constexpr uint16_t kDeletedAt = 2000;
  PageBuilder builder(1, kObjectId, kTestPage);
  builder.AddRecord(row).PutBody(kDeletedAt, deleted_row);
  const std::string path = WriteFileWithPage(dir, builder.Build());

  const std::string found_slot = "  slot 1: offset 2000 (found in free space)\n";
  const std::string found_record =
      "  slot 1 (offset 2000, found in free space): ghost data, plain, " +
      std::to_string(deleted_row.size()) + " bytes\n";
  struct Case {
    bool deleted;
    bool advanced;
    bool found;
  };
  for (const Case c : {Case{false, false, false}, Case{true, false, false}, Case{false, true, false},
                       Case{true, true, true}}) {
    SCOPED_TRACE(::testing::Message() << "deleted " << c.deleted << ", advanced " << c.advanced);
    const PageRun run = RunPage(path, {1, kTestPage}, c.deleted, c.advanced);
    ASSERT_EQ(run.exitCode, kExitOk);
    EXPECT_EQ(Contains(run.out, found_slot), c.found) << run.out;
    EXPECT_EQ(Contains(run.out, found_record), c.found) << run.out;
    EXPECT_TRUE(Contains(run.out, c.found ? "slot array: 2 slots (1 found in free space)\n"
                                          : "slot array: 1 slot\n"))
        << run.out;
    EXPECT_TRUE(Contains(run.out, c.found ? "records: 2 of 2 slots parsed, 0 skipped, 0 not shown\n"
                                          : "records: 1 of 1 slots parsed, 0 skipped, 0 not shown\n"))
        << run.out;
  }
}

TEST(PageCommand, PrintsTheCompressionInformationAndCompressedRecords) {
  testing::TempDir dir;
  const Bytes anchor = CompressedRecordBuilder().Short({0x10, 0x20}).Long({'a', 'n', 'c'}).Build();
  const Bytes record =
      CompressedRecordBuilder().Short({0x05}).Null().Long({'l', 'o', 'n', 'g'}).NullBitmap().Build();
  PageBuilder builder(1, kObjectId, kTestPage);
  builder.CompressionInfo(fixture::CompressionInfo(anchor, {{'d', '1'}, {'d', '2', '2'}})).AddRecord(record);
  const std::string path = WriteFileWithPage(dir, builder.Build());

  const PageRun run = RunPage(path, {1, kTestPage});
  ASSERT_EQ(run.exitCode, kExitOk);
  EXPECT_TRUE(Contains(run.out, "  type flag bits:          0x80 (page compressed)\n")) << run.out;
  EXPECT_TRUE(Contains(run.out,
                       "compression information\n"
                       "  stored bytes:      06 00 00"))
      << run.out;
  EXPECT_TRUE(Contains(run.out,
                       "  anchor record:     yes\n"
                       "  dictionary:        yes\n"
                       "  anchor record fields\n"))
      << run.out;
  EXPECT_TRUE(Contains(run.out, "    descriptor codes:  3 10\n")) << run.out;
  EXPECT_TRUE(Contains(run.out,
                       "  dictionary entries: 2\n"
                       "    entry 0 (2 bytes): 64 31  d1\n"
                       "    entry 1 (3 bytes): 64 32 32  d22\n"))
      << run.out;
  EXPECT_TRUE(Contains(run.out, "compressed, " + std::to_string(record.size()) + " bytes\n")) << run.out;
  EXPECT_TRUE(Contains(run.out,
                       "    columns:           3\n"
                       "    descriptor codes:  2 0 10\n"
                       "    short data length: 1\n"
                       "    short data:        05  .\n"
                       "    null bitmap:       02\n"
                       "    long values:       1\n"))
      << run.out;
  EXPECT_TRUE(Contains(run.out, "      var 0 (4 bytes): 6C 6F 6E 67  long\n")) << run.out;
}

TEST(PageCommand, ReadsSecondaryFilePagesAndReportsUnreadablePages) {
  testing::TempDir dir;
  ASSERT_TRUE(BuildPrimaryFile({}).WriteTo(dir.File("db.mdf")));
  ASSERT_TRUE(fixture::BuildSecondaryFile(3, kObjectId, 2).WriteTo(dir.File("db_1.ndf")));
  const std::string path = dir.File("db.mdf");

  const PageRun secondary = RunPage(path, {3, 1});
  ASSERT_EQ(secondary.exitCode, kExitOk);
  EXPECT_EQ(secondary.out.substr(0, secondary.out.find('\n')), "page 3:1 of " + dir.File("db_1.ndf"));
  EXPECT_TRUE(Contains(secondary.out, "  this page:               3:1\n")) << secondary.out;

  // Page 0 is read too: the file header page.
  const PageRun page_zero = RunPage(path, {1, 0});
  ASSERT_EQ(page_zero.exitCode, kExitOk);
  EXPECT_TRUE(Contains(page_zero.out, "  page type:               15 (file header)\n")) << page_zero.out;

  const struct {
    PageAddress address;
    std::string error;
  } failures[] = {
      {{1, 9999}, "page 1:9999: outside the file (64 pages)"},
      {{3, 9}, "page 3:9: outside the file (3 pages)"},
      {{4, 1}, "page 4:1: no file with id 4 was found (secondary files are searched as *.ndf beside the "
               "primary file)"},
  };
  for (const auto& failure : failures) {
    const PageRun run = RunPage(path, failure.address);
    EXPECT_EQ(run.exitCode, kExitCannotScan);
    EXPECT_EQ(run.errors, std::vector<std::string>{failure.error});
    EXPECT_TRUE(run.out.empty());
  }
  EXPECT_EQ(RunPage(dir.File("missing.mdf"), {1, 9}).exitCode, kExitCannotScan);
}

using testing::RunCli;

TEST(QuillstoneCli, PageCommandExitCodesAndOptions) {
  testing::TempDir dir;
  PageBuilder builder(1, kObjectId, kTestPage);
  builder.AddRecord(PlainRecordBuilder().Fixed({1}).ColumnCount(1).Build());
  builder.PutBody(1000, PlainRecordBuilder(6).Fixed(Bytes(128, 0)).ColumnCount(2).Variable({'z'}).Build());
  const std::string path = WriteFileWithPage(dir, builder.Build());
  std::string out, err;

  EXPECT_EQ(RunCli("page " + path + " 1:40 --deleted --advanced-deleted", out, err), 0);
  EXPECT_TRUE(Contains(out, "  slot 1: offset 1000 (found in free space)\n")) << out;
  EXPECT_EQ(RunCli("page " + path + " 1:40 --advanced-deleted", out, err), 0);
  EXPECT_FALSE(Contains(out, "found in free space")) << out;

  for (const char* bad : {"1-40", "0:40", "1:-40", "x:1", "1:4294967296"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(RunCli("page " + path + " " + bad, out, err), 2);
    EXPECT_TRUE(Contains(err, ParsePageAddress(bad).error)) << err;
    EXPECT_TRUE(out.empty());
  }
  EXPECT_EQ(RunCli("page " + path, out, err), 2);

  EXPECT_EQ(RunCli("page " + path + " 1:9999", out, err), 1);
  EXPECT_TRUE(Contains(err, "page 1:9999: outside the file (64 pages)\n")) << err;
  EXPECT_TRUE(out.empty());

  EXPECT_EQ(RunCli("page --help", out, err), 0);
  EXPECT_TRUE(Contains(out, "--advanced-deleted")) << out;
  EXPECT_TRUE(Contains(out, "only together with --deleted")) << out;
}

}  // namespace
}  // namespace quill
