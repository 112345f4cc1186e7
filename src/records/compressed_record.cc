// The compressed (column descriptor) record layout: see record.h.
#include <algorithm>

#include "common/little_endian.h"
#include "pages/page_geometry.h"
#include "records/record.h"

namespace quill {

namespace {

constexpr int kCodeNull = 0;
constexpr int kCodeEmpty = 1;
constexpr int kCodeLong = 10;
constexpr int kCodeDictionarySymbol = 12;
constexpr int kColumnsPerCluster = 30;

// Bytes a column descriptor code takes in the short data region.
int ShortDataBytes(int code) {
  if (code >= 2 && code <= 9) return code - 1;
  if (code == kCodeDictionarySymbol) return 1;
  static_assert(kCodeLong > 9 && kCodeLong != kCodeDictionarySymbol);
  return 0;  // NULL, empty, long, and the codes that store nothing
}

uint16_t U16At(std::span<const uint8_t> bytes, int64_t offset, int32_t limit) {
  if (offset < 0 || offset + 2 > limit) return 0;
  return LoadLittleEndianUnchecked<uint16_t>(bytes.data() + offset);
}

}  // namespace

void CPrimaryRecord::ParseCompressed(std::span<const uint8_t> bytes) {
  static_assert(kCodeNull == 0 && kCodeEmpty == 1);
  if (limit_ < 2) {
    RejectAt(Rejected::kColumnCountCut, 0, 1, "column count");
    return;
  }
  int32_t n = bytes[1];
  int32_t h = 2;
  if ((bytes[1] & 0x80) != 0) {
    if (limit_ < 3) {
      RejectAt(Rejected::kColumnCountCut, 0, 1, "column count");
      return;
    }
    n = LoadLittleEndianUnchecked<uint16_t>(bytes.data() + 1);
    h = 3;
  }
  if (n == 0 || n > kMaxCompressedColumnCount) {
    RejectAt(Rejected::kColumnCountOutOfRange, n, 1, "column count");
    return;
  }
  columnCount = static_cast<int16_t>(n);

  std::vector<int32_t>& codes = Compressed().cdCodes;
  codes.clear();
  codes.reserve(static_cast<size_t>(n));
  for (int32_t offset = h; static_cast<int32_t>(codes.size()) < n && offset < limit_; ++offset) {
    codes.push_back(bytes[offset] & 0x0F);
    if (static_cast<int32_t>(codes.size()) < n) codes.push_back(bytes[offset] >> 4);
  }
  int32_t p = h + (n + 1) / 2 + (n - 1) / kColumnsPerCluster;

  int32_t short_bytes = 0;
  for (int32_t code : codes) short_bytes += ShortDataBytes(code);
  fixedLength = static_cast<int16_t>(short_bytes);
  if (short_bytes > 0 && short_bytes < kProbeMaxLength && kind != kRecordKindIndex &&
      short_bytes <= maxLength && p + short_bytes < kProbeMaxLength && p + short_bytes <= limit_) {
    fixedData = bytes.subspan(static_cast<size_t>(p), static_cast<size_t>(short_bytes));
    p += short_bytes;
  }
  if (kind != kRecordKindIndex) {
    if (hasNullBitmap) {
      const int32_t bitmap_size = (n + 7) / 8;
      if (p + bitmap_size <= limit_) nullBitmap = bytes.subspan(static_cast<size_t>(p), static_cast<size_t>(bitmap_size));
      p += bitmap_size;
    }
    if (hasVarColumns) {
      ParseLongRegion(bytes, p);
      return;
    }
  }
  recordEnd = p;
}

void CPrimaryRecord::ParseLongRegion(std::span<const uint8_t> bytes, int32_t p) {
  std::vector<LongEnd>& longEnds = Compressed().longEnds;
  longEnds.clear();
  Compressed().longRegionStart = p;
  if (p < limit_) {
    const uint8_t header = bytes[p];
    ++p;
    if ((header & 1) != 0 && p + 2 <= limit_) {
      const int32_t m = U16At(bytes, p, limit_);
      if (m >= 1 && m <= columnCount) {
        p += 2;
        longEnds.reserve(static_cast<size_t>(m));
        for (int32_t i = 0; i < m; ++i, p += 2) {
          if (p + 2 > limit_) continue;
          const uint16_t end = U16At(bytes, p, limit_);
          longEnds.push_back({end & 0x7FFF, (end & 0x8000) != 0});
        }
      }
    }
  }
  varCount = static_cast<int16_t>(longEnds.size());
  p += (columnCount - 1) / kColumnsPerCluster;

  if (varCount >= 1 && varCount <= kMaxColumnCount) {
    int32_t previous_end = 0;
    for (const LongEnd& long_end : longEnds) {
      if (context->options.aborted()) break;
      const int32_t length = long_end.end - previous_end;
      if (length <= 0) continue;
      if (length >= maxLength || length >= static_cast<int32_t>(kPageSize) || previous_end > 8191) {
        AddEntry({}, long_end.complex);
        continue;
      }
      if (p + length >= static_cast<int32_t>(kPageSize) || p + length > limit_) continue;
      AddEntry(bytes.subspan(static_cast<size_t>(p), static_cast<size_t>(length)), long_end.complex);
      previous_end = long_end.end;
      p += length;
    }
  }
  recordEnd = p;
}

}  // namespace quill
