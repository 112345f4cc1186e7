#include "cli/documents_command.h"

#include <fmt/format.h>

#include "catalog/load_catalog.h"
#include "cli/info_command.h"
#include "pages/database_file.h"
#include "scan/memory_tree.h"
#include "sharepoint/document_list.h"
#include "sharepoint/sharepoint_content.h"
#include "cli/open_database.h"

namespace quill {

namespace {

std::string DocumentLine(const DocumentEntry& doc) {
  return fmt::format("{}\t{}\t{}\t{}\t{}\n", doc.leafName, doc.dirName, doc.size, doc.timeCreated,
                     doc.timeLastModified);
}

}  // namespace

TreeItem FindTreeItemByPath(const TreeControl& tree, const std::string& path) {
  TreeItem current = kNoTreeItem;
  std::string rest = path;
  while (!rest.empty()) {
    TreeItem next = kNoTreeItem;
    for (TreeItem child = tree.GetChildItem(current); child != kNoTreeItem;
         child = tree.GetNextSiblingItem(child)) {
      const std::string text = tree.GetItemText(child);
      if (rest == text) {
        next = child;
        rest.clear();
        break;
      }
      if (rest.size() > text.size() && rest.compare(0, text.size(), text) == 0 &&
          rest[text.size()] == '/') {
        next = child;
        rest.erase(0, text.size() + 1);
        break;
      }
    }
    if (next == kNoTreeItem) return kNoTreeItem;
    current = next;
  }
  return current;
}

int RunDocumentsCommand(const DocumentsRequest& request, ApplicationState& state,
                        ProgressSink& progress, std::ostream& out) {
  ScanContext context;
  if (!OpenDatabase(request.path, state, progress, context)) return kExitCannotScan;

  MemoryTree tree;
  SharePointContent content;
  LoadSharePointContent(*context.catalog, *context.fileSet, context.options, context.results.collationName, tree,
                        [&progress](const std::string& line) { progress.StatusText(line); },
                        content);

  if (!request.folder) {
    for (const DocumentEntry& doc : content.documents) out << DocumentLine(doc);
    return kExitOk;
  }
  const TreeItem item = FindTreeItemByPath(tree, *request.folder);
  if (item == kNoTreeItem) {
    progress.ScanError(fmt::format("no document-tree item \"{}\" in {}", *request.folder, request.path));
    return kExitCannotScan;
  }
  for (uint32_t index : FolderDocumentIndexes(tree, item)) {
    if (index < content.documents.size()) out << DocumentLine(content.documents[index]);
  }
  return kExitOk;
}

}  // namespace quill
