// The fixed texts, names and numbers of the desktop application: the
// product and window captions, the ribbon's commands, the dialogs' texts
// and the message-box texts of the commands.
#pragma once

namespace quill::ui {

inline constexpr char kProductName[] = "Velmora Quillstone";
// Caption of the main window and of every message box.
inline constexpr char kApplicationTitle[] = "Velmora Quillstone " QUILLSTONE_VERSION;
// Organisation and application names of the settings store.
inline constexpr char kSettingsOrganization[] = "Velmora";
inline constexpr char kSettingsApplication[] = "Quillstone";
inline constexpr char kApplicationLookKey[] = "ApplicationLook";
// The Save dialog's last choices.
inline constexpr char kSaveFolderKey[] = "Save/Folder";
inline constexpr char kSaveFormatKey[] = "Save/Format";
inline constexpr char kSaveByteOrderMarkKey[] = "Save/ByteOrderMark";
inline constexpr char kRecentFilesGroup[] = "Recent File List";
inline constexpr int kRecentFileCount = 4;

// Start-up.
inline constexpr char kAnotherInstance[] = "Another instance of application is already running";
inline constexpr char kApplicationStarts[] = "application starts";
inline constexpr char kCaptionBarStart[] = "Select MDF database file to continue the recovery process.";

// Panes.
inline constexpr char kTreePaneTitle[] = "Sharepoint Database Objects";
inline constexpr char kOutputPaneTitle[] = "Output";
inline constexpr char kRibbonCategory[] = "Quillstone";

// Window ids kept as object names ("id_221").
inline constexpr int kIdStatusPane = 121;
inline constexpr int kIdCaptionBar = 221;
inline constexpr int kIdPageLabel = 322;
inline constexpr int kIdObjectTree = 328;
inline constexpr int kIdPreviousRecords = 335;
inline constexpr int kIdNextRecords = 336;
inline constexpr int kIdRecordList = 337;
inline constexpr int kIdScriptBox = 338;
inline constexpr int kIdOutputList = 339;
inline constexpr int kIdDocumentTree = 340;

// Ribbon commands.
inline constexpr int kCmdOpen = 313;
inline constexpr int kCmdStop = 314;
inline constexpr int kCmdSave = 315;
inline constexpr int kCmdHelp = 319;
inline constexpr int kCmdAbout = 320;
inline constexpr int kCmdSaveRecords = 341;
inline constexpr int kCmdLoadSnapshot = 342;
inline constexpr int kCmdSaveSnapshot = 343;
// The nine visual styles.
inline constexpr int kCmdFirstLook = 210;
inline constexpr int kCmdLastLook = 218;

// Command answers.
inline constexpr char kConfirmClose[] = "Do you want to close the application?";
inline constexpr char kLogFilePath[] = "Log file path : ";
inline constexpr char kSelectDatabaseToScanRecords[] = "Please select database file to scan records.";

// Record panel.
inline constexpr char kPreviousRecords[] = "Previous Records";
inline constexpr char kNextRecords[] = "Next Records";

// Document list columns; each title ends with a space.
inline constexpr char kFileNameColumn[] = "File Name ";
inline constexpr char kDateCreatedColumn[] = "Date Created ";
inline constexpr char kDateModifiedColumn[] = "Date Modified ";

// Snapshot commands.
inline constexpr char kSnapshotFilter[] = ".VelmoraMDB Files (*.VLMSNP)";
inline constexpr char kSnapshotExtension[] = "VLMSNP";

}  // namespace quill::ui
