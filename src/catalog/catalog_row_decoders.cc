#include "catalog/catalog_row_decoders.h"

#include <type_traits>

#include "catalog/system_row_fields.h"
#include "common/little_endian.h"
#include "common/printf_text.h"
#include "common/text_encoding.h"

namespace quill {

namespace {

namespace st = system_tables;

// `units` UTF-16 units at `offset`, as many as the fixed part holds, cut at
// the first zero unit, trailing white space removed.
std::string PaddedText(std::span<const uint8_t> fixed, size_t offset, size_t units) {
  const size_t available = std::min(units, (fixed.size() - offset) / 2);
  size_t length = 0;
  while (length < available && LoadLittleEndianUnchecked<uint16_t>(fixed.data() + offset + 2 * length) != 0) {
    ++length;
  }
  std::string text = Utf16LeToUtf8(fixed.subspan(offset, 2 * length));
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
  return text;
}

int64_t IntegerAt(const uint8_t* at, const st::FixedField& field) {
  uint64_t value = 0;
  for (size_t i = field.width; i-- > 0;) value = value << 8 | at[i];
  switch (field.kind) {
    case st::FieldKind::kSigned:
      if (field.width < 8) {
        const uint64_t sign = uint64_t{1} << (8 * field.width - 1);
        value = (value ^ sign) - sign;
      }
      break;
    case st::FieldKind::kLow16OrNone:
      return value == 0xFFFFFFFF ? -1 : static_cast<int64_t>(value & 0xFFFF);
    default:
      break;
  }
  return static_cast<int64_t>(value);
}

// Reads one fixed field into `out`; a field the record does not hold keeps
// its default.
template <typename T>
void ReadField(const st::FixedField& field, const CRecord& record, T& out) {
  if (field.onlyAboveColumnCount != 0 && record.columnCount <= field.onlyAboveColumnCount) return;
  const std::span<const uint8_t> fixed = record.fixedData;
  if constexpr (std::is_same_v<T, std::string>) {
    if (field.kind == st::FieldKind::kPaddedText) {
      if (field.offset < fixed.size()) out = PaddedText(fixed, field.offset, field.width / 2);
      return;
    }
  }
  if (field.offset + field.width > fixed.size()) return;
  const uint8_t* at = fixed.data() + field.offset;
  if constexpr (std::is_integral_v<T>) {
    out = static_cast<T>(IntegerAt(at, field));
  } else if constexpr (std::is_same_v<T, std::string>) {
    out = std::string{static_cast<char>(at[0]), static_cast<char>(at[1])};  // a type code
  } else {
    static_assert(std::is_same_v<T, PageAddress>);
    out.pageId = LoadLittleEndianUnchecked<int32_t>(at);
    out.fileId = LoadLittleEndianUnchecked<uint16_t>(at + 4);
  }
}

// Variable column `index` as UTF-16 text up to its end or its first zero
// unit; nothing when the column is missing or holds no data.
std::optional<std::string> VariableText(const CRecord& record, size_t index) {
  const auto entries = record.varEntries();
  if (entries.size() <= index || !entries[index].hasData()) return std::nullopt;
  const std::span<const uint8_t> value = entries[index].bytes();
  size_t units = 0;
  while (2 * units + 1 < value.size() && (value[2 * units] != 0 || value[2 * units + 1] != 0)) ++units;
  return Utf16LeToUtf8(value.first(2 * units));
}

// The stored name, or a repair name numbered by the counter.
std::string NameOrRepair(const CRecord& record, size_t index, std::string_view repair_prefix,
                         RepairCounter& repair) {
  std::optional<std::string> name = VariableText(record, index);
  if (!name) return std::string(repair_prefix) + std::to_string(repair.Take());
  if (name->empty()) return "RepairColumn" + std::to_string(repair.Take());
  return *name;
}

// One row from `record` as the table's layout and keep rules say: nothing
// when the row is not kept, the fixed fields only when the fixed part
// reaches the minimum length, the name by the table's name rule. `row`
// brings the defaults.
template <typename Fields, typename Row = typename Fields::RowType>
std::optional<Row> DecodeRow(const CRecord& record, const Fields& fields, RepairCounter* repair,
                             Row row = {}) {
  const st::SystemTableLayout& layout = *fields.layout;
  const std::span<const uint8_t> fixed = record.fixedData;
  if (layout.keep == st::KeepRule::kWithFixedPart && fixed.empty()) return std::nullopt;
  const bool decoded = !fixed.empty() && fixed.size() >= layout.minFixedLength;
  if (!decoded && layout.keep == st::KeepRule::kWhenDecoded) return std::nullopt;
  if (decoded) {
    size_t index = 0;
    int64_t keep_value = 0;
    fields.ForEach([&](const st::FixedField& field, auto member) {
      ReadField(field, record, row.*member);
      if constexpr (std::is_integral_v<std::remove_reference_t<decltype(row.*member)>>) {
        if (index == layout.keepField) keep_value = static_cast<int64_t>(row.*member);
      }
      ++index;
    });
    if (layout.keepField != st::kNoField && (keep_value < layout.keepLow || keep_value > layout.keepHigh)) {
      return std::nullopt;
    }
  }
  if constexpr (requires { row.name; }) {
    const uint8_t name_column = st::VariableIndex(layout, st::VariableKind::kName);
    switch (layout.nameRule) {
      case st::NameRule::kNone:
        break;
      case st::NameRule::kStored:
        row.name = VariableText(record, name_column).value_or(std::string());
        break;
      case st::NameRule::kStoredOrRepair:
        if (decoded) row.name = NameOrRepair(record, name_column, layout.repairPrefix, *repair);
        break;
    }
  }
  return row;
}

constexpr uint8_t kDecimalTypeId = 106;
constexpr uint8_t kNumericTypeId = 108;
constexpr size_t kIdentityNumericSize = 20;

// A stored decimal/numeric identity value, 20 bytes: a tag byte, precision,
// scale, sign (1 = positive), then the 16-byte magnitude little-endian; the
// magnitude of an identity seed or increment fits its low 64 bits.
//   ehealth-2008 page 42 slot 18: 05 0A 00 01 0D 00.. (current 13),
//   05 0A 00 01 01 00.. (seed 1), 05 0A 00 01 01 00.. (increment 1)
int64_t NumericIdentityValue(std::span<const uint8_t> numeric) {
  constexpr size_t kSign = 3;
  constexpr size_t kMagnitude = 4;
  if (numeric.size() < kMagnitude + 8) return 0;
  const auto magnitude = LoadLittleEndianUnchecked<uint64_t>(numeric.data() + kMagnitude);
  const int64_t value = static_cast<int64_t>(magnitude);
  return numeric[kSign] == 0 ? -value : value;
}

}  // namespace

std::string IdentityText(std::span<const uint8_t> value, uint8_t system_type_id) {
  const size_t length = value.size();
  int64_t seed = 1;
  int64_t increment = 1;
  const auto u16 = [&](size_t offset) { return static_cast<int64_t>(LoadLittleEndianUnchecked<uint16_t>(value.data() + offset)); };
  const auto u32 = [&](size_t offset) { return static_cast<int64_t>(LoadLittleEndianUnchecked<uint32_t>(value.data() + offset)); };
  if ((system_type_id == kDecimalTypeId || system_type_id == kNumericTypeId) &&
      length >= 3 * kIdentityNumericSize) {
    seed = NumericIdentityValue(value.subspan(kIdentityNumericSize, kIdentityNumericSize));
    increment = NumericIdentityValue(value.subspan(2 * kIdentityNumericSize, kIdentityNumericSize));
  } else if (length >= 24) {
    const auto first = LoadLittleEndianUnchecked<uint64_t>(value.data());
    if (first != 0 && (first >> 32) == 0) {
      seed = LoadLittleEndianUnchecked<int64_t>(value.data() + 8);
      increment = LoadLittleEndianUnchecked<int64_t>(value.data() + 16);
    } else {
      seed = u32(4);
      increment = u32(8);
    }
  } else if (length >= 12) {
    seed = u32(4);
    increment = u32(8);
  } else if (length >= 6) {
    seed = u16(2);
    increment = u16(4);
  }
  if (increment == 0) increment = 1;
  return PrintfText("identity(%lld,%lld)", static_cast<long long>(seed), static_cast<long long>(increment));
}

std::optional<DataFileEntry> DecodeDataFileRow(const CRecord& record) {
  DataFileEntry defaults;
  defaults.fileId = 0;
  return DecodeRow(record, st::kDataFileFields, nullptr, std::move(defaults));
}

std::optional<ObjectRow> DecodeObjectRow(const CRecord& record, bool legacy, RepairCounter& repair) {
  return legacy ? DecodeRow(record, st::kObject2000Fields, &repair)
                : DecodeRow(record, st::kObjectFields, &repair);
}

std::optional<AllocUnitRow> DecodeAllocUnitRow(const CRecord& record) {
  return DecodeRow(record, st::kAllocUnitFields, nullptr);
}

std::optional<RowsetRow> DecodeRowsetRow(const CRecord& record) {
  return DecodeRow(record, st::kRowsetFields, nullptr);
}

std::optional<ColumnRow> DecodeColumnRow(const CRecord& record, RepairCounter& repair) {
  std::optional<ColumnRow> row = DecodeRow(record, st::kColumnFields, &repair);
  constexpr int32_t kIdentityStatus = 5;
  constexpr size_t kIdentityColumn =
      st::VariableIndex(st::kSysColParsLayout, st::VariableKind::kIdentityValue);
  if (row && row->status == kIdentityStatus && record.varEntries().size() > kIdentityColumn) {
    row->identityText = IdentityText(record.varEntries()[kIdentityColumn].bytes(), row->systemTypeId);
  }
  return row;
}

std::optional<ScalarTypeRow> DecodeScalarTypeRow(const CRecord& record) {
  return DecodeRow(record, st::kScalarTypeFields, nullptr);
}

std::optional<RowsetColumnRow> DecodeRowsetColumnRow(const CRecord& record) {
  return DecodeRow(record, st::kRowsetColumnFields, nullptr);
}

std::optional<AddedColumnValueRow> DecodeAddedColumnValueRow(const CRecord& record) {
  std::optional<AddedColumnValueRow> row = DecodeRow(record, st::kAddedColumnValueFields, nullptr);
  constexpr size_t kValueColumn =
      st::VariableIndex(st::kSysSeObjValuesLayout, st::VariableKind::kVariantValue);
  const auto entries = record.varEntries();
  if (!row || entries.size() <= kValueColumn || !entries[kValueColumn].hasData()) return std::nullopt;
  const std::span<const uint8_t> value = entries[kValueColumn].bytes();
  row->value.assign(value.begin(), value.end());
  return row;
}

std::optional<ObjectRefRow> DecodeObjectRefRow(const CRecord& record) {
  return DecodeRow(record, st::kObjectRefFields, nullptr);
}

std::optional<IndexRow> DecodeIndexRow(const CRecord& record) {
  return DecodeRow(record, st::kIndexFields, nullptr);
}

std::optional<IndexColumnRow> DecodeIndexColumnRow(const CRecord& record) {
  return DecodeRow(record, st::kIndexColumnFields, nullptr);
}

std::optional<RowsetColumnMapRow> DecodeRowsetColumnMapRow(const CRecord& record) {
  return DecodeRow(record, st::kRowsetColumnMapFields, nullptr);
}

std::optional<HobtColumnRow> DecodeHobtColumnRow(const CRecord& record) {
  return DecodeRow(record, st::kHobtColumnFields, nullptr);
}

std::optional<LegacyIndexEntry> DecodeLegacyIndexRow(const CRecord& record, uint16_t file_id) {
  std::optional<LegacyIndexEntry> entry = DecodeRow(record, st::kLegacyIndexFields, nullptr);
  if (entry) entry->fileId = file_id;
  return entry;
}

std::optional<LegacyColumnRow> DecodeLegacyColumnRow(const CRecord& record, RepairCounter& repair) {
  return DecodeRow(record, st::kLegacyColumnFields, &repair);
}

}  // namespace quill
