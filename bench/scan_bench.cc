// The whole scan of a large SharePoint content database, phase by phase.
//
// A 2 GiB primary file in the newer catalog layout is written once into a
// fresh temporary folder (removed at the end):
//   - a catalog of 600 user tables of 12 columns and one row each, half of
//     them clustered on a primary key;
//   - the SharePoint content tables with the demo database's rows and 20
//     generated webs of one library of 200 documents each (4,040 documents
//     in all with the demo's forty; 4,110 AllDocs rows with the folders);
//   - two large tables, AuditData and EventCache, whose data pages fill the
//     rest of the file. The catalog part goes through the fixture builder;
//     the bulk pages are appended to the file in chunks, so the 2 GiB never
//     sit in memory at once.
// Its snapshot is written once. With QUILLSTONE_BENCH_KEEP=1 in the
// environment the program only writes the two files, keeps them and prints
// their folder (for timing the command-line tool on the same database);
// QUILLSTONE_BENCH_DOCUMENT_BYTES=N stores N + j bytes for the j-th
// generated document of each library.
// With both files in the page cache, a run
// times the phases in the order a scan runs them:
//   mapping     - CDatabaseFile::Open: alignment probe and the mapping pass
//                 (from a snapshot: OpenSnapshot and the maps it holds);
//   catalog     - LoadCatalog;
//   sharepoint  - LoadSharePointContent into an in-memory document tree;
//   tree        - BuildObjectTreeSkeleton, BuildObjectTree and
//                 LoadObjectValues into an in-memory object tree.
// Each run checks what it got - the user tables in the catalog and in the
// object tree, the webs, lists and documents, and the bulk pages in the
// data page map - and fails the benchmark otherwise, so that an empty scan
// cannot look fast. A summary gives the best of a few runs of each phase,
// full scan and scan from the snapshot, against the goals: everything after
// mapping under two seconds, and the scan from the snapshot at least five
// times faster than the full scan.
#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench_files.h"
#include "catalog/catalog_context.h"
#include "catalog/load_catalog.h"
#include "catalog/object_tree.h"
#include "catalog/object_values.h"
#include "catalog_builder.h"
#include "scan/application_state.h"
#include "demo_sharepoint.h"
#include "page_builder.h"
#include "pages/database_file.h"
#include "pages/page_geometry.h"
#include "pages/page_header.h"
#include "pages/read_only_file.h"
#include "scan/memory_tree.h"
#include "scan/scan_ui.h"
#include "scan/snapshot_loader.h"
#include "scan/snapshot_writer.h"
#include "sharepoint/sharepoint_content.h"
#include "table_page_builder.h"
#include "table_row_builder.h"
#include "text_page_writer.h"
#include "value_bytes.h"

namespace {

using namespace quill::fixture;
using Clock = std::chrono::steady_clock;

constexpr int64_t kFilePages = int64_t{2} << 30 >> 13;  // 2 GiB of 8 KB pages
constexpr int kUserTableCount = 600;
constexpr int kColumnsPerTable = 12;
constexpr int32_t kFirstUserTableId = 300000000;
constexpr int32_t kUserTableIdStep = 16;
constexpr quill::demo::GeneratedContent kGeneratedContent{.webs = 20, .documentsPerWeb = 200};
// Bytes stored for each generated document: none unless
// QUILLSTONE_BENCH_DOCUMENT_BYTES asks for them (a database to time document
// extraction on); the large values then take the place of bulk pages.
int64_t g_bytesPerDocument = 0;
// The demo's own content: three webs, six lists and 90 AllDocs rows
// (webs, folders, pages and documents).
constexpr size_t kDemoWebs = 3;
constexpr size_t kDemoLists = 6;
constexpr size_t kDemoDocRows = 90;
constexpr int kBulkRowsPerPage = 14;
constexpr int32_t kLargeValuePageKey = 0x7FFF0001;
constexpr int32_t kBulkChunkPages = 128;  // 1 MiB per write
constexpr int kRuns = 3;
constexpr double kGoalAfterMappingSeconds = 2.0;
constexpr double kGoalSnapshotSpeedUp = 5.0;
constexpr char kUserTableCode[] = "U ";
constexpr double kBytesPerMiB = 1024.0 * 1024.0;

// The large tables at the end of the catalog's table list.
constexpr char kBulkTableNames[2][16] = {"AuditData", "EventCache"};
constexpr int32_t kBulkTableIds[2] = {1893581784, 1909581841};

// What a scan shows beyond the benchmark's view: nothing, but the trees.
class BenchUi final : public quill::ScanUi {
 public:
  void ProgressRange(uint64_t) override {}
  void ProgressPos(uint64_t) override {}
  void StatusText(const std::string&) override {}
  void ScanError(const std::string& text) override { error = text; }
  void OutputLine(int32_t, const std::string&) override {}
  void MessageBox(const std::string&, quill::BoxIcon) override {}
  quill::TreeControl& ObjectTree() override { return objectTree; }
  quill::TreeControl& DocumentTree() override { return documentTree; }
  void ArrangeForRecoveryOption(quill::RecoveryOption) override {}
  void PrepareViewForScan(const std::string&) override {}
  void HideProgressPanel() override {}
  void SetCaption(const std::string&) override {}

