#include "ui/file_setting_dialog.h"

#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QStandardPaths>

#include "ui/app_texts.h"
#include "ui/prompter.h"

namespace quill::ui {

namespace {

// Dialog units of the dialog's font: a quarter of the average character
// width across, an eighth of the character height down.
struct DialogUnits {
  explicit DialogUnits(const QFontMetrics& metrics)
      : across(metrics.averageCharWidth()), down(metrics.height()) {}
  QRect Rect(int x, int y, int w, int h) const {
    return QRect(x * across / 4, y * down / 8, w * across / 4, h * down / 8);
  }
  int across;
  int down;
};

}  // namespace

QString CVelmoraFileSettingDlg::DesktopFolder() {
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (!desktop.isEmpty() && QFileInfo(desktop).isDir()) return desktop;
  return QDir::homePath();
}

void CVelmoraFileSettingDlg::Place(QWidget* widget, int id, int x, int y, int w, int h) {
  widget->setGeometry(DialogUnits(fontMetrics()).Rect(x, y, w, h));
  if (id != 0) widget->setObjectName(QStringLiteral("id_%1").arg(id));
}

CVelmoraFileSettingDlg::CVelmoraFileSettingDlg(Prompter& prompter, CollationChoices collations,
                                               QWidget* parent)
    : QDialog(parent), prompter_(prompter), collations_(std::move(collations)) {
  setObjectName(QStringLiteral("id_340"));
  setWindowTitle(QString::fromUtf8(kApplicationTitle));
  setFixedSize(DialogUnits(fontMetrics()).Rect(0, 0, 375, 231).size());
  const auto text = [](const char* t) { return QString::fromUtf8(t); };

  auto* option_group = new QGroupBox(text("Select Recovery option:"), this);
  Place(option_group, 0, 5, 7, 365, 53);
  completed_ = new QRadioButton(text("Completed Database Recovery"), this);
  Place(completed_, 1015, 14, 21, 115, 10);
  document_ = new QRadioButton(text("Document Recovery"), this);
  Place(document_, 1017, 201, 21, 81, 10);
  description_ = new QLineEdit(this);
  description_->setReadOnly(true);
  Place(description_, 1325, 12, 40, 351, 14);

  auto* file_group = new QGroupBox(this);
  Place(file_group, 0, 5, 63, 363, 68);
  auto* path_label = new QLabel(text("Select MDF File Path:"), this);
  Place(path_label, 0, 11, 74, 68, 8);
  path_ = new QLineEdit(this);
  path_->setReadOnly(true);
  Place(path_, 1000, 91, 70, 242, 15);
  auto* browse_file = new QPushButton(text("..."), this);
  Place(browse_file, 1001, 337, 69, 25, 17);
  auto* mode_label = new QLabel(text("Select Recovery Mode:"), this);
  Place(mode_label, 0, 11, 93, 74, 8);
  mode_ = new QComboBox(this);
  Place(mode_, 1046, 91, 91, 110, 12);
  sql2000_ = new QCheckBox(text("Is SQL 2000"), this);
  Place(sql2000_, 1008, 207, 92, 55, 10);
  deleted_ = new QCheckBox(text("Show deleted records"), this);
  Place(deleted_, 1009, 92, 112, 85, 10);
  advancedDeleted_ = new QCheckBox(text("Show Advanced Deleted records"), this);
  Place(advancedDeleted_, 1033, 188, 112, 120, 10);
  auto* hidden = new QPushButton(this);  // does nothing
  Place(hidden, 1052, 350, 100, 14, 16);
  hidden->hide();

  auto* collation_group = new QGroupBox(text("Collation Option:"), this);
  Place(collation_group, 0, 5, 134, 363, 34);
  autoDetect_ = new QRadioButton(text("Auto detect"), this);
  Place(autoDetect_, 1012, 12, 148, 54, 10);
  manual_ = new QRadioButton(text("Manual"), this);
  Place(manual_, 1013, 92, 148, 39, 10);
  collation_ = new QComboBox(this);
  Place(collation_, 1014, 144, 148, 110, 12);

  auto* log_group = new QGroupBox(this);
  Place(log_group, 0, 5, 175, 363, 31);
  auto* log_label = new QLabel(text("Select Log file path:"), this);
  Place(log_label, 0, 12, 173, 64, 8);
  logFolder_ = new QLineEdit(this);
  logFolder_->setReadOnly(true);
  Place(logFolder_, 1010, 12, 187, 320, 14);
  auto* browse_folder = new QPushButton(text("..."), this);
  Place(browse_folder, 1011, 337, 184, 25, 17);

  auto* ok = new QPushButton(text("OK"), this);
  Place(ok, 3, 135, 211, 55, 16);
  ok->setDefault(true);
  auto* cancel = new QPushButton(text("Cancel"), this);
  Place(cancel, 4, 195, 211, 55, 16);

  // The two radio pairs are groups of their own.
  auto* options = new QButtonGroup(this);
  options->addButton(completed_);
  options->addButton(document_);
  auto* collation_modes = new QButtonGroup(this);
  collation_modes->addButton(autoDetect_);
  collation_modes->addButton(manual_);

  // Opening: the defaults.
  mode_->addItem(text(kStandardMode));
  mode_->addItem(text(kAdvancedMode));
  mode_->setCurrentIndex(0);
  // Each entry carries its whole id: the table's ids of the SQL_ collations
  // are negative, and an id cut to its low 32 bits would name none of them.
  for (const auto& [name, id] : collations_.collations) {
    collation_->addItem(QString::fromStdString(name), QVariant::fromValue<qint64>(id));
  }
  if (collation_->count() > 0) collation_->setCurrentIndex(0);
  autoDetect_->setChecked(true);
  collation_->setEnabled(false);
  if (collations_.setAutoDetect) collations_.setAutoDetect(true);
  completed_->setChecked(true);
  description_->setText(text(kCompletedRecoveryDescription));
  logFolder_->setText(DesktopFolder());

  connect(browse_file, &QPushButton::clicked, this, &CVelmoraFileSettingDlg::BrowseDataFile);
  connect(browse_folder, &QPushButton::clicked, this, &CVelmoraFileSettingDlg::BrowseLogFolder);
  connect(completed_, &QRadioButton::clicked, this, [this] { ChooseRecoveryOption(false); });
  connect(document_, &QRadioButton::clicked, this, [this] { ChooseRecoveryOption(true); });
  connect(autoDetect_, &QRadioButton::clicked, this, [this] { ChooseAutoDetect(true); });
  connect(manual_, &QRadioButton::clicked, this, [this] { ChooseAutoDetect(false); });
  connect(collation_, &QComboBox::activated, this, [this](int index) {
    if (collations_.setManualId && index >= 0) {
      collations_.setManualId(collation_->itemData(index).value<qint64>());
    }
  });
  connect(ok, &QPushButton::clicked, this, &CVelmoraFileSettingDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &CVelmoraFileSettingDlg::reject);
}

QWidget* CVelmoraFileSettingDlg::Control(int id) const {
  return findChild<QWidget*>(QStringLiteral("id_%1").arg(id));
}

void CVelmoraFileSettingDlg::SetDataFilePath(const QString& path) { path_->setText(path); }
void CVelmoraFileSettingDlg::SetLogFolder(const QString& path) { logFolder_->setText(path); }

void CVelmoraFileSettingDlg::BrowseDataFile() {
  const QString chosen =
      prompter_.OpenFileName(this, QString::fromUtf8(kApplicationTitle), QStringLiteral("*.mdf"), QString::fromUtf8(kMdfFilter));
  if (chosen.isEmpty()) return;
  if (!QFileInfo(chosen).isFile()) {
    prompter_.Inform(this, QString::fromUtf8(kInvalidMdfFile), Prompter::Icon::kInformation);
    return;
  }
  path_->setText(chosen);
}

void CVelmoraFileSettingDlg::BrowseLogFolder() {
  const QString chosen = prompter_.ExistingFolder(this, QString::fromUtf8(kLogFolderBrowserTitle)).trimmed();
  if (!chosen.isEmpty() && QFileInfo(chosen).isDir()) logFolder_->setText(chosen);
}

void CVelmoraFileSettingDlg::ChooseRecoveryOption(bool document) {
  document_->setChecked(document);
  completed_->setChecked(!document);
  description_->setText(QString::fromUtf8(document ? kDocumentRecoveryDescription : kCompletedRecoveryDescription));
}

void CVelmoraFileSettingDlg::ChooseAutoDetect(bool automatic) {
  autoDetect_->setChecked(automatic);
  manual_->setChecked(!automatic);
  collation_->setEnabled(!automatic);
  if (collations_.setAutoDetect) collations_.setAutoDetect(automatic);
}

void CVelmoraFileSettingDlg::accept() {
  const QString path = path_->text();
  if (!path.toUpper().contains(QStringLiteral(".MDF")) || !QFileInfo(path).isFile()) {
    prompter_.Inform(this, QString::fromUtf8(kInvalidSqlFilePath), Prompter::Icon::kInformation);
    return;
  }
  QString folder = logFolder_->text();
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
    prompter_.Inform(this, QString::fromUtf8(kInvalidLogFilePath), Prompter::Icon::kInformation);
    return;
  }
  if (!folder.endsWith(QChar::fromLatin1(kFolderSeparator))) folder += QChar::fromLatin1(kFolderSeparator);
  choice_.logFolder = folder.toStdString();
  choice_.path = path.toStdString();
  choice_.recoveryMode = mode_->currentIndex() == 1 ? 2 : 1;
  choice_.isSql2000 = sql2000_->isChecked();
  choice_.showDeletedRecords = deleted_->isChecked();
  choice_.showAdvancedDeletedRecords = advancedDeleted_->isChecked();
  choice_.recoveryOption = document_->isChecked() ? 2 : 1;
  QDialog::accept();
}

}  // namespace quill::ui
