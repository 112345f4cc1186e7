// The page header and the torn-page restore, and the page checks run on
// every page while a file is mapped. The input is the page as read from disk
// (a whole 8192 bytes: a shorter input is padded with zeros).
//
// Checked: restoring torn-page bits changes only the two low bits of the
// last byte of sectors 1 to 15, and nothing at all without flag 0x0100;
// restoring again changes nothing more; the header decoded before and after
// the restore is the same (sector 0 is never touched), and the single-field
// reads agree with it; the page check gives the same result twice with a
// short text.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "pages/page_check.h"
#include "pages/page_geometry.h"
#include "pages/page_header.h"

namespace {

bool SameHeader(const quill::CPage_Header& a, const quill::CPage_Header& b) {
  return a.freeCount == b.freeCount && a.freeDataOffset == b.freeDataOffset && a.flagBits == b.flagBits &&
         a.lsnText == b.lsnText && a.objectId == b.objectId && a.pageType == b.pageType &&
         a.minRecordLength == b.minRecordLength && a.indexId == b.indexId && a.typeFlagBits == b.typeFlagBits &&
         a.slotCount == b.slotCount && a.transactionText == b.transactionText &&
         a.reservedByTransaction == b.reservedByTransaction && a.reservedCount == b.reservedCount &&
         a.level == b.level && a.headerVersion == b.headerVersion && a.ghostRecordCount == b.ghostRecordCount &&
         a.tornBits == b.tornBits && a.nextPage == b.nextPage && a.previousPage == b.previousPage &&
         a.thisPage == b.thisPage;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quill;
  using namespace quill::fuzz;
  if (size > kPageSize) return 0;
  const ExactBytes input(data, size);
  std::array<uint8_t, kPageSize> raw{};
  std::copy(input.span().begin(), input.span().end(), raw.begin());
  std::array<uint8_t, kPageSize> page = raw;

  const CPage_Header before = CPage_Header::Decode(raw);
  const CPage_Header header = CPage_Header::DecodeAndRestore(page);
  Require(SameHeader(before, header), "the header reads the same before and after the restore");
  Require(header.lsnText.size() < 64 && header.transactionText.size() < 64, "header texts are short");
  Require(HeaderObjectId(raw) == header.objectId && HeaderPageType(raw) == header.pageType &&
              HeaderFileId(raw) == header.thisPage.fileId && HeaderPageId(raw) == header.thisPage.pageId,
          "single-field reads agree with the header");

  for (size_t i = 0; i < kPageSize; ++i) {
    if (page[i] == raw[i]) continue;
    const bool sector_end = (i + 1) % kSectorSize == 0 && i >= kSectorSize;
    Require((header.flagBits & kFlagTornBitsPresent) != 0, "nothing restored without the torn-page flag");
    Require(sector_end, "only the last byte of sectors 1 to 15 is restored");
    Require(((page[i] ^ raw[i]) & 0xFC) == 0, "only the two low bits are restored");
  }
  std::array<uint8_t, kPageSize> again = page;
  CPage_Header::DecodeAndRestore(again);
  Require(again == page, "restoring twice changes nothing more");

  const PageAddress position{static_cast<uint16_t>(size & 3), static_cast<int32_t>(size)};
  const PageCheckResult first = CheckPage(raw, position);
  const PageCheckResult second = CheckPage(raw, position);
  Require(first.problems == second.problems && first.text == second.text, "the page check is deterministic");
  Require(first.damaged() == !first.text.empty(), "a damaged page says what is wrong");
  Require(first.text.size() < 1024, "the page check text is short");
  return 0;
}
