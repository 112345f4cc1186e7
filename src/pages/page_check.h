// Integrity checks of raw pages: does a page sit where its header says, did
// every sector of its last write reach the disk (torn-page bits), and does
// its page checksum hold. Checks inform and never refuse: a damaged page is
// read like any other, the checks only say what looks wrong with it.
//
// What is checked, on the bytes as read from disk (torn-page bits not yet
// restored):
//
//   address   header offsets 32 (page id) and 36 (file id) name the page's
//             own position in its file.
//   torn      flag bit 0x0100: the server wrote a 2-bit marker into the two
//             low bits of the last byte of every sector 1..15 and keeps the
//             marker in bits 0..1 of the field at offset 60. A sector with
//             another marker was not written together with the others.
//   checksum  flag bit 0x0200: the field at offset 60 holds the page
//             checksum (see PageChecksum).
//
// A page that is zero throughout was never written and is not checked.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "common/progress_sink.h"
#include "common/stop_token.h"
#include "pages/page_address.h"
#include "pages/page_geometry.h"

namespace quill {

class CDatabaseFile;

// What can be wrong with one page, as bits.
inline constexpr uint32_t kPageProblemWrongAddress = 0x1;
inline constexpr uint32_t kPageProblemTornPage = 0x2;
inline constexpr uint32_t kPageProblemBadChecksum = 0x4;

// The page checksum: each of the 16 sectors is folded by XOR over its 128
// little-endian 32-bit words (the checksum word at offset 60 taken as 0),
// and the fold of sector i, rotated left by 15 - i bits, is XORed into the
// result.
uint32_t PageChecksum(std::span<const uint8_t, kPageSize> raw);

// True when every byte of the page is zero.
bool IsZeroPage(std::span<const uint8_t, kPageSize> raw);

struct PageCheckResult {
  uint32_t problems = 0;  // kPageProblem* bits; 0 when nothing is wrong
  std::string text;       // what is wrong, "; " between problems; empty when fine

  bool damaged() const { return problems != 0; }
};

// Checks one page as read from disk. `position` is where the page was read:
// its file's id and its index in that file.
PageCheckResult CheckPage(std::span<const uint8_t, kPageSize> raw, PageAddress position);

// One damaged page of a file set.
struct DamagedPage {
  uint16_t fileId = 0;   // the file it was read from
  int32_t pageId = 0;    // its position in that file
  int32_t objectId = 0;  // header offset 24, as stored
  uint32_t problems = 0;
  std::string problem;   // PageCheckResult::text
};

struct FileSetCheckSummary {
  int64_t pagesChecked = 0;  // pages read, zero pages included
  int64_t zeroPages = 0;
  int64_t damagedPages = 0;
  int32_t filesChecked = 0;
  int32_t filesUnreadable = 0;  // secondary files that could not be opened
  bool aborted = false;         // the stop flag ended the pass
};

// Checks every page of the primary file and of each secondary file the file
// set knows, in file order, and hands each damaged page to `visit` (may be
// empty). Polls `stop` before every page. Reports the position, over the
// pages of all files, to `progress` (may be null).
FileSetCheckSummary CheckFileSetPages(const CDatabaseFile& file,
                                      const std::function<void(const DamagedPage&)>& visit,
                                      ProgressSink* progress = nullptr, StopToken stop = {});

// The damaged pages of a file set, in file order.
std::vector<DamagedPage> FindDamagedPages(const CDatabaseFile& file,
                                          FileSetCheckSummary* summary = nullptr);

// The number of damaged pages, for a one-line report after a scan.
int64_t CountDamagedPages(const CDatabaseFile& file);

// The output line that reports that number: "Damaged pages: N".
std::string DamagedPageCountLine(int64_t count);

}  // namespace quill
