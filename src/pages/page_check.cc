#include "pages/page_check.h"

#include <algorithm>
#include <optional>

#include "common/little_endian.h"
#include "common/printf_text.h"
#include "pages/database_file.h"
#include "pages/page_header.h"
#include "pages/progress_step.h"
#include "pages/read_only_file.h"
#include "pages/sequential_page_reader.h"

namespace quill {

namespace {

namespace L = page_header_layout;

constexpr uint32_t kTornMarkerMask = 3;
static_assert(L::kTornBits % sizeof(uint32_t) == 0 && L::kTornBits < kSectorSize,
              "the checksum is a word of the first sector");

uint32_t RotateLeft(uint32_t value, unsigned bits) {
  bits &= 31;
  return bits == 0 ? value : (value << bits) | (value >> (32 - bits));
}

void Append(std::string& text, const std::string& part) {
  if (!text.empty()) text += "; ";
  text += part;
}

// Sectors 1..15 whose last byte does not carry the marker of the page's
// last write.
void CheckTornBits(std::span<const uint8_t, kPageSize> raw, PageCheckResult& result) {
  const uint32_t marker = LoadAt<uint32_t, L::kTornBits>(raw) & kTornMarkerMask;
  int bad_sectors = 0;
  size_t first_bad = 0;
  for (size_t sector = 1; sector < kSectorsPerPage; ++sector) {
    const uint8_t last = raw[kSectorSize * sector + kSectorSize - 1];
    if ((last & kTornMarkerMask) == marker) continue;
    if (bad_sectors++ == 0) first_bad = sector;
  }
  if (bad_sectors == 0) return;
  result.problems |= kPageProblemTornPage;
  Append(result.text, PrintfText("torn page: %d of %zu sectors without write marker %u (first: sector %zu)",
                                 bad_sectors, kSectorsPerPage - 1, marker, first_bad));
}

// Walks the pages of one file, checking each.
class FilePagesCheck {
 public:
  FilePagesCheck(const std::function<void(const DamagedPage&)>& visit, FileSetCheckSummary& summary,
                 ProgressSink& progress, int64_t total_pages, StopToken stop)
      : stop_(stop),
        visit_(visit),
        summary_(summary),
        progress_(progress),
        step_(ProgressStep(total_pages)) {}

  void Run(const ReadOnlyFile& data_file, uint16_t file_id, int64_t base_offset, int64_t page_count) {
    if (base_offset < 0) return;
    ++summary_.filesChecked;
    data_file.AdviseSequential();
    SequentialPageReader reader(data_file, static_cast<uint64_t>(base_offset));
    for (int64_t index = 0; index < page_count && index <= INT32_MAX; ++index) {
      if (stop_.stopRequested()) {
        summary_.aborted = true;
        return;
      }
      auto raw = reader.Next();
      if (++summary_.pagesChecked % step_ == 0) {
        progress_.ProgressPos(static_cast<uint64_t>(summary_.pagesChecked));
      }
      if (IsZeroPage(raw)) {
        ++summary_.zeroPages;
        continue;
      }
      const PageAddress position{file_id, static_cast<int32_t>(index)};
      PageCheckResult result = CheckPage(raw, position);
      if (!result.damaged()) continue;
      ++summary_.damagedPages;
      if (!visit_) continue;
      visit_(DamagedPage{.fileId = file_id,
                         .pageId = position.pageId,
                         .objectId = HeaderObjectId(raw),
                         .problems = result.problems,
                         .problem = std::move(result.text)});
    }
  }

