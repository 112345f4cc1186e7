#include "catalog/current_table_pages.h"

namespace quill {

TablePageList CurrentTablePages(const SystemCatalog& catalog, const CDatabaseFile& file,
                                const ApplicationState& state) {
  const CurrentTable& table = catalog.current;
  TablePageList list;
  if (state.recoveryMode == RecoveryMode::kStandard) {
    TablePageSource source;
    source.objectId = state.isSql2000 ? table.object.objectId : table.allocUnit.pageKey();
    if (state.isSql2000) {
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
    list = ChoosePageSource(file, source, state.recoveryMode);
  }
  if (list.pages.empty()) list.pages = table.pageList;
  return list;
}

}  // namespace quill
