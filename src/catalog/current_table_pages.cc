#include "catalog/current_table_pages.h"

namespace quill {

TablePageList CurrentTablePages(const SystemCatalog& catalog, const CDatabaseFile& file,
                                const ReadOptions& options) {
  const CurrentTable& table = catalog.current;
  TablePageList list;
  if (options.recoveryMode == RecoveryMode::kStandard) {
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
  if (list.pages.empty()) list.pages = table.pageList;
  return list;
}

PageRowsTable CurrentTableRows(CurrentTable& table) {
  return PageRowsTable{.descriptors = table.descriptors,
                       .objectId = table.object.objectId,
                       .allocUnitId = table.allocUnit.allocUnitId,
                       .hasLayoutRows = !table.rowsetColumns.empty()};
}

}  // namespace quill
