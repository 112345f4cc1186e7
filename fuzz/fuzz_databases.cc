#include "fuzz_databases.h"

#include <algorithm>

#include "catalog/load_catalog.h"
#include "catalog/resolve_object.h"
#include "catalog_builder.h"
#include "fuzz_columns.h"
#include "fuzz_support.h"
#include "object_values_builder.h"
#include "pages/database_file.h"
#include "table_row_builder.h"
#include "value_bytes.h"

namespace quill::fuzz {

using namespace fixture;

const CatalogBase& CatalogBaseDatabase() {
  static const CatalogBase base = [] {
    DatabaseDescription description;
    const std::vector<ColumnDescription> people = {Column("Id", "int"), Column("Name", "nvarchar", 40),
                                                   Column("Born", "datetime"), Column("Score", "decimal"),
                                                   Column("Photo", "varbinary", -1)};
    const std::vector<ColumnDescription> orders = {Column("OrderId", "bigint"), Column("PersonId", "int"),
                                                   Column("Note", "varchar", 30)};
    description.tables = {
        TableDescription{.name = "People",
                         .objectId = 1001,
                         .clustered = true,
                         .columns = people,
                         .rows = {TableRowRecord(people, {CellValue::Of(stored::Int(1)),
                                                          CellValue::Of(Utf16Le("Ann")),
                                                          CellValue::Of(stored::Datetime(40000, 300)),
                                                          CellValue::Of(stored::Decimal(true, 1234, 5))})},
                         .primaryKey = KeyDescription{.name = "PK_People", .columnIds = {1}}},
        TableDescription{.name = "Orders",
                         .objectId = 1002,
                         .columns = orders,
                         .rows = {TableRowRecord(orders, {CellValue::Of(stored::Bigint(5)),
                                                          CellValue::Of(stored::Int(1)),
                                                          CellValue::Of(stored::Ansi("first"))})}},
    };
    description.foreignKeys = {ForeignKeyDescription{
        .name = "FK_Orders_People", .parentTableId = 1002, .referencedTableId = 1001, .columns = {{2, 1}}}};
    AddModule(description, "vPeople", "V ", "CREATE VIEW vPeople AS SELECT Id, Name FROM People");
    CatalogDatabaseLayout layout;
    CatalogBase b;
    b.bytes = BuildCatalogDatabase(description, &layout).Bytes();
    size_t first = SIZE_MAX;
    size_t end = 0;
    for (const auto& [object, pages] : layout.systemTablePages) {
      for (int32_t page : pages) {
        first = std::min(first, static_cast<size_t>(page));
        end = std::max(end, static_cast<size_t>(page) + 1);
      }
    }
    b.firstPage = first;
    b.endPage = end;
    return b;
  }();
  return base;
}

const SharePointBase& SharePointBaseDatabase(const std::string& demo_path) {
  static const SharePointBase base = [&] {
    SharePointBase b;
    const std::string path =
        !demo_path.empty() ? demo_path : BesideProgram("WSS_Content_Demo.mdf", QUILLSTONE_DEMO_DATABASE);
    b.bytes = ReadWholeFile(path);
    CDatabaseFile file;
    if (b.bytes.empty() || !file.Open(path, nullptr)) return b;
    ReadOptions options;
    options.decode = DecodeOptions(true);
    const CollationChoice collation{options.decode.collationTable, true, 0};
    std::unique_ptr<SystemCatalog> catalog = LoadCatalog(file, options, collation);
    if (!catalog) return b;
    for (const char* table : kContentTables) {
      ResolveObject(*catalog, file, catalog->isSql2000, table, "U ", {});
      for (const PageAddress& page : catalog->current.pageList) {
        if (page.fileId == 1 && std::find(b.pages.begin(), b.pages.end(), page.pageId) == b.pages.end()) {
          b.pages.push_back(page.pageId);
        }
      }
    }
    catalog->current = CurrentTable{};
    b.catalog = std::move(*catalog);
    b.loaded = !b.pages.empty();
    return b;
  }();
  return base;
}

std::vector<uint8_t> Overlay(const std::vector<uint8_t>& base, std::span<const int32_t> pages,
                             std::span<const uint8_t> input) {
  std::vector<uint8_t> bytes = base;
  size_t at = 0;
  for (int32_t page : pages) {
    if (at >= input.size()) break;
    const size_t offset = static_cast<size_t>(page) * kPageSize;
    if (offset + kPageSize > bytes.size()) continue;
    const size_t n = std::min(kPageSize, input.size() - at);
    std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(at), n, bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    at += n;
  }
  return bytes;
}

}  // namespace quill::fuzz
