// Counts heap allocations of the benchmark programs: the global operator
// new is replaced (allocation_counter.cc) and counts while counting is on,
// so a timed loop pays only one relaxed load per allocation.
#pragma once

#include <cstdint>

namespace quill::bench {

void StartCountingAllocations();
// Stops counting and returns the allocations since the start.
uint64_t StopCountingAllocations();

}  // namespace quill::bench
