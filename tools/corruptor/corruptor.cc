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

std::vector<uint64_t> WrittenPages(const std::vector<uint8_t>& bytes) {
  std::vector<uint64_t> pages;
  for (uint64_t page = 0; page < bytes.size() / kPageSize; ++page) {
    if (!IsZero(bytes.data() + page * kPageSize, kPageSize)) pages.push_back(page);
  }
  return pages;
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
  const std::vector<uint64_t> written_pages = WrittenPages(bytes);
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
  report.bytesCut += cut;
}


void TouchBytes(uint64_t offset, uint64_t length, CorruptionReport& report) {
  if (length == 0) return;
  for (uint64_t page = offset / kPageSize; page <= (offset + length - 1) / kPageSize; ++page) {
    report.touchedPages.insert(static_cast<int64_t>(page));
  }
}

void FillRandom(std::vector<uint8_t>& bytes, uint64_t page, Random& random) {
  for (uint64_t k = 0; k < kPageSize; ++k) bytes[page * kPageSize + k] = random.Byte();
}

uint32_t LoadLittle(const uint8_t* bytes, size_t size) {
  uint32_t value = 0;
  for (size_t k = 0; k < size; ++k) value |= static_cast<uint32_t>(bytes[k]) << (8 * k);
  return value;
}

// Destroys the boot page and `count` system table pages, chosen on the
// image as it is before any other damage.
void DestroyPages(std::vector<uint8_t>& bytes, const CorruptionOptions& options, Random& random,
                  CorruptionReport& report) {
  if (!options.destroyBootPage && options.destroyedSystemPages == 0) return;
  const uint64_t page_count = bytes.size() / kPageSize;
  std::vector<int64_t> candidates = SystemTablePages(bytes);
  if (options.destroyBootPage && kBootPageIndex < page_count) {
    FillRandom(bytes, kBootPageIndex, random);
    report.destroyedPages.push_back(static_cast<int64_t>(kBootPageIndex));
    report.touchedPages.insert(static_cast<int64_t>(kBootPageIndex));
  }
  const uint64_t wanted = std::min<uint64_t>(options.destroyedSystemPages, candidates.size());
  for (uint64_t i = 0; i < wanted; ++i) {
    std::swap(candidates[i], candidates[i + random.Below(candidates.size() - i)]);
    FillRandom(bytes, static_cast<uint64_t>(candidates[i]), random);
    report.destroyedPages.push_back(candidates[i]);
    report.touchedPages.insert(candidates[i]);
  }
  std::sort(report.destroyedPages.begin(), report.destroyedPages.end());
}

void ZeroRuns(std::vector<uint8_t>& bytes, const CorruptionOptions& options, Random& random,
              CorruptionReport& report) {
  const uint64_t length = std::min<uint64_t>(options.zeroRunBytes, bytes.size());
  const uint64_t alignment = std::max<uint64_t>(options.zeroRunAlignment, 1);
  if (options.zeroRuns == 0 || length == 0) return;
  // Starts at a multiple of the alignment from which a whole run fits.
  const uint64_t starts = (bytes.size() - length) / alignment + 1;
  for (uint64_t i = 0; i < options.zeroRuns; ++i) {
    const uint64_t offset = random.Below(starts) * alignment;
    std::fill_n(bytes.begin() + static_cast<ptrdiff_t>(offset), length, uint8_t{0});
    report.zeroedRuns.push_back({offset, length});
    TouchBytes(offset, length, report);
  }
}

void RepeatSectors(std::vector<uint8_t>& bytes, uint64_t count, Random& random, CorruptionReport& report) {
  const std::vector<uint64_t> written_pages = WrittenPages(bytes);
  if (written_pages.empty() || count == 0) return;
  constexpr int kAttempts = 64;
  for (uint64_t i = 0; i < count; ++i) {
    // A sector whose next one differs, so that the repeat changes bytes;
    // after a few attempts any sector that has a next one.
    uint64_t from = 0;
    uint64_t to = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
      const uint64_t page = written_pages[random.Below(written_pages.size())];
      from = page * kPageSize + random.Below(kSectorsPerPage) * kSectorSize;
      to = from + kSectorSize;
      if (to + kSectorSize <= bytes.size() &&
          !std::equal(bytes.begin() + static_cast<ptrdiff_t>(from), bytes.begin() + static_cast<ptrdiff_t>(to),
                      bytes.begin() + static_cast<ptrdiff_t>(to))) {
        break;
      }
    }
    if (to + kSectorSize > bytes.size()) continue;  // the last sector of the file has no next one
    std::copy_n(bytes.begin() + static_cast<ptrdiff_t>(from), kSectorSize,
                bytes.begin() + static_cast<ptrdiff_t>(to));
    report.repeatedSectorOffsets.push_back(to);
    TouchBytes(to, kSectorSize, report);
  }
}

