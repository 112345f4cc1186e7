// CMainFrame: the main window. From top to bottom: the ribbon with its one
// category "Quillstone", the caption bar, the tree pane on the left beside
// the record panel, the output pane along the bottom, and the status bar.
// It turns the ribbon's commands and the trees' label clicks into work of
// the engine session, guarded by the running rule, and carries out on its
// own thread what the workers ask of the window.
#pragma once

#include <QAction>
#include <QActionGroup>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QSettings>
#include <QTimer>
#include <map>
#include <memory>

#include "scan/application_state.h"
#include "ui/engine_session.h"
#include "ui/html_tree.h"
#include "ui/output_pane.h"
#include "ui/prompter.h"
#include "ui/record_panel.h"
#include "ui/record_view.h"
#include "ui/tree_widget_control.h"
#include "ui/window_scan_ui.h"

namespace quill::ui {

class CMainFrame : public QMainWindow, private RecordView {
  Q_OBJECT

 public:
  // `prompter` and `settings` must outlive the window.
  CMainFrame(ApplicationState& state, Prompter& prompter, QSettings& settings, QWidget* parent = nullptr);
  ~CMainFrame() override;

  Prompter& prompter() { return prompter_; }
  EngineSession& session() { return *session_; }
  COutputWnd* outputPane() const { return output_; }
  CVelmoraStatic* recordPanel() const { return panel_; }
  CXHtmlTree* objectTree() const { return objectTree_; }
  CXHtmlTree* documentTree() const { return documentTree_; }
  QLabel* captionBar() const { return caption_; }
  QAction* command(int id) const;
  QLineEdit* treeFilter() const { return filter_; }
  QStringList recentFiles() const;

  // The window side of the workers' messages.
  void SetProgressRange(uint64_t upper);
  void SetProgressPos(uint64_t position);
  void SetStatusText(const QString& text);
  void OnScanError(const QString& text);
  void ArrangeTrees(bool documents);
  void PrepareViewForScan(const QString& path);
  void SetCaption(const QString& text);

  // The commands.
  void OnOpen();
  // Open with the dialog's choice already made (the dialog accepted, a
  // file given on the command line or dropped on the window).
  bool OpenWith(const ScanChoice& choice);
  void OnStop();
  void OnSave();
  void OnSaveRecords();
  void OnLoadSnapshot();
  void OnSaveSnapshot();
  void OnHelp();
  void OnAbout();
  void OnPreviousRecords();
  void OnNextRecords();
  void OnObjectLabelClicked(quint64 item);
  void OnFolderLabelClicked(quint64 item);
  void ApplyLook(int id);

  // The default choice for a file given without the dialog.
  static ScanChoice DefaultChoice(const QString& path);
  // The help page shipped with the application; empty when not found.
  static QString HelpPagePath();

 signals:
  // Window work has ended (its completion has arrived).
  void workFinished();
  // A scan's worker has ended.
  void scanFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // RecordView, on the window thread.
  void ShowTableList(const std::vector<std::string>& titles) override;
  void ShowScript(const std::string& text) override;
  void ShowDocumentList(bool columns) override;
  void ClearRows() override;
  void AppendRow(const std::vector<std::string>& cells, uint64_t item_data) override;
  void SetLinks(bool previous_enabled, bool next_enabled) override;
  void SetPageLabel(const std::string& text) override;
  void ShowProgressPanel() override;

  void BuildCommands();
  QWidget* BuildRibbon();
  void BuildPanes();
  void AddRecentFile(const QString& path);
  void UpdateRecentMenu();
  void Poll();
  void ApplyFilter(const QString& text);
  // Starts a selection's work after the common steps; false when refused.
  void BeginSelection(const QString& item_text);
  void Refuse(const char* text);

  ApplicationState& state_;
  Prompter& prompter_;
  QSettings& settings_;
  std::map<int, QAction*> commands_;
  QActionGroup* looks_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  QLabel* caption_ = nullptr;
  QLabel* statusPane_ = nullptr;
  CVelmoraStatic* panel_ = nullptr;
  COutputWnd* output_ = nullptr;
  CXHtmlTree* objectTree_ = nullptr;
  CXHtmlTree* documentTree_ = nullptr;
  QLineEdit* filter_ = nullptr;
  QDockWidget* treeDock_ = nullptr;
  QDockWidget* outputDock_ = nullptr;
  std::unique_ptr<TreeWidgetControl> objectControl_;
  std::unique_ptr<TreeWidgetControl> documentControl_;
  std::unique_ptr<WindowScanUi> scanUi_;
  std::unique_ptr<EngineSession> session_;
  QTimer poll_;
  uint64_t lastObjectItem_ = 0;
  uint64_t lastFolderItem_ = 0;
};

}  // namespace quill::ui
