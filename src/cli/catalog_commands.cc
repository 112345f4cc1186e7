#include "cli/catalog_commands.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <vector>

#include "catalog/load_catalog.h"
#include "catalog/resolve_object.h"
#include "cli/info_command.h"
#include "pages/database_file.h"
#include "cli/open_database.h"

namespace quill {

namespace {

std::string KeyFlags(const ColumnDescriptor& column) {
  std::vector<std::string> words;
  if (column.primaryKey) words.push_back("primary key");
  if (column.uniqueIndex || column.uniqueConstraint) words.push_back("unique");
  if (column.foreignKey) {
    words.push_back(fmt::format("foreign key {}({})", column.referencedTable, column.referencedColumn));
  }
  return fmt::format("{}", fmt::join(words, ", "));
}

}  // namespace

int RunObjectsCommand(const std::string& path, ApplicationState& state, ProgressSink& progress,
                      std::ostream& out) {
  ScanContext context;
  if (!OpenDatabase(path, state, progress, context)) return kExitCannotScan;
  for (const ObjectRow& object : context.catalog->objects) {
    out << fmt::format("{}\t{}\t{}\t{}\n", object.objectId, object.typeCode, object.name,
                       object.parentObjectId);
  }
  return kExitOk;
}

int RunColumnsCommand(const std::string& path, const std::string& table, ApplicationState& state,
                      ProgressSink& progress, std::ostream& out) {
  ScanContext context;
  if (!OpenDatabase(path, state, progress, context)) return kExitCannotScan;
  SystemCatalog* catalog = context.catalog.get();
  const ObjectRow* object = nullptr;
  for (const ObjectRow& row : catalog->objects) {
    if (row.name == table) {
      object = &row;
      break;
    }
  }
  if (object == nullptr) {
    progress.ScanError(fmt::format("no table named \"{}\" in {}", table, path));
    return kExitCannotScan;
  }
  const std::vector<ColumnDescriptor> columns =
      ResolveObject(*catalog, *context.fileSet, context.options.parse.isSql2000, table, object->typeCode, {});
  for (const ColumnDescriptor& column : columns) {
    out << fmt::format("{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\n", column.columnId, column.name,
                       column.typeText, column.typeCode, column.nullable ? "null" : "not null",
                       column.ordinal, column.leafOffset, column.nullBit, KeyFlags(column));
  }
  out << fmt::format("pages\t{}\n", catalog->current.pageList.size());
  return kExitOk;
}

}  // namespace quill
