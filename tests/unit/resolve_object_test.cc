// Object resolution over hand-built catalogs: the object lookup, rowset,
// allocation unit and page list, the column descriptors with their layout,
// stored values and key flags, and the foreign key column list they use.
#include "catalog/resolve_object.h"

#include <gtest/gtest.h>

#include <memory>

#include "catalog/foreign_keys.h"
#include "database_builder.h"
#include "support/temp_dir.h"
#include "scan/application_state.h"

namespace quill {
namespace {

// Rowset and allocation unit ids whose bits 16..47 are `key`: the object id
// their pages carry.
uint64_t IdWithKey(int32_t key) { return static_cast<uint64_t>(static_cast<uint32_t>(key)) << 16; }

ObjectRow Object(int32_t id, std::string name, std::string type_code, int32_t parent = 0) {
  ObjectRow row;
  row.objectId = id;
  row.name = std::move(name);
  row.typeCode = std::move(type_code);
  row.parentObjectId = parent;
  row.status = 0;
  return row;
}

ColumnRow Column(int32_t table, int32_t id, std::string name, uint8_t system_type,
                 int16_t max_length, int32_t status = 0) {
  ColumnRow row;
  row.objectId = table;
  row.number = 0;
  row.columnId = id;
  row.name = std::move(name);
  row.systemTypeId = system_type;
  row.userTypeId = system_type;
  row.maxLength = max_length;
  row.precision = 0;
  row.scale = 0;
  row.collationId = 0;
  row.status = status;
  return row;
}

ScalarTypeRow ScalarType(int32_t id, std::string name, uint8_t system_type, int32_t schema = 4) {
  ScalarTypeRow row;
  row.typeId = id;
  row.schemaId = schema;
  row.name = std::move(name);
  row.systemTypeId = system_type;
  return row;
}

RowsetRow Rowset(uint64_t id, int32_t table, int32_t index_id) {
  RowsetRow row;
  row.rowsetId = id;
  row.objectId = table;
  row.indexId = index_id;
  return row;
}

AllocUnitRow Unit(uint64_t id, uint64_t owner, uint8_t type, int32_t first_page) {
  AllocUnitRow row;
  row.allocUnitId = id;
  row.ownerId = owner;
  row.type = type;
  row.firstPage = {1, first_page};
  return row;
}

RowsetColumnRow Layout(uint64_t rowset, int32_t column, int32_t hobt_column, int32_t offset,
                       int32_t null_bit) {
  RowsetColumnRow row;
  row.rowsetId = rowset;
  row.rowsetColumnId = column;
  row.hobtColumnId = hobt_column;
  row.offset = offset;
  row.nullBit = null_bit;
  return row;
}

IndexRow Index(int32_t table, int32_t index_id, int32_t status) {
  IndexRow row;
  row.objectId = table;
  row.indexId = index_id;
  row.status = status;
  return row;
}

IndexColumnRow IndexColumn(int32_t table, int32_t index_id, int32_t column, uint8_t tiny1 = 0) {
  IndexColumnRow row;
  row.objectId = table;
  row.indexId = index_id;
  row.intProperty = column;
  row.tinyProperty1 = tiny1;
  return row;
}

ObjectRefRow Ref(uint8_t object_class, int32_t constraint, int32_t pair, int32_t table,
                 int32_t column) {
  ObjectRefRow row;
  row.objectClass = object_class;
  row.dependentId = constraint;
  row.dependentSubId = pair;
  row.independentId = table;
  row.independentSubId = column;
  return row;
}

std::vector<std::string> Names(const std::vector<ColumnDescriptor>& descriptors) {
  std::vector<std::string> names;
  for (const auto& d : descriptors) names.push_back(d.name);
  return names;
}

std::vector<PageAddress> Addresses(const std::vector<PageRef>& refs) {
  std::vector<PageAddress> addresses;
  for (const PageRef& ref : refs) addresses.push_back({ref.fileId, ref.pageIndex});
  return addresses;
}

constexpr int32_t kTable = 1001;
constexpr uint8_t kInt = 56;
constexpr uint8_t kNvarchar = 231;

TEST(BuildForeignKeyColumns, PairsBothSidesAndNamesThemFromTheLastMatchingRows) {
  SystemCatalog catalog;
  catalog.objectRefs = {
      Ref(28, 500, 1, 1001, 2), Ref(28, 500, 2, 1001, 3),
      Ref(1, 500, 1, 1001, 9),    // another class: not a key column
      Ref(29, 600, 1, 2002, 1),   // no referencing side
      Ref(29, 500, 1, 2002, 1), Ref(29, 500, 2, 2002, 2),
      Ref(28, 700, 1, 1001, 2), Ref(29, 700, 1, 3003, 1),  // 3003 has no rows
  };
  catalog.objects = {Object(1001, "Orders", "U "), Object(2002, "Old", "U "),
                     Object(500, "FK_Orders", "F ", 1001), Object(2002, "Customers", "U ")};
  catalog.objects[2].status = 7;
  catalog.columns = {Column(1001, 2, "cust_id", kInt, 4), Column(1001, 3, "region", kInt, 4),
                     Column(2002, 1, "id", kInt, 4), Column(2002, 2, "old", kInt, 4),
                     Column(2002, 2, "region", kInt, 4)};

  BuildForeignKeyColumns(catalog);
  const auto& fk = catalog.foreignKeyColumns;
  ASSERT_EQ(fk.size(), 3u);
  EXPECT_EQ(fk[0].constraintColumnNumber, 1);
  EXPECT_EQ(fk[1].constraintColumnNumber, 2);
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(fk[i].constraintId, 500);
    EXPECT_EQ(fk[i].constraintName, "FK_Orders");
    EXPECT_EQ(fk[i].constraintStatus, 7);
    EXPECT_EQ(fk[i].parentTableName, "Orders");
    EXPECT_EQ(fk[i].referencedTableName, "Customers");
    EXPECT_EQ(fk[i].referencedTableId, 2002);
  }
  EXPECT_EQ(fk[0].parentColumnName, "cust_id");
  EXPECT_EQ(fk[0].referencedColumnName, "id");
  EXPECT_EQ(fk[1].parentColumnId, 3);
  EXPECT_EQ(fk[1].parentColumnName, "region");
  EXPECT_EQ(fk[1].referencedColumnName, "region");

