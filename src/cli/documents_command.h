// `quillstone documents FILE [--folder PATH]`: the SharePoint documents of a
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
};

// Loads the catalog and the SharePoint content (page source by the state's
// recovery mode) and writes one tab-separated line per document: LeafName,
// DirName, Size, TimeCreated, TimeLastModified. With a folder, only the
// documents the document list shows for that item (its direct file items;
// nothing for a root or a web). The collation line goes out as a status
// text. A folder path that names no item is an error naming it (exit 1).
int RunDocumentsCommand(const DocumentsRequest& request, ApplicationState& state,
                        ProgressSink& progress, std::ostream& out);

// The item reached from the top level by the "/"-separated texts of `path`
// (an item text that itself holds "/" matches as a whole); kNoTreeItem when
// no item has that path.
TreeItem FindTreeItemByPath(const TreeControl& tree, const std::string& path);

}  // namespace quill
