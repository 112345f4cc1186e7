// Pages decoded on several threads: the ordered map keeps item order and
// bounds the work in flight, and a table read on several threads gives the
// same bytes as the one-thread read, for every table of the demo database.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "common/ordered_parallel_map.h"
#include "export/table_source.h"
#include "catalog_builder.h"
#include "scan/application_state.h"
#include "support/paged_database.h"
#include "support/temp_dir.h"

namespace quill {
namespace {

TEST(OrderedParallelMapTest, TakesChunksInItemOrderWithBoundedWorkInFlight) {
  for (const auto& [threads, batch] : {std::pair{1u, 1u}, {2u, 1u}, {4u, 1u}, {2u, 4u}, {3u, 5u}}) {
    constexpr size_t kItems = 500;
    std::atomic<size_t> made{0};
    std::atomic<size_t> most_ahead{0};
    std::atomic<size_t> taken{0};
    OrderedMapOptions options;
    options.threads = threads;
    options.batch = batch;
    options.window = 6 * batch;
    std::string all;
    const size_t done = OrderedParallelMap(
        kItems, options,
        [&](unsigned worker, size_t item, OrderedChunk& chunk) {
          ASSERT_LT(worker, threads);
          // Later items finish first now and then.
          if (item % 7 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
          chunk.bytes = std::to_string(item) + ";";
          chunk.rows = item;
          const size_t ahead = made.fetch_add(1) + 1 - taken;
          size_t seen = most_ahead.load();
          while (ahead > seen && !most_ahead.compare_exchange_weak(seen, ahead)) {
          }
        },
        [&](size_t item, OrderedChunk& chunk) {
          EXPECT_EQ(chunk.rows, item);
          all += chunk.bytes;
          taken = item + 1;
          return true;
        });
    EXPECT_EQ(done, kItems);
    std::string expected;
    for (size_t i = 0; i < kItems; ++i) expected += std::to_string(i) + ";";
    EXPECT_EQ(all, expected) << threads << " threads, batches of " << batch;
    // `taken` moves after the consumer hands the slot back: a batch of slack
    // for each worker.
    EXPECT_LE(most_ahead.load(), options.window + threads * batch + 1) << threads << " threads";
  }
}

TEST(OrderedParallelMapTest, ARefusedChunkOrAStopEndsTheRun) {
  for (size_t batch : {1u, 4u}) {
    SCOPED_TRACE(batch);
    OrderedMapOptions options;
    options.threads = 3;
    options.batch = batch;
    const auto make = [](unsigned, size_t item, OrderedChunk& chunk) { chunk.rows = item; };
    size_t last = 0;
    EXPECT_EQ(OrderedParallelMap(1000, options, make,
                                 [&](size_t item, OrderedChunk&) {
                                   last = item;
                                   return item < 99;
                                 }),
              99u);
    EXPECT_EQ(last, 99u);

    std::atomic<bool> stop{false};
    options.stop = StopToken(&stop);
    size_t count = 0;
    EXPECT_EQ(OrderedParallelMap(1000, options, make,
                                 [&](size_t, OrderedChunk&) {
                                   if (++count == 10) stop = true;
                                   return true;
                                 }),
              10u);
  }
}

// Every row of `table` as the rows command's TSV, read on `threads` threads.
std::string TableText(TableSource& source, const std::string& table, unsigned threads) {
  const std::optional<ExportTableShape> shape = source.Resolve(table, false);
  if (!shape) return "no table";
  const auto format = [&](const Row& row, const std::vector<TypedValue>& cells, const RowPlace& place,
                          std::string& out) {
    out += std::to_string(place.slot);
    for (const ExportColumn& column : shape->columns) {
      out += '\t' + row.text(column.cellIndex) + '|' + cells[column.cellIndex].text;
    }
    out += '\n';
  };
  std::string text;
  if (threads == 0) {  // the one-thread reader, row by row
    source.ReadRows(
        [&](const Row& row, const std::vector<TypedValue>& cells, const RowPlace& place) {
          format(row, cells, place, text);
          return true;
        },
        {});
    return text;
  }
  source.ReadRowsFormatted(format,
                           [&](std::string& bytes, uint64_t) {
                             text += bytes;
                             return true;
                           },
                           {}, true, threads);
  return text;
}

TEST(ParallelTableReadTest, EveryDemoTableReadsTheSameOnOneAndOnFourThreads) {
  ApplicationState state;
  state.collationTable = LoadCollationTable(QUILLSTONE_COLLATION_TABLE);
  state.showDeletedRecords = true;  // ghosts and records in free space too
  state.showAdvancedDeletedRecords = true;
  TableSource source(state.readOptions(), state.collationChoice());
  NullProgressSink progress;
  ASSERT_TRUE(source.Open(QUILLSTONE_DEMO_DATABASE, progress));
  size_t tables = 0;
  for (const SourceTable& table : source.Tables()) {
    const std::string one = TableText(source, table.name, 0);
    EXPECT_EQ(TableText(source, table.name, 1), one) << table.name;
    EXPECT_EQ(TableText(source, table.name, 4), one) << table.name;
    tables += !one.empty();
  }
  EXPECT_GE(tables, 10u);
}

TEST(ParallelTableReadTest, ATableOfManyPagesReadsTheSameOnFourThreads) {
  testing::TempDir dir;
  const std::string path = dir.File("paged.mdf");
  ASSERT_TRUE(fixture::BuildCatalogDatabase(testing::PagedTables({2500})).WriteTo(path));
  ApplicationState state;
  state.collationTable = LoadCollationTable(QUILLSTONE_COLLATION_TABLE);
  TableSource source(state.readOptions(), state.collationChoice());
  NullProgressSink progress;
  ASSERT_TRUE(source.Open(path, progress));
  const std::string one = TableText(source, "T2500", 0);
  EXPECT_EQ(std::count(one.begin(), one.end(), '\n'), 2500);
  EXPECT_EQ(TableText(source, "T2500", 4), one);
}

}  // namespace
}  // namespace quill
