// Makes damaged copies of data files for robustness tests, with the damage
// real disks and copies make: zeroed pages and zeroed runs of bytes, flipped
// bytes and bits, torn and repeated sectors, swapped pages, a cut tail or a
// file cut at a page boundary, garbage before page 0, and a destroyed boot
// page or system table page. Everything is chosen from one seed so that a
// failing case can be made again. The source is opened for reading only and
// never changed.
//
// Damage is planned on the pages of the source (8 KB from offset 0) and
// applied in this order: destroyed pages (chosen by the source's page
// headers), zeroed pages, torn sectors, flipped bytes, zeroed runs, repeated
// sectors, swapped pages, flipped bits, the cut (cut tail, then the cut at a
// page), then the garbage prefix (which shifts every page of the copy).
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace quill::corruptor {

inline constexpr size_t kGarbagePrefixSize = 512;
inline constexpr uint64_t kBootPageIndex = 9;
// Bit flip rates above this are refused (clamped): a tenth of every byte.
inline constexpr double kMaxBitFlipRate = 0.01;

struct CorruptionOptions {
  uint64_t seed = 0;
  double zeroPagesPercent = 0;  // share of the pages set to zero (0..100)
  uint64_t flipBytes = 0;       // bytes changed at random positions
  uint64_t truncateBytes = 0;   // bytes cut from the end of the copy
  bool garbagePrefix = false;   // 512 random bytes written before page 0
  uint64_t tornSectors = 0;     // 512-byte sectors 1..15 of non-zero pages
                                // replaced by stale bytes with another
                                // write marker
  // Runs of zeros, each `zeroRunBytes` long, starting at a random multiple
  // of `zeroRunAlignment` bytes (1: any byte; the run length: aligned runs,
  // as a failed 4 KiB drive sector or a lost 64 KiB copy block).
  uint64_t zeroRuns = 0;
  uint64_t zeroRunBytes = 4096;
  uint64_t zeroRunAlignment = 4096;
  // 512-byte sectors of non-zero pages written a second time over the next
  // sector (which may be the first sector of the next page); sectors whose
  // next one holds other bytes are preferred.
  uint64_t repeatedSectors = 0;
  // Pairs of distinct non-zero pages that trade places.
  uint64_t swappedPagePairs = 0;
  // Each bit of the file flipped with this probability (up to
  // kMaxBitFlipRate).
  double bitFlipRate = 0;
  // The boot page overwritten with random bytes.
  bool destroyBootPage = false;
  // Pages of system tables overwritten with random bytes: pages whose header
  // carries the page's own id, a data or index page type, a system object id
  // (1..98) and an index id below 256 (user tables' allocation units carry
  // 256 there).
  uint64_t destroyedSystemPages = 0;
  // The copy ends where this page would start (nothing when the file is
  // already shorter).
  std::optional<uint64_t> cutAtPage = std::nullopt;
};

// A run of bytes, as source offsets.
struct ByteRun {
  uint64_t offset = 0;
  uint64_t length = 0;
  bool operator==(const ByteRun&) const = default;
};

// What was done to the copy, in source page numbers and byte offsets.
struct CorruptionReport {
  std::vector<int64_t> zeroedPages;
  std::vector<uint64_t> flippedOffsets;  // source byte offsets
  std::vector<uint64_t> tornSectorOffsets;  // source byte offset of each sector
  std::vector<ByteRun> zeroedRuns;
  // Byte offset of each sector overwritten by the sector before it.
  std::vector<uint64_t> repeatedSectorOffsets;
  std::vector<std::pair<int64_t, int64_t>> swappedPages;
  std::vector<uint64_t> flippedBitOffsets;  // source bit offsets (byte * 8 + bit)
  std::vector<int64_t> destroyedPages;      // boot page and system table pages
  uint64_t bytesCut = 0;                    // by the cut tail and the cut at a page
  bool garbagePrefix = false;
  // Every page some damage reached, the cut tail included.
  std::set<int64_t> touchedPages;
};

struct CopyResult {
  bool ok = false;
  std::string error;  // why the copy was not made
  CorruptionReport report;
};

// Applies the damage of `options` to `bytes` (a whole file image).
CorruptionReport Corrupt(std::vector<uint8_t>& bytes, const CorruptionOptions& options);

// The pages of `bytes` that destroyedSystemPages chooses from, ascending.
std::vector<int64_t> SystemTablePages(const std::vector<uint8_t>& bytes);

// Reads `source` (read-only), damages the image and writes it to
// `destination`. Refuses a destination that is the source itself.
CopyResult CorruptCopy(const std::string& source, const std::string& destination,
                       const CorruptionOptions& options);

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes);

// Writes `bytes` to `destination`, which must not be `source` (by any path
// to it); an empty text when written, else why not.
std::string WriteCopy(const std::string& source, const std::string& destination,
                      const std::vector<uint8_t>& bytes);

}  // namespace quill::corruptor