  EXPECT_EQ(fk[2].constraintId, 700);
  EXPECT_EQ(fk[2].referencedTableId, 3003);
  EXPECT_EQ(fk[2].referencedTableName, "");
  EXPECT_EQ(fk[2].referencedColumnName, "");
  EXPECT_EQ(fk[2].constraintName, "");
  EXPECT_EQ(fk[2].constraintStatus, 0);

  StopSource stop;
  stop.RequestStop();
  BuildForeignKeyColumns(catalog, stop.token());
  EXPECT_TRUE(catalog.foreignKeyColumns.empty());
}

TEST(DecodeObjectValueText, ReadsUtf16OrSingleByteTextUpToTheTerminator) {
  struct Case {
    const char* hex;
    std::string expected;
  } cases[] = {
      {"0x280030002900", "(0)"},                      // UTF-16
      {"0x2800300029000000FFFF", "(0)"},              // cut at the zero unit
      {"0x41", "A"},                                  // one byte: single-byte text
      {"0x4100", "A"},                                // a zero after the first byte: UTF-16
      {"0x6765746461746528", "getdate("},             // single-byte
      {"0x80E9", "\xE2\x82\xAC\xC3\xA9"},             // Windows-1252
      {"0x00414243", ""},                             // zero at the start, none after
      {"0x", ""},
      {"", ""},
      {"0x2a002B00", "*+"},                           // lower-case digits too
      {"0x4142G143", "AB"},                           // stops at a pair that is not hex
      {"0x414", "A"},                                 // a lone trailing digit is dropped
      {"0x3DD800DE", "\xF0\x9F\x98\x80"},             // surrogate pair
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hex);
    EXPECT_EQ(DecodeObjectValueText(c.hex), c.expected);
  }
}

class ResolveObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    catalog_.objects = {Object(kTable, "Orders", "U ")};
    catalog_.rowsets = {Rowset(kRowset, kTable, 0)};
    catalog_.scalarTypes = {ScalarType(56, "int", 56), ScalarType(231, "nvarchar", 231),
                            ScalarType(165, "varbinary", 165), ScalarType(127, "bigint", 127),
                            ScalarType(256, "sysname", 231)};
  }
  std::vector<ColumnDescriptor> Resolve(const std::string& name, const std::string& type = "U ",
                                        const std::vector<ObjectValueEntry>& values = {}) {
    return ResolveObject(catalog_, file_, isSql2000_, name, type, values, stop_.token());
  }
  CurrentTable& current() { return catalog_.current; }

  static constexpr uint64_t kRowset = 0x0100000000640000ull;
  StopSource stop_;
  CDatabaseFile file_;
  SystemCatalog catalog_;
  bool isSql2000_ = false;
};

