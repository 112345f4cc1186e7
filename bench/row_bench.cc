// Table rows as cell texts on a large generated table.
//
// A primary file in the newer catalog layout (boot version 706) is written
// into a fresh temporary folder: one heap table of 1,000,000 rows with ten
// columns of mixed types
//   id int, amount_big bigint, created datetime, price decimal(18,2),
//   flag_a, flag_b, flag_c bit (sharing one stored byte), guid
//   uniqueidentifier, name nvarchar(50), note varchar(100)
// with a NULL name in every 11th row and a NULL note in every 7th. One run
// opens the file, loads the catalog, resolves the table and then times
// ReadPageRows over every page of the table's page list, as the record list
// and `quillstone rows` do. Every run checks the row count; one further
// checked run, outside the timing, compares every cell of every row with
// the text computed from the generator, so a broken run cannot look fast.
// The benchmark repeats the run; a summary follows with each run's rows per
// second of wall-clock and of CPU time, the best, the goal (500,000 rows per
// second on one core, judged on CPU time) and the heap allocations per row.
//
// QUILLSTONE_ROW_BENCH_ROWS changes the number of rows; with
// QUILLSTONE_BENCH_FILE set the file is written there and kept (for
// measuring `quillstone rows` on it), otherwise it is removed at the end.
#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
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
#include "values/page_rows.h"
#include "catalog/current_table_pages.h"

namespace {

using quill::fixture::Bytes;
using quill::fixture::Column;
using quill::fixture::ColumnDescription;

constexpr int64_t kDefaultRowCount = 1'000'000;
constexpr uint16_t kBootVersion = 706;
constexpr int32_t kTableId = 245575913;
constexpr char kTableName[] = "bench_rows";
constexpr int kRuns = 3;
constexpr double kGoalRowsPerSecond = 500'000.0;
constexpr char kRowCountVariable[] = "QUILLSTONE_ROW_BENCH_ROWS";
constexpr char kFileVariable[] = "QUILLSTONE_BENCH_FILE";

// Record offsets of the fixed-length columns; the three bit columns share
// the byte at 33, as the server stores them.
constexpr int16_t kIdOffset = 4;
constexpr int16_t kBigOffset = 8;
constexpr int16_t kCreatedOffset = 16;
constexpr int16_t kPriceOffset = 24;
constexpr int16_t kFlagsOffset = 33;
constexpr int16_t kGuidOffset = 34;
constexpr size_t kFixedEnd = 50;
constexpr int kColumnCount = 10;
constexpr int kNameColumn = 8;  // 0-based positions in the null bitmap
constexpr int kNoteColumn = 9;

// datetime: days since 1900-01-01, whole seconds as 1/300 s ticks.
constexpr int32_t kFirstDay = 36524;  // 2000-01-01
constexpr int32_t kDaySpread = 20000;

std::vector<ColumnDescription> BenchColumns() {
  std::vector<ColumnDescription> columns = {
      Column("id", "int"),           Column("amount_big", "bigint"), Column("created", "datetime"),
      Column("price", "decimal", 9), Column("flag_a", "bit"),       Column("flag_b", "bit"),
      Column("flag_c", "bit"),       Column("guid", "uniqueidentifier"),
      Column("name", "nvarchar", 100), Column("note", "varchar", 100)};
  columns[0].nullable = false;
  columns[3].precision = 18;
  columns[3].scale = 2;
  const int16_t offsets[] = {kIdOffset,    kBigOffset,   kCreatedOffset, kPriceOffset,
                             kFlagsOffset, kFlagsOffset, kFlagsOffset,   kGuidOffset};
  for (size_t i = 0; i < std::size(offsets); ++i) columns[i].leafOffset = offsets[i];
  return columns;
}

// The generator: every value of row i follows from i.
int64_t BigValue(int64_t i) { return i * 1000003 - 500'000'000'000; }
int32_t CreatedDay(int64_t i) { return kFirstDay + static_cast<int32_t>(i % kDaySpread); }
int32_t CreatedSecond(int64_t i) { return static_cast<int32_t>((i * 7) % 86400); }
uint64_t PriceCents(int64_t i) { return static_cast<uint64_t>(i) * 101 + 7; }
bool PriceNegative(int64_t i) { return i % 5 == 0; }
uint8_t Flags(int64_t i) { return static_cast<uint8_t>(i & 7); }
uint8_t GuidByte(int64_t i, int k) { return static_cast<uint8_t>((i * 2654435761u) >> (k % 4 * 8)) ^ static_cast<uint8_t>(k * 17); }
bool NameNull(int64_t i) { return i % 11 == 0; }
bool NoteNull(int64_t i) { return i % 7 == 0; }
std::string NameText(int64_t i) { return fmt::format("Customer {}", i); }
std::string NoteText(int64_t i) { return fmt::format("Order note {} for the row benchmark", i); }

template <typename T>
void PutLittleEndian(Bytes& bytes, size_t offset, T value, size_t width = sizeof(T)) {
  for (size_t k = 0; k < width; ++k) {
    bytes[offset + k] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * k));
  }
}

