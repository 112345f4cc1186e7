#include "ui/engine_session.h"

#include <algorithm>
#include <set>
#include <thread>

#include "catalog/catalog_context.h"
#include "catalog/object_tree.h"
#include "catalog/selected_object_text.h"
#include "common/printf_text.h"
#include "export/database_export.h"
#include "export/document_export_step.h"
#include "export/document_extractor.h"
#include "export/module_files_step.h"
#include "export/output_folder.h"
#include "export/table_file_export.h"
#include "export/table_source.h"
#include "pages/collation_table.h"
#include "scan/scan_completion.h"
#include "scan/snapshot_loader.h"
#include "scan/snapshot_writer.h"
#include "sharepoint/document_list.h"
#include "sharepoint/sharepoint_entries.h"
#include "ui/window_thread.h"

namespace quill::ui {

namespace {

constexpr char kUserTables[] = "User Tables";
constexpr char kSystemTables[] = "System Tables";

}  // namespace

EngineSession::EngineSession(ApplicationState& state, ScanUi& ui, RecordView& view, QObject* window)
    : state_(state),
      ui_(ui),
      view_(view),
      window_(window),
      driver_(state, ui, log_, [this](ScanContext& context) { return CompleteScan(context, state_, ui_, log_); }),
      runner_(state, [window](std::function<void()> call) { PostToWindowThread(window, std::move(call)); }) {}

EngineSession::~EngineSession() = default;

bool EngineSession::Busy() const {
  return state_.processRunning.load() || scanActive_ || runner_.active();
}

void EngineSession::Stop() { driver_.StopScan(); }

void EngineSession::AddLine(const std::string& text) { AddOutputLine(ui_, log_, text); }

void EngineSession::AddStartLine(const std::string& text) { ui_.OutputLine(log_.TakeOutputLine(), text); }

CollationChoices EngineSession::Collations() {
  CollationChoices choices;
  for (const auto& [id, entry] : state_.collationTable) choices.collations.emplace_back(entry.name, id);
  choices.setAutoDetect = [this](bool automatic) { state_.autoDetectCollation = automatic; };
  choices.setManualId = [this](int64_t id) { state_.manualCollationId = id; };
  return choices;
}

bool EngineSession::LoadCollationTable(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    state_.collationTable = quill::LoadCollationTable(path);
    if (!state_.collationTable.empty()) return true;
  }
  return false;
}

bool EngineSession::StartScan(const ScanChoice& choice) {
  if (Busy()) return false;
  state_.logFolder = choice.logFolder;
  state_.recoveryMode = choice.recoveryMode == 2 ? RecoveryMode::kAdvanced : RecoveryMode::kStandard;
  state_.recoveryOption = choice.recoveryOption == 2 ? RecoveryOption::kDocument : RecoveryOption::kCompletedDatabase;
  state_.isSql2000 = choice.isSql2000;
  state_.showDeletedRecords = choice.showDeletedRecords;
  state_.showAdvancedDeletedRecords = choice.showAdvancedDeletedRecords;
  listing_.Clear();
  listedTable_.clear();
  moduleValues_.Reset();
  lastHandledObject_ = kNoTreeItem;
  scanError_ = false;
  if (!driver_.StartScan(choice.path)) return false;
  scanActive_ = true;
  return true;
}

bool EngineSession::StartSnapshotLoad(const std::string& path, const std::string& log_folder, std::string& error) {
  if (Busy()) return false;
  auto opened = std::make_unique<OpenedSnapshot>(OpenSnapshot(path));
  if (!opened->status.ok()) {
    error = opened->status.Text();
    return false;
  }
  state_.logFolder = log_folder;
  OpenRunLog(log_, kSnapshotLogPrefix, log_folder);
  ApplySnapshotHeader(opened->header, state_);
  listing_.Clear();
  listedTable_.clear();
  moduleValues_.Reset();
  lastHandledObject_ = kNoTreeItem;
  scanError_ = false;
  snapshot_ = std::move(opened);
  driver_.ResetScan();
  if (!driver_.StartSnapshotScan(&snapshot_->maps)) {
    snapshot_.reset();
    return false;
  }
  scanActive_ = true;
  return true;
}