TEST_F(ResolveObjectTest, UnknownNameLeavesTheLastResolutionInPlace) {
  catalog_.objects.push_back(Object(1002, "Report", "V "));
  catalog_.columns = {Column(kTable, 1, "id", kInt, 4)};

  ASSERT_EQ(Resolve("Orders").size(), 1u);
  EXPECT_TRUE(current().foundFlag);
  EXPECT_TRUE(Resolve("orders").empty());  // names compare exactly
  EXPECT_TRUE(current().foundFlag);
  EXPECT_EQ(current().object.objectId, kTable);
  EXPECT_TRUE(current().descriptors.empty());  // the one thing every call clears

  ASSERT_EQ(Resolve("Report", "V ").size(), 3u);
  EXPECT_FALSE(current().foundFlag);
  EXPECT_TRUE(Resolve("Nothing").empty());
  EXPECT_FALSE(current().foundFlag);
  EXPECT_EQ(current().object.objectId, 1002);

  stop_.RequestStop();
  EXPECT_TRUE(Resolve("Orders").empty());
  EXPECT_EQ(current().object.objectId, 1002);
}

TEST_F(ResolveObjectTest, SummaryObjectsAndTheFirstMatchRule) {
  catalog_.objects = {
      Object(1002, "Report", "V "), Object(1003, "Dup", "P "),   Object(1004, "Dup", "U "),
      Object(1005, "Sys", "U "),    Object(1006, "Sys", "S "),   Object(1007, "UQ_x", "UQ", kTable),
      Object(kTable, "Orders", "U "), Object(1008, "PK_Orders", "PK", kTable),
  };

  const auto view = Resolve("Report", "V ");
  ASSERT_EQ(view.size(), 3u);
  EXPECT_EQ(view[0].constantText, "1002");
  EXPECT_EQ(view[1].constantText, "V ");
  EXPECT_EQ(view[2].constantText, "Report");
  EXPECT_EQ(view[0].name, "");
  EXPECT_EQ(view[0].columnId, 0);
  EXPECT_EQ(view[0].nullBit, -1);

  // A procedure listed first wins over the table of the same name.
  const auto dup = Resolve("Dup", "U ");
  ASSERT_EQ(dup.size(), 3u);
  EXPECT_EQ(dup[0].constantText, "1003");
  EXPECT_EQ(dup[1].constantText, "P ");

  // A table of the other table code is passed over.
  Resolve("Sys", "S ");
  EXPECT_EQ(current().object.objectId, 1006);
  EXPECT_TRUE(current().foundFlag);

  // "UQ" is not a summary code: it resolves as a table.
  Resolve("UQ_x", "UQ");
  EXPECT_EQ(current().object.objectId, 1007);
  EXPECT_TRUE(current().foundFlag);

  Resolve("Orders");
  const auto& children = current().children;
  ASSERT_EQ(children.size(), 2u);
  EXPECT_EQ(children[0].name, "UQ_x");
  EXPECT_TRUE(children[0].isUnique);
  EXPECT_FALSE(children[0].isPrimaryKey);
  EXPECT_EQ(children[0].objectId, 1007);
  EXPECT_TRUE(children[1].isPrimaryKey);
  EXPECT_EQ(children[1].typeCode, "PK");
}

