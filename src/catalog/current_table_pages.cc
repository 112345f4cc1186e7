#include "catalog/current_table_pages.h"

#include <algorithm>

namespace quill {

namespace {

// Whether the catalog's own allocation entry of the resolved table names no
// page at all: the table has never had one allocated (or has none left),
// and pages that carry its ids elsewhere are not its rows.
bool AllocationNamesNoPage(const SystemCatalog& catalog, bool sql2000) {
  const CurrentTable& table = catalog.current;
  if (sql2000) {
    auto it = catalog.legacyIndexes.find(table.object.objectId);
    return it != catalog.legacyIndexes.end() && it->second.firstPageId == 0 &&
           it->second.firstIamPageId == 0;
  }
  const AllocUnitRow& chosen = table.allocUnit;
  if (chosen.allocUnitId == 0 || !chosen.namesNoPage()) return false;
  for (const AllocUnitRow& unit : catalog.allocUnits) {
    if (unit.allocUnitId == chosen.allocUnitId && unit.ownerId == table.rowset.rowsetId &&
        unit.type == chosen.type && unit.namesNoPage()) {
      return true;
    }
  }
  return false;
}

}  // namespace

TablePageList CurrentTablePages(const SystemCatalog& catalog, const CDatabaseFile& file,
                                const ReadOptions& options) {
  const CurrentTable& table = catalog.current;
  TablePageList list;
  if (options.recoveryMode == RecoveryMode::kStandard) {
    if (AllocationNamesNoPage(catalog, options.parse.isSql2000)) return list;
    TablePageSource source;
    source.objectId = options.parse.isSql2000 ? table.object.objectId : table.allocUnit.pageKey();
    if (options.parse.isSql2000) {
      auto it = catalog.legacyIndexes.find(table.object.objectId);
      if (it != catalog.legacyIndexes.end()) {
        source.firstPage = {it->second.fileId, it->second.firstPageId};
        source.firstIamPage = {it->second.fileId, it->second.firstIamPageId};
        source.indexId = it->second.indexId;
      }
    } else {
      source.firstPage = table.allocUnit.firstPage;
      source.firstIamPage = table.allocUnit.firstIamPage;
      source.indexId = table.rowset.indexId;
    }
    list = ChoosePageSource(file, source, options.recoveryMode, options.parse);
  }
  if (list.pages.empty()) {
    list.pages = table.pageList;
    list.foundById = true;
  }
  return list;
}

PageRowsTable CurrentTableRows(const CurrentTable& table) {
  return PageRowsTable{.descriptors = table.descriptors,
                       .objectId = table.object.objectId,
                       .allocUnitId = table.allocUnit.allocUnitId,
                       .hasLayoutRows = !table.rowsetColumns.empty(),
                       .storedColumnCount = std::max({table.rowsetColumns.size(), table.hobtColumns.size(),
                                                      table.descriptors.size()})};
}

}  // namespace quill
