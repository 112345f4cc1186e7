#include "records/record.h"

#include <algorithm>

#include "common/little_endian.h"
#include "common/printf_text.h"
#include "pages/database_file.h"
#include "pages/page_header.h"
#include "records/record_page.h"

namespace quill {

namespace {

constexpr int kMaxRecordPageType = 17;
constexpr uint8_t kSparseVectorKind = 5;
constexpr int kSparseVectorHeaderLength = 16;  // a complex value of 16 bytes is never a sparse vector

// Reads within the first `limit` bytes of a record.
struct RecordBytes {
  std::span<const uint8_t> bytes;
  int32_t limit;

  bool Fits(int64_t offset, int64_t size) const { return offset >= 0 && size >= 0 && offset + size <= limit; }
  uint16_t U16(int64_t offset) const {
    return Fits(offset, 2) ? LoadLittleEndianUnchecked<uint16_t>(bytes.data() + offset) : 0;
  }
  int16_t I16(int64_t offset) const { return static_cast<int16_t>(U16(offset)); }
  std::span<const uint8_t> View(int64_t offset, int64_t size) const {
    return bytes.subspan(static_cast<size_t>(offset), static_cast<size_t>(size));
  }
};

int32_t LimitOf(std::span<const uint8_t> bytes, uint16_t max_length) {
  return static_cast<int32_t>(std::min<size_t>(bytes.size(), max_length));
}

}  // namespace

const char* RecordKindName(int kind) {
  switch (kind) {
    case kRecordKindPrimary: return "primary";
    case kRecordKindForwarded: return "forwarded";
    case kRecordKindForwardingStub: return "forwarding stub";
    case kRecordKindIndex: return "index";
    case kRecordKindTextFragment: return "text fragment";
    case kRecordKindGhostIndex: return "ghost index";
    case kRecordKindGhostData: return "ghost data";
    case kRecordKindGhostVersion: return "ghost version";
    default: return "unknown";
  }
}

bool CRecord::IsNullColumn(int column) const {
  if (column < 0) return false;
  const size_t byte = static_cast<size_t>(column) / 8;
  return byte < nullBitmap.size() && ((nullBitmap[byte] >> (column % 8)) & 1) != 0;
}

uint16_t CRecord::varEnd(int i) const {
  const size_t offset = 2 * static_cast<size_t>(i);
  if (i < 0 || offset + 2 > varEndBytes.size()) return 0;
  return LoadLittleEndianUnchecked<uint16_t>(varEndBytes.data() + offset) & 0x7FFF;
}

bool CRecord::varEndIsComplex(int i) const {
  const size_t offset = 2 * static_cast<size_t>(i);
  if (i < 0 || offset + 2 > varEndBytes.size()) return false;
  return (LoadLittleEndianUnchecked<uint16_t>(varEndBytes.data() + offset) & 0x8000) != 0;
}

CRecord::OwnStorage& CRecord::Own() {
  if (!own_) own_ = std::make_unique<OwnStorage>();
  return *own_;
}

std::span<const VarColumnEntry> CRecord::PoolView() const {
  if (pool_ != nullptr) return *pool_;
  if (own_) return own_->entries;
  return {};
}

std::span<const VarColumnEntry> CRecord::varEntries() const {
  return PoolView().subspan(entriesFirst_, entriesCount_);
}

std::span<VarColumnEntry> CRecord::mutableVarEntries() {
  return std::span<VarColumnEntry>(Pool()).subspan(entriesFirst_, entriesCount_);
}

const std::vector<CRecord::LongEnd>& CRecord::longEnds() const {
  static const std::vector<LongEnd> kNone;
  return compressed_ ? compressed_->longEnds : kNone;
}

const std::vector<CRecord::ColumnFlag>& CRecord::columnFlags() const {
  static const std::vector<ColumnFlag> kNone;
  return compressed_ ? compressed_->columnFlags : kNone;
}

const std::vector<int32_t>& CPrimaryRecord::cdCodes() const {
  static const std::vector<int32_t> kNone;
  return compressedParts() != nullptr ? compressedParts()->cdCodes : kNone;
}

void CRecord::AdoptFixedData(std::vector<uint8_t> bytes) {
  Own().expanded = std::move(bytes);
  fixedData = own_->expanded;
}

void CRecord::AdoptEntryData(size_t index, std::vector<uint8_t> bytes, int32_t length) {
  auto entries = mutableVarEntries();
  if (index >= entries.size()) return;
  std::vector<uint8_t>& kept = Own().values.emplace_back(std::move(bytes));
  const size_t size = std::min(kept.size(), static_cast<size_t>(std::max(length, 0)));
  entries[index].data = std::span<const uint8_t>(kept.data(), size);
  entries[index].length = static_cast<int32_t>(size);
}

VarColumnEntry& CRecord::LastEntry() { return Pool()[entriesFirst_ + entriesCount_ - 1]; }

void CRecord::DropLastEntry() {
  Pool().pop_back();
  --entriesCount_;
}

bool CPrimaryRecord::PageCheckFails() const {
  return context->header != nullptr &&
         (context->header->thisPage.pageId < 0 || context->header->pageType > kMaxRecordPageType);
}

void CPrimaryRecord::DecodeStatus(uint8_t status) {
  isCompressed = (status & kStatusCompressed) != 0;
  kind = (status >> 1) & 7;
  hasNullBitmap = (status & kStatusNullBitmap) != 0;
  hasVarColumns = (status & kStatusVariableColumns) != 0;
  isGhost = kind == kRecordKindGhostIndex || kind == kRecordKindGhostData ||
            kind == kRecordKindGhostVersion;
  if (context->options.showDeletedRecords) isGhost = false;
}

bool CPrimaryRecord::KindAccepted() const {
  return kind == kRecordKindPrimary || kind == kRecordKindForwarded ||
         kind == kRecordKindForwardingStub ||
         (kind == kRecordKindGhostData && context->options.showDeletedRecords);
}

Status CRecord::rejection() const {
  Place place;
  place.offset = rejectedAt_;
  place.field = rejectedField_;
  switch (rejected_) {
    case Rejected::kNo:
      return Status::Ok();
    case Rejected::kNegativePageId:
      return Status::Failure(PrintfText("the header's page id %d is below 0", rejectedValue_), place);
    case Rejected::kPageTypeWithoutRows:
      return Status::Failure(PrintfText("page type %d holds no row records (types above %d do not)",
                                        rejectedValue_, kMaxRecordPageType),
                             place);
    case Rejected::kStartsAtPageEnd:
      return Status::Failure("the record starts at the end of the page", place);
    case Rejected::kDeletedNotRead:
      return Status::Failure("deleted record; deleted records are not being read", place);
    case Rejected::kKindNotRow:
      return Status::Failure(std::string(RecordKindName(rejectedValue_)) + " record, not a row", place);
    case Rejected::kColumnCountCut:
      return Status::Failure("the column count is cut off by the end of the page", place);
    case Rejected::kColumnCountOutOfRange:
      return Status::Failure(
          PrintfText("column count %d is not 1 to %d", rejectedValue_, kMaxCompressedColumnCount), place);
    case Rejected::kTextRecordTooShort:
      return Status::Failure("the text record is shorter than its 4-byte header", place);
  }
  return Status::Failure("rejected", place);
}

void CPrimaryRecord::RejectAt(Rejected why, int32_t value, int32_t record_offset, const char* field) {
  Reject(why, value, pageOffset_ >= 0 ? pageOffset_ + record_offset : -1, field);
}

bool CPrimaryRecord::ForwardFails(std::string message, int32_t record_offset, const char* field) {
  Place place;
  if (pageOffset_ >= 0) place.offset = pageOffset_ + record_offset;
  place.field = field;
  forwardFailure_ = std::make_unique<Status>(Status::Failure(std::move(message), place));
  return false;
}

const Status& CPrimaryRecord::forwardFailure() const {
  static const Status kResolved;
  return forwardFailure_ ? *forwardFailure_ : kResolved;
}

bool CPrimaryRecord::Begin(std::span<const uint8_t> bytes, const PageContext& page_context,
                           uint16_t max_length) {
  context = &page_context;
  const std::span<const uint8_t> page = page_context.page;
  if (!bytes.empty() && !page.empty() && bytes.data() >= page.data() &&
      bytes.data() < page.data() + page.size()) {
    pageOffset_ = static_cast<int32_t>(bytes.data() - page.data());
  }
  if (PageCheckFails()) {
    const CPage_Header& header = *context->header;
    if (header.thisPage.pageId < 0) {
      RejectAt(Rejected::kNegativePageId, header.thisPage.pageId, 0, nullptr);
    } else {
      RejectAt(Rejected::kPageTypeWithoutRows, header.pageType, 0, nullptr);
    }
    return false;
  }
  maxLength = max_length;
  limit_ = LimitOf(bytes, max_length);
  if (limit_ < 1) {
    RejectAt(Rejected::kStartsAtPageEnd, 0, 0, nullptr);
    return false;
  }
  DecodeStatus(bytes[0]);
  return true;
}

void CPrimaryRecord::RejectKind() {
  if (kind == kRecordKindGhostData) {
    RejectAt(Rejected::kDeletedNotRead, 0, 0, "status byte A");
  } else {
    RejectAt(Rejected::kKindNotRow, kind, 0, "status byte A");
  }
}

CPrimaryRecord::CPrimaryRecord(SlotRecord, std::span<const uint8_t> bytes,
                               const PageContext& page_context, uint16_t max_length,
                               bool resolve_stubs, std::vector<VarColumnEntry>* entry_pool) {
  UseEntryPool(entry_pool);
  if (!Begin(bytes, page_context, max_length)) return;
  if (!KindAccepted()) {
    RejectKind();
    return;
  }
  if (isCompressed) {
    ParseCompressed(bytes);
    return;
  }

  if (kind == kRecordKindForwardingStub) {
    if (!ReadForwardedRecord(bytes, resolve_stubs)) {
      fixedLength = kUnresolvedStubLength;
      return;
    }
    bytes = Own().bytes;
    limit_ = LimitOf(bytes, max_length);
    DecodeStatus(bytes[0]);
    kind = kRecordKindForwardingStub;
  }
  const bool forwarded_body = ((bytes[0] >> 1) & 7) == kRecordKindForwarded;
  ParsePlain(bytes, /*keep_parts=*/true, forwarded_body);
  if (recordEnd > 0 && recordEnd <= limit_) rawCopy = bytes.first(static_cast<size_t>(recordEnd));
}

CPrimaryRecord::CPrimaryRecord(ProbeRecord, const PageContext& page_context,
                               std::span<const uint8_t> bytes, int32_t& end) {
  end = -1;
  if (!Begin(bytes, page_context, kProbeMaxLength)) return;
  if (!KindAccepted()) {
    RejectKind();
    return;
  }
  if (isCompressed || kind == kRecordKindForwardingStub) return;
  ParsePlain(bytes, /*keep_parts=*/false, kind == kRecordKindForwarded);
  if (columnCount < 1 || columnCount > kMaxColumnCount) return;
  end = recordEnd;
}

CPrimaryRecord::CPrimaryRecord(AnchorRecord, const PageContext& page_context,
                               std::span<const uint8_t> bytes, uint16_t max_length) {
  if (!Begin(bytes, page_context, max_length)) return;
  isCompressed = true;
  ParseCompressed(bytes);
}

bool CPrimaryRecord::ReadForwardedRecord(std::span<const uint8_t> bytes, bool resolve) {
  RecordBytes r{bytes, limit_};
  if (!r.Fits(1, 8)) return ForwardFails("the stub is cut off by the end of the page", 1, "target");
  const PageAddress target{LoadLittleEndianUnchecked<uint16_t>(bytes.data() + 5),
                           LoadLittleEndianUnchecked<int32_t>(bytes.data() + 1)};
  const int16_t slot = r.I16(7);
  if (slot < 0) return ForwardFails(PrintfText("target slot %d is negative", slot), 7, "target slot");
  forwardTarget = RecordAddress{target, static_cast<uint16_t>(slot)};
  if (!resolve || context->file == nullptr) return false;
  Result<PageBuffer> buffer = context->file->ReadPageBytes(target, /*allow_page_zero=*/false);
  if (!buffer) return ForwardFails("target " + buffer.status().Text(), 1, "target");
  PrimaryRecordPage page(std::move(*buffer), context->file, context->options, PrimaryRecordPage::SingleSlot{},
                         static_cast<uint16_t>(slot));
  if (page.records().empty()) return ForwardFails("the target page has no such slot", 7, "target slot");
  if (page.records().front() == nullptr) {
    const Status skipped = page.SlotSkipped(0);
    return ForwardFails("target slot skipped: " + (skipped.ok() ? std::string("not read") : skipped.message()), 7,
                        "target slot");
  }
  const CPrimaryRecord& record = *page.records().front();
  if (record.notShown()) {
    return ForwardFails("target record: " + record.rejection().message(), 7, "target slot");
  }
  // Any other record there took the slot after the row moved on: the
  // stub's row is lost.
  if (record.kind != kRecordKindForwarded) {
    return ForwardFails(std::string("the target slot holds a ") + RecordKindName(record.kind) +
                            " record, not the forwarded row",
                        7, "target slot");
  }
  if (record.recordEnd < 1 || record.rawCopy.empty()) {
    return ForwardFails("the forwarded record at the target could not be cut out", 7, "target slot");
  }
  // The record outlives the page it was read from: keep a copy, with one
  // zero byte more, as every copied record has.
  std::vector<uint8_t>& copy = Own().bytes;
  copy.assign(record.rawCopy.begin(), record.rawCopy.end());
  copy.push_back(0);
  return true;
}

void CPrimaryRecord::ParsePlain(std::span<const uint8_t> bytes, bool keep_parts,
                                bool forwarded_body) {
  const RecordBytes r{bytes, limit_};
  int32_t p = 4;
  fixedLength = static_cast<int16_t>(r.U16(2) - 4);
  bool has_fixed_part = false;
  if (fixedLength >= 1 && fixedLength <= kMaxFixedLength && kind != kRecordKindIndex &&
      r.Fits(4, fixedLength)) {
    if (keep_parts) fixedData = r.View(4, fixedLength);
    has_fixed_part = true;
    p += fixedLength;
  }
  if (kind == kRecordKindIndex) return;
  columnCount = r.I16(p);
  if (columnCount < 1 || columnCount > kMaxColumnCount) return;
  p += 2;
  if (hasNullBitmap) {
    const int32_t bitmap_size = (columnCount + 7) / 8;
    if (keep_parts && r.Fits(p, bitmap_size)) nullBitmap = r.View(p, bitmap_size);
    p += bitmap_size;
  }
  recordEnd = p;
  if (hasVarColumns) {
    ParseVariableColumns(bytes, p, has_fixed_part || hasNullBitmap, forwarded_body, keep_parts);
  }
  if ((bytes[0] & kStatusVersioningTag) != 0 && recordEnd > 0 &&
      r.Fits(recordEnd, kVersioningTagSize)) {
    hasVersioningTag = true;
    recordEnd += kVersioningTagSize;
  }
}

void CPrimaryRecord::ParseVariableColumns(std::span<const uint8_t> bytes, int32_t p,
                                          bool has_count_field, bool forwarded_body,
                                          bool keep_values) {
  const RecordBytes r{bytes, limit_};
  if (!has_count_field) {
    // Without fixed data and null bitmap there is no count field: every
    // column is variable.
    varCount = columnCount;
  } else {
    varCount = r.Fits(p, 2) ? r.I16(p) : 0;
    p += 2;
  }
  // The back pointer of a forwarded record is one value more than the table
  // has columns.
  const int32_t allowed = columnCount + (forwarded_body ? 1 : 0);
  if (allowed - varCount < 0) {
    varCount = 0;
    recordEnd = 0;
    return;
  }
  if (varCount >= 1 && varCount <= kMaxColumnCount) {
    // End offsets whose bytes lie past the limit read as 0.
    const int32_t stored_ends = std::clamp<int32_t>((limit_ - p) / 2, 0, varCount);
    if (stored_ends > 0) varEndBytes = r.View(p, 2 * stored_ends);
    p += 2 * varCount;
    for (int i = 0; i < varCount && !context->options.aborted(); ++i) {
      const bool complex = varEndIsComplex(i);
      const int32_t end = varEnd(i);
      const int32_t length = end - p;
      if (length <= 0 || end > limit_ || end >= static_cast<int32_t>(kPageSize) ||
          length >= static_cast<int32_t>(kPageSize) || p < 1 || p > 8191) {
        // Rejected (or empty) value: an entry without data; p stays.
        if (keep_values) AddEntry({}, complex);
        continue;
      }
      const std::span<const uint8_t> value = r.View(p, length);
      p = end;
      if (!keep_values) continue;
      AddEntry(value, complex);
      if (complex && length != kSparseVectorHeaderLength && value[0] == kSparseVectorKind) {
        ParseSparseVector(value);
      }
    }
  }
  recordEnd = p;
  if (forwarded_body && keep_values && entriesCount() > 0) {
    const VarColumnEntry& last = LastEntry();
    if (last.complex && last.length == kForwardingBackPointerSize && last.data[0] == 0 &&
        last.data[1] == 4) {
      // 00 04, page id (4), file id (2), slot (2)
      const uint8_t* pointer = last.data.data();
      backPointer = RecordAddress{{LoadLittleEndianUnchecked<uint16_t>(pointer + 6),
                                   LoadLittleEndianUnchecked<int32_t>(pointer + 2)},
                                  LoadLittleEndianUnchecked<uint16_t>(pointer + 8)};
      DropLastEntry();
      --varCount;
    }
  }
}

void CPrimaryRecord::ParseSparseVector(std::span<const uint8_t> v) {
  const RecordBytes r{v, static_cast<int32_t>(v.size())};
  const int32_t length = static_cast<int32_t>(v.size());
  const int32_t k = r.U16(2);
  if (!(4 + 2 * k < 8192 && 4 + 4 * k < 8192 && length > 4 && 4 + 2 * k < length && k > 0)) return;
  SparseValueList list;
  list.count = static_cast<uint16_t>(k);
  list.entries.reserve(static_cast<size_t>(k));
  int32_t start = 4 + 4 * k;
  for (int32_t i = 0; i < k && !context->options.aborted(); ++i) {
    const int32_t end = r.U16(4 + 2 * k + 2 * i);
    const int32_t value_length = end - start;
    VarColumnEntry entry = VarColumnEntry::Missing(false);
    if (value_length > 0 && value_length <= kProbeMaxLength && start < kProbeMaxLength && end <= length) {
      entry = VarColumnEntry::Of(r.View(start, value_length), false);
    }
    entry.columnId = r.U16(4 + 2 * i);
    list.entries.push_back(std::move(entry));
    start = end;
  }
  sparseValues = std::move(list);  // a later vector replaces an earlier one
}

}  // namespace quill
