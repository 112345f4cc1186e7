#include "scan/scan_completion.h"

#include "catalog/catalog_context.h"
#include "catalog/object_tree.h"
#include "catalog/object_values.h"
#include "sharepoint/sharepoint_content.h"

namespace quill {

int CompleteScan(ScanContext& context, ApplicationState& state, ScanUi& ui, RunLog& log) {
  const OutputLine line = [&](const std::string& text) { AddOutputLine(ui, log, text); };
  SystemCatalog& catalog = *context.catalog;
  const CDatabaseFile& file = *context.fileSet;

  // BuildObjectTreeSkeleton names the root "RepairDataBase" when the boot
  // page gave no database name.
  context.categories = BuildObjectTreeSkeleton(ui.ObjectTree(), file.databaseName());

  LoadSharePointContent(catalog, file, context.options, context.results.collationName, ui.DocumentTree(),
                        line, context.sharePoint);

  context.objectValues.clear();
  const CatalogContext catalog_context{catalog, file, context.objectValues, context.options};
  if (!BuildObjectTree(ui.ObjectTree(), context.categories, catalog_context, line, ui)) {
    ui.HideProgressPanel();
    state.processRunning.store(false);
    line(kNoNamedObjects);
    ui.MessageBox(kNoNamedObjects, BoxIcon::kInformation);
    return 0;
  }

  ui.ObjectTree().SortChildren(context.categories.userTables);
  context.objectValues = LoadObjectValues(catalog, file, context.options, line, ui);
  ui.HideProgressPanel();
  state.processRunning.store(false);
  ui.SetCaption(kScanCompletedCaption);
  line(kScanCompletedLine);
  ui.MessageBox(kScanCompletedBox, BoxIcon::kInformation);
  return 1;
}

}  // namespace quill