bool EngineSession::PollScanEnd() {
  if (!scanActive_ || driver_.lastResult() == -1) return false;
  driver_.Wait();  // the worker has returned its result: nothing left to wait for
  scanActive_ = false;
  ScanContext& context = driver_.context();
  if (snapshot_) {
    // The maps are the file set's now; the source ends here.
    if (context.fileSet) context.fileSet->SetSnapshotMapSource(nullptr);
    if (!snapshot_->maps.status().ok()) {
      ui_.MessageBox(snapshot_->maps.status().Text(), BoxIcon::kStop);
    }
    snapshot_.reset();
  }
  if (scanError_) {
    context.Reset();
    scanError_ = false;
  }
  return true;
}

bool EngineSession::SaveSnapshot(const std::string& path, std::string& message) {
  // These lines go to the output pane only, not to the log.
  state_.processRunning.store(true);
  ui_.OutputLine(log_.TakeOutputLine(), kSavingSnapshot);
  const ScanContext& context = driver_.context();
  const SnapshotWriteResult written =
      WriteSnapshot(context.fileSet.get(), state_.selectedFilePath, context.advancedMode, context.options,
                    context.collation, path);
  state_.processRunning.store(false);
  message = written.status.ok() ? kSnapshotSaved + written.path : written.status.message;
  ui_.OutputLine(log_.TakeOutputLine(), message);
  return written.status.ok();
}

bool EngineSession::HasScanResults() {
  const ScanContext& context = driver_.context();
  return !scanActive_ && context.fileSet != nullptr && context.catalog != nullptr;
}

void EngineSession::Release() {
  if (Busy()) return;
  listing_.Clear();
  driver_.context().Reset();
}

bool EngineSession::Start(std::function<void()> work, std::function<void()> done) {
  if (Busy()) return false;
  return runner_.Start(std::move(work), std::move(done));
}

bool EngineSession::StartObjectSelection(std::function<void()> done) {
  return Start([this] { ObjectSelectionWorker(); }, std::move(done));
}

bool EngineSession::StartNextPage(std::function<void()> done) {
  return Start([this] { PageWorker(true); }, std::move(done));
}

bool EngineSession::StartPreviousPage(std::function<void()> done) {
  return Start([this] { PageWorker(false); }, std::move(done));
}

bool EngineSession::StartFolderListing(std::function<void()> done) {
  return Start([this] { FolderListingWorker(); }, std::move(done));
}

bool EngineSession::StartSaveRecords(const std::string& path, std::function<void()> done) {
  return Start([this, path] { SaveRecordsWorker(path); }, std::move(done));
}

bool EngineSession::StartSave(const std::vector<uint64_t>& checked_objects,
                              const std::vector<uint64_t>& checked_documents, const SaveChoice& choice,
                              std::function<void()> done) {
  return Start([this, checked_objects, checked_documents, choice] {
    SaveWorker(checked_objects, checked_documents, choice);
  }, std::move(done));
}

TableListing::RowSink EngineSession::ListRowSink() {
  return [this](const std::vector<std::string>& cells, int64_t inserted) {
    view_.AppendRow(cells, 0);
    const std::string text = RowInsertedText(inserted);
    ui_.SetCaption(text);
    ReplaceLastOutputLine(ui_, log_, text);
  };
}

void EngineSession::FinishListing(const DisplayPage& page, bool first) {
  if (!page.rowsToLine.empty()) {
    ui_.SetCaption(page.rowsToLine);
    AddLine(page.rowsToLine);
  }
  view_.SetLinks(first ? false : page.previousEnabled, page.nextEnabled);
  view_.SetPageLabel(page.pageLabel);
  ui_.SetCaption(page.caption);
  AddLine(page.pageLabel);
}

