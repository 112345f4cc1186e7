#include "values/page_rows.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "records/data_page.h"
#include "records/lob_reader.h"
#include "records/page_reads.h"
#include "schema/type_codes.h"
#include "schema/type_info.h"
#include "values/typed_value.h"
#include "values/value_text.h"
#include "values/variant_text.h"
#include "values/xml_text_decoder.h"

namespace quill {

namespace {

constexpr char kNullText[] = "NULL";
constexpr char kBinaryPlaceholder[] = "<BINARY DATA>";
constexpr char kBigBinaryPlaceholder[] = "<BIG BINARY DATA>";
constexpr uint8_t kComplexInRowRoot = 2;
constexpr uint8_t kComplexRowOverflow = 4;
constexpr int32_t kTextPointerSize = 16;

// Types whose text is made from a set count of bytes and used as it is:
// for readers of typed cells, which decode these from the bytes, their
// text is made only when asked for.
bool DefersText(int32_t code) {
  using namespace type_code;
  switch (code) {
    case kBigint: case kInt: case kSmallint: case kTinyint:
    case kMoney: case kSmallmoney: case kFloat: case kReal: case kNumeric: case kDecimal:
    case kUniqueIdentifier: case kDatetime: case kSmalldatetime: case kDate:
    case kTime: case kDatetime2: case kDatetimeOffset: case kBinary: case kTimestamp:
      return true;
    default:
      return false;
  }
}

bool IsBinaryCode(int32_t code) {
  return code == type_code::kVarbinary || code == type_code::kClrType ||
         code == type_code::kHierarchyId || code == type_code::kGeometry;
}

class RowBuilder {
 public:
  RowBuilder(const CDatabaseFile& file, const PageRowsTable& table, const ReadOptions& options,
             RowsFor purpose, bool layout, std::vector<TypedValue>* typed)
      : file_(file), options_(options), decode_(options.decode), table_(table), purpose_(purpose),
        layout_(layout), typed_(typed), deferTexts_(typed != nullptr && layout), row_(table.descriptors) {
    for (size_t i = 0; i < table.descriptors.size(); ++i) {
      const ColumnDescriptor& column = table.descriptors[i];
      if (column.ordinal == kNoStoredDataOrdinal) row_.mutableText(i) = column.constantText;
    }
  }

  // Reads one record into row(); false when the plain builder drops the
  // record.
  bool Build(CPrimaryRecord& record);
  // The last record's row; its texts stay until the next Build.
  const Row& row() const { return row_; }

 private:
  bool IsPastRecord(const CPrimaryRecord& record, const ColumnDescriptor& column, int index, int held) const;
  std::string AddedColumnText(const ColumnDescriptor& column) const;
  bool IsNull(const CPrimaryRecord& record, const ColumnDescriptor& column, int32_t ordinal,
              int running_column) const;
  std::string VariableText(CPrimaryRecord& record, size_t column_index, TypeInfo& info, int index);
  std::string LargeValueText(CPrimaryRecord& record, std::span<const uint8_t> value, int32_t code, bool unicode,
                             int32_t code_page, Status& failure);
  std::string CompressedText(CPrimaryRecord& record, size_t column_index, TypeInfo& info,
                             const CRecord::ColumnFlag& placed);
  std::string SparseText(const CPrimaryRecord& record, const ColumnDescriptor& column, BitColumnState& bits);
  // DecodeValue, keeping the bytes it was handed for the typed cell. A
  // text the row may make later is left empty here (deferred_ holds it).
  [[gnu::always_inline]] std::string Decode(TypeInfo& info, const ColumnDescriptor& column,
                                             std::span<const uint8_t> bytes) {
    raw_ = info.isVariable && info.valueLength >= 0
               ? bytes.first(std::min(bytes.size(), static_cast<size_t>(info.valueLength)))
               : bytes;
    hasRaw_ = true;
    if (deferTexts_ && DefersText(info.code)) return Defer(info, column, bytes);
    return DecodeValue(info, column, bytes, decode_, &valueFailure_);
  }
  // Leaves the text of the value to the row: notes whether its bytes are
  // there, and sets the fixed size as DecodeValue would.
  [[gnu::noinline]] std::string Defer(TypeInfo& info, const ColumnDescriptor& column,
                                      std::span<const uint8_t> bytes) {
    CheckValueBytes(info, column, bytes, &valueFailure_);  // valueFailure_ is clear before each value
    deferred_ = Deferred{true, bytes, info};
    if (info.declaredSize == 0) info.declaredSize = column.maxLength;
    return {};
  }
  // Hands a deferred text of column i to the row.
  void DeferInRow(size_t i) {
    if (!deferred_.waiting) return;
    row_.DeferText(i, deferred_.bytes, deferred_.info, decode_);
    deferred_.waiting = false;
  }

