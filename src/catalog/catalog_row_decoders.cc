#include "catalog/catalog_row_decoders.h"


#include "common/little_endian.h"
#include "common/text_encoding.h"
#include "common/printf_text.h"

namespace quill {

namespace {

// Reads fields of a record's fixed part; a field that does not fit keeps
// the given default.
class FixedPart {
 public:
  explicit FixedPart(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  size_t size() const { return bytes_.size(); }
  bool Reaches(size_t length) const { return !bytes_.empty() && bytes_.size() >= length; }

  template <typename T>
  void Read(size_t offset, T& field) const {
    if (offset + sizeof(T) <= bytes_.size()) field = LoadLittleEndianUnchecked<T>(bytes_.data() + offset);
  }
  void ReadAddress(size_t offset, PageAddress& field) const {
    if (offset + 6 > bytes_.size()) return;
    field.pageId = LoadLittleEndianUnchecked<int32_t>(bytes_.data() + offset);
    field.fileId = LoadLittleEndianUnchecked<uint16_t>(bytes_.data() + offset + 4);
  }
  // `units` UTF-16 units at `offset`, cut at the first zero unit, trailing
  // white space removed.
  std::string FixedText(size_t offset, size_t units) const {
    if (offset >= bytes_.size()) return {};
    const size_t available = std::min(units, (bytes_.size() - offset) / 2);
    size_t length = 0;
    while (length < available && LoadLittleEndianUnchecked<uint16_t>(bytes_.data() + offset + 2 * length) != 0) {
      ++length;
    }
    std::string text = Utf16LeToUtf8(bytes_.subspan(offset, 2 * length));
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
    return text;
  }
  std::string TypeCode(size_t offset) const {
    if (offset + 2 > bytes_.size()) return {};
    return std::string{static_cast<char>(bytes_[offset]), static_cast<char>(bytes_[offset + 1])};
  }

 private:
  std::span<const uint8_t> bytes_;
};

// The first variable column as UTF-16 text up to its end or its first zero
// unit; nothing when the column is missing or holds no data.
std::optional<std::string> FirstVariableText(const CRecord& record) {
  const auto entries = record.varEntries();
  if (entries.empty() || !entries[0].hasData()) return std::nullopt;
  const std::span<const uint8_t> value = entries[0].bytes();
  size_t units = 0;
  while (2 * units + 1 < value.size() && (value[2 * units] != 0 || value[2 * units + 1] != 0)) ++units;
  return Utf16LeToUtf8(value.first(2 * units));
}

// The stored name, or a repair name numbered by the counter.
std::string NameOrRepair(const CRecord& record, const char* repair_prefix, RepairCounter& repair) {
  std::optional<std::string> name = FirstVariableText(record);
  if (!name) return PrintfText("%s%llu", repair_prefix, static_cast<unsigned long long>(repair.Take()));
  if (name->empty()) return PrintfText("RepairColumn%llu", static_cast<unsigned long long>(repair.Take()));
  return *name;
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

// sysfiles1 (object 8):
//   0 int32 status, 4 int16 file id, 6 nchar(128) logical name,
//   262 nchar(260) physical path
std::optional<DataFileEntry> DecodeDataFileRow(const CRecord& record) {
  DataFileEntry row;
  row.fileId = 0;
  const FixedPart f(record.fixedData);
  if (f.Reaches(520)) {
    f.Read(0, row.status);
    int16_t file_id = 0;
    f.Read(4, file_id);
    row.fileId = file_id;
    row.logicalName = f.FixedText(6, 128);
    row.physicalPath = f.FixedText(262, 260);
  }
  return row;
}

// sysschobjs (object 34):
//   0 int32 id, 4 int32 schema id, 8 uint8 name space class, 9 int32 status,
//   13 char(2) type, 15 int32 parent id, 19 uint8 parent class,
//   20 int32 int property; name: first variable column
// sysobjects (object 1, SQL Server 2000): type at 4, parent id at 24.
std::optional<ObjectRow> DecodeObjectRow(const CRecord& record, bool legacy, RepairCounter& repair) {
  const FixedPart f(record.fixedData);
  if (!f.Reaches(20)) return std::nullopt;
  ObjectRow row;
  f.Read(0, row.objectId);
  if (row.objectId <= 0) return std::nullopt;
  f.Read(4, row.schemaId);
  f.Read(8, row.nameSpaceClass);
  f.Read(9, row.status);
  row.typeCode = f.TypeCode(legacy ? 4 : 13);
  if (!legacy || f.Reaches(28)) f.Read(legacy ? 24 : 15, row.parentObjectId);
  f.Read(19, row.parentClass);
  f.Read(20, row.intProperty);
  row.name = NameOrRepair(record, "Repairname", repair);
  return row;
}

// sysallocunits (object 7):
//   0 int64 unit id, 8 uint8 type, 9 int64 owner id, 17 int32 status,
//   21 uint16 filegroup, 23 first page, 29 root page, 35 first IAM page
//   (each int32 page id + uint16 file id)
std::optional<AllocUnitRow> DecodeAllocUnitRow(const CRecord& record) {
  AllocUnitRow row;
  const FixedPart f(record.fixedData);
  if (f.Reaches(39)) {
    f.Read(0, row.allocUnitId);
    f.Read(8, row.type);
    f.Read(9, row.ownerId);
    f.Read(17, row.status);
    f.Read(21, row.filegroupId);
    f.ReadAddress(23, row.firstPage);
    f.ReadAddress(29, row.rootPage);
    f.ReadAddress(35, row.firstIamPage);
  }
  return row;
}

// sysrowsets (object 5):
//   0 int64 rowset id, 8 uint8 owner type, 9 int32 object id, 13 int32 index
//   id, 17 int32 partition, 21 int32 status, 25 int16 filegroup, 27 int64 rows
std::optional<RowsetRow> DecodeRowsetRow(const CRecord& record) {
  RowsetRow row;
  const FixedPart f(record.fixedData);
  if (f.Reaches(27)) {
    f.Read(0, row.rowsetId);
    f.Read(8, row.ownerType);
    f.Read(9, row.objectId);
    f.Read(13, row.indexId);
    f.Read(17, row.partitionNumber);
    f.Read(21, row.status);
    f.Read(25, row.filegroupId);
    f.Read(27, row.rowCount);
  }
  return row;
}

// syscolpars (objects 41, 2187):
//   0 int32 object id, 4 int16 number, 6 int32 column id, 10 uint8 system
//   type, 11 int32 user type, 15 int16 max length, 17 precision, 18 scale,
//   19 int32 collation, 23 int32 status, 27 int16 max in-row length,
//   29 int32 xml collection, 33 int32 default object, 37 int32 check object;
//   name: first variable column; identity value: second variable column
std::optional<ColumnRow> DecodeColumnRow(const CRecord& record, RepairCounter& repair) {
  ColumnRow row;
  const FixedPart f(record.fixedData);
  if (!f.Reaches(37)) return row;
  f.Read(0, row.objectId);
  f.Read(4, row.number);
  f.Read(6, row.columnId);
  f.Read(10, row.systemTypeId);
  f.Read(11, row.userTypeId);
  f.Read(15, row.maxLength);
  f.Read(17, row.precision);
  f.Read(18, row.scale);
  f.Read(19, row.collationId);
  f.Read(23, row.status);
  f.Read(27, row.maxInRowLength);
  f.Read(29, row.xmlCollectionId);
  f.Read(33, row.defaultObjectId);
  f.Read(37, row.checkObjectId);
  row.name = NameOrRepair(record, "RepairColumn", repair);
  constexpr int32_t kIdentityStatus = 5;
  if (row.status == kIdentityStatus && record.varEntries().size() >= 2) {
    row.identityText = IdentityText(record.varEntries()[1].bytes(), row.systemTypeId);
  }
  return row;
}

// sysscalartypes (object 50):
//   0 int32 type id, 4 int32 schema id, 8 uint8 system type, 9 int16 length,
//   11 precision, 12 scale, 13 int32 collation, 17 int32 status,
//   30 int32 further value A, 34 int32 further value B; name: first variable
std::optional<ScalarTypeRow> DecodeScalarTypeRow(const CRecord& record) {
  if (record.fixedData.empty()) return std::nullopt;
  ScalarTypeRow row;
  const FixedPart f(record.fixedData);
  if (f.Reaches(34)) {
    f.Read(0, row.typeId);
    f.Read(4, row.schemaId);
    f.Read(8, row.systemTypeId);
    f.Read(9, row.length);
    f.Read(11, row.precision);
    f.Read(12, row.scale);
    f.Read(13, row.collationId);
    f.Read(17, row.status);
    f.Read(30, row.furtherValueA);
    f.Read(34, row.furtherValueB);
  }
  row.name = FirstVariableText(record).value_or(std::string());
  return row;
}

// sysrscols (object 3):
//   0 int64 rowset id, 8 int32 rowset column id, 12 int32 hobt column id,
//   16 int64 modification counter, 24 int32 type info, 28 int32 collation,
//   32 int16 order key, 34 int16 max in-row length, 36 int32 status,
//   40 int32 offset (low 16 bits: leaf offset), 44 int32 null bit (low 16
//   bits; index key rows carry flags above), 48 int16 bit position
std::optional<RowsetColumnRow> DecodeRowsetColumnRow(const CRecord& record) {
  RowsetColumnRow row;
  const FixedPart f(record.fixedData);
  if (f.Reaches(48)) {
    f.Read(0, row.rowsetId);
    f.Read(8, row.rowsetColumnId);
    f.Read(12, row.hobtColumnId);
    f.Read(16, row.modificationCounter);
    f.Read(24, row.typeInfo);
    f.Read(28, row.collationId);
    f.Read(32, row.orderKey);
    f.Read(34, row.maxInRowLength);
    f.Read(36, row.status);
    f.Read(40, row.offset);
    uint32_t null_bit = 0xFFFFFFFF;
    f.Read(44, null_bit);
    row.nullBit = null_bit == 0xFFFFFFFF ? -1 : static_cast<int32_t>(null_bit & 0xFFFF);
    f.Read(48, row.bitPosition);
  }
  return row;
}

// sysseobjvalues (object 9), a 21-byte fixed part:
//   0 uint8 value class, 1 int64 id (class 1: the rowset id), 9 int64
//   sub-id (class 1: the rowset column id), 17 int32 value number;
//   value: first variable column (sql_variant), image value: second
std::optional<AddedColumnValueRow> DecodeAddedColumnValueRow(const CRecord& record) {
  constexpr uint8_t kAddedColumnValueClass = 1;
  const FixedPart f(record.fixedData);
  if (!f.Reaches(21)) return std::nullopt;
  uint8_t value_class = 0;
  f.Read(0, value_class);
  const auto entries = record.varEntries();
  if (value_class != kAddedColumnValueClass || entries.empty() || !entries[0].hasData()) return std::nullopt;
  AddedColumnValueRow row;
  f.Read(1, row.rowsetId);
  f.Read(9, row.rowsetColumnId);
  const std::span<const uint8_t> value = entries[0].bytes();
  row.value.assign(value.begin(), value.end());
  return row;
}

// syssingleobjrefs (object 74):
//   0 uint8 class, 1 int32 dependent id, 5 int32 dependent sub-id,
//   9 int32 independent id, 13 int32 independent sub-id, 17 int32 status
std::optional<ObjectRefRow> DecodeObjectRefRow(const CRecord& record) {
  if (record.fixedData.empty()) return std::nullopt;
  ObjectRefRow row;
  const FixedPart f(record.fixedData);
  f.Read(0, row.objectClass);
  f.Read(1, row.dependentId);
  f.Read(5, row.dependentSubId);
  f.Read(9, row.independentId);
  f.Read(13, row.independentSubId);
  f.Read(17, row.status);
  return row;
}

// sysidxstats (object 54):
//   0 int32 object id, 4 int32 index id, 8 int32 status, 12 int32 int
//   property, 16 fill factor, 17 index type, 18 tiny property, 19 int32 data
//   space, 23 int32 large-object data space, 27 int64 rowset id; name: first
//   variable column
std::optional<IndexRow> DecodeIndexRow(const CRecord& record) {
  if (record.fixedData.empty()) return std::nullopt;
  IndexRow row;
  const FixedPart f(record.fixedData);
  if (f.Reaches(27)) {
    f.Read(0, row.objectId);
    f.Read(4, row.indexId);
    f.Read(8, row.status);
    f.Read(12, row.intProperty);
    f.Read(16, row.fillFactor);
    f.Read(17, row.indexType);
    f.Read(18, row.tinyProperty);
    f.Read(19, row.dataSpaceId);
    f.Read(23, row.lobDataSpaceId);
    f.Read(27, row.rowsetId);
  }
  row.name = FirstVariableText(record).value_or(std::string());
  return row;
}

// sysiscols (object 55):
//   0 int32 object id, 4 int32 index id, 8 int32 sub-id, 12 int32 status,
//   16 int32 int property (column id), 20 tiny property 1, 21 tiny property 2
std::optional<IndexColumnRow> DecodeIndexColumnRow(const CRecord& record) {
  IndexColumnRow row;
  const FixedPart f(record.fixedData);
  if (f.Reaches(21)) {
    f.Read(0, row.objectId);
    f.Read(4, row.indexId);
    f.Read(8, row.subId);
    f.Read(12, row.status);
    f.Read(16, row.intProperty);
    f.Read(20, row.tinyProperty1);
    f.Read(21, row.tinyProperty2);
  }
  return row;
}

// Object 4 (SQL Server 2005): 0 int64 rowset id, 8 int32 rowset column id,
// 12 int32 hobt column id.
std::optional<RowsetColumnMapRow> DecodeRowsetColumnMapRow(const CRecord& record) {
  RowsetColumnMapRow row;
  const FixedPart f(record.fixedData);
  f.Read(0, row.rowsetId);
  f.Read(8, row.rowsetColumnId);
  f.Read(12, row.hobtColumnId);
  return row;
}

// Object 13 (SQL Server 2005): 0 int64 hobt id, 8 int32 column id,
// 27 int16 leaf offset, 33 int16 null bit.
std::optional<HobtColumnRow> DecodeHobtColumnRow(const CRecord& record) {
  HobtColumnRow row;
  const FixedPart f(record.fixedData);
  f.Read(0, row.hobtId);
  f.Read(8, row.columnId);
  f.Read(27, row.leafOffset);
  f.Read(33, row.nullBit);
  return row;
}

// sysindexes (object 2, SQL Server 2000):
//   0 int32 object id, 8 int32 first page id, 14 int16 index id,
//   64 int32 first IAM page id
std::optional<LegacyIndexEntry> DecodeLegacyIndexRow(const CRecord& record, uint16_t file_id) {
  const FixedPart f(record.fixedData);
  if (!f.Reaches(64)) return std::nullopt;
  LegacyIndexEntry entry;
  f.Read(0, entry.objectId);
  f.Read(14, entry.indexId);
  if (entry.indexId != 0 && entry.indexId != 1) return std::nullopt;
  entry.fileId = file_id;
  f.Read(8, entry.firstPageId);
  f.Read(64, entry.firstIamPageId);
  return entry;
}

// syscolumns (object 3, SQL Server 2000), a 42-byte fixed part:
//   0 int32 object id, 4 uint8 xtype, 5 uint8 type status (bit 0 clear:
//   nullable), 6 int16 user type, 8 int16 length, 10 precision, 11 scale,
//   12 int16 column id, 14 int16 stored offset (>= 0: byte offset of a fixed
//   value; -n: the n-th variable column), 16 bit position, 17 reserved,
//   18 int16 column status, 20 int32 default object, 24 int32 domain,
//   28 int16 number, 30 int16 column order, 32 int16 legacy offset,
//   34 int32 collation; name: first variable column
std::optional<LegacyColumnRow> DecodeLegacyColumnRow(const CRecord& record, RepairCounter& repair) {
  LegacyColumnRow row;
  const FixedPart f(record.fixedData);
  if (f.size() == 0) return row;
  f.Read(0, row.objectId);
  f.Read(4, row.systemTypeId);
  f.Read(5, row.typeStatus);
  f.Read(6, row.userTypeId);
  f.Read(8, row.length);
  f.Read(10, row.precision);
  f.Read(11, row.scale);
  f.Read(12, row.columnId);
  f.Read(14, row.storedOffset);
  f.Read(16, row.bitPosition);
  f.Read(17, row.reserved);
  f.Read(18, row.columnStatus);
  f.Read(20, row.defaultObjectId);
  f.Read(24, row.domainId);
  f.Read(28, row.number);
  f.Read(30, row.columnOrder);
  f.Read(32, row.columnOffset);
  if (record.columnCount > 20 && f.Reaches(38)) f.Read(34, row.collationId);
  row.name = NameOrRepair(record, "RepairColumn", repair);
  return row;
}

}  // namespace quill
