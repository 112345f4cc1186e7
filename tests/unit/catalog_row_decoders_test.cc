// Decoding system table records into catalog rows: keep rules, defaults,
// repair names and identity texts.
#include "catalog/catalog_row_decoders.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <type_traits>

#include "catalog/system_row_fields.h"
#include "catalog_builder.h"
#include "page_builder.h"
#include "record_builder.h"
#include "support/page_parse.h"

namespace quill {
namespace {

using fixture::Bytes;
using fixture::PageBuilder;
using fixture::PlainRecordBuilder;

Bytes Utf16(const std::string& ascii) {
  Bytes out;
  for (char c : ascii) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(0);
  }
  return out;
}

template <typename T>
void Put(Bytes& fixed, size_t offset, T value) {
  if (fixed.size() < offset + sizeof(T)) fixed.resize(offset + sizeof(T), 0);
  StoreLittleEndianUnchecked<T>(fixed.data() + offset, value);
}

// Parses `records` on one page and hands out the parsed records.
class Records {
 public:
  explicit Records(const std::vector<Bytes>& records) {
    PageBuilder builder(1, 34, 20);
    for (const Bytes& r : records) builder.AddRecord(r);
    page_ = testing::ParseDataPage(builder.Build());
  }
  const CPrimaryRecord& operator[](size_t i) const { return *page_->records().at(i); }

 private:
  std::unique_ptr<CDataPage> page_;
};

Bytes ObjectRecord(int32_t id, size_t fixed_length, std::optional<std::string> name, const char* type = "U ") {
  Bytes fixed(fixed_length, 0);
  Put<int32_t>(fixed, 0, id);
  if (fixed_length >= 15) {
    fixed[13] = static_cast<uint8_t>(type[0]);
    fixed[14] = static_cast<uint8_t>(type[1]);
  }
  if (fixed_length >= 19) Put<int32_t>(fixed, 15, 77);
  fixed.resize(fixed_length);
  PlainRecordBuilder builder;
  builder.Fixed(fixed).ColumnCount(10).Nulls({});
  if (name) builder.Variable(Utf16(*name));
  return builder.Build();
}

TEST(ObjectRowDecoder, KeepRulesAndRepairNames) {
  Records records({
      ObjectRecord(5, 24, "Orders"),
      ObjectRecord(6, 19, "ShortFixed"),
      ObjectRecord(0, 24, "ZeroId"),
      ObjectRecord(-4, 24, "Negative"),
      ObjectRecord(7, 24, std::nullopt),
      ObjectRecord(8, 24, std::nullopt),
      ObjectRecord(9, 24, ""),
  });
  RepairCounter repair;
  auto orders = DecodeObjectRow(records[0], false, repair);
  ASSERT_TRUE(orders);
  EXPECT_EQ(orders->name, "Orders");
  EXPECT_EQ(orders->typeCode, "U ");
  EXPECT_EQ(orders->parentObjectId, 77);
  EXPECT_FALSE(DecodeObjectRow(records[1], false, repair));
  EXPECT_FALSE(DecodeObjectRow(records[2], false, repair));
  EXPECT_FALSE(DecodeObjectRow(records[3], false, repair));
  EXPECT_EQ(DecodeObjectRow(records[4], false, repair)->name, "Repairname0");
  EXPECT_EQ(DecodeObjectRow(records[5], false, repair)->name, "Repairname1");
  // A name column that exists but holds nothing is repaired as a column.
  Bytes empty_name = PlainRecordBuilder().Fixed(Bytes(24, 0)).ColumnCount(10).Nulls({}).Variable({0, 0}).Build();
  Put<int32_t>(empty_name, 4, 9);
  Records empty({empty_name});
  EXPECT_EQ(DecodeObjectRow(empty[0], false, repair)->name, "RepairColumn2");
}

TEST(ObjectRowDecoder, Sql2000LayoutReadsTypeAt4AndParentAt24) {
  Bytes fixed(28, 0);
  Put<int32_t>(fixed, 0, 2073058421);
  fixed[4] = 'P';
  fixed[5] = ' ';
  Put<int32_t>(fixed, 24, 1977058079);
  Records records({PlainRecordBuilder().Fixed(fixed).ColumnCount(20).Nulls({}).Variable(Utf16("CustOrderHist")).Build()});
  RepairCounter repair;
  auto row = DecodeObjectRow(records[0], /*legacy=*/true, repair);
  ASSERT_TRUE(row);
  EXPECT_EQ(row->typeCode, "P ");
  EXPECT_EQ(row->parentObjectId, 1977058079);
  EXPECT_EQ(row->name, "CustOrderHist");
}

TEST(IdentityText, SeedAndIncrementByStoredLength) {
  auto bytes = [](std::initializer_list<std::pair<size_t, int64_t>> values, size_t length, size_t width) {
    Bytes b(length, 0);
    for (auto [offset, v] : values) {
      for (size_t i = 0; i < width; ++i) b[offset + i] = static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i));
    }
    return b;
  };
  Bytes numeric(61, 0);
  for (size_t i = 0; i < 3; ++i) {
    numeric[20 * i] = 5;
    numeric[20 * i + 1] = 10;
    numeric[20 * i + 3] = 1;
  }
  numeric[4] = 13;   // current value
  numeric[24] = 1;   // seed
  numeric[44] = 1;   // increment
  struct Case {
    const char* name;
    Bytes value;
    uint8_t type;
    const char* expected;
  } cases[] = {
      {"24 bytes, 64-bit values", bytes({{0, 3}, {8, 1000}, {16, 5}}, 24, 8), 127, "identity(1000,5)"},
      {"24 bytes, 32-bit values", bytes({{4, 7}, {8, 2}}, 24, 4), 56, "identity(7,2)"},
      {"12 bytes", bytes({{4, 100}, {8, 10}}, 12, 4), 56, "identity(100,10)"},
      {"8 bytes, 16-bit values", bytes({{2, 9}, {4, 3}}, 8, 2), 52, "identity(9,3)"},
      {"increment 0 becomes 1", bytes({{4, 5}, {8, 0}}, 12, 4), 56, "identity(5,1)"},
      {"4 bytes", Bytes(4, 0xFF), 56, "identity(1,1)"},
      {"numeric: seed and increment from their own fields", numeric, 108, "identity(1,1)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IdentityText(c.value, c.type), c.expected);
  }
}

