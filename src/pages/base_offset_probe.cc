#include "pages/base_offset_probe.h"

#include <optional>

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
                                               const std::atomic<bool>& abort) {
  SequentialPageReader reader(file, static_cast<uint64_t>(start) * kPageSize + alignment);
  for (int64_t index = start; index <= last; ++index) {
    if (abort.load(std::memory_order_relaxed)) return std::nullopt;
    if (HeaderPageId(reader.Next()) == index) return index;
    if (index % step == 0) progress.ProgressPos(static_cast<uint64_t>(index));
  }
  return std::nullopt;
}

}  // namespace

BaseOffsetProbeResult ProbeBaseOffset(const ReadOnlyFile& file, int64_t page_count,
                                      int64_t base_offset, ProgressSink& progress,
                                      const std::atomic<bool>& abort) {
  const int64_t start = page_count > 8 ? 8 : page_count / 4;
  progress.StatusText(kProbeStarted);
  progress.ProgressRange(static_cast<uint64_t>(page_count));
  progress.ProgressPos(0);
  const int64_t step = ProgressStep(page_count);

  BaseOffsetProbeResult result;
  auto shifted = FirstSelfIdentifiedPage(file, start, page_count, base_offset, step, progress, abort);
  if (base_offset == 0) {
    result.found = shifted.has_value();
  } else {
    // Alignment 0 wins unless the shifted alignment matched at an earlier page.
    const int64_t last_unshifted = shifted ? *shifted : page_count;
    if (FirstSelfIdentifiedPage(file, start, last_unshifted, 0, step, progress, abort)) {
      result.found = true;
    } else if (shifted) {
      result.found = true;
      result.baseOffset = base_offset;
    }
  }
  progress.ProgressPos(static_cast<uint64_t>(page_count));
  progress.StatusText(kProbeDone);
  return result;
}

}  // namespace quill