TEST_F(ResolveObjectTest, ColumnRowsBecomeDescriptorsInColumnIdOrder) {
  catalog_.columns = {
      Column(kTable, 3, "note", kNvarchar, 200),
      Column(kTable, 1, "id", kInt, 4, /*status=*/1),
      Column(kTable, 2, "blob", 165, -1),
      Column(kTable, 1, "id_again", kInt, 4),  // the same column stored twice
      Column(kTable, 4, "untyped", 0, 4),      // system type id 0: no descriptor
      Column(kTable | 0x01000000, 5, "flagged", 127, 8),
      Column(2002, 7, "elsewhere", kInt, 4),
      Column(kTable, 8, "sparse", kInt, 4, (1 << 24) | 0x8),
  };
  catalog_.columns[1].identityText = "identity(1,1)";
  ColumnRow parameter = Column(kTable, 6, "parameter", kInt, 4);
  parameter.number = 1;
  catalog_.columns.push_back(parameter);

  const auto d = Resolve("Orders");
  ASSERT_EQ(Names(d), (std::vector<std::string>{"id", "blob", "note", "flagged", "sparse"}));
  EXPECT_EQ(d[0].typeText, "int(4)");
  EXPECT_EQ(d[0].typeCode, 9);
  EXPECT_FALSE(d[0].nullable);
  EXPECT_FALSE(d[0].variableLength);
  EXPECT_EQ(d[0].declaredLength, 0);
  EXPECT_EQ(d[0].identityText, "identity(1,1)");
  EXPECT_EQ(d[1].typeText, "varbinary(-1)");
  EXPECT_TRUE(d[1].variableLength);
  EXPECT_EQ(d[2].typeText, "nvarchar(200)");
  EXPECT_EQ(d[2].declaredLength, 200);
  EXPECT_TRUE(d[2].nullable);
  EXPECT_EQ(d[3].typeText, "bigint(8)");
  EXPECT_TRUE(d[4].sparse);
  EXPECT_TRUE(d[4].flagBit3);
  EXPECT_FALSE(d[3].sparse);
  // No layout rows for the rowset: every column is present in place.
  for (const auto& column : d) {
    SCOPED_TRACE(column.name);
    EXPECT_TRUE(column.present);
    EXPECT_EQ(column.ordinal, column.columnId);
    EXPECT_EQ(column.nullBit, -1);
  }
  EXPECT_EQ(current().firstLiveColumn, 0);
  EXPECT_EQ(current().descriptors.size(), d.size());
}

TEST_F(ResolveObjectTest, TypeCodesFollowTheSystemAndUserTypeIds) {
  struct Case {
    uint8_t systemType;
    int32_t userType;
    int16_t maxLength;
    int32_t code;
    bool variable;
    int16_t declared;
  } cases[] = {
      {56, 56, 4, 9, false, 0},       {231, 231, 100, 11, true, 100},
      {231, 256, 256, 11, true, 256},  // sysname
      {232, 232, 8, 11, true, 8},     {239, 239, 20, 10, false, 20},
      {34, 34, 16, 25, true, 0},       // image is stored as 25
      {35, 35, 16, 26, true, 16},     {241, 241, -1, 34, true, -1},
      {106, 106, 9, 24, false, 9},    {98, 98, 8016, 20, true, 0},
      {36, 36, 16, 15, true, 0},      {173, 173, 10, 1, false, 10},
      {240, 128, 892, 31, true, 892},  // hierarchyid
      {240, 129, -1, 32, true, -1},    // geometry
      {240, 130, -1, 33, true, -1},    // geography stays a CLR type
      {250, 250, 10, 3, false, 10},    // unknown system type: char
  };
  int32_t column_id = 0;
  for (const auto& c : cases) {
    ++column_id;
    ColumnRow row = Column(kTable, column_id, "c" + std::to_string(column_id), c.systemType,
                           c.maxLength);
    row.userTypeId = c.userType;
    catalog_.columns.push_back(row);
  }
  const auto d = Resolve("Orders");
  ASSERT_EQ(d.size(), std::size(cases));
  for (size_t i = 0; i < d.size(); ++i) {
    SCOPED_TRACE(d[i].name);
    EXPECT_EQ(d[i].typeCode, cases[i].code);
    EXPECT_EQ(d[i].variableLength, cases[i].variable);
    EXPECT_EQ(d[i].declaredLength, cases[i].declared);
  }
}

TEST_F(ResolveObjectTest, ScalarTypePrefersTheSysSchemaRowOfTheUserType) {
  catalog_.scalarTypes = {ScalarType(231, "shadow", 231, 5), ScalarType(231, "nvarchar", 231, 1),
                          ScalarType(257, "Phone", 231, 1)};
  catalog_.columns = {Column(kTable, 1, "a", kNvarchar, 10), Column(kTable, 2, "b", kNvarchar, 20),
                      Column(kTable, 3, "c", kInt, 4)};
  catalog_.columns[1].userTypeId = 257;
  const auto d = Resolve("Orders");
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d[0].typeText, "nvarchar(10)");
  EXPECT_EQ(d[1].typeText, "shadow(20)");  // user type 257: the first row of type 231
  EXPECT_EQ(d[2].typeText, "int(4)");      // no scalar type row: the built-in name
  EXPECT_EQ(d[2].typeCode, 9);
}

