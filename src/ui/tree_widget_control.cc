#include "ui/tree_widget_control.h"

#include <QFileIconProvider>
#include <QMimeDatabase>
#include <algorithm>

#include "ui/window_thread.h"

namespace quill::ui {

QIcon FileIconForName(const QString& name) {
  static QFileIconProvider provider;
  static QMimeDatabase mimes;
  const QMimeType type = mimes.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
  const QIcon fallback = provider.icon(QFileIconProvider::File);
  if (!type.isValid()) return fallback;
  QIcon icon = QIcon::fromTheme(type.iconName());
  if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName(), fallback);
  return icon;
}

QIcon FolderIcon() {
  static QFileIconProvider provider;
  return provider.icon(QFileIconProvider::Folder);
}

QIcon TreeWidgetControl::IconOf(const TreeIcon& icon) const {
  switch (icon.kind) {
    case TreeIcon::Kind::kFolder: return FolderIcon();
    case TreeIcon::Kind::kFile: return FileIconForName(QString::fromStdString(icon.fileName));
    case TreeIcon::Kind::kImage: break;
  }
  return icon.image >= 0 && icon.image < images_.size() ? images_[icon.image] : QIcon();
}

void TreeWidgetControl::DeleteAllItems() {
  OnWindowThread(&tree_, [&] { tree_.DeleteAll(); });
}

TreeItem TreeWidgetControl::InsertItem(TreeItem parent, const std::string& text, const TreeIcon& icon,
                                       TreeInsert where) {
  TreeItem item = kNoTreeItem;
  OnWindowThread(&tree_, [&] {
    item = tree_.InsertItem(parent, text, IconOf(icon), where == TreeInsert::kFirst);
  });
  return item;
}

void TreeWidgetControl::SetItemData(TreeItem item, uint64_t data) {
  OnWindowThread(&tree_, [&] { tree_.SetData(item, data); });
}

uint64_t TreeWidgetControl::GetItemData(TreeItem item) const {
  uint64_t data = 0;
  OnWindowThread(&tree_, [&] { data = tree_.Data(item); });
  return data;
}

std::string TreeWidgetControl::GetItemText(TreeItem item) const {
  std::string text;
  OnWindowThread(&tree_, [&] { text = tree_.RawText(item); });
  return text;
}

void TreeWidgetControl::SetItemBold(TreeItem item, bool bold) {
  OnWindowThread(&tree_, [&] {
    if (QTreeWidgetItem* node = tree_.ItemOf(item)) {
      QFont font = node->font(0);
      font.setBold(bold);
      node->setFont(0, font);
    }
  });
}

TreeItem TreeWidgetControl::GetChildItem(TreeItem item) const {
  TreeItem child = kNoTreeItem;
  OnWindowThread(&tree_, [&] {
    if (item == kNoTreeItem) {
      child = tree_.HandleOf(tree_.topLevelItem(0));
    } else if (const QTreeWidgetItem* node = tree_.ItemOf(item)) {
      child = tree_.HandleOf(node->child(0));
    }
  });
  return child;
}

TreeItem TreeWidgetControl::GetNextSiblingItem(TreeItem item) const {
  TreeItem next = kNoTreeItem;
  OnWindowThread(&tree_, [&] {
    QTreeWidgetItem* node = tree_.ItemOf(item);
    if (node == nullptr) return;
    if (QTreeWidgetItem* parent = node->parent()) {
      next = tree_.HandleOf(parent->child(parent->indexOfChild(node) + 1));
    } else {
      next = tree_.HandleOf(tree_.topLevelItem(tree_.indexOfTopLevelItem(node) + 1));
    }
  });
  return next;
}

TreeItem TreeWidgetControl::GetParentItem(TreeItem item) const {
  TreeItem parent = kNoTreeItem;
  OnWindowThread(&tree_, [&] {
    if (const QTreeWidgetItem* node = tree_.ItemOf(item)) parent = tree_.HandleOf(node->parent());
  });
  return parent;
}

TreeItem TreeWidgetControl::GetSelectedItem() const {
  TreeItem selected = kNoTreeItem;
  OnWindowThread(&tree_, [&] { selected = tree_.SelectedHandle(); });
  return selected;
}

void TreeWidgetControl::SelectItem(TreeItem item) {
  OnWindowThread(&tree_, [&] { tree_.SelectHandle(item); });
}

void TreeWidgetControl::SortChildren(TreeItem item) {
  OnWindowThread(&tree_, [&] {
    QTreeWidgetItem* node = item == kNoTreeItem ? tree_.invisibleRootItem() : tree_.ItemOf(item);
    if (node == nullptr) return;
    // Byte-wise ascending by the stored text, stable.
    QList<QTreeWidgetItem*> children = node->takeChildren();
    std::stable_sort(children.begin(), children.end(), [&](QTreeWidgetItem* a, QTreeWidgetItem* b) {
      return tree_.RawText(tree_.HandleOf(a)) < tree_.RawText(tree_.HandleOf(b));
    });
    node->addChildren(children);
  });
}

void TreeWidgetControl::SetBackgroundColor(uint32_t rgb) {
  OnWindowThread(&tree_, [&] {
    QPalette palette = tree_.palette();
    palette.setColor(QPalette::Base, QColor::fromRgb(rgb));
    tree_.setPalette(palette);
  });
}

void TreeWidgetControl::ExpandAllAndShowSelection() {
  OnWindowThread(&tree_, [&] {
    if (!tree_.isVisible()) return;
    tree_.expandAll();
    QTreeWidgetItem* shown = tree_.currentItem() != nullptr ? tree_.currentItem() : tree_.topLevelItem(0);
    if (shown != nullptr) tree_.scrollToItem(shown);
  });
}

}  // namespace quill::ui
