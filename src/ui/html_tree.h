// CXHtmlTree: the tree control of the tree pane. Items carry tri-state
// check boxes (a parent shows partly checked when only some children are),
// their texts may hold the 24 HTML character entities the control knows,
// shown as the characters they stand for, and a click on an item's label
// selects it and tells the window. Every item keeps its text as given, a
// 64-bit item data value and a handle that stays valid until the tree is
// emptied.
#pragma once

#include <QHash>
#include <QTreeWidget>
#include <cstdint>
#include <string>

namespace quill::ui {

// The text with the known character entities ("&amp;", "&copy;", ...)
// replaced by their characters; anything else stays as it is.
QString DecodeCharacterEntities(const QString& text);

class CXHtmlTree : public QTreeWidget {
  Q_OBJECT

 public:
  explicit CXHtmlTree(QWidget* parent = nullptr);

  // Handles: 0 is no item.
  uint64_t InsertItem(uint64_t parent, const std::string& text, const QIcon& icon, bool first);
  void DeleteAll();
  QTreeWidgetItem* ItemOf(uint64_t handle) const { return items_.value(handle, nullptr); }
  uint64_t HandleOf(const QTreeWidgetItem* item) const;
  std::string RawText(uint64_t handle) const;
  void SetData(uint64_t handle, uint64_t data);
  uint64_t Data(uint64_t handle) const;
  uint64_t SelectedHandle() const;
  void SelectHandle(uint64_t handle);

  // Handles of the items whose check box is checked.
  QList<uint64_t> CheckedHandles() const;

 signals:
  // The label of an item was clicked (the item is selected by then).
  void labelClicked(quint64 handle);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool OnLabel(const QPoint& pos, QTreeWidgetItem** item) const;

  QHash<uint64_t, QTreeWidgetItem*> items_;
  uint64_t nextHandle_ = 1;
  QTreeWidgetItem* pressedLabel_ = nullptr;
};

}  // namespace quill::ui
