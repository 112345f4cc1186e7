// Loading the page maps from a snapshot against the mapping pass they
// replace.
//
// A primary file of a few hundred MB is built with the fixture builders into
// a fresh temporary folder (removed at the end): the fixed pages, one page
// per system base table, then user tables of many data pages each with their
// IAM pages. Its snapshot is written once. With both files in the page
// cache, three things are timed:
//   mapping_pass   - CDatabaseFile::Open with the pass over every page;
//   snapshot_open  - CDatabaseFile::Open of the same file in snapshot mode:
//                    the alignment probe plus reading the snapshot's maps;
//   snapshot_maps  - ReadSnapshotMaps alone into an unopened file set.
// A summary gives the best of a few runs of each and the speed-up.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_files.h"
#include "common/progress_sink.h"
#include "database_builder.h"
#include "pages/database_file.h"
#include "pages/page_geometry.h"
#include "pages/read_only_file.h"
#include "scan/snapshot_loader.h"
#include "scan/snapshot_reader.h"
#include "scan/snapshot_writer.h"

namespace {

constexpr int kUserTableCount = 400;
constexpr int32_t kDataPagesPerTable = 100;  // about 320 MiB in all
constexpr int32_t kFirstUserObjectId = 100000;
constexpr int kBenchmarkIterations = 5;
constexpr int kSummaryRuns = 5;
constexpr double kBytesPerMiB = 1024.0 * 1024.0;

struct BenchFiles {
  std::string folder;
  std::string database;
  std::string snapshot;
  uint64_t databaseBytes = 0;
  uint64_t snapshotBytes = 0;
};

BenchFiles g_files;

bool BuildDatabase(const std::string& path) {
  quill::fixture::PrimaryFileLayout description;
  for (int i = 0; i < kUserTableCount; ++i) {
    description.userTables.push_back({kFirstUserObjectId + i, kDataPagesPerTable});
  }
  return quill::fixture::BuildPrimaryFile(description).WriteTo(path);
}

bool MappingPass() {
  quill::NullProgressSink sink;
  quill::CDatabaseFile file;
  const bool opened = file.Open(g_files.database, &sink);
  benchmark::DoNotOptimize(file.dataPages().size());
  return opened;
}

bool SnapshotOpen() {
  quill::NullProgressSink sink;
  quill::SnapshotFileMaps source(g_files.snapshot);
  quill::CDatabaseFile file;
  file.SetSnapshotMapSource(&source);
  const bool opened = file.Open(g_files.database, &sink);
  benchmark::DoNotOptimize(file.dataPages().size());
  return opened;
}

bool SnapshotMaps() {
  quill::CDatabaseFile file;
  const bool read = quill::ReadSnapshotMaps(g_files.snapshot, file).ok();
  benchmark::DoNotOptimize(file.dataPages().size());
  return read;
}

void RunTimed(benchmark::State& state, bool (*run)(), const char* what) {
  for (auto _ : state) {
    if (!run()) {
      state.SkipWithError(what);
      return;
    }
  }
}

void BM_MappingPass(benchmark::State& state) {
  RunTimed(state, MappingPass, "mapping pass failed");
}
void BM_SnapshotOpen(benchmark::State& state) {
  RunTimed(state, SnapshotOpen, "snapshot open failed");
}
void BM_SnapshotMaps(benchmark::State& state) {
  RunTimed(state, SnapshotMaps, "snapshot read failed");
}

double BestSeconds(bool (*run)()) {
  double best = 0.0;
  for (int i = 0; i < kSummaryRuns; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (i == 0 || took.count() < best) best = took.count();
  }
  return best;
}

bool PrepareFiles() {
  const auto folder = quill::bench::MakeBenchFolder("quillstone_snapshot_bench");
  if (!folder) return false;
  g_files.folder = *folder;
  g_files.database = g_files.folder + "/bench.mdf";
  std::printf("Writing %s (%d tables of %d data pages)...\n", g_files.database.c_str(),
              kUserTableCount, kDataPagesPerTable);
  std::fflush(stdout);
  if (!BuildDatabase(g_files.database)) return false;

  quill::NullProgressSink sink;
  quill::CDatabaseFile file;
  if (!file.Open(g_files.database, &sink)) return false;
  const auto written =
      quill::WriteSnapshot(&file, g_files.database, false, {}, {}, g_files.folder + "/bench");
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

void PrintSummary() {
  const double mapping = BestSeconds(MappingPass);
  const double open = BestSeconds(SnapshotOpen);
  const double maps = BestSeconds(SnapshotMaps);
  std::printf("\nSummary (best of %d runs)\n", kSummaryRuns);
  std::printf("  database                  %.1f MiB (%llu pages)\n",
              static_cast<double>(g_files.databaseBytes) / kBytesPerMiB,
              static_cast<unsigned long long>(g_files.databaseBytes / quill::kPageSize));
  std::printf("  snapshot                  %.1f KiB\n",
              static_cast<double>(g_files.snapshotBytes) / 1024.0);
  std::printf("  mapping pass              %.2f ms\n", mapping * 1e3);
  std::printf("  open from snapshot        %.2f ms (%.1fx faster)\n", open * 1e3, mapping / open);
  std::printf("  snapshot maps alone       %.2f ms (%.1fx faster)\n", maps * 1e3, mapping / maps);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!PrepareFiles()) {
    std::fprintf(stderr, "cannot prepare the benchmark files in %s\n", g_files.folder.c_str());
    RemoveFiles();
    return 1;
  }
  struct Timed {
    const char* name;
    void (*function)(benchmark::State&);
  };
  const Timed timed[] = {{"mapping_pass", BM_MappingPass},
                         {"snapshot_open", BM_SnapshotOpen},
                         {"snapshot_maps", BM_SnapshotMaps}};
  for (const Timed& t : timed) {
    benchmark::RegisterBenchmark(t.name, t.function)
        ->Iterations(kBenchmarkIterations)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary();
  RemoveFiles();
  return 0;
}
