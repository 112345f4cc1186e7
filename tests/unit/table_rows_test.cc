// Whole tables through ReadPageRows: a value of every type, large values in
// every kind of tree, page-compressed tables of many columns, sparse,
// dropped and added columns, and damaged values, each compared cell by cell.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "catalog/load_catalog.h"
#include "catalog/resolve_object.h"
#include "catalog_builder.h"
#include "cli/info_command.h"
#include "cli/rows_command.h"
#include "common/progress_sink.h"
#include "lob_builder.h"
#include "page_builder.h"
#include "support/temp_dir.h"
#include "table_page_builder.h"
#include "value_bytes.h"
#include "values/page_rows.h"
#include "xml_builder.h"
#include "scan/application_state.h"
#include "support/read_options.h"
#include "catalog/current_table_pages.h"

namespace quill {
namespace {

using namespace fixture;
using Cells = std::vector<std::vector<std::string>>;

constexpr int32_t kTableId = 1001;
constexpr int32_t kTextPage = 100;
constexpr int32_t kPageCount = 120;

// One table in a fresh database, opened and resolved.
class TableRowsTest : public ::testing::Test {
 protected:
  using PageEdit = std::function<void(DataFileBuilder&, const BuiltTable&)>;

  // `text_records` go on a text page at kTextPage; `edit` may replace pages
  // before the file is written.
  void Build(std::vector<ColumnDescription> columns, std::vector<Bytes> rows, std::vector<Bytes> text_records = {},
             const PageEdit& edit = {}, std::map<int32_t, std::vector<Bytes>> extra_records = {},
             uint64_t rowset_id = 0) {
    DatabaseDescription description;
    description.pageCount = kPageCount;
    TableDescription table;
    table.name = "T";
    table.objectId = kTableId;
    table.columns = std::move(columns);
    table.rows = std::move(rows);
    table.rowsetId = rowset_id;
    description.tables = {table};
    description.extraRecords = std::move(extra_records);
    CatalogDatabaseLayout layout;
    DataFileBuilder builder = BuildCatalogDatabase(description, &layout);
    ASSERT_LT(layout.tables.at(0).iamPage, kTextPage);
    if (!text_records.empty()) {
      PageBuilder page(3, 77, kTextPage);
      for (const Bytes& record : text_records) page.AddRecord(record);
      builder.SetPage(kTextPage, page.Build());
    }
    if (edit) edit(builder, layout.tables.at(0));
    path_ = dir_.File("t" + std::to_string(++files_) + ".mdf");
    ASSERT_TRUE(builder.WriteTo(path_));
    file_ = std::make_unique<CDatabaseFile>();
    ASSERT_TRUE(file_->Open(path_, nullptr));
    catalog_ = LoadCatalog(*file_, state_.readOptions(), state_.collationChoice());
    ASSERT_FALSE(ResolveObject(*catalog_, *file_, catalog_->isSql2000, "T", "U ", {}).empty());
  }

  // The cells of every row of every page of the table, in page order.
  // Readers of typed cells get the texts of numbers and dates made on
  // demand: each case checks they are the texts made while reading, also
  // in a copy of the row read after its page is gone.
  Cells Rows() {
    Cells cells;
    std::vector<Row> typed_reader_rows;
    const ReadOptions options = testing::OptionsFor(state_, *catalog_);
    for (const PageAddress& page : catalog_->current.pageList) {
      for (const Row& row : ReadPageRows(page, *file_, CurrentTableRows(catalog_->current), options)) {
        cells.push_back(row.texts());
      }
      VisitTypedPageRows(page, *file_, CurrentTableRows(catalog_->current), options,
                         [&](const Row& row, const std::vector<TypedValue>&, const RowPlace&) {
                           typed_reader_rows.push_back(row);
                         });
    }
    Cells typed_reader_cells;
    for (const Row& row : typed_reader_rows) typed_reader_cells.push_back(row.texts());
    EXPECT_EQ(typed_reader_cells, cells);
    return cells;
  }

