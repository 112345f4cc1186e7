// The tree interface of the engine on a CXHtmlTree: every call runs on the
// window thread (blocking the calling worker until it has run), and the
// engine's pictures become icons: image numbers from the object tree's
// image list, folders and files from the desktop's icon theme.
#pragma once

#include <QIcon>
#include <QList>

#include "common/tree_control.h"
#include "ui/html_tree.h"

namespace quill::ui {

// The icon of a file name, by the type its name says (the desktop theme's
// icon of that type, else the generic file icon).
QIcon FileIconForName(const QString& name);
QIcon FolderIcon();

class TreeWidgetControl final : public TreeControl {
 public:
  // `images`: the icons of image numbers 0, 1, ... (kImage pictures).
  TreeWidgetControl(CXHtmlTree& tree, QList<QIcon> images) : tree_(tree), images_(std::move(images)) {}

  CXHtmlTree& widget() { return tree_; }

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
  TreeItem GetSelectedItem() const override;
  void SelectItem(TreeItem item) override;
  void SortChildren(TreeItem item) override;
  void SetBackgroundColor(uint32_t rgb) override;
  void ExpandAllAndShowSelection() override;

 private:
  QIcon IconOf(const TreeIcon& icon) const;

  CXHtmlTree& tree_;
  QList<QIcon> images_;
};

}  // namespace quill::ui
