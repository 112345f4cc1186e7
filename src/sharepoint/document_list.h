// What the document list shows for a selected document-tree item: the
// file items directly under a list or folder item.
#pragma once

#include <cstdint>
#include <vector>

#include "common/tree_control.h"

namespace quill {

// The document indexes of the file items (tag kind "F") among the direct
// children of `item`, in tree order, when `item` is a list or folder item
// (tag kind "D"); nothing for a root, a web, a document item or an item
// without file children. Deeper levels are not listed.
std::vector<uint32_t> FolderDocumentIndexes(const TreeControl& tree, TreeItem item);

}  // namespace quill
