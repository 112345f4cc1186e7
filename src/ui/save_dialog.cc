#include "ui/save_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace quill::ui {

SaveDialog::SaveDialog(QWidget* parent, const SaveChoice& initial) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Save recovered data"));
  setObjectName(QStringLiteral("saveDialog"));
  auto* form = new QFormLayout(this);

  folder_ = new QLineEdit(QString::fromStdString(initial.folder), this);
  folder_->setObjectName(QStringLiteral("saveFolder"));
  auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
  auto* folder_row = new QHBoxLayout();
  folder_row->addWidget(folder_, 1);
  folder_row->addWidget(browse);
  form->addRow(QStringLiteral("Save in folder:"), folder_row);

  format_ = new QComboBox(this);
  format_->setObjectName(QStringLiteral("saveFormat"));
  for (const SaveFormatEntry& entry : kSaveFormats) {
    format_->addItem(QString::fromUtf8(entry.label), static_cast<int>(entry.format));
    if (entry.format == initial.format) format_->setCurrentIndex(format_->count() - 1);
  }
  form->addRow(QStringLiteral("Format:"), format_);

  byteOrderMark_ =
      new QCheckBox(QStringLiteral("Start text files with a byte-order mark (for spreadsheets on Windows)"), this);
  byteOrderMark_->setChecked(initial.byteOrderMark);
  form->addRow(byteOrderMark_);

  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons_->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Save"));
  form->addRow(buttons_);

  connect(browse, &QPushButton::clicked, this, [this] {
    const QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Select location to save recovered data."), folder_->text(), QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty()) folder_->setText(QDir::toNativeSeparators(chosen));
  });
  connect(folder_, &QLineEdit::textChanged, this, &SaveDialog::UpdateControls);
  connect(format_, &QComboBox::currentIndexChanged, this, &SaveDialog::UpdateControls);
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  UpdateControls();
}

void SaveDialog::UpdateControls() {
  const auto format = static_cast<ExportFormat>(format_->currentData().toInt());
  byteOrderMark_->setEnabled(format == ExportFormat::kCsv || format == ExportFormat::kTsv);
  // Only an existing folder is offered: the database's folder is made in it.
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(QDir(folder_->text().trimmed()).exists() &&
                                                      !folder_->text().trimmed().isEmpty());
}

SaveChoice SaveDialog::choice() const {
  SaveChoice choice;
  choice.folder = folder_->text().trimmed().toStdString();
  choice.format = static_cast<ExportFormat>(format_->currentData().toInt());
  choice.byteOrderMark = byteOrderMark_->isEnabled() && byteOrderMark_->isChecked();
  return choice;
}

}  // namespace quill::ui
