#include "corruptor.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numeric>

namespace quill::corruptor {

namespace {

constexpr uint64_t kPageSize = 8192;
constexpr uint64_t kSectorSize = 512;
constexpr uint64_t kSectorsPerPage = kPageSize / kSectorSize;

// splitmix64: the same sequence for a seed on every platform and library.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A number in 0..bound-1; bound must be above 0.
  uint64_t Below(uint64_t bound) { return Next() % bound; }
  uint8_t Byte() { return static_cast<uint8_t>(Next()); }

 private:
  uint64_t state_;
};

bool IsZero(const uint8_t* bytes, size_t size) {
  return std::all_of(bytes, bytes + size, [](uint8_t b) { return b == 0; });
}

void ZeroPages(std::vector<uint8_t>& bytes, double percent, Random& random, CorruptionReport& report) {
  const uint64_t page_count = bytes.size() / kPageSize;
  const double share = std::clamp(percent, 0.0, 100.0) / 100.0;
  const auto wanted = static_cast<uint64_t>(std::llround(share * static_cast<double>(page_count)));
  if (wanted == 0) return;
  // A partial Fisher-Yates shuffle picks `wanted` distinct pages.
  std::vector<int64_t> pages(page_count);
  std::iota(pages.begin(), pages.end(), 0);
  for (uint64_t i = 0; i < wanted; ++i) {
    std::swap(pages[i], pages[i + random.Below(page_count - i)]);
    const auto page = static_cast<uint64_t>(pages[i]);
    std::fill_n(bytes.begin() + static_cast<ptrdiff_t>(page * kPageSize), kPageSize, uint8_t{0});
    report.zeroedPages.push_back(pages[i]);
    report.touchedPages.insert(pages[i]);
  }
  std::sort(report.zeroedPages.begin(), report.zeroedPages.end());
}

// A torn write leaves one sector of the page from an older write: other
// bytes, and in the last byte another 2-bit write marker.
void TearSectors(std::vector<uint8_t>& bytes, uint64_t count, Random& random,
                 CorruptionReport& report) {
  std::vector<uint64_t> written_pages;
  for (uint64_t page = 0; page < bytes.size() / kPageSize; ++page) {
    if (!IsZero(bytes.data() + page * kPageSize, kPageSize)) written_pages.push_back(page);
  }
  if (written_pages.empty()) return;
  for (uint64_t i = 0; i < count; ++i) {
    const uint64_t page = written_pages[random.Below(written_pages.size())];
    const uint64_t sector = 1 + random.Below(kSectorsPerPage - 1);
    const uint64_t offset = page * kPageSize + sector * kSectorSize;
    const uint8_t old_marker = bytes[offset + kSectorSize - 1] & 3;
    for (uint64_t k = 0; k < kSectorSize; ++k) bytes[offset + k] = random.Byte();
    const uint8_t new_marker = static_cast<uint8_t>((old_marker + 1 + random.Below(3)) & 3);
    uint8_t& last = bytes[offset + kSectorSize - 1];
    last = static_cast<uint8_t>((last & 0xFC) | new_marker);
    report.tornSectorOffsets.push_back(offset);
    report.touchedPages.insert(static_cast<int64_t>(page));
  }
}

void FlipBytes(std::vector<uint8_t>& bytes, uint64_t count, Random& random, CorruptionReport& report) {
  if (bytes.empty()) return;
  for (uint64_t i = 0; i < count; ++i) {
    const uint64_t offset = random.Below(bytes.size());
    bytes[offset] ^= static_cast<uint8_t>(1 + random.Below(255));  // never XOR with 0
    report.flippedOffsets.push_back(offset);
    report.touchedPages.insert(static_cast<int64_t>(offset / kPageSize));
  }
}

void CutTail(std::vector<uint8_t>& bytes, uint64_t count, CorruptionReport& report) {
  const uint64_t cut = std::min<uint64_t>(count, bytes.size());
  if (cut == 0) return;
  const uint64_t new_size = bytes.size() - cut;
  for (uint64_t page = new_size / kPageSize; page * kPageSize < bytes.size(); ++page) {
    report.touchedPages.insert(static_cast<int64_t>(page));
  }
  bytes.resize(new_size);
  report.bytesCut = cut;
}

}  // namespace

CorruptionReport Corrupt(std::vector<uint8_t>& bytes, const CorruptionOptions& options) {
  CorruptionReport report;
  Random random(options.seed);
  ZeroPages(bytes, options.zeroPagesPercent, random, report);
  TearSectors(bytes, options.tornSectors, random, report);
  FlipBytes(bytes, options.flipBytes, random, report);
  CutTail(bytes, options.truncateBytes, report);
  if (options.garbagePrefix) {
    std::vector<uint8_t> prefix(kGarbagePrefixSize);
    for (uint8_t& b : prefix) b = random.Byte();
    bytes.insert(bytes.begin(), prefix.begin(), prefix.end());
    report.garbagePrefix = true;
  }
  return report;
}

CopyResult CorruptCopy(const std::string& source, const std::string& destination,
                       const CorruptionOptions& options) {
  CopyResult result;
  std::error_code error;
  if (std::filesystem::exists(destination, error) &&
      std::filesystem::equivalent(source, destination, error)) {
    result.error = "destination is the source file";
    return result;
  }
  std::vector<uint8_t> bytes;
  {
    std::ifstream in(source, std::ios::binary);  // read-only
    if (!in) {
      result.error = "cannot open " + source;
      return result;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
      result.error = "cannot read " + source;
      return result;
    }
  }
  result.report = Corrupt(bytes, options);
  std::ofstream out(destination, std::ios::binary | std::ios::trunc);
  if (!out) {
    result.error = "cannot create " + destination;
    return result;
  }
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    result.error = "cannot write " + destination;
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace quill::corruptor
