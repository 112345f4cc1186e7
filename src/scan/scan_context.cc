#include "scan/scan_context.h"

#include "catalog/load_catalog.h"

namespace quill {

bool OpenScanContext(const std::string& path, ScanContext& context, const ReadOptions& options,
                     const CollationChoice& collation, StopSource& stop, ProgressSink& progress,
                     SnapshotMapSource* snapshot_source) {
  context.Reset();
  context.options = options;
  context.options.parse.stop = stop.token();
  context.collation = collation;
  context.fileSet = std::make_unique<CDatabaseFile>();
  if (snapshot_source != nullptr) context.fileSet->SetSnapshotMapSource(snapshot_source);
  const bool opened = context.fileSet->Open(path, &progress, stop.token());
  stop.Clear();
  if (!opened) return false;
  context.catalog = LoadCatalog(*context.fileSet, context.options, collation);

  const SystemCatalog& catalog = *context.catalog;
  context.options.parse.isSql2000 = catalog.isSql2000;
  context.results.isSql2000 = catalog.isSql2000;
  if (catalog.boot) {
    context.results.versionName = catalog.boot->versionName;
    context.results.collationFound = catalog.boot->collationFound;
    context.results.collationName = catalog.boot->collationName;
  }
  context.options.decode.collationFound = context.results.collationFound;
  return true;
}

}  // namespace quill
