#include "ui/screenshot_tour.h"

#include <QApplication>
#include <QTimer>
#include <QTreeWidgetItemIterator>
#include <functional>
#include <memory>

#include "ui/main_window.h"

namespace quill::ui {

namespace {

// Steps run one after another; each waits until the window is idle.
class Tour : public QObject {
 public:
  Tour(CMainFrame& window, QString data_file, QString folder)
      : QObject(&window), window_(window), dataFile_(std::move(data_file)), folder_(std::move(folder)) {}

  void Run() {
    window_.resize(1280, 800);
    steps_ = {
        [this] { Scan(1); },
        [this] { ClickFirst(window_.objectTree(), QStringLiteral("User Tables"), /*documents=*/false); },
        [this] { Save(QStringLiteral("quillstone-table.png")); },
        [this] { Scan(2); },
        [this] { ClickFolder(); },
        [this] { Save(QStringLiteral("quillstone-documents.png")); },
        [] { QApplication::quit(); },
    };
    Next();
  }

 private:
  void Next() {
    QTimer::singleShot(300, this, [this] {
      if (window_.session().Busy()) return Next();
      if (step_ >= steps_.size()) return;
      steps_[step_++]();
      Next();
    });
  }

  void Scan(int option) {
    ScanChoice choice = CMainFrame::DefaultChoice(dataFile_);
    choice.recoveryOption = option;
    choice.logFolder = (folder_ + u'/').toStdString();
    window_.OpenWith(choice);
  }

  // Clicks the table "AllDocs" under `category`, else its first table with
  // data (a bold item), else its first table.
  void ClickFirst(CXHtmlTree* tree, const QString& category, bool documents) {
    QTreeWidgetItemIterator it(tree);
    for (; *it; ++it) {
      if ((*it)->text(0) != category || (*it)->childCount() == 0) continue;
      QTreeWidgetItem* chosen = (*it)->child(0);
      bool bold_found = false;
      for (int i = 0; i < (*it)->childCount(); ++i) {
        QTreeWidgetItem* child = (*it)->child(i);
        if (child->text(0) == QStringLiteral("AllDocs")) {
          chosen = child;
          break;
        }
        if (!bold_found && child->font(0).bold()) {
          chosen = child;
          bold_found = true;
        }
      }
      const uint64_t handle = tree->HandleOf(chosen);
      tree->SelectHandle(handle);
      if (documents) window_.OnFolderLabelClicked(handle);
      else window_.OnObjectLabelClicked(handle);
      return;
    }
  }

  void ClickFolder() {
    CXHtmlTree* tree = window_.documentTree();
    QTreeWidgetItemIterator it(tree);
    for (; *it; ++it) {
      int files = 0;
      for (int i = 0; i < (*it)->childCount(); ++i) {
        files += ((tree->Data(tree->HandleOf((*it)->child(i))) >> 32) & 0xFF) == 'F';
      }
      if (files >= 3) {
        const uint64_t handle = tree->HandleOf(*it);
        tree->SelectHandle(handle);
        window_.OnFolderLabelClicked(handle);
        return;
      }
    }
  }

  void Save(const QString& name) { window_.grab().save(folder_ + u'/' + name); }

  CMainFrame& window_;
  QString dataFile_;
  QString folder_;
  std::vector<std::function<void()>> steps_;
  size_t step_ = 0;
};

}  // namespace

void StartScreenshotTour(CMainFrame& window, const QString& data_file, const QString& folder) {
  auto* tour = new Tour(window, data_file, folder);
  tour->Run();
}

}  // namespace quill::ui
