#include "ui/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMenu>
#include <QMimeData>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdlib>
#include <functional>

#include "scan/scan_driver.h"
#include "ui/about_dialog.h"
#include "ui/app_texts.h"
#include "ui/file_setting_dialog.h"
#include "ui/visual_styles.h"
#include "ui/window_thread.h"

// The pictures live in the window library's resources.
static void InitWindowResources() { Q_INIT_RESOURCE(quillstone); }

namespace quill::ui {

namespace {

struct RibbonCommand {
  int id;
  const char* panel;  // "" for the panel without a title
  const char* label;
  const char* tooltip;
  const char* icon;
  const char* shortcut;
};

constexpr RibbonCommand kCommands[] = {
    {kCmdOpen, "", "Open", "Open Database file", "open", "Ctrl+O"},
    {kCmdStop, "", "Stop", "Stop running process", "stop", "Esc"},
    {kCmdSave, "", "Save", "Save recovered data", "save", "Ctrl+S"},
    {kCmdSaveRecords, "Table Records", "Save Records", "Save table records in CSV", "save_records", "Ctrl+R"},
    {kCmdLoadSnapshot, "Recovery SnapShot", "Load", "Load Snapshot", "load_snapshot", ""},
    {kCmdSaveSnapshot, "Recovery SnapShot", "Save", "Save Snapshot", "save_snapshot", ""},
    {kCmdHelp, "About", "Help", "Help for Velmora Quillstone", "help", "F1"},
    {kCmdAbout, "About", "About", "About Velmora Quillstone", "about", ""},
};

QString Qs(const char* text) { return QString::fromUtf8(text); }
QString Qs(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

CMainFrame::CMainFrame(ApplicationState& state, Prompter& prompter, QSettings& settings, QWidget* parent)
    : QMainWindow(parent), state_(state), prompter_(prompter), settings_(settings) {
  InitWindowResources();
  setObjectName(QStringLiteral("CMainFrame"));
  setWindowTitle(Qs(kApplicationTitle));
  setWindowIcon(QIcon(QStringLiteral(":/quillstone/quillstone.svg")));
  setAcceptDrops(true);

  ApplyVisualStyle(settings_.value(kApplicationLookKey, kDefaultLook).toInt());
  BuildCommands();

  auto* top = new QWidget(this);
  auto* top_layout = new QVBoxLayout(top);
  top_layout->setContentsMargins(0, 0, 0, 0);
  top_layout->setSpacing(0);
  top_layout->addWidget(BuildRibbon());
  // The caption bar (id 221): a picture and the informational text.
  auto* caption_bar = new QWidget(top);
  caption_bar->setObjectName(QStringLiteral("id_221"));
  caption_bar->setAutoFillBackground(true);
  caption_bar->setBackgroundRole(QPalette::AlternateBase);
  auto* caption_layout = new QHBoxLayout(caption_bar);
  caption_layout->setContentsMargins(6, 3, 6, 3);
  auto* caption_picture = new QLabel(caption_bar);
  caption_picture->setPixmap(QIcon(QStringLiteral(":/quillstone/caption.svg")).pixmap(20, 20));
  caption_ = new QLabel(caption_bar);
  caption_->setObjectName(QStringLiteral("captionText"));
  caption_layout->addWidget(caption_picture);
  caption_layout->addWidget(caption_, 1);
  top_layout->addWidget(caption_bar);
  setMenuWidget(top);

  panel_ = new CVelmoraStatic(this);
  setCentralWidget(panel_);
  connect(panel_, &CVelmoraStatic::previousClicked, this, &CMainFrame::OnPreviousRecords);
  connect(panel_, &CVelmoraStatic::nextClicked, this, &CMainFrame::OnNextRecords);
  BuildPanes();

  statusPane_ = new QLabel(Qs(kApplicationTitle), this);
  statusPane_->setObjectName(QStringLiteral("id_121"));
  statusBar()->addWidget(statusPane_, 1);
  statusBar()->addPermanentWidget(new QLabel(Qs(kProductName), this));

  QList<QIcon> images;
  images << QIcon(QStringLiteral(":/quillstone/object.svg"));
  objectControl_ = std::make_unique<TreeWidgetControl>(*objectTree_, images);
  documentControl_ = std::make_unique<TreeWidgetControl>(*documentTree_, QList<QIcon>{});
  scanUi_ = std::make_unique<WindowScanUi>(*this, *objectControl_, *documentControl_);
  session_ = std::make_unique<EngineSession>(state_, *scanUi_, static_cast<RecordView&>(*this), this);

  caption_->setText(Qs(kCaptionBarStart));
  panel_->ShowProgressPanel(false);
  session_->AddStartLine(kApplicationStarts);

  // The window looks at the workers' flags: the Stop button, and the end of
  // a scan's worker.
  connect(&poll_, &QTimer::timeout, this, &CMainFrame::Poll);
  poll_.start(40);
  Poll();

  restoreGeometry(settings_.value(QStringLiteral("Window/Geometry")).toByteArray());
  restoreState(settings_.value(QStringLiteral("Window/State")).toByteArray());
}

CMainFrame::~CMainFrame() {
  poll_.stop();
  session_.reset();
}

QAction* CMainFrame::command(int id) const {
  auto it = commands_.find(id);
  return it == commands_.end() ? nullptr : it->second;
}

void CMainFrame::BuildCommands() {
  for (const RibbonCommand& entry : kCommands) {
    auto* action = new QAction(QIcon(QStringLiteral(":/quillstone/%1.svg").arg(Qs(entry.icon))), Qs(entry.label), this);
    action->setObjectName(QStringLiteral("command_%1").arg(entry.id));
    action->setToolTip(Qs(entry.tooltip));
    action->setProperty("commandId", entry.id);
    if (*entry.shortcut) action->setShortcut(QKeySequence(Qs(entry.shortcut)));
    addAction(action);
    commands_[entry.id] = action;
  }
  connect(command(kCmdOpen), &QAction::triggered, this, &CMainFrame::OnOpen);
  connect(command(kCmdStop), &QAction::triggered, this, &CMainFrame::OnStop);
  connect(command(kCmdSave), &QAction::triggered, this, &CMainFrame::OnSave);
  connect(command(kCmdSaveRecords), &QAction::triggered, this, &CMainFrame::OnSaveRecords);
  connect(command(kCmdLoadSnapshot), &QAction::triggered, this, &CMainFrame::OnLoadSnapshot);
  connect(command(kCmdSaveSnapshot), &QAction::triggered, this, &CMainFrame::OnSaveSnapshot);
  connect(command(kCmdHelp), &QAction::triggered, this, &CMainFrame::OnHelp);
  connect(command(kCmdAbout), &QAction::triggered, this, &CMainFrame::OnAbout);

  // The paging links' shortcuts.
  auto* previous = new QAction(Qs(kPreviousRecords), this);
  previous->setShortcut(QKeySequence(QStringLiteral("Ctrl+PgUp")));
  connect(previous, &QAction::triggered, this, &CMainFrame::OnPreviousRecords);
  auto* next = new QAction(Qs(kNextRecords), this);
  next->setShortcut(QKeySequence(QStringLiteral("Ctrl+PgDown")));
  connect(next, &QAction::triggered, this, &CMainFrame::OnNextRecords);
  auto* copy = new QAction(QStringLiteral("Copy"), this);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WindowShortcut);
  connect(copy, &QAction::triggered, this, [this] { panel_->CopySelectedRows(); });
  addActions({previous, next, copy});

  looks_ = new QActionGroup(this);
  looks_->setExclusive(true);
  const int current = settings_.value(kApplicationLookKey, kDefaultLook).toInt();
  for (int id = kCmdFirstLook; id <= kCmdLastLook; ++id) {
    auto* look = new QAction(VisualStyleName(id), looks_);
    look->setObjectName(QStringLiteral("command_%1").arg(id));
    look->setCheckable(true);
    look->setChecked(id == current);
    commands_[id] = look;
    connect(look, &QAction::triggered, this, [this, id] { ApplyLook(id); });
  }
}

QWidget* CMainFrame::BuildRibbon() {
  auto* ribbon = new QTabWidget(this);
  ribbon->setObjectName(QStringLiteral("ribbon"));
  ribbon->setDocumentMode(true);
  auto* category = new QWidget(ribbon);
  category->setObjectName(QStringLiteral("category_Quillstone"));
  auto* row = new QHBoxLayout(category);
  row->setContentsMargins(4, 2, 4, 2);
  row->setSpacing(2);

  QString panel_title = QStringLiteral("\x01");
  QHBoxLayout* buttons = nullptr;
  for (const RibbonCommand& entry : kCommands) {
    if (Qs(entry.panel) != panel_title) {
      panel_title = Qs(entry.panel);
      auto* panel = new QFrame(category);
      panel->setObjectName(QStringLiteral("panel_%1").arg(panel_title.isEmpty() ? QStringLiteral("main") : panel_title));
      panel->setFrameShape(QFrame::StyledPanel);
      auto* column = new QVBoxLayout(panel);
      column->setContentsMargins(4, 2, 4, 2);
      column->setSpacing(0);
      buttons = new QHBoxLayout();
      column->addLayout(buttons);
      auto* title = new QLabel(panel_title, panel);
      title->setAlignment(Qt::AlignHCenter);
      title->setObjectName(QStringLiteral("panelTitle"));
      column->addWidget(title);
      row->addWidget(panel);
    }
    auto* button = new QToolButton(category);
    button->setObjectName(QStringLiteral("button_%1").arg(entry.id));
    button->setDefaultAction(command(entry.id));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIconSize(QSize(32, 32));
    button->setAutoRaise(true);
    button->setMinimumWidth(56);
    if (entry.id == kCmdOpen) {
      recentMenu_ = new QMenu(button);
      button->setMenu(recentMenu_);
      button->setPopupMode(QToolButton::MenuButtonPopup);
    }
    buttons->addWidget(button);
  }
  row->addStretch(1);
  ribbon->addTab(category, Qs(kRibbonCategory));

  auto* style_button = new QToolButton(ribbon);
  style_button->setObjectName(QStringLiteral("styleButton"));
  style_button->setText(QStringLiteral("Style"));
  style_button->setPopupMode(QToolButton::InstantPopup);
  auto* style_menu = new QMenu(style_button);
  style_menu->addActions(looks_->actions());
  style_button->setMenu(style_menu);
  ribbon->setCornerWidget(style_button, Qt::TopRightCorner);
  UpdateRecentMenu();
  return ribbon;
}

void CMainFrame::BuildPanes() {
  setCorner(Qt::BottomLeftCorner, Qt::LeftDockWidgetArea);
  treeDock_ = new QDockWidget(Qs(kTreePaneTitle), this);
  treeDock_->setObjectName(QStringLiteral("treePane"));
  auto* tree_box = new QWidget(treeDock_);
  auto* tree_layout = new QVBoxLayout(tree_box);
  tree_layout->setContentsMargins(0, 0, 0, 0);
  tree_layout->setSpacing(2);
  filter_ = new QLineEdit(tree_box);
  filter_->setObjectName(QStringLiteral("treeFilter"));
  filter_->setPlaceholderText(QStringLiteral("Filter"));
  filter_->setClearButtonEnabled(true);
  connect(filter_, &QLineEdit::textChanged, this, &CMainFrame::ApplyFilter);
  objectTree_ = new CXHtmlTree(tree_box);
  objectTree_->setObjectName(QStringLiteral("id_328"));
  documentTree_ = new CXHtmlTree(tree_box);
  documentTree_->setObjectName(QStringLiteral("id_340"));
  documentTree_->hide();
  tree_layout->addWidget(filter_);
  tree_layout->addWidget(objectTree_);
  tree_layout->addWidget(documentTree_);
  treeDock_->setWidget(tree_box);
  addDockWidget(Qt::LeftDockWidgetArea, treeDock_);
  connect(objectTree_, &CXHtmlTree::labelClicked, this, &CMainFrame::OnObjectLabelClicked);
  connect(documentTree_, &CXHtmlTree::labelClicked, this, &CMainFrame::OnFolderLabelClicked);

  outputDock_ = new QDockWidget(Qs(kOutputPaneTitle), this);
  outputDock_->setObjectName(QStringLiteral("outputPane"));
  output_ = new COutputWnd(outputDock_);
  outputDock_->setWidget(output_);
  addDockWidget(Qt::BottomDockWidgetArea, outputDock_);
  resizeDocks({treeDock_}, {200}, Qt::Horizontal);
  resizeDocks({outputDock_}, {100}, Qt::Vertical);
}

QStringList CMainFrame::recentFiles() const {
  QStringList files;
  for (int i = 1; i <= kRecentFileCount; ++i) {
    const QString file = settings_.value(QStringLiteral("%1/File%2").arg(Qs(kRecentFilesGroup)).arg(i)).toString();
    if (!file.isEmpty()) files << file;
  }
  return files;
}

void CMainFrame::AddRecentFile(const QString& path) {
  QStringList files = recentFiles();
  files.removeAll(path);
  files.prepend(path);
  for (int i = 1; i <= kRecentFileCount; ++i) {
    const QString key = QStringLiteral("%1/File%2").arg(Qs(kRecentFilesGroup)).arg(i);
    if (i <= files.size()) settings_.setValue(key, files[i - 1]);
    else settings_.remove(key);
  }
  UpdateRecentMenu();
}

void CMainFrame::UpdateRecentMenu() {
  if (recentMenu_ == nullptr) return;
  recentMenu_->clear();
  int number = 1;
  for (const QString& file : recentFiles()) {
    QAction* action = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(number++).arg(file));
    connect(action, &QAction::triggered, this, [this, file] {
      if (session_->Busy()) return Refuse(kPleaseWait);
      if (QFileInfo(file).isFile()) OpenWith(DefaultChoice(file));
    });
  }
  recentMenu_->setEnabled(!recentMenu_->isEmpty());
}

void CMainFrame::ApplyLook(int id) {
  ApplyVisualStyle(id);
  settings_.setValue(kApplicationLookKey, id);
  if (QAction* look = command(id)) look->setChecked(true);
}

void CMainFrame::Poll() {
  if (session_->PollScanEnd()) emit scanFinished();
  command(kCmdStop)->setEnabled(session_->ProcessRunning());
}

void CMainFrame::Refuse(const char* text) { prompter_.Inform(this, Qs(text), Prompter::Icon::kInformation); }

// The window side of the workers' messages.

void CMainFrame::SetProgressRange(uint64_t upper) {
  QProgressBar* bar = panel_->progressBar();
  bar->setRange(0, static_cast<int>(std::min<uint64_t>(upper, INT32_MAX)));
  bar->setValue(0);
}

void CMainFrame::SetProgressPos(uint64_t position) {
  panel_->progressBar()->setValue(static_cast<int>(std::min<uint64_t>(position, INT32_MAX)));
}

void CMainFrame::SetStatusText(const QString& text) { panel_->statusLabel()->setText(text); }

void CMainFrame::OnScanError(const QString& text) {
  panel_->progressBar()->setValue(0);
  panel_->statusLabel()->clear();
  panel_->pageLabel()->clear();
  // The worker is still inside the file set's opening: the file set and the
  // catalog go once it has ended.
  session_->NoteScanError();
  prompter_.Inform(this, text, Prompter::Icon::kStop);
}

void CMainFrame::ArrangeTrees(bool documents) {
  objectTree_->setVisible(!documents);
  documentTree_->setVisible(documents);
  panel_->SetListLeavesRoomForLinks(!documents);
}

void CMainFrame::PrepareViewForScan(const QString& path) {
  objectTree_->DeleteAll();
  documentTree_->DeleteAll();
  lastObjectItem_ = lastFolderItem_ = 0;
  panel_->pageLabel()->clear();
  panel_->statusLabel()->clear();
  panel_->ResetColumns({QString()}, 1500);
  panel_->previousLink()->setEnabled(false);
  panel_->nextLink()->setEnabled(false);
  panel_->scriptBox()->clear();
  caption_->setText(path);
  panel_->ShowProgressPanel(true);
}

void CMainFrame::SetCaption(const QString& text) { caption_->setText(text); }

// RecordView.

void CMainFrame::ShowTableList(const std::vector<std::string>& titles) {
  OnWindowThread(this, [&] {
    QStringList columns;
    for (const std::string& title : titles) columns << Qs(title);
    panel_->ResetColumns(columns);
    panel_->list()->show();
    panel_->previousLink()->show();
    panel_->nextLink()->show();
    panel_->pageLabel()->show();
    panel_->scriptBox()->hide();
  });
}

void CMainFrame::ShowScript(const std::string& text) {
  OnWindowThread(this, [&] {
    panel_->scriptBox()->setPlainText(Qs(text));
    panel_->scriptBox()->show();
    panel_->list()->hide();
    panel_->previousLink()->hide();
    panel_->nextLink()->hide();
  });
}

void CMainFrame::ShowDocumentList(bool columns) {
  OnWindowThread(this, [&] {
    panel_->list()->show();
    panel_->pageLabel()->hide();
    panel_->previousLink()->hide();
    panel_->nextLink()->hide();
    panel_->scriptBox()->hide();
    if (!columns) {
      panel_->ResetColumns({});
      return;
    }
    panel_->ResetColumns({Qs(kFileNameColumn), Qs(kDateCreatedColumn), Qs(kDateModifiedColumn)});
    panel_->list()->setColumnWidth(0, 200);
    panel_->list()->setColumnWidth(1, 150);
    panel_->list()->setColumnWidth(2, 150);
  });
}

void CMainFrame::ClearRows() {
  OnWindowThread(this, [&] { panel_->list()->setRowCount(0); });
}

void CMainFrame::AppendRow(const std::vector<std::string>& cells, uint64_t item_data) {
  OnWindowThread(this, [&] {
    QStringList texts;
    for (const std::string& cell : cells) texts << Qs(cell);
    panel_->AppendRow(texts);
    if (QTableWidgetItem* first = panel_->list()->item(panel_->list()->rowCount() - 1, 0)) {
      first->setData(Qt::UserRole, QVariant::fromValue<quint64>(item_data));
    }
  });
}

void CMainFrame::SetLinks(bool previous_enabled, bool next_enabled) {
  OnWindowThread(this, [&] {
    panel_->previousLink()->setEnabled(previous_enabled);
    panel_->nextLink()->setEnabled(next_enabled);
  });
}

void CMainFrame::SetPageLabel(const std::string& text) {
  OnWindowThread(this, [&] { panel_->pageLabel()->setText(Qs(text)); });
}

void CMainFrame::ShowProgressPanel() {
  OnWindowThread(this, [&] { panel_->ShowProgressPanel(true); });
}

// The commands.

ScanChoice CMainFrame::DefaultChoice(const QString& path) {
  ScanChoice choice;
  choice.path = path.toStdString();
  QString folder = CVelmoraFileSettingDlg::DesktopFolder();
  if (!folder.endsWith(QChar::fromLatin1(kFolderSeparator))) folder += QChar::fromLatin1(kFolderSeparator);
  choice.logFolder = folder.toStdString();
  return choice;
}

void CMainFrame::OnOpen() {
  if (session_->Busy()) return Refuse(kPleaseWait);
  CVelmoraFileSettingDlg dialog(prompter_, session_->Collations(), this);
  if (dialog.exec() != QDialog::Accepted) return;
  OpenWith(dialog.choice());
}

bool CMainFrame::OpenWith(const ScanChoice& choice) {
  if (session_->Busy()) {
    Refuse(kPleaseWait);
    return false;
  }
  if (!session_->StartScan(choice)) return false;
  AddRecentFile(Qs(choice.path));
  return true;
}

void CMainFrame::OnStop() {
  if (!session_->ProcessRunning()) return;
  if (!prompter_.AskYesNo(this, Qs(kConfirmStop), Prompter::Icon::kInformation)) return;
  session_->Stop();
  Poll();
}

void CMainFrame::OnSave() {
  if (session_->Busy()) return Refuse(kPleaseWait);
  const bool shown = objectTree_->topLevelItemCount() > 0 || documentTree_->topLevelItemCount() > 0;
  if (!shown || !session_->HasScanResults()) {
    return Refuse(kSelectDatabaseToScanRecords);
  }
  SaveChoice choice;
  choice.folder = settings_.value(kSaveFolderKey, QDir::homePath()).toString().toStdString();
  choice.format = static_cast<ExportFormat>(settings_.value(kSaveFormatKey, 0).toInt());
  choice.byteOrderMark = settings_.value(kSaveByteOrderMarkKey, false).toBool();
  if (!prompter_.ChooseSave(this, choice)) return;
  settings_.setValue(kSaveFolderKey, QString::fromStdString(choice.folder));
  settings_.setValue(kSaveFormatKey, static_cast<int>(choice.format));
  settings_.setValue(kSaveByteOrderMarkKey, choice.byteOrderMark);
  std::vector<uint64_t> objects;
  for (uint64_t item : objectTree_->CheckedHandles()) objects.push_back(item);
  std::vector<uint64_t> documents;
  for (uint64_t item : documentTree_->CheckedHandles()) documents.push_back(item);
  panel_->ShowProgressPanel(true);
  session_->StartSave(objects, documents, choice, [this] { emit workFinished(); });
}

void CMainFrame::OnSaveRecords() {
  if (session_->Busy()) return Refuse(kPleaseWait);
  if (objectTree_->topLevelItemCount() == 0 || !session_->tableSelected()) {
    return Refuse(kSelectDatabaseToScanRecords);
  }
  const QString path = prompter_.SaveFileName(this, Qs(kApplicationTitle), QStringLiteral("CSV Files (*.csv)"),
                                              QStringLiteral("csv"));
  if (path.isEmpty()) return;
  panel_->ShowProgressPanel(true);
  session_->StartSaveRecords(path.toStdString(), [this] { emit workFinished(); });
}

void CMainFrame::OnLoadSnapshot() {
  if (session_->Busy()) return Refuse(kPleaseWait);
  const QString path = prompter_.OpenFileName(this, Qs(kApplicationTitle), QString(), Qs(kSnapshotFilter));
  if (path.isEmpty()) return;
  QString folder = QCoreApplication::applicationDirPath();
  if (!folder.endsWith(u'/')) folder += u'/';
  std::string error;
  if (!session_->StartSnapshotLoad(path.toStdString(), folder.toStdString(), error) && !error.empty()) {
    prompter_.Inform(this, Qs(error), Prompter::Icon::kStop);
  }
}

void CMainFrame::OnSaveSnapshot() {
  if (session_->Busy()) return Refuse(kPleaseWait);
  const QString path = prompter_.SaveFileName(this, Qs(kApplicationTitle), Qs(kSnapshotFilter), Qs(kSnapshotExtension));
  if (path.isEmpty()) return;
  std::string message;
  session_->SaveSnapshot(path.toStdString(), message);
  prompter_.Inform(this, Qs(message), Prompter::Icon::kInformation);
}

QString CMainFrame::HelpPagePath() {
  const QString name = QStringLiteral("quillstone-help.html");
  const QString dir = QCoreApplication::applicationDirPath();
  for (const QString& candidate :
       {dir + u'/' + name, dir + QStringLiteral("/../share/quillstone/") + name,
        dir + QStringLiteral("/../share/doc/quillstone/") + name}) {
    if (QFileInfo(candidate).isFile()) return QFileInfo(candidate).canonicalFilePath();
  }
  return {};
}

void CMainFrame::OnHelp() {
  if (session_->Busy()) return Refuse(kPleaseStop);
  const QString page = HelpPagePath();
  if (!page.isEmpty()) QDesktopServices::openUrl(QUrl::fromLocalFile(page));
}

void CMainFrame::OnAbout() {
  if (session_->Busy()) return Refuse(kPleaseStop);
  CVelmoraAboutDlg about(this);
  about.exec();
}

void CMainFrame::OnPreviousRecords() {
  if (session_->Busy()) return Refuse(kPleaseWait);
  session_->StartPreviousPage([this] { emit workFinished(); });
}

void CMainFrame::OnNextRecords() {
  if (session_->Busy()) return Refuse(kPleaseWait);
  session_->StartNextPage([this] { emit workFinished(); });
}

void CMainFrame::BeginSelection(const QString& item_text) {
  panel_->ResetColumns({});
  panel_->pageLabel()->clear();
  panel_->statusLabel()->clear();
  caption_->setText(item_text);
  session_->AddLine(SelectionWaitLine(item_text.toStdString()));
  panel_->ShowProgressPanel(true);
  panel_->progressBar()->setValue(0);
}

void CMainFrame::OnObjectLabelClicked(quint64 item) {
  if (session_->Busy()) {
    objectTree_->SelectHandle(lastObjectItem_);
    objectTree_->viewport()->update();
    return Refuse(kPleaseWait);
  }
  lastObjectItem_ = item;
  BeginSelection(Qs(objectTree_->RawText(item)));
  session_->StartObjectSelection([this] { emit workFinished(); });
}

void CMainFrame::OnFolderLabelClicked(quint64 item) {
  if (session_->Busy()) {
    documentTree_->SelectHandle(lastFolderItem_);
    documentTree_->viewport()->update();
    return Refuse(kPleaseWait);
  }
  lastFolderItem_ = item;
  BeginSelection(Qs(documentTree_->RawText(item)));
  session_->StartFolderListing([this] { emit workFinished(); });
}

void CMainFrame::ApplyFilter(const QString& text) {
  // Shows the items whose text holds the filter, with their ancestors.
  std::function<bool(QTreeWidgetItem*)> filter = [&](QTreeWidgetItem* item) {
    bool shown = text.isEmpty() || item->text(0).contains(text, Qt::CaseInsensitive);
    bool child_shown = false;
    for (int i = 0; i < item->childCount(); ++i) child_shown |= filter(item->child(i));
    item->setHidden(!(shown || child_shown));
    return shown || child_shown;
  };
  for (CXHtmlTree* tree : {objectTree_, documentTree_}) {
    for (int i = 0; i < tree->topLevelItemCount(); ++i) filter(tree->topLevelItem(i));
  }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (session_->ProcessRunning()) {
    Refuse(kPleaseStopToClose);
    event->ignore();
    return;
  }
  if (!prompter_.AskYesNo(this, Qs(kConfirmClose), Prompter::Icon::kQuestion)) {
    event->ignore();
    return;
  }
  settings_.setValue(QStringLiteral("Window/Geometry"), saveGeometry());
  settings_.setValue(QStringLiteral("Window/State"), saveState());
  settings_.sync();
  const bool worker_alive = session_->Busy();
  session_->Release();
  const std::string& log_path = state_.logFilePath;
  if (!log_path.empty() && QFileInfo(Qs(log_path)).isFile()) {
    Refuse((std::string(kLogFilePath) + log_path).c_str());
  }
  event->accept();
  // A stopped worker that has not ended yet is not waited for.
  if (worker_alive) std::_Exit(0);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  OpenWith(DefaultChoice(urls.first().toLocalFile()));
}

}  // namespace quill::ui