  const CDatabaseFile& file_;
  const ReadOptions& options_;
  const ValueDecodeOptions& decode_;
  const PageRowsTable& table_;
  RowsFor purpose_;
  bool layout_;
  // Typed cells, one per column, when the caller asked for them.
  std::vector<TypedValue>* typed_;
  // Texts of DefersText types are left to the row to make (typed readers
  // of records with layout rows; the plain builder looks at every text).
  bool deferTexts_;
  struct Deferred {
    bool waiting = false;
    std::span<const uint8_t> bytes;
    TypeInfo info;
  };
  Deferred deferred_;  // the value Decode deferred last
  Row row_;
  std::span<const uint8_t> raw_;  // the bytes of the column being built
  bool hasRaw_ = false;
  bool referenceCell_ = false;  // the last variable cell holds a reference
  // Why the value being built gave no text (too few bytes for its type);
  // cleared before each column.
  Status valueFailure_;
};

// A column the record does not hold: the record was written before the
// column was added. Records count their columns, dropped ones included, in
// the order of the columns' null bits (the layout rows give them); without
// layout rows a column past the record's count is past it. Sparse columns
// sit together in the sparse vector and are looked up there.
bool RowBuilder::IsPastRecord(const CPrimaryRecord& record, const ColumnDescriptor& column, int index,
                              int held) const {
  if (column.sparse || record.columnCount < 1) return false;
  if (index >= held) return true;
  return layout_ && column.nullBit > record.columnCount;
}

std::string RowBuilder::AddedColumnText(const ColumnDescriptor& column) const {
  if (column.addedColumnValue) return *column.addedColumnValue;
  return purpose_ == RowsFor::kCatalog ? std::string() : kNullText;
}

bool RowBuilder::IsNull(const CPrimaryRecord& record, const ColumnDescriptor& column, int32_t ordinal,
                        int running_column) const {
  int32_t bit = -1;
  const int32_t count = record.columnCount;
  if (layout_) {
    const int32_t sparse = record.sparseValues ? static_cast<int32_t>(record.sparseValues->entries.size()) : 0;
    if (column.nullBit > 0 && column.nullBit <= count) {
      bit = column.nullBit - 1;
    } else if (ordinal - sparse - 1 > 0 && ordinal - sparse - 1 <= count) {
      bit = ordinal - sparse - 1;
    } else {
      bit = sparse;
    }
  } else {
    bit = column.nullBit > 0 && column.nullBit <= count ? column.nullBit - 1 : running_column;
  }
  return record.IsNullColumn(bit);
}

std::string RowBuilder::LargeValueText(CPrimaryRecord& record, std::span<const uint8_t> value, int32_t code,
                                       bool unicode, int32_t code_page, Status& failure) {
  LobReadOptions options;
  options.failure = &failure;
  options.binary = record.isBinaryValue;
  options.variant = record.isVariantValue;
  options.unicode = unicode;
  options.ansiCodePage = code_page;
  options.stop = options_.stop();
  const bool is_pointer = value.size() == kTextPointerSize && value[0] == 0;
  const bool display = purpose_ == RowsFor::kDisplay && decode_.tableDisplayActive;
  if (code == type_code::kXml) {
    if (display && (is_pointer || (!layout_ && value[0] == kComplexRowOverflow))) {
      return is_pointer ? kBinaryPlaceholder : kBigBinaryPlaceholder;
    }
    std::vector<LobChunk> chunks;
    options.chunks = &chunks;
    if (is_pointer) {
      ReadTextPointer(value, file_, options);
    } else if (value[0] == kComplexInRowRoot || value[0] == kComplexRowOverflow) {
      ReadComplexValue(value, file_, options);
    } else {
      return {};
    }
    std::vector<std::span<const uint8_t>> spans;
    for (const LobChunk& chunk : chunks) spans.emplace_back(chunk.bytes);
    return DecodeXmlChunks(spans);
  }
  if (is_pointer) return display ? kBinaryPlaceholder : ReadTextPointer(value, file_, options);
  if (value[0] == kComplexInRowRoot) return ReadComplexValue(value, file_, options);
  if (value[0] == kComplexRowOverflow) {
    return display ? kBigBinaryPlaceholder : ReadComplexValue(value, file_, options);
  }
  return {};
}

std::string RowBuilder::VariableText(CPrimaryRecord& record, size_t column_index, TypeInfo& info, int index) {
  const ColumnDescriptor& column = table_.descriptors[column_index];
  const auto entries = record.varEntries();
  if (index < 0 || static_cast<size_t>(index) >= entries.size()) return {};
  const VarColumnEntry& entry = entries[static_cast<size_t>(index)];
  int32_t code = info.code;
  if (code == type_code::kImage) code = type_code::kVarbinary;
  info.code = code;
  record.isBinaryValue = IsBinaryCode(code);
  record.isVariantValue = code == type_code::kSqlVariant;
  const bool unicode = code == type_code::kNvarchar || code == type_code::kNtext;
  record.isUnicodeValue = unicode;
  if (!entry.complex) {
    if (!entry.hasData()) return {};
    info.valueLength = static_cast<int16_t>(entry.length);
    if (code == type_code::kSqlVariant) return DecodeVariant(info, entry.length, entry.bytes(), decode_);
    return Decode(info, column, entry.bytes());
  }
  if (!entry.hasData()) return {};
  if (purpose_ == RowsFor::kLargeValueReferences) {
    const auto bytes = entry.bytes();
    referenceCell_ = true;
    return kLargeValueReferencePrefix + std::string(bytes.begin(), bytes.end());
  }
  // 8-bit text of a large value is in the code page of its column's
  // collation; a sql_variant's inner text has no column collation.
  const int32_t code_page = code == type_code::kSqlVariant ? decode_.ansiCodePage
                                                            : CharacterCodePage(column.collationId, decode_);
  Status failure;
  std::string text = LargeValueText(record, entry.bytes(), code, unicode, code_page, failure);
  if (!failure.ok()) row_.AddFailure(column_index, std::move(failure));
  return text;
}

// A column of an expanded compressed record is read where the expansion
// put its value: a long value, or the bytes placed in the expanded fixed
// data. Positions in that area follow the values actually stored (a NULL
// or a long value takes no room), so the leaf offsets of the columns do
// not apply.
std::string RowBuilder::CompressedText(CPrimaryRecord& record, size_t column_index, TypeInfo& info,
                                       const CRecord::ColumnFlag& placed) {
  if (placed.longEntry >= 0) return VariableText(record, column_index, info, placed.longEntry);
  const ColumnDescriptor& column = table_.descriptors[column_index];
  const std::span<const uint8_t> fixed = record.fixedData;
  if (placed.offset < 0 || placed.length <= 0 || static_cast<size_t>(placed.offset) >= fixed.size()) return {};
  const std::span<const uint8_t> value = fixed.subspan(static_cast<size_t>(placed.offset));
  // Every bit value has a byte of its own here.
  BitColumnState own_byte;
  if (info.code == type_code::kBit) info.bitState = &own_byte;
  if (!info.isVariable) return Decode(info, column, value);
  const auto bytes = value.first(std::min(value.size(), static_cast<size_t>(placed.length)));
  info.valueLength = static_cast<int16_t>(bytes.size());
  if (info.code == type_code::kSqlVariant) {
    return DecodeVariant(info, static_cast<int32_t>(bytes.size()), bytes, decode_);
  }
  return Decode(info, column, bytes);
}

// The text of a sparse column: the last entry of the record's sparse vector
// with the column's id.
std::string RowBuilder::SparseText(const CPrimaryRecord& record, const ColumnDescriptor& column,
                                   BitColumnState& bits) {
  std::string text;
  if (!record.sparseValues) return text;
  for (const VarColumnEntry& entry : record.sparseValues->entries) {
    if (entry.columnId == column.columnId && entry.hasData()) {
      TypeInfo sparse_info = GetTypeInfo(column, column.typeCode, &bits);
      sparse_info.valueLength = static_cast<int16_t>(entry.length);
      if (!valueFailure_.ok()) valueFailure_ = Status::Ok();  // the last entry's reason counts
      text = Decode(sparse_info, column, entry.bytes());
    }
  }
  return text;
}

bool RowBuilder::Build(CPrimaryRecord& record) {
  const std::vector<ColumnDescriptor>& columns = table_.descriptors;
  const int n = std::min<int>(std::max<int16_t>(record.columnCount, 0), static_cast<int>(columns.size()));
  BitColumnState bits;
  int running_variable = 0;
  int running_column = 0;
  int32_t running_fixed = 0;
  const bool sql2000 = options_.parse.isSql2000;
  const bool catalog = purpose_ == RowsFor::kCatalog;
  // Cells of stored columns start empty, so a record with fewer columns
  // never shows the values of the record before it.
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].ordinal != kNoStoredDataOrdinal) row_.mutableText(i).clear();
  }
  row_.ClearFailures();
  row_.ClearDeferred();
  if (typed_ != nullptr) {
    typed_->resize(columns.size());
    for (TypedValue& cell : *typed_) cell.SetNull();
  }
  const int count = static_cast<int>(columns.size());
  for (int i = 0; i < count; ++i) {
    const ColumnDescriptor& column = columns[static_cast<size_t>(i)];
    std::string& cell = row_.mutableText(static_cast<size_t>(i));
    if (column.ordinal == kNoStoredDataOrdinal) continue;
    if (IsPastRecord(record, column, i, n)) {
      cell = AddedColumnText(column);
      if (typed_ != nullptr && column.addedColumnValue) {
        DecodeTypedAddedValue(column, (*typed_)[static_cast<size_t>(i)]);
      }
      continue;
    }
    if (i >= n) continue;  // a sparse column: read with the sparse vector below
    TypeInfo info = GetTypeInfo(column, column.typeCode, &bits);
    info.declaredSize = column.maxLength;
    int variable_index = info.isVariable && column.leafOffset < 0 ? ~column.leafOffset : running_variable;
    // An ordinal past the record's columns is read as the column's id.
    const int32_t ordinal = column.ordinal > record.columnCount ? column.columnId : column.ordinal;
    const bool is_null = IsNull(record, column, ordinal, running_column);
    // The value's text is made in its cell (cleared above), whose buffer
    // the previous record's text leaves behind.
    std::string& text = cell;
    bool null_cell = false;
    if (layout_) {
      if (!catalog && !column.sparse && (!column.present || is_null)) null_cell = true;
      const auto& flags = record.columnFlags();
      if (record.isCompressed && static_cast<size_t>(i) < flags.size() && flags[static_cast<size_t>(i)].isNull) {
        null_cell = true;
      }
      if (null_cell) {
        cell = kNullText;  // the typed cell stays NULL
        ++running_column;
        continue;
      }
    } else if (running_column > record.columnCount) {
      break;
    }
    record.isBinaryValue = record.isVariantValue = record.isUnicodeValue = false;
    hasRaw_ = false;
    referenceCell_ = false;
    deferred_.waiting = false;
    if (!valueFailure_.ok()) valueFailure_ = Status::Ok();

    const auto& flags = record.columnFlags();
    if (column.sparse && record.sparseValues) {
      text = SparseText(record, column, bits);
    } else if (layout_ && running_column > record.columnCount) {
      // past the record's columns: nothing stored
    } else if (layout_ && record.isCompressed && static_cast<size_t>(i) < flags.size()) {
      text = CompressedText(record, static_cast<size_t>(i), info, flags[static_cast<size_t>(i)]);
      if (info.isVariable) ++running_variable;
      ++running_column;
    } else if (info.isVariable) {
      if (!layout_ && sql2000 && !is_null && column.secondOffset != 0) {
        const int16_t second = column.secondOffset;
        const int index = second < 0 ? ~second : second;
        if (index >= 0 && static_cast<size_t>(index) < record.varEntries().size()) variable_index = index;
      }
      if (!(!layout_ && is_null)) text = VariableText(record, static_cast<size_t>(i), info, variable_index);
      ++running_variable;
      ++running_column;
    } else {
      const std::span<const uint8_t> fixed = record.fixedData;
      int32_t leaf = column.leafOffset;
      if (!layout_ && sql2000) {
        if (leaf <= 0 && column.secondOffset >= 1) leaf = column.secondOffset;
        else if (leaf < 0) leaf = 3 - leaf + 4;  // offset 3 - leaf, counted like a leaf offset
      }
      const int32_t size = static_cast<int32_t>(fixed.size());
      if (fixed.empty()) {
        running_fixed += std::max<int16_t>(info.storedSize, 0);
      } else {
        const int32_t o = leaf - 4;
        std::span<const uint8_t> value;
        if (o >= 0 && o <= size) {
          value = fixed.subspan(static_cast<size_t>(o));
        } else if (running_fixed < size) {
          value = fixed.subspan(static_cast<size_t>(running_fixed));
        }
        if (!value.empty()) {
          text = Decode(info, column, value);
          running_fixed += std::max(info.declaredSize, 0);
        }
      }
      ++running_column;
    }

    if (IsBinaryCode(info.code) && text != " " && !referenceCell_ && !(catalog && layout_ && text.empty())) {
      text = "0x" + text;
    }
    // A value cut short is noted unless its null bit says it is NULL.
    if (!valueFailure_.ok() && !is_null) {
      row_.AddFailure(static_cast<size_t>(i), std::exchange(valueFailure_, Status::Ok()));
    }
    // A NULL of a fixed-length column still has its bytes in the record
    // (zeros, or whatever was there): its null bit, not its bytes, says it
    // is NULL (northwind-sql2000 Employees.ReportsTo, Orders.ShippedDate).
    if (!layout_ && !catalog && column.nullable && (text.empty() || is_null)) {
      text = kNullText;
    } else if (typed_ != nullptr) {
      TypedValue& typed = (*typed_)[static_cast<size_t>(i)];
      if (deferTexts_) {
        // The text of character data moves to its typed cell, where the
        // row reads it.
        DecodeTypedValue(column, info.code, raw_, hasRaw_, std::move(text), typed);
        if (typed.kind == ValueKind::kText) {
          text.clear();
          row_.ShareText(static_cast<size_t>(i), typed.text);
        }
      } else {
        DecodeTypedValue(column, info.code, raw_, hasRaw_, text, typed);
      }
    }
    DeferInRow(static_cast<size_t>(i));
  }
  // Sparse columns are found by column id in the sparse vector, which the
  // record counts as one column however many values it holds: those past
  // the record's column count are read as well.
  if (layout_ && record.sparseValues) {
    for (size_t i = static_cast<size_t>(n); i < columns.size(); ++i) {
      const ColumnDescriptor& column = columns[i];
      if (column.sparse && column.ordinal != kNoStoredDataOrdinal) {
        hasRaw_ = false;
        deferred_.waiting = false;
        if (!valueFailure_.ok()) valueFailure_ = Status::Ok();
        std::string& cell = row_.mutableText(i);
        cell = SparseText(record, column, bits);
        DeferInRow(i);
        if (!valueFailure_.ok()) row_.AddFailure(i, std::exchange(valueFailure_, Status::Ok()));
        if (typed_ != nullptr && hasRaw_) {
          DecodeTypedValue(column, column.typeCode, raw_, true, cell, (*typed_)[i]);
        }
      }
    }
  }
  if (!layout_ && !catalog && (columns.empty() || row_.text(0).empty())) return false;
  return true;
}

