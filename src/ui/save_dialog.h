// The Save dialog: the folder the recovered data goes to (a folder named
// after the database is made in it) and the format of the tables. Checked
// documents are written as files whatever the format.
#pragma once

#include <QDialog>

#include "ui/save_choice.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLineEdit;

namespace quill::ui {

class SaveDialog : public QDialog {
  Q_OBJECT

 public:
  SaveDialog(QWidget* parent, const SaveChoice& initial);
  SaveChoice choice() const;

 private:
  void UpdateControls();

  QLineEdit* folder_ = nullptr;
  QComboBox* format_ = nullptr;
  QCheckBox* byteOrderMark_ = nullptr;
  QDialogButtonBox* buttons_ = nullptr;
};

// The formats the dialog offers, in its order, with their labels.
struct SaveFormatEntry {
  ExportFormat format;
  const char* label;
};
inline constexpr SaveFormatEntry kSaveFormats[] = {
    {ExportFormat::kCsv, "CSV (comma-separated, one file per table)"},
    {ExportFormat::kTsv, "TSV (tab-separated, one file per table)"},
    {ExportFormat::kJsonLines, "JSON Lines (one file per table)"},
    {ExportFormat::kSql, "SQL script (tables, keys, modules and rows)"},
    {ExportFormat::kSqlite, "SQLite database (one file)"},
};

}  // namespace quill::ui