TEST_F(ResolveObjectTest, SysrscolsGiveTheLayoutAndColumnsWithoutOneTakeTheirStoredValue) {
  catalog_.columns = {Column(kTable, 1, "old", kInt, 4), Column(kTable, 2, "id", kInt, 4),
                      Column(kTable, 3, "name", kNvarchar, 40), Column(kTable, 4, "calc", kInt, 4)};
  RowsetColumnRow id = Layout(kRowset, 2, 1, 0x00070004, 0x00050001);
  id.collationId = 1;  // not a column id: column 1 keeps no layout
  catalog_.rowsetColumns = {id, Layout(kRowset, 3, 2, -1, 0x7FFF0002),
                            Layout(kRowset + 1, 1, 1, 4, 1)};  // another rowset
  const std::vector<ObjectValueEntry> values = {
      {"1001", "1", "0x2800"}, {"1002", "1", "0x41"}, {"1001", "1", ""},
      {"1001", "1", "0x31002900"}, {"1001", "2", "0x42"},
  };

  const auto d = Resolve("Orders", "U ", values);
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[0].ordinal, kNoStoredDataOrdinal);
  EXPECT_FALSE(d[0].present);
  EXPECT_EQ(d[0].constantText, "(1)");  // both chunks of its value, in order

  EXPECT_TRUE(d[1].present);
  EXPECT_EQ(d[1].leafOffset, 4);
  EXPECT_EQ(d[1].nullBit, 1);
  EXPECT_EQ(d[1].ordinal, 1);
  EXPECT_EQ(d[1].constantText, "");  // stored columns take no stored value

  EXPECT_EQ(d[2].leafOffset, -1);  // the first variable-length column
  EXPECT_EQ(d[2].nullBit, 2);
  EXPECT_EQ(d[2].ordinal, 2);

  EXPECT_EQ(d[3].ordinal, kNoStoredDataOrdinal);
  EXPECT_EQ(d[3].constantText, "");
  EXPECT_EQ(current().firstLiveColumn, 1);
  EXPECT_EQ(current().rowsetColumns.size(), 2u);
}

TEST_F(ResolveObjectTest, Sql2005LayoutRowsLinkColumnsThroughTheColumnMap) {
  catalog_.columns = {Column(kTable, 1, "a", kInt, 4), Column(kTable, 3, "c", kInt, 4)};
  auto hobt = [](uint64_t hobt_id, int32_t column, int16_t leaf, int16_t null_bit) {
    HobtColumnRow row;
    row.hobtId = hobt_id;
    row.columnId = column;
    row.leafOffset = leaf;
    row.nullBit = null_bit;
    return row;
  };
  catalog_.hobtColumns = {hobt(kRowset, 1, 4, 1), hobt(kRowset, 2, 8, 2), hobt(kRowset, 3, 12, 3),
                          hobt(kRowset + 1, 1, 50, 9)};
  catalog_.rowsetColumnMaps = {{kRowset, 1, 1}, {kRowset, 3, 2}, {kRowset + 1, 1, 7}};

  const auto d = Resolve("Orders", "U ", {{"1001", "2", "0x41"}});
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d[0].name, "a");
  EXPECT_EQ(d[0].ordinal, 1);
  EXPECT_EQ(d[0].leafOffset, 4);
  EXPECT_EQ(d[0].nullBit, 1);
  // Column 3 is stored as heap column 2 and takes that column's place.
  EXPECT_EQ(d[1].name, "c");
  EXPECT_TRUE(d[1].present);
  EXPECT_EQ(d[1].ordinal, 2);
  EXPECT_EQ(d[1].leafOffset, 8);
  EXPECT_EQ(d[1].nullBit, 2);
  // Heap column 2 has no catalog column: a placeholder without stored data.
  EXPECT_EQ(d[2].name, "");
  EXPECT_EQ(d[2].columnId, 2);
  EXPECT_FALSE(d[2].present);
  EXPECT_EQ(d[2].ordinal, kNoStoredDataOrdinal);
  EXPECT_EQ(d[2].constantText, "A");
  EXPECT_EQ(current().firstLiveColumn, 0);

  // Placeholders only fill the list up to the number of layout rows: with
  // as many columns as layout rows, heap column 4 gets none.
  catalog_.objects.push_back(Object(1002, "Full", "U "));
  catalog_.rowsets.push_back(Rowset(kRowset + 1, 1002, 0));
  catalog_.columns = {Column(1002, 1, "x", kInt, 4), Column(1002, 2, "y", kInt, 4),
                      Column(1002, 3, "z", kInt, 4)};
  catalog_.hobtColumns = {hobt(kRowset + 1, 1, 4, 1), hobt(kRowset + 1, 4, 8, 2),
                          hobt(kRowset + 1, 2, 12, 3)};
  EXPECT_EQ(Names(Resolve("Full")), (std::vector<std::string>{"x", "y", "z"}));
}