// The bytes a fixed-length value takes at least: decimal and numeric
// values as many as their type says, time values one (they take fewer at
// smaller scales), the others their stored size.
int64_t FixedValueSize(const ColumnDescriptor& column) {
  switch (column.typeCode) {
    case type_code::kDecimal:
    case type_code::kNumeric:
      return std::max<int16_t>(column.declaredLength, 1);
    case type_code::kTime:
    case type_code::kDatetime2:
    case type_code::kDatetimeOffset:
      return 1;
    default: {
      BitColumnState bits;
      return std::max<int16_t>(GetTypeInfo(column, column.typeCode, &bits).storedSize, 1);
    }
  }
}

// RecordFilter::kWholeRecords: whether the record holds what it claims of
// the table's columns. Only the columns it counts are looked at, so a
// record written before columns were added is whole.
bool HoldsItsColumns(const CPrimaryRecord& record, const PageRowsTable& table, bool layout) {
  const size_t stored_columns = std::max(table.storedColumnCount, table.descriptors.size());
  if (record.columnCount < 1 || static_cast<size_t>(record.columnCount) > stored_columns) return false;
  if (!layout || record.isCompressed) return true;
  for (const ColumnDescriptor& column : table.descriptors) {
    if (column.ordinal == kNoStoredDataOrdinal || column.sparse || !column.present) continue;
    if (column.nullBit < 1 || column.nullBit > record.columnCount) continue;
    if (record.IsNullColumn(column.nullBit - 1)) {
      if (!column.nullable) return false;
      continue;
    }
    // A variable-length value past the record's end offsets is empty: the
    // server leaves trailing empty values out.
    if (column.leafOffset < 0) continue;
    if (column.leafOffset - 4 + FixedValueSize(column) > static_cast<int64_t>(record.fixedData.size())) {
      return false;
    }
  }
  return true;
}

