#include "records/record.h"

#include <algorithm>

#include "common/little_endian.h"
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
  std::vector<uint8_t> Copy(int64_t offset, int64_t size) const {
    auto first = bytes.begin() + offset;
    return std::vector<uint8_t>(first, first + size);
  }
};

int32_t LimitOf(std::span<const uint8_t> bytes, uint16_t max_length) {
  return static_cast<int32_t>(std::min<size_t>(bytes.size(), max_length));
}

}  // namespace

bool CRecord::IsNullColumn(int column) const {
  if (!nullBitmap || column < 0) return false;
  const size_t byte = static_cast<size_t>(column) / 8;
  return byte < nullBitmap->size() && (((*nullBitmap)[byte] >> (column % 8)) & 1) != 0;
}

bool CPrimaryRecord::PageCheckFails() const {
  return context.header != nullptr &&
         (context.header->thisPage.pageId < 0 || context.header->pageType > kMaxRecordPageType);
}

void CPrimaryRecord::DecodeStatus(uint8_t status) {
  isCompressed = (status & kStatusCompressed) != 0;
  kind = (status >> 1) & 7;
  hasNullBitmap = (status & kStatusNullBitmap) != 0;
  hasVarColumns = (status & kStatusVariableColumns) != 0;
  isGhost = kind == kRecordKindGhostIndex || kind == kRecordKindGhostData ||
            kind == kRecordKindGhostVersion;
  if (context.options.showDeletedRecords) isGhost = false;
}

bool CPrimaryRecord::KindAccepted() const {
  return kind == kRecordKindPrimary || kind == kRecordKindForwarded ||
         kind == kRecordKindForwardingStub ||
         (kind == kRecordKindGhostData && context.options.showDeletedRecords);
}

CPrimaryRecord::CPrimaryRecord(SlotRecord, std::span<const uint8_t> bytes,
                               const PageContext& page_context, uint16_t max_length,
                               bool resolve_stubs) {
  context = page_context;
  if (PageCheckFails()) {
    notShown = true;
    return;
  }
  maxLength = max_length;
  limit_ = LimitOf(bytes, max_length);
  if (limit_ < 1) {
    notShown = true;
    return;
  }
  DecodeStatus(bytes[0]);
  if (!KindAccepted()) {
    notShown = true;
    return;
  }
  if (isCompressed) {
    ParseCompressed(bytes);
    return;
  }

  std::optional<std::vector<uint8_t>> forwarded;
  if (kind == kRecordKindForwardingStub) {
    if (resolve_stubs) forwarded = ReadForwardedRecord(bytes);
    if (!forwarded) {
      fixedLength = kUnresolvedStubLength;
      return;
    }
    bytes = *forwarded;
    limit_ = LimitOf(bytes, max_length);
    DecodeStatus(bytes[0]);
    kind = kRecordKindForwardingStub;
  }
  const bool forwarded_body = ((bytes[0] >> 1) & 7) == kRecordKindForwarded;
  ParsePlain(bytes, /*copy_fixed=*/true, forwarded_body);
  if (recordEnd > 0 && recordEnd <= limit_) {
    rawCopy.emplace(bytes.begin(), bytes.begin() + recordEnd);
  }
}

CPrimaryRecord::CPrimaryRecord(ProbeRecord, const PageContext& page_context,
                               std::span<const uint8_t> bytes, int32_t& end) {
  context = page_context;
  end = -1;
  if (PageCheckFails()) {
    notShown = true;
    return;
  }
  maxLength = kProbeMaxLength;
  limit_ = LimitOf(bytes, kProbeMaxLength);
  if (limit_ < 1) {
    notShown = true;
    return;
  }
  DecodeStatus(bytes[0]);
  if (!KindAccepted()) {
    notShown = true;
    return;
  }
  if (isCompressed || kind == kRecordKindForwardingStub) return;
  ParsePlain(bytes, /*copy_fixed=*/false, kind == kRecordKindForwarded);
  if (columnCount < 1 || columnCount > kMaxColumnCount) return;
  end = recordEnd;
}

CPrimaryRecord::CPrimaryRecord(AnchorRecord, const PageContext& page_context,
                               std::span<const uint8_t> bytes, uint16_t max_length) {
  context = page_context;
  if (PageCheckFails()) {
    notShown = true;
    return;
  }
  maxLength = max_length;
  limit_ = LimitOf(bytes, max_length);
  if (limit_ < 1) {
    notShown = true;
    return;
  }
  DecodeStatus(bytes[0]);
  isCompressed = true;
  ParseCompressed(bytes);
}

