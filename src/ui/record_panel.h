// CVelmoraStatic: the record panel that fills the view. It holds the record
// list (a grid of up to 1000 rows with full-row selection), the read-only
// script box, the "Previous Records" and "Next Records" links, the page
// label, and the progress panel with its status label; all hidden until a
// listing or a scan shows them.
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTextEdit>
#include <QWidget>

namespace quill::ui {

class CVelmoraStatic : public QWidget {
  Q_OBJECT

 public:
  explicit CVelmoraStatic(QWidget* parent = nullptr);

  QTableWidget* list() const { return list_; }
  QTextEdit* scriptBox() const { return script_; }
  QPushButton* previousLink() const { return previous_; }
  QPushButton* nextLink() const { return next_; }
  QLabel* pageLabel() const { return pageLabel_; }
  QWidget* progressPanel() const { return progressPanel_; }
  QLabel* statusLabel() const { return statusLabel_; }
  QProgressBar* progressBar() const { return progress_; }

  void ShowProgressPanel(bool shown);
  // The record list's height leaves room for the links (the database
  // object view); the document list fills the panel.
  void SetListLeavesRoomForLinks(bool leaves);
  // Empties the list: no rows, the given column titles, each 200 pixels wide.
  void ResetColumns(const QStringList& titles, int width = 200);
  void AppendRow(const QStringList& cells);
  // Copies the selected rows as tab-separated text to the clipboard.
  void CopySelectedRows() const;

 signals:
  void previousClicked();
  void nextClicked();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Arrange();

  QTableWidget* list_;
  QTextEdit* script_;
  QPushButton* previous_;
  QPushButton* next_;
  QLabel* pageLabel_;
  QWidget* progressPanel_;
  QLabel* statusLabel_;
  QProgressBar* progress_;
  bool leaveRoomForLinks_ = true;
};

}  // namespace quill::ui
