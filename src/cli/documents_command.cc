#include "cli/documents_command.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "catalog/load_catalog.h"
#include "export/document_extractor.h"
#include "export/manifest_writer.h"
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

namespace {

int ExtractDocumentsTo(const DocumentsRequest& request, ApplicationState& state, ProgressSink& progress,
                       std::ostream& out) {
  const std::string& folder = *request.extractFolder;
  std::error_code ec;
  if (std::filesystem::exists(folder, ec) && !std::filesystem::is_empty(folder, ec)) {
    progress.ScanError(fmt::format("the folder {} is not empty", folder));
    return kExitCannotScan;
  }
  ScanContext context;
  if (!OpenDatabase(request.path, state, progress, context)) return kExitCannotScan;
  DocumentExtractOptions options;
  options.outputFolder = folder;
  options.deleted = request.deleted;
  options.versions = request.versions;
  options.threads = std::max(1u, std::thread::hardware_concurrency());
  const DocumentExtractSummary summary =
      ExtractDocuments(*context.catalog, *context.fileSet, context.options, options, progress);
  if (!summary.started) {
    progress.ScanError(summary.error);
    return kExitCannotScan;
  }
  if (!summary.contentDatabase) {
    progress.ScanError(fmt::format("{} has no AllDocs table: not a SharePoint content database", request.path));
    return kExitCannotScan;
  }
  out << fmt::format("{} documents written ({} bytes), {} not recovered ({} damaged or incomplete){}; see {}\n",
                     summary.written, summary.bytes, summary.notRecovered, summary.failed,
                     summary.stopped ? ", stopped" : "",
                     (std::filesystem::path(folder) / kManifestFileName).string());
  if (!summary.error.empty()) progress.ScanError(summary.error);
  return summary.failed == 0 && !summary.stopped && summary.error.empty() ? kExitOk : kExitCannotScan;
}

}  // namespace

int RunDocumentsCommand(const DocumentsRequest& request, ApplicationState& state,
                        ProgressSink& progress, std::ostream& out) {
  if (request.extractFolder) return ExtractDocumentsTo(request, state, progress, out);
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