Bytes BenchRow(int64_t i) {
  Bytes fixed(kFixedEnd - 4, 0);
  auto at = [](int16_t record_offset) { return static_cast<size_t>(record_offset - 4); };
  PutLittleEndian<int32_t>(fixed, at(kIdOffset), static_cast<int32_t>(i));
  PutLittleEndian<int64_t>(fixed, at(kBigOffset), BigValue(i));
  PutLittleEndian<int32_t>(fixed, at(kCreatedOffset), CreatedSecond(i) * 300);
  PutLittleEndian<int32_t>(fixed, at(kCreatedOffset) + 4, CreatedDay(i));
  fixed[at(kPriceOffset)] = PriceNegative(i) ? 0 : 1;
  PutLittleEndian<uint64_t>(fixed, at(kPriceOffset) + 1, PriceCents(i));
  fixed[at(kFlagsOffset)] = Flags(i);
  for (int k = 0; k < 16; ++k) fixed[at(kGuidOffset) + static_cast<size_t>(k)] = GuidByte(i, k);

  std::vector<int> nulls;
  if (NameNull(i)) nulls.push_back(kNameColumn);
  if (NoteNull(i)) nulls.push_back(kNoteColumn);
  const std::string note = NoteText(i);
  return quill::fixture::PlainRecordBuilder()
      .Fixed(std::move(fixed))
      .ColumnCount(kColumnCount)
      .Nulls(std::move(nulls))
      .Variable(NameNull(i) ? Bytes{} : quill::fixture::Utf16Le(NameText(i)))
      .Variable(NoteNull(i) ? Bytes{} : Bytes(note.begin(), note.end()))
      .Build();
}

// The cells ReadPageRows must give for row i.
std::vector<std::string> ExpectedCells(int64_t i) {
  using namespace std::chrono;
  const year_month_day date{sys_days{year{1900} / January / 1} + days{CreatedDay(i)}};
  const int32_t second = CreatedSecond(i);
  const uint64_t cents = PriceCents(i);
  std::string guid;
  for (int k : {3, 2, 1, 0, -1, 5, 4, -1, 7, 6, -1, 8, 9, -1, 10, 11, 12, 13, 14, 15}) {
    guid += k < 0 ? std::string("-") : fmt::format("{:02X}", GuidByte(i, k));
  }
  auto bit = [&](int k) { return std::string((Flags(i) >> k) & 1 ? "True" : "False"); };
  return {std::to_string(i),
          std::to_string(BigValue(i)),
          fmt::format("{:04d}-{:02d}-{:02d} {:02d}:{:02d}:{:02d}", static_cast<int>(date.year()),
                      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                      second / 3600, second / 60 % 60, second % 60),
          fmt::format("{}{}.{:02d}", PriceNegative(i) ? "-" : "", cents / 100, cents % 100),
          bit(0),
          bit(1),
          bit(2),
          guid,
          NameNull(i) ? "NULL" : NameText(i),
          NoteNull(i) ? "NULL" : NoteText(i)};
}

