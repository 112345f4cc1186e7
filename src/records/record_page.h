// Record pages: pages whose body holds records addressed by a slot array.
//
// The slot array grows backwards from the end of the page: the 16-bit
// offset of slot j is stored at page offset 8190 - 2j; 0 marks an empty
// slot. The header's slot count says how many there are.
//
// A page-compressed page (header type flag bit 0x80) starts its body with a
// compression information record:
//   OFFSET SIZE FIELD
//       96    1 header: 0x02 anchor record present, 0x04 dictionary present
//       97    2 not used
//       99    2 dictionary offset D, counted from page offset 96
//      101    2 size of the compression information; 0 = none
//      103      anchor record (compressed layout) when a dictionary is present,
//      101      or here when only the anchor is
// and the dictionary at 96 + D: uint16 d, d x uint16 entry end offsets
// (counted from the dictionary start), then the entries' bytes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "common/status.h"
#include "pages/page.h"
#include "records/page_context.h"
#include "records/record.h"

namespace quill {

namespace compression_info_layout {
inline constexpr size_t kHeader = 96;
inline constexpr size_t kDictionaryOffset = 99;
inline constexpr size_t kSize = 101;
inline constexpr size_t kAnchorWithDictionary = 103;
inline constexpr size_t kAnchorAlone = 101;
inline constexpr uint8_t kHasAnchor = 0x02;
inline constexpr uint8_t kHasDictionary = 0x04;
inline constexpr uint8_t kPageCompressedTypeFlag = 0x80;
inline constexpr int32_t kDictionaryLimit = 4096;
}  // namespace compression_info_layout

inline constexpr int32_t kSlotArrayEnd = 8190;
inline constexpr int32_t kMaxSlotCount = 3999;

class RecordPage : public CPage {
 public:
  // Builds the page and reads its slot array (not when a stop is requested,
  // and only for slot counts 1 to 3999). `options` are the run's options
  // the page and its records parse by.
  RecordPage(PageBuffer buffer, const CDatabaseFile* file, const RecordParseOptions& options);
  ~RecordPage() override = default;

  // Slot offsets as read from the page, followed by the offsets of deleted
  // records found in free space when that search ran; nothing when the slot
  // array could not be read.
  const std::optional<std::vector<uint16_t>>& slotOffsets() const { return slotOffsets_; }
  const RecordParseOptions& options() const { return options_; }
  // The context the page's records keep; lives as long as the page.
  const PageContext& context() const { return context_; }
  // The slot count, including records found by the deleted-record search.
  int32_t slotCount() const { return slotCount_; }
  // Why the page gave no records at all (no slot array, a header that
  // forbids reading them, a stop); ok otherwise. Worded when asked.
  Status recordsFailure() const;

 protected:
  enum class NoRecordsReason : uint8_t { kNo, kStopped, kSlotCount, kHeader };
  // Why the header forbids reading records; ok when it allows them.
  Status HeaderFailure() const;

  NoRecordsReason noRecords_ = NoRecordsReason::kNo;
  std::optional<std::vector<uint16_t>> slotOffsets_;
  int32_t slotCount_ = 0;
  RecordParseOptions options_;
  PageContext context_;
};

// A record page whose records are row records: one CPrimaryRecord per slot.
class PrimaryRecordPage : public RecordPage {
 public:
  struct SingleSlot {};
  struct NoRecords {};
  // Anchor values and dictionary entries are views into the page.
  struct AnchorValue {
    std::span<const uint8_t> data;  // empty for NULL and empty values
    // The value's length; -2 for a NULL anchor value, -1 for an empty one.
    int32_t length = 0;
  };
  struct DictionaryEntry {
    std::span<const uint8_t> data;
    int32_t length = 0;
  };

  // Whole page: slot array, compression information, the deleted-record
  // search when both deleted-record options are on, then every slot.
  PrimaryRecordPage(PageBuffer buffer, const CDatabaseFile* file, const RecordParseOptions& options);
  // Only slot `slot` (forwarding stub resolution). Stubs found there are not
  // followed further.
  PrimaryRecordPage(PageBuffer buffer, const CDatabaseFile* file, const RecordParseOptions& options,
                    SingleSlot, uint16_t slot);
  // No records: for page kinds that read their own bodies.
  PrimaryRecordPage(PageBuffer buffer, const CDatabaseFile* file, const RecordParseOptions& options,
                    NoRecords);
  ~PrimaryRecordPage() override = default;

  // One entry per slot in slot order; null where the slot was skipped. The
  // records belong to the page.
  const std::vector<CPrimaryRecord*>& records() const { return records_; }
  // Why slot `slot` was skipped (its entry in records() is null); ok when
  // it was not. Built when asked: skipping costs the parse no text.
  Status SlotSkipped(size_t slot) const;

  bool hasAnchor() const { return hasAnchor_; }
  bool hasDictionary() const { return hasDictionary_; }
  const CPrimaryRecord* anchorRecord() const { return anchorRecord_.get(); }
  const std::vector<AnchorValue>& anchorValues() const { return anchorValues_; }
  const std::vector<DictionaryEntry>& dictionaryEntries() const { return dictionaryEntries_; }
  // The seven stored bytes at page offsets 96..102.
  const std::array<uint8_t, 7>& compressionInfo() const { return compressionInfo_; }

 private:
  void ReadCompressionInfo();
  void ReadDictionary(int32_t dictionary_offset, int32_t size);
  void BuildAnchorValues();
  void SearchDeletedRecords();
  // Header sign checks shared by the slot parse and the deleted-record search.
  bool HeaderAllowsRecords() const;
  void ParseSlots();
  CPrimaryRecord* ParseSlotRecord(uint16_t offset, bool resolve_stubs);
  // Records a null entry for slot `slot`, whose offset is not a record's.
  void SkipSlot(size_t slot, uint16_t offset);

  // The records live in one block reserved for the slot count before the
  // first is parsed, so their addresses never change; their values share
  // one pool.
  std::vector<CPrimaryRecord> recordStore_;
  std::vector<VarColumnEntry> entryPool_;
  std::vector<CPrimaryRecord*> records_;
  // Slots skipped for their offsets (0: empty; else outside the body), in
  // slot order, and the reason every slot was skipped for when one was.
  struct SkippedSlot {
    size_t slot = 0;
    uint16_t offset = 0;
    uint16_t lastOffset = 0;  // the largest offset a record may start at
  };
  std::vector<SkippedSlot> skippedSlots_;
  enum class AllSlots : uint8_t { kRead, kNonLeafIndex, kAllGhosts };
  AllSlots allSlots_ = AllSlots::kRead;
  std::array<uint8_t, 7> compressionInfo_{};
  std::vector<AnchorValue> anchorValues_;
  std::vector<DictionaryEntry> dictionaryEntries_;
  std::unique_ptr<CPrimaryRecord> anchorRecord_;
  bool hasDictionary_ = false;
  bool hasAnchor_ = false;
};

}  // namespace quill