  quill::MemoryTree objectTree;
  quill::MemoryTree documentTree;
  std::string error;
};

std::vector<ColumnDescription> UserTableColumns() {
  std::vector<ColumnDescription> columns = {Column("Id", "int"),           Column("ParentId", "int"),
                                     Column("Title", "nvarchar", 200), Column("Created", "datetime"),
                                     Column("Modified", "datetime"), Column("Amount", "money"),
                                     Column("Flag", "bit"),         Column("Code", "varchar", 20),
                                     Column("RowGuid", "uniqueidentifier"), Column("Count", "bigint"),
                                     Column("Ratio", "float"),      Column("Note", "nvarchar", 400)};
  columns[0].nullable = false;
  return columns;
}

std::vector<ColumnDescription> BulkTableColumns() {
  std::vector<ColumnDescription> columns = {Column("Id", "int"),         Column("SiteId", "uniqueidentifier"),
                                     Column("Occurred", "datetime"), Column("UserId", "int"),
                                     Column("EventName", "nvarchar", 256),
                                     Column("EventData", "nvarchar", 1000)};
  columns[0].nullable = false;
  return columns;
}

// One bulk row of about 540 bytes.
Bytes BulkRow(const std::vector<ColumnDescription>& columns, int32_t id) {
  const std::string data(240, 'x');
  return TableRowRecord(columns, {CellValue::Of(stored::LittleEndian(id, 4)),
                                  CellValue::Of(stored::Guid("51000000-0000-4000-8000-000000000001")),
                                  CellValue::Of(stored::Datetime(stored::ParseCivilTime("2022-02-03 04:05:06"))),
                                  CellValue::Of(stored::LittleEndian(1, 4)), CellValue::Of(Utf16Le("Document viewed")),
                                  CellValue::Of(Utf16Le(data))});
}

DatabaseDescription BenchDatabase(TextPageWriter& lobs) {
  DatabaseDescription description;
  description.boot.versionNumber = 661;
  description.boot.createVersionNumber = 661;
  description.boot.databaseName = u"WSS_Content_Bench";
  description.boot.collationId = 4104;
  description.pageCount = 16;
  description.dataFiles = {{.status = 2, .fileId = 1, .logicalName = "WSS_Content_Bench",
                     .physicalPath = "WSS_Content_Bench.mdf"}};
  quill::demo::GeneratedContent generated = kGeneratedContent;
  generated.bytesPerDocument = g_bytesPerDocument;
  quill::demo::AddSharePointTables(description, lobs, generated);

  const std::vector<ColumnDescription> columns = UserTableColumns();
  for (int i = 0; i < kUserTableCount; ++i) {
    TableDescription table{.name = fmt::format("UserTable_{:04d}", i),
                    .objectId = kFirstUserTableId + i * kUserTableIdStep, .clustered = i % 2 == 0};
    table.columns = columns;
    table.rows = {TableRowRecord(columns, {CellValue::Of(stored::LittleEndian(i + 1, 4))})};
    if (table.clustered) table.primaryKey = KeyDescription{.name = "PK_" + table.name, .columnIds = {1}};
    description.tables.push_back(std::move(table));
  }
  const std::vector<ColumnDescription> bulk_columns = BulkTableColumns();
  for (int t = 0; t < 2; ++t) {
    TableDescription table{.name = kBulkTableNames[t], .objectId = kBulkTableIds[t], .clustered = false};
    table.columns = bulk_columns;
    table.rows = {BulkRow(bulk_columns, 1)};
    description.tables.push_back(std::move(table));
  }
  return description;
}

struct BenchFiles {
  std::string folder;
  std::string database;
  std::string snapshot;
  uint64_t databaseBytes = 0;
  uint64_t snapshotBytes = 0;
  int32_t catalogPages = 0;  // written by the builder
  int64_t bulkPages = 0;     // appended
  double buildSeconds = 0.0;
};

BenchFiles g_files;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Appends data pages of the two large tables from page `first` to the end
// of the file, the first half to one and the rest to the other, each half
// chained next/previous.
bool AppendBulkPages(const std::string& path, const CatalogDatabaseLayout& layout, int32_t first) {
  const BuiltTable* tables[2] = {nullptr, nullptr};
  for (const BuiltTable& built : layout.tables) {
    for (int t = 0; t < 2; ++t) {
      if (built.objectId == kBulkTableIds[t]) tables[t] = &built;
    }
  }
  if (tables[0] == nullptr || tables[1] == nullptr) return false;
  const std::vector<ColumnDescription> columns = BulkTableColumns();
  std::vector<Bytes> rows;
  for (int r = 0; r < kBulkRowsPerPage; ++r) rows.push_back(BulkRow(columns, r + 2));

  std::FILE* out = std::fopen(path.c_str(), "ab");
  if (out == nullptr) return false;
  const auto end = static_cast<int32_t>(kFilePages);
  const int32_t middle = first + (end - first) / 2;
  std::vector<uint8_t> chunk;
  chunk.reserve(static_cast<size_t>(kBulkChunkPages) * quill::kPageSize);
  bool ok = true;
  for (int32_t page = first; page < end && ok; ++page) {
    const bool second = page >= middle;
    const int32_t begin = second ? middle : first;
    const int32_t stop = second ? end : middle;
    PageBuilder builder(static_cast<uint8_t>(quill::kPageTypeData), tables[second ? 1 : 0]->pageKey, page);
    builder.IndexId(kTableDataIndexId);
    if (page > begin) builder.Previous({1, page - 1});
    if (page + 1 < stop) builder.Next({1, page + 1});
    for (const Bytes& row : rows) builder.AddRecord(row);
    const PageImage image = builder.Build();
    chunk.insert(chunk.end(), image.bytes().begin(), image.bytes().end());
    if (chunk.size() == chunk.capacity() || page + 1 == end) {
      ok = std::fwrite(chunk.data(), 1, chunk.size(), out) == chunk.size();
      chunk.clear();
    }
  }
  return std::fclose(out) == 0 && ok;
}

bool WriteDatabase() {
  const auto start = Clock::now();
  // The large values go after every page the catalog builder places; a
  // first layout with provisional pages tells where those end.
  TextPageWriter provisional(0, kLargeValuePageKey);
  const int32_t end = BuildCatalogDatabase(BenchDatabase(provisional)).pageCount();
  TextPageWriter lobs(end, kLargeValuePageKey);
  CatalogDatabaseLayout layout;
  DataFileBuilder file = BuildCatalogDatabase(BenchDatabase(lobs), &layout);
  if (file.pageCount() != end) return false;
  file.Resize(lobs.endPage());
  lobs.WriteTo(file);
  g_files.catalogPages = file.pageCount();
  if (!file.WriteTo(g_files.database)) return false;
  g_files.bulkPages = std::max<int64_t>(0, kFilePages - g_files.catalogPages);
  const bool appended = AppendBulkPages(g_files.database, layout, g_files.catalogPages);
  g_files.buildSeconds = SecondsSince(start);
  return appended;
}

struct Phases {
  double mapping = 0.0;
  double catalog = 0.0;
  double sharePoint = 0.0;
  double tree = 0.0;
  double AfterMapping() const { return catalog + sharePoint + tree; }
  double Total() const { return mapping + AfterMapping(); }
};

// One scan, phase by phase, in the scan's order; the maps come from the
// snapshot when `from_snapshot`. Returns the text of the first failed check.
std::optional<std::string> ScanOnce(bool from_snapshot, Phases& times) {
  quill::ApplicationState state;
  BenchUi ui;
  const quill::OutputLine line = [](const std::string&) {};

  auto start = Clock::now();
  std::optional<quill::OpenedSnapshot> snapshot;
  quill::CDatabaseFile file;
  if (from_snapshot) {
    snapshot.emplace(quill::OpenSnapshot(g_files.snapshot));
    if (!snapshot->status.ok()) return "snapshot: " + snapshot->status.Text();
    state.snapshotLoadMode = true;
    quill::ApplySnapshotHeader(snapshot->header, state);
    file.SetSnapshotMapSource(&snapshot->maps);
  }
  const bool opened = file.Open(g_files.database, &ui);
  times.mapping = SecondsSince(start);
  if (!opened) return "open failed: " + ui.error;

  start = Clock::now();
  std::unique_ptr<quill::SystemCatalog> catalog = quill::LoadCatalog(file, state.readOptions(), state.collationChoice());
  times.catalog = SecondsSince(start);
  if (catalog == nullptr) return "no catalog";

  start = Clock::now();
  const quill::ObjectTreeCategories categories =
      quill::BuildObjectTreeSkeleton(ui.objectTree, file.databaseName());
  times.tree = SecondsSince(start);

  start = Clock::now();
  quill::SharePointContent content;
  quill::ReadOptions options = state.readOptions();
  options.parse.isSql2000 = catalog->isSql2000;
  const bool collation_found = catalog->boot && catalog->boot->collationFound;
  options.decode.collationFound = collation_found;
  quill::LoadSharePointContent(*catalog, file, options, collation_found ? catalog->boot->collationName : "",
                               ui.documentTree, line, content);
  times.sharePoint = SecondsSince(start);

  start = Clock::now();
  std::vector<quill::ObjectValueEntry> values;
  const quill::CatalogContext context{*catalog, file, values, options};
  const bool built = quill::BuildObjectTree(ui.objectTree, categories, context, line, ui);
  ui.objectTree.SortChildren(categories.userTables);
  values = quill::LoadObjectValues(*catalog, file, options, line, ui);
  times.tree += SecondsSince(start);

  // What the scan found.
  const size_t expected_tables = kUserTableCount + 2 + 5;  // with the five content tables
  const auto catalog_tables = static_cast<size_t>(
      std::count_if(catalog->objects.begin(), catalog->objects.end(),
                     [](const quill::ObjectRow& row) { return row.typeCode == kUserTableCode; }));
  if (catalog_tables != expected_tables) {
    return fmt::format("{} user tables in the catalog, expected {}", catalog_tables, expected_tables);
  }
  if (!built) return "no object tree";
  const size_t tree_tables = ui.objectTree.Children(categories.userTables).size();
  if (tree_tables != expected_tables) {
    return fmt::format("{} user tables in the tree, expected {}", tree_tables, expected_tables);
  }
  const size_t webs = kDemoWebs + static_cast<size_t>(kGeneratedContent.webs);
  const size_t lists = kDemoLists + static_cast<size_t>(kGeneratedContent.webs);
  const size_t docs = kDemoDocRows + static_cast<size_t>(kGeneratedContent.webs) *
                                         (1 + static_cast<size_t>(kGeneratedContent.documentsPerWeb));
  if (content.webs.size() != webs || content.lists.size() != lists || content.documents.size() != docs) {
    return fmt::format("{} webs, {} lists, {} AllDocs rows; expected {}, {}, {}", content.webs.size(),
                       content.lists.size(), content.documents.size(), webs, lists, docs);
  }
  size_t data_pages = 0;
  for (const auto& [key, pages] : file.dataPages()) data_pages += pages.size();
  if (data_pages < static_cast<size_t>(g_files.bulkPages)) {
    return fmt::format("{} data pages mapped, expected at least {}", data_pages, g_files.bulkPages);
  }
  benchmark::DoNotOptimize(values.size());
  return std::nullopt;
}

bool g_failed = false;

void RunScan(benchmark::State& state, bool from_snapshot) {
  for (auto _ : state) {
    Phases times;
    if (auto error = ScanOnce(from_snapshot, times)) {
      g_failed = true;
      state.SkipWithError(error->c_str());
      return;
    }
    state.counters["mapping_ms"] = times.mapping * 1e3;
    state.counters["after_mapping_ms"] = times.AfterMapping() * 1e3;
  }
}

void BM_FullScan(benchmark::State& state) { RunScan(state, false); }
void BM_SnapshotScan(benchmark::State& state) { RunScan(state, true); }

bool PrepareFiles() {
  const auto folder = quill::bench::MakeBenchFolder("quillstone_scan_bench");
  if (!folder) return false;
  g_files.folder = *folder;
  g_files.database = *folder + "/WSS_Content_Bench.mdf";
  std::printf("Writing %s (2 GiB)...\n", g_files.database.c_str());
  std::fflush(stdout);
  if (!WriteDatabase()) return false;

  quill::ApplicationState state;
  quill::NullProgressSink sink;
  quill::CDatabaseFile file;
  if (!file.Open(g_files.database, &sink)) return false;
  const auto written = quill::WriteSnapshot(&file, g_files.database, false, state.readOptions(),
                                            state.collationChoice(), g_files.folder + "/bench");
  if (!written.status.ok()) {
    std::fprintf(stderr, "%s\n", written.status.Text().c_str());
    return false;
  }
  g_files.snapshot = written.path;
  g_files.databaseBytes = std::filesystem::file_size(g_files.database);
  g_files.snapshotBytes = std::filesystem::file_size(g_files.snapshot);
  quill::bench::WarmPageCache(g_files.database);
  quill::bench::WarmPageCache(g_files.snapshot);
  return true;
}

void RemoveFiles() {
  std::error_code error;
  if (!g_files.folder.empty()) std::filesystem::remove_all(g_files.folder, error);
}

// Best of each phase over a few runs.
std::optional<Phases> BestOf(bool from_snapshot) {
  Phases best;
  for (int i = 0; i < kRuns; ++i) {
    Phases times;
    if (auto error = ScanOnce(from_snapshot, times)) {
      std::fprintf(stderr, "scan failed: %s\n", error->c_str());
      return std::nullopt;
    }
    if (i == 0) {
      best = times;
      continue;
    }
    best.mapping = std::min(best.mapping, times.mapping);
    best.catalog = std::min(best.catalog, times.catalog);
    best.sharePoint = std::min(best.sharePoint, times.sharePoint);
    best.tree = std::min(best.tree, times.tree);
  }
  return best;
}

bool PrintSummary() {
  const std::optional<Phases> full = BestOf(false);
  const std::optional<Phases> snap = BestOf(true);
  if (!full || !snap) return false;
  std::printf("\nSummary (best of %d runs per phase)\n", kRuns);
  std::printf("  database     %.1f MiB: %d catalog pages (%d user tables, %d webs, %zu AllDocs rows), "
              "%lld bulk pages\n",
              static_cast<double>(g_files.databaseBytes) / kBytesPerMiB, g_files.catalogPages,
              kUserTableCount + 2 + 5, static_cast<int>(kDemoWebs) + kGeneratedContent.webs,
              kDemoDocRows + static_cast<size_t>(kGeneratedContent.webs) *
                                 (1 + static_cast<size_t>(kGeneratedContent.documentsPerWeb)),
              static_cast<long long>(g_files.bulkPages));
  std::printf("  snapshot     %.1f MiB; files written in %.1f s\n",
              static_cast<double>(g_files.snapshotBytes) / kBytesPerMiB, g_files.buildSeconds);
  std::printf("  %-14s %12s %12s\n", "phase", "full (ms)", "snapshot (ms)");
  const struct {
    const char* name;
    double full;
    double snap;
  } rows[] = {{"mapping", full->mapping, snap->mapping},
              {"catalog", full->catalog, snap->catalog},
              {"sharepoint", full->sharePoint, snap->sharePoint},
              {"tree", full->tree, snap->tree},
              {"after mapping", full->AfterMapping(), snap->AfterMapping()},
              {"whole scan", full->Total(), snap->Total()}};
  for (const auto& row : rows) std::printf("  %-14s %12.1f %12.1f\n", row.name, row.full * 1e3, row.snap * 1e3);
  const bool after_ok = full->AfterMapping() < kGoalAfterMappingSeconds;
  const double speed_up = full->Total() / snap->Total();
  const bool speed_ok = speed_up >= kGoalSnapshotSpeedUp;
  std::printf("  goal: after mapping under %.0f s: %s\n", kGoalAfterMappingSeconds, after_ok ? "met" : "MISSED");
  std::printf("  goal: snapshot scan %.1fx faster than the full scan (at least %.0fx): %s\n", speed_up,
              kGoalSnapshotSpeedUp, speed_ok ? "met" : "MISSED");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (const char* bytes = std::getenv("QUILLSTONE_BENCH_DOCUMENT_BYTES")) {
    g_bytesPerDocument = std::max<int64_t>(0, std::atoll(bytes));
  }
  if (!PrepareFiles()) {
    std::fprintf(stderr, "cannot prepare the benchmark files in %s\n", g_files.folder.c_str());
    RemoveFiles();
    return 1;
  }
  if (const char* keep = std::getenv("QUILLSTONE_BENCH_KEEP"); keep != nullptr && std::string(keep) == "1") {
    std::printf("kept %s and %s\n", g_files.database.c_str(), g_files.snapshot.c_str());
    return 0;
  }
  benchmark::RegisterBenchmark("full_scan", BM_FullScan)
      ->Iterations(kRuns)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("snapshot_scan", BM_SnapshotScan)
      ->Iterations(kRuns)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const bool summarized = !g_failed && PrintSummary();
  RemoveFiles();
  return summarized ? 0 : 1;
}
