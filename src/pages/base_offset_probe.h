// Finds where page 0 of a data file starts. A healthy file is a whole number
// of pages starting at byte 0; a damaged copy may have lost or gained bytes
// at its start or end. The probe looks for pages that carry their own page
// id (header offset 32) at the expected position.
#pragma once

#include <cstdint>

#include "common/progress_sink.h"
#include "common/stop_token.h"
#include "pages/read_only_file.h"

namespace quill {

struct BaseOffsetProbeResult {
  bool found = false;       // some page carries its own id at an alignment
  int64_t baseOffset = 0;   // the alignment to use when found
};

// Probes alignment `base_offset` (the file length mod 8192) and then 0.
//
// From page `start` (8, or page_count / 4 for files of 8 pages or fewer) up
// to and including page_count, a page whose own page id equals its position
// is a match. A match at alignment 0 is preferred; a match at `base_offset`
// is taken only when alignment 0 has no match at the same or a lower page,
// so that a file with a trailing partial page reads at 0 and a file with
// bytes inserted before page 0 reads at its real alignment. When neither
// alignment matches, the first pages are searched at every byte alignment
// for pages 1..15 that carry their own ids (at least three). Sends the
// "Checking for file corruption" status texts and progress to `progress`;
// stops early, with nothing found, when a stop is requested.
BaseOffsetProbeResult ProbeBaseOffset(const ReadOnlyFile& file, int64_t page_count,
                                      int64_t base_offset, ProgressSink& progress,
                                      StopToken stop);

}  // namespace quill
