// One record of a page, cut into its parts. Two on-disk layouts exist.
//
// Status byte A (record byte 0):
//   bit 0      compressed layout (else the plain layout)
//   bits 1-3   record kind: 0 primary, 1 forwarded (moved row body),
//              2 forwarding stub, 3 index, 4 text/image fragment,
//              5 ghost index, 6 ghost data (deleted row), 7 ghost version
//   bit 4      a null bitmap is present
//   bit 5      plain: variable-length columns present;
//              compressed: a long data region is present
//   bit 6      a 14-byte versioning tag follows the record's data
//
// Plain layout (offsets from the record start, little-endian):
//   0      uint8    status byte A
//   1      uint8    status byte B (not used)
//   2      uint16   F: offset of the column count; fixed data is 4..F-1
//   4      F-4      fixed-length column data
//   F      int16    column count n
//   F+2    (n+7)/8  null bitmap (bit j set: column j is NULL), when bit 4
//   next   uint16   variable column count m, when bit 5
//   next   2*m      end offsets: bit 15 marks a complex value, the low 15
//                   bits give the offset just past the value
//   next            the variable values, one after another
//   next   14       versioning tag, when bit 6
//
// A forwarded record (kind 1) ends with one more complex variable value of
// 10 bytes, 00 04 + page id + file id + slot: the back pointer to its stub.
// It is not a column of the table and is kept out of the values.
//
// Forwarding stub (kind 2):
//   0 uint8 status, 1 int32 page id, 5 uint16 file id, 7 uint16 slot
//
// Sparse vector (a complex value whose first byte is 5 and whose length is
// not 16), offsets from the value start:
//   0 uint16 kind (5), 2 uint16 k, 4 k x uint16 column ids,
//   4+2k k x uint16 value end offsets, 4+4k the values
//
// Compressed layout:
//   0      uint8    status byte A
//   1      1 or 2   column count n: byte 1 when its high bit is clear, else
//                   the 16-bit word at 1 (high bit included)
//   h      n/2      column descriptor codes, 4 bits each, low nibble first
//   next   (n-1)/30 short data cluster array (skipped)
//   next   S        short data: values of the codes 2-9 (code-1 bytes) and
//                   12 (one dictionary symbol byte), in column order
//   next   (n+7)/8  null bitmap, when bit 4
//   next            long data region, when bit 5:
//                   uint8 header (bit 0: an offset array follows),
//                   uint16 m, m x uint16 end offsets (bit 15 complex),
//                   (n-1)/30 cluster bytes, then the long values
//
// Parsing never reads past maxLength bytes from the record start nor past
// the page; a length or offset out of bounds leaves the part absent.
//
// A record keeps views, not copies: its parts point into the page it was
// parsed from, so a record is only valid while that page lives. A resolved
// forwarding stub owns one copy, of the forwarded record it stands for.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "common/status.h"
#include "pages/page_address.h"
#include "records/page_context.h"
#include "records/var_column_entry.h"

namespace quill {

inline constexpr int kRecordKindPrimary = 0;
inline constexpr int kRecordKindForwarded = 1;
inline constexpr int kRecordKindForwardingStub = 2;
inline constexpr int kRecordKindIndex = 3;
inline constexpr int kRecordKindTextFragment = 4;
inline constexpr int kRecordKindGhostIndex = 5;
inline constexpr int kRecordKindGhostData = 6;
inline constexpr int kRecordKindGhostVersion = 7;

// "primary", "forwarded", ... for the kind bits 1-3 of status byte A.
const char* RecordKindName(int kind);

inline constexpr uint8_t kStatusCompressed = 0x01;
inline constexpr uint8_t kStatusNullBitmap = 0x10;
inline constexpr uint8_t kStatusVariableColumns = 0x20;
inline constexpr uint8_t kStatusVersioningTag = 0x40;

inline constexpr int kVersioningTagSize = 14;
inline constexpr int kForwardingBackPointerSize = 10;
// The most bytes a probed record may span, and the largest fixed part.
inline constexpr int kProbeMaxLength = 8060;
inline constexpr int kMaxFixedLength = 8059;
inline constexpr int kMaxColumnCount = 1023;
inline constexpr int kMaxCompressedColumnCount = 1024;
// fixedLength of a forwarding stub whose target could not be read.
inline constexpr int16_t kUnresolvedStubLength = -5;

// Where a record sits: its page and slot (a stub's target, a forwarded
// record's back pointer).
struct RecordAddress {
  PageAddress page;
  uint16_t slot = 0;

  friend bool operator==(const RecordAddress&, const RecordAddress&) = default;
};

// Base of all records. Byte parts are views; an empty view means the part
// is absent.
class CRecord {
 public:
  struct LongEnd {
    int32_t end = 0;
    bool complex = false;
  };
  // One column of a compressed record after its expansion: NULL or not,
  // and where its value went: `length` bytes at `offset` of the expanded
  // fixed data, or long value `longEntry`; neither when nothing was stored
  // for it (the anchor or dictionary entry it names is missing).
  struct ColumnFlag {
    bool isNull = false;
    int32_t length = 0;
    int32_t offset = -1;
    int32_t longEntry = -1;
  };