 private:
  StopToken stop_;
  const std::function<void(const DamagedPage&)>& visit_;
  FileSetCheckSummary& summary_;
  ProgressSink& progress_;
  int64_t step_;
};

}  // namespace

uint32_t PageChecksum(std::span<const uint8_t, kPageSize> raw) {
  uint32_t checksum = 0;
  for (size_t sector = 0; sector < kSectorsPerPage; ++sector) {
    // The XOR of the sector's 32-bit words, read as 64-bit words: the low
    // and high halves of the fold are the XOR of the even and the odd words.
    const uint8_t* const start = raw.data() + sector * kSectorSize;
    uint64_t wide = 0;
    for (size_t offset = 0; offset < kSectorSize; offset += sizeof(uint64_t)) {
      wide ^= LoadLittleEndianUnchecked<uint64_t>(start + offset);
    }
    uint32_t fold = static_cast<uint32_t>(wide) ^ static_cast<uint32_t>(wide >> 32);
    // The checksum's own word is taken as 0: folding it in twice removes it.
    if (sector == 0) fold ^= LoadAt<uint32_t, L::kTornBits>(raw);
    checksum ^= RotateLeft(fold, static_cast<unsigned>(kSectorsPerPage - 1 - sector));
  }
  return checksum;
}

bool IsZeroPage(std::span<const uint8_t, kPageSize> raw) {
  return std::all_of(raw.begin(), raw.end(), [](uint8_t b) { return b == 0; });
}

PageCheckResult CheckPage(std::span<const uint8_t, kPageSize> raw, PageAddress position) {
  PageCheckResult result;
  const int32_t page_id = LoadAt<int32_t, L::kThisPageId>(raw);
  const uint16_t file_id = LoadAt<uint16_t, L::kThisFileId>(raw);
  if (page_id != position.pageId || file_id != position.fileId) {
    result.problems |= kPageProblemWrongAddress;
    Append(result.text, PrintfText("header names page %u:%d", static_cast<unsigned>(file_id), page_id));
  }
  const uint16_t flags = LoadAt<uint16_t, L::kFlagBits>(raw);
  if (flags & kFlagTornBitsPresent) CheckTornBits(raw, result);
  if (flags & kFlagChecksumPresent) {
    const uint32_t stored = LoadAt<uint32_t, L::kTornBits>(raw);
    const uint32_t computed = PageChecksum(raw);
    if (stored != computed) {
      result.problems |= kPageProblemBadChecksum;
      Append(result.text, PrintfText("checksum mismatch: stored 0x%08X, computed 0x%08X", stored, computed));
    }
  }
  return result;
}

FileSetCheckSummary CheckFileSetPages(const CDatabaseFile& file,
                                      const std::function<void(const DamagedPage&)>& visit,
                                      ProgressSink* progress, StopToken stop) {
  NullProgressSink no_progress;
  ProgressSink& sink = progress != nullptr ? *progress : no_progress;
  int64_t total_pages = std::max<int64_t>(file.pageCount(), 0);
  for (const auto& [file_id, entry] : file.secondaryFiles()) {
    total_pages += std::max<int64_t>(entry.pageCount, 0);
  }
  sink.ProgressRange(static_cast<uint64_t>(total_pages));
  sink.ProgressPos(0);

  FileSetCheckSummary summary;
  FilePagesCheck check(visit, summary, sink, total_pages, stop);
  // A second read-only descriptor of the primary file: the file set's own
  // one is private to it, and positioned reads do not disturb each other.
  if (auto primary = ReadOnlyFile::Open(file.path())) {
    check.Run(*primary, 1, file.baseOffset(), file.pageCount());
  } else {
    ++summary.filesUnreadable;
  }
  for (const auto& [file_id, entry] : file.secondaryFiles()) {
    if (summary.aborted) break;
    auto secondary = entry.physicalPath.empty() ? std::nullopt : ReadOnlyFile::Open(entry.physicalPath);
    if (!secondary) {
      ++summary.filesUnreadable;
      continue;
    }
    check.Run(*secondary, file_id, entry.baseOffset, entry.pageCount);
  }
  sink.ProgressPos(static_cast<uint64_t>(summary.pagesChecked));
  return summary;
}

std::vector<DamagedPage> FindDamagedPages(const CDatabaseFile& file, FileSetCheckSummary* summary) {
  std::vector<DamagedPage> damaged;
  FileSetCheckSummary result =
      CheckFileSetPages(file, [&damaged](const DamagedPage& page) { damaged.push_back(page); });
  if (summary != nullptr) *summary = result;
  return damaged;
}

int64_t CountDamagedPages(const CDatabaseFile& file) {
  return CheckFileSetPages(file, {}).damagedPages;
}

std::string DamagedPageCountLine(int64_t count) {
  return PrintfText("Damaged pages: %lld", static_cast<long long>(count));
}

}  // namespace quill
