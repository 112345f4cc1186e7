#include "ui/prompter.h"

#include <QFileDialog>
#include <QMessageBox>

#include "ui/app_texts.h"
#include "ui/save_dialog.h"

namespace quill::ui {

namespace {

QMessageBox::Icon BoxIcon(Prompter::Icon icon) {
  switch (icon) {
    case Prompter::Icon::kStop: return QMessageBox::Critical;
    case Prompter::Icon::kQuestion: return QMessageBox::Question;
    case Prompter::Icon::kInformation: break;
  }
  return QMessageBox::Information;
}

}  // namespace

void DesktopPrompter::Inform(QWidget* parent, const QString& text, Icon icon) {
  QMessageBox box(BoxIcon(icon), QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok, parent);
  box.exec();
}

bool DesktopPrompter::AskYesNo(QWidget* parent, const QString& text, Icon icon) {
  QMessageBox box(BoxIcon(icon), QString::fromUtf8(kApplicationTitle), text, QMessageBox::Yes | QMessageBox::No,
                  parent);
  return box.exec() == QMessageBox::Yes;
}

QString DesktopPrompter::OpenFileName(QWidget* parent, const QString& title, const QString& initial_name,
                                      const QString& filter) {
  QFileDialog dialog(parent, title, QString(), filter);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::ReadOnly, true);
  if (!initial_name.isEmpty() && !initial_name.startsWith(u'*')) dialog.selectFile(initial_name);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

QString DesktopPrompter::SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                      const QString& default_suffix) {
  QFileDialog dialog(parent, title, QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(default_suffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

bool DesktopPrompter::ChooseSave(QWidget* parent, SaveChoice& choice) {
  SaveDialog dialog(parent, choice);
  if (dialog.exec() != QDialog::Accepted) return false;
  choice = dialog.choice();
  return true;
}

QString DesktopPrompter::ExistingFolder(QWidget* parent, const QString& title) {
  return QFileDialog::getExistingDirectory(parent, title, QString(), QFileDialog::ShowDirsOnly);
}

}  // namespace quill::ui