// Whether a page with this header holds rows of `table`. The header's
// object id and index id are bits 16..47 and 48..63 of the allocation unit
// id; the page maps key pages by the object id only, so a table's list can
// hold pages of another unit with the same key. A unit carried over from a
// SQL Server 2000 file is keyed by the old object and index ids, and the
// data pages of its clustered index (index 1) still carry the index id 0
// that SQL Server 2000 wrote on the leaf level (northwind-2008-from2000,
// Customers: pages 111, 128 and 129 have index id 0, the unit index id 1).
bool PageOfTable(const CPage_Header& header, const PageRowsTable& table, bool sql2000) {
  if (sql2000) return header.objectId == table.objectId;
  const uint64_t unit = table.allocUnitId;
  if (unit == 0) return true;
  const auto unit_index = static_cast<uint16_t>(unit >> 48);
  const bool same_index = header.indexId == unit_index || (unit_index == 1 && header.indexId == 0);
  return header.objectId == static_cast<int32_t>(unit >> 16) && same_index;
}

// A heap row that moved to another page leaves a forwarding stub in its
// slot, and the moved record points back at the stub. The row is listed
// once: through the stub when stub and record point at each other, where
// the record lies otherwise (its stub lost or pointing elsewhere). The
// stub's page is read by its one slot when it is not the page at hand; a
// page of another table does not hold the table's stubs.
bool StubListsRow(const CPrimaryRecord& stub, RecordAddress stub_address) {
  return stub.fixedLength != kUnresolvedStubLength && stub.backPointer == stub_address;
}

