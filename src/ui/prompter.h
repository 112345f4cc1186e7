// Every question the application asks the user: message boxes, yes/no
// questions and the file and folder boxes. The application shows the
// desktop's own boxes; the tests put in a prompter that answers by script
// and keeps what was asked.
#pragma once

#include <QString>
#include <QWidget>

#include "ui/save_choice.h"

namespace quill::ui {

class Prompter {
 public:
  enum class Icon { kInformation, kStop, kQuestion };

  virtual ~Prompter() = default;
  // A message box with the application title and an OK button.
  virtual void Inform(QWidget* parent, const QString& text, Icon icon) = 0;
  // A Yes/No box; true for Yes.
  virtual bool AskYesNo(QWidget* parent, const QString& text, Icon icon) = 0;
  // An open-file box for an existing file; empty when cancelled.
  virtual QString OpenFileName(QWidget* parent, const QString& title, const QString& initial_name,
                               const QString& filter) = 0;
  // A save-file box with an overwrite prompt; empty when cancelled.
  virtual QString SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                               const QString& default_suffix) = 0;
  // A folder browser; empty when cancelled.
  virtual QString ExistingFolder(QWidget* parent, const QString& title) = 0;
  // The Save dialog: output folder and format, starting from `choice`;
  // false when cancelled.
  virtual bool ChooseSave(QWidget* parent, SaveChoice& choice) = 0;
};

// The desktop's boxes.
class DesktopPrompter final : public Prompter {
 public:
  void Inform(QWidget* parent, const QString& text, Icon icon) override;
  bool AskYesNo(QWidget* parent, const QString& text, Icon icon) override;
  QString OpenFileName(QWidget* parent, const QString& title, const QString& initial_name,
                       const QString& filter) override;
  QString SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                       const QString& default_suffix) override;
  QString ExistingFolder(QWidget* parent, const QString& title) override;
  bool ChooseSave(QWidget* parent, SaveChoice& choice) override;
};

}  // namespace quill::ui
