// Catalog load and the resolution of every user table on a large catalog.
//
// A primary file in the newer catalog layout (boot version 706) is written
// once into a fresh temporary folder: 1000 user tables of 50 columns each
// (50,000 column rows of a mix of types), a primary key per table (even
// tables clustered on it, odd ones heaps with a nonclustered key), 300
// single-column foreign keys, and one row per table so that every table has
// a data page and an IAM page. One run times three phases:
//   open     - CDatabaseFile::Open: alignment probe and the mapping pass;
//   load     - LoadCatalog: boot page, file list, every system table;
//   resolve  - ResolveObject for every user table by name (the first call
//              also builds the catalog's lookup index).
// Each run checks what it got - 1000 user tables, 50,000 column rows, 300
// foreign key column pairs, and for every table 50 descriptors and a
// non-empty page list, with exactly one primary key column per table and one
// foreign key column per foreign key over all tables - and fails the
// benchmark otherwise, so that a broken run cannot look fast.
// The benchmark repeats the run; a summary follows with each run's phases,
// the best of each, the goal (load plus resolutions under one second) and
// the heap allocations of one load and one resolution of every table.
#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench_files.h"
#include "allocation_counter.h"
#include "catalog/load_catalog.h"
#include "catalog/resolve_object.h"
#include "catalog/system_catalog.h"
#include "catalog_builder.h"
#include "scan/application_state.h"
#include "common/progress_sink.h"
#include "pages/database_file.h"
#include "pages/page_geometry.h"
#include "record_builder.h"