  testing::TempDir dir_;
  int files_ = 0;
  std::string path_;
  ApplicationState state_;
  std::unique_ptr<CDatabaseFile> file_;
  std::unique_ptr<SystemCatalog> catalog_;
};

ColumnDescription WithPrecision(ColumnDescription c, uint8_t precision, uint8_t scale) {
  c.precision = precision;
  c.scale = scale;
  return c;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

LobLink At(uint16_t slot, int32_t size = 1) { return {{1, kTextPage}, slot, size}; }

// The binary xml value <a b="1">t</a>.
Bytes SmallXml() { return XmlValueBuilder().Start("a").Attribute("b", "1").Text("t").End().Build(); }

// One value of every column type, stored in its record or in large-object
// trees, against the text the record list shows.
TEST_F(TableRowsTest, EveryTypeGivesItsText) {
  struct Cell {
    ColumnDescription column;
    Bytes stored;
    bool variable;
    bool complex;
    std::string expected;
  };
  using namespace stored;
  const Bytes xml = SmallXml();
  const Bytes cells_text = Ansi("long text");
  Bytes overflow = InRowRoot({At(3, 9)});
  overflow[0] = 4;  // a row-overflow pointer
  const std::vector<Cell> cells = {
      {Column("bigint", "bigint"), Bigint(1234567890123), false, false, "1234567890123"},
      {Column("binary", "binary", 4), {0xDE, 0xAD, 0xBE, 0xEF}, false, false, "0xDEADBEEF"},
      {Column("bit", "bit"), {1}, false, false, "True"},
      {Column("char", "char", 5), Ansi("abc  "), false, false, "abc  "},
      {Column("datetime", "datetime"), Datetime(35248, 300 * 3661), false, false, "1996-07-04 01:01:01"},
      {Column("date", "date"), Date(737424), false, false, "2020-01-01"},
      {Column("time", "time"), Time(360000500000ull, 5), false, false, "10:00:00.0500000"},
      {Column("datetime2", "datetime2"), Datetime2(36000000000ull, 5, 737424), false, false,
       "2020-01-01 01:00:00.0000000"},
      {Column("datetimeoffset", "datetimeoffset"), Datetimeoffset(0, 5, 737424, 330), false, false,
       "2020-01-01 05:30:00.0000000  +5:30"},
      {Column("int", "int"), Int(-42), false, false, "-42"},
      {Column("nchar", "nchar", 6), Utf16Le("xyz"), false, false, "xyz"},
      {Column("smallint", "smallint"), Smallint(-2), false, false, "-2"},
      {Column("tinyint", "tinyint"), Tinyint(255), false, false, "255"},
      {Column("guid", "uniqueidentifier"), Guid("00112233-4455-6677-8899-AABBCCDDEEFF"), false, false,
       "00112233-4455-6677-8899-AABBCCDDEEFF"},
      {Column("money", "money"), Money(-12345), false, false, "-1.2345"},
      {Column("float", "float"), Float(2.5), false, false, "2.5"},
      {WithPrecision(Column("decimal", "decimal", 5), 5, 2), Decimal(true, 12345, 5), false, false, "123.45"},
      {WithPrecision(Column("numeric", "numeric", 9), 19, 4), Decimal(false, 9999999999999999999ull, 9), false,
       false, "-999999999999999.9999"},
      {Column("smalldatetime", "smalldatetime"), Smalldatetime(1, 60), false, false, "1900-01-02 01:00:00"},
      {Column("real", "real"), Real(1.5f), false, false, "1.5"},
      {Column("smallmoney", "smallmoney"), Smallmoney(12345), false, false, "1.2345"},
      {Column("timestamp", "timestamp"), {0, 1, 2, 3, 4, 5, 6, 7}, false, false, "0x0001020304050607"},
      {Column("nvarchar", "nvarchar", 40), Utf16Le("Gr\xC3\xBC\xC3\x9F" "e"), true, false, "Gr\xC3\xBC\xC3\x9F" "e"},
      {Column("varbinary", "varbinary", 10), {0x01, 0x02}, true, false, "0x0102"},
      {Column("varchar", "varchar", 10), Ansi("hello"), true, false, "hello"},
      {Column("variant_int", "sql_variant"), Variant(56, {}, Int(42)), true, false, "42"},
      {Column("variant_nvarchar", "sql_variant"), Variant(231, Bytes(6, 0), Utf16Le("v")), true, false, "v"},
      {Column("variant_decimal", "sql_variant"), Variant(106, {5, 2}, Decimal(true, 50, 5)), true, false, "0.50"},
      {Column("xml", "xml"), xml, true, false, "<a b=\"1\">t</a>"},
      // Large values: text pointers to a small root, data nodes and an
      // internal node over two data nodes; in-row roots to a data node and
      // to a large root over two data nodes; a row-overflow pointer.
      {Column("ntext", "ntext"), TextPointer(At(0)), true, true, "Hi"},
      {Column("image", "image"), TextPointer(At(1)), true, true, "0xCAFE"},
      {Column("text", "text"), TextPointer(At(2)), true, true, "plain"},
      {Column("varchar_max", "varchar", -1), InRowRoot({At(3, 9)}), true, true, "long text"},
      {Column("varbinary_max", "varbinary", -1), InRowRoot({At(5, 4)}), true, true, "0xCAFECAFE"},
      {Column("xml_lob", "xml"), InRowRoot({At(4, static_cast<int32_t>(xml.size()))}), true, true,
       "<a b=\"1\">t</a>"},
      {Column("text_tree", "text"), TextPointer(At(7)), true, true, "plain!"},
      {Column("row_overflow", "varchar", 8000), overflow, true, true, "long text"},
  };
  const std::vector<Bytes> text_page = {SmallRootRecord(Utf16Le("Hi")),
                                        DataNodeRecord({0xCA, 0xFE}),
                                        DataNodeRecord(Ansi("plain")),
                                        DataNodeRecord(cells_text),
                                        DataNodeRecord(xml),
                                        LargeRootRecord({At(1, 2), At(6, 2)}),
                                        DataNodeRecord({0xCA, 0xFE}),
                                        InternalNodeRecord({At(2), At(8)}),
                                        DataNodeRecord(Ansi("!"))};

  std::vector<ColumnDescription> columns;
  PlainRecordBuilder record;
  Bytes fixed;
  std::vector<std::string> expected;
  for (const Cell& c : cells) {
    columns.push_back(c.column);
    if (c.variable) {
      record.Variable(c.stored, c.complex);
    } else {
      fixed.insert(fixed.end(), c.stored.begin(), c.stored.end());
    }
    expected.push_back(c.expected);
  }
  record.Fixed(fixed).ColumnCount(static_cast<int16_t>(cells.size())).Nulls({});
  Build(columns, {record.Build()}, text_page);

  const Cells rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  for (size_t i = 0; i < cells.size(); ++i) EXPECT_EQ(rows[0][i], expected[i]) << cells[i].column.name;
}

// 8-bit text of char, varchar and text columns comes out in the code page
// of each column's collation when the rows are read outside the table
// display too; a column without a collation keeps the ANSI code page.
TEST_F(TableRowsTest, CharacterColumnsUseTheCodePageOfTheirCollation) {
  state_.collationTable = LoadCollationTable(QUILLSTONE_COLLATION_TABLE);
  const auto collated = [](ColumnDescription column, int32_t collation_id) {
    column.collationId = collation_id;
    return column;
  };
  struct Cell {
    ColumnDescription column;
    Bytes stored;
    std::string expected;
  };
  const std::vector<Cell> cells = {
      {collated(Column("cyrillic", "char", 6), 53269), {0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2}, "Привет"},
      {collated(Column("greek", "varchar", 10), 53255), {0xC3, 0xE5, 0xE9, 0xDC}, "Γειά"},
      {collated(Column("turkish", "varchar", 10), 53274), {0xF0, 0xFD, 0xFE}, "ğış"},
      {collated(Column("japanese", "varchar", 10), 53264), {0x93, 0xFA, 0x96, 0x7B}, "日本"},
      {collated(Column("chinese", "varchar", 10), 53284), {0xD6, 0xD0, 0xCE, 0xC4}, "中文"},
      {collated(Column("text", "text"), 53269), TextPointer(At(0)), "Мир"},
      {Column("no_collation", "varchar", 10), {'c', 'a', 'f', 0xE9}, "café"},
  };
  std::vector<ColumnDescription> columns;
  PlainRecordBuilder record;
  Bytes fixed;
  for (const Cell& c : cells) {
    columns.push_back(c.column);
    if (c.column.systemTypeId == 175) {  // char: fixed length
      fixed.insert(fixed.end(), c.stored.begin(), c.stored.end());
    } else {
      record.Variable(c.stored, c.column.systemTypeId == 35);
    }
  }
  record.Fixed(fixed).ColumnCount(static_cast<int16_t>(cells.size())).Nulls({});
  Build(columns, {record.Build()}, {SmallRootRecord({0xCC, 0xE8, 0xF0})});

  const Cells rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  for (size_t i = 0; i < cells.size(); ++i) EXPECT_EQ(rows[0][i], cells[i].expected) << cells[i].column.name;
}

// Page-compressed tables of 31 and 130 columns (past the first cluster of
// 30, and past the one-byte column count): each column type in turn takes
// its value from short data, the anchor record, the dictionary, or the long
// data region. NULLs and long values take no room among the expanded
// values, so every column is read where its own value was placed.
TEST_F(TableRowsTest, CompressedTablesOfManyColumns) {
  enum Kind { kInt, kChar, kBigint, kVarchar };
  for (int column_count : {31, 130}) {
    SCOPED_TRACE(column_count);
    std::vector<ColumnDescription> columns;
    CompressedRecordBuilder anchor;
    for (int i = 0; i < column_count; ++i) {
      const std::string name = "c" + std::to_string(i);
      switch (i % 4) {
        case kInt: columns.push_back(Column(name, "int")); anchor.Null(); break;
        case kChar: columns.push_back(Column(name, "char", 8)); anchor.Short(stored::Ansi("abcdefgh")); break;
        case kBigint: columns.push_back(Column(name, "bigint")); anchor.Null(); break;
        default: columns.push_back(Column(name, "varchar", 30)); anchor.Null(); break;
      }
    }
    const Bytes dictionary_int = {0x80, 0x2A};  // 42
    Cells expected;
    std::vector<Bytes> records;
    for (int r = 0; r < 3; ++r) {
      CompressedRecordBuilder record;
      std::vector<std::string> texts;
      for (int i = 0; i < column_count; ++i) {
        const bool last = i == column_count - 1;
        switch (i % 4) {
          case kInt: {
            const int v = r * 100 + i;
            if (r == 2 && i % 8 == 0) {
              record.Symbol(0);
              texts.push_back("42");
            } else if (r == 1 && (last || i % 8 == 4)) {
              record.Null();  // takes no room: the values after it move up
              texts.push_back("NULL");
            } else {
              record.Short({static_cast<uint8_t>(0x80 | (v >> 8)), static_cast<uint8_t>(v)});
              texts.push_back(std::to_string(v));
            }
            break;
          }
          case kChar:
            if (r == 1) {
              record.Empty();  // the anchor value itself
              texts.push_back("abcdefgh");
            } else {
              const char suffix[] = {static_cast<char>('0' + r), static_cast<char>('a' + i % 26)};
              record.Short({4, static_cast<uint8_t>(suffix[0]), static_cast<uint8_t>(suffix[1])});
              texts.push_back(std::string("abcd") + suffix[0] + suffix[1]);
            }
            break;
          case kBigint: {
            const int v = r * 1000000 + i;
            record.Short({static_cast<uint8_t>(0x80 | (v >> 16)), static_cast<uint8_t>(v >> 8),
                          static_cast<uint8_t>(v)});
            texts.push_back(std::to_string(v));
            break;
          }
          default:
            if (r == 1 && i % 8 == 3) {
              record.Null();
              texts.push_back("NULL");
            } else if (r == 0 && i % 8 == 7) {
              const std::string text = "s" + std::to_string(i);  // short data, in the fixed area
              record.Short(stored::Ansi(text));
              texts.push_back(text);
            } else {
              const std::string text = "row " + std::to_string(r) + " column " + std::to_string(i);
              record.Long(stored::Ansi(text));
              texts.push_back(text);
            }
        }
      }
      records.push_back(record.Build());
      expected.push_back(std::move(texts));
    }
    const Bytes info = CompressionInfo(anchor.Build(), {dictionary_int});
    Build(columns, {Bytes{0}}, {}, [&](DataFileBuilder& file, const BuiltTable& table) {
      PageBuilder page = TableDataPage(table);
      page.CompressionInfo(info);
      for (const Bytes& record : records) page.AddRecord(record);
      file.SetPage(table.dataPages.at(0), page.Build());
    });
    EXPECT_EQ(Rows(), expected);
  }
}

// A row-compressed page (no anchor record, no dictionary) through the rows
// command: short values in the expanded area, a long value, a NULL, and
// bit values each in a byte of their own.
TEST_F(TableRowsTest, RowCompressedTableThroughTheRowsCommand) {
  const Bytes first = CompressedRecordBuilder()
                          .Short({0x80, 0x01})
                          .Short(stored::Ansi("abc"))
                          .Long(stored::Ansi("a longer text, with a comma"))
                          .Short({1})
                          .Build();
  const Bytes second =
      CompressedRecordBuilder().Short({0x80, 0x02}).Null().Short(stored::Ansi("short")).Short({0}).Build();
  Build({Column("id", "int"), Column("code", "varchar", 20), Column("note", "varchar", 100), Column("flag", "bit")},
        {Bytes{0}}, {}, [&](DataFileBuilder& file, const BuiltTable& table) {
          file.SetPage(table.dataPages.at(0), TableDataPage(table).AddRecord(first).AddRecord(second).Build());
        });
  EXPECT_EQ(Rows(), (Cells{{"1", "abc", "a longer text, with a comma", "True"}, {"2", "NULL", "short", "False"}}));

  ApplicationState state;
  NullProgressSink progress;
  std::ostringstream out;
  RowsRequest request;
  request.path = path_;
  request.table = "T";
  ASSERT_EQ(RunRowsCommand(request, state, progress, out), kExitOk);
  EXPECT_EQ(out.str(),
            "id,code,note,flag\r\n1,abc,\"a longer text, with a comma\",True\r\n2,NULL,short,False\r\n");
}

// Sparse columns come from the sparse vector by column id; a value missing
// from the vector leaves its cell empty.
TEST_F(TableRowsTest, SparseColumnsReadTheSparseVector) {
  ColumnDescription id = Column("id", "int");
  ColumnDescription number = Column("number", "int");
  ColumnDescription label = Column("label", "nvarchar", 40);
  number.status = kColumnStatusSparse;
  label.status = kColumnStatusSparse;
  number.leafOffset = 0;  // sparse values take no place in the fixed part
  auto row = [](int32_t key, const std::vector<std::pair<uint16_t, Bytes>>& sparse) {
    return PlainRecordBuilder()
        .Fixed(stored::Int(key))
        .ColumnCount(2)
        .Nulls({})
        .Variable(SparseVector(sparse), true)
        .Build();
  };
  Build({id, number, label},
        {row(1, {{2, stored::Int(7)}, {3, Utf16Le("sp")}}), row(2, {{3, Utf16Le("only label")}})});
  EXPECT_EQ(Rows(), (Cells{{"1", "7", "sp"}, {"2", "", "only label"}}));
}

// Column b (id 2) was dropped: its layout row and its bytes stay, its
// column row is gone. Columns e, f and g (ids 5 to 7) were added later; the
// records written before hold fewer columns. The nullable ones read NULL
// there; f, added NOT NULL with the default 7 without rewriting the
// records, reads the value the catalog keeps for them.
TEST_F(TableRowsTest, DroppedAndAddedColumns) {
  constexpr uint64_t kRowsetId = 72057594039042048ull;
  auto at = [](ColumnDescription c, int32_t id, int16_t leaf, int16_t null_bit) {
    c.columnId = id;
    c.leafOffset = leaf;
    c.nullBit = null_bit;
    return c;
  };
  ColumnDescription f = at(Column("f", "int"), 6, 20, 6);
  f.nullable = false;
  const std::vector<ColumnDescription> columns = {at(Column("a", "int"), 1, 4, 1), at(Column("c", "int"), 3, 12, 3),
                                           at(Column("d", "nvarchar", 20), 4, ~0, 4),
                                           at(Column("e", "int"), 5, 16, 5), f,
                                           at(Column("g", "nvarchar", 20), 7, ~1, 7)};
  auto fixed = [](std::vector<int32_t> values) {
    Bytes out;
    for (int32_t v : values) {
      const Bytes b = stored::Int(v);
      out.insert(out.end(), b.begin(), b.end());
    }
    return out;
  };
  const Bytes before = PlainRecordBuilder().Fixed(fixed({1, 999, 3})).ColumnCount(4).Nulls({}).Variable(Utf16Le("old")).Build();
  const Bytes after =
      PlainRecordBuilder().Fixed(fixed({10, 999, 30, 50})).ColumnCount(5).Nulls({}).Variable(Utf16Le("new")).Build();
  const Bytes after_null =
      PlainRecordBuilder().Fixed(fixed({11, 999, 31, 0})).ColumnCount(5).Nulls({4}).Variable(Utf16Le("x")).Build();
  const Bytes latest = PlainRecordBuilder()
                           .Fixed(fixed({12, 999, 32, 52, 8}))
                           .ColumnCount(7)
                           .Nulls({})
                           .Variable(Utf16Le("y"))
                           .Variable(Utf16Le("late"))
                           .Build();
  AddedColumnValueRow default_f;
  default_f.rowsetId = kRowsetId;
  default_f.rowsetColumnId = 6;
  default_f.value = stored::Variant(56, {}, stored::Int(7));
  Build(columns, {before, after, after_null, latest}, {}, {},
        {{kSysRsCols, {DroppedColumnLayoutRecord(kRowsetId, 2, 2, 8, 2)}},
         {kSysSeObjValues, {AddedColumnValueRecord(default_f)}}},
        kRowsetId);
  ASSERT_EQ(catalog_->current.rowsetColumns.size(), 7u);
  // The dropped value 999 never shows.
  EXPECT_EQ(Rows(), (Cells{{"1", "3", "old", "NULL", "7", "NULL"},
                           {"10", "30", "new", "50", "7", "NULL"},
                           {"11", "31", "x", "NULL", "7", "NULL"},
                           {"12", "32", "y", "52", "8", "late"}}));
  // The typed cells carry the catalog's value as an integer too.
  std::vector<std::pair<ValueKind, int64_t>> typed_f;
  for (const PageAddress& page : catalog_->current.pageList) {
    VisitTypedPageRows(page, *file_, CurrentTableRows(catalog_->current), testing::OptionsFor(state_, *catalog_),
                       [&](const Row&, const std::vector<TypedValue>& cells, const RowPlace&) {
                         typed_f.emplace_back(cells.at(4).kind, cells.at(4).integer);
                       });
  }
  EXPECT_EQ(typed_f, (std::vector<std::pair<ValueKind, int64_t>>{
                         {ValueKind::kInteger, 7}, {ValueKind::kInteger, 7}, {ValueKind::kInteger, 7},
                         {ValueKind::kInteger, 8}}));

  // The plain builder (no layout rows) counts columns in order: those past
  // the record's count read NULL.
  Build({Column("a", "int"), Column("b", "int"), Column("c", "nvarchar", 20)},
        {PlainRecordBuilder().Fixed(stored::Int(1)).ColumnCount(1).Nulls({}).Build()});
  catalog_->current.rowsetColumns.clear();
  EXPECT_EQ(Rows(), (Cells{{"1", "NULL", "NULL"}}));
}

// Damaged values through the whole row path: each gives an empty or
// partial cell as the value decoders define it, never a crash or a hang
// (the sanitizer build checks the reads).
TEST_F(TableRowsTest, DamagedValuesGiveEmptyOrPartialCells) {
  struct Case {
    const char* name;
    std::vector<ColumnDescription> columns;
    Bytes record;
    std::vector<Bytes> text_page;
    std::vector<std::string> expected;
  };
  using namespace stored;
  auto plain = [](Bytes fixed, int16_t count, std::vector<std::pair<Bytes, bool>> variables = {}) {
    PlainRecordBuilder b;
    b.Fixed(std::move(fixed)).ColumnCount(count).Nulls({});
    for (auto& [value, complex] : variables) b.Variable(value, complex);
    return b.Build();
  };
  const ColumnDescription id = Column("id", "int");
  // A record whose second variable column claims to end at 0x2100, past
  // the page: the record layer leaves that value out. (An end inside the
  // page is read as far as it says: records carry no length of their own.)
  Bytes past_record = plain(Int(1), 3, {{Ansi("ab"), false}, {Ansi("cd"), false}});
  const size_t last_end = past_record.size() - 4 - 2;  // the second end offset, before the two values
  past_record[last_end] = 0x00;
  past_record[last_end + 1] = 0x21;
  const Bytes truncated_xml = [] {
    Bytes x = SmallXml();
    x.resize(x.size() - 3);
    return x;
  }();
  const Bytes unknown_token = XmlValueBuilder().Start("a").Raw({0x15}).End().Build();
  const Bytes name_out_of_range = XmlValueBuilder().Start("a").Raw({0xF8, 0x09}).End().End().Build();

  const Case cases[] = {
      {"int shorter than its type", {id, Column("v", "int")}, plain({1, 0, 0, 0, 7, 0}, 2), {}, {"1", ""}},
      {"bigint cut by the record end", {id, Column("v", "bigint")}, plain({1, 0, 0, 0, 1, 2, 3}, 2), {}, {"1", ""}},
      {"variable column past the record", {id, Column("p", "varchar", 10), Column("q", "varchar", 10)},
       past_record, {}, {"1", "ab", ""}},
      {"variant with an unknown base type", {id, Column("v", "sql_variant")},
       plain(Int(1), 2, {{Variant(99, {}, Int(5)), false}}), {}, {"1", ""}},
      {"variant int one byte short", {id, Column("v", "sql_variant")},
       plain(Int(1), 2, {{Variant(56, {}, {1, 2, 3}), false}}), {}, {"1", ""}},
      {"datetime in year 10000", {id, Column("v", "datetime")}, plain(Concat(Int(1), Datetime(2958464, 0)), 2),
       {}, {"1", ""}},
      {"datetime at 24:00", {id, Column("v", "datetime")}, plain(Concat(Int(1), Datetime(0, 25920000)), 2), {},
       {"1", ""}},
      {"date past 9999", {id, Column("v", "date")}, plain(Concat(Int(1), Date(0xFFFFFF)), 2), {}, {"1", ""}},
      {"decimal of precision 0", {id, WithPrecision(Column("v", "decimal", 5), 0, 0)},
       plain(Concat(Int(1), Decimal(true, 7, 5)), 2), {}, {"1", ""}},
      {"decimal of precision 40 in 5 bytes", {id, WithPrecision(Column("v", "decimal", 5), 40, 0)},
       plain(Concat(Int(1), Decimal(true, 7, 5)), 2), {}, {"1", ""}},
      {"text pointer to a page outside the file", {id, Column("t", "text")},
       plain(Int(1), 2, {{TextPointer({{1, 99999}, 0}), true}}), {}, {"1", ""}},
      {"text pointer to an absent slot", {id, Column("t", "text")},
       plain(Int(1), 2, {{TextPointer(At(7)), true}}), {DataNodeRecord(Ansi("x"))}, {"1", ""}},
      {"in-row root to a page outside the file", {id, Column("m", "varchar", -1)},
       plain(Int(1), 2, {{InRowRoot({{{1, 5000000}, 0, 4}}), true}}), {}, {"1", ""}},
      {"tree that loops", {id, Column("t", "text")}, plain(Int(1), 2, {{TextPointer(At(0)), true}}),
       {InternalNodeRecord({At(1), At(0)}), InternalNodeRecord({At(2), At(1)}), DataNodeRecord(Ansi("x"))},
       {"1", "x"}},
      {"truncated xml in row", {id, Column("x", "xml")}, plain(Int(1), 2, {{truncated_xml, false}}), {},
       {"1", " "}},
      {"xml with an unknown token", {id, Column("x", "xml")}, plain(Int(1), 2, {{unknown_token, false}}), {},
       {"1", " "}},
      {"xml with a name index out of range", {id, Column("x", "xml")},
       plain(Int(1), 2, {{name_out_of_range, false}}), {}, {"1", " "}},
      {"truncated xml in a tree", {id, Column("x", "xml")},
       plain(Int(1), 2, {{InRowRoot({At(0, static_cast<int32_t>(truncated_xml.size()))}), true}}),
       {DataNodeRecord(truncated_xml)}, {"1", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Build(c.columns, {c.record}, c.text_page);
    const Cells rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], c.expected);
  }
}

// A compressed nchar value whose SCSU bytes end inside a quoted unit keeps
// the characters before it.
TEST_F(TableRowsTest, CompressedUnicodeCutInsideAScsuSequence) {
  const Bytes anchor = CompressedRecordBuilder().Short({0x80, 0x01}).Short({'Q', 0}).Build();
  const Bytes cut = CompressedRecordBuilder().Short({0x80, 0x02}).Short({0, 0x41, 0x0E, 0x20}).Build();
  const Bytes whole = CompressedRecordBuilder().Short({0x80, 0x03}).Short({0, 0x41, 0x42}).Build();
  Build({Column("id", "int"), Column("n", "nchar", 8)}, {Bytes{0}}, {},
        [&](DataFileBuilder& file, const BuiltTable& table) {
          PageBuilder page = TableDataPage(table);
          page.CompressionInfo(CompressionInfo(anchor, {{'z'}}));
          page.AddRecord(cut).AddRecord(whole);
          file.SetPage(table.dataPages.at(0), page.Build());
        });
  EXPECT_EQ(Rows(), (Cells{{"2", "A"}, {"3", "AB"}}));
}

}  // namespace
}  // namespace quill