TEST(ColumnRowDecoder, ShortFixedPartKeepsDefaultsAndNoName) {
  Bytes full(41, 0);
  Put<int32_t>(full, 0, 500);
  Put<int32_t>(full, 6, 3);
  full[10] = 56;
  Put<int32_t>(full, 23, 5);
  Bytes identity(12, 0);
  identity[4] = 1;
  identity[8] = 1;
  Records records({
      PlainRecordBuilder().Fixed(full).ColumnCount(16).Nulls({}).Variable(Utf16("id")).Variable(identity).Build(),
      PlainRecordBuilder().Fixed(Bytes(20, 1)).ColumnCount(16).Nulls({}).Variable(Utf16("short")).Build(),
  });
  RepairCounter repair;
  auto column = DecodeColumnRow(records[0], repair);
  ASSERT_TRUE(column);
  EXPECT_EQ(column->objectId, 500);
  EXPECT_EQ(column->columnId, 3);
  EXPECT_EQ(column->name, "id");
  EXPECT_EQ(column->identityText, "identity(1,1)");
  auto shorter = DecodeColumnRow(records[1], repair);
  ASSERT_TRUE(shorter);  // column rows are always kept
  EXPECT_EQ(shorter->objectId, -1);
  EXPECT_EQ(shorter->name, "");
}

TEST(RowsetColumnDecoder, OnlyTheLow16BitsAreTheNullBit) {
  Bytes fixed(50, 0);
  Put<uint64_t>(fixed, 0, 72057594039697408ull);
  Put<int32_t>(fixed, 8, 2);
  Put<int32_t>(fixed, 40, 0x00010008);
  Put<uint32_t>(fixed, 44, 65537);
  Records records({PlainRecordBuilder().Fixed(fixed).ColumnCount(14).Nulls({}).Build()});
  auto row = DecodeRowsetColumnRow(records[0]);
  ASSERT_TRUE(row);
  EXPECT_EQ(row->nullBit, 1);
  EXPECT_EQ(row->offset & 0xFFFF, 8);
}

TEST(LegacyIndexDecoder, KeepsIndexIds0And1WithTheirPages) {
  auto row = [](int16_t index_id, size_t length) {
    Bytes fixed(length, 0);
    Put<int32_t>(fixed, 0, 1977058079);
    Put<int32_t>(fixed, 8, 120);
    Put<int16_t>(fixed, 14, index_id);
    if (length >= 68) Put<int32_t>(fixed, 64, 121);
    return PlainRecordBuilder().Fixed(fixed).ColumnCount(30).Nulls({}).Build();
  };
  Records records({row(0, 80), row(1, 80), row(2, 80), row(1, 60)});
  auto heap = DecodeLegacyIndexRow(records[0], 1);
  ASSERT_TRUE(heap);
  EXPECT_EQ(heap->firstPageId, 120);
  EXPECT_EQ(heap->firstIamPageId, 121);
  EXPECT_TRUE(DecodeLegacyIndexRow(records[1], 1));
  EXPECT_FALSE(DecodeLegacyIndexRow(records[2], 1));
  EXPECT_FALSE(DecodeLegacyIndexRow(records[3], 1));
}

