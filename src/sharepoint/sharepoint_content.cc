#include "sharepoint/sharepoint_content.h"

#include <limits>
#include <map>
#include <utility>

#include "sharepoint/content_table_reader.h"

namespace quill {

namespace {

// A ListId of this many characters or fewer ("NULL", empty, a cut value)
// names no list; such documents stay out of the site tree.
constexpr size_t kShortListIdLength = 5;

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The parts of a folder path between "/" separators; empty parts (a leading,
// trailing or doubled "/") are dropped.
std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// The items the loader made, by parent and text, so that a lookup does not
// walk the children of a large folder once per document. Only the first
// item of a text is kept: a lookup finds the first child of that text in
// tree order, as a walk over the children would (items are only ever
// appended). Every child of the items looked up under is made by the
// loader, so the index is complete for them.
class ChildIndex {
 public:
  explicit ChildIndex(bool trimmed) : trimmed_(trimmed) {}
  TreeItem Find(TreeItem parent, const std::string& text) const {
    auto it = items_.find({parent, Key(text)});
    return it == items_.end() ? kNoTreeItem : it->second;
  }
  void Add(TreeItem parent, const std::string& text, TreeItem item) {
    items_.emplace(std::make_pair(parent, Key(text)), item);
  }

 private:
  std::string Key(const std::string& text) const { return trimmed_ ? TrimWhiteSpace(text) : text; }
  bool trimmed_;
  std::map<std::pair<TreeItem, std::string>, TreeItem> items_;
};

TreeItem InsertTagged(TreeControl& tree, ChildIndex& index, TreeItem parent, const std::string& text,
                      const TreeIcon& icon, char kind, uint32_t document_index) {
  const TreeItem item = tree.InsertItem(parent, text, icon, TreeInsert::kLast);
  tree.SetItemData(item, EncodeTreeItemTag({kind, document_index}));
  index.Add(parent, text, item);
  return item;
}

const std::string& Cell(const ContentRow& row, size_t index) {
  static const std::string kEmpty;
  return index < row.cells.size() ? row.cells[index] : kEmpty;
}

// Webs: the user table "Webs" of older versions, else "AllWebs" (newer
// versions keep a view named Webs beside it).
std::vector<WebEntry> ReadWebs(SystemCatalog& catalog, const CDatabaseFile& file,
                               const ReadOptions& options) {
  const std::vector<std::string> columns = {"Id", "SiteId", "Title"};
  ContentTableRows rows = ReadContentTable(catalog, file, options, "Webs", columns);
  if (!rows.found) rows = ReadContentTable(catalog, file, options, "AllWebs", columns);
  std::vector<WebEntry> webs;
  for (const ContentRow& row : rows.rows) {
    webs.push_back({TrimWhiteSpace(Cell(row, 0)), Cell(row, 1), Cell(row, 2), kNoTreeItem});
  }
  return webs;
}

std::vector<ListEntry> ReadLists(SystemCatalog& catalog, const CDatabaseFile& file,
                                 const ReadOptions& options) {
  const ContentTableRows rows =
      ReadContentTable(catalog, file, options, "AllLists", {"tp_WebId", "tp_ID", "tp_Title"});
  std::vector<ListEntry> lists;
  for (const ContentRow& row : rows.rows) {
    lists.push_back({TrimWhiteSpace(Cell(row, 0)), Cell(row, 1), Cell(row, 2), kNoTreeItem});
  }
  return lists;
}

enum DocumentColumn : size_t {
  kDocId, kDocType, kDocWebId, kDocListId, kDocSiteId, kDocDirName, kDocLeafName, kDocSize,
  kDocTimeCreated, kDocTimeLastModified,
};

std::vector<DocumentEntry> ReadDocuments(SystemCatalog& catalog, const CDatabaseFile& file,
                                         const ReadOptions& options) {
  const ContentTableRows rows = ReadContentTable(
      catalog, file, options, "AllDocs",
      {"Id", "Type", "WebId", "ListId", "SiteId", "DirName", "LeafName", "Size", "TimeCreated",
       "TimeLastModified"});
  std::vector<DocumentEntry> documents;
  for (const ContentRow& row : rows.rows) {
    if (row.firstCell.empty() || row.firstCell == "NULL") continue;
    DocumentEntry entry;
    entry.id = TrimWhiteSpace(Cell(row, kDocId));
    const int64_t type = ReadDecimalCell(Cell(row, kDocType));
    entry.type = type >= 0 && type <= 255 ? static_cast<uint8_t>(type) : 0;
    entry.webId = Cell(row, kDocWebId);
    entry.listId = Cell(row, kDocListId);
    entry.siteId = Cell(row, kDocSiteId);
    entry.dirName = Cell(row, kDocDirName);
    entry.leafName = Cell(row, kDocLeafName);
    entry.size = ReadDecimalCell(Cell(row, kDocSize));
    entry.timeCreated = Cell(row, kDocTimeCreated);
    entry.timeLastModified = Cell(row, kDocTimeLastModified);
    documents.push_back(std::move(entry));
  }
  return documents;
}

// Places document `index` under its list's item: its folder parts (created
// as folder items where missing), then its own item unless one of that name
// is already there.
void PlaceInSiteTree(TreeControl& tree, ChildIndex& items, const SharePointContent& content,
                     uint32_t index) {
  const DocumentEntry& doc = content.documents[index];
  const ListEntry* list = nullptr;
  for (const ListEntry& candidate : content.lists) {
    if (candidate.listId == doc.listId && candidate.webId == doc.webId) {
      list = &candidate;
      break;
    }
  }
  if (list == nullptr || list->siteTreeItem == kNoTreeItem) return;
  TreeItem current = list->siteTreeItem;
  for (const std::string& part : SplitPath(doc.dirName)) {
    TreeItem found = items.Find(current, part);
    if (found == kNoTreeItem) {
      found = InsertTagged(tree, items, current, part, TreeIcon::Folder(), kTagKindFolder, index);
    }
    current = found;
  }
  if (items.Find(current, doc.leafName) != kNoTreeItem) return;
  if (doc.type == kDocumentTypeFolder) {
    InsertTagged(tree, items, current, doc.leafName, TreeIcon::Folder(), kTagKindFolder, index);
  } else if (doc.type == kDocumentTypeFile && doc.size > 0) {
    InsertTagged(tree, items, current, doc.leafName, TreeIcon::File(doc.leafName), kTagKindFile,
                 index);
  }
}

// The folder tree item of a document's folder path, created where missing;
// kNoTreeItem for a path without parts.
TreeItem FolderTreeItem(TreeControl& tree, ChildIndex& items, TreeItem root,
                        const std::string& dir_name) {
  TreeItem current = kNoTreeItem;
  for (const std::string& part : SplitPath(dir_name)) {
    if (TrimWhiteSpace(part).empty()) continue;
    const TreeItem parent = current == kNoTreeItem ? root : current;
    TreeItem found = items.Find(parent, part);
    if (found == kNoTreeItem) {
      found = InsertTagged(tree, items, parent, part, TreeIcon::Folder(), kTagKindFolder, 0);
    }
    current = found;
  }
  return current;
}

}  // namespace

std::string TrimWhiteSpace(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsWhiteSpace(text[begin])) ++begin;
  while (end > begin && IsWhiteSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

int64_t ReadDecimalCell(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && IsWhiteSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return 0;
  uint64_t value = 0;
  constexpr uint64_t kLimit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + static_cast<uint64_t>(text[i] - '0');
    if (value > kLimit) return 0;
  }
  return negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
}

void LoadSharePointContent(SystemCatalog& catalog, const CDatabaseFile& file,
                           const ReadOptions& options, const std::string& collationName,
                           TreeControl& tree, const OutputLineSink& outputLine,
                           SharePointContent& content) {
  content.Clear();
  auto stopped = [&options] { return options.aborted(); };

  content.webs = ReadWebs(catalog, file, options);
  content.siteRoot = tree.InsertItem(kNoTreeItem, kSiteTreeRootText, TreeIcon::Folder(),
                                     TreeInsert::kLast);
  for (WebEntry& web : content.webs) {
    web.siteTreeItem = tree.InsertItem(content.siteRoot, web.title, TreeIcon::Folder(),
                                       TreeInsert::kLast);
    // The user watches the sites arrive.
    tree.ExpandAllAndShowSelection();
  }
  if (stopped()) return;

  content.lists = ReadLists(catalog, file, options);
  ChildIndex site_items(/*trimmed=*/false);
  for (ListEntry& list : content.lists) {
    for (const WebEntry& web : content.webs) {
      if (web.id != list.webId) continue;
      list.siteTreeItem = InsertTagged(tree, site_items, web.siteTreeItem, list.title,
                                       TreeIcon::Folder(), kTagKindFolder, 0);
      break;
    }
  }
  if (stopped()) return;

  if (outputLine) {
    outputLine("Collation Type: " + (collationName.empty() ? std::string(kUnknownCollation) : collationName));
  }

  content.documents = ReadDocuments(catalog, file, options);
  for (size_t i = 0; i < content.documents.size() && !stopped(); ++i) {
    if (content.documents[i].listId.size() > kShortListIdLength) {
      PlaceInSiteTree(tree, site_items, content, static_cast<uint32_t>(i));
    }
  }
  if (stopped()) return;

  content.folderRoot = tree.InsertItem(kNoTreeItem, kFolderTreeRootText, TreeIcon::Folder(),
                                       TreeInsert::kLast);
  tree.SetBackgroundColor(kDocumentTreeBackground);
  ChildIndex folder_items(/*trimmed=*/true);
  for (size_t i = 0; i < content.documents.size() && !stopped(); ++i) {
    const DocumentEntry& doc = content.documents[i];
    const TreeItem folder = FolderTreeItem(tree, folder_items, content.folderRoot, doc.dirName);
    if (folder != kNoTreeItem && doc.size > 0) {
      InsertTagged(tree, folder_items, folder, doc.leafName, TreeIcon::File(doc.leafName),
                   kTagKindFile, static_cast<uint32_t>(i));
    }
  }
}

}  // namespace quill