bool ListedThroughStub(const CPrimaryRecord& record, RecordAddress address, const CDataPage& page,
                       const CDatabaseFile& file, const PageRowsTable& table,
                       const RecordParseOptions& parse) {
  if (!record.backPointer) return false;
  const RecordAddress stub = *record.backPointer;
  const auto points_here = [&](const CPrimaryRecord* candidate) {
    return candidate != nullptr && candidate->kind == kRecordKindForwardingStub &&
           candidate->forwardTarget == address;
  };
  if (stub.page == address.page) {
    return stub.slot < page.records().size() && stub.slot < page.header().slotCount &&
           points_here(page.records()[stub.slot]);
  }
  auto buffer = file.ReadRawPage(stub.page);
  if (!buffer) return false;
  const PrimaryRecordPage stub_page(std::move(*buffer), &file, parse, PrimaryRecordPage::SingleSlot{}, stub.slot);
  return stub_page.header().pageType == kPageTypeData && PageOfTable(stub_page.header(), table, parse.isSql2000) &&
         !stub_page.records().empty() &&
         points_here(stub_page.records().front());
}

}  // namespace

namespace {

// The rows of one page for both visitors; `typed` (may be null) receives
// the typed cells of each row before `visit` is called.
template <typename Visit>
PageRowsStatus VisitRows(PageAddress address, const CDatabaseFile& file, const PageRowsTable& table,
                         const ReadOptions& options, RowsFor purpose, RecordFilter filter,
                         std::vector<TypedValue>* typed, const Visit& visit) {
  // Compressed records are expanded against the table's columns.
  RecordParseOptions parse = options.parse;
  parse.currentTable = &table.descriptors;
  const std::unique_ptr<CDataPage> page = ReadDataPage(file, address, parse);
  if (!page) return PageRowsStatus::kUnreadable;
  if (page->header().pageType != kPageTypeData) return PageRowsStatus::kNotDataPage;

  const bool sql2000 = options.parse.isSql2000;
  if (!PageOfTable(page->header(), table, sql2000)) return PageRowsStatus::kOtherObject;

  const bool layout = !sql2000 && table.hasLayoutRows;
  RowBuilder builder(file, table, options, purpose, layout, typed);
  // The records of the slots, then those the deleted-record search found.
  const size_t total = page->records().size();
  const size_t slots = std::min<size_t>(total, page->header().slotCount);
  RowPlace place;
  place.page = address;
  for (size_t slot = 0; slot < total && !options.aborted(); ++slot) {
    CPrimaryRecord* record = page->records()[slot];
    if (record == nullptr || record->kind == kRecordKindIndex || record->notShown()) continue;
    if (!options.parse.showDeletedRecords && record->isGhost) continue;
    if (slot < slots) {
      const RecordAddress here{address, static_cast<uint16_t>(slot)};
      if (record->kind == kRecordKindForwardingStub && !StubListsRow(*record, here)) continue;
      if (record->kind == kRecordKindForwarded && ListedThroughStub(*record, here, *page, file, table, parse)) continue;
    }
    if (filter == RecordFilter::kWholeRecords && !HoldsItsColumns(*record, table, layout)) continue;
    if (!builder.Build(*record)) continue;
    place.slot = slot;
    place.deleted = record->isGhost || record->kind == kRecordKindGhostData ||
                    record->kind == kRecordKindGhostVersion || slot >= slots;
    visit(builder.row(), place);
    ++place.ordinal;
  }
  return PageRowsStatus::kRead;
}

}  // namespace

