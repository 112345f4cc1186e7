// Throughput of the mapping pass of the page layer against a plain read.
//
// A synthetic primary file of 1 GiB is written once (and reused): allocation
// pages, the boot page, runs of system table pages and then hundreds of user
// tables whose data, index and IAM pages come in interleaved runs of extents.
// With the file in the page cache, two things are timed:
//   plain_read   - pread of the whole file in the chunk size of the
//                  sequential page reader, touching nothing;
//   mapping_pass - CDatabaseFile::Open: the alignment probe plus the pass
//                  that files every page under its object id.
// A summary follows: both throughputs (best of a few runs), their ratio, the
// memory the page maps hold per mapped page, and the heap allocations one
// Open makes (counted by replacing the global operator new here).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "allocation_counter.h"
#include "boot_page_builder.h"
#include "common/progress_sink.h"
#include "database_builder.h"
#include "page_builder.h"
#include "pages/database_file.h"
#include "pages/page_geometry.h"
#include "pages/read_only_file.h"
#include "pages/sequential_page_reader.h"
#include "pages/system_objects.h"



namespace {

using quill::kAllocationObjectId;
using quill::kPageSize;

constexpr int32_t kBenchPageCount = 131072;  // 1 GiB
constexpr uint64_t kBenchFileBytes = uint64_t{kBenchPageCount} * kPageSize;
constexpr char kDefaultFileName[] = "quillstone_bench_1g.mdf";
constexpr char kFileOverrideVariable[] = "QUILLSTONE_BENCH_FILE";
constexpr size_t kChunkBytes = quill::SequentialPageReader::kDefaultPagesPerChunk * kPageSize;

constexpr int kBenchmarkIterations = 3;
constexpr int kSummaryRuns = 3;

// Layout of the synthetic file.
constexpr uint32_t kLayoutSeed = 0x5eed1234;
constexpr int32_t kSystemRegionEnd = 2048;  // system table runs fill pages 16..2047
constexpr int kUserTableCount = 300;
constexpr int32_t kMinUserObjectId = 100000;
constexpr uint32_t kMaxUserRunExtents = 16;
constexpr uint32_t kIndexRunOdds = 6;   // one run in six holds index pages
constexpr int32_t kPfsInterval = 8088;  // a PFS page covers this many pages
constexpr uint16_t kDataIndexId = 256;
constexpr uint16_t kIndexIndexId = 512;
constexpr int32_t kDcmPage = 6;
constexpr int32_t kBcmPage = 7;

constexpr uint8_t kTypeData = 1;
constexpr uint8_t kTypeIndex = 2;
constexpr uint8_t kTypeGam = 8;
constexpr uint8_t kTypeSgam = 9;
constexpr uint8_t kTypeIam = 10;
constexpr uint8_t kTypePfs = 11;
constexpr uint8_t kTypeFileHeader = 15;
constexpr uint8_t kTypeDcm = 16;
constexpr uint8_t kTypeBcm = 17;

constexpr double kBytesPerMiB = 1024.0 * 1024.0;

// Produces the pages of the synthetic primary file in ascending order. Pages
// 0..15 are the fixed pages, then system tables own one extent at a time up
// to kSystemRegionEnd, then user tables own runs of 1..16 extents, picked at
// random. The first page an object ever gets is its IAM page.
class SyntheticLayout {
 public:
  SyntheticLayout() : rng_(kLayoutSeed), systemIds_(quill::fixture::SystemTableObjectIds(
                                             quill::fixture::CatalogLayout::kSql2005Plus)) {
    std::set<int32_t> ids;
    while (ids.size() < kUserTableCount) {
      ids.insert(kMinUserObjectId + static_cast<int32_t>(rng_() % (INT32_MAX - kMinUserObjectId)));
    }
    userIds_.assign(ids.begin(), ids.end());
  }

  quill::fixture::PageImage Page(int32_t page_id) {
    using quill::fixture::PageBuilder;
    if (page_id < quill::fixture::kFirstSystemTablePage) return FixedPage(page_id);
    if (page_id == runEnd_) StartRun(page_id);
    if (page_id % kPfsInterval == 0) return PageBuilder(kTypePfs, kAllocationObjectId, page_id).Build();
    if (iamPending_) {
      iamPending_ = false;
      return PageBuilder(kTypeIam, runObjectId_, page_id).IndexId(runIndexId_).Build();
    }
    return PageBuilder(runPageType_, runObjectId_, page_id).IndexId(runIndexId_).Build();
  }

