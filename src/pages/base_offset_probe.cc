#include "pages/base_offset_probe.h"

#include <algorithm>
#include <optional>
#include <span>
#include <vector>

#include "pages/page_header.h"
#include "pages/progress_step.h"
#include "pages/sequential_page_reader.h"

namespace quill {

namespace {

constexpr char kProbeStarted[] = "Checking for file corruption ...........";
constexpr char kProbeDone[] = "Checking for file corruption is done...........";

// The first page index in [start, last] whose page carries its own id when
// page 0 starts at `alignment`, or nothing.
std::optional<int64_t> FirstSelfIdentifiedPage(const ReadOnlyFile& file, int64_t start,
                                               int64_t last, int64_t alignment, int64_t step,
                                               ProgressSink& progress,
                                               StopToken stop) {
  SequentialPageReader reader(file, static_cast<uint64_t>(start) * kPageSize + alignment);
  for (int64_t index = start; index <= last; ++index) {
    if (stop.stopRequested()) return std::nullopt;
    if (HeaderPageId(reader.Next()) == index) return index;
    if (index % step == 0) progress.ProgressPos(static_cast<uint64_t>(index));
  }
  return std::nullopt;
}

// Pages 1..kSearchPages of a healthy file carry their own ids; the search
// looks for them at every byte alignment of the file's first pages.
constexpr int64_t kSearchPages = 15;
constexpr int kMinimumSelfIdentified = 3;
constexpr uint8_t kHeaderVersion = 1;  // byte 0 of every page header

// The smallest byte alignment at which at least kMinimumSelfIdentified of
// pages 1..kSearchPages have header version 1 and their own page id, or
// nothing. A cut or padded copy whose length no longer tells where page 0
// starts (bytes both gained at the start and lost at the end) is found
// this way.
std::optional<int64_t> SearchPageAlignment(const ReadOnlyFile& file, StopToken stop) {
  std::vector<uint8_t> head(static_cast<size_t>((kSearchPages + 2) * kPageSize));
  const std::optional<size_t> read = file.ReadAt(0, head);
  if (!read) return std::nullopt;
  const size_t size = std::min(*read, head.size());
  for (int64_t alignment = 0; alignment < static_cast<int64_t>(kPageSize); ++alignment) {
    if ((alignment & 0xFF) == 0 && stop.stopRequested()) return std::nullopt;
    int matches = 0;
    for (int64_t page = 1; page <= kSearchPages; ++page) {
      const size_t at = static_cast<size_t>(alignment + page * static_cast<int64_t>(kPageSize));
      if (at + kPageSize > size) break;
      if (head[at] != kHeaderVersion) continue;
      const std::span<const uint8_t, kPageSize> page_bytes(head.data() + at, kPageSize);
      if (HeaderPageId(page_bytes) == page) ++matches;
    }
    if (matches >= kMinimumSelfIdentified) return alignment;
  }
  return std::nullopt;
}

}  // namespace

BaseOffsetProbeResult ProbeBaseOffset(const ReadOnlyFile& file, int64_t page_count,
                                      int64_t base_offset, ProgressSink& progress,
                                      StopToken stop) {
  const int64_t start = page_count > 8 ? 8 : page_count / 4;
  progress.StatusText(kProbeStarted);
  progress.ProgressRange(static_cast<uint64_t>(page_count));
  progress.ProgressPos(0);
  const int64_t step = ProgressStep(page_count);

  BaseOffsetProbeResult result;
  auto shifted = FirstSelfIdentifiedPage(file, start, page_count, base_offset, step, progress, stop);
  if (base_offset == 0) {
    result.found = shifted.has_value();
  } else {
    // Alignment 0 wins unless the shifted alignment matched at an earlier page.
    const int64_t last_unshifted = shifted ? *shifted : page_count;
    if (FirstSelfIdentifiedPage(file, start, last_unshifted, 0, step, progress, stop)) {
      result.found = true;
    } else if (shifted) {
      result.found = true;
      result.baseOffset = base_offset;
    }
  }
  if (!result.found) {
    if (auto alignment = SearchPageAlignment(file, stop)) {
      result.found = true;
      result.baseOffset = *alignment;
    }
  }
  progress.ProgressPos(static_cast<uint64_t>(page_count));
  progress.StatusText(kProbeDone);
  return result;
}

}  // namespace quill
