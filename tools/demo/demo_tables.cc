#include "demo_tables.h"

#include <string>

#include "page_builder.h"
#include "table_row_builder.h"
#include "value_bytes.h"
#include "xml_builder.h"

namespace quill::demo {

using namespace fixture;

namespace {

constexpr int32_t kTypesTableId = 245575913;
constexpr uint16_t kUserIndexId = 256;  // index id in the headers of user table pages

ColumnDescription Sized(std::string name, std::string_view type, int16_t length, uint8_t precision, uint8_t scale) {
  ColumnDescription column = Column(std::move(name), type, length);
  column.precision = precision;
  column.scale = scale;
  return column;
}

CellValue V(Bytes bytes) { return CellValue::Of(std::move(bytes)); }

// An xml value <note lang="...">text</note> in its stored binary form.
Bytes XmlNote(const std::string& lang, const std::string& text) {
  return XmlValueBuilder().Start("note").Attribute("lang", lang).Text(text).End().Build();
}

TableDescription DemoTypes() {
  TableDescription table{.name = "DemoTypes", .objectId = kTypesTableId, .clustered = true};
  ColumnDescription id = Column("Id", "int");
  id.nullable = false;
  table.columns = {id,
                   Column("Code", "char", 8),
                   Column("Flag", "bit"),
                   Column("Tiny", "tinyint"),
                   Column("Small", "smallint"),
                   Column("Big", "bigint"),
                   Column("Price", "money"),
                   Column("SmallPrice", "smallmoney"),
                   Sized("Amount", "decimal", 9, 18, 2),
                   Sized("Ratio", "numeric", 5, 9, 4),
                   Column("Measure", "float"),
                   Column("Approx", "real"),
                   Column("Created", "datetime"),
                   Column("CreatedSmall", "smalldatetime"),
                   Column("Day", "date"),
                   Sized("Clock", "time", 5, 16, 7),
                   Sized("Stamp", "datetime2", 8, 27, 7),
                   Sized("Offset", "datetimeoffset", 10, 34, 7),
                   Column("Guid", "uniqueidentifier"),
                   Column("Raw", "binary", 8),
                   Column("RowVersion", "timestamp"),
                   Column("Name", "nvarchar", 100),
                   Column("Label", "varchar", 50),
                   Column("Fixed", "nchar", 20),
                   Column("Blob", "varbinary", 100),
                   Column("Variant", "sql_variant"),
                   Column("Node", "hierarchyid"),
                   Column("Shape", "geometry"),
                   Column("Place", "geography")};
  table.primaryKey = KeyDescription{.name = "PK_DemoTypes", .columnIds = {1}};
  table.uniqueConstraints = {KeyDescription{.name = "UQ_DemoTypes_Code", .columnIds = {2}, .keyOrder = 0}};

  auto row = [&table](int id, const std::string& code, int kind, const std::string& name, double measure) {
    const stored::CivilTime when = stored::ParseCivilTime("2021-03-04 05:06:07");
    Bytes offset = stored::Datetime2(when, 7, 5);
    const Bytes minutes = stored::LittleEndian(60, 2);
    offset.insert(offset.end(), minutes.begin(), minutes.end());
    Bytes variant = {56, 1};  // sql_variant: base type int, version 1
    const Bytes variant_value = stored::LittleEndian(id * 1000, 4);
    variant.insert(variant.end(), variant_value.begin(), variant_value.end());
    return TableRowRecord(
        table.columns,
        {V(stored::LittleEndian(id, 4)), V(stored::Ansi(code)), V({static_cast<uint8_t>(id & 1)}), V(stored::LittleEndian(200 + id, 1)),
         V(stored::LittleEndian(-1200 - id, 2)), V(stored::LittleEndian(9000000000LL + id, 8)),
         V(stored::LittleEndian(12345678 + id, 8)),  // money, x 10000
         V(stored::LittleEndian(-25000, 4)), V(stored::Decimal(true, 123456 + id, 9)), V(stored::Decimal(true, 31416, 5)), V(stored::Float(measure)),
         V(stored::Real(2.5f)), V(stored::Datetime(when)), V(stored::Smalldatetime(when)), V(stored::Date(when)),
         V(stored::Time(when.TimeUnits(7) + 1234567, 5)), V(stored::Datetime2(when, 7, 5)), V(offset),
         V(stored::Guid("6F9619FF-8B86-D011-B42D-00C04FC964F" + std::to_string(id % 10))),
         V({0xDE, 0xAD, 0xBE, 0xEF, 0, 0, 0, static_cast<uint8_t>(id)}), V(stored::LittleEndian(0x7D0 + id, 8)),
         V(Utf16Le(name)), V(stored::Ansi("label " + std::to_string(id))), V(Utf16Le("fixed")),
         V({0x01, 0x02, static_cast<uint8_t>(id)}), V(variant), V({0x58}),  // hierarchyid /1/
         V({0x00, 0x00, 0x00, 0x00, 0x01, 0x0C}), V({0xE6, 0x10, 0x00, 0x00, 0x01, 0x0C})},
        kind);
  };
  table.rows = {row(1, "ALPHA", 0, "Ärger & Co", 2.5), row(2, "BETA", 0, "日本語", -0.001),
                row(3, "GAMMA", 6, "deleted row", 1e10),  // a ghost: deleted, not yet cleaned up
                row(4, "DELTA", 0, "last", 100)};
  // Every column NULL but the key.
  table.rows.push_back(TableRowRecord(table.columns, {V(stored::LittleEndian(5, 4))}));
  return table;
}

TableDescription DemoLargeValues(TextPageWriter& lobs) {
  TableDescription table{.name = "DemoLargeValues", .objectId = 261575970, .clustered = false};
  table.columns = {Column("Id", "int"),           Column("Notes", "text"),
                   Column("Body", "ntext"),         Column("Picture", "image"),
                   Column("LongText", "varchar", -1), Column("LongUnicode", "nvarchar", -1),
                   Column("LongBinary", "varbinary", -1), Column("Document", "xml")};
  std::string long_text;
  while (long_text.size() < 20000) long_text += "A long varchar(max) value stored off the row. ";
  Bytes picture(3000);
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint8_t>(i * 7);
  table.rows = {
      // Everything on text pages.
      TableRowRecord(table.columns,
                     {V(stored::LittleEndian(1, 4)), CellValue::Reference(lobs.StoreTextPointer(stored::Ansi("Text on a text page."))),
                      CellValue::Reference(lobs.StoreTextPointer(Utf16Le("Ntext auf einer Textseite."))),
                      CellValue::Reference(lobs.StoreTextPointer(picture)),
                      CellValue::Reference(lobs.StoreInRowRoot(stored::Ansi(long_text))),
                      CellValue::Reference(lobs.StoreInRowRoot(Utf16Le("Unicode off the row: Größe"))),
                      CellValue::Reference(lobs.StoreInRowRoot(picture)),
                      CellValue::Reference(lobs.StoreInRowRoot(XmlNote("en", "stored off the row")))}),
      // Max types and xml kept in the row; the old types NULL.
      TableRowRecord(table.columns,
                     {V(stored::LittleEndian(2, 4)), CellValue::Null(), CellValue::Null(), CellValue::Null(),
                      V(stored::Ansi("short varchar(max)")), V(Utf16Le("short nvarchar(max)")), V({0xCA, 0xFE}),
                      V(XmlNote("de", "in der Zeile"))}),
  };
  return table;
}

TableDescription DemoOrders() {
  TableDescription table{.name = "DemoOrders", .objectId = 277576027, .clustered = true};
  ColumnDescription id = Column("OrderId", "int");
  id.nullable = false;
  id.identity = IdentityDescription{1000, 1};
  table.columns = {id, Column("TypeId", "int"), Column("Quantity", "int"), Column("Note", "nvarchar", 80)};
  table.primaryKey = KeyDescription{.name = "PK_DemoOrders", .columnIds = {1}};
  for (int i = 0; i < 12; ++i) {
    table.rows.push_back(TableRowRecord(table.columns, {V(stored::LittleEndian(1000 + i, 4)), V(stored::LittleEndian(1 + i % 4, 4)),
                                                        V(stored::LittleEndian(i * 3, 4)),
                                                        V(Utf16Le("order " + std::to_string(1000 + i)))}));
  }
  // Two deleted orders left as ghosts.
  table.rows.push_back(TableRowRecord(table.columns, {V(stored::LittleEndian(1100, 4)), V(stored::LittleEndian(2, 4)), V(stored::LittleEndian(1, 4)),
                                                      V(Utf16Le("cancelled"))}, 6));
  table.rows.push_back(TableRowRecord(table.columns, {V(stored::LittleEndian(1101, 4)), V(stored::LittleEndian(4, 4)), V(stored::LittleEndian(2, 4)),
                                                      V(Utf16Le("cancelled too"))}, 6));
  return table;
}

TableDescription DemoCompressed() {
  TableDescription table{.name = kCompressedTableName, .objectId = 293576084, .clustered = false};
  table.columns = {Column("Code", "char", 10), Column("Quantity", "bigint"), Column("Id", "int")};
  // A placeholder row so that the table gets a data page; WriteCompressedPage
  // replaces the page.
  table.rows = {TableRowRecord(table.columns, {V(stored::Ansi("placeholder")), V(stored::LittleEndian(0, 8)), V(stored::LittleEndian(0, 4))})};
  return table;
}

}  // namespace

void AddGeneralTables(DatabaseDescription& description, TextPageWriter& lobs) {
  description.tables.push_back(DemoTypes());
  description.tables.push_back(DemoLargeValues(lobs));
  description.tables.push_back(DemoOrders());
  description.tables.push_back(DemoCompressed());
  description.foreignKeys.push_back(ForeignKeyDescription{.name = "FK_DemoOrders_DemoTypes",
                                            .parentTableId = 277576027,
                                            .referencedTableId = kTypesTableId,
                                            .columns = {{2, 1}}});
}

void WriteCompressedPage(DataFileBuilder& file, const DatabaseDescription& description,
                         const CatalogDatabaseLayout& layout) {
  for (size_t i = 0; i < description.tables.size() && i < layout.tables.size(); ++i) {
    if (description.tables[i].name != kCompressedTableName || layout.tables[i].dataPages.empty()) continue;
    const BuiltTable& built = layout.tables[i];
    // Anchors: Code "abcdef", Quantity 256, Id 7; dictionary: 9, and an
    // eight-byte entry.
    const Bytes anchor =
        CompressedRecordBuilder().Short({'a', 'b', 'c', 'd', 'e', 'f'}).Short({0x81, 0x00}).Short({0x80, 0x07}).Build();
    const Bytes info = CompressionInfo(anchor, {{0x80, 0x09}, Bytes(8, 1)});
    PageBuilder page(1, built.pageKey, built.dataPages.front());
    page.IndexId(kUserIndexId).CompressionInfo(info);
    page.AddRecord(CompressedRecordBuilder().Short({4, 'y', 'z'}).Empty().Symbol(0).Build());  // abcdyz, 256, 9
    page.AddRecord(CompressedRecordBuilder().Short({3, 'X'}).Symbol(0).Empty().Build());       // abcX, 9, 7
    page.AddRecord(CompressedRecordBuilder().Short({0, 'n', 'e', 'w'}).Symbol(0).Null().Build());  // new, 9, NULL
    file.SetPage(built.dataPages.front(), page.Build());
  }
}

}  // namespace quill::demo