namespace {

using quill::fixture::Bytes;
using quill::fixture::Column;
using quill::fixture::ColumnDescription;

constexpr int kTableCount = 1000;
constexpr int kColumnsPerTable = 50;
constexpr int kColumnRowCount = kTableCount * kColumnsPerTable;
constexpr int kForeignKeyCount = 300;
constexpr uint16_t kBootVersion = 706;
constexpr int32_t kFirstTableId = 245575913;
constexpr int32_t kTableIdStep = 16;
constexpr int32_t kForeignKeyColumnId = 2;  // parent_id, referencing the other table's id
constexpr int kRuns = 3;
constexpr double kGoalSeconds = 1.0;  // load plus all resolutions
constexpr char kUserTableCode[] = "U ";

struct TypeChoice {
  std::string_view name;
  std::optional<int16_t> maxLength;  // bytes
};

// The types of columns 3..50, in turn.
constexpr TypeChoice kColumnTypes[] = {
    {"int", std::nullopt},      {"nvarchar", 100},           {"datetime", std::nullopt},
    {"decimal", 9},             {"bit", std::nullopt},       {"varbinary", 256},
    {"bigint", std::nullopt},   {"varchar", 50},             {"uniqueidentifier", std::nullopt},
    {"date", std::nullopt},     {"float", std::nullopt},     {"money", std::nullopt},
    {"smallint", std::nullopt}, {"nchar", 20},               {"datetime2", std::nullopt},
    {"tinyint", std::nullopt},
};

std::string TableName(int i) { return fmt::format("tbl_{:04d}", i); }
int32_t TableId(int i) { return kFirstTableId + i * kTableIdStep; }

std::vector<ColumnDescription> TableColumns() {
  std::vector<ColumnDescription> columns;
  columns.push_back(Column("id", "int"));
  columns.back().nullable = false;
  columns.push_back(Column("parent_id", "int"));
  for (int c = 3; c <= kColumnsPerTable; ++c) {
    const TypeChoice& type = kColumnTypes[(c - 3) % std::size(kColumnTypes)];
    columns.push_back(Column(fmt::format("{}_{:02d}", type.name, c), type.name, type.maxLength));
    if (type.name == "decimal") {
      columns.back().precision = 18;
      columns.back().scale = 2;
    }
  }
  return columns;
}

// One row: the id set, every other column NULL (no variable-length part).
Bytes TableRow(const std::vector<ColumnDescription>& columns, int32_t id) {
  size_t fixed_bytes = 0;
  for (const ColumnDescription& column : columns) {
    const bool variable = column.systemTypeId == 165 || column.systemTypeId == 167 ||
                          column.systemTypeId == 231;
    if (!variable) fixed_bytes += static_cast<size_t>(std::max<int16_t>(column.maxLength, 1));
  }
  Bytes fixed(fixed_bytes, 0);
  for (int k = 0; k < 4; ++k) fixed[k] = static_cast<uint8_t>(static_cast<uint32_t>(id) >> (8 * k));
  std::vector<int> nulls;
  for (int c = 1; c < kColumnsPerTable; ++c) nulls.push_back(c);  // bit 0 is the id
  return quill::fixture::PlainRecordBuilder()
      .Fixed(std::move(fixed))
      .ColumnCount(kColumnsPerTable)
      .Nulls(std::move(nulls))
      .Build();
}

quill::fixture::DatabaseDescription BenchDatabase() {
  quill::fixture::DatabaseDescription description;
  description.boot.versionNumber = kBootVersion;
  description.boot.createVersionNumber = kBootVersion;
  description.boot.databaseName = u"CatalogBench";
  const std::vector<ColumnDescription> columns = TableColumns();
  for (int i = 0; i < kTableCount; ++i) {
    quill::fixture::TableDescription table{.name = TableName(i), .objectId = TableId(i),
                                    .clustered = i % 2 == 0};
    table.columns = columns;
    table.rows = {TableRow(columns, i + 1)};
    table.primaryKey = quill::fixture::KeyDescription{.name = "PK_" + table.name, .columnIds = {1}};
    description.tables.push_back(std::move(table));
  }
  // Parents 1, 4, 7, ... (all different), each referencing a table 17 on.
  for (int k = 0; k < kForeignKeyCount; ++k) {
    const int parent = 3 * k + 1;
    const int referenced = (parent + 17) % kTableCount;
    description.foreignKeys.push_back({.name = "FK_" + TableName(parent) + "_" + TableName(referenced),
                                .parentTableId = TableId(parent),
                                .referencedTableId = TableId(referenced),
                                .columns = {{kForeignKeyColumnId, 1}}});
  }
  return description;
}

struct BenchFile {
  std::string folder;
  std::string path;
  int32_t pageCount = 0;
  double buildSeconds = 0.0;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::optional<BenchFile> WriteBenchFile() {
  const auto folder = quill::bench::MakeBenchFolder("quillstone_catalog_bench");
  if (!folder) return std::nullopt;
  BenchFile file{.folder = *folder, .path = *folder + "/CatalogBench.mdf"};
  const auto start = std::chrono::steady_clock::now();
  const quill::fixture::DataFileBuilder builder = quill::fixture::BuildCatalogDatabase(BenchDatabase());
  file.pageCount = builder.pageCount();
  const bool written = builder.WriteTo(file.path);
  file.buildSeconds = SecondsSince(start);
  if (!written) {
    ::rmdir(file.folder.c_str());
    return std::nullopt;
  }
  return file;
}

struct RunTimes {
  double open = 0.0;
  double load = 0.0;
  double resolve = 0.0;
  double LoadAndResolve() const { return load + resolve; }
  double Total() const { return open + load + resolve; }
};

std::string g_path;
std::vector<std::string> g_tableNames;
std::vector<RunTimes> g_runs;
bool g_failed = false;

// One open, load and resolution of every table, each phase timed and its
// result checked. Returns the error text of the first failed check.
std::optional<std::string> RunOnce(RunTimes& times, uint64_t* load_allocations = nullptr,
                                   uint64_t* resolve_allocations = nullptr) {
  quill::ApplicationState state;
  quill::CDatabaseFile file;
  quill::NullProgressSink sink;

  auto start = std::chrono::steady_clock::now();
  const bool opened = file.Open(g_path, &sink);
  times.open = SecondsSince(start);
  if (!opened) return "Open failed";

  if (load_allocations != nullptr) quill::bench::StartCountingAllocations();
  start = std::chrono::steady_clock::now();
  std::unique_ptr<quill::SystemCatalog> catalog = quill::LoadCatalog(file, state.readOptions(), state.collationChoice());
  times.load = SecondsSince(start);
  if (load_allocations != nullptr) *load_allocations = quill::bench::StopCountingAllocations();

  const auto user_tables = std::count_if(
      catalog->objects.begin(), catalog->objects.end(),
      [](const quill::ObjectRow& row) { return row.typeCode == kUserTableCode; });
  if (catalog->isSql2000) return "catalog read as the SQL Server 2000 layout";
  if (user_tables != kTableCount) return fmt::format("{} user tables, expected {}", user_tables, kTableCount);
  if (catalog->columns.size() != kColumnRowCount) {
    return fmt::format("{} column rows, expected {}", catalog->columns.size(), kColumnRowCount);
  }
  if (catalog->foreignKeyColumns.size() != kForeignKeyCount) {
    return fmt::format("{} foreign key column pairs, expected {}", catalog->foreignKeyColumns.size(),
                       kForeignKeyCount);
  }

  size_t wrong_count = 0;
  size_t no_pages = 0;
  size_t key_columns = 0;
  size_t foreign_key_columns = 0;
  const std::string type_code = kUserTableCode;
  const std::vector<quill::ObjectValueEntry> no_values;
  if (resolve_allocations != nullptr) quill::bench::StartCountingAllocations();
  start = std::chrono::steady_clock::now();
  for (const std::string& name : g_tableNames) {
    const std::vector<quill::ColumnDescriptor> descriptors =
        quill::ResolveObject(*catalog, file, catalog->isSql2000, name, type_code, no_values);
    if (descriptors.size() != kColumnsPerTable) ++wrong_count;
    if (catalog->current.pageList.empty() || !catalog->current.foundFlag) ++no_pages;
    for (const quill::ColumnDescriptor& d : descriptors) {
      key_columns += d.primaryKey ? 1 : 0;
      foreign_key_columns += d.foreignKey ? 1 : 0;
    }
  }
  times.resolve = SecondsSince(start);
  if (resolve_allocations != nullptr) *resolve_allocations = quill::bench::StopCountingAllocations();

  if (wrong_count != 0) {
    return fmt::format("{} tables did not resolve to {} descriptors", wrong_count, kColumnsPerTable);
  }
  if (no_pages != 0) return fmt::format("{} tables resolved without data pages", no_pages);
  if (key_columns != kTableCount) {
    return fmt::format("{} primary key columns, expected {}", key_columns, kTableCount);
  }
  if (foreign_key_columns != kForeignKeyCount) {
    return fmt::format("{} foreign key columns, expected {}", foreign_key_columns, kForeignKeyCount);
  }
  return std::nullopt;
}

void BM_OpenLoadResolve(benchmark::State& state) {
  for (auto _ : state) {
    RunTimes times;
    if (auto error = RunOnce(times)) {
      g_failed = true;
      state.SkipWithError(error->c_str());
      return;
    }
    state.SetIterationTime(times.Total());
    state.counters["open_ms"] = times.open * 1e3;
    state.counters["load_ms"] = times.load * 1e3;
    state.counters["resolve_ms"] = times.resolve * 1e3;
    state.counters["load+resolve_ms"] = times.LoadAndResolve() * 1e3;
    g_runs.push_back(times);
  }
}

double Best(double RunTimes::*part) {
  double best = g_runs.front().*part;
  for (const RunTimes& run : g_runs) best = std::min(best, run.*part);
  return best;
}

int PrintSummary(const BenchFile& file) {
  if (g_failed) return 1;
  if (g_runs.empty()) return 0;  // filtered out
  uint64_t load_allocations = 0;
  uint64_t resolve_allocations = 0;
  RunTimes counted;
  if (auto error = RunOnce(counted, &load_allocations, &resolve_allocations)) {
    std::fprintf(stderr, "counting run failed: %s\n", error->c_str());
    return 1;
  }
  double best_load_resolve = g_runs.front().LoadAndResolve();
  double best_total = g_runs.front().Total();
  for (const RunTimes& run : g_runs) {
    best_load_resolve = std::min(best_load_resolve, run.LoadAndResolve());
    best_total = std::min(best_total, run.Total());
  }

  std::printf("\nSummary (%zu runs, all checks passed)\n", g_runs.size());
  std::printf("  file                    %d pages (%.1f MiB), built and written in %.2f s\n",
              file.pageCount, file.pageCount * double{quill::kPageSize} / (1024.0 * 1024.0),
              file.buildSeconds);
  std::printf("  catalog                 %d user tables, %d column rows, %d foreign keys\n",
              kTableCount, kColumnRowCount, kForeignKeyCount);
  std::printf("  run      open ms   load ms  resolve ms  load+resolve ms  total ms\n");
  for (size_t i = 0; i < g_runs.size(); ++i) {
    const RunTimes& r = g_runs[i];
    std::printf("  %-6zu %9.1f %9.1f %11.1f %16.1f %9.1f\n", i + 1, r.open * 1e3, r.load * 1e3,
                r.resolve * 1e3, r.LoadAndResolve() * 1e3, r.Total() * 1e3);
  }
  std::printf("  best   %9.1f %9.1f %11.1f %16.1f %9.1f\n", Best(&RunTimes::open) * 1e3,
              Best(&RunTimes::load) * 1e3, Best(&RunTimes::resolve) * 1e3,
              best_load_resolve * 1e3, best_total * 1e3);
  std::printf("  per table resolution    %.1f us\n", Best(&RunTimes::resolve) * 1e6 / kTableCount);
  std::printf("  goal load+resolve < %.0f s: %s\n", kGoalSeconds,
              best_load_resolve < kGoalSeconds ? "met" : "NOT met");
  std::printf("  heap allocations        load %llu, all resolutions %llu (%.0f per table)\n",
              static_cast<unsigned long long>(load_allocations),
              static_cast<unsigned long long>(resolve_allocations),
              static_cast<double>(resolve_allocations) / kTableCount);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  std::printf("Building the catalog database...\n");
  std::fflush(stdout);
  const std::optional<BenchFile> file = WriteBenchFile();
  if (!file) {
    std::fprintf(stderr, "cannot write the catalog database into a temporary folder\n");
    return 1;
  }
  std::printf("%s: %d pages, %.2f s\n", file->path.c_str(), file->pageCount, file->buildSeconds);
  g_path = file->path;
  for (int i = 0; i < kTableCount; ++i) g_tableNames.push_back(TableName(i));

  benchmark::RegisterBenchmark("open_load_resolve_all", BM_OpenLoadResolve)
      ->Iterations(1)
      ->Repetitions(kRuns)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const int result = PrintSummary(*file);
  std::remove(file->path.c_str());
  ::rmdir(file->folder.c_str());
  return result;
}
