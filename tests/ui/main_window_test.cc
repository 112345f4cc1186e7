// The desktop application's main window on generated databases: the start
// state and the ribbon, the file dialog's checks, a scan's output lines and
// log, the record list's display pages, scripts of views and keys, the
// document list of a folder, Save Records, the running rule with its
// refusals, Stop during a scan, and the single instance.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "catalog/object_tree.h"
#include "scan/scan_completion.h"
#include "scan/scan_driver.h"
#include "scan/table_listing.h"
#include "sharepoint/document_list.h"
#include "sharepoint/sharepoint_content.h"
#include "support/module_database.h"
#include "support/paged_database.h"
#include "ui/app_texts.h"
#include "ui/file_setting_dialog.h"
#include "ui/html_tree.h"
#include "ui/main_window.h"
#include "ui/single_instance.h"
#include "ui/tree_widget_control.h"
#include "scripted_prompter.h"

using namespace quill;
using namespace quill::ui;
using quill::ui::testing::ScriptedPrompter;

namespace {

constexpr int kWorkTimeoutMs = 60000;

QString Qs(const char* text) { return QString::fromUtf8(text); }

// The pane lines of a UTF-16LE log file with a byte-order mark.
QStringList LogLines(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  if (bytes.size() < 2 || static_cast<uint8_t>(bytes[0]) != 0xFF || static_cast<uint8_t>(bytes[1]) != 0xFE) return {};
  const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
  return text.split(QStringLiteral("\r\n"));
}

// The item of `tree` whose stored text is `text` under the item `parent_text`
// (any parent when empty); 0 when there is none.
uint64_t FindItem(CXHtmlTree* tree, const QString& text, const QString& parent_text = QString()) {
  QTreeWidgetItemIterator it(tree);
  for (; *it; ++it) {
    const uint64_t handle = tree->HandleOf(*it);
    if (QString::fromStdString(tree->RawText(handle)) != text) continue;
    const QTreeWidgetItem* parent = (*it)->parent();
    if (parent_text.isEmpty() || (parent && QString::fromStdString(tree->RawText(tree->HandleOf(parent))) == parent_text)) {
      return handle;
    }
  }
  return 0;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();

  void startsWithTheRibbonPanesAndFirstLine();
  void fileDialogChecksBothPaths();
  void fileDialogOptionsAndCollation();
  void scanWritesOutputLinesAndLog();
  void pagesTablesAroundThePageSize_data();
  void pagesTablesAroundThePageSize();
  void busyRefusesCommandsAndRestoresSelection();
  void stopDuringScanEndsItAndAllowsTheNextOne();
  void viewDefinitionAndKeyScriptInScriptBox();
  void folderSelectionListsItsDocuments();
  void saveRecordsWritesEveryRow();
  void saveWritesCheckedTables();
  void saveWritesCheckedDocuments();
  void snapshotSaveAndLoad();
  void closingRules();
  void entitiesAndCheckBoxes();
  void secondInstanceIsRefused();

 private:
  bool Scan(const QString& path, int option = 1);
  bool WaitIdle();
  bool Click(uint64_t item, bool documents = false);
  void SelectTable(const QString& name);

  QTemporaryDir dir_;
  QString pagedPath_;
  QString shopPath_;
  std::unique_ptr<QSettings> settings_;
  std::unique_ptr<ApplicationState> state_;
  std::unique_ptr<ScriptedPrompter> prompter_;
  std::unique_ptr<CMainFrame> window_;
};

void MainWindowTest::initTestCase() {
  QVERIFY(dir_.isValid());
  pagedPath_ = dir_.filePath(QStringLiteral("paged.mdf"));
  QVERIFY(fixture::BuildCatalogDatabase(quill::testing::PagedTables({999, 1000, 1001, 2500}))
              .WriteTo(pagedPath_.toStdString()));
  shopPath_ = dir_.filePath(QStringLiteral("shop.mdf"));
  QVERIFY(fixture::BuildCatalogDatabase(quill::testing::ShopWithModules(fixture::CatalogLayout::kSql2005Plus))
              .WriteTo(shopPath_.toStdString()));
}

void MainWindowTest::init() {
  settings_ = std::make_unique<QSettings>(dir_.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
  state_ = std::make_unique<ApplicationState>();
  prompter_ = std::make_unique<ScriptedPrompter>();
  window_ = std::make_unique<CMainFrame>(*state_, *prompter_, *settings_);
  window_->session().LoadCollationTable({QUILLSTONE_COLLATION_TABLE});
  window_->resize(1000, 700);
  window_->show();
}

void MainWindowTest::cleanup() {
  WaitIdle();
  window_.reset();
  prompter_.reset();
  state_.reset();
  settings_.reset();
}

// Runs the event loop until no work runs. The loop wakes for every queued
// call of a worker (QTest::qWaitFor would sleep between its turns, and a
// worker that waits for the window on every row would wait with it).
bool MainWindowTest::WaitIdle() {
  QElapsedTimer waited;
  waited.start();
  while (window_->session().Busy()) {
    if (waited.elapsed() > kWorkTimeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  return true;
}

bool MainWindowTest::Scan(const QString& path, int option) {
  ScanChoice choice = CMainFrame::DefaultChoice(path);
  choice.logFolder = (dir_.path() + u'/').toStdString();
  choice.recoveryOption = option;
  if (!window_->OpenWith(choice)) return false;
  return WaitIdle();
}

bool MainWindowTest::Click(uint64_t item, bool documents) {
  CXHtmlTree* tree = documents ? window_->documentTree() : window_->objectTree();
  tree->SelectHandle(item);
  if (documents) window_->OnFolderLabelClicked(item);
  else window_->OnObjectLabelClicked(item);
  return WaitIdle();
}

void MainWindowTest::SelectTable(const QString& name) {
  const uint64_t item = FindItem(window_->objectTree(), name, QStringLiteral("User Tables"));
  QVERIFY2(item != 0, qPrintable(name));
  QVERIFY(Click(item));
}

void MainWindowTest::startsWithTheRibbonPanesAndFirstLine() {
  QCOMPARE(window_->outputPane()->Lines(), QStringList{QStringLiteral("application starts")});
  QCOMPARE(window_->session().log().outputLineCount(), 1);
  QCOMPARE(window_->captionBar()->text(), Qs(kCaptionBarStart));
  QCOMPARE(window_->windowTitle(), Qs(kApplicationTitle));

  auto* ribbon = window_->findChild<QTabWidget*>(QStringLiteral("ribbon"));
  QVERIFY(ribbon);
  QCOMPARE(ribbon->count(), 1);
  QCOMPARE(ribbon->tabText(0), QStringLiteral("Quillstone"));
  struct Button {
    int id;
    const char* label;
    const char* tooltip;
  };
  const Button buttons[] = {
      {313, "Open", "Open Database file"},          {314, "Stop", "Stop running process"},
      {315, "Save", "Save recovered data"},          {341, "Save Records", "Save table records in CSV"},
      {342, "Load", "Load Snapshot"},                {343, "Save", "Save Snapshot"},
      {319, "Help", "Help for Velmora Quillstone"}, {320, "About", "About Velmora Quillstone"},
  };
  for (const Button& b : buttons) {
    auto* button = ribbon->findChild<QToolButton*>(QStringLiteral("button_%1").arg(b.id));
    QVERIFY2(button, qPrintable(QString::number(b.id)));
    QCOMPARE(button->text(), Qs(b.label));
    QCOMPARE(button->toolTip(), Qs(b.tooltip));
  }
  for (const char* panel : {"Table Records", "Recovery SnapShot", "About"}) {
    QVERIFY2(ribbon->findChild<QFrame*>(QStringLiteral("panel_%1").arg(Qs(panel))), panel);
  }
  QVERIFY(!window_->command(kCmdStop)->isEnabled());
  for (int id = 210; id <= 218; ++id) QVERIFY(window_->command(id)->isCheckable());

  const auto docks = window_->findChildren<QDockWidget*>();
  QStringList titles;
  for (const QDockWidget* dock : docks) titles << dock->windowTitle();
  QVERIFY(titles.contains(QStringLiteral("Sharepoint Database Objects")));
  QVERIFY(titles.contains(QStringLiteral("Output")));
  QCOMPARE(window_->dockWidgetArea(window_->findChild<QDockWidget*>(QStringLiteral("treePane"))), Qt::LeftDockWidgetArea);
  QCOMPARE(window_->dockWidgetArea(window_->findChild<QDockWidget*>(QStringLiteral("outputPane"))), Qt::BottomDockWidgetArea);
  QCOMPARE(window_->findChild<QLabel*>(QStringLiteral("id_121"))->text(), Qs(kApplicationTitle));
  QCOMPARE(window_->recordPanel()->pageLabel()->text(), QStringLiteral("page"));
  QVERIFY(window_->documentTree()->isHidden());

  // A visual style is kept under ApplicationLook.
  window_->ApplyLook(214);
  QCOMPARE(settings_->value(QStringLiteral("ApplicationLook")).toInt(), 214);
  QVERIFY(window_->command(214)->isChecked());
}

void MainWindowTest::fileDialogChecksBothPaths() {
  CVelmoraFileSettingDlg dialog(*prompter_, window_->session().Collations(), window_.get());
  QCOMPARE(dialog.windowTitle(), Qs(kApplicationTitle));

  // Nothing chosen, a path without .MDF, a missing .mdf file.
  QFile other(dir_.filePath(QStringLiteral("notes.txt")));
  QVERIFY(other.open(QIODevice::WriteOnly));
  other.close();
  for (const QString& path : {QString(), other.fileName(), dir_.filePath(QStringLiteral("missing.mdf"))}) {
    prompter_->boxes.clear();
    dialog.SetDataFilePath(path);
    dialog.accept();
    QCOMPARE(prompter_->texts(), QStringList{Qs(kInvalidSqlFilePath)});
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
  }

  // ".mdf.bak" passes: the test looks for the text anywhere, in upper case.
  const QString backup = dir_.filePath(QStringLiteral("copy.MdF.bak"));
  QVERIFY(QFile::copy(pagedPath_, backup));
  dialog.SetDataFilePath(backup);
  dialog.SetLogFolder(dir_.filePath(QStringLiteral("no-such-folder")));
  prompter_->boxes.clear();
  dialog.accept();
  QCOMPARE(prompter_->texts(), QStringList{Qs(kInvalidLogFilePath)});

  // A log folder without a trailing separator gets one.
  dialog.SetLogFolder(dir_.path());
  prompter_->boxes.clear();
  dialog.accept();
  QVERIFY(prompter_->boxes.empty());
  QCOMPARE(dialog.result(), int(QDialog::Accepted));
  QCOMPARE(QString::fromStdString(dialog.choice().logFolder), dir_.path() + u'/');
  QCOMPARE(QString::fromStdString(dialog.choice().path), backup);

  // The "..." box: a chosen file that does not exist is refused.
  prompter_->boxes.clear();
  prompter_->paths = {dir_.filePath(QStringLiteral("gone.mdf"))};
  qobject_cast<QPushButton*>(dialog.Control(1001))->click();
  QCOMPARE(prompter_->texts(), QStringList{Qs(kInvalidMdfFile)});
  QCOMPARE(prompter_->filters.last(), Qs(kMdfFilter));
}

void MainWindowTest::fileDialogOptionsAndCollation() {
  state_->autoDetectCollation = false;
  CVelmoraFileSettingDlg dialog(*prompter_, window_->session().Collations(), window_.get());
  QVERIFY2(state_->autoDetectCollation, "opening selects Auto detect");
  auto* description = qobject_cast<QLineEdit*>(dialog.Control(1325));
  QCOMPARE(description->text(), Qs(kCompletedRecoveryDescription));
  qobject_cast<QRadioButton*>(dialog.Control(1017))->click();
  QCOMPARE(description->text(), Qs(kDocumentRecoveryDescription));
  QVERIFY(!qobject_cast<QRadioButton*>(dialog.Control(1015))->isChecked());

  auto* mode = qobject_cast<QComboBox*>(dialog.Control(1046));
  QCOMPARE(mode->count(), 2);
  QCOMPARE(mode->itemText(0), Qs(kStandardMode));
  QCOMPARE(mode->itemText(1), Qs(kAdvancedMode));
  QCOMPARE(qobject_cast<QLineEdit*>(dialog.Control(1010))->text(), CVelmoraFileSettingDlg::DesktopFolder());
  QVERIFY(dialog.Control(1052)->isHidden());
  for (int id : {1008, 1009, 1033}) QVERIFY(!qobject_cast<QCheckBox*>(dialog.Control(id))->isChecked());

  // Collations in ascending id order; Manual enables the list and writes
  // the choice at once, even when the dialog is then cancelled.
  auto* collations = qobject_cast<QComboBox*>(dialog.Control(1014));
  QVERIFY(collations->count() > 1);
  QVERIFY(!collations->isEnabled());
  qobject_cast<QRadioButton*>(dialog.Control(1013))->click();
  QVERIFY(collations->isEnabled());
  QVERIFY(!state_->autoDetectCollation);
  collations->setCurrentIndex(1);
  emit collations->activated(1);
  QCOMPARE(state_->manualCollationId, collations->itemData(1).value<qint64>());
  QCOMPARE(collations->itemText(1).toStdString(), state_->collationTable.at(state_->manualCollationId).name);
  dialog.reject();
  QVERIFY(!state_->autoDetectCollation);

  // OK writes the options.
  CVelmoraFileSettingDlg again(*prompter_, window_->session().Collations(), window_.get());
  again.SetDataFilePath(pagedPath_);
  qobject_cast<QComboBox*>(again.Control(1046))->setCurrentIndex(1);
  qobject_cast<QCheckBox*>(again.Control(1009))->setChecked(true);
  qobject_cast<QRadioButton*>(again.Control(1017))->click();
  again.accept();
  QCOMPARE(again.choice().recoveryMode, 2);
  QCOMPARE(again.choice().recoveryOption, 2);
  QVERIFY(again.choice().showDeletedRecords);
  QVERIFY(!again.choice().isSql2000);
}

void MainWindowTest::scanWritesOutputLinesAndLog() {
  QVERIFY(Scan(pagedPath_));
  const QStringList lines = window_->outputPane()->Lines();
  QCOMPARE(lines.value(0), QStringLiteral("application starts"));
  QCOMPARE(lines.value(1), pagedPath_ + Qs(kFileSelected));
  QCOMPARE(lines.value(2), Qs(kBrowseFilePath) + pagedPath_);
  QCOMPARE(lines.value(3), Qs(kStandardModeSelected));
  QCOMPARE(lines.value(4), Qs(kScanningStarts));
  QVERIFY(lines.contains(Qs(kScanCompletedLine)));
  QVERIFY(std::any_of(lines.begin(), lines.end(), [](const QString& l) { return l.startsWith(Qs(kDatabaseVersion)); }));
  QCOMPARE(prompter_->texts().last(), Qs(kScanCompletedBox));
  QCOMPARE(window_->captionBar()->text(), Qs(kScanCompletedCaption));
  QVERIFY(window_->recordPanel()->progressPanel()->isHidden());
  QCOMPARE(window_->session().log().outputLineCount(), lines.size());

  // The log holds the separator and then every pane line after the first,
  // in order ("Browse File Path:" is written twice, as the log always had it).
  const QString log = QString::fromStdString(state_->logFilePath);
  QVERIFY(log.startsWith(dir_.path() + QStringLiteral("/VelmoraSharepointDatabaseRec_log_")));
  QStringList logged = LogLines(log);
  QVERIFY(!logged.isEmpty());
  QCOMPARE(logged.value(0), QString());
  QCOMPARE(logged.value(1), QString(80, u'*'));
  logged = logged.mid(2);
  logged.removeOne(Qs(kBrowseFilePath) + pagedPath_);
  logged.removeAll(QString());  // the line ends written after the tree's lines
  QStringList shown = lines.mid(1);
  shown.removeAll(QString());
  QCOMPARE(logged, shown);

  // The object tree: root, categories and the tables.
  QVERIFY(FindItem(window_->objectTree(), QStringLiteral("T2500"), QStringLiteral("User Tables")) != 0);
  QVERIFY(window_->objectTree()->isVisibleTo(window_.get()));
}

void MainWindowTest::pagesTablesAroundThePageSize_data() {
  QTest::addColumn<int>("rows");
  QTest::addColumn<QStringList>("labels");
  QTest::newRow("999") << 999 << QStringList{QStringLiteral("Page1 - [999](1-999) Records")};
  QTest::newRow("1000") << 1000 << QStringList{QStringLiteral("Page1 - [1000](1-1000) Records")};
  QTest::newRow("1001") << 1001
                        << QStringList{QStringLiteral("Page1 - [1000](1-1000) Records"),
                                       QStringLiteral("Page2 - [1](1001-1001) Records")};
  QTest::newRow("2500") << 2500
                        << QStringList{QStringLiteral("Page1 - [1000](1-1000) Records"),
                                       QStringLiteral("Page2 - [1000](1001-2000) Records"),
                                       QStringLiteral("Page3 - [500](2001-2500) Records")};
}

void MainWindowTest::pagesTablesAroundThePageSize() {
  QFETCH(int, rows);
  QFETCH(QStringList, labels);
  QVERIFY(Scan(pagedPath_));
  const QString name = QStringLiteral("T%1").arg(rows);
  SelectTable(name);
  CVelmoraStatic* panel = window_->recordPanel();
  QTableWidget* list = panel->list();
  QVERIFY(list->isVisibleTo(panel));
  QVERIFY(panel->scriptBox()->isHidden());
  QCOMPARE(list->columnCount(), 2);
  QCOMPARE(list->horizontalHeaderItem(0)->text(), QStringLiteral("Id"));
  QCOMPARE(list->horizontalHeaderItem(1)->text(), QStringLiteral("Name"));
  QCOMPARE(panel->pageLabel()->text(), labels[0]);
  QCOMPARE(list->item(0, 0)->text(), QStringLiteral("1"));
  QCOMPARE(list->item(0, 1)->text(), QStringLiteral("row 1"));
  QCOMPARE(window_->captionBar()->text(), QStringLiteral("%1[%2]").arg(name).arg(list->rowCount()));
  QVERIFY(!panel->previousLink()->isEnabled());
  QCOMPARE(panel->nextLink()->isEnabled(), labels.size() > 1);
  QStringList lines = window_->outputPane()->Lines();
  QCOMPARE(lines.last(), Qs(kScanningProcessCompleted));
  QCOMPARE(lines[lines.size() - 2], labels[0]);
  QCOMPARE(lines[lines.size() - 3], QStringLiteral("0 rows to %1").arg(list->rowCount()));
  // The waiting line shows the running count in the pane only.
  QCOMPARE(lines[lines.size() - 4], QStringLiteral(" row %1 inserted").arg(list->rowCount()));
  QVERIFY(LogLines(QString::fromStdString(state_->logFilePath)).contains(QStringLiteral("Please wait while %1 folder is scanning.").arg(name)));

  for (int page = 1; page < labels.size(); ++page) {
    panel->nextLink()->click();
    QVERIFY(WaitIdle());
    QCOMPARE(panel->pageLabel()->text(), labels[page]);
    QCOMPARE(list->item(0, 0)->text(), QString::number(page * 1000 + 1));
    QVERIFY(panel->previousLink()->isEnabled());
    QCOMPARE(panel->nextLink()->isEnabled(), page + 1 < labels.size());
    QCOMPARE(window_->outputPane()->Lines().last(), labels[page]);
  }
  for (int page = static_cast<int>(labels.size()) - 2; page >= 0; --page) {
    window_->OnPreviousRecords();
    QVERIFY(WaitIdle());
    QCOMPARE(panel->pageLabel()->text(), labels[page]);
    QCOMPARE(list->rowCount(), 1000);
    QCOMPARE(list->item(0, 0)->text(), QString::number(page * 1000 + 1));
    QVERIFY(panel->nextLink()->isEnabled());
    QCOMPARE(panel->previousLink()->isEnabled(), page > 0);
  }
  QVERIFY(prompter_->texts().count(Qs(kPleaseWait)) == 0);
}

void MainWindowTest::busyRefusesCommandsAndRestoresSelection() {
  QVERIFY(Scan(pagedPath_));
  SelectTable(QStringLiteral("T999"));
  const uint64_t shown = window_->objectTree()->SelectedHandle();
  const uint64_t big = FindItem(window_->objectTree(), QStringLiteral("T2500"), QStringLiteral("User Tables"));
  const uint64_t other = FindItem(window_->objectTree(), QStringLiteral("T1000"), QStringLiteral("User Tables"));
  window_->objectTree()->SelectHandle(big);
  window_->OnObjectLabelClicked(big);
  QVERIFY(window_->session().Busy());
  QVERIFY(window_->command(kCmdStop)->isEnabled() || window_->session().ProcessRunning());

  // The worker needs the window thread for every row, so it is certainly
  // still running while these commands are refused.
  prompter_->boxes.clear();
  window_->objectTree()->SelectHandle(other);
  window_->OnObjectLabelClicked(other);
  QCOMPARE(window_->objectTree()->SelectedHandle(), big);
  window_->OnOpen();
  window_->OnNextRecords();
  window_->OnSaveRecords();
  window_->OnSaveSnapshot();
  window_->OnLoadSnapshot();
  window_->OnSave();
  window_->OnHelp();
  window_->OnAbout();
  window_->close();
  const QString wait = Qs(kPleaseWait);
  const QString stop = Qs(kPleaseStop);
  QCOMPARE(prompter_->texts(),
           (QStringList{wait, wait, wait, wait, wait, wait, wait, stop, stop, Qs(kPleaseStopToClose)}));
  QVERIFY(window_->isVisible());
  QVERIFY(WaitIdle());
  QCOMPARE(window_->recordPanel()->pageLabel()->text(), QStringLiteral("Page1 - [1000](1-1000) Records"));
  Q_UNUSED(shown);

  // The same item again only clears the running flag.
  const int lines = window_->outputPane()->count();
  window_->OnObjectLabelClicked(big);
  QVERIFY(WaitIdle());
  QCOMPARE(window_->outputPane()->count(), lines + 1);  // the waiting line only
}

void MainWindowTest::stopDuringScanEndsItAndAllowsTheNextOne() {
  ScanChoice choice = CMainFrame::DefaultChoice(pagedPath_);
  choice.logFolder = (dir_.path() + u'/').toStdString();
  QVERIFY(window_->OpenWith(choice));
  prompter_->yes = false;
  window_->OnStop();
  QVERIFY2(window_->session().ProcessRunning(), "No leaves the run going");
  prompter_->yes = true;
  window_->OnStop();
  QCOMPARE(prompter_->texts().count(Qs(kConfirmStop)), 2);
  QVERIFY(!window_->session().ProcessRunning());
  // The stopped worker has not ended yet (its end is seen on this thread
  // only): new work stays refused, without waiting for it.
  QVERIFY(window_->session().scanActive());
  prompter_->boxes.clear();
  QVERIFY(!window_->OpenWith(choice));
  window_->OnOpen();
  QCOMPARE(prompter_->texts(), (QStringList{Qs(kPleaseWait), Qs(kPleaseWait)}));
  QVERIFY(WaitIdle());
  // The next scan runs to its end.
  prompter_->boxes.clear();
  QVERIFY(Scan(pagedPath_));
  QCOMPARE(prompter_->texts().last(), Qs(kScanCompletedBox));
  SelectTable(QStringLiteral("T1001"));
  QCOMPARE(window_->recordPanel()->pageLabel()->text(), QStringLiteral("Page1 - [1000](1-1000) Records"));
}

void MainWindowTest::viewDefinitionAndKeyScriptInScriptBox() {
  QVERIFY(Scan(shopPath_));
  CXHtmlTree* tree = window_->objectTree();
  const uint64_t view = FindItem(tree, QStringLiteral("OrderView"), QStringLiteral("Views"));
  QVERIFY(view != 0);
  QVERIFY(Click(view));
  QTextEdit* script = window_->recordPanel()->scriptBox();
  QVERIFY(script->isVisibleTo(window_->recordPanel()));
  QVERIFY(window_->recordPanel()->list()->isHidden());
  QCOMPARE(script->toPlainText(), QString::fromUtf8(quill::testing::kOrderViewText).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  QCOMPARE(window_->recordPanel()->pageLabel()->text(), QStringLiteral("Page1 - [0](0-0) Records"));

  // The table's first selection adds its key nodes; the key shows its script.
  SelectTable(QStringLiteral("Customers"));
  QVERIFY(FindItem(tree, QStringLiteral("PrimaryKey"), QStringLiteral("Customers")) != 0);
  const uint64_t key = FindItem(tree, QStringLiteral("PK_Customers"), QStringLiteral("PrimaryKey"));
  QVERIFY(key != 0);
  QVERIFY(Click(key));
  QCOMPARE(script->toPlainText(), QStringLiteral("ALTER TABLE [dbo].[Customers] ADD PRIMARY KEY ( [Code] , [Id])"));
  // Selecting the table again adds nothing.
  SelectTable(QStringLiteral("Customers"));
  int key_nodes = 0;
  QTreeWidgetItemIterator it(tree);
  for (; *it; ++it) key_nodes += (*it)->text(0) == QStringLiteral("PrimaryKey");
  QCOMPARE(key_nodes, 1);
}

void MainWindowTest::folderSelectionListsItsDocuments() {
  QVERIFY(QFileInfo::exists(QStringLiteral(QUILLSTONE_DEMO_DATABASE)));
  QVERIFY(Scan(QStringLiteral(QUILLSTONE_DEMO_DATABASE), 2));
  CXHtmlTree* tree = window_->documentTree();
  QVERIFY(tree->isVisibleTo(window_.get()));
  QVERIFY(window_->objectTree()->isHidden());
  TreeWidgetControl control(*tree, {});
  // A folder item with documents directly under it.
  uint64_t folder = 0;
  std::vector<uint32_t> expected;
  QTreeWidgetItemIterator it(tree);
  for (; *it && folder == 0; ++it) {
    const uint64_t handle = tree->HandleOf(*it);
    expected = FolderDocumentIndexes(control, handle);
    if (!expected.empty()) folder = handle;
  }
  QVERIFY(folder != 0);
  QVERIFY(Click(folder, true));
  QTableWidget* list = window_->recordPanel()->list();
  QCOMPARE(list->columnCount(), 3);
  QCOMPARE(list->horizontalHeaderItem(0)->text(), QStringLiteral("File Name "));
  QCOMPARE(list->horizontalHeaderItem(1)->text(), QStringLiteral("Date Created "));
  QCOMPARE(list->horizontalHeaderItem(2)->text(), QStringLiteral("Date Modified "));
  QCOMPARE(list->columnWidth(0), 200);
  QCOMPARE(list->columnWidth(1), 150);
  QCOMPARE(list->rowCount(), static_cast<int>(expected.size()));
  QCOMPARE(list->item(0, 0)->data(Qt::UserRole).value<quint64>(), quint64(expected[0]));
  // The first file item under the folder shows the first row's name.
  QTreeWidgetItem* first_file = nullptr;
  for (int i = 0; i < tree->ItemOf(folder)->childCount() && !first_file; ++i) {
    QTreeWidgetItem* child = tree->ItemOf(folder)->child(i);
    if (((tree->Data(tree->HandleOf(child)) >> 32) & 0xFF) == 'F') first_file = child;
  }
  QVERIFY(first_file);
  QCOMPARE(list->item(0, 0)->text(), first_file->text(0));
  QVERIFY(window_->recordPanel()->pageLabel()->isHidden());
  QVERIFY(window_->recordPanel()->nextLink()->isHidden());
  QCOMPARE(window_->outputPane()->Lines().last(), Qs(kScanningProcessCompleted));

  // A root item has no tag: no columns.
  QVERIFY(Click(tree->HandleOf(tree->topLevelItem(0)), true));
  QCOMPARE(list->columnCount(), 0);
}

void MainWindowTest::saveRecordsWritesEveryRow() {
  prompter_->boxes.clear();
  window_->OnSaveRecords();
  QCOMPARE(prompter_->texts(), QStringList{Qs(kSelectDatabaseToScanRecords)});
  QVERIFY(Scan(pagedPath_));
  SelectTable(QStringLiteral("T2500"));
  const QString csv = dir_.filePath(QStringLiteral("T2500.csv"));
  prompter_->paths = {csv};
  window_->OnSaveRecords();
  QVERIFY(WaitIdle());
  QFile file(csv);
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = file.readAll().split('\n');
  QCOMPARE(lines.size(), 2502);  // header, 2500 rows, nothing after the last line end
  QCOMPARE(lines[0], QByteArray("Id,Name\r"));
  QCOMPARE(lines[1], QByteArray("1,row 1\r"));
  QCOMPARE(lines[2500], QByteArray("2500,row 2500\r"));
  QCOMPARE(window_->recordPanel()->list()->rowCount(), 1000);

  // Saving over the data file being read is refused and leaves it whole.
  QFile data(pagedPath_);
  QVERIFY(data.open(QIODevice::ReadOnly));
  const QByteArray bytes = data.readAll();
  data.close();
  prompter_->paths = {pagedPath_};
  window_->OnSaveRecords();
  QVERIFY(WaitIdle());
  QVERIFY(data.open(QIODevice::ReadOnly));
  QCOMPARE(data.readAll(), bytes);
}

// The one folder an export made in `parent`, named after the database.
static QString OnlyFolderIn(const QString& parent) {
  const QStringList folders = QDir(parent).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  return folders.size() == 1 ? QDir(parent).filePath(folders[0]) : QString();
}

void MainWindowTest::saveWritesCheckedTables() {
  QVERIFY(Scan(pagedPath_));
  CXHtmlTree* tree = window_->objectTree();
  const uint64_t table = FindItem(tree, QStringLiteral("T999"), QStringLiteral("User Tables"));
  tree->ItemOf(table)->setCheckState(0, Qt::Checked);
  QTemporaryDir out;
  prompter_->paths = {out.path()};
  window_->OnSave();
  QVERIFY(WaitIdle());
  const QString database = OnlyFolderIn(out.path());
  QVERIFY(!database.isEmpty());
  QCOMPARE(QDir(database).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
           QStringList{QStringLiteral("dbo.T999.csv")});
  QFile file(QDir(database).filePath(QStringLiteral("dbo.T999.csv")));
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(file.readAll().count('\n'), 1000);  // the header and 999 rows

  // Nothing checked: every user table, in the chosen format; an earlier
  // export in the same place is left alone and the new one numbered.
  tree->ItemOf(table)->setCheckState(0, Qt::Unchecked);
  prompter_->paths = {out.path()};
  prompter_->saveFormat = ExportFormat::kJsonLines;
  window_->OnSave();
  QVERIFY(WaitIdle());
  const QStringList folders = QDir(out.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  QCOMPARE(folders.size(), 2);
  QCOMPARE(folders[1], folders[0] + QStringLiteral(" (2)"));
  QCOMPARE(QDir(out.filePath(folders[1])).entryList(QDir::Files),
           (QStringList{QStringLiteral("dbo.T1000.jsonl"), QStringLiteral("dbo.T1001.jsonl"),
                        QStringLiteral("dbo.T2500.jsonl"), QStringLiteral("dbo.T999.jsonl")}));
  QVERIFY(QDir(database).entryList(QDir::Files).size() == 1);
  QVERIFY2(window_->outputPane()->Lines().last().startsWith(QStringLiteral("4 tables (5500 rows)")),
           qPrintable(window_->outputPane()->Lines().join(u'|')));
}

void MainWindowTest::saveWritesCheckedDocuments() {
  QVERIFY(Scan(QStringLiteral(QUILLSTONE_DEMO_DATABASE), 2));
  CXHtmlTree* tree = window_->documentTree();
  // Two file items checked: the export holds those two documents only.
  QStringList names;
  QTreeWidgetItemIterator it(tree);
  for (; *it && names.size() < 2; ++it) {
    if (((tree->Data(tree->HandleOf(*it)) >> 32) & 0xFF) != 'F') continue;
    (*it)->setCheckState(0, Qt::Checked);
    names << (*it)->text(0);
  }
  QCOMPARE(names.size(), 2);
  QTemporaryDir out;
  prompter_->paths = {out.path()};
  window_->OnSave();
  QVERIFY(WaitIdle());
  const QString database = OnlyFolderIn(out.path());
  QVERIFY(!database.isEmpty());
  QCOMPARE(QDir(database).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
           QStringList{QStringLiteral("documents")});
  QFile manifest(QDir(database).filePath(QStringLiteral("documents/manifest.csv")));
  QVERIFY(manifest.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = manifest.readAll().trimmed().split('\n');
  QCOMPARE(lines.size(), 3);  // the header and the two documents
  for (const QString& name : names) {
    QVERIFY2(lines[1].contains(name.toUtf8()) || lines[2].contains(name.toUtf8()), qPrintable(name));
  }
}

void MainWindowTest::snapshotSaveAndLoad() {
  // Before any scan there is nothing to save.
  const QString snapshot = dir_.filePath(QStringLiteral("paged"));
  prompter_->paths = {snapshot};
  window_->OnSaveSnapshot();
  QCOMPARE(prompter_->texts().last(), QStringLiteral("Snapshot cannot be saved."));
  QCOMPARE(prompter_->filters.last(), QStringLiteral(".VelmoraMDB Files (*.VLMSNP)"));

  QVERIFY(Scan(pagedPath_));
  prompter_->paths = {snapshot};
  window_->OnSaveSnapshot();
  const QString saved = snapshot + QStringLiteral(".VLMSNP");
  QCOMPARE(prompter_->texts().last(), QStringLiteral("Snapshot Saved successfully in path ") + saved);
  QStringList lines = window_->outputPane()->Lines();
  QCOMPARE(lines.mid(lines.size() - 2),
           (QStringList{QStringLiteral("Saving Snapshot..Please wait...."), prompter_->texts().last()}));
  QVERIFY(!LogLines(QString::fromStdString(state_->logFilePath)).contains(QStringLiteral("Saving Snapshot..Please wait....")));

  // Loading it scans the same database again, with its log beside the program.
  prompter_->boxes.clear();
  prompter_->paths = {saved};
  window_->OnLoadSnapshot();
  QVERIFY(WaitIdle());
  QCOMPARE(prompter_->texts().last(), Qs(kScanCompletedBox));
  lines = window_->outputPane()->Lines();
  QVERIFY(lines.contains(Qs(kBrowseFilePath) + pagedPath_));
  QVERIFY(FindItem(window_->objectTree(), QStringLiteral("T2500"), QStringLiteral("User Tables")) != 0);
  QCOMPARE(QString::fromStdString(state_->logFolder), QCoreApplication::applicationDirPath() + u'/');
  SelectTable(QStringLiteral("T1001"));
  QCOMPARE(window_->recordPanel()->pageLabel()->text(), QStringLiteral("Page1 - [1000](1-1000) Records"));

  // A damaged snapshot is refused with its reason and changes nothing.
  const QString damaged = dir_.filePath(QStringLiteral("damaged.VLMSNP"));
  QFile bad(damaged);
  QVERIFY(bad.open(QIODevice::WriteOnly));
  bad.write("\xff\xff\xff\x7f");
  bad.close();
  prompter_->boxes.clear();
  prompter_->paths = {damaged};
  window_->OnLoadSnapshot();
  QVERIFY(!window_->session().Busy());
  QCOMPARE(prompter_->boxes.size(), size_t(1));
  QVERIFY(prompter_->texts().last().startsWith(QStringLiteral("Snapshot cannot be loaded.")));
  QCOMPARE(prompter_->boxes.back().icon, Prompter::Icon::kStop);
}

void MainWindowTest::closingRules() {
  QVERIFY(Scan(pagedPath_));
  prompter_->boxes.clear();
  prompter_->yes = false;
  QVERIFY(!window_->close());
  QCOMPARE(prompter_->texts(), QStringList{Qs(kConfirmClose)});
  QCOMPARE(prompter_->boxes[0].icon, Prompter::Icon::kQuestion);

  prompter_->boxes.clear();
  prompter_->yes = true;
  QVERIFY(window_->close());
  QCOMPARE(prompter_->texts(),
           (QStringList{Qs(kConfirmClose), Qs(kLogFilePath) + QString::fromStdString(state_->logFilePath)}));
  QVERIFY2(!window_->session().HasScanResults(), "the database objects are released");
}

void MainWindowTest::entitiesAndCheckBoxes() {
  QCOMPARE(DecodeCharacterEntities(QStringLiteral("a &amp; b &copy;2024 &lt;x&gt; &euro;5 &unknown; &amp")),
           QStringLiteral("a & b \u00A92024 <x> \u20AC5 &unknown; &amp"));
  QCOMPARE(DecodeCharacterEntities(QStringLiteral("&trade;&times;&sup2;&sup1;&sect;&reg;&quot;&pound;&plusmn;&para;"
                                                  "&nbsp;&middot;&micro;&iquest;&frac14;&frac12;&deg;&cent;&bull;")),
           QStringLiteral("\u2122\u00D7\u00B2\u00B9\u00A7\u00AE\"\u00A3\u00B1\u00B6\u00A0\u00B7\u00B5\u00BF\u00BC\u00BD"
                          "\u00B0\u00A2\u2022"));
  CXHtmlTree tree;
  const uint64_t root = tree.InsertItem(0, "Sales &amp; Stock", QIcon(), false);
  const uint64_t a = tree.InsertItem(root, "a", QIcon(), false);
  tree.InsertItem(root, "b", QIcon(), false);
  QCOMPARE(tree.ItemOf(root)->text(0), QStringLiteral("Sales & Stock"));
  QCOMPARE(tree.RawText(root), std::string("Sales &amp; Stock"));
  tree.ItemOf(a)->setCheckState(0, Qt::Checked);
  QCOMPARE(tree.ItemOf(root)->checkState(0), Qt::PartiallyChecked);
  tree.ItemOf(root)->setCheckState(0, Qt::Checked);
  QCOMPARE(tree.CheckedHandles().size(), 3);
  tree.ItemOf(root)->setCheckState(0, Qt::Unchecked);

  // A label click selects the item and tells the window; a check box
  // click does not.
  tree.resize(300, 200);
  tree.show();
  QVERIFY(QTest::qWaitForWindowExposed(&tree));
  QSignalSpy clicked(&tree, &CXHtmlTree::labelClicked);
  const QRect rect = tree.visualItemRect(tree.ItemOf(root));
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(rect.right() - 5, rect.center().y()));
  QCOMPARE(clicked.count(), 1);
  QCOMPARE(clicked[0][0].value<quint64>(), root);
  QCOMPARE(tree.SelectedHandle(), root);
  // The space bar toggles the selected item's check box.
  tree.setFocus();
  QTest::keyClick(tree.viewport(), Qt::Key_Space);
  QCOMPARE(tree.ItemOf(root)->checkState(0), Qt::Checked);
  QCOMPARE(tree.ItemOf(a)->checkState(0), Qt::Checked);
}

void MainWindowTest::secondInstanceIsRefused() {
  QTemporaryDir runtime;
  SingleInstance first(runtime.path());
  QVERIFY(first.acquired());
  SingleInstance second(runtime.path());
  QVERIFY(!second.acquired());
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
