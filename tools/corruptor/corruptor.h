// Makes damaged copies of data files for robustness tests: the copy gets
// zeroed pages, flipped bytes, a cut tail, garbage before page 0 and torn
// sectors, all chosen from one seed so that a failing case can be made
// again. The source is opened for reading only and never changed.
//
// Damage is planned on the pages of the source (8 KB from offset 0) and
// applied in this order: zeroed pages, torn sectors, flipped bytes, the cut
// tail, then the garbage prefix (which shifts every page of the copy).
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace quill::corruptor {

inline constexpr size_t kGarbagePrefixSize = 512;

struct CorruptionOptions {
  uint64_t seed = 0;
  double zeroPagesPercent = 0;  // share of the pages set to zero (0..100)
  uint64_t flipBytes = 0;       // bytes changed at random positions
  uint64_t truncateBytes = 0;   // bytes cut from the end of the copy
  bool garbagePrefix = false;   // 512 random bytes written before page 0
  uint64_t tornSectors = 0;     // 512-byte sectors 1..15 of non-zero pages
                                // replaced by stale bytes with another
                                // write marker
};

// What was done to the copy, in source page numbers.
struct CorruptionReport {
  std::vector<int64_t> zeroedPages;
  std::vector<uint64_t> flippedOffsets;  // source byte offsets
  std::vector<uint64_t> tornSectorOffsets;  // source byte offset of each sector
  uint64_t bytesCut = 0;
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

// Reads `source` (read-only), damages the image and writes it to
// `destination`. Refuses a destination that is the source itself.
CopyResult CorruptCopy(const std::string& source, const std::string& destination,
                       const CorruptionOptions& options);

}  // namespace quill::corruptor
