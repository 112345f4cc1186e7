#include "sharepoint/document_list.h"

#include "sharepoint/sharepoint_entries.h"

namespace quill {

std::vector<uint32_t> FolderDocumentIndexes(const TreeControl& tree, TreeItem item) {
  std::vector<uint32_t> indexes;
  if (item == kNoTreeItem) return indexes;
  const auto tag = DecodeTreeItemTag(tree.GetItemData(item));
  if (!tag || tag->kind != kTagKindFolder) return indexes;
  for (TreeItem child = tree.GetChildItem(item); child != kNoTreeItem;
       child = tree.GetNextSiblingItem(child)) {
    const auto child_tag = DecodeTreeItemTag(tree.GetItemData(child));
    if (child_tag && child_tag->kind == kTagKindFile) indexes.push_back(child_tag->documentIndex);
  }
  return indexes;
}

}  // namespace quill
