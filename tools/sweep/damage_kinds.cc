#include "damage_kinds.h"

#include <fmt/format.h>

namespace quill::sweep {

namespace {

using corruptor::CorruptionOptions;

uint64_t Mix(uint64_t value) {
  value += 0x9E3779B97F4A7C15ull;
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
  return value ^ (value >> 31);
}

uint64_t HashText(const std::string& text) {
  uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a
  for (unsigned char c : text) hash = (hash ^ c) * 0x100000001B3ull;
  return hash;
}

CorruptionOptions ZeroRun(uint64_t seed, uint64_t bytes, uint64_t alignment) {
  return {.seed = seed, .zeroRuns = 1, .zeroRunBytes = bytes, .zeroRunAlignment = alignment};
}

CorruptionOptions BitFlips(uint64_t seed, double rate) { return {.seed = seed, .bitFlipRate = rate}; }

}  // namespace

const std::vector<DamageKind>& DamageKinds() {
  static const std::vector<DamageKind> kinds = {
      {"zero-4k", "one 4 KiB run of zeros at a 4 KiB boundary (half a page)",
       [](uint64_t seed, uint64_t) { return ZeroRun(seed, 4096, 4096); }},
      {"zero-4k-any", "one 4 KiB run of zeros at any byte",
       [](uint64_t seed, uint64_t) { return ZeroRun(seed, 4096, 1); }},
      {"zero-64k", "one 64 KiB run of zeros at a 64 KiB boundary (8 pages)",
       [](uint64_t seed, uint64_t) { return ZeroRun(seed, 65536, 65536); }},
      {"zero-64k-any", "one 64 KiB run of zeros at any byte (9 pages reached)",
       [](uint64_t seed, uint64_t) { return ZeroRun(seed, 65536, 1); }},
      {"sector-repeat", "one 512-byte sector written again over the next one",
       [](uint64_t seed, uint64_t) { return CorruptionOptions{.seed = seed, .repeatedSectors = 1}; }},
      {"page-swap", "two pages trade places",
       [](uint64_t seed, uint64_t) { return CorruptionOptions{.seed = seed, .swappedPagePairs = 1}; }},
      {"cut", "the file cut at a random page boundary",
       [](uint64_t seed, uint64_t page_count) {
         return CutAtPageOptions(seed, page_count == 0 ? 0 : Mix(seed) % page_count);
       }},
      {"flips-1e-7", "bits flipped at a rate of 1e-7",
       [](uint64_t seed, uint64_t) { return BitFlips(seed, 1e-7); }},
      {"flips-1e-6", "bits flipped at a rate of 1e-6",
       [](uint64_t seed, uint64_t) { return BitFlips(seed, 1e-6); }},
      {"flips-1e-5", "bits flipped at a rate of 1e-5",
       [](uint64_t seed, uint64_t) { return BitFlips(seed, 1e-5); }},
      {"flips-1e-4", "bits flipped at a rate of 1e-4",
       [](uint64_t seed, uint64_t) { return BitFlips(seed, 1e-4); }},
      {"flips-1e-3", "bits flipped at a rate of 1e-3",
       [](uint64_t seed, uint64_t) { return BitFlips(seed, 1e-3); }},
      {"torn-sector", "one sector of a page from an older write (another torn-page marker)",
       [](uint64_t seed, uint64_t) { return CorruptionOptions{.seed = seed, .tornSectors = 1}; }},
      {"prefix", "512 random bytes before page 0",
       [](uint64_t seed, uint64_t) { return CorruptionOptions{.seed = seed, .garbagePrefix = true}; }},
      {"boot-page", "the boot page overwritten with random bytes",
       [](uint64_t seed, uint64_t) { return CorruptionOptions{.seed = seed, .destroyBootPage = true}; }},
      {"system-page", "one system table page overwritten with random bytes",
       [](uint64_t seed, uint64_t) { return CorruptionOptions{.seed = seed, .destroyedSystemPages = 1}; }},
  };
  return kinds;
}

const DamageKind* FindDamageKind(const std::string& name) {
  for (const DamageKind& kind : DamageKinds()) {
    if (kind.name == name) return &kind;
  }
  return nullptr;
}

CorruptionOptions CutAtPageOptions(uint64_t seed, uint64_t page) {
  return {.seed = seed, .cutAtPage = page};
}

std::string CorruptCopyArguments(const CorruptionOptions& options) {
  std::string text = fmt::format("--seed {}", options.seed);
  if (options.zeroPagesPercent > 0) text += fmt::format(" --zero-pages {}", options.zeroPagesPercent);
  if (options.flipBytes > 0) text += fmt::format(" --flip-bytes {}", options.flipBytes);
  if (options.truncateBytes > 0) text += fmt::format(" --truncate-bytes {}", options.truncateBytes);
  if (options.garbagePrefix) text += " --garbage-prefix";
  if (options.tornSectors > 0) text += fmt::format(" --torn-sectors {}", options.tornSectors);
  if (options.zeroRuns > 0) {
    text += fmt::format(" --zero-runs {} --zero-run-bytes {} --zero-run-alignment {}", options.zeroRuns,
                        options.zeroRunBytes, options.zeroRunAlignment);
  }
  if (options.repeatedSectors > 0) text += fmt::format(" --repeat-sectors {}", options.repeatedSectors);
  if (options.swappedPagePairs > 0) text += fmt::format(" --swap-pages {}", options.swappedPagePairs);
  if (options.bitFlipRate > 0) text += fmt::format(" --bit-flip-rate {}", options.bitFlipRate);
  if (options.destroyBootPage) text += " --destroy-boot-page";
  if (options.destroyedSystemPages > 0) text += fmt::format(" --destroy-system-pages {}", options.destroyedSystemPages);
  if (options.cutAtPage) text += fmt::format(" --cut-at-page {}", *options.cutAtPage);
  return text;
}

uint64_t CopySeed(uint64_t base, const std::string& file, const std::string& kind, uint64_t index) {
  return Mix(Mix(base ^ HashText(file)) ^ HashText(kind)) + index;
}

}  // namespace quill::sweep