TEST_F(ResolveObjectTest, KeyAndForeignKeyFlags) {
  catalog_.columns = {Column(kTable, 1, "id", kInt, 4), Column(kTable, 2, "code", kInt, 4),
                      Column(kTable, 3, "customer", kInt, 4), Column(kTable, 4, "other", kInt, 4)};
  catalog_.indexes = {Index(kTable, 1, 0x01 | 0x20), Index(kTable, 2, 0x01 | 0x40 | 0x08),
                      Index(kTable, 3, 0x08),          // not a key index: bit 0 clear
                      Index(kTable, 0, 0x01 | 0x20),   // index id 0: the heap
                      Index(2002, 4, 0x01 | 0x20)};
  catalog_.indexColumns = {IndexColumn(kTable, 1, 1), IndexColumn(kTable, 2, 2, /*tiny1=*/1),
                           IndexColumn(kTable, 3, 4), IndexColumn(kTable, 0, 4),
                           IndexColumn(kTable, 4, 3)};  // index 4 belongs to table 2002
  auto fk = [](int32_t table, int32_t column, std::string ref_table, std::string ref_column) {
    ForeignKeyColumnEntry entry;
    entry.parentTableId = table;
    entry.parentColumnId = column;
    entry.referencedTableName = std::move(ref_table);
    entry.referencedColumnName = std::move(ref_column);
    return entry;
  };
  catalog_.foreignKeyColumns = {fk(kTable, 3, "Customers", "id"), fk(kTable, 4, "", "x"),
                                fk(2002, 1, "Orders", "id")};

  const auto d = Resolve("Orders");
  ASSERT_EQ(d.size(), 4u);
  EXPECT_TRUE(d[0].primaryKey);
  EXPECT_FALSE(d[0].uniqueIndex);
  EXPECT_FALSE(d[0].foreignKey);
  EXPECT_FALSE(d[1].primaryKey);
  EXPECT_TRUE(d[1].uniqueIndex);
  EXPECT_TRUE(d[1].uniqueConstraint);
  EXPECT_EQ(d[1].keyOrderByte, 1);
  EXPECT_TRUE(d[2].foreignKey);
  EXPECT_EQ(d[2].referencedTable, "Customers");
  EXPECT_EQ(d[2].referencedColumn, "id");
  EXPECT_FALSE(d[2].primaryKey);
  // Only non-key indexes, the heap and a foreign key without names cover it.
  EXPECT_FALSE(d[3].primaryKey || d[3].uniqueIndex || d[3].uniqueConstraint || d[3].foreignKey);
}

TEST_F(ResolveObjectTest, DuplicatePagesAreListedTwiceUnlessTheRowsetCameFromAnIndexRow) {
  file_.mutableDataPages()[601] = {{1, 50, 1}, {1, 50, 1}, {1, 51, 1}};
  catalog_.objects.push_back(Object(1002, "FromIndex", "U "));
  catalog_.rowsets = {Rowset(IdWithKey(401), kTable, 0)};
  IndexRow index = Index(1002, 1, 0);
  index.rowsetId = static_cast<int64_t>(IdWithKey(402));
  IndexRow without_rowset = Index(1002, 2, 0);
  without_rowset.rowsetId = 0;  // names no rowset: passed over
  catalog_.indexes = {without_rowset, index};
  catalog_.allocUnits = {Unit(IdWithKey(601), IdWithKey(401), 1, 50),
                         Unit(IdWithKey(601), IdWithKey(402), 1, 50)};

  Resolve("Orders");
  EXPECT_FALSE(current().pageDeduplication);
  EXPECT_EQ(current().pageList, (std::vector<PageAddress>{{1, 50}, {1, 50}, {1, 51}}));

  Resolve("FromIndex");
  EXPECT_EQ(current().rowset.rowsetId, IdWithKey(402));
  EXPECT_TRUE(current().pageDeduplication);
  EXPECT_EQ(current().pageList, (std::vector<PageAddress>{{1, 50}, {1, 51}}));
  ASSERT_EQ(current().tableRowsets.size(), 1u);
  EXPECT_EQ(current().tableRowsets[0].rowsetId, IdWithKey(402));
}