void VisitPageRows(PageAddress address, const CDatabaseFile& file, const PageRowsTable& table,
                   const ReadOptions& options, const std::function<void(const Row&)>& visit,
                   RowsFor purpose, RecordFilter filter) {
  VisitRows(address, file, table, options, purpose, filter, nullptr, [&](const Row& row, const RowPlace&) { visit(row); });
}

void VisitPlacedPageRows(PageAddress address, const CDatabaseFile& file, const PageRowsTable& table,
                         const ReadOptions& options, const std::function<void(const Row&, const RowPlace&)>& visit,
                         RowsFor purpose, RecordFilter filter) {
  VisitRows(address, file, table, options, purpose, filter, nullptr, visit);
}

PageRowsStatus VisitTypedPageRows(PageAddress address, const CDatabaseFile& file, const PageRowsTable& table,
                                  const ReadOptions& options, const TypedRowVisitor& visit, bool typed,
                                  RecordFilter filter) {
  std::vector<TypedValue> cells;
  return VisitRows(address, file, table, options, RowsFor::kDisplay, filter, typed ? &cells : nullptr,
                   [&](const Row& row, const RowPlace& place) { visit(row, cells, place); });
}

std::vector<Row> ReadPageRows(PageAddress address, const CDatabaseFile& file, const PageRowsTable& table,
                              const ReadOptions& options, RowsFor purpose) {
  std::vector<Row> rows;
  VisitPageRows(address, file, table, options, [&rows](const Row& row) { rows.push_back(row); }, purpose);
  return rows;
}

}  // namespace quill