void EngineSession::ObjectSelectionWorker() {
  TreeControl& tree = ui_.ObjectTree();
  const TreeItem item = tree.GetSelectedItem();
  ScanContext& context = driver_.context();
  if (item == lastHandledObject_ || !context.fileSet || !context.catalog) {
    state_.processRunning.store(false);
    ui_.HideProgressPanel();
    return;
  }
  lastHandledObject_ = item;
  const std::string text = tree.GetItemText(item);
  const TreeItem parent = tree.GetParentItem(item);
  const std::string parent_text = tree.GetItemText(parent);
  const CatalogContext catalog{*context.catalog, *context.fileSet, context.objectValues, context.options};
  const OutputLine line = [this](const std::string& t) { AddLine(t); };

  listing_.Clear();
  listedTable_.clear();
  if (parent_text == kUserTables || parent_text == kSystemTables) {
    const std::string code = parent_text == kUserTables ? "U " : "S ";
    const TreeItem first_child = tree.GetChildItem(item);
    if (tree.GetItemText(first_child) == kColumnsNode) {
      ExpandTableNode(tree, item, text, code, first_child, catalog);
    }
    if (listing_.Select(*context.catalog, *context.fileSet, context.options, text, code, context.objectValues)) {
      listedTable_ = text;
      view_.ShowTableList(listing_.ColumnTitles());
    }
  } else {
    SelectedTreeItem selected;
    selected.text = text;
    selected.parentText = parent_text;
    selected.grandparentText = tree.GetItemText(tree.GetParentItem(parent));
    selected.itemData = tree.GetItemData(item);
    const std::optional<std::string> script = SelectedObjectText(catalog, moduleValues_, selected, line, ui_);
    if (script) view_.ShowScript(*script);
  }
  const DisplayPage page = listing_.ListFirstPage(*context.fileSet, context.options, ui_, ListRowSink(), text);
  state_.abortRequested.Clear();
  FinishListing(page, true);
  ui_.HideProgressPanel();
  state_.processRunning.store(false);
  AddLine(kScanningProcessCompleted);
}

void EngineSession::PageWorker(bool next) {
  ScanContext& context = driver_.context();
  view_.ShowProgressPanel();
  const bool possible = context.fileSet && (next ? listing_.hasNext() : listing_.hasPrevious());
  if (!possible) {
    view_.SetLinks(listing_.hasPrevious(), listing_.hasNext());
    ui_.HideProgressPanel();
    state_.processRunning.store(false);
    return;
  }
  view_.ClearRows();
  const std::optional<DisplayPage> page =
      next ? listing_.ListNextPage(*context.fileSet, context.options, ui_, ListRowSink())
           : listing_.ListPreviousPage(*context.fileSet, context.options, ui_, ListRowSink());
  state_.abortRequested.Clear();
  if (page) FinishListing(*page, false);
  ui_.HideProgressPanel();
  state_.processRunning.store(false);
}

void EngineSession::FolderListingWorker() {
  TreeControl& tree = ui_.DocumentTree();
  view_.ShowDocumentList(false);
  const TreeItem item = tree.GetSelectedItem();
  const std::optional<TreeItemTag> tag = DecodeTreeItemTag(tree.GetItemData(item));
  if (tag) {
    view_.ShowDocumentList(true);
    const std::vector<DocumentEntry>& documents = driver_.context().sharePoint.documents;
    for (uint32_t index : FolderDocumentIndexes(tree, item)) {
      if (index >= documents.size()) continue;
      const DocumentEntry& document = documents[index];
      view_.AppendRow({document.leafName, document.timeCreated, document.timeLastModified}, index);
    }
  }
  state_.processRunning.store(false);
  ui_.HideProgressPanel();
  AddLine(kScanningProcessCompleted);
}

void EngineSession::SaveRecordsWorker(const std::string& path) {
  ScanContext& context = driver_.context();
  view_.ShowProgressPanel();
  if (!context.fileSet || !context.catalog || !listing_.selected()) {
    AddLine("Records cannot be saved in path " + path);
  } else {
    AddLine("Saving records of " + listedTable_ + "..Please wait....");
    // The export resolves the table in the scan's catalog; the listed
    // pages read through the listing's own copy of its layout.
    TableSource source(context);
    const TableFileExportResult saved = ExportTableToFile(source, listedTable_, ExportFormat::kCsv, {}, path,
                                                          state_.abortRequested.token(), ui_);
    state_.abortRequested.Clear();
    if (saved.ok) {
      AddLine(PrintfText("%llu records saved successfully in path %s", static_cast<unsigned long long>(saved.rows),
                         path.c_str()));
    } else if (saved.stopped) {
      AddLine("Saving records stopped; " + path + " was not written");
    } else {
      AddLine("Records cannot be saved in path " + path + (saved.error.empty() ? "" : ": " + saved.error));
    }
  }
  ui_.HideProgressPanel();
  state_.processRunning.store(false);
}

