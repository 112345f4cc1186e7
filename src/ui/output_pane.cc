#include "ui/output_pane.h"

#include <QFontDatabase>

namespace quill::ui {

COutputWnd::COutputWnd(QWidget* parent) : QListWidget(parent) {
  setObjectName(QStringLiteral("id_339"));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
  setUniformItemSizes(true);
}

void COutputWnd::InsertLine(int index, const QString& text) {
  index = std::clamp(index, 0, static_cast<int>(count()));
  auto* item = new QListWidgetItem(text);
  item->setSizeHint(QSize(2000, fontMetrics().height() + 2));
  insertItem(index, item);
  scrollToItem(item);
}

void COutputWnd::ReplaceLine(int index, const QString& text) {
  if (QListWidgetItem* line = item(index)) line->setText(text);
}

QStringList COutputWnd::Lines() const {
  QStringList lines;
  for (int i = 0; i < count(); ++i) lines << item(i)->text();
  return lines;
}

}  // namespace quill::ui
