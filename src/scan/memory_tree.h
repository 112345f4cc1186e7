// A TreeControl kept in memory: the tree the command-line tool prints and
// the tests inspect. Items live in one vector and are never freed until
// DeleteAllItems, so a handle stays valid for the life of the tree.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "common/tree_control.h"

namespace quill {

class MemoryTree final : public TreeControl {
 public:
  struct Node {
    std::string text;
    TreeIcon icon;
    uint64_t data = 0;
    bool bold = false;
    TreeItem parent = kNoTreeItem;
    std::vector<TreeItem> children;
  };

  void DeleteAllItems() override;
  TreeItem InsertItem(TreeItem parent, const std::string& text, const TreeIcon& icon,
                      TreeInsert where) override;
  void SetItemData(TreeItem item, uint64_t data) override;
  uint64_t GetItemData(TreeItem item) const override;
  std::string GetItemText(TreeItem item) const override;
  void SetItemBold(TreeItem item, bool bold) override;
  TreeItem GetChildItem(TreeItem item) const override;
  TreeItem GetNextSiblingItem(TreeItem item) const override;
  TreeItem GetParentItem(TreeItem item) const override;
  TreeItem GetSelectedItem() const override { return selected_; }
  void SelectItem(TreeItem item) override { selected_ = Find(item) ? item : kNoTreeItem; }
  void SortChildren(TreeItem item) override;
  void SetBackgroundColor(uint32_t rgb) override { background_ = rgb; }
  // Nothing is shown; the calls are only counted.
  void ExpandAllAndShowSelection() override { ++expandAllCount_; }
  int expandAllCount() const { return expandAllCount_; }

  // The node behind a handle; nullptr for kNoTreeItem and unknown handles.
  const Node* Find(TreeItem item) const;
  // Children of `item` (kNoTreeItem: the root items) in shown order.
  const std::vector<TreeItem>& Children(TreeItem item) const;
  // Texts of the children of `item`, in shown order.
  std::vector<std::string> ChildTexts(TreeItem item) const;
  // The first child of `parent` whose text is `text`; kNoTreeItem if none.
  TreeItem FindChild(TreeItem parent, const std::string& text) const;
  uint32_t background() const { return background_; }
  size_t size() const { return nodes_.size(); }

  // Writes the tree as text: one line per item, two spaces of indent per
  // level, bold items marked with a trailing " *".
  void Print(std::ostream& out) const;

 private:
  Node* FindMutable(TreeItem item);
  std::vector<TreeItem>& ChildList(TreeItem parent);

  std::vector<Node> nodes_;  // handle h is nodes_[h - 1]
  std::vector<TreeItem> roots_;
  TreeItem selected_ = kNoTreeItem;
  uint32_t background_ = 0xFFFFFF;
  int expandAllCount_ = 0;
};

}  // namespace quill