// A unit that names no page is an empty table's: it is kept, and the pages
// that carry the rowset's id are not taken for its own. Only a rowset
// without any in-row unit stands for its unit, and not when its id is
// another unit's.
TEST_F(ResolveObjectTest, RowsetStandsForItsUnitOnlyWhenTheCatalogHasNone) {
  const uint64_t rowset = IdWithKey(2002);
  catalog_.rowsets = {Rowset(rowset, kTable, 0)};
  AllocUnitRow empty;
  empty.allocUnitId = IdWithKey(3003);
  empty.ownerId = rowset;
  empty.type = 1;
  catalog_.allocUnits = {empty};
  file_.mutableDataPages()[2002] = {{1, 60, 1}, {1, 61, 1}};
  file_.mutableIamPages()[2002] = {{1, 70, 10}};

  Resolve("Orders");
  EXPECT_EQ(current().allocUnit.allocUnitId, IdWithKey(3003));
  EXPECT_EQ(current().allocUnit.firstPage, (PageAddress{0, 0}));
  EXPECT_EQ(current().allocUnit.firstIamPage, (PageAddress{0, 0}));
  EXPECT_FALSE(current().pageDeduplication);
  EXPECT_TRUE(current().pageList.empty());

  // No in-row unit: the rowset's id stands for it.
  catalog_.allocUnits = {Unit(IdWithKey(4004), rowset, 2, 0)};  // a large-object unit only
  Resolve("Orders");
  const AllocUnitRow& chosen = current().allocUnit;
  EXPECT_EQ(chosen.allocUnitId, rowset);
  EXPECT_EQ(chosen.ownerId, rowset);
  EXPECT_EQ(chosen.firstPage, (PageAddress{1, 61}));
  EXPECT_EQ(chosen.firstIamPage, (PageAddress{1, 70}));
  EXPECT_TRUE(current().pageDeduplication);

  // ... unless another table's unit has that id: those pages are its own.
  catalog_.allocUnits.push_back(Unit(rowset, IdWithKey(5005), 1, 60));
  Resolve("Orders");
  EXPECT_EQ(current().allocUnit.allocUnitId, 0u);
  EXPECT_EQ(current().allocUnit.firstPage, (PageAddress{0, 0}));
  EXPECT_EQ(current().allocUnit.firstIamPage, (PageAddress{0, 0}));
}

TEST_F(ResolveObjectTest, Sql2000LayoutReadsLegacyColumnsAndPagesByObjectId) {
  isSql2000_ = true;
  catalog_.objects.push_back(Object(1010, "PK_Orders", "PK", kTable));
  catalog_.columns = {Column(kTable, 9, "newer layout", kInt, 4)};
  auto legacy = [](int32_t table, int16_t id, std::string name, uint8_t type, uint8_t type_status,
                   int16_t stored_offset, uint8_t status) {
    LegacyColumnRow row;
    row.objectId = table;
    row.columnId = id;
    row.name = std::move(name);
    row.systemTypeId = type;
    row.userTypeId = type;
    row.length = 4;
    row.typeStatus = type_status;
    row.storedOffset = stored_offset;
    row.columnOffset = 99;
    row.status = status;
    return row;
  };
  catalog_.legacyColumns = {legacy(kTable, 2, "name", kNvarchar, 0, -1, 1),
                            legacy(kTable, 1, "id", kInt, 1, 4, 0),
                            legacy(kTable, 1, "id twice", kInt, 0, 8, 0),
                            legacy(1002, 3, "elsewhere", kInt, 0, 4, 0)};
  file_.mutableDataPages()[kTable] = {{1, 30, 1}, {1, 31, 3}, {1, 32, 1}};
  current().rowset.rowsetId = 42;

  const auto d = Resolve("Orders");
  ASSERT_EQ(Names(d), (std::vector<std::string>{"id", "name"}));
  EXPECT_FALSE(d[0].nullable);
  EXPECT_EQ(d[0].leafOffset, 4);
  EXPECT_EQ(d[0].secondOffset, 4);
  EXPECT_EQ(d[0].typeText, "int(4)");
  EXPECT_TRUE(d[1].nullable);
  EXPECT_EQ(d[1].leafOffset, -1);
  EXPECT_EQ(d[1].secondOffset, -1);
  for (const auto& column : d) EXPECT_TRUE(column.present);
  EXPECT_EQ(current().pageList, (std::vector<PageAddress>{{1, 30}, {1, 32}}));
  EXPECT_EQ(current().rowset.rowsetId, 42u);
  ASSERT_EQ(current().children.size(), 1u);
  EXPECT_EQ(current().children[0].objectId, kTable);  // the parent's id
  EXPECT_TRUE(current().foundFlag);
}

