// Throughput of the record layer on one full data page.
//
// One page image is built once: a data page filled with small plain records
// (three int columns, a null bitmap and two short variable columns, 36 bytes
// each) and, in the free space behind them where no slot points, a few
// deleted rows (kind 6 with 128 bytes of fixed data, so that they start with
// the 3C 00 84 00 marker the deleted-record search scans for). Each
// iteration copies the image into a fresh PageBuffer and parses it whole as
// a CDataPage, destroying the page (and its records) again:
//   plain_parse          - default options: only the slots;
//   deleted_search_parse - parse options with both deleted-record
//                          options on: the search over the page body runs,
//                          and the rows it finds are parsed as well.
// Items per second are pages per second; the "records" counter is records
// per second. Before timing, each case parses the page once and checks that
// every record it expects came out, so that a page the parser rejects is not
// timed as a fast one; that parse also counts the heap allocations of one
// page (buffer, parse and destruction), reported as "allocs_per_page".
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "allocation_counter.h"
#include "page_builder.h"
#include "page_image.h"
#include "pages/database_file.h"
#include "pages/page_buffer.h"
#include "pages/page_geometry.h"
#include "record_builder.h"
#include "records/data_page.h"



namespace {

using quill::kPageHeaderSize;
using quill::kPageSize;
using quill::fixture::Bytes;

constexpr uint8_t kTypeData = 1;
constexpr int32_t kObjectId = 1977058079;
constexpr int32_t kPageId = 4242;
constexpr int16_t kColumnCount = 5;  // three fixed, two variable
constexpr int kDeletedRowCount = 3;
constexpr int kDeletedFixedBytes = 128;  // fixed end offset 132: the 3C 00 84 00 marker
constexpr size_t kSlotBytes = 2;
constexpr double kMinSeconds = 2.0;

Bytes Int32Bytes(std::initializer_list<int32_t> values) {
  Bytes out;
  for (int32_t v : values) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(u >> (8 * i)));
  }
  return out;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A live row: id, quantity, a code; a 6-byte name and a 5-byte city.
Bytes LiveRow(int32_t i) {
  char name[8];
  std::snprintf(name, sizeof name, "row%03d", i % 1000);
  return quill::fixture::PlainRecordBuilder(quill::kRecordKindPrimary)
      .Fixed(Int32Bytes({i, i * 7, 0x5eed}))
      .ColumnCount(kColumnCount)
      .Nulls({})
      .Variable(Text(name))
      .Variable(Text("Paris"))
      .Build();
}

// A deleted row as it stays in the page body after its slot was freed.
Bytes DeletedRow(int32_t i) {
  Bytes fixed(kDeletedFixedBytes, static_cast<uint8_t>(0x40 + i));
  return quill::fixture::PlainRecordBuilder(quill::kRecordKindGhostData)
      .Fixed(std::move(fixed))
      .ColumnCount(kColumnCount)
      .Nulls({})
      .Variable(Text("gone__"))
      .Variable(Text("Lyon!"))
      .Build();
}

struct BenchPage {
  quill::fixture::PageImage image;
  int liveRecords = 0;
  int deletedRecords = 0;
  size_t usedBytes = 0;  // records, deleted rows and slot array, header included
};

// Fills the page with live rows until one more would not leave room for the
// deleted rows, then writes the deleted rows behind the last live one.
BenchPage BuildBenchPage() {
  std::vector<Bytes> deleted;
  size_t deleted_bytes = 0;
  for (int i = 0; i < kDeletedRowCount; ++i) {
    deleted.push_back(DeletedRow(i));
    deleted_bytes += deleted.back().size();
  }
  quill::fixture::PageBuilder builder(kTypeData, kObjectId, kPageId);
  builder.IndexId(256);
  BenchPage page;
  size_t free_offset = kPageHeaderSize;
  for (int32_t i = 0;; ++i) {
    const Bytes row = LiveRow(i);
    const size_t slots_after = kSlotBytes * static_cast<size_t>(page.liveRecords + 1);
    if (free_offset + row.size() + deleted_bytes + slots_after > kPageSize) break;
    builder.AddRecord(row);
    free_offset += row.size();
    ++page.liveRecords;
  }
  for (const Bytes& row : deleted) {
    builder.PutBody(free_offset, row);
    free_offset += row.size();
    ++page.deletedRecords;
  }
  page.usedBytes = free_offset + kSlotBytes * static_cast<size_t>(page.liveRecords);
  page.image = builder.Build();
  return page;
}

