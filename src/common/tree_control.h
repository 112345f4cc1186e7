// The tree operations the scan, the object tree and the SharePoint trees
// need from a tree control. The desktop application implements them on its
// tree widgets (called from the scan thread through blocking queued
// signals); MemoryTree implements them in memory for the command-line tool
// and the tests.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace quill {

// Opaque handle of an item; kNoTreeItem stands for "none", and as a parent
// for the invisible top level (insert a root item, first root item).
using TreeItem = uint64_t;
inline constexpr TreeItem kNoTreeItem = 0;

// Where a new item goes among its siblings.
enum class TreeInsert { kFirst, kLast };

// Which picture an item shows. The object tree uses image numbers (every
// item of the catalog uses 0); the document tree asks for a folder picture
// or for the picture of a file name's extension, which each front end maps
// to its own icons.
struct TreeIcon {
  enum class Kind : uint8_t { kImage, kFolder, kFile };
  Kind kind = Kind::kImage;
  int32_t image = 0;     // kImage only
  std::string fileName;  // kFile only: the name whose extension picks the icon

  static TreeIcon Image(int32_t index) { return {Kind::kImage, index, {}}; }
  static TreeIcon Folder() { return {Kind::kFolder, 0, {}}; }
  static TreeIcon File(std::string name) { return {Kind::kFile, 0, std::move(name)}; }
};

class TreeControl {
 public:
  virtual ~TreeControl() = default;

  virtual void DeleteAllItems() = 0;
  // Inserts `text` under `parent` (kNoTreeItem: a root item) as its first
  // or last child; returns the new item.
  virtual TreeItem InsertItem(TreeItem parent, const std::string& text, const TreeIcon& icon,
                              TreeInsert where) = 0;
  // A 64-bit value kept with the item; 0 until set.
  virtual void SetItemData(TreeItem item, uint64_t data) = 0;
  virtual uint64_t GetItemData(TreeItem item) const = 0;
  virtual std::string GetItemText(TreeItem item) const = 0;
  virtual void SetItemBold(TreeItem item, bool bold) = 0;
  // First child of `item` (kNoTreeItem: the first root item); kNoTreeItem
  // when there is none. Likewise for the next sibling and the parent.
  virtual TreeItem GetChildItem(TreeItem item) const = 0;
  virtual TreeItem GetNextSiblingItem(TreeItem item) const = 0;
  virtual TreeItem GetParentItem(TreeItem item) const = 0;
  virtual TreeItem GetSelectedItem() const = 0;
  virtual void SelectItem(TreeItem item) = 0;
  // Sorts the children of `item` by text, byte-wise ascending (stable).
  virtual void SortChildren(TreeItem item) = 0;
  // Background colour as 0xRRGGBB; the document tree sets one.
  virtual void SetBackgroundColor(uint32_t rgb) = 0;
  // Expands every item and scrolls the selected item (or the first root
  // item) into view. A tree that is not shown has nothing to do.
  virtual void ExpandAllAndShowSelection() = 0;
};

}  // namespace quill