  CRecord() = default;
  CRecord(CRecord&&) = default;
  CRecord& operator=(CRecord&&) = default;
  CRecord(const CRecord&) = delete;
  CRecord& operator=(const CRecord&) = delete;
  virtual ~CRecord() = default;

  // True when column `column` is marked NULL in the null bitmap.
  bool IsNullColumn(int column) const;

  // Variable column end offset i with bit 15 cleared; 0 for an offset whose
  // bytes lay past the record's limit.
  uint16_t varEnd(int i) const;
  bool varEndIsComplex(int i) const;

  // The variable column values (compressed layout: the long values), in
  // stored order.
  std::span<const VarColumnEntry> varEntries() const;
  std::span<VarColumnEntry> mutableVarEntries();

  int32_t kind = 0;
  bool hasNullBitmap = false;
  bool isCompressed = false;
  // Why the parser rejected the record, placed at the offending byte of
  // the page; ok for a record it accepted. Consumers skip rejected records.
  // The text is made when asked: rejecting costs the parse no text.
  Status rejection() const;
  bool notShown() const { return rejected_ != Rejected::kNo; }
  bool hasVarColumns = false;
  bool isGhost = false;
  bool hasVersioningTag = false;
  std::span<const uint8_t> fixedData;  // plain: fixed data; compressed: short data
  int16_t columnCount = 0;
  std::span<const uint8_t> nullBitmap;
  int16_t varCount = 0;  // compressed: number of long values
  std::span<const uint8_t> varEndBytes;  // the stored end offsets, 2 bytes each
  std::span<const uint8_t> rawCopy;      // bytes 0 .. recordEnd - 1
  std::optional<SparseValueList> sparseValues;
  // What the record keeps of its page; owned by the page.
  const PageContext* context = nullptr;
  int32_t recordEnd = 0;  // bytes consumed: the record's length
  // Flags of the column being decoded, set by the row builders.
  bool isBinaryValue = false;
  bool isVariantValue = false;
  bool isUnicodeValue = false;
  uint16_t maxLength = 0;

 protected:
  // Why a record was rejected, as the parser found it; rejection() words it.
  enum class Rejected : uint8_t {
    kNo,
    kNegativePageId,        // value: the header's page id
    kPageTypeWithoutRows,   // value: the page type
    kStartsAtPageEnd,
    kDeletedNotRead,
    kKindNotRow,            // value: the kind
    kColumnCountCut,
    kColumnCountOutOfRange,  // value: the count
    kTextRecordTooShort,
  };
  // Rejects the record for `why`, found in `field` at byte `page_offset` of
  // the page (-1 when not known).
  void Reject(Rejected why, int32_t value, int32_t page_offset, const char* field) {
    rejected_ = why;
    rejectedValue_ = value;
    rejectedAt_ = page_offset;
    rejectedField_ = field;
  }

 public:
  // Parts of the compressed layout; empty for plain records.
  const std::vector<LongEnd>& longEnds() const;
  int32_t longRegionStart() const { return compressed_ ? compressed_->longRegionStart : 0; }
  // Null flag and length per column, filled by the compressed expansion.
  const std::vector<ColumnFlag>& columnFlags() const;
  std::vector<ColumnFlag>& mutableColumnFlags() { return Compressed().columnFlags; }

  // For the compressed expansion: the record takes `bytes` as its fixed
  // data, and value `index` takes `bytes` as its data (`length` of them).
  void AdoptFixedData(std::vector<uint8_t> bytes);
  void AdoptEntryData(size_t index, std::vector<uint8_t> bytes, int32_t length);

 protected:
  // Allocated by the compressed parse only, so that plain records stay small.
  struct CompressedParts {
    std::vector<int32_t> cdCodes;
    std::vector<LongEnd> longEnds;
    int32_t longRegionStart = 0;
    std::vector<ColumnFlag> columnFlags;
  };
  CompressedParts& Compressed() {
    if (!compressed_) compressed_ = std::make_unique<CompressedParts>();
    return *compressed_;
  }
  const CompressedParts* compressedParts() const { return compressed_.get(); }

  // Entries live in a pool shared by the records of one page (one
  // allocation for all of them) or, for a record parsed alone, in the
  // record itself. Starts the record's (empty) run of entries at the end of `pool`, or in
  // the record itself when `pool` is null.
  void UseEntryPool(std::vector<VarColumnEntry>* pool) {
    pool_ = pool;
    entriesFirst_ = pool != nullptr ? static_cast<uint32_t>(pool->size()) : 0;
    entriesCount_ = 0;
  }
  // Appends a value (empty `value`: one that could not be cut out). Only
  // the newest record of a pool appends to it, so a record's entries are
  // contiguous.
  void AddEntry(std::span<const uint8_t> value, bool complex) {
    VarColumnEntry& entry = Pool().emplace_back();
    entry.data = value;
    entry.length = static_cast<int32_t>(value.size());
    entry.complex = complex;
    ++entriesCount_;
  }
  VarColumnEntry& LastEntry();
  void DropLastEntry();
  size_t entriesCount() const { return entriesCount_; }

