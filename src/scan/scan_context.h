// ScanContext: what one scan owns and leaves behind for the view: the open
// file set, the catalog read from it, the object tree's categories, the
// SharePoint content and the stored object values. It outlives the scan
// thread; the view reads tables and documents through it until the next
// scan resets it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "catalog/object_tree.h"
#include "catalog/schema_model.h"
#include "catalog/system_catalog.h"
#include "common/application_state.h"
#include "common/progress_sink.h"
#include "pages/database_file.h"
#include "sharepoint/sharepoint_content.h"

namespace quill {

struct ScanContext {
  std::unique_ptr<CDatabaseFile> fileSet;
  std::unique_ptr<SystemCatalog> catalog;
  // Set when the scan ran in advanced mode; written into a snapshot.
  bool advancedMode = false;
  // Filled by the scan completion.
  ObjectTreeCategories categories;
  SharePointContent sharePoint;
  std::vector<ObjectValueEntry> objectValues;

  void Reset() {
    objectValues.clear();
    sharePoint.Clear();
    categories = {};
    catalog.reset();
    fileSet.reset();
  }
};

// Opens the file set of `path` into context.fileSet (kept also when it does
// not open, so that a reset frees it) and, when it opened, loads the
// catalog into context.catalog. `snapshot_source`, when given, supplies the
// page maps instead of the mapping pass. True when the file set opened.
bool OpenScanContext(const std::string& path, ScanContext& context, ApplicationState& state,
                     ProgressSink& progress, SnapshotMapSource* snapshot_source = nullptr);

}  // namespace quill
