// `quillstone documents FILE [--folder PATH] [--extract DIR [--deleted] [--versions]]`: the SharePoint documents of a
// content database as the document view reads them.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "scan/application_state.h"
#include "common/progress_sink.h"
#include "common/tree_control.h"

namespace quill {

struct DocumentsRequest {
  std::string path;
  // The texts of a document-tree item from its root down, joined by "/",
  // e.g. "SharePointData/sites/projects/Shared Documents". Without it every
  // document of the document list is written.
  std::optional<std::string> folder;
  // `--extract DIR`: write the documents' bytes under DIR with manifest.csv
  // instead of listing them; `--deleted` and `--versions` add deleted
  // documents and historical versions.
  std::optional<std::string> extractFolder;
  bool deleted = false;
  bool versions = false;
};

// Loads the catalog and the SharePoint content (page source by the state's
// recovery mode) and writes one tab-separated line per document: LeafName,
// DirName, Size, TimeCreated, TimeLastModified. With a folder, only the
// documents the document list shows for that item (its direct file items;
// nothing for a root or a web). The collation line goes out as a status
// text. A folder path that names no item is an error naming it (exit 1).
// With an extract folder: DIR must be missing or empty; the documents are
// written there and a summary line goes to `out`. Exit 1 when the folder
// cannot be used, the file is no content database, or any document was
// damaged or incomplete (the manifest says which and why); documents whose
// bytes are not in the database (uncustomized pages, remote blobs) are
// listed but do not fail the run.
int RunDocumentsCommand(const DocumentsRequest& request, ApplicationState& state,
                        ProgressSink& progress, std::ostream& out);

// The item reached from the top level by the "/"-separated texts of `path`
// (an item text that itself holds "/" matches as a whole); kNoTreeItem when
// no item has that path.
TreeItem FindTreeItemByPath(const TreeControl& tree, const std::string& path);

}  // namespace quill