  // What a record owns itself, allocated only when needed: the entries of a
  // record parsed alone, and a resolved stub's copy of its forwarded record
  // (its views point into that copy).
  struct OwnStorage {
    std::vector<VarColumnEntry> entries;
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> expanded;             // fixed data of an expanded record
    std::vector<std::vector<uint8_t>> values;  // values rebuilt by the expansion
  };
  OwnStorage& Own();

 private:
  std::vector<VarColumnEntry>& Pool() { return pool_ != nullptr ? *pool_ : Own().entries; }
  std::span<const VarColumnEntry> PoolView() const;

  std::vector<VarColumnEntry>* pool_ = nullptr;
  std::unique_ptr<OwnStorage> own_;
  std::unique_ptr<CompressedParts> compressed_;
  uint32_t entriesFirst_ = 0;
  uint32_t entriesCount_ = 0;
  Rejected rejected_ = Rejected::kNo;
  int32_t rejectedValue_ = 0;
  int32_t rejectedAt_ = -1;
  const char* rejectedField_ = nullptr;
};

class CPrimaryRecord : public CRecord {
 public:
  struct SlotRecord {};
  struct ProbeRecord {};
  struct AnchorRecord {};

  // Parses the record of a slot. `bytes` runs from the record start to the
  // end of the page; `max_length` is 8192 - slot offset. Forwarding stubs
  // are resolved by reading the page they point to (one level only: a stub
  // found at the target is not followed); only a forwarded record (kind 1)
  // there resolves a stub. Values go to `entry_pool` when given (the page's
  // pool), else into the record.
  CPrimaryRecord(SlotRecord, std::span<const uint8_t> bytes, const PageContext& context,
                 uint16_t max_length, bool resolve_stubs = true,
                 std::vector<VarColumnEntry>* entry_pool = nullptr);
  // Parses a candidate record at an arbitrary page position, for the search
  // of deleted records. `end` receives the record's length, or -1 when no
  // record was parsed. Keeps no fixed data, no raw copy and no values.
  CPrimaryRecord(ProbeRecord, const PageContext& context, std::span<const uint8_t> bytes,
                 int32_t& end);
  // Parses the anchor record of a compressed page: always the compressed
  // layout, whatever the kind.
  CPrimaryRecord(AnchorRecord, const PageContext& context, std::span<const uint8_t> bytes,
                 uint16_t max_length);

  int16_t fixedLength = 0;  // plain: F - 4; compressed: S; -5 for an unresolved stub
  // A forwarding stub: the record it points to, resolved or not, and why an
  // unresolved one was not (ok when resolved, or not asked to resolve).
  std::optional<RecordAddress> forwardTarget;
  const Status& forwardFailure() const;
  // A forwarded record, and a stub resolved to one: the forwarded record's
  // back pointer, the address of the stub that should point to it.
  std::optional<RecordAddress> backPointer;
  // Column descriptor codes, one per column; compressed layout only.
  const std::vector<int32_t>& cdCodes() const;

 private:
  bool PageCheckFails() const;
  // The steps every constructor starts with: remember the page, check it,
  // set the limit and decode the status byte. False (and the record
  // rejected) when it cannot be parsed at all.
  bool Begin(std::span<const uint8_t> bytes, const PageContext& page_context, uint16_t max_length);
  void DecodeStatus(uint8_t status);
  bool KindAccepted() const;
  // Rejects the record for `why`, found at byte `record_offset` of the
  // record (placed at its page offset when the record lies in its page).
  void RejectAt(Rejected why, int32_t value, int32_t record_offset, const char* field);
  // Rejects a record whose kind is not a row of the table being read.
  void RejectKind();
  // Why a stub's target could not be read, at the stub's own byte.
  bool ForwardFails(std::string message, int32_t record_offset, const char* field);
  // The plain layout from offset 2 on. With `copy_fixed` false the fixed
  // data is stepped over but not copied (the probe).
  void ParsePlain(std::span<const uint8_t> bytes, bool keep_parts, bool forwarded_body);
  void ParseVariableColumns(std::span<const uint8_t> bytes, int32_t p, bool has_count_field,
                            bool forwarded_body, bool keep_values);
  void ParseSparseVector(std::span<const uint8_t> vector);
  void ParseCompressed(std::span<const uint8_t> bytes);
  void ParseLongRegion(std::span<const uint8_t> bytes, int32_t p);
  // Reads the stub's target into forwardTarget and, with `resolve`, the
  // forwarded record there; false when it cannot be read or parsed.
  bool ReadForwardedRecord(std::span<const uint8_t> bytes, bool resolve);

  // Bytes the parser may read: min(maxLength, bytes available).
  int32_t limit_ = 0;
  // Where the record starts in its page's bytes; -1 when it lies elsewhere
  // (a copy of a forwarded record).
  int32_t pageOffset_ = -1;
  // Allocated only for a stub whose target could not be read: every record
  // of a page is built, few are such stubs.
  std::unique_ptr<Status> forwardFailure_;
};

}  // namespace quill