std::optional<std::vector<uint8_t>> CPrimaryRecord::ReadForwardedRecord(
    std::span<const uint8_t> bytes) const {
  RecordBytes r{bytes, limit_};
  if (context.file == nullptr || !r.Fits(1, 8)) return std::nullopt;
  const PageAddress target{LoadLittleEndianUnchecked<uint16_t>(bytes.data() + 5),
                           LoadLittleEndianUnchecked<int32_t>(bytes.data() + 1)};
  const int16_t slot = r.I16(7);
  if (slot < 0) return std::nullopt;
  auto buffer = context.file->ReadRawPage(target);
  if (!buffer) return std::nullopt;
  PrimaryRecordPage page(std::move(*buffer), context.file, PrimaryRecordPage::SingleSlot{},
                         static_cast<uint16_t>(slot));
  if (page.records().empty() || page.records().front() == nullptr) return std::nullopt;
  const CPrimaryRecord& record = *page.records().front();
  if (record.recordEnd < 1 || !record.rawCopy) return std::nullopt;
  // One zero byte more than the record, as every copied value has.
  std::vector<uint8_t> copy(record.rawCopy->begin(), record.rawCopy->end());
  copy.push_back(0);
  return copy;
}

void CPrimaryRecord::ParsePlain(std::span<const uint8_t> bytes, bool copy_fixed,
                                bool forwarded_body) {
  const RecordBytes r{bytes, limit_};
  int32_t p = 4;
  fixedLength = static_cast<int16_t>(r.U16(2) - 4);
  bool has_fixed_part = false;
  if (fixedLength >= 1 && fixedLength <= kMaxFixedLength && kind != kRecordKindIndex &&
      r.Fits(4, fixedLength)) {
    if (copy_fixed) fixedData = r.Copy(4, fixedLength);
    has_fixed_part = true;
    p += fixedLength;
  }
  if (kind == kRecordKindIndex) return;
  columnCount = r.I16(p);
  if (columnCount < 1 || columnCount > kMaxColumnCount) return;
  p += 2;
  if (hasNullBitmap) {
    const int32_t bitmap_size = (columnCount + 7) / 8;
    if (r.Fits(p, bitmap_size)) nullBitmap = r.Copy(p, bitmap_size);
    p += bitmap_size;
  }
  recordEnd = p;
  if (hasVarColumns) ParseVariableColumns(bytes, p, has_fixed_part || hasNullBitmap, forwarded_body);
  if ((bytes[0] & kStatusVersioningTag) != 0 && recordEnd > 0 &&
      r.Fits(recordEnd, kVersioningTagSize)) {
    hasVersioningTag = true;
    recordEnd += kVersioningTagSize;
  }
}

void CPrimaryRecord::ParseVariableColumns(std::span<const uint8_t> bytes, int32_t p,
                                          bool has_count_field, bool forwarded_body) {
  const RecordBytes r{bytes, limit_};
  varEntries.clear();
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
    varEnds.emplace(static_cast<size_t>(varCount), 0);
    for (int i = 0; i < varCount; ++i, p += 2) (*varEnds)[i] = r.U16(p);
    for (int i = 0; i < varCount && !context.options.aborted(); ++i) {
      const bool complex = ((*varEnds)[i] & 0x8000) != 0;
      (*varEnds)[i] &= 0x7FFF;
      const int32_t end = (*varEnds)[i];
      const int32_t length = end - p;
      if (length <= 0 || end > limit_ || end >= static_cast<int32_t>(kPageSize) ||
          length >= static_cast<int32_t>(kPageSize) || p < 1 || p > 8191) {
        // Rejected (or empty) value: an entry without data; p stays.
        VarColumnEntry empty;
        empty.complex = complex;
        varEntries.push_back(std::move(empty));
        continue;
      }
      varEntries.push_back(VarColumnEntry::Copy(bytes.subspan(p, length), complex));
      p = end;
      const VarColumnEntry& entry = varEntries.back();
      if (complex && length != kSparseVectorHeaderLength && (*entry.data)[0] == kSparseVectorKind) {
        ParseSparseVector(entry);
      }
    }
  }
  recordEnd = p;
  if (forwarded_body && !varEntries.empty()) {
    const VarColumnEntry& last = varEntries.back();
    if (last.complex && last.length == kForwardingBackPointerSize && (*last.data)[0] == 0 &&
        (*last.data)[1] == 4) {
      varEntries.pop_back();
      --varCount;
    }
  }
}

void CPrimaryRecord::ParseSparseVector(const VarColumnEntry& vector) {
  const std::span<const uint8_t> v = vector.bytes();
  const RecordBytes r{v, static_cast<int32_t>(v.size())};
  const int32_t length = static_cast<int32_t>(v.size());
  const int32_t k = r.U16(2);
  if (!(4 + 2 * k < 8192 && 4 + 4 * k < 8192 && length > 4 && 4 + 2 * k < length && k > 0)) return;
  SparseValueList list;
  list.count = static_cast<uint16_t>(k);
  int32_t start = 4 + 4 * k;
  for (int32_t i = 0; i < k && !context.options.aborted(); ++i) {
    const int32_t end = r.U16(4 + 2 * k + 2 * i);
    VarColumnEntry entry;
    entry.columnId = r.U16(4 + 2 * i);
    const int32_t value_length = end - start;
    if (value_length > 0 && value_length <= kProbeMaxLength && start < kProbeMaxLength && end <= length) {
      entry = VarColumnEntry::Copy(v.subspan(start, value_length), false);
      entry.columnId = r.U16(4 + 2 * i);
    }
    list.entries.push_back(std::move(entry));
    start = end;
  }
  sparseValues = std::move(list);  // a later vector replaces an earlier one
}

}  // namespace quill