 private:
  quill::fixture::PageImage FixedPage(int32_t page_id) {
    using quill::fixture::PageBuilder;
    switch (page_id) {
      case quill::fixture::kFileHeaderPage:
        return PageBuilder(kTypeFileHeader, kAllocationObjectId, page_id).Build();
      case quill::fixture::kPfsPage:
        return PageBuilder(kTypePfs, kAllocationObjectId, page_id).Build();
      case quill::fixture::kGamPage:
        return PageBuilder(kTypeGam, kAllocationObjectId, page_id).Build();
      case quill::fixture::kSgamPage:
        return PageBuilder(kTypeSgam, kAllocationObjectId, page_id).Build();
      case kDcmPage:
        return PageBuilder(kTypeDcm, kAllocationObjectId, page_id).Build();
      case kBcmPage:
        return PageBuilder(kTypeBcm, kAllocationObjectId, page_id).Build();
      case quill::fixture::kBootPage:
        return quill::fixture::BuildBootPage({.databaseName = u"BenchDb", .pageId = page_id});
      default:
        return PageBuilder(kTypeData, systemIds_[page_id % systemIds_.size()], page_id).Build();
    }
  }

  void StartRun(int32_t page_id) {
    const bool system = page_id < kSystemRegionEnd;
    const uint32_t extents = system ? 1 : 1 + rng_() % kMaxUserRunExtents;
    runEnd_ = page_id + static_cast<int32_t>(extents * quill::kPagesPerExtent);
    if (system) {
      runObjectId_ = systemIds_[rng_() % systemIds_.size()];
      runPageType_ = kTypeData;
      runIndexId_ = 0;
    } else {
      runObjectId_ = userIds_[rng_() % userIds_.size()];
      const bool index_run = rng_() % kIndexRunOdds == 0;
      runPageType_ = index_run ? kTypeIndex : kTypeData;
      runIndexId_ = index_run ? kIndexIndexId : kDataIndexId;
    }
    iamPending_ = seenIds_.insert(runObjectId_).second;
  }

  std::mt19937 rng_;
  std::vector<int32_t> systemIds_;
  std::vector<int32_t> userIds_;
  std::set<int32_t> seenIds_;
  int32_t runEnd_ = quill::fixture::kFirstSystemTablePage;
  int32_t runObjectId_ = 0;
  uint8_t runPageType_ = kTypeData;
  uint16_t runIndexId_ = 0;
  bool iamPending_ = false;
};

std::optional<uint64_t> FileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

// Writes the file under a temporary name and renames it when complete, so an
// interrupted run never leaves a file that a later run would reuse.
bool WriteSyntheticFile(const std::string& path) {
  const std::string partial = path + ".partial";
  std::FILE* out = std::fopen(partial.c_str(), "wb");
  if (out == nullptr) return false;
  SyntheticLayout layout;
  bool ok = true;
  for (int32_t page_id = 0; ok && page_id < kBenchPageCount; ++page_id) {
    const auto page = layout.Page(page_id);
    ok = std::fwrite(page.bytes().data(), 1, kPageSize, out) == kPageSize;
  }
  ok = std::fclose(out) == 0 && ok;
  if (ok) ok = std::rename(partial.c_str(), path.c_str()) == 0;
  if (!ok) std::remove(partial.c_str());
  return ok;
}

std::string BenchFilePath() {
  if (const char* path = std::getenv(kFileOverrideVariable); path != nullptr && *path != '\0') {
    return path;
  }
  const char* tmp = std::getenv("TMPDIR");
  const std::string folder = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
  return folder + "/" + kDefaultFileName;
}

// Creates the file when it is missing. An existing file of another size is
// left alone (it may be somebody's data file) and refused.
bool EnsureBenchFile(const std::string& path) {
  if (auto size = FileSize(path)) {
    if (*size == kBenchFileBytes) return true;
    std::fprintf(stderr, "%s exists with %llu bytes, expected %llu; remove it or set %s\n",
                 path.c_str(), static_cast<unsigned long long>(*size),
                 static_cast<unsigned long long>(kBenchFileBytes), kFileOverrideVariable);
    return false;
  }
  std::printf("Writing %s (%d pages)...\n", path.c_str(), kBenchPageCount);
  std::fflush(stdout);
  if (WriteSyntheticFile(path)) return true;
  std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return false;
}

// Reads the whole file front to back in reader-sized chunks; the bytes are
// not looked at. Returns the bytes read.
uint64_t PlainRead(const std::string& path) {
  auto file = quill::ReadOnlyFile::Open(path);
  if (!file) return 0;
  std::vector<uint8_t> chunk(kChunkBytes);
  uint64_t total = 0;
  for (uint64_t offset = 0; offset < file->length(); offset += kChunkBytes) {
    const auto n = file->ReadAt(offset, chunk);
    if (!n) return 0;
    total += *n;
    benchmark::DoNotOptimize(chunk.data());
    benchmark::ClobberMemory();
  }
  return total;
}

// Fraction of the file's bytes held in the page cache.
double ResidentFraction(const std::string& path, uint64_t length) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0.0;
  void* mapping = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, 0);
  ::close(fd);
  if (mapping == MAP_FAILED) return 0.0;
  const auto os_page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> resident((length + os_page - 1) / os_page);
  size_t count = 0;
  if (::mincore(mapping, length, resident.data()) == 0) {
    for (unsigned char r : resident) count += r & 1;
  }
  ::munmap(mapping, length);
  return static_cast<double>(count) / static_cast<double>(resident.size());
}

std::string g_benchPath;