void SwapPages(std::vector<uint8_t>& bytes, uint64_t pairs, Random& random, CorruptionReport& report) {
  const std::vector<uint64_t> written_pages = WrittenPages(bytes);
  if (written_pages.size() < 2) return;
  for (uint64_t i = 0; i < pairs; ++i) {
    const uint64_t first = random.Below(written_pages.size());
    const uint64_t second = (first + 1 + random.Below(written_pages.size() - 1)) % written_pages.size();
    const uint64_t a = written_pages[first];
    const uint64_t b = written_pages[second];
    std::swap_ranges(bytes.begin() + static_cast<ptrdiff_t>(a * kPageSize),
                     bytes.begin() + static_cast<ptrdiff_t>((a + 1) * kPageSize),
                     bytes.begin() + static_cast<ptrdiff_t>(b * kPageSize));
    report.swappedPages.emplace_back(static_cast<int64_t>(a), static_cast<int64_t>(b));
    report.touchedPages.insert(static_cast<int64_t>(a));
    report.touchedPages.insert(static_cast<int64_t>(b));
  }
}

// Independent flips at `rate` per bit: the gaps between flipped bits are
// drawn from the geometric distribution, so the work follows the flips.
void FlipBits(std::vector<uint8_t>& bytes, double rate, Random& random, CorruptionReport& report) {
  rate = std::min(rate, kMaxBitFlipRate);
  if (!(rate > 0) || bytes.empty()) return;
  const uint64_t bit_count = bytes.size() * 8;
  const double log_keep = std::log1p(-rate);
  uint64_t bit = 0;
  while (true) {
    // A uniform number in (0, 1]: 53 random bits, plus one.
    const double uniform = (static_cast<double>(random.Next() >> 11) + 1.0) / 9007199254740992.0;
    const double gap = std::floor(std::log(uniform) / log_keep);
    if (gap >= static_cast<double>(bit_count - bit)) break;
    bit += static_cast<uint64_t>(gap);
    bytes[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    report.flippedBitOffsets.push_back(bit);
    report.touchedPages.insert(static_cast<int64_t>(bit / 8 / kPageSize));
    if (++bit >= bit_count) break;
  }
}

}  // namespace

CorruptionReport Corrupt(std::vector<uint8_t>& bytes, const CorruptionOptions& options) {
  CorruptionReport report;
  Random random(options.seed);
  DestroyPages(bytes, options, random, report);
  ZeroPages(bytes, options.zeroPagesPercent, random, report);
  TearSectors(bytes, options.tornSectors, random, report);
  FlipBytes(bytes, options.flipBytes, random, report);
  ZeroRuns(bytes, options, random, report);
  RepeatSectors(bytes, options.repeatedSectors, random, report);
  SwapPages(bytes, options.swappedPagePairs, random, report);
  FlipBits(bytes, options.bitFlipRate, random, report);
  CutTail(bytes, options.truncateBytes, report);
  if (options.cutAtPage && *options.cutAtPage * kPageSize < bytes.size()) {
    CutTail(bytes, bytes.size() - *options.cutAtPage * kPageSize, report);
  }
  if (options.garbagePrefix) {
    std::vector<uint8_t> prefix(kGarbagePrefixSize);
    for (uint8_t& b : prefix) b = random.Byte();
    bytes.insert(bytes.begin(), prefix.begin(), prefix.end());
    report.garbagePrefix = true;
  }
  return report;
}

std::vector<int64_t> SystemTablePages(const std::vector<uint8_t>& bytes) {
  constexpr uint8_t kDataPage = 1;
  constexpr uint8_t kIndexPage = 2;
  constexpr uint32_t kFirstUserIndexId = 256;
  constexpr int32_t kAllocationObjectId = 99;
  std::vector<int64_t> pages;
  for (uint64_t page = 0; page < bytes.size() / kPageSize; ++page) {
    const uint8_t* header = bytes.data() + page * kPageSize;
    const uint8_t type = header[1];
    const uint32_t index_id = LoadLittle(header + 6, 2);
    const auto object_id = static_cast<int32_t>(LoadLittle(header + 24, 4));
    const uint32_t own_id = LoadLittle(header + 32, 4);
    if (header[0] == 1 && (type == kDataPage || type == kIndexPage) && own_id == page &&
        object_id > 0 && object_id < kAllocationObjectId && index_id < kFirstUserIndexId) {
      pages.push_back(static_cast<int64_t>(page));
    }
  }
  return pages;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);  // read-only
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

std::string WriteCopy(const std::string& source, const std::string& destination,
                      const std::vector<uint8_t>& bytes) {
  std::error_code error;
  if (std::filesystem::exists(destination, error) &&
      std::filesystem::equivalent(source, destination, error)) {
    return "destination is the source file";
  }
  std::ofstream out(destination, std::ios::binary | std::ios::trunc);
  if (!out) return "cannot create " + destination;
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) return "cannot write " + destination;
  return {};
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
  if (!ReadWholeFile(source, bytes)) {
    result.error = "cannot read " + source;
    return result;
  }
  result.report = Corrupt(bytes, options);
  result.error = WriteCopy(source, destination, bytes);
  result.ok = result.error.empty();
  return result;
}

}  // namespace quill::corruptor