TEST(DataFileDecoder, ReadsNamesFromTheirFixedFields) {
  Bytes fixed(782, 0);
  Put<int16_t>(fixed, 4, 3);
  Bytes logical = Utf16("WSS_Content_2   ");
  std::copy(logical.begin(), logical.end(), fixed.begin() + 6);
  Bytes physical = Utf16("D:\\data\\WSS_Content_2.ndf");
  std::copy(physical.begin(), physical.end(), fixed.begin() + 262);
  Records records({PlainRecordBuilder().Fixed(fixed).ColumnCount(5).Nulls({}).Build()});
  auto entry = DecodeDataFileRow(records[0]);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->fileId, 3);
  EXPECT_EQ(entry->logicalName, "WSS_Content_2");
  EXPECT_EQ(entry->physicalPath, "D:\\data\\WSS_Content_2.ndf");
}


namespace st = system_tables;

TEST(SystemTableLayouts, FieldsDoNotOverlapAndEveryReadTableIsMapped) {
  for (const st::SystemTableLayout* layout : st::kAllLayouts) {
    SCOPED_TRACE(std::string(layout->table));
    std::vector<bool> taken(st::FixedEnd(*layout), false);
    for (const st::FixedField& field : layout->fixed) {
      SCOPED_TRACE(std::string(field.name));
      EXPECT_GT(field.width, 0);
      if (field.borrowed) {
        // Borrowed fields sit where the newer object layout has them.
        bool found = false;
        for (const st::FixedField& newer : st::kSysSchObjsLayout.fixed) {
          found |= newer.name == field.name && newer.offset == field.offset && newer.width == field.width;
        }
        EXPECT_TRUE(found);
        continue;
      }
      for (size_t byte = field.offset; byte < size_t{field.offset} + field.width; ++byte) {
        EXPECT_FALSE(taken[byte]) << "byte " << byte << " already taken";
        taken[byte] = true;
      }
    }
    EXPECT_LE(layout->minFixedLength, st::FixedEnd(*layout));
    std::set<uint8_t> columns;
    for (const st::VariableField& variable : layout->variables) {
      EXPECT_TRUE(columns.insert(variable.index).second) << variable.name;
    }
    if (layout->nameRule != st::NameRule::kNone) {
      EXPECT_NE(st::VariableIndex(*layout, st::VariableKind::kName), st::kNoField);
    }
    // The mapping pass must file the pages of every table the catalog reads,
    // but sysseobjvalues: its rows are looked up among the data pages.
    EXPECT_EQ(IsPrimarySystemObject(layout->objectId), layout->objectId != kSysSeObjValues);
  }
}

// A value for field `i` that uses every byte of its width, signed fields
// negative, so that a misplaced, truncated or wrongly extended field shows.
template <typename T>
T DistinctValue(const st::FixedField& field, size_t i) {
  if constexpr (std::is_integral_v<T>) {
    if (field.kind == st::FieldKind::kLow16OrNone) return static_cast<T>(0x1234 + i);
    uint64_t value = 0;
    for (size_t b = 0; b < field.width; ++b) value |= uint64_t{(0x11 * (b + 1) + i) & 0x7F} << (8 * b);
    if (field.kind == st::FieldKind::kSigned) value |= uint64_t{0x80} << (8 * (field.width - 1));
    if (field.kind == st::FieldKind::kSigned && field.width < 8) value |= ~uint64_t{0} << (8 * field.width);
    return static_cast<T>(value);
  } else if constexpr (std::is_same_v<T, PageAddress>) {
    return PageAddress{static_cast<uint16_t>(3 + i), static_cast<int32_t>(0x00203040 + i)};
  } else if (field.kind == st::FieldKind::kTypeCode) {
    return std::string{'T', static_cast<char>('A' + i)};
  } else {
    return "text " + std::to_string(i);
  }
}