void BM_PlainRead(benchmark::State& state) {
  for (auto _ : state) {
    if (PlainRead(g_benchPath) != kBenchFileBytes) {
      state.SkipWithError("plain read failed");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBenchFileBytes));
}

void BM_MappingPass(benchmark::State& state) {
  quill::NullProgressSink sink;
  for (auto _ : state) {
    quill::CDatabaseFile file;
    if (!file.Open(g_benchPath, &sink)) {
      state.SkipWithError("mapping pass failed");
      return;
    }
    benchmark::DoNotOptimize(file.dataPages().size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBenchFileBytes));
}

double BestSeconds(const std::function<void()>& run) {
  double best = 0.0;
  for (int i = 0; i < kSummaryRuns; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (i == 0 || took.count() < best) best = took.count();
  }
  return best;
}

struct MapMemory {
  uint64_t entries = 0;         // PageRef entries over the three maps
  uint64_t mappedPages = 0;     // distinct pages filed in at least one map
  uint64_t capacityBytes = 0;   // vector capacity of all lists
};

MapMemory MeasureMaps(const quill::CDatabaseFile& file) {
  MapMemory memory;
  std::vector<bool> filed(static_cast<size_t>(file.pageCount()) + 1, false);
  for (const quill::PageMap* map : {&file.systemPages(), &file.dataPages(), &file.iamPages()}) {
    for (const auto& [object_id, list] : *map) {
      memory.entries += list.size();
      memory.capacityBytes += list.capacity() * sizeof(quill::PageRef);
      for (const quill::PageRef& ref : list) filed[static_cast<size_t>(ref.pageIndex)] = true;
    }
  }
  for (bool f : filed) memory.mappedPages += f ? 1 : 0;
  return memory;
}

double MiBPerSecond(double seconds) { return static_cast<double>(kBenchFileBytes) / kBytesPerMiB / seconds; }

int PrintSummary() {
  quill::NullProgressSink sink;
  const double plain_seconds = BestSeconds([] { PlainRead(g_benchPath); });
  const double mapping_seconds = BestSeconds([&sink] {
    quill::CDatabaseFile file;
    file.Open(g_benchPath, &sink);
  });

  quill::CDatabaseFile file;
  quill::bench::StartCountingAllocations();
  const bool opened = file.Open(g_benchPath, &sink);
  const uint64_t allocations = quill::bench::StopCountingAllocations();
  if (!opened) {
    std::fprintf(stderr, "mapping pass failed on %s\n", g_benchPath.c_str());
    return 1;
  }
  const MapMemory memory = MeasureMaps(file);

  const double plain_rate = MiBPerSecond(plain_seconds);
  const double mapping_rate = MiBPerSecond(mapping_seconds);
  std::printf("\nSummary (best of %d runs, %u hardware threads)\n", kSummaryRuns,
              std::thread::hardware_concurrency());
  std::printf("  file                      %s (%llu bytes, %lld pages, %.1f%% in page cache)\n",
              g_benchPath.c_str(), static_cast<unsigned long long>(kBenchFileBytes),
              static_cast<long long>(file.pageCount()),
              100.0 * ResidentFraction(g_benchPath, kBenchFileBytes));
  std::printf("  plain read                %.0f MiB/s (%.3f s)\n", plain_rate, plain_seconds);
  std::printf("  mapping pass              %.0f MiB/s (%.3f s)\n", mapping_rate, mapping_seconds);
  std::printf("  ratio mapping/plain       %.3f\n", mapping_rate / plain_rate);
  std::printf("  objects per map           system %zu, data %zu, IAM %zu\n",
              file.systemPages().size(), file.dataPages().size(), file.iamPages().size());
  std::printf("  map entries (PageRef)     %llu\n", static_cast<unsigned long long>(memory.entries));
  std::printf("  mapped pages              %llu\n", static_cast<unsigned long long>(memory.mappedPages));
  std::printf("  sizeof(PageRef)           %zu\n", sizeof(quill::PageRef));
  std::printf("  list capacity             %llu bytes\n",
              static_cast<unsigned long long>(memory.capacityBytes));
  std::printf("  bytes per mapped page     %.2f\n",
              static_cast<double>(memory.capacityBytes) / static_cast<double>(memory.mappedPages));
  std::printf("  allocations in one Open   %llu (%.5f per mapped page)\n",
              static_cast<unsigned long long>(allocations),
              static_cast<double>(allocations) / static_cast<double>(memory.mappedPages));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  g_benchPath = BenchFilePath();
  if (!EnsureBenchFile(g_benchPath)) return 1;
  if (PlainRead(g_benchPath) != kBenchFileBytes) {  // warms the page cache
    std::fprintf(stderr, "cannot read %s\n", g_benchPath.c_str());
    return 1;
  }

  benchmark::RegisterBenchmark("plain_read", BM_PlainRead)
      ->Iterations(kBenchmarkIterations)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("mapping_pass", BM_MappingPass)
      ->Iterations(kBenchmarkIterations)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  return PrintSummary();
}
