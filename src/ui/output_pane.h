// COutputWnd: the "Output" pane, one list of numbered output lines in a
// single 2000-pixel column without a header. Lines are inserted at the
// index the caller gives (the application's running line count).
#pragma once

#include <QListWidget>
#include <QString>

namespace quill::ui {

class COutputWnd : public QListWidget {
  Q_OBJECT

 public:
  explicit COutputWnd(QWidget* parent = nullptr);

  void InsertLine(int index, const QString& text);
  void ReplaceLine(int index, const QString& text);
  QStringList Lines() const;
};

}  // namespace quill::ui
