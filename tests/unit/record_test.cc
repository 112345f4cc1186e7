// Cutting single records into their parts: the plain and compressed layouts
// and their damaged forms.
#include "records/record.h"

#include <gtest/gtest.h>

#include "page_builder.h"
#include "pages/database_file.h"
#include "record_builder.h"
#include "support/page_parse.h"

namespace quill {
namespace {

using fixture::Bytes;
using fixture::CompressedRecordBuilder;
using fixture::PageBuilder;
using fixture::PlainRecordBuilder;
using testing::ParseDataPage;

Bytes B(std::span<const uint8_t> bytes) { return Bytes(bytes.begin(), bytes.end()); }

Bytes Fill(size_t n, uint8_t first = 1) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(first + i);
  return b;
}

// The record of slot 0 of a data page holding `record`, parsed with
// `options`.
struct Parsed {
  std::unique_ptr<CDataPage> page;
  const CPrimaryRecord* record = nullptr;
};

Parsed ParseRecord(const Bytes& record, const RecordParseOptions& options = {},
                   PageBuilder builder = PageBuilder(1, 500, 20)) {
  Parsed parsed;
  parsed.page = ParseDataPage(builder.AddRecord(record).Build(), nullptr, options);
  if (!parsed.page->records().empty()) parsed.record = parsed.page->records()[0];
  return parsed;
}

// A slot record cut from `bytes` alone, as at the very end of a page where
// only bytes.size() bytes remain.
std::unique_ptr<CPrimaryRecord> ParseAtPageEnd(const Bytes& bytes) {
  // The record keeps a reference to its page's context: the page stays.
  static const std::unique_ptr<CDataPage> page = ParseDataPage(PageBuilder(1, 500, 20).Build());
  return std::make_unique<CPrimaryRecord>(CPrimaryRecord::SlotRecord{}, bytes, page->context(),
                                          static_cast<uint16_t>(bytes.size()));
}

TEST(PlainRecord, CutsFixedDataBitmapAndVariableColumns) {
  Bytes record = PlainRecordBuilder()
                     .Fixed({0xAA, 0xBB, 0xCC, 0xDD})
                     .ColumnCount(3)
                     .Nulls({})
                     .Variable(Fill(2))
                     .Variable(Fill(20, 0x40), /*complex=*/true)
                     .Build();
  ASSERT_EQ(record[0], 0x30);
  Parsed p = ParseRecord(record);
  ASSERT_NE(p.record, nullptr);
  const CPrimaryRecord& r = *p.record;
  EXPECT_FALSE(r.notShown());
  EXPECT_EQ(r.kind, 0);
  EXPECT_EQ(r.fixedLength, 4);
  EXPECT_EQ(B(r.fixedData), (Bytes{0xAA, 0xBB, 0xCC, 0xDD}));
  EXPECT_EQ(r.columnCount, 3);
  EXPECT_EQ(r.nullBitmap.size(), 1u);
  EXPECT_EQ(r.varCount, 2);
  ASSERT_EQ(r.varEntries().size(), 2u);
  EXPECT_EQ(Bytes(r.varEntries()[0].bytes().begin(), r.varEntries()[0].bytes().end()), Fill(2));
  EXPECT_FALSE(r.varEntries()[0].complex);
  EXPECT_EQ(r.varEntries()[1].length, 20);
  EXPECT_TRUE(r.varEntries()[1].complex);
  // Values are views into the page, where the record holds them.
  EXPECT_EQ(r.varEntries()[1].data.data(), p.page->data().data() + 96 + 19);
  EXPECT_EQ(r.varEnd(0), 19);
  EXPECT_EQ(r.varEnd(1), 39);  // bit 15 cleared
  EXPECT_TRUE(r.varEndIsComplex(1));
  EXPECT_EQ(r.recordEnd, 39);
  EXPECT_EQ(B(r.rawCopy), record);
}

TEST(PlainRecord, VariableColumnEdgeCases) {
  struct Case {
    const char* name;
    Bytes record;
    int expected_var_count;
    std::vector<int> expected_lengths;  // -1: entry without data
    int expected_end;
  } cases[] = {
      {"zero-length value keeps the position",
       PlainRecordBuilder().Fixed(Fill(4)).ColumnCount(3).Nulls({}).Variable({}).Variable(Fill(3)).Build(),
       2, {-1, 3}, 4 + 4 + 2 + 1 + 2 + 4 + 3},
      {"no fixed data and no bitmap: every column variable, no count field",
       PlainRecordBuilder().ColumnCount(2).NoNullBitmap().OmitVariableCount().Variable(Fill(2)).Variable(Fill(5)).Build(),
       2, {2, 5}, 4 + 2 + 4 + 7},
      {"variable count above column count",
       PlainRecordBuilder().Fixed(Fill(4)).ColumnCount(1).Nulls({}).Variable(Fill(2)).Variable(Fill(2)).Build(),
       0, {}, 0},
      {"negative variable count reads no values",
       PlainRecordBuilder().Fixed(Fill(4)).ColumnCount(2).Nulls({}).Variable(Fill(2)).StoredVariableCount(-3).Build(),
       -3, {}, 4 + 4 + 2 + 1 + 2},
      {"versioning tag counts into the record",
       PlainRecordBuilder().Fixed(Fill(4)).ColumnCount(2).Nulls({}).Variable(Fill(6)).VersioningTag().Build(),
       1, {6}, 4 + 4 + 2 + 1 + 2 + 2 + 6 + 14},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Parsed p = ParseRecord(c.record);
    ASSERT_NE(p.record, nullptr);
    EXPECT_EQ(p.record->varCount, c.expected_var_count);
    ASSERT_EQ(p.record->varEntries().size(), c.expected_lengths.size());
    for (size_t i = 0; i < c.expected_lengths.size(); ++i) {
      const VarColumnEntry& e = p.record->varEntries()[i];
      if (c.expected_lengths[i] < 0) {
        EXPECT_FALSE(e.hasData()) << i;
      } else {
        EXPECT_EQ(e.length, c.expected_lengths[i]) << i;
      }
    }
    EXPECT_EQ(p.record->recordEnd, c.expected_end);
    EXPECT_EQ(!p.record->rawCopy.empty(), c.expected_end > 0);
  }
}

TEST(PlainRecord, ForwardedRecordWithoutCountFieldAndAllVariableColumnsKeepsItsValues) {
  // The stored count (3) exceeds the column count (2) only by the back pointer.
  Bytes record = PlainRecordBuilder(1)
                     .Fixed(Fill(4))
                     .ColumnCount(2)
                     .Nulls({})
                     .Variable(Fill(3))
                     .Variable(Fill(4))
                     .BackPointer({1, 77}, 5)
                     .Build();
  Parsed p = ParseRecord(record);
  ASSERT_NE(p.record, nullptr);
  EXPECT_EQ(p.record->kind, 1);
  EXPECT_EQ(p.record->varEntries().size(), 2u);
  EXPECT_EQ(p.record->recordEnd, static_cast<int32_t>(record.size()));
}

TEST(PlainRecord, DamagedOffsetsAndLengthsLeaveThePartAbsent) {
  // End offsets that go backwards, and one past the page.
  Bytes backwards = PlainRecordBuilder().Fixed(Fill(4)).ColumnCount(3).Nulls({}).Variable(Fill(8)).Variable(Fill(4)).Build();
  const size_t ends = 4 + 4 + 2 + 1 + 2;
  backwards[ends + 2] = 5;  // second end offset far before the first value's end
  backwards[ends + 3] = 0;
  Parsed p = ParseRecord(backwards);
  ASSERT_NE(p.record, nullptr);
  ASSERT_EQ(p.record->varEntries().size(), 2u);
  EXPECT_EQ(p.record->varEntries()[0].length, 8);
  EXPECT_FALSE(p.record->varEntries()[1].hasData());

  // A record at the very end of the page whose value runs past it.
  Bytes tail = PlainRecordBuilder().Fixed(Fill(4)).ColumnCount(2).Nulls({}).Variable(Fill(40)).Build();
  tail.resize(30);
  auto r = ParseAtPageEnd(tail);
  ASSERT_EQ(r->varEntries().size(), 1u);
  EXPECT_FALSE(r->varEntries()[0].hasData());
  EXPECT_LE(r->rawCopy.size(), 30u);

  // A fixed part longer than the record can hold.
  Bytes long_fixed = PlainRecordBuilder().Fixed(Fill(4)).ColumnCount(1).Nulls({}).Build();
  long_fixed[2] = 0xFF;
  long_fixed[3] = 0x1F;  // F = 8191
  Parsed f = ParseRecord(long_fixed);
  ASSERT_NE(f.record, nullptr);
  EXPECT_TRUE(f.record->fixedData.empty());
}

TEST(PlainRecord, SparseVectorValues) {
  Bytes vector = fixture::SparseVector({{7, Fill(4)}, {9, Fill(2, 0x50)}});
  Parsed p = ParseRecord(PlainRecordBuilder().Fixed(Fill(4)).ColumnCount(3).Nulls({}).Variable(Fill(2))
                             .Variable(vector, true).Build());
  ASSERT_NE(p.record, nullptr);
  ASSERT_TRUE(p.record->sparseValues.has_value());
  const SparseValueList& sparse = *p.record->sparseValues;
  EXPECT_EQ(sparse.count, 2);
  ASSERT_EQ(sparse.entries.size(), 2u);
  EXPECT_EQ(sparse.entries[0].columnId, 7);
  EXPECT_EQ(sparse.entries[0].length, 4);
  EXPECT_EQ(sparse.entries[1].columnId, 9);
  EXPECT_EQ(Bytes(sparse.entries[1].bytes().begin(), sparse.entries[1].bytes().end()), Fill(2, 0x50));

  // Counts that lie: more values claimed than the vector holds.
  Bytes lying = vector;
  lying[2] = 200;
  Parsed q = ParseRecord(PlainRecordBuilder().Fixed(Fill(4)).ColumnCount(2).Nulls({}).Variable(lying, true).Build());
  ASSERT_NE(q.record, nullptr);
  EXPECT_FALSE(q.record->sparseValues.has_value());  // 4 + 2k runs past the vector
  Bytes bad_ends = vector;
  bad_ends[8] = 0xFF;  // first value ends far past the vector
  bad_ends[9] = 0x7F;
  Parsed r = ParseRecord(PlainRecordBuilder().Fixed(Fill(4)).ColumnCount(2).Nulls({}).Variable(bad_ends, true).Build());
  ASSERT_TRUE(r.record->sparseValues.has_value());
  EXPECT_FALSE(r.record->sparseValues->entries[0].hasData());
}

TEST(PlainRecord, KindsAndGhostsFollowTheDeletedRecordOption) {
  Bytes ghost = PlainRecordBuilder(6).Fixed(Fill(4)).ColumnCount(1).Nulls({}).Build();
  Parsed hidden = ParseRecord(ghost);
  ASSERT_NE(hidden.record, nullptr);
  EXPECT_TRUE(hidden.record->notShown());

  RecordParseOptions options;
  options.showDeletedRecords = true;
  Parsed shown = ParseRecord(ghost, options);
  ASSERT_NE(shown.record, nullptr);
  EXPECT_FALSE(shown.record->notShown());
  EXPECT_FALSE(shown.record->isGhost);
  EXPECT_EQ(shown.record->kind, 6);

  for (int kind : {3, 4, 5, 7}) {
    SCOPED_TRACE(kind);
    Parsed p = ParseRecord(PlainRecordBuilder(kind).Fixed(Fill(4)).ColumnCount(1).Nulls({}).Build(), options);
    ASSERT_NE(p.record, nullptr);
    EXPECT_TRUE(p.record->notShown());
  }
}

TEST(PlainRecord, PageCheckRejectsNegativePageIdsAndUnknownTypes) {
  Bytes record = PlainRecordBuilder().Fixed(Fill(4)).ColumnCount(1).Nulls({}).Build();
  Parsed negative = ParseRecord(record, {}, PageBuilder(1, 500, -3));
  Parsed type18 = ParseRecord(record, {}, PageBuilder(18, 500, 20));
  Parsed type17 = ParseRecord(record, {}, PageBuilder(17, 500, 20));
  // A negative own page id fails the page's sign checks: no records at all.
  EXPECT_TRUE(negative.page->records().empty());
  EXPECT_EQ(negative.page->recordsFailure().Text(),
            "offset 32, field this page id: the header's this page id is negative");
  ASSERT_NE(type18.record, nullptr);
  EXPECT_TRUE(type18.record->notShown());
  EXPECT_EQ(type18.record->rejection().message(), "page type 18 holds no row records (types above 17 do not)");
  ASSERT_NE(type17.record, nullptr);
  EXPECT_FALSE(type17.record->notShown());
}

TEST(CompressedRecord, CutsCodesShortDataBitmapAndLongValues) {
  Bytes record = CompressedRecordBuilder()
                     .Short({0x11})
                     .Null()
                     .Empty()
                     .Short(Fill(8))
                     .Symbol(3)
                     .Long(Fill(30, 0x60))
                     .Long(Fill(5, 0x90), true)
                     .NullBitmap()
                     .Build();
  Parsed p = ParseRecord(record);
  ASSERT_NE(p.record, nullptr);
  const CPrimaryRecord& r = *p.record;
  EXPECT_TRUE(r.isCompressed);
  EXPECT_FALSE(r.notShown());
  EXPECT_EQ(r.columnCount, 7);
  EXPECT_EQ(r.cdCodes(), (std::vector<int32_t>{2, 0, 1, 9, 12, 10, 10}));
  EXPECT_EQ(r.fixedLength, 1 + 8 + 1);
  ASSERT_FALSE(r.fixedData.empty());
  EXPECT_EQ(r.fixedData.size(), 10u);
  EXPECT_TRUE(r.IsNullColumn(1));
  EXPECT_FALSE(r.IsNullColumn(0));
  EXPECT_EQ(r.varCount, 2);
  ASSERT_EQ(r.varEntries().size(), 2u);
  EXPECT_EQ(r.varEntries()[0].length, 30);
  EXPECT_TRUE(r.varEntries()[1].complex);
  EXPECT_EQ(r.longEnds().size(), 2u);
  EXPECT_EQ(r.recordEnd, static_cast<int32_t>(record.size()));
}

TEST(CompressedRecord, ColumnCountFormsAndClusterArrays) {
  struct Case {
    const char* name;
    int columns;
    bool wide;
    int header_size;
  } cases[] = {
      {"30 columns: no cluster byte", 30, false, 2},
      {"31 columns: one cluster byte", 31, false, 2},
      {"129 columns: two-byte count", 129, false, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CompressedRecordBuilder builder;
    for (int i = 0; i < c.columns; ++i) builder.Short({static_cast<uint8_t>(i)});
    Bytes record = builder.Build();
    Parsed p = ParseRecord(record);
    ASSERT_NE(p.record, nullptr);
    EXPECT_EQ(p.record->columnCount, c.columns);
    EXPECT_EQ(p.record->fixedLength, c.columns);
    const int clusters = (c.columns - 1) / 30;
    EXPECT_EQ(p.record->recordEnd, c.header_size + (c.columns + 1) / 2 + clusters + c.columns);
    ASSERT_FALSE(p.record->fixedData.empty());
    EXPECT_EQ(p.record->fixedData[5], 5);
  }
}

TEST(CompressedRecord, RejectedColumnCounts) {
  struct Case {
    const char* name;
    Bytes record;
    std::string reason;
  } cases[] = {
      {"count 0", {0x01, 0x00, 0x00, 0x00}, "column count 0 is not 1 to 1024"},
      {"two-byte count 1153", {0x01, 0x81, 0x04, 0x00}, "column count 1153 is not 1 to 1024"},
      {"two-byte count cut by the page", {0x01, 0x81}, "the column count is cut off by the end of the page"},
      {"status byte only", {0x01}, "the column count is cut off by the end of the page"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto record = ParseAtPageEnd(c.record);
    ASSERT_TRUE(record->notShown());
    const Status rejection = record->rejection();
    EXPECT_EQ(rejection.message(), c.reason);
    ASSERT_NE(rejection.place().field, nullptr);
    EXPECT_STREQ(rejection.place().field, "column count");
  }
}

TEST(ProbeRecord, MeasuresPlainRecordsAndRefusesTheRest) {
  RecordParseOptions options;
  options.showDeletedRecords = true;
  CDatabaseFile file;
  fixture::PageImage image = PageBuilder(1, 500, 20).Build();
  auto page = ParseDataPage(image, &file, options);
  struct Case {
    const char* name;
    Bytes bytes;
    int32_t expected;
  } cases[] = {
      {"plain", PlainRecordBuilder().Fixed(Fill(4)).ColumnCount(2).Nulls({}).Variable(Fill(3)).Build(), 4 + 4 + 2 + 1 + 2 + 2 + 3},
      {"deleted", PlainRecordBuilder(6).Fixed(Fill(128)).ColumnCount(2).Nulls({}).Variable(Fill(3)).Build(), 4 + 128 + 2 + 1 + 2 + 2 + 3},
      {"stub", fixture::ForwardingStub({1, 5}, 0), -1},
      {"compressed", CompressedRecordBuilder().Short({1}).Build(), -1},
      {"index record", PlainRecordBuilder(3).Fixed(Fill(4)).ColumnCount(1).Build(), -1},
      {"column count 0", PlainRecordBuilder().Fixed(Fill(4)).ColumnCount(0).Build(), -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int32_t end = 0;
    CPrimaryRecord probe(CPrimaryRecord::ProbeRecord{}, page->context(), c.bytes, end);
    EXPECT_EQ(end, c.expected);
    EXPECT_TRUE(probe.rawCopy.empty());
    EXPECT_TRUE(probe.fixedData.empty());
  }
}

TEST(AnchorRecord, ParsesTheCompressedLayoutWhateverTheStatusSays) {
  Bytes anchor = CompressedRecordBuilder().Short({7, 8}).Null().Build();
  anchor[0] = 0x06;  // bit 0 clear, kind 3
  fixture::PageImage image = PageBuilder(1, 500, 20).Build();
  auto page = ParseDataPage(image);
  CPrimaryRecord record(CPrimaryRecord::AnchorRecord{}, page->context(), anchor, 100);
  EXPECT_TRUE(record.isCompressed);
  EXPECT_EQ(record.columnCount, 2);
  EXPECT_EQ(record.cdCodes(), (std::vector<int32_t>{3, 0}));
}

}  // namespace
}  // namespace quill
