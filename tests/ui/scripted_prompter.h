// A Prompter for the window tests: keeps every box it was asked to show and
// answers questions and file boxes from what the test put in.
#pragma once

#include <QStringList>
#include <deque>

#include "ui/prompter.h"

namespace quill::ui::testing {

class ScriptedPrompter final : public Prompter {
 public:
  struct Box {
    QString text;
    Icon icon;
  };

  void Inform(QWidget*, const QString& text, Icon icon) override { boxes.push_back({text, icon}); }
  bool AskYesNo(QWidget*, const QString& text, Icon icon) override {
    boxes.push_back({text, icon});
    return yes;
  }
  QString OpenFileName(QWidget*, const QString&, const QString&, const QString& filter) override {
    filters << filter;
    return Next();
  }
  QString SaveFileName(QWidget*, const QString&, const QString& filter, const QString&) override {
    filters << filter;
    return Next();
  }
  QString ExistingFolder(QWidget*, const QString& title) override {
    filters << title;
    return Next();
  }

  bool ChooseSave(QWidget*, SaveChoice& choice) override {
    const QString folder = Next();
    if (folder.isEmpty()) return false;
    choice.folder = folder.toStdString();
    choice.format = saveFormat;
    return true;
  }

  QStringList texts() const {
    QStringList out;
    for (const Box& box : boxes) out << box.text;
    return out;
  }

  std::vector<Box> boxes;
  QStringList filters;
  bool yes = true;
  ExportFormat saveFormat = ExportFormat::kCsv;  // the Save dialog's format
  std::deque<QString> paths;  // answers of the file and folder boxes, in order

 private:
  QString Next() {
    if (paths.empty()) return {};
    QString path = paths.front();
    paths.pop_front();
    return path;
  }
};

}  // namespace quill::ui::testing
