#include "support/paged_database.h"

#include "table_row_builder.h"
#include "value_bytes.h"

namespace quill::testing {

using namespace fixture;

std::string PagedTableName(int32_t rows) { return "T" + std::to_string(rows); }

DatabaseDescription PagedTables(const std::vector<int32_t>& row_counts, const std::vector<TableDescription>& extra) {
  DatabaseDescription description;
  int32_t object_id = 2001;
  for (int32_t count : row_counts) {
    TableDescription table;
    table.name = PagedTableName(count);
    table.objectId = object_id++;
    table.columns = {Column("Id", "int"), Column("Name", "nvarchar", 40)};
    for (int32_t i = 1; i <= count; ++i) {
      table.rows.push_back(TableRowRecord(
          table.columns, {CellValue::Of(stored::Int(i)), CellValue::Of(Utf16Le("row " + std::to_string(i)))}));
    }
    description.tables.push_back(std::move(table));
  }
  for (const TableDescription& table : extra) description.tables.push_back(table);
  return description;
}

}  // namespace quill::testing
