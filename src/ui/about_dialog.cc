#include "ui/about_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <QVBoxLayout>

#include "ui/app_texts.h"

namespace quill::ui {

CVelmoraAboutDlg::CVelmoraAboutDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("id_100"));
  setWindowTitle(QString::fromUtf8(kApplicationTitle));
  // 263 x 166 dialog units of the dialog font.
  const QFontMetrics metrics = fontMetrics();
  setFixedSize(263 * metrics.averageCharWidth() / 4, 166 * metrics.height() / 8);

  auto* layout = new QVBoxLayout(this);
  // The banner, drawn at the width of the box.
  QSvgRenderer picture(QStringLiteral(":/quillstone/banner.svg"));
  const QSize banner_size(width() - 24, (width() - 24) * 90 / 420);
  QPixmap pixmap(banner_size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  picture.render(&painter);
  painter.end();
  auto* banner = new QLabel(this);
  banner->setObjectName(QStringLiteral("id_316"));
  banner->setPixmap(pixmap);
  layout->addWidget(banner, 0, Qt::AlignHCenter);

  auto* name = new QLabel(QString::fromUtf8(kProductName), this);
  name->setObjectName(QStringLiteral("productName"));
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(15);
  font.setWeight(QFont::Weight(600));
  name->setFont(font);
  name->setAlignment(Qt::AlignHCenter);
  layout->addWidget(name);

  auto* version = new QLabel(QStringLiteral("Version " QUILLSTONE_VERSION
                                            "\nRead-only recovery of SQL Server data files."),
                             this);
  version->setAlignment(Qt::AlignHCenter);
  layout->addWidget(version);
  layout->addStretch(1);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignHCenter);
}

}  // namespace quill::ui
