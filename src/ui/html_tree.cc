#include "ui/html_tree.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <utility>

namespace quill::ui {

namespace {

constexpr int kRawTextRole = Qt::UserRole + 1;
constexpr int kHandleRole = Qt::UserRole + 2;
constexpr int kDataRole = Qt::UserRole + 3;

struct Entity {
  const char* name;
  char16_t character;
};

constexpr Entity kEntities[] = {
    {"&trade;", u'\u2122'}, {"&times;", u'\u00D7'}, {"&sup2;", u'\u00B2'},   {"&sup1;", u'\u00B9'},
    {"&sect;", u'\u00A7'},  {"&reg;", u'\u00AE'},   {"&quot;", u'"'},        {"&pound;", u'\u00A3'},
    {"&plusmn;", u'\u00B1'}, {"&para;", u'\u00B6'}, {"&nbsp;", u'\u00A0'},   {"&middot;", u'\u00B7'},
    {"&micro;", u'\u00B5'}, {"&lt;", u'<'},         {"&iquest;", u'\u00BF'}, {"&gt;", u'>'},
    {"&frac14;", u'\u00BC'}, {"&frac12;", u'\u00BD'}, {"&euro;", u'\u20AC'}, {"&deg;", u'\u00B0'},
    {"&copy;", u'\u00A9'},  {"&cent;", u'\u00A2'},  {"&bull;", u'\u2022'},   {"&amp;", u'&'},
};

}  // namespace

QString DecodeCharacterEntities(const QString& text) {
  if (!text.contains(u'&')) return text;
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size();) {
    bool replaced = false;
    if (text[i] == u'&') {
      for (const Entity& entity : kEntities) {
        const QLatin1StringView name(entity.name);
        if (QStringView(text).mid(i).startsWith(name)) {
          out += QChar(entity.character);
          i += name.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += text[i++];
  }
  return out;
}

CXHtmlTree::CXHtmlTree(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setIconSize(QSize(16, 16));
  setMouseTracking(true);
}

uint64_t CXHtmlTree::InsertItem(uint64_t parent, const std::string& text, const QIcon& icon, bool first) {
  auto* item = new QTreeWidgetItem();
  const QString raw = QString::fromStdString(text);
  const QString shown = DecodeCharacterEntities(raw);
  item->setText(0, shown);
  item->setToolTip(0, shown);
  item->setIcon(0, icon);
  item->setData(0, kRawTextRole, raw);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
  item->setCheckState(0, Qt::Unchecked);
  const uint64_t handle = nextHandle_++;
  item->setData(0, kHandleRole, QVariant::fromValue<quint64>(handle));
  item->setData(0, kDataRole, QVariant::fromValue<quint64>(0));
  QTreeWidgetItem* parent_item = ItemOf(parent);
  if (parent_item == nullptr) {
    if (first) insertTopLevelItem(0, item);
    else addTopLevelItem(item);
  } else {
    if (first) parent_item->insertChild(0, item);
    else parent_item->addChild(item);
    // A new child takes the parent's full state so the three states agree.
    if (parent_item->checkState(0) == Qt::Checked) item->setCheckState(0, Qt::Checked);
  }
  items_.insert(handle, item);
  return handle;
}

void CXHtmlTree::DeleteAll() {
  pressedLabel_ = nullptr;
  items_.clear();
  clear();
}

uint64_t CXHtmlTree::HandleOf(const QTreeWidgetItem* item) const {
  return item == nullptr ? 0 : item->data(0, kHandleRole).value<quint64>();
}

std::string CXHtmlTree::RawText(uint64_t handle) const {
  const QTreeWidgetItem* item = ItemOf(handle);
  return item == nullptr ? std::string() : item->data(0, kRawTextRole).toString().toStdString();
}

void CXHtmlTree::SetData(uint64_t handle, uint64_t data) {
  if (QTreeWidgetItem* item = ItemOf(handle)) item->setData(0, kDataRole, QVariant::fromValue<quint64>(data));
}

uint64_t CXHtmlTree::Data(uint64_t handle) const {
  const QTreeWidgetItem* item = ItemOf(handle);
  return item == nullptr ? 0 : item->data(0, kDataRole).value<quint64>();
}

uint64_t CXHtmlTree::SelectedHandle() const { return HandleOf(currentItem()); }

void CXHtmlTree::SelectHandle(uint64_t handle) {
  QTreeWidgetItem* item = ItemOf(handle);
  setCurrentItem(item);
  if (item != nullptr) {
    item->setSelected(true);
    scrollToItem(item);
  }
}

QList<uint64_t> CXHtmlTree::CheckedHandles() const {
  QList<uint64_t> checked;
  for (auto it = items_.cbegin(); it != items_.cend(); ++it) {
    if (it.value()->checkState(0) == Qt::Checked) checked.push_back(it.key());
  }
  std::sort(checked.begin(), checked.end());
  return checked;
}

bool CXHtmlTree::OnLabel(const QPoint& pos, QTreeWidgetItem** item) const {
  const QModelIndex index = indexAt(pos);
  if (!index.isValid()) return false;
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(index);
  option.features |= QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasCheckIndicator |
                     QStyleOptionViewItem::HasDecoration;
  option.text = index.data(Qt::DisplayRole).toString();
  const QRect check = style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
  const QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
  if (check.contains(pos) || !text.contains(pos)) return false;
  *item = itemFromIndex(index);
  return true;
}

void CXHtmlTree::mousePressEvent(QMouseEvent* event) {
  QTreeWidgetItem* item = nullptr;
  pressedLabel_ = event->button() == Qt::LeftButton && OnLabel(event->position().toPoint(), &item) ? item : nullptr;
  QTreeWidget::mousePressEvent(event);
}

void CXHtmlTree::mouseReleaseEvent(QMouseEvent* event) {
  QTreeWidget::mouseReleaseEvent(event);
  QTreeWidgetItem* item = nullptr;
  if (pressedLabel_ != nullptr && OnLabel(event->position().toPoint(), &item) && item == pressedLabel_) {
    pressedLabel_ = nullptr;
    setCurrentItem(item);
    emit labelClicked(HandleOf(item));
  }
  pressedLabel_ = nullptr;
}

}  // namespace quill::ui
