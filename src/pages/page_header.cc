#include "pages/page_header.h"


#include "common/little_endian.h"
#include "common/printf_text.h"

namespace quill {

namespace L = page_header_layout;

int32_t HeaderObjectId(std::span<const uint8_t, kPageSize> page) {
  return LoadAt<int32_t, L::kObjectId>(page);
}
int32_t HeaderPageType(std::span<const uint8_t, kPageSize> page) {
  return LoadAt<uint8_t, L::kPageType>(page);
}
uint16_t HeaderFileId(std::span<const uint8_t, kPageSize> page) {
  return LoadAt<uint16_t, L::kThisFileId>(page);
}
int32_t HeaderPageId(std::span<const uint8_t, kPageSize> page) {
  return LoadAt<int32_t, L::kThisPageId>(page);
}

CPage_Header CPage_Header::Decode(std::span<const uint8_t, kPageSize> page) {
  CPage_Header h;
  h.headerVersion = LoadAt<uint8_t, L::kHeaderVersion>(page);
  h.pageType = LoadAt<uint8_t, L::kPageType>(page);
  h.typeFlagBits = LoadAt<uint8_t, L::kTypeFlagBits>(page);
  h.level = LoadAt<uint8_t, L::kLevel>(page);
  h.flagBits = LoadAt<uint16_t, L::kFlagBits>(page);
  h.indexId = LoadAt<uint16_t, L::kIndexId>(page);
  h.previousPage = {LoadAt<uint16_t, L::kPreviousFileId>(page),
                    LoadAt<int32_t, L::kPreviousPageId>(page)};
  h.minRecordLength = LoadAt<uint16_t, L::kMinRecordLength>(page);
  h.nextPage = {LoadAt<uint16_t, L::kNextFileId>(page), LoadAt<int32_t, L::kNextPageId>(page)};
  h.slotCount = LoadAt<uint16_t, L::kSlotCount>(page);
  h.objectId = LoadAt<int32_t, L::kObjectId>(page);
  h.freeCount = LoadAt<uint16_t, L::kFreeCount>(page);
  h.freeDataOffset = LoadAt<uint16_t, L::kFreeDataOffset>(page);
  h.thisPage = {LoadAt<uint16_t, L::kThisFileId>(page), LoadAt<int32_t, L::kThisPageId>(page)};
  h.reservedCount = LoadAt<uint16_t, L::kReservedCount>(page);
  h.lsnText = PrintfText("( %d : %d : %d )", LoadAt<int32_t, L::kLsnPart1>(page),
                          LoadAt<int32_t, L::kLsnPart2>(page),
                          LoadAt<int16_t, L::kLsnPart3>(page));
  h.reservedByTransaction = LoadAt<uint16_t, L::kReservedByTransaction>(page);
  h.transactionText = PrintfText("( %d : %d )", LoadAt<int16_t, L::kTransactionIdHigh>(page),
                                  LoadAt<int32_t, L::kTransactionIdLow>(page));
  h.ghostRecordCount = LoadAt<uint16_t, L::kGhostRecordCount>(page);
  h.tornBits = LoadAt<uint32_t, L::kTornBits>(page);
  return h;
}

CPage_Header CPage_Header::DecodeAndRestore(std::span<uint8_t, kPageSize> page) {
  CPage_Header h = Decode(std::span<const uint8_t, kPageSize>(page));
  if (h.flagBits & kFlagTornBitsPresent) RestoreTornBits(page, h.tornBits);
  return h;
}

void RestoreTornBits(std::span<uint8_t, kPageSize> page, uint32_t torn_bits) {
  for (size_t sector = 1; sector < kSectorsPerPage; ++sector) {
    uint8_t& last = page[kSectorSize * sector + kSectorSize - 1];
    last = static_cast<uint8_t>((last & 0xFC) | ((torn_bits >> (2 * sector)) & 3));
  }
}

}  // namespace quill
