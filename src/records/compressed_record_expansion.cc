#include "records/compressed_record_expansion.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/text_encoding.h"
#include "records/record_page.h"
#include "schema/type_codes.h"
#include "schema/type_info.h"

namespace quill {

namespace {

constexpr int kCodeNull = 0;
constexpr int kCodeAnchor = 1;
constexpr int kCodeLong = 10;
constexpr int kCodeDictionary = 12;

bool IsIntegerType(int32_t code) {
  using namespace type_code;
  return code == kBigint || code == kDatetime || code == kInt || code == kSmallint || code == kMoney ||
         code == kSmallmoney;
}

// The little-endian integer of a compressed integer form: bit 7 of the
// first byte cleared, the bytes reversed, zeros up to 8 bytes.
std::array<uint8_t, 8> IntegerValue(std::span<const uint8_t> form) {
  std::array<uint8_t, 8> value{};
  const size_t k = std::min<size_t>(form.size(), 8);
  for (size_t i = 0; i < k; ++i) value[i] = form[k - 1 - i];
  if (k > 0) value[k - 1] &= 0x7F;
  return value;
}

// The expanded area with its write position; every write is cut at the
// area's end.
class ExpandedArea {
 public:
  ExpandedArea() : bytes_(kExpandedAreaSize, 0) {}
  // Writes at most `width` bytes at the position and notes them as the
  // current column's value in `placed`.
  void Write(std::span<const uint8_t> bytes, int32_t width, CRecord::ColumnFlag& placed) {
    const size_t room = kExpandedAreaSize - pos_;
    const size_t count = std::min({bytes.size(), room, static_cast<size_t>(std::max(width, 0))});
    std::memcpy(bytes_.data() + pos_, bytes.data(), count);
    placed.offset = static_cast<int32_t>(pos_);
    placed.length = static_cast<int32_t>(count);
  }
  // Moves on by a column's width; a max type (width -1) takes no room
  // (its values are always long ones).
  void Advance(int32_t width) {
    pos_ = std::min(kExpandedAreaSize, pos_ + static_cast<size_t>(std::max(width, 0)));
  }
  size_t pos() const { return pos_; }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
  size_t pos_ = 0;
};

struct Column {
  int32_t code = 0;
  int32_t width = 0;        // V: the value's length in the expanded area
  int32_t textLength = 0;   // n: from the type text
  std::span<const uint8_t> anchor;  // empty: no anchor value
};

// UTF-16LE units of UTF-8 text as DecodeScsu writes it (well-formed; a
// sequence cut at the end is dropped).
std::vector<uint8_t> Utf8ToUtf16Le(const std::string& text) {
  std::vector<uint8_t> out;
  auto unit = [&](uint32_t u) {
    out.push_back(static_cast<uint8_t>(u));
    out.push_back(static_cast<uint8_t>(u >> 8));
  };
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<uint8_t>(text[i]);
    const size_t extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    if (i + extra >= text.size()) break;
    uint32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
    for (size_t k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<uint8_t>(text[i + k]) & 0x3F);
    i += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      unit(0xD800 | (cp >> 10));
      unit(0xDC00 | (cp & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return out;
}

// Places a short value (`value`, 1 to 8 bytes, prefix byte first when the
// column has an anchor) at the area's position.
void PlaceShortValue(ExpandedArea& area, const Column& column, std::span<const uint8_t> value,
                     CRecord::ColumnFlag& placed) {
  const size_t a = column.anchor.size();
  const size_t prefix = value.empty() ? 0 : value[0];
  const bool merge = !column.anchor.empty() && prefix <= a;
  if (IsIntegerType(column.code)) {
    if (merge) {
      std::vector<uint8_t> merged(column.anchor.begin(), column.anchor.begin() + static_cast<std::ptrdiff_t>(prefix));
      if (value.size() >= 2 && value.size() - 1 <= 8) merged.insert(merged.end(), value.begin() + 1, value.end());
      area.Write(IntegerValue(merged), column.width, placed);
    } else {
      area.Write(IntegerValue(value), column.width, placed);
    }
    area.Advance(column.width);
    return;
  }
  int32_t width = column.width;
  if (merge) {
    const size_t m = prefix + (value.empty() ? 0 : value.size() - 1);
    if (width <= 0) width = static_cast<int32_t>(m);  // no declared width: the value's own
    std::vector<uint8_t> merged(m, 0);
    std::copy(column.anchor.begin(), column.anchor.begin() + static_cast<std::ptrdiff_t>(prefix), merged.begin());
    if (value.size() >= 2 && prefix + value.size() - 1 <= static_cast<size_t>(std::max(width, 0))) {
      std::copy(value.begin() + 1, value.end(), merged.begin() + static_cast<std::ptrdiff_t>(prefix));
    }
    if (column.code == type_code::kNchar) {
      // nchar values are read as UTF-16: the decoded text goes in as
      // UTF-16LE, as far as the column's width allows.
      merged = Utf8ToUtf16Le(DecodeScsu(merged));
    } else if (column.code == type_code::kVarchar) {
      const std::string text = DecodeScsu(merged);
      std::fill(merged.begin(), merged.end(), 0);
      std::copy_n(text.begin(), std::min(text.size(), merged.size()), merged.begin());
    }
    area.Write(merged, width, placed);
  } else {
    if (column.textLength > 0 && column.textLength < width) width = column.textLength;
    if (width <= 0) width = static_cast<int32_t>(value.size());
    area.Write(value, width, placed);
  }
  area.Advance(width);
}

}  // namespace

void ExpandCompressedRecord(CPrimaryRecord& record, const PrimaryRecordPage& page,
                            const std::vector<ColumnDescriptor>& columns) {
  if (record.kind != 0 && record.kind != 3) return;
  ExpandedArea area;
  size_t short_position = 0;
  size_t long_index = 0;
  const std::span<const uint8_t> short_data = record.fixedData;
  const auto& codes = record.cdCodes();
  const auto& anchors = page.anchorValues();
  const auto& dictionary = page.dictionaryEntries();
  std::vector<CRecord::ColumnFlag>& flags = record.mutableColumnFlags();
  flags.clear();

  const size_t count = std::min({static_cast<size_t>(std::max<int16_t>(record.columnCount, 0)), codes.size(),
                                 columns.size()});
  for (size_t i = 0; i < count; ++i) {
    flags.push_back({false, 0});
    BitColumnState bits;
    const TypeInfo info = GetTypeInfo(columns[i], columns[i].typeCode, &bits);
    Column column;
    column.code = info.code;
    column.width = info.valueLength;
    column.textLength = columns[i].maxLength;
    if (i < anchors.size() && anchors[i].length > 0) column.anchor = anchors[i].data;
    const int code = codes[i];

    if (code == kCodeNull) {
      flags.back().isNull = true;
    } else if (code == kCodeAnchor) {
      if (column.anchor.empty()) continue;
      if (IsIntegerType(column.code)) {
        area.Write(IntegerValue(column.anchor), column.width, flags.back());
        area.Advance(column.width);
      } else {
        int32_t width = column.width;
        if (column.textLength > 0 && column.textLength < width) width = column.textLength;
        if (width <= 0) width = static_cast<int32_t>(column.anchor.size());
        area.Write(column.anchor, width, flags.back());
        area.Advance(width);
      }
    } else if (code >= 2 && code <= 9) {
      const size_t k = static_cast<size_t>(code - 1);
      if (short_position + k > short_data.size()) continue;
      const auto value = short_data.subspan(short_position, k);
      short_position += k;
      PlaceShortValue(area, column, value, flags.back());
    } else if (code == kCodeLong) {
      // The long values are stored in column order, one per column of code
      // 10, so every such column takes the next one, whether or not the
      // page has anchor values to merge.
      const auto entries = record.varEntries();
      const size_t index = long_index++;
      if (index >= entries.size()) continue;
      flags.back().longEntry = static_cast<int32_t>(index);
      const VarColumnEntry& entry = entries[index];
      if (i < anchors.size() && !column.anchor.empty() && entry.hasData()) {
        const size_t prefix = entry.data[0];
        const int64_t m = static_cast<int64_t>(entry.length) - 1 + static_cast<int64_t>(prefix);
        if (prefix <= column.anchor.size() && (column.width == 0 || m < column.width)) {
          std::vector<uint8_t> merged(column.anchor.begin(), column.anchor.begin() + static_cast<std::ptrdiff_t>(prefix));
          merged.insert(merged.end(), entry.data.begin() + 1, entry.data.end());
          record.AdoptEntryData(index, std::move(merged), static_cast<int32_t>(m));
        }
      }
      // Without an anchor the value stays as stored (values are views; no
      // copy is needed to keep it).
    } else if (code == kCodeDictionary) {
      if (short_position + 1 > short_data.size()) continue;
      const uint8_t symbol = short_data[short_position];
      short_position += 1;
      if (symbol >= dictionary.size()) continue;
      const auto& entry = dictionary[symbol];
      if (entry.length < 1 || entry.length > 7) continue;
      std::array<uint8_t, 8> scratch{};
      std::copy_n(entry.data.begin(), static_cast<size_t>(entry.length), scratch.begin());
      if (IsIntegerType(column.code)) scratch[0] &= 0x7F;
      PlaceShortValue(area, column, std::span<const uint8_t>(scratch.data(), static_cast<size_t>(entry.length)),
                      flags.back());
    }
    // Codes 11 and 13 to 15 store nothing.
  }
  const size_t end = area.pos();
  record.AdoptFixedData(area.Take());
  record.fixedLength = static_cast<int16_t>(end);
}

namespace {

// SCSU window offsets: the static windows, the dynamic windows' initial
// offsets, and the offsets the define tags select by index.
constexpr std::array<uint32_t, 8> kStaticWindows = {0x0000, 0x0080, 0x0100, 0x0300,
                                                    0x2000, 0x2080, 0x2100, 0x3000};
constexpr std::array<uint32_t, 8> kInitialDynamicWindows = {0x0080, 0x00C0, 0x0400, 0x0600,
                                                            0x0900, 0x3040, 0x30A0, 0xFF00};

uint32_t WindowOffsetForIndex(uint8_t x) {
  if (x >= 0x01 && x <= 0x67) return x * 0x80u;
  if (x >= 0x68 && x <= 0xA7) return x * 0x80u + 0xAC00u;
  switch (x) {
    case 0xF9: return 0x00C0;
    case 0xFA: return 0x0250;
    case 0xFB: return 0x0370;
    case 0xFC: return 0x0530;
    case 0xFD: return 0x3040;
    case 0xFE: return 0x30A0;
    case 0xFF: return 0xFF60;
    default: return 0;  // reserved indexes
  }
}

class ScsuOutput {
 public:
  void Unit(uint32_t unit) {
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      high_ = unit & 0x3FF;
      return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      Character(0x10000 + (high_ << 10) + (unit - 0xDC00));
      return;
    }
    Character(unit);
  }
  void Character(uint32_t cp) {
    if (cp >= 0x110000) return;
    std::string encoded;
    AppendUtf8(encoded, cp);
    if (text_.size() + encoded.size() <= kExpandedAreaSize) text_ += encoded;
  }
  std::string Take() { return std::move(text_); }

 private:
  std::string text_;
  uint32_t high_ = 0;
};

}  // namespace

std::string DecodeScsu(std::span<const uint8_t> bytes) {
  ScsuOutput out;
  std::array<uint32_t, 8> windows = kInitialDynamicWindows;
  size_t active = 0;
  bool unicode_mode = false;
  size_t i = 0;
  const size_t n = bytes.size();
  const auto need = [&](size_t count) { return i + count <= n; };
  while (i < n) {
    const uint8_t b = bytes[i++];
    if (!unicode_mode) {
      if (b == 0x00 || b == 0x09 || b == 0x0A || b == 0x0C || b == 0x0D || (b >= 0x20 && b <= 0x7F)) {
        out.Character(b);
      } else if (b >= 0x80) {
        out.Character(windows[active] + (b - 0x80u));
      } else if (b >= 0x01 && b <= 0x08) {  // SQ0..SQ7: quote one character
        if (!need(1)) break;
        const uint8_t x = bytes[i++];
        const size_t w = b - 0x01u;
        out.Character(x < 0x80 ? kStaticWindows[w] + x : windows[w] + (x - 0x80u));
      } else if (b == 0x0B) {  // SDX: define an extended window
        if (!need(2)) break;
        const uint8_t h = bytes[i++];
        const uint8_t l = bytes[i++];
        active = h >> 5;
        windows[active] = 0x10000u + 0x80u * ((static_cast<uint32_t>(h & 0x1F) << 8) | l);
      } else if (b == 0x0E) {  // SQU: quote one UTF-16 unit
        if (!need(2)) break;
        out.Unit((static_cast<uint32_t>(bytes[i]) << 8) | bytes[i + 1]);
        i += 2;
      } else if (b == 0x0F) {  // SCU: Unicode mode
        unicode_mode = true;
      } else if (b >= 0x10 && b <= 0x17) {  // SC0..SC7
        active = b - 0x10u;
      } else if (b >= 0x18 && b <= 0x1F) {  // SD0..SD7
        if (!need(1)) break;
        active = b - 0x18u;
        windows[active] = WindowOffsetForIndex(bytes[i++]);
      }
    } else {
      if (b >= 0xE0 && b <= 0xE7) {  // UC0..UC7
        active = b - 0xE0u;
        unicode_mode = false;
      } else if (b >= 0xE8 && b <= 0xEF) {  // UD0..UD7
        if (!need(1)) break;
        active = b - 0xE8u;
        windows[active] = WindowOffsetForIndex(bytes[i++]);
        unicode_mode = false;
      } else if (b == 0xF0) {  // UQU
        if (!need(2)) break;
        out.Unit((static_cast<uint32_t>(bytes[i]) << 8) | bytes[i + 1]);
        i += 2;
      } else if (b == 0xF1) {  // UDX
        if (!need(2)) break;
        const uint8_t h = bytes[i++];
        const uint8_t l = bytes[i++];
        active = h >> 5;
        windows[active] = 0x10000u + 0x80u * ((static_cast<uint32_t>(h & 0x1F) << 8) | l);
        unicode_mode = false;
      } else if (b == 0xF2) {
        // reserved: skipped
      } else {
        if (!need(1)) break;
        out.Unit((static_cast<uint32_t>(b) << 8) | bytes[i++]);
      }
    }
  }
  return out.Take();
}

}  // namespace quill
