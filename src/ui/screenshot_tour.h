// A scripted walk through the application for the README's pictures: the
// demo database is scanned, a table listed and paged once, then the same
// file scanned for documents and a folder listed; after each step the main
// window is saved as a PNG file. Every box is answered on its own, so the
// walk needs nobody at the screen.
#pragma once

#include <QString>

#include "ui/prompter.h"

namespace quill::ui {

class CMainFrame;

// Answers every box with OK or Yes and every file box with nothing.
class UnattendedPrompter final : public Prompter {
 public:
  void Inform(QWidget*, const QString&, Icon) override {}
  bool AskYesNo(QWidget*, const QString&, Icon) override { return true; }
  QString OpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
  QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
  QString ExistingFolder(QWidget*, const QString&) override { return {}; }
  bool ChooseSave(QWidget*, SaveChoice&) override { return false; }
};

// Runs the walk on `window` over `data_file`, writing the pictures into
// `folder`, then quits the application. Returns at once; the walk goes on
// in the event loop.
void StartScreenshotTour(CMainFrame& window, const QString& data_file, const QString& folder);

}  // namespace quill::ui