// Writes a row with a distinct value in every field through the fixture's
// record writer, reads it back through the catalog decoder and compares
// field by field.
template <typename Fields, typename Encode, typename Decode>
void RoundTrip(const Fields& fields, Encode encode, Decode decode,
               void (*adjust)(typename Fields::RowType&) = nullptr) {
  using Row = typename Fields::RowType;
  SCOPED_TRACE(std::string(fields.layout->table));
  Row row{};
  size_t i = 0;
  fields.ForEach([&](const st::FixedField& field, auto member) {
    row.*member = DistinctValue<std::remove_cvref_t<decltype(row.*member)>>(field, i++);
  });
  if constexpr (requires { row.name; }) row.name = "row name";
  if (adjust) adjust(row);
  Records records({encode(row)});
  std::optional<Row> decoded = decode(records[0], row);
  ASSERT_TRUE(decoded);
  fields.ForEach([&](const st::FixedField& field, auto member) {
    if (!field.borrowed) {
      EXPECT_TRUE((*decoded).*member == row.*member) << field.name;
    }
  });
  if constexpr (requires { row.name; }) {
    EXPECT_EQ(decoded->name, "row name");
  }
}

TEST(SystemTableLayouts, FixtureRecordsDecodeToTheRowsTheyWereWrittenFrom) {
  using fixture::CatalogLayout;
  RepairCounter repair;
  RoundTrip(st::kDataFileFields, fixture::DataFileRecord,
            [](const CPrimaryRecord& r, const DataFileEntry&) { return DecodeDataFileRow(r); });
  // Object rows are kept only for positive object ids.
  const auto positive_id = [](ObjectRow& row) { row.objectId = 0x01020304; };
  RoundTrip(st::kObjectFields, [](const ObjectRow& row) { return fixture::ObjectRecord(row); },
            [&](const CPrimaryRecord& r, const ObjectRow&) { return DecodeObjectRow(r, false, repair); },
            positive_id);
  RoundTrip(st::kObject2000Fields,
            [](const ObjectRow& row) { return fixture::ObjectRecord(row, CatalogLayout::kSql2000); },
            [&](const CPrimaryRecord& r, const ObjectRow&) { return DecodeObjectRow(r, true, repair); },
            positive_id);
  RoundTrip(st::kAllocUnitFields, fixture::AllocUnitRecord,
            [](const CPrimaryRecord& r, const AllocUnitRow&) { return DecodeAllocUnitRow(r); });
  RoundTrip(st::kRowsetFields, fixture::RowsetRecord,
            [](const CPrimaryRecord& r, const RowsetRow&) { return DecodeRowsetRow(r); });
  RoundTrip(st::kColumnFields, [](const ColumnRow& row) { return fixture::ColumnRecord(row); },
            [&](const CPrimaryRecord& r, const ColumnRow&) { return DecodeColumnRow(r, repair); });
  RoundTrip(st::kScalarTypeFields, fixture::ScalarTypeRecord,
            [](const CPrimaryRecord& r, const ScalarTypeRow&) { return DecodeScalarTypeRow(r); });
  RoundTrip(st::kRowsetColumnFields, fixture::RowsetColumnRecord,
            [](const CPrimaryRecord& r, const RowsetColumnRow&) { return DecodeRowsetColumnRow(r); });
  RoundTrip(st::kObjectRefFields, fixture::ObjectRefRecord,
            [](const CPrimaryRecord& r, const ObjectRefRow&) { return DecodeObjectRefRow(r); });
  RoundTrip(st::kIndexFields, fixture::IndexRecord,
            [](const CPrimaryRecord& r, const IndexRow&) { return DecodeIndexRow(r); });
  RoundTrip(st::kIndexColumnFields, fixture::IndexColumnRecord,
            [](const CPrimaryRecord& r, const IndexColumnRow&) { return DecodeIndexColumnRow(r); });
  RoundTrip(st::kRowsetColumnMapFields, fixture::RowsetColumnMapRecord,
            [](const CPrimaryRecord& r, const RowsetColumnMapRow&) { return DecodeRowsetColumnMapRow(r); });
  RoundTrip(st::kHobtColumnFields, fixture::HobtColumnRecord,
            [](const CPrimaryRecord& r, const HobtColumnRow&) { return DecodeHobtColumnRow(r); });
  // Only index ids 0 and 1 are kept; the file id comes from the page.
  RoundTrip(
      st::kLegacyIndexFields,
      [](const LegacyIndexEntry& entry) { return fixture::LegacyIndexRecord(entry, "index"); },
      [](const CPrimaryRecord& r, const LegacyIndexEntry& written) {
        return DecodeLegacyIndexRow(r, written.fileId);
      },
      [](LegacyIndexEntry& entry) { entry.indexId = 1; });
  RoundTrip(st::kLegacyColumnFields, fixture::LegacyColumnRecord,
            [&](const CPrimaryRecord& r, const LegacyColumnRow&) { return DecodeLegacyColumnRow(r, repair); });
}