TEST_F(ResolveObjectTest, RowsAddedAfterAResolutionAreSeenByTheNext) {
  catalog_.columns = {Column(kTable, 1, "id", kInt, 4)};
  ASSERT_EQ(Resolve("Orders").size(), 1u);
  catalog_.columns.push_back(Column(kTable, 2, "added", kInt, 4));
  catalog_.objects.push_back(Object(1002, "Later", "U "));
  EXPECT_EQ(Names(Resolve("Orders")), (std::vector<std::string>{"id", "added"}));
  Resolve("Later");
  EXPECT_EQ(current().object.objectId, 1002);
}

// Rowsets, allocation units and pages of tables in a written file.
class ResolvePagesTest : public ResolveObjectTest {
 protected:
  void SetUp() override {
    ResolveObjectTest::SetUp();
    fixture::PrimaryFileLayout file_layout;
    file_layout.userTables = {{1001, 3}, {1002, 2}, {1003, 1}};
    const std::string path = dir_.File("pages.mdf");
    ASSERT_TRUE(fixture::BuildPrimaryFile(file_layout).WriteTo(path));
    ASSERT_TRUE(file_.Open(path, nullptr));
  }
  testing::TempDir dir_;
};

TEST_F(ResolvePagesTest, HeapOrClusteredRowsetHoldsTheDataPages) {
  catalog_.objects = {Object(1001, "Heap", "U "), Object(1002, "Clustered", "U "),
                      Object(1003, "NoUnits", "U ")};
  catalog_.rowsets = {Rowset(IdWithKey(501), 1001, 2), Rowset(IdWithKey(502), 1001, 0),
                      Rowset(IdWithKey(503), 1002, 2), Rowset(IdWithKey(504), 1002, 1),
                      Rowset(IdWithKey(505), 1003, 1), Rowset(IdWithKey(506), 1003, 1)};
  catalog_.allocUnits = {Unit(IdWithKey(7001), IdWithKey(501), 1, 30),
                         Unit(IdWithKey(1001), IdWithKey(502), 1, 20),
                         Unit(IdWithKey(1002), IdWithKey(504), 1, 40),
                         Unit(IdWithKey(8001), IdWithKey(504), 2, 41)};
  catalog_.columns = {Column(1002, 1, "id", kInt, 4)};
  catalog_.rowsetColumns = {Layout(IdWithKey(503), 1, 1, 99, 1), Layout(IdWithKey(504), 1, 1, 4, 1)};
  const auto heap_pages = Addresses(file_.dataPages().at(1001));
  ASSERT_EQ(heap_pages.size(), 3u);

  Resolve("Heap");
  EXPECT_EQ(current().rowset.rowsetId, IdWithKey(502));
  EXPECT_EQ(current().allocUnit.allocUnitId, IdWithKey(1001));
  EXPECT_EQ(current().allocUnit.firstPage, heap_pages.back());
  EXPECT_EQ(current().tableRowsets.size(), 2u);
  EXPECT_EQ(current().tableAllocUnits.size(), 2u);
  EXPECT_EQ(current().pageList, heap_pages);

  const auto d = Resolve("Clustered");
  EXPECT_EQ(current().rowset.rowsetId, IdWithKey(504));
  EXPECT_EQ(current().allocUnit.allocUnitId, IdWithKey(1002));  // in-row data, not the LOB unit
  EXPECT_EQ(current().pageList, Addresses(file_.dataPages().at(1002)));
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].leafOffset, 4);  // the layout of the chosen rowset

  // Two rowsets of index id 1: the later one. Without units the pages
  // come from the table's own object id.
  Resolve("NoUnits");
  EXPECT_EQ(current().rowset.rowsetId, IdWithKey(506));
  EXPECT_TRUE(current().tableAllocUnits.empty());
  EXPECT_EQ(current().pageList, Addresses(file_.dataPages().at(1003)));
}

}  // namespace
}  // namespace quill
