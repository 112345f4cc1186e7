#include "catalog/object_values.h"

#include <initializer_list>

#include "catalog/resolve_object.h"
#include "catalog/current_table_pages.h"
#include "values/page_rows.h"
#include "schema/type_codes.h"
#include "schema/type_text.h"

namespace quill {

namespace {

constexpr int32_t kPageTypeDataPage = 1;

// Cells of the triple in a row of the two layouts.
constexpr size_t kLegacyIdCell = 0;
constexpr size_t kLegacyNumberCell = 1;
constexpr size_t kLegacyTextCell = 4;
constexpr size_t kObjectIdCell = 1;
constexpr size_t kSubObjectIdCell = 2;

// A column of a system table read here: name, type text, type code.
struct FixedColumn {
  const char* name;
  const char* typeText;
  int32_t typeCode;
};

std::vector<ColumnDescriptor> Columns(std::initializer_list<FixedColumn> fixed) {
  std::vector<ColumnDescriptor> columns;
  int32_t column_id = 1;
  for (const FixedColumn& column : fixed) {
    ColumnDescriptor d;
    d.columnId = column_id++;
    d.name = column.name;
    SetTypeText(d, column.typeText);
    d.typeCode = column.typeCode;
    // Of the codes used here only sql_variant and varbinary are read from
    // the variable-length part, and none carries a declared length.
    d.variableLength =
        column.typeCode == type_code::kSqlVariant || column.typeCode == type_code::kVarbinary;
    columns.push_back(std::move(d));
  }
  return columns;
}

const std::string& CellOrEmpty(const Row& row, size_t index) {
  static const std::string kEmpty;
  return index < row.size() ? row.text(index) : kEmpty;
}

}  // namespace

std::vector<ColumnDescriptor> ObjectValueColumns() {
  using namespace type_code;
  return Columns({{"valclass", "tinyint(1)", kTinyint},
                  {"objid", "int(4)", kInt},
                  {"subobjid", "int(4)", kInt},
                  {"valnum", "int(4)", kInt},
                  {"value", "sql_variant(8016)", kSqlVariant},
                  {"imageval", "varbinary(-1)", kVarbinary}});
}

std::vector<ColumnDescriptor> LegacyCommentColumns() {
  using namespace type_code;
  // The type texts carry the stored sizes (4 and 2 bytes) that the row
  // builder steps over the fixed part with.
  return Columns({{"id", "int(4)", kInt},
                  {"number", "smallint(2)", kSmallint},
                  {"colid", "smallint(2)", kSmallint},
                  {"status", "smallint(2)", kSmallint},
                  {"ctext", "varbinary(-1)", kVarbinary}});
}

void ReadObjectValueRows(SystemCatalog& catalog, const CDatabaseFile& file, const ReadOptions& options,
                         std::vector<ObjectValueEntry>& target, const OutputLine& output,
                         ProgressSink& progress) {
  const bool isSql2000 = options.parse.isSql2000;
  if (output) output(kRetrievingObjectValues);
  const int32_t table_id = isSql2000 ? kSysComments2000 : kSysObjValues;
  static const std::vector<PageRef> kNoPages;
  const auto found = file.systemPages().find(table_id);
  const std::vector<PageRef>& pages = found == file.systemPages().end() ? kNoPages : found->second;
  progress.ProgressRange(pages.size());

  // The rows are built against a table of their own: the value pages carry
  // the table's id in their headers, belong to no allocation unit the
  // catalog resolved, and have no layout rows, so the plain builder walks
  // the columns in order.
  CurrentTable reader;
  reader.object.objectId = table_id;
  reader.descriptors = catalog.current.descriptors;

  for (size_t i = 0; i < pages.size(); ++i) {
    if (options.aborted()) break;
    const PageRef& ref = pages[i];
    if (isSql2000 && ref.pageType != kPageTypeDataPage) continue;
    const std::vector<Row> rows =
        ReadPageRows({ref.fileId, ref.pageIndex}, file, CurrentTableRows(reader), options, RowsFor::kCatalog);
    for (const Row& row : rows) {
      if (row.size() == 0) continue;
      if (isSql2000) {
        target.push_back({CellOrEmpty(row, kLegacyIdCell), CellOrEmpty(row, kLegacyNumberCell),
                          row.size() > kLegacyTextCell ? row.text(kLegacyTextCell) : ""});
      } else {
        target.push_back({CellOrEmpty(row, kObjectIdCell), CellOrEmpty(row, kSubObjectIdCell),
                          row.text(row.size() - 1)});
      }
    }
    progress.ProgressPos(i);
  }
  progress.ProgressPos(pages.size());
  if (output) output(kRetrievingObjectValuesDone);
}

std::vector<ObjectValueEntry> LoadObjectValues(SystemCatalog& catalog, const CDatabaseFile& file,
                                               const ReadOptions& options, const OutputLine& output,
                                               ProgressSink& progress) {
  const bool isSql2000 = options.parse.isSql2000;
  catalog.current.tableColumns.clear();
  catalog.current.tableLegacyColumns.clear();
  if (isSql2000) {
    catalog.current.descriptors = ResolveObject(catalog, file, true, "syscomments", "S ", {}, options.stop());
    if (catalog.current.descriptors.empty()) catalog.current.descriptors = LegacyCommentColumns();
  } else {
    catalog.current.descriptors = ObjectValueColumns();
  }
  std::vector<ObjectValueEntry> values;
  ReadObjectValueRows(catalog, file, options, values, output, progress);
  catalog.current.descriptors.clear();
  return values;
}

}  // namespace quill
