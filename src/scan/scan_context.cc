#include "scan/scan_context.h"

#include "catalog/load_catalog.h"

namespace quill {

bool OpenScanContext(const std::string& path, ScanContext& context, ApplicationState& state,
                     ProgressSink& progress, SnapshotMapSource* snapshot_source) {
  context.Reset();
  context.fileSet = std::make_unique<CDatabaseFile>(state);
  if (snapshot_source != nullptr) context.fileSet->SetSnapshotMapSource(snapshot_source);
  if (!context.fileSet->Open(path, &progress)) return false;
  context.catalog = LoadCatalog(*context.fileSet, state);
  return true;
}

}  // namespace quill