void EngineSession::SaveWorker(const std::vector<uint64_t>& objects, const std::vector<uint64_t>& documents,
                               const SaveChoice& choice) {
  ScanContext& context = driver_.context();
  TreeControl& tree = ui_.ObjectTree();
  view_.ShowProgressPanel();
  if (!context.fileSet || !context.catalog) {
    ui_.HideProgressPanel();
    state_.processRunning.store(false);
    return;
  }
  // The checked objects: tables and modules are the items under a
  // category; categories, columns and key nodes carry other data.
  std::vector<std::string> tables;
  std::set<std::string> modules;
  for (uint64_t item : objects) {
    if (tree.GetItemData(item) != kObjectItemData) continue;
    const std::string parent = tree.GetItemText(tree.GetParentItem(item));
    if (parent == kUserTables || parent == kSystemTables) {
      tables.push_back(tree.GetItemText(item));
    } else {
      modules.insert(tree.GetItemText(item));
    }
  }
  // The checked documents: file items carry their document's index.
  std::set<std::string> document_paths;
  const std::vector<DocumentEntry>& entries = context.sharePoint.documents;
  for (uint64_t item : documents) {
    const std::optional<TreeItemTag> tag = DecodeTreeItemTag(ui_.DocumentTree().GetItemData(item));
    if (tag && tag->kind == kTagKindFile && tag->documentIndex < entries.size()) {
      const DocumentEntry& entry = entries[tag->documentIndex];
      document_paths.insert(StoredDocumentPath(entry.dirName, entry.leafName));
    }
  }
  const bool everything = objects.empty() && documents.empty();

  DatabaseExportRequest request;
  request.format = choice.format;
  request.formatOptions.byteOrderMark = choice.byteOrderMark;
  request.tables = tables;
  request.noTables = !everything && tables.empty();
  std::vector<std::unique_ptr<DatabaseExportStep>> steps;
  // The SQL script holds every module already.
  if (choice.format != ExportFormat::kSql && (everything || !modules.empty())) {
    steps.push_back(MakeModuleFilesStep(modules));
  }
  if (everything || !document_paths.empty()) {
    DocumentExportChoices picked;
    picked.deleted = context.options.parse.showDeletedRecords;
    picked.onlyPaths = std::move(document_paths);
    picked.threads = std::max(1u, std::thread::hardware_concurrency());
    steps.push_back(MakeDocumentExportStep(picked));
  }
  std::vector<DatabaseExportStep*> step_list;
  for (auto& step : steps) step_list.push_back(step.get());

  AddLine("Saving recovered data in " + choice.folder + "..Please wait....");
  TableSource source(context);
  const FolderClaim claim = [&](const std::string& database_name, std::string& error) {
    return ClaimNewFolder(choice.folder, database_name, error);
  };
  const DatabaseExportResult result =
      ExportDatabase(source, request, claim, state_.abortRequested.token(), ui_, step_list);
  state_.abortRequested.Clear();
  for (const std::string& failure : result.failures) AddLine(failure);
  if (result.stopped) {
    AddLine("Saving stopped; what was completed is in " + result.folder);
  } else if (!result.folder.empty()) {
    AddLine(PrintfText("%llu tables (%llu rows) and %llu files saved in %s",
                       static_cast<unsigned long long>(result.tables), static_cast<unsigned long long>(result.rows),
                       static_cast<unsigned long long>(result.files.size()), result.folder.c_str()));
  }
  ui_.HideProgressPanel();
  state_.processRunning.store(false);
}

}  // namespace quill::ui
