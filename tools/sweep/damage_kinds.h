// The kinds of damage the sweep applies, one at a time, to copies of each
// data file: what real disks and copies do to a file. Each kind turns a seed
// (and the file's page count) into the corruptor's options, so that any
// copy can be made again from its kind and seed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "corruptor.h"

namespace quill::sweep {

struct DamageKind {
  std::string name;
  std::string description;  // one line for the summary
  corruptor::CorruptionOptions (*options)(uint64_t seed, uint64_t page_count);
};

// Every kind, in the order of the summary.
const std::vector<DamageKind>& DamageKinds();

// The kind named `name`; nullptr when there is none.
const DamageKind* FindDamageKind(const std::string& name);

// The options of the cut at page `page` (every boundary of a small file).
corruptor::CorruptionOptions CutAtPageOptions(uint64_t seed, uint64_t page);

// The corrupt_copy options that make the same copy, for the report.
std::string CorruptCopyArguments(const corruptor::CorruptionOptions& options);

// The seed of copy `index` of `kind` for the file named `file`, from the
// sweep's `base` seed.
uint64_t CopySeed(uint64_t base, const std::string& file, const std::string& kind, uint64_t index);

}  // namespace quill::sweep
