// Expanding row- and page-compressed records against the table's columns,
// and the SCSU decoder used for compressed Unicode values.
#include "records/compressed_record_expansion.h"

#include <gtest/gtest.h>

#include "catalog/system_catalog.h"
#include "page_builder.h"
#include "pages/database_file.h"
#include "record_builder.h"
#include "support/page_parse.h"
#include "schema/type_codes.h"
#include "schema/type_text.h"
#include "scan/application_state.h"

namespace quill {
namespace {

using fixture::Bytes;
using fixture::CompressedRecordBuilder;
using fixture::PageBuilder;

ColumnDescriptor Descriptor(int32_t code, const std::string& type_text, int16_t declared) {
  ColumnDescriptor d;
  d.typeCode = code;
  SetTypeText(d, type_text);
  d.declaredLength = declared;
  d.variableLength = code == type_code::kVarchar || code == type_code::kNvarchar;
  return d;
}

// Parses one page whose records are expanded against `columns`.
struct Expanded {
  CurrentTable table;
  std::unique_ptr<CDatabaseFile> file;
  std::unique_ptr<CDataPage> page;

  Expanded(std::vector<ColumnDescriptor> columns, const fixture::PageImage& image) {
    table.descriptors = std::move(columns);
    RecordParseOptions options;
    options.currentTable = &table.descriptors;
    file = std::make_unique<CDatabaseFile>();
    page = testing::ParseDataPage(image, file.get(), options);
  }
  const CPrimaryRecord& record(size_t i) const { return *page->records().at(i); }
  Bytes fixed(size_t i, size_t n) const {
    const auto f = record(i).fixedData;
    return Bytes(f.begin(), f.begin() + static_cast<std::ptrdiff_t>(std::min(n, f.size())));
  }
};

TEST(CompressedExpansion, PlacesValuesAtTheirColumnWidths) {
  const Bytes row = CompressedRecordBuilder()
                        .Short({0x80, 0x05})        // int 5
                        .Null()                     // NULL int
                        .Short({'a', 'b', 'c'})     // varchar(10)
                        .Short({0x80, 0x01, 0x00})  // bigint 256
                        .Build();
  Expanded e({Descriptor(type_code::kInt, "int(4)", 0), Descriptor(type_code::kInt, "int(4)", 0),
              Descriptor(type_code::kVarchar, "varchar(10)", 10), Descriptor(type_code::kBigint, "bigint(8)", 0)},
             PageBuilder(1, 500, 20).AddRecord(row).Build());
  const CPrimaryRecord& r = e.record(0);
  ASSERT_EQ(r.columnFlags().size(), 4u);
  EXPECT_FALSE(r.columnFlags()[0].isNull);
  EXPECT_TRUE(r.columnFlags()[1].isNull);
  EXPECT_EQ(r.fixedLength, 4 + 10 + 8);  // the NULL column takes no room
  EXPECT_EQ(e.fixed(0, 4), (Bytes{5, 0, 0, 0}));
  EXPECT_EQ(e.fixed(0, 14), (Bytes{5, 0, 0, 0, 'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0}));
  const auto f = r.fixedData;
  EXPECT_EQ(Bytes(f.begin() + 14, f.begin() + 22), (Bytes{0, 1, 0, 0, 0, 0, 0, 0}));
}

TEST(CompressedExpansion, AnchorValuesAndDictionary) {
  // Anchors: char(10) "abcdef", bigint 0x81 0x00 (256), int 0x80 0x07.
  const Bytes anchor = CompressedRecordBuilder().Short({'a', 'b', 'c', 'd', 'e', 'f'}).Short({0x81, 0x00}).Short({0x80, 0x07}).Build();
  const Bytes info = fixture::CompressionInfo(anchor, {{0x80, 0x09}, Bytes(8, 1)});
  const Bytes row = CompressedRecordBuilder()
                        .Short({4, 'y', 'z'})  // prefix 4 of the anchor, then "yz"
                        .Empty()               // code 1: the anchor value itself
                        .Symbol(0)             // dictionary entry 0: int 9
                        .Build();
  const Bytes eight = CompressedRecordBuilder().Null().Null().Symbol(1).Build();  // 8-byte entry: nothing
  std::vector<ColumnDescriptor> columns = {Descriptor(type_code::kChar, "char(10)", 10),
                                           Descriptor(type_code::kBigint, "bigint(8)", 0),
                                           Descriptor(type_code::kInt, "int(4)", 0)};
  Expanded e(columns, PageBuilder(1, 500, 20).CompressionInfo(info).AddRecord(row).AddRecord(eight).Build());
  ASSERT_EQ(e.page->anchorValues().size(), 3u);
  EXPECT_EQ(e.fixed(0, 10), (Bytes{'a', 'b', 'c', 'd', 'y', 'z', 0, 0, 0, 0}));
  const auto f = e.record(0).fixedData;
  EXPECT_EQ(Bytes(f.begin() + 10, f.begin() + 18), (Bytes{0, 1, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Bytes(f.begin() + 18, f.begin() + 22), (Bytes{9, 0, 0, 0}));
  EXPECT_EQ(e.record(0).fixedLength, 22);
  EXPECT_EQ(e.record(1).fixedLength, 0);
}

TEST(CompressedExpansion, LongValuesTakeTheirAnchorPrefix) {
  const Bytes anchor = CompressedRecordBuilder().Long({'h', 'e', 'l', 'l', 'o', ' ', 'w'}).Build();
  const Bytes info = fixture::CompressionInfo(anchor, {{'q'}});
  const Bytes row = CompressedRecordBuilder().Long({7, 'o', 'r', 'l', 'd'}).Build();
  Expanded e({Descriptor(type_code::kVarchar, "varchar(50)", 50)},
             PageBuilder(1, 500, 20).CompressionInfo(info).AddRecord(row).Build());
  const auto entries = e.record(0).varEntries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(std::string(entries[0].data.begin(), entries[0].data.end()), "hello world");
  EXPECT_EQ(entries[0].length, 11);
}

TEST(CompressedExpansion, OtherKindsAndHostileInputStayInBounds) {
  const Bytes forwarded = CompressedRecordBuilder(1).Short({0x80, 0x05}).Build();
  // 300 wide columns: their widths add up far past the expanded area.
  CompressedRecordBuilder wide;
  std::vector<ColumnDescriptor> columns;
  for (int i = 0; i < 300; ++i) {
    wide.Short({'x'});
    columns.push_back(Descriptor(type_code::kChar, "char(8000)", 8000));
  }
  Expanded kind1({Descriptor(type_code::kInt, "int(4)", 0)}, PageBuilder(1, 500, 20).AddRecord(forwarded).Build());
  EXPECT_TRUE(kind1.record(0).columnFlags().empty());
  EXPECT_EQ(kind1.record(0).fixedData.size(), 2u);  // still the short data
  Expanded overflow(columns, PageBuilder(1, 500, 20).AddRecord(wide.Build()).Build());
  EXPECT_EQ(overflow.record(0).fixedData.size(), kExpandedAreaSize);
  EXPECT_EQ(overflow.record(0).fixedLength, static_cast<int16_t>(kExpandedAreaSize));
}

TEST(Scsu, DecodesWindowsQuotesAndUnicodeMode) {
  struct Case {
    const char* name;
    Bytes in;
    std::string out;
  } cases[] = {
      {"ASCII", {0x48, 0x69}, "Hi"},
      {"window 0 at U+0080", {0xE9}, "\xC3\xA9"},
      {"Unicode mode", {0x0F, 0x20, 0xAC}, "\xE2\x82\xAC"},
      {"window 2 (Cyrillic)", {0x12, 0x9F, 0xD0}, "\xD0\x9F\xD1\x90"},
      {"quote from static window 3", {0x04, 0x01}, "\xCC\x81"},
      {"define window by index", {0x18, 0x08, 0x81}, "\xD0\x81"},
      {"surrogate pair in Unicode mode", {0x0F, 0xD8, 0x3D, 0xDE, 0x00}, "\xF0\x9F\x98\x80"},
      {"cut inside a sequence", {0x41, 0x0E, 0x20}, "A"},
      {"cut after a tag", {0x0F, 0x20}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecodeScsu(c.in), c.out);
  }
  // Output stops at the area's size.
  EXPECT_EQ(DecodeScsu(Bytes(5000, 'a')).size(), kExpandedAreaSize);
}

}  // namespace
}  // namespace quill
