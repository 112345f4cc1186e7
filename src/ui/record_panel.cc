#include "ui/record_panel.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QVBoxLayout>
#include <set>

#include "scan/table_listing.h"
#include "ui/app_texts.h"

namespace quill::ui {

namespace {

constexpr int kLinkWidth = 50;
constexpr int kLinkHeight = 25;
constexpr int kLabelWidth = 490;
constexpr int kBottomRoom = 35;
constexpr int kProgressPanelHeight = 48;

QFont ArialFont(bool bold) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(16);
  font.setBold(bold);
  return font;
}

}  // namespace

CVelmoraStatic::CVelmoraStatic(QWidget* parent) : QWidget(parent) {
  list_ = new QTableWidget(this);
  list_->setObjectName(QStringLiteral("id_337"));
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setShowGrid(true);
  list_->verticalHeader()->setVisible(false);
  list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  list_->setWordWrap(false);
  ResetColumns({QString()}, 1500);

  script_ = new QTextEdit(this);
  script_->setObjectName(QStringLiteral("id_338"));
  script_->setReadOnly(true);
  script_->setAcceptRichText(false);
  script_->setLineWrapMode(QTextEdit::NoWrap);

  // The links are 50 x 25 pixels: their pictures show, their texts are the
  // tooltips and the accessible names.
  previous_ = new QPushButton(this);
  previous_->setObjectName(QStringLiteral("id_335"));
  previous_->setToolTip(QString::fromUtf8(kPreviousRecords));
  previous_->setIcon(QIcon(QStringLiteral(":/quillstone/previous.svg")));
  next_ = new QPushButton(this);
  next_->setObjectName(QStringLiteral("id_336"));
  next_->setToolTip(QString::fromUtf8(kNextRecords));
  next_->setIcon(QIcon(QStringLiteral(":/quillstone/next.svg")));
  for (QPushButton* link : {previous_, next_}) {
    link->setFlat(true);
    link->setAccessibleName(link->toolTip());
    link->setIconSize(QSize(40, 18));
    link->setCursor(Qt::PointingHandCursor);
  }
  connect(previous_, &QPushButton::clicked, this, &CVelmoraStatic::previousClicked);
  connect(next_, &QPushButton::clicked, this, &CVelmoraStatic::nextClicked);

  pageLabel_ = new QLabel(QString::fromUtf8(kPageLabelInitial), this);
  pageLabel_->setObjectName(QStringLiteral("id_322"));
  pageLabel_->setFont(ArialFont(true));

  progressPanel_ = new QWidget(this);
  progressPanel_->setObjectName(QStringLiteral("progressPanel"));
  auto* layout = new QVBoxLayout(progressPanel_);
  layout->setContentsMargins(6, 2, 6, 2);
  statusLabel_ = new QLabel(progressPanel_);
  statusLabel_->setFont(ArialFont(false));
  progress_ = new QProgressBar(progressPanel_);
  progress_->setTextVisible(false);
  layout->addWidget(statusLabel_);
  layout->addWidget(progress_);

  for (QWidget* child : std::initializer_list<QWidget*>{list_, script_, previous_, next_, pageLabel_, progressPanel_}) {
    child->hide();
  }
}

void CVelmoraStatic::ShowProgressPanel(bool shown) {
  progressPanel_->setVisible(shown);
  Arrange();
}

void CVelmoraStatic::SetListLeavesRoomForLinks(bool leaves) {
  leaveRoomForLinks_ = leaves;
  Arrange();
}

void CVelmoraStatic::ResetColumns(const QStringList& titles, int width) {
  list_->clear();
  list_->setRowCount(0);
  list_->setColumnCount(static_cast<int>(titles.size()));
  list_->setHorizontalHeaderLabels(titles);
  for (int i = 0; i < titles.size(); ++i) list_->setColumnWidth(i, width);
}

void CVelmoraStatic::AppendRow(const QStringList& cells) {
  const int row = list_->rowCount();
  list_->insertRow(row);
  for (int i = 0; i < cells.size() && i < list_->columnCount(); ++i) {
    list_->setItem(row, i, new QTableWidgetItem(cells[i]));
  }
}

void CVelmoraStatic::CopySelectedRows() const {
  std::set<int> rows;
  for (const QModelIndex& index : list_->selectionModel()->selectedIndexes()) rows.insert(index.row());
  QStringList lines;
  for (int row : rows) {
    QStringList cells;
    for (int column = 0; column < list_->columnCount(); ++column) {
      const QTableWidgetItem* item = list_->item(row, column);
      cells << (item != nullptr ? item->text() : QString());
    }
    lines << cells.join(u'\t');
  }
  if (!lines.isEmpty()) QApplication::clipboard()->setText(lines.join(u'\n') + u'\n');
}

void CVelmoraStatic::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  pageLabel_->setText(QString::fromUtf8(kPageLabelInitial));
  Arrange();
}

void CVelmoraStatic::Arrange() {
  const int w = width();
  const int h = height();
  const int top = progressPanel_->isVisibleTo(this) ? kProgressPanelHeight : 0;
  progressPanel_->setGeometry(0, 0, w, kProgressPanelHeight);
  script_->setGeometry(0, top, w, h - top);
  list_->setGeometry(0, top, w, (leaveRoomForLinks_ ? h - kBottomRoom : h) - top);
  previous_->setGeometry(w - 120, h - 31, kLinkWidth, kLinkHeight);
  next_->setGeometry(w - 65, h - 31, kLinkWidth, kLinkHeight);
  pageLabel_->setGeometry(10, h - 31, kLabelWidth, kLinkHeight);
}

}  // namespace quill::ui
