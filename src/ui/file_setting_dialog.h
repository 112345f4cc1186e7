// CVelmoraFileSettingDlg: the dialog of the Open command. The user picks the
// primary data file, the recovery option and mode, the catalog and record
// options, the collation handling and the folder for log files; OK checks
// the two paths and hands the choices back.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace quill::ui {

class Prompter;

inline constexpr char kStandardMode[] = "Standard Mode";
inline constexpr char kAdvancedMode[] = "Advanced Mode";
inline constexpr char kCompletedRecoveryDescription[] =
    "Select this option to recover complete Sharepoint server database.";
inline constexpr char kDocumentRecoveryDescription[] =
    "Select this option to recover complete document from Sharepoint server database.";
inline constexpr char kInvalidMdfFile[] = "Please select valid mdf file.";
inline constexpr char kInvalidSqlFilePath[] = "Please select valid SQL file path to continue the recovery process.";
inline constexpr char kInvalidLogFilePath[] = "Please select valid Log file path to continue the recovery process.";
inline constexpr char kLogFolderBrowserTitle[] = "Select location to save Log file(s).";
inline constexpr char kMdfFilter[] = ".mdf Files (*.mdf)";

// What the dialog hands back on OK.
struct ScanChoice {
  std::string path;       // the data file
  std::string logFolder;  // ends with a separator
  int recoveryMode = 1;   // 1 "Standard Mode", 2 "Advanced Mode"
  int recoveryOption = 1; // 1 "Completed Database Recovery", 2 "Document Recovery"
  bool isSql2000 = false;
  bool showDeletedRecords = false;
  bool showAdvancedDeletedRecords = false;
};

// The collation side of the dialog, written at once as the user changes it
// (also when the dialog is then cancelled).
struct CollationChoices {
  std::vector<std::pair<std::string, int64_t>> collations;  // name and id, ascending id
  std::function<void(bool)> setAutoDetect;
  std::function<void(int64_t)> setManualId;
};

// The folder separator a log folder ends with.
inline constexpr char kFolderSeparator = '/';

class CVelmoraFileSettingDlg : public QDialog {
  Q_OBJECT

 public:
  CVelmoraFileSettingDlg(Prompter& prompter, CollationChoices collations, QWidget* parent = nullptr);

  const ScanChoice& choice() const { return choice_; }

  // The controls, by their ids.
  QWidget* Control(int id) const;
  // Puts a path into the data file field (the "..." box's result).
  void SetDataFilePath(const QString& path);
  void SetLogFolder(const QString& path);

  // The user's desktop folder, or the home folder when there is none.
  static QString DesktopFolder();

 public slots:
  void accept() override;

 private:
  void Place(QWidget* widget, int id, int x, int y, int w, int h);
  void BrowseDataFile();
  void BrowseLogFolder();
  void ChooseRecoveryOption(bool document);
  void ChooseAutoDetect(bool automatic);

  Prompter& prompter_;
  CollationChoices collations_;
  ScanChoice choice_;
  QRadioButton* completed_;
  QRadioButton* document_;
  QLineEdit* description_;
  QLineEdit* path_;
  QComboBox* mode_;
  QCheckBox* sql2000_;
  QCheckBox* deleted_;
  QCheckBox* advancedDeleted_;
  QRadioButton* autoDetect_;
  QRadioButton* manual_;
  QComboBox* collation_;
  QLineEdit* logFolder_;
};

}  // namespace quill::ui