const BenchPage& Page() {
  static const BenchPage page = BuildBenchPage();
  return page;
}

quill::CDataPage ParseCopy(const quill::fixture::PageImage& image, const quill::RecordParseOptions& options) {
  auto buffer = quill::PageBuffer::Allocate();
  if (!buffer) std::abort();
  std::memcpy(buffer->page().data(), image.bytes().data(), kPageSize);
  return quill::CDataPage(std::move(*buffer), nullptr, options);
}

// Counts the records a parse produced that are shown, and those of them that
// are deleted rows.
struct Shown {
  int records = 0;
  int deleted = 0;
};

Shown CountShown(const quill::CDataPage& page) {
  Shown shown;
  for (const auto& record : page.records()) {
    if (!record || record->notShown() || record->varEntries().size() != 2) continue;
    ++shown.records;
    if (record->kind == quill::kRecordKindGhostData) ++shown.deleted;
  }
  return shown;
}

void RunParse(benchmark::State& state, const quill::RecordParseOptions& options, int expected_records,
              int expected_deleted) {
  const BenchPage& bench_page = Page();
  uint64_t allocations = 0;
  {
    quill::bench::StartCountingAllocations();
    Shown shown;
    {
      const quill::CDataPage check = ParseCopy(bench_page.image, options);
      shown = CountShown(check);
    }
    allocations = quill::bench::StopCountingAllocations();
    if (shown.records != expected_records || shown.deleted != expected_deleted) {
      const std::string message = "parsed " + std::to_string(shown.records) + " records (" +
                                  std::to_string(shown.deleted) + " deleted), expected " +
                                  std::to_string(expected_records) + " (" +
                                  std::to_string(expected_deleted) + ")";
      state.SkipWithError(message.c_str());
      return;
    }
  }
  for (auto _ : state) {
    quill::CDataPage page = ParseCopy(bench_page.image, options);
    benchmark::DoNotOptimize(page.records().data());
    benchmark::ClobberMemory();
  }
  const auto pages = static_cast<int64_t>(state.iterations());
  state.SetItemsProcessed(pages);
  state.counters["records"] =
      benchmark::Counter(static_cast<double>(pages * expected_records), benchmark::Counter::kIsRate);
  state.counters["records_per_page"] = expected_records;
  state.counters["allocs_per_page"] = static_cast<double>(allocations);
}

void BM_PlainParse(benchmark::State& state) {
  RunParse(state, {}, Page().liveRecords, 0);
}

void BM_DeletedSearchParse(benchmark::State& state) {
  quill::RecordParseOptions options;
  options.showDeletedRecords = true;
  options.showAdvancedDeletedRecords = true;
  RunParse(state, options, Page().liveRecords + Page().deletedRecords, Page().deletedRecords);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  const BenchPage& page = Page();
  std::printf("Page: %d live records of %zu bytes, %d deleted rows of %zu bytes in free space, "
              "%zu of %zu bytes used\n",
              page.liveRecords, LiveRow(0).size(), page.deletedRecords, DeletedRow(0).size(),
              page.usedBytes, kPageSize);

  benchmark::RegisterBenchmark("plain_parse", BM_PlainParse)->MinTime(kMinSeconds);
  benchmark::RegisterBenchmark("deleted_search_parse", BM_DeletedSearchParse)->MinTime(kMinSeconds);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
