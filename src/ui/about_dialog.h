// CVelmoraAboutDlg: the About box: the banner at the top, the product name
// in Arial 15 pixels, weight 600, and "OK".
#pragma once

#include <QDialog>

namespace quill::ui {

class CVelmoraAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CVelmoraAboutDlg(QWidget* parent = nullptr);
};

}  // namespace quill::ui
