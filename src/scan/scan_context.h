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
#include "common/progress_sink.h"
#include "common/stop_token.h"
#include "pages/database_file.h"
#include "records/boot_page.h"
#include "sharepoint/sharepoint_content.h"
#include "values/read_options.h"

namespace quill {

// What a scan found out about its file: the version and collation results
// of the boot page and the catalog layout.
struct ScanResults {
  std::string versionName;  // empty without a boot page
  bool collationFound = false;
  std::string collationName;  // empty when no collation was found
  bool isSql2000 = false;
};

struct ScanContext {
  std::unique_ptr<CDatabaseFile> fileSet;
  std::unique_ptr<SystemCatalog> catalog;
  // The options the scan reads with, isSql2000 and collationFound as the
  // catalog load found them; the view reads the scan's tables with them.
  ReadOptions options;
  CollationChoice collation;
  ScanResults results;
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
    results = {};
  }
};

// Opens the file set of `path` into context.fileSet (kept also when it does
// not open, so that a reset frees it) and, when it opened, loads the
// catalog into context.catalog with `options` and `collation`, and sets
// context.options and context.results by what the load found.
// `snapshot_source`, when given, supplies the page maps instead of the
// mapping pass. A stop request during the opening passes ends them and is
// cleared: the scan goes on with the pages mapped so far. True when the
// file set opened.
bool OpenScanContext(const std::string& path, ScanContext& context, const ReadOptions& options,
                     const CollationChoice& collation, StopSource& stop, ProgressSink& progress,
                     SnapshotMapSource* snapshot_source = nullptr);

}  // namespace quill