// Records too short to decode: which tables still keep a row (with every
// field at its default) and which drop it.
TEST(SystemTableLayouts, ShortRecordsAreKeptOrDroppedByTable) {
  auto record = [](size_t fixed_length) {
    return PlainRecordBuilder().Fixed(Bytes(fixed_length, 0x11)).ColumnCount(30).Nulls({}).Variable(Utf16("n")).Build();
  };
  RepairCounter repair;
  struct Case {
    const char* table;
    size_t shortLength;  // one byte below the minimum; 0 for an empty fixed part
    bool keptShort;
    bool keptEmpty;
    std::function<std::optional<bool>(const CPrimaryRecord&)> decodeDefaults;  // kept: fields at defaults
  };
  const Case cases[] = {
      {"sysfiles1", 519, true, true, [](const CPrimaryRecord& r) -> std::optional<bool> {
         auto row = DecodeDataFileRow(r);
         if (!row) return std::nullopt;
         return row->fileId == 0 && row->status == 0 && row->logicalName.empty();
       }},
      {"sysschobjs", 19, false, false, [&](const CPrimaryRecord& r) -> std::optional<bool> {
         auto row = DecodeObjectRow(r, false, repair);
         if (!row) return std::nullopt;
         return false;
       }},
      {"sysallocunits", 38, true, true, [](const CPrimaryRecord& r) -> std::optional<bool> {
         auto row = DecodeAllocUnitRow(r);
         if (!row) return std::nullopt;
         return row->allocUnitId == 0 && row->type == 255 && row->firstIamPage == PageAddress{0, 0};
       }},
      {"sysrowsets", 26, true, true, [](const CPrimaryRecord& r) -> std::optional<bool> {
         auto row = DecodeRowsetRow(r);
         if (!row) return std::nullopt;
         return row->rowsetId == 0 && row->objectId == -1 && row->rowCount == -1;
       }},
      {"syscolpars", 36, true, true, [&](const CPrimaryRecord& r) -> std::optional<bool> {
         auto row = DecodeColumnRow(r, repair);
         if (!row) return std::nullopt;
         return row->objectId == -1 && row->systemTypeId == 255 && row->name.empty();
       }},
      {"sysscalartypes", 33, true, false, [](const CPrimaryRecord& r) -> std::optional<bool> {
         auto row = DecodeScalarTypeRow(r);
         if (!row) return std::nullopt;
         return row->typeId == -1 && row->furtherValueB == -1 && row->name == "n";
       }},
      {"sysrscols", 47, true, true, [](const CPrimaryRecord& r) -> std::optional<bool> {
         auto row = DecodeRowsetColumnRow(r);
         if (!row) return std::nullopt;
         return row->rowsetId == 0 && row->hobtColumnId == 0 && row->nullBit == -1;
       }},
      {"sysidxstats", 26, true, false, [](const CPrimaryRecord& r) -> std::optional<bool> {
         auto row = DecodeIndexRow(r);
         if (!row) return std::nullopt;
         return row->objectId == -1 && row->rowsetId == -1 && row->name == "n";
       }},
      {"sysiscols", 20, true, true, [](const CPrimaryRecord& r) -> std::optional<bool> {
         auto row = DecodeIndexColumnRow(r);
         if (!row) return std::nullopt;
         return row->objectId == -1 && row->tinyProperty1 == 255;
       }},
      {"sysindexes", 63, false, false, [](const CPrimaryRecord& r) -> std::optional<bool> {
         auto row = DecodeLegacyIndexRow(r, 1);
         if (!row) return std::nullopt;
         return false;
       }},
      // No minimum: whatever fits is read, so only the empty case is checked.
      {"syssingleobjrefs", 0, false, false, [](const CPrimaryRecord& r) -> std::optional<bool> {
         auto row = DecodeObjectRefRow(r);
         if (!row) return std::nullopt;
         return false;
       }},
      {"syscolumns", 0, true, true, [&](const CPrimaryRecord& r) -> std::optional<bool> {
         auto row = DecodeLegacyColumnRow(r, repair);
         if (!row) return std::nullopt;
         return row->objectId == -1 && row->name.empty();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    Records records({record(c.shortLength), record(0)});
    std::optional<bool> short_row = c.decodeDefaults(records[0]);
    EXPECT_EQ(short_row.has_value(), c.keptShort);
    if (short_row) {
      EXPECT_TRUE(*short_row) << "a field was decoded from a short record";
    }
    std::optional<bool> empty_row = c.decodeDefaults(records[1]);
    EXPECT_EQ(empty_row.has_value(), c.keptEmpty);
    if (empty_row) {
      EXPECT_TRUE(*empty_row) << "a field was decoded from an empty fixed part";
    }
  }
}

}  // namespace
}  // namespace quill
