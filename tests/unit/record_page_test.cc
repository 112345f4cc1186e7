// Record pages: the slot array, the header checks, compression information,
// forwarding stubs and the search for deleted records.
#include "records/record_page.h"

#include <gtest/gtest.h>

#include <functional>

#include "database_builder.h"
#include "page_builder.h"
#include "pages/database_file.h"
#include "record_builder.h"
#include "support/page_parse.h"
#include "support/temp_dir.h"
#include "records/page_reads.h"

namespace quill {
namespace {

using fixture::Bytes;
using fixture::CompressedRecordBuilder;
using fixture::PageBuilder;
using fixture::PageHeaderFields;
using fixture::PageImage;
using fixture::PlainRecordBuilder;
using testing::ParseDataPage;

Bytes B(std::span<const uint8_t> bytes) { return Bytes(bytes.begin(), bytes.end()); }

Bytes SmallRecord(uint8_t tag, int kind = 0) {
  return PlainRecordBuilder(kind).Fixed({tag, 0, 0, 0}).ColumnCount(2).Nulls({}).Variable({tag, tag}).Build();
}

// Indexes of the records that were parsed and shown.
std::vector<size_t> ShownSlots(const PrimaryRecordPage& page) {
  std::vector<size_t> shown;
  for (size_t i = 0; i < page.records().size(); ++i) {
    if (page.records()[i] && !page.records()[i]->notShown()) shown.push_back(i);
  }
  return shown;
}

TEST(RecordPage, SlotCountsOutsideTheirRangeGiveNoRecords) {
  for (uint16_t slot_count : {uint16_t{0}, uint16_t{4000}, uint16_t{0x8001}, uint16_t{0xFFFF}}) {
    SCOPED_TRACE(slot_count);
    PageImage image = PageBuilder(1, 500, 20).AddRecord(SmallRecord(1)).Build();
    image.Put<uint16_t>(page_header_layout::kSlotCount, slot_count);
    auto page = ParseDataPage(image);
    EXPECT_FALSE(page->slotOffsets().has_value());
    EXPECT_TRUE(page->records().empty());
  }
}

TEST(RecordPage, BadSlotOffsetsSkipTheirSlotOnly) {
  PageBuilder builder(1, 500, 20);
  builder.AddRecord(SmallRecord(1)).AddRecord(SmallRecord(2));
  const uint16_t second = static_cast<uint16_t>(96 + SmallRecord(1).size());
  builder.RawSlots({0, 50, 96, 8191, 9000, second});
  auto page = ParseDataPage(builder.Build());
  ASSERT_EQ(page->records().size(), 6u);
  EXPECT_EQ(page->records()[0], nullptr);
  EXPECT_EQ(page->records()[1], nullptr);
  EXPECT_NE(page->records()[2], nullptr);
  // Offset 8191 leaves one byte to parse: a record with nothing in it.
  ASSERT_NE(page->records()[3], nullptr);
  EXPECT_EQ(page->records()[3]->recordEnd, 0);
  EXPECT_TRUE(page->records()[3]->fixedData.empty());
  EXPECT_EQ(page->records()[4], nullptr);
  EXPECT_EQ(ShownSlots(*page), (std::vector<size_t>{2, 3, 5}));
  EXPECT_EQ(page->records()[5]->fixedData[0], 2);
}

TEST(RecordPage, HeaderChecksAndSkipRules) {
  struct Case {
    const char* name;
    std::function<void(PageImage&)> damage;
    bool show_deleted;
    size_t shown;
  } cases[] = {
      {"healthy", [](PageImage&) {}, false, 2},
      {"non-leaf index page", [](PageImage& p) {
         p.Put<uint8_t>(page_header_layout::kPageType, 2);
         p.Put<uint8_t>(page_header_layout::kLevel, 1);
       }, false, 0},
      {"ghost count equals slot count", [](PageImage& p) { p.Put<uint16_t>(page_header_layout::kGhostRecordCount, 2); },
       false, 0},
      {"ghost count equals slot count, deleted shown",
       [](PageImage& p) { p.Put<uint16_t>(page_header_layout::kGhostRecordCount, 2); }, true, 2},
      {"negative free count", [](PageImage& p) { p.Put<uint16_t>(page_header_layout::kFreeCount, 0x8000); }, false, 0},
      {"negative next page", [](PageImage& p) { p.Put<int32_t>(page_header_layout::kNextPageId, -1); }, false, 0},
      {"negative previous file", [](PageImage& p) { p.Put<uint16_t>(page_header_layout::kPreviousFileId, 0xFFFF); },
       false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PageImage image = PageBuilder(1, 500, 20).AddRecord(SmallRecord(1)).AddRecord(SmallRecord(2)).Build();
    c.damage(image);
    RecordParseOptions options;
    options.showDeletedRecords = c.show_deleted;
    CDatabaseFile file;
    auto page = ParseDataPage(image, &file, options);
    EXPECT_EQ(ShownSlots(*page).size(), c.shown);
  }
}

TEST(RecordPage, DeletedRecordSearchFindsRowsNoSlotPointsTo) {
  const Bytes live = SmallRecord(1);
  // Deleted rows keep a fixed end offset of 132: 128 bytes of fixed data.
  const Bytes deleted = PlainRecordBuilder(6).Fixed(Bytes(128, 0x44)).ColumnCount(2).Nulls({}).Variable({9, 9}).Build();
  const Bytes deleted_plain = PlainRecordBuilder(0).Fixed(Bytes(128, 0x55)).ColumnCount(2).Nulls({}).Variable({8}).Build();
  ASSERT_EQ(deleted[0], 0x3C);
  ASSERT_EQ(deleted_plain[0], 0x30);
  PageBuilder builder(1, 500, 20);
  builder.AddRecord(live);
  // Garbage, then the deleted rows further down the free space.
  builder.PutBody(96 + live.size(), Bytes(37, 0xFF));
  builder.PutBody(1000, deleted);
  builder.PutBody(3000, deleted_plain);
  const PageImage image = builder.Build();

  struct Case {
    const char* name;
    bool show_deleted;
    bool advanced;
    std::vector<uint16_t> offsets;
  } cases[] = {
      {"options off", false, false, {96}},
      {"advanced alone does nothing", false, true, {96}},
      {"both on", true, true, {96, 1000, 3000}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordParseOptions options;
    options.showDeletedRecords = c.show_deleted;
    options.showAdvancedDeletedRecords = c.advanced;
    CDatabaseFile file;
    auto page = ParseDataPage(image, &file, options);
    ASSERT_TRUE(page->slotOffsets());
    EXPECT_EQ(*page->slotOffsets(), c.offsets);
    EXPECT_EQ(ShownSlots(*page).size(), c.offsets.size());
  }
}

TEST(RecordPage, DeletedRecordSearchEndsOnAnyPageBody) {
  // Markers everywhere, and random bytes: the search must end and stay in the page.
  PageBuilder markers(1, 500, 20);
  markers.AddRecord(SmallRecord(1));
  for (size_t offset = 200; offset + 4 <= 8000; offset += 4) markers.PutBody(offset, Bytes{0x3C, 0x00, 0x84, 0x00});
  PageBuilder noise(1, 500, 20);
  noise.AddRecord(SmallRecord(1));
  Bytes random(7000);
  uint32_t x = 12345;
  for (auto& b : random) b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 16);
  noise.PutBody(200, random);
  for (const PageImage& image : {markers.Build(), noise.Build()}) {
    RecordParseOptions options;
    options.showDeletedRecords = true;
    options.showAdvancedDeletedRecords = true;
    CDatabaseFile file;
    auto page = ParseDataPage(image, &file, options);
    ASSERT_TRUE(page->slotOffsets());
    EXPECT_EQ(page->slotOffsets()->front(), 96);
    EXPECT_EQ(page->records().size(), page->slotOffsets()->size());
  }
}

TEST(RecordPage, DeletedRecordSearchFindsRowsOfThePagesOwnShape) {
  // A table whose fixed part ends at offset 12 (8 bytes of fixed data): no
  // 132 marker anywhere; the header's minimum record length gives the shape.
  const Bytes live = PlainRecordBuilder(0).Fixed(Bytes(8, 0x11)).ColumnCount(3).Nulls({}).Variable({1, 2}).Build();
  const Bytes deleted = PlainRecordBuilder(0).Fixed(Bytes(8, 0x22)).ColumnCount(3).Nulls({}).Variable({3}).Build();
  PageBuilder builder(1, 500, 20);
  builder.header().minRecordLength = 12;
  builder.AddRecord(live);
  builder.PutBody(96 + live.size(), Bytes(23, 0xFF));  // the walk loses its step here
  builder.PutBody(2000, deleted);
  builder.PutBody(2500, Bytes{0x30, 0x00, 0x0C, 0x00, 0x00, 0x00});  // a column count of 0: no record
  builder.PutBody(3000, Bytes{0x30, 0x00, 0x0C, 0x00, 0xFF, 0xFF});  // the shape, but no record
  const PageImage image = builder.Build();

  RecordParseOptions options;
  options.showDeletedRecords = true;
  options.showAdvancedDeletedRecords = true;
  CDatabaseFile file;
  auto page = ParseDataPage(image, &file, options);
  ASSERT_TRUE(page->slotOffsets());
  EXPECT_EQ(*page->slotOffsets(), (std::vector<uint16_t>{96, 2000}));
  EXPECT_EQ(ShownSlots(*page).size(), 2u);
}

TEST(RecordPage, CompressionInformationAnchorValuesAndDictionary) {
  const Bytes anchor = CompressedRecordBuilder().Short({0x10, 0x20}).Null().Empty().Long(Bytes(12, 0x77)).Build();
  const Bytes info = fixture::CompressionInfo(anchor, {{'a', 'b', 'c'}, {'x'}});
  const Bytes row = CompressedRecordBuilder().Symbol(0).Symbol(1).Null().Short({5}).Build();
  const PageImage image = PageBuilder(1, 500, 20).CompressionInfo(info).AddRecord(row).Build();

  const std::vector<ColumnDescriptor> table(4);
  RecordParseOptions options;
  options.currentTable = &table;
  CDatabaseFile file;
  auto page = ParseDataPage(image, &file, options);
  EXPECT_TRUE(page->hasAnchor());
  EXPECT_TRUE(page->hasDictionary());
  ASSERT_NE(page->anchorRecord(), nullptr);
  ASSERT_EQ(page->anchorValues().size(), 4u);
  EXPECT_EQ(page->anchorValues()[0].length, 2);
  EXPECT_EQ(B(page->anchorValues()[0].data), (Bytes{0x10, 0x20}));
  EXPECT_EQ(page->anchorValues()[1].length, -2);
  EXPECT_EQ(page->anchorValues()[2].length, -1);
  EXPECT_EQ(page->anchorValues()[3].length, 12);
  ASSERT_EQ(page->dictionaryEntries().size(), 2u);
  EXPECT_EQ(page->dictionaryEntries()[0].length, 3);
  EXPECT_EQ(B(page->dictionaryEntries()[0].data), (Bytes{'a', 'b', 'c'}));
  EXPECT_EQ(page->dictionaryEntries()[1].length, 1);
  // The compressed row was expanded against the table's four columns.
  ASSERT_EQ(page->records().size(), 1u);
  EXPECT_EQ(page->records()[0]->columnFlags().size(), 4u);

  // Without a current table there are no anchor values and nothing expands.
  CDatabaseFile plain_file;
  auto plain = ParseDataPage(image, &plain_file);
  EXPECT_TRUE(plain->anchorValues().empty());
  EXPECT_TRUE(plain->records()[0]->columnFlags().empty());
  EXPECT_EQ(plain->dictionaryEntries().size(), 2u);

  // A size of 0 means no compression information at all.
  PageImage sizeless = image;
  sizeless.Put<uint16_t>(compression_info_layout::kSize, 0);
  auto ignored = ParseDataPage(sizeless, &file, options);
  EXPECT_FALSE(ignored->hasAnchor());
  EXPECT_EQ(ignored->anchorRecord(), nullptr);
  EXPECT_EQ(ignored->records().size(), 1u);
}

TEST(RecordPage, DamagedDictionaryStaysInsideThePage) {
  const Bytes anchor = CompressedRecordBuilder().Short({1}).Build();
  Bytes info = fixture::CompressionInfo(anchor, {{'a'}, {'b'}});
  const size_t dictionary = info[3] | (info[4] << 8);
  info[dictionary] = 0xFF;  // 65535 entries claimed
  info[dictionary + 1] = 0xFF;
  const PageImage image = PageBuilder(1, 500, 20).CompressionInfo(info).AddRecord(SmallRecord(1)).Build();
  auto page = ParseDataPage(image);
  EXPECT_TRUE(page->hasDictionary());
  EXPECT_LE(page->dictionaryEntries().size(), 2u);
  EXPECT_EQ(ShownSlots(*page).size(), 1u);
}

class ForwardingTest : public ::testing::Test {
 protected:
  // Page 40 holds stubs, page 41 the forwarded record in slot 1.
  void Write(const Bytes& stub0, const Bytes& stub1) {
    fixture::PrimaryFileLayout file_layout;
    auto builder = fixture::BuildPrimaryFile(file_layout);
    const Bytes forwarded = PlainRecordBuilder(1).Fixed({7, 7, 7, 7}).ColumnCount(2).Nulls({}).Variable({1, 2, 3})
                                .BackPointer({1, 40}, 0).Build();
    builder.SetPage(40, PageBuilder(1, 500, 40).AddRecord(stub0).AddRecord(stub1).Build());
    builder.SetPage(41, PageBuilder(1, 500, 41).AddRecord(SmallRecord(9)).AddRecord(forwarded).Build());
    path_ = dir_.File("fwd.mdf");
    ASSERT_TRUE(builder.WriteTo(path_));
    ASSERT_TRUE(file_.Open(path_, nullptr));
  }
  testing::TempDir dir_;
  std::string path_;
  CDatabaseFile file_;
};

TEST_F(ForwardingTest, StubTakesTheValuesOfTheForwardedRecord) {
  Write(fixture::ForwardingStub({1, 41}, 1), SmallRecord(2));
  auto page = quill::ReadDataPage(file_, {1, 40}, {});
  ASSERT_NE(page, nullptr);
  const CPrimaryRecord* stub = page->records()[0];
  ASSERT_NE(stub, nullptr);
  EXPECT_EQ(stub->kind, 2);
  EXPECT_EQ(stub->fixedLength, 4);
  EXPECT_EQ(B(stub->fixedData), (Bytes{7, 7, 7, 7}));
  ASSERT_EQ(stub->varEntries().size(), 1u);  // back pointer kept out
  EXPECT_EQ(stub->varEntries()[0].length, 3);
  ASSERT_FALSE(stub->rawCopy.empty());
  // Where the stub points, and where its forwarded record says its stub is.
  EXPECT_EQ(stub->forwardTarget, (RecordAddress{{1, 41}, 1}));
  EXPECT_EQ(stub->backPointer, (RecordAddress{{1, 40}, 0}));

  auto target = quill::ReadDataPage(file_, {1, 41}, {});
  ASSERT_NE(target, nullptr);
  const CPrimaryRecord* forwarded = target->records()[1];
  ASSERT_NE(forwarded, nullptr);
  EXPECT_EQ(forwarded->kind, kRecordKindForwarded);
  EXPECT_EQ(forwarded->backPointer, (RecordAddress{{1, 40}, 0}));
  EXPECT_FALSE(forwarded->forwardTarget);
  EXPECT_FALSE(target->records()[0]->backPointer);
}

TEST_F(ForwardingTest, UnreadableTargetsLeaveAnUnresolvedStub) {
  struct Case {
    const char* name;
    Bytes stub0;
    Bytes stub1;
  } cases[] = {
      {"itself", fixture::ForwardingStub({1, 40}, 0), SmallRecord(2)},
      {"page 0", fixture::ForwardingStub({1, 0}, 0), SmallRecord(2)},
      {"outside the file", fixture::ForwardingStub({1, 99999}, 0), SmallRecord(2)},
      {"unknown file", fixture::ForwardingStub({7, 41}, 1), SmallRecord(2)},
      {"slot past the target's slots", fixture::ForwardingStub({1, 41}, 2), SmallRecord(2)},
      {"negative slot", fixture::ForwardingStub({1, 41}, 0xFFFF), SmallRecord(2)},
      {"two stubs pointing at each other", fixture::ForwardingStub({1, 40}, 1), fixture::ForwardingStub({1, 40}, 0)},
      {"a record that is not a forwarded one", fixture::ForwardingStub({1, 41}, 0), SmallRecord(2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Write(c.stub0, c.stub1);
    auto page = quill::ReadDataPage(file_, {1, 40}, {});
    ASSERT_NE(page, nullptr);
    const CPrimaryRecord* stub = page->records()[0];
    ASSERT_NE(stub, nullptr);
    EXPECT_EQ(stub->kind, 2);
    EXPECT_FALSE(stub->notShown());
    EXPECT_EQ(stub->fixedLength, kUnresolvedStubLength);
    EXPECT_TRUE(stub->fixedData.empty());
    EXPECT_EQ(stub->columnCount, 0);
  }
}

TEST(RecordPage, SingleSlotParse) {
  PageBuilder builder(1, 500, 20);
  builder.AddRecord(SmallRecord(1)).AddRecord(SmallRecord(2));
  const PageImage image = builder.Build();
  struct Case {
    uint16_t slot;
    size_t entries;
    bool present;
  } cases[] = {{0, 1, true}, {1, 1, true}, {2, 0, false}, {500, 0, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.slot);
    PrimaryRecordPage page(testing::ToBuffer(image), nullptr, {}, PrimaryRecordPage::SingleSlot{}, c.slot);
    ASSERT_EQ(page.records().size(), c.entries);
    if (c.present) {
      EXPECT_EQ(page.records()[0]->fixedData[0], c.slot + 1);
    }
  }
}

}  // namespace
}  // namespace quill

namespace quill {
namespace {

// Random page bodies behind a plausible header, with every option on: the
// parse must stay inside the page (the sanitizer build checks) and end.
TEST(RecordPage, RandomPagesParseWithoutLeavingThePage) {
  RecordParseOptions options;
  options.showDeletedRecords = true;
  options.showAdvancedDeletedRecords = true;
  const std::vector<ColumnDescriptor> table(40);
  options.currentTable = &table;
  CDatabaseFile file;
  uint64_t x = 0x9E3779B97F4A7C15ull;
  const auto next = [&x] {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    return x;
  };
  size_t records = 0;
  for (int round = 0; round < 300; ++round) {
    PageImage image;
    for (size_t i = 0; i < kPageSize; i += 8) image.Put<uint64_t>(i, next());
    PageHeaderFields header;
    header.pageType = 1;
    header.thisPage = {1, 20};
    header.typeFlagBits = (round % 3 == 0) ? 0x80 : 0;
    header.slotCount = static_cast<uint16_t>(1 + next() % 400);
    header.WriteTo(image);
    // Some slots point at plausible record starts, some anywhere.
    for (int slot = 0; slot < header.slotCount; ++slot) {
      const uint16_t offset = static_cast<uint16_t>(next() % 2 ? 96 + next() % 8000 : next());
      image.Put<uint16_t>(kPageSize - 2 * (slot + 1), offset);
    }
    auto page = ParseDataPage(image, &file, options);
    records += page->records().size();
  }
  EXPECT_GT(records, 0u);
}

}  // namespace
}  // namespace quill