quill::fixture::DatabaseDescription BenchDatabase(int64_t row_count) {
  quill::fixture::DatabaseDescription description;
  description.boot.versionNumber = kBootVersion;
  description.boot.createVersionNumber = kBootVersion;
  description.boot.databaseName = u"RowBench";
  quill::fixture::TableDescription table{.name = kTableName, .objectId = kTableId};
  table.columns = BenchColumns();
  table.rows.reserve(static_cast<size_t>(row_count));
  for (int64_t i = 0; i < row_count; ++i) table.rows.push_back(BenchRow(i));
  description.tables.push_back(std::move(table));
  return description;
}

struct BenchFile {
  std::string folder;  // empty when the file is kept
  std::string path;
  int32_t pageCount = 0;
  double buildSeconds = 0.0;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::optional<BenchFile> WriteBenchFile(int64_t row_count) {
  BenchFile file;
  if (const char* kept = std::getenv(kFileVariable); kept != nullptr && *kept != '\0') {
    file.path = kept;
  } else {
    const auto folder = quill::bench::MakeBenchFolder("quillstone_row_bench");
    if (!folder) return std::nullopt;
    file.folder = *folder;
    file.path = *folder + "/RowBench.mdf";
  }
  const auto start = std::chrono::steady_clock::now();
  bool written = false;
  {
    const quill::fixture::DataFileBuilder builder =
        quill::fixture::BuildCatalogDatabase(BenchDatabase(row_count));
    file.pageCount = builder.pageCount();
    written = builder.WriteTo(file.path);
  }
  file.buildSeconds = SecondsSince(start);
  if (!written) {
    if (!file.folder.empty()) ::rmdir(file.folder.c_str());
    return std::nullopt;
  }
  return file;
}

// CPU time of the calling thread: on a shared machine the wall-clock time
// also counts the time other programs held the core.
double ThreadCpuSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct RunResult {
  double seconds = 0.0;
  double cpuSeconds = 0.0;
  int64_t rows = 0;
  size_t pages = 0;
  double RowsPerSecond() const { return seconds > 0.0 ? static_cast<double>(rows) / seconds : 0.0; }
  double RowsPerCpuSecond() const { return cpuSeconds > 0.0 ? static_cast<double>(rows) / cpuSeconds : 0.0; }
};

std::string g_path;
int64_t g_rowCount = kDefaultRowCount;
std::vector<RunResult> g_runs;
bool g_failed = false;

// One open, load, resolution and read of every page of the table, the read
// timed. With `check_cells` every cell is compared with the generator's
// text. Returns the error text of the first failed check.
std::optional<std::string> RunOnce(RunResult& result, bool check_cells,
                                   uint64_t* allocations = nullptr) {
  quill::ApplicationState state;
  quill::CDatabaseFile file;
  quill::NullProgressSink sink;
  if (!file.Open(g_path, &sink)) return "Open failed";
  std::unique_ptr<quill::SystemCatalog> catalog = quill::LoadCatalog(file, state.readOptions(), state.collationChoice());
  if (catalog->isSql2000) return "catalog read as the SQL Server 2000 layout";
  const std::vector<quill::ColumnDescriptor> descriptors =
      quill::ResolveObject(*catalog, file, catalog->isSql2000, kTableName, "U ", {});
  if (descriptors.size() != kColumnCount) {
    return fmt::format("{} descriptors, expected {}", descriptors.size(), kColumnCount);
  }
  quill::CurrentTable& table = catalog->current;
  const quill::PageRowsTable rows_table = quill::CurrentTableRows(table);
  quill::ReadOptions options = state.readOptions();
  options.parse.isSql2000 = catalog->isSql2000;
  const std::vector<quill::PageAddress> pages = table.pageList;
  result.pages = pages.size();

  int64_t rows = 0;
  size_t text_bytes = 0;
  std::optional<std::string> mismatch;
  if (allocations != nullptr) quill::bench::StartCountingAllocations();
  const auto start = std::chrono::steady_clock::now();
  const double cpu_start = ThreadCpuSeconds();
  for (const quill::PageAddress& address : pages) {
    for (const quill::Row& row : quill::ReadPageRows(address, file, rows_table, options)) {
      if (check_cells && !mismatch) {
        const std::vector<std::string> expected = ExpectedCells(rows);
        for (size_t c = 0; c < expected.size() && c < row.size(); ++c) {
          if (row.text(c) != expected[c]) {
            mismatch = fmt::format("row {} column {}: \"{}\", expected \"{}\"", rows, row.column(c).name,
                                   row.text(c), expected[c]);
            break;
          }
        }
      }
      text_bytes += row.text(row.size() - 1).size();
      ++rows;
    }
  }
  result.seconds = SecondsSince(start);
  result.cpuSeconds = ThreadCpuSeconds() - cpu_start;
  if (allocations != nullptr) *allocations = quill::bench::StopCountingAllocations();
  result.rows = rows;
  if (mismatch) return mismatch;
  if (rows != g_rowCount) return fmt::format("{} rows, expected {}", rows, g_rowCount);
  if (text_bytes == 0) return "no note texts";
  return std::nullopt;
}

void BM_ReadPageRows(benchmark::State& state) {
  for (auto _ : state) {
    RunResult result;
    if (auto error = RunOnce(result, false)) {
      g_failed = true;
      state.SkipWithError(error->c_str());
      return;
    }
    state.SetIterationTime(result.seconds);
    state.counters["rows_per_s"] = result.RowsPerSecond();
    state.counters["rows_per_cpu_s"] = result.RowsPerCpuSecond();
    g_runs.push_back(result);
  }
}

int PrintSummary(const BenchFile& file) {
  if (g_failed) return 1;
  if (g_runs.empty()) return 0;  // filtered out
  RunResult checked;
  uint64_t allocations = 0;
  if (auto error = RunOnce(checked, true, &allocations)) {
    std::fprintf(stderr, "checked run failed: %s\n", error->c_str());
    return 1;
  }
  double best = 0.0;
  double best_cpu = 0.0;
  for (const RunResult& run : g_runs) {
    best = std::max(best, run.RowsPerSecond());
    best_cpu = std::max(best_cpu, run.RowsPerCpuSecond());
  }

  std::printf("\nSummary (%zu runs; every cell of every row checked in a further run)\n",
              g_runs.size());
  std::printf("  file        %d pages (%.1f MiB), built and written in %.2f s\n", file.pageCount,
              file.pageCount * double{quill::kPageSize} / (1024.0 * 1024.0), file.buildSeconds);
  std::printf("  table       %lld rows of %d columns on %zu data pages\n",
              static_cast<long long>(g_rowCount), kColumnCount, g_runs.front().pages);
  std::printf("  run      seconds     rows/s   CPU seconds  rows per CPU second\n");
  for (size_t i = 0; i < g_runs.size(); ++i) {
    const RunResult& r = g_runs[i];
    std::printf("  %-6zu %9.3f %10.0f %13.3f %20.0f\n", i + 1, r.seconds, r.RowsPerSecond(), r.cpuSeconds,
                r.RowsPerCpuSecond());
  }
  // The goal is per core: judged on CPU time, which is what an idle core
  // would take; the wall-clock figure also holds other programs' turns.
  std::printf("  best rows/s %.0f wall clock, %.0f per CPU second; goal %.0f per core: %s\n", best,
              best_cpu, kGoalRowsPerSecond, best_cpu >= kGoalRowsPerSecond ? "met" : "NOT met");
  std::printf("  heap allocations per row %.1f\n",
              static_cast<double>(allocations) / static_cast<double>(g_rowCount));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (const char* rows = std::getenv(kRowCountVariable); rows != nullptr && *rows != '\0') {
    g_rowCount = std::max<int64_t>(1, std::atoll(rows));
  }

  std::printf("Building the row database (%lld rows)...\n", static_cast<long long>(g_rowCount));
  std::fflush(stdout);
  const std::optional<BenchFile> file = WriteBenchFile(g_rowCount);
  if (!file) {
    std::fprintf(stderr, "cannot write the row database\n");
    return 1;
  }
  std::printf("%s: %d pages, %.2f s\n", file->path.c_str(), file->pageCount, file->buildSeconds);
  g_path = file->path;

  benchmark::RegisterBenchmark("read_page_rows", BM_ReadPageRows)
      ->Iterations(1)
      ->Repetitions(kRuns)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const int result = PrintSummary(*file);
  if (!file->folder.empty()) {
    std::remove(file->path.c_str());
    ::rmdir(file->folder.c_str());
  }
  return result;
}
