#include "records/record_page.h"

#include <algorithm>

#include "common/little_endian.h"
#include "common/printf_text.h"
#include "pages/database_file.h"
#include "records/compressed_record_expansion.h"

namespace quill {

namespace C = compression_info_layout;

namespace {

constexpr int32_t kPage = static_cast<int32_t>(kPageSize);
constexpr int32_t kFirstRecordOffset = static_cast<int32_t>(kPageHeaderSize);
// A slot may not start so late that fewer than 96 bytes of record follow.
constexpr int32_t kLastSingleSlotOffset = kPage - kFirstRecordOffset;

uint16_t PageU16(std::span<const uint8_t> page, int32_t offset) {
  if (offset < 0 || offset + 2 > static_cast<int32_t>(page.size())) return 0;
  return LoadLittleEndianUnchecked<uint16_t>(page.data() + offset);
}

}  // namespace

RecordPage::RecordPage(PageBuffer buffer, const CDatabaseFile* file, const RecordParseOptions& options)
    : CPage(std::move(buffer), file), options_(options) {
  context_ = PageContext{&header(), file, data(), options_};
  if (options_.aborted()) {
    noRecords_ = NoRecordsReason::kStopped;
    return;
  }
  slotCount_ = static_cast<int16_t>(header().slotCount);
  if (slotCount_ < 1 || slotCount_ > kMaxSlotCount) {
    noRecords_ = NoRecordsReason::kSlotCount;
    return;
  }
  slotOffsets_.emplace(static_cast<size_t>(slotCount_));
  for (int32_t j = 0; j < slotCount_; ++j) (*slotOffsets_)[j] = PageU16(data(), kSlotArrayEnd - 2 * j);
}


PrimaryRecordPage::PrimaryRecordPage(PageBuffer buffer, const CDatabaseFile* file,
                                     const RecordParseOptions& options)
    : RecordPage(std::move(buffer), file, options) {
  ReadCompressionInfo();
  if (anchorRecord_ && !options_.isSql2000 && !anchorRecord_->notShown()) BuildAnchorValues();
  if (options_.showAdvancedDeletedRecords && options_.showDeletedRecords) SearchDeletedRecords();
  ParseSlots();
}

PrimaryRecordPage::PrimaryRecordPage(PageBuffer buffer, const CDatabaseFile* file,
                                     const RecordParseOptions& options, SingleSlot, uint16_t slot)
    : RecordPage(std::move(buffer), file, options) {
  ReadCompressionInfo();
  if (anchorRecord_ && !options_.isSql2000 && !anchorRecord_->notShown()) BuildAnchorValues();
  if (!slotOffsets_) {
    records_.push_back(nullptr);  // recordsFailure() says why
    return;
  }
  if (slot >= slotCount_) return;
  const uint16_t offset = (*slotOffsets_)[slot];
  if (offset < kFirstRecordOffset || offset > kLastSingleSlotOffset) {
    records_.push_back(nullptr);
    skippedSlots_.push_back({0, offset, static_cast<uint16_t>(kLastSingleSlotOffset)});
    return;
  }
  recordStore_.reserve(1);
  records_.push_back(ParseSlotRecord(offset, /*resolve_stubs=*/false));
}

PrimaryRecordPage::PrimaryRecordPage(PageBuffer buffer, const CDatabaseFile* file,
                                     const RecordParseOptions& options, NoRecords)
    : RecordPage(std::move(buffer), file, options) {}

void PrimaryRecordPage::ReadCompressionInfo() {
  std::copy(data().begin() + C::kHeader, data().begin() + C::kHeader + compressionInfo_.size(),
            compressionInfo_.begin());
  const int32_t size = PageU16(data(), C::kSize);
  if ((header().typeFlagBits & C::kPageCompressedTypeFlag) == 0 || size == 0) return;
  const uint8_t info = data()[C::kHeader];
  hasAnchor_ = (info & C::kHasAnchor) != 0;
  hasDictionary_ = (info & C::kHasDictionary) != 0;
  const PageContext& page_context = context();
  if (hasAnchor_ && hasDictionary_) {
    anchorRecord_ = std::make_unique<CPrimaryRecord>(CPrimaryRecord::AnchorRecord{}, page_context,
                                                     data().subspan(C::kAnchorWithDictionary),
                                                     static_cast<uint16_t>(size));
    const int32_t dictionary_offset = PageU16(data(), C::kDictionaryOffset);
    const int32_t dictionary_start = static_cast<int32_t>(C::kHeader) + dictionary_offset;
    if (!anchorRecord_->notShown() && dictionary_offset > 0 && dictionary_offset < size &&
        size < C::kDictionaryLimit && dictionary_start < C::kDictionaryLimit) {
      ReadDictionary(dictionary_start, size);
    }
  } else if (hasAnchor_ && !options_.isSql2000) {
    anchorRecord_ = std::make_unique<CPrimaryRecord>(CPrimaryRecord::AnchorRecord{}, page_context,
                                                     data().subspan(C::kAnchorAlone),
                                                     static_cast<uint16_t>(size));
  }
}

void PrimaryRecordPage::ReadDictionary(int32_t start, int32_t size) {
  const int32_t entry_count = PageU16(data(), start);
  std::vector<int32_t> ends;
  for (int32_t i = 0; i < entry_count; ++i) {
    const int32_t offset = start + 2 + 2 * i;
    if (offset + 2 > kPage) break;
    const int32_t end = PageU16(data(), offset);
    if (end > C::kDictionaryLimit) break;
    ends.push_back(end);
  }
  int32_t entry_start = 2 + 2 * entry_count;  // relative to the dictionary
  int32_t position = start + entry_start;      // in the page
  for (int32_t end : ends) {
    const int32_t length = end - entry_start;
    if (length > 0 && length < size && position < C::kDictionaryLimit && position + length <= kPage) {
      dictionaryEntries_.push_back({data().subspan(static_cast<size_t>(position), static_cast<size_t>(length)), length});
      position += length;
    }
    entry_start += length;
  }
}

void PrimaryRecordPage::BuildAnchorValues() {
  const CPrimaryRecord& anchor = *anchorRecord_;
  const std::vector<ColumnDescriptor>* table = options_.currentTable;
  size_t short_position = 0;
  size_t long_index = 0;
  for (int32_t i = 0; i < anchor.columnCount && i < static_cast<int32_t>(anchor.cdCodes().size()) &&
                      table != nullptr && i < static_cast<int32_t>(table->size()) && !options_.aborted();
       ++i) {
    const int32_t code = anchor.cdCodes()[i];
    if (code == 0) {
      anchorValues_.push_back({{}, -2});
    } else if (code == 1) {
      anchorValues_.push_back({{}, -1});
    } else if (code >= 2 && code <= 9) {
      const size_t length = static_cast<size_t>(code - 1);
      if (short_position + length <= anchor.fixedData.size()) {
        anchorValues_.push_back({anchor.fixedData.subspan(short_position, length), static_cast<int32_t>(length)});
        short_position += length;
      }
    } else if (code == 10) {
      if (long_index < anchor.varEntries().size()) {
        const VarColumnEntry& value = anchor.varEntries()[long_index];
        anchorValues_.push_back({value.bytes(), value.length});
        ++long_index;
      }
    }
  }
}

Status RecordPage::recordsFailure() const {
  switch (noRecords_) {
    case NoRecordsReason::kNo:
      return Status::Ok();
    case NoRecordsReason::kStopped:
      return Status::Failure("stopped before the page was read");
    case NoRecordsReason::kSlotCount:
      return Status::Failure(PrintfText("slot count %u is not 1 to %d", header().slotCount, kMaxSlotCount),
                             Place{.offset = static_cast<int64_t>(page_header_layout::kSlotCount),
                                   .field = "slot count"});
    case NoRecordsReason::kHeader:
      return HeaderFailure();
  }
  return Status::Ok();
}

Status RecordPage::HeaderFailure() const {
  const CPage_Header& h = header();
  const auto negative16 = [](uint16_t v) { return static_cast<int16_t>(v) < 0; };
  namespace H = page_header_layout;
  const auto failure = [](const char* field, size_t offset) {
    return Status::Failure(std::string("the header's ") + field + " is negative",
                           Place{.offset = static_cast<int64_t>(offset), .field = field});
  };
  if (negative16(h.ghostRecordCount)) return failure("ghost record count", H::kGhostRecordCount);
  if (negative16(h.freeCount)) return failure("free count", H::kFreeCount);
  if (negative16(h.nextPage.fileId)) return failure("next file id", H::kNextFileId);
  if (h.nextPage.pageId < 0) return failure("next page id", H::kNextPageId);
  if (negative16(h.thisPage.fileId)) return failure("this file id", H::kThisFileId);
  if (h.thisPage.pageId < 0) return failure("this page id", H::kThisPageId);
  if (negative16(h.previousPage.fileId)) return failure("previous file id", H::kPreviousFileId);
  if (h.previousPage.pageId < 0) return failure("previous page id", H::kPreviousPageId);
  return Status::Ok();
}

bool PrimaryRecordPage::HeaderAllowsRecords() const {
  return slotOffsets_ && slotCount_ <= kPage && HeaderFailure().ok();
}

Status PrimaryRecordPage::SlotSkipped(size_t slot) const {
  if (slot >= records_.size() || records_[slot] != nullptr) return Status::Ok();
  Place place{.slot = static_cast<int32_t>(slot)};
  if (noRecords_ != NoRecordsReason::kNo) return Status::Failure(recordsFailure().message(), place);
  if (allSlots_ == AllSlots::kNonLeafIndex) {
    return Status::Failure(PrintfText("index page at level %u, above the leaf level", header().level), place);
  }
  if (allSlots_ == AllSlots::kAllGhosts) {
    return Status::Failure("every record of the page is a ghost, and deleted records are not being read", place);
  }
  for (const SkippedSlot& skipped : skippedSlots_) {
    if (skipped.slot != slot) continue;
    if (skipped.offset == 0) return Status::Failure("empty slot", place);
    place.offset = skipped.offset;
    return Status::Failure(
        PrintfText("offset %u is outside %d..%u", skipped.offset, kFirstRecordOffset, skipped.lastOffset), place);
  }
  return Status::Ok();
}

void PrimaryRecordPage::SkipSlot(size_t slot, uint16_t offset) {
  records_.push_back(nullptr);
  skippedSlots_.push_back({slot, offset, static_cast<uint16_t>(kPage)});
}

CPrimaryRecord* PrimaryRecordPage::ParseSlotRecord(uint16_t offset, bool resolve_stubs) {
  // Reserved beforehand: emplacing never moves the records already parsed.
  CPrimaryRecord* record = &recordStore_.emplace_back(
      CPrimaryRecord::SlotRecord{}, data().subspan(offset), context(),
      static_cast<uint16_t>(kPage - offset), resolve_stubs, &entryPool_);
  const bool compressed = (data()[offset] & kStatusCompressed) != 0;
  if (compressed && !record->notShown() && !options_.isSql2000 && options_.currentTable != nullptr) {
    ExpandCompressedRecord(*record, *this, *options_.currentTable);
  }
  return record;
}

void PrimaryRecordPage::ParseSlots() {
  if (!slotOffsets_) return;
  if (!HeaderFailure().ok()) {
    noRecords_ = NoRecordsReason::kHeader;
    return;
  }
  const CPage_Header& h = header();
  const bool non_leaf_index = h.pageType == kPageTypeIndex && h.level != 0;
  const bool all_ghosts = h.ghostRecordCount >= slotCount_ && !options_.showDeletedRecords;
  if (non_leaf_index || all_ghosts) {
    allSlots_ = non_leaf_index ? AllSlots::kNonLeafIndex : AllSlots::kAllGhosts;
    records_.assign(static_cast<size_t>(slotCount_), nullptr);
    return;
  }
  records_.reserve(static_cast<size_t>(slotCount_));
  recordStore_.reserve(static_cast<size_t>(slotCount_));
  entryPool_.reserve(2 * static_cast<size_t>(slotCount_));
  for (int32_t i = 0; i < slotCount_; ++i) {
    const size_t slot = static_cast<size_t>(i);
    const uint16_t offset = (*slotOffsets_)[slot];
    if (offset == 0 || offset > kPage || offset < kFirstRecordOffset) {
      SkipSlot(slot, offset);
    } else {
      records_.push_back(ParseSlotRecord(offset, /*resolve_stubs=*/true));
    }
  }
}

}  // namespace quill
