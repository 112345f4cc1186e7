#include "catalog/resolve_object.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <optional>
#include <span>
#include <unordered_map>
#include <unordered_set>

#include "catalog/catalog_index.h"
#include "common/hex_text.h"
#include "common/text_encoding.h"
#include "schema/type_codes.h"
#include "schema/type_text.h"
#include "values/variant_text.h"

namespace quill {

namespace {

constexpr int32_t kPageTypeData = 1;
constexpr int32_t kPageTypeIam = 10;
constexpr uint8_t kAllocUnitInRowData = 1;
constexpr uint8_t kSystemTypeImage = 34;
// CLR types share system type 240; the user type id tells them apart.
constexpr int32_t kUserTypeHierarchyId = 128;
constexpr int32_t kUserTypeGeometry = 129;
constexpr int32_t kSchemaSys = 1;
constexpr int32_t kSingleByteValueCodePage = 1252;

// syscolpars status bits.
constexpr int32_t kColumnNotNull = 0x1;
constexpr int32_t kColumnFlagBit3 = 0x8;
constexpr int32_t kColumnSparse = 1 << 24;
// syscolumns (SQL Server 2000) type status: bit 0 set for NOT NULL.
constexpr uint8_t kLegacyColumnNotNull = 0x1;

// sysidxstats status bits of a key index, carried to its index columns.
constexpr int32_t kIndexKey = 0x01;
constexpr int32_t kIndexUnique = 0x08;
constexpr int32_t kIndexPrimaryKey = 0x20;
constexpr int32_t kIndexUniqueConstraint = 0x40;

// sysrscols keeps the null bit in the low 16 bits of its field.
constexpr int32_t kNullBitMask = 0xFFFF;

// Objects that resolve to a summary (id, type code, name) instead of
// columns.
bool IsSummaryTypeCode(std::string_view code) {
  static constexpr std::array<std::string_view, 12> kSummaryCodes = {
      "PK", "X ", "P ", "C ", "FN", "IF", "TR", "V ", "D ", "TT", "F ", "TF"};
  return std::find(kSummaryCodes.begin(), kSummaryCodes.end(), code) != kSummaryCodes.end();
}

bool IsTableTypeCode(std::string_view code) { return code == "U " || code == "S "; }

PageAddress AddressOf(const PageRef& ref) { return {ref.fileId, ref.pageIndex}; }

// The text of the sql_variant value a column added with a default stands
// for in older records; binary values as "0x" and hex digits, as a binary
// column shows them. Character values decode by the collation the variant
// carries; without the run's collation table they take the 8-bit default.
std::string AddedColumnValueText(std::span<const uint8_t> value) {
  constexpr uint8_t kVarbinaryBase = 165;
  constexpr uint8_t kBinaryBase = 173;
  constexpr size_t kBinaryHeader = 4;  // base type, version, maximum length
  if (!value.empty() && (value[0] == kVarbinaryBase || value[0] == kBinaryBase)) {
    return value.size() > kBinaryHeader ? "0x" + HexText(value.subspan(kBinaryHeader)) : "0x";
  }
  TypeInfo info;
  return DecodeVariant(info, static_cast<int32_t>(value.size()), value, ValueDecodeOptions{});
}

// The type codes whose values the decoder reads from the variable-length
// part of the record.
bool IsVariableLengthCode(int32_t code) {
  using namespace type_code;
  switch (code) {
    case kNvarchar: case kUniqueIdentifier: case kVarbinary: case kVarchar: case kSystemType232:
    case kNtext: case kSqlVariant: case kImage: case kText: case kHierarchyId: case kGeometry:
    case kClrType: case kXml:
      return true;
    default:
      return code > kXml;
  }
}

// The type codes whose type text carries a declared length the decoder
// uses.
bool CarriesDeclaredLength(int32_t code) {
  using namespace type_code;
  switch (code) {
    case kBinary: case kChar: case kNchar: case kNvarchar: case kSystemType232: case kNtext:
    case kNumeric: case kDecimal: case kText: case kClrType: case kXml:
      return true;
    default:
      return false;
  }
}

// A descriptor as built from a type name, length and system type: the
// internal type code, the variable-length flag and the declared length.
ColumnDescriptor MakeDescriptor(std::string name, const std::string& type_name,
                                int32_t max_length, uint8_t system_type_id) {
  using namespace type_code;
  ColumnDescriptor d;
  d.name = std::move(name);
  SetTypeText(d, type_name + "(" + std::to_string(max_length) + ")");
  int32_t code = system_type_id == kSystemTypeImage ? kImage : TypeCodeFromSystemType(system_type_id);
  if (code == kSystemType232) {
    code = kNvarchar;
  } else if (code == kHierarchyId || code == kGeometry || code > kXml) {
    code = kVarchar;
  }
  d.typeCode = code;
  d.variableLength = IsVariableLengthCode(code);
  d.declaredLength = CarriesDeclaredLength(code) ? static_cast<int16_t>(d.maxLength) : 0;
  return d;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The stored values of one object, looked up by sub-object id. The entries
// of the object are picked out of the list on the first lookup only, since
// most tables have no column that needs one.
class StoredValueLookup {
 public:
  StoredValueLookup(const std::vector<ObjectValueEntry>& values, int32_t object_id)
      : values_(values), objectIdText_(std::to_string(object_id)) {}

  // Replaces `cell_text` with the decoded values stored for sub-object
  // `sub_id`, concatenated in list order, when there is at least one.
  void Apply(int32_t sub_id, std::string& cell_text) {
    if (!built_) Build();
    auto it = bySubObject_.find(std::to_string(sub_id));
    if (it == bySubObject_.end()) return;
    std::string text;
    for (const ObjectValueEntry* entry : it->second) text += DecodeObjectValueText(entry->value);
    cell_text = std::move(text);
  }

 private:
  void Build() {
    built_ = true;
    for (const ObjectValueEntry& entry : values_) {
      if (entry.objectId == objectIdText_ && !entry.value.empty()) {
        bySubObject_[entry.subObjectId].push_back(&entry);
      }
    }
  }

  const std::vector<ObjectValueEntry>& values_;
  std::string objectIdText_;
  bool built_ = false;
  std::unordered_map<std::string, std::vector<const ObjectValueEntry*>> bySubObject_;
};

// An index column of one of the table's key indexes, with that index's
// status (which says primary key, unique index or unique constraint).
struct KeyIndexColumn {
  const IndexColumnRow* row = nullptr;
  int32_t indexStatus = 0;
};

// Positions of the descriptors by column id, in list order.
std::unordered_map<int32_t, std::vector<size_t>> PositionsByColumnId(
    const std::vector<ColumnDescriptor>& descriptors, size_t count) {
  std::unordered_map<int32_t, std::vector<size_t>> positions;
  for (size_t i = 0; i < count; ++i) positions[descriptors[i].columnId].push_back(i);
  return positions;
}

// The first position of `column_id`, or nullptr.
const size_t* FirstPosition(const std::unordered_map<int32_t, std::vector<size_t>>& positions,
                            int32_t column_id) {
  auto it = positions.find(column_id);
  return it == positions.end() ? nullptr : &it->second.front();
}

// One ResolveObject call. Each step reads the catalog through its index and
// writes catalog.current.
class ObjectResolver {
 public:
  ObjectResolver(SystemCatalog& catalog, const CDatabaseFile& file, bool is_sql2000,
                 const std::vector<ObjectValueEntry>& object_values, StopToken stop)
      : catalog_(catalog),
        index_(IndexCatalog(catalog)),
        current_(catalog.current),
        file_(file),
        isSql2000_(is_sql2000),
        objectValues_(object_values),
        stop_(stop) {}

  std::vector<ColumnDescriptor> Resolve(const std::string& name, const std::string& type_code) {
    current_.descriptors.clear();
    if (Aborted()) return {};
    const ObjectRow* object = FindObject(name, type_code);
    if (object == nullptr) return {};
    current_.object = *object;
    storedValues_.emplace(objectValues_, TableId());
    ListChildren();
    if (IsSummaryTypeCode(current_.object.typeCode)) return Summary();

    current_.foundFlag = false;
    ClearWorkingLists();
    const int32_t table_id = current_.object.objectId;
    if (isSql2000_) {
      // The 2000 layout has no rowsets in the catalog: the table's data
      // pages are the pages that carry its object id.
      AppendDataPages(table_id);
    } else {
      current_.pageDeduplication = false;
      ChooseRowset();
      ChooseAllocUnit();
      ListTableRowsets();
      ListTableAllocUnits();
      for (const AllocUnitRow& unit : current_.tableAllocUnits) {
        if (Aborted()) break;
        AppendDataPages(unit.pageKey());
      }
      if (current_.pageList.empty()) AppendDataPages(table_id);
    }
    if (Aborted()) return current_.descriptors;

    CollectColumnRows();
    if (!isSql2000_) CollectLayoutRows();
    CollectKeyIndexColumns();
    if (Aborted()) return current_.descriptors;
    BuildDescriptors();
    if (Aborted()) return current_.descriptors;
    SortByColumnId();
    ApplyRowsetColumns();
    const bool has_hobt_rows = !current_.hobtColumns.empty();
    if (current_.rowsetColumns.empty() && !has_hobt_rows) {
      for (ColumnDescriptor& d : current_.descriptors) d.present = true;
    }
    if (has_hobt_rows) ApplyHobtColumns();
    if (Aborted()) return current_.descriptors;

    std::vector<ColumnDescriptor> working = current_.descriptors;
    if (has_hobt_rows) {
      LendHobtLayout(working);
    } else {
      MarkColumnsWithoutData(working);
    }
    ApplyKeyFlags(working);
    ApplyForeignKeyFlags(working);

    current_.descriptors = std::move(working);
    current_.firstLiveColumn = 0;
    for (size_t i = 0; i < current_.descriptors.size(); ++i) {
      if (current_.descriptors[i].ordinal != kNoStoredDataOrdinal) {
        current_.firstLiveColumn = static_cast<int32_t>(i);
        break;
      }
    }
    current_.foundFlag = true;
    return current_.descriptors;
  }

 private:
  bool Aborted() const { return stop_.stopRequested(); }
  int32_t TableId() const { return current_.object.objectId; }

  // The first object row with the name whose type code is the requested one
  // or any code but a table's.
  const ObjectRow* FindObject(const std::string& name, const std::string& type_code) const {
    for (uint32_t pos : CatalogIndex::Find(index_.objectsByName, name)) {
      const ObjectRow& row = catalog_.objects[pos];
      if (row.typeCode == type_code || !IsTableTypeCode(row.typeCode)) return &row;
    }
    return nullptr;
  }

  void ListChildren() {
    current_.children.clear();
    for (uint32_t pos : CatalogIndex::Find(index_.objectsByParent, TableId())) {
      const ObjectRow& child = catalog_.objects[pos];
      TableChildEntry& entry = current_.children.emplace_back();
      entry.isPrimaryKey = child.typeCode == "PK";
      entry.isForeignKey = child.typeCode == "F ";
      entry.isUnique = child.typeCode == "UQ";
      entry.name = child.name;
      entry.objectId = isSql2000_ ? TableId() : child.objectId;
      entry.typeCode = child.typeCode;
    }
  }

  std::vector<ColumnDescriptor> Summary() {
    current_.foundFlag = false;
    for (std::string text : {std::to_string(TableId()), current_.object.typeCode,
                             current_.object.name}) {
      current_.descriptors.emplace_back().constantText = std::move(text);
    }
    return current_.descriptors;
  }

  void ClearWorkingLists() {
    current_.listedPages.clear();
    current_.pageList.clear();
    current_.tableRowsets.clear();
    current_.tableAllocUnits.clear();
    current_.tableColumns.clear();
    current_.tableLegacyColumns.clear();
    current_.rowsetColumns.clear();
    current_.hobtColumns.clear();
    current_.rowsetColumnMaps.clear();
  }

  static RowsetRow RowsetFromIndex(const IndexRow& index) {
    RowsetRow rowset;
    rowset.rowsetId = static_cast<uint64_t>(index.rowsetId);
    rowset.objectId = index.objectId;
    rowset.status = index.status;
    return rowset;
  }

  // The rowset that holds the table's data: the heap (index id 0) or the
  // clustered index (1), the later row on a tie. Without one, the first of
  // the table's index rows that names a rowset stands in for it; its pages
  // may then also be found under the rowset id, so the page list skips
  // pages listed twice.
  void ChooseRowset() {
    const RowsetRow* best = nullptr;
    const RowsetRow* last = nullptr;
    for (uint32_t pos : CatalogIndex::Find(index_.rowsetsByObject, TableId())) {
      const RowsetRow& row = catalog_.rowsets[pos];
      current_.foundFlag = true;
      last = &row;
      if (row.indexId <= 1 && (best == nullptr || row.indexId <= best->indexId)) best = &row;
    }
    if (best != nullptr) {
      current_.rowset = *best;
      return;
    }
    for (uint32_t pos : CatalogIndex::Find(index_.indexesByObject, TableId())) {
      const IndexRow& index = catalog_.indexes[pos];
      if (index.rowsetId != 0) {
        current_.rowset = RowsetFromIndex(index);
        current_.pageDeduplication = true;
        return;
      }
    }
    current_.rowset = last != nullptr ? *last : RowsetRow{};
  }

  // The in-row data unit of the rowset (the last one listed). A unit that
  // names no page holds none: the table is empty. Only when the catalog has
  // no such unit is the rowset taken to stand for it, its pages carrying
  // the page key of the rowset id; not when that id is the id of a unit
  // the catalog lists, whose pages are that unit's (aspnetdb-2008: the
  // rowset of the empty aspnet_Profile has the id of aspnet_Applications'
  // data unit).
  void ChooseAllocUnit() {
    const AllocUnitRow* chosen = nullptr;
    for (uint32_t pos : CatalogIndex::Find(index_.allocUnitsByOwner, current_.rowset.rowsetId)) {
      const AllocUnitRow& unit = catalog_.allocUnits[pos];
      if (unit.type == kAllocUnitInRowData) chosen = &unit;
    }
    AllocUnitRow& unit = current_.allocUnit;
    unit = chosen != nullptr ? *chosen : AllocUnitRow{};
    if (chosen != nullptr) {
      if (unit.namesNoPage()) return;
      auto it = file_.dataPages().find(unit.pageKey());
      if (it != file_.dataPages().end() && !it->second.empty()) {
        unit.firstPage = AddressOf(it->second.back());
      }
      return;
    }
    if (!CatalogIndex::Find(index_.allocUnitsById, current_.rowset.rowsetId).empty()) return;
    unit.allocUnitId = current_.rowset.rowsetId;
    unit.ownerId = current_.rowset.rowsetId;
    const int32_t key = unit.pageKey();
    if (auto it = file_.dataPages().find(key); it != file_.dataPages().end()) {
      for (const PageRef& ref : it->second) {
        current_.pageDeduplication = true;
        if (ref.pageType == kPageTypeData) unit.firstPage = AddressOf(ref);
      }
    }
    if (auto it = file_.iamPages().find(key); it != file_.iamPages().end()) {
      for (const PageRef& ref : it->second) {
        current_.pageDeduplication = true;
        if (ref.pageType == kPageTypeIam) unit.firstIamPage = AddressOf(ref);
      }
    }
  }

  void ListTableRowsets() {
    for (uint32_t pos : CatalogIndex::Find(index_.rowsetsByObject, TableId())) {
      current_.tableRowsets.push_back(catalog_.rowsets[pos]);
    }
    if (!current_.tableRowsets.empty()) return;
    for (uint32_t pos : CatalogIndex::Find(index_.indexesByObject, TableId())) {
      const IndexRow& index = catalog_.indexes[pos];
      if (index.rowsetId != 0) current_.tableRowsets.push_back(RowsetFromIndex(index));
    }
  }

  void ListTableAllocUnits() {
    std::vector<AllocUnitRow>& units = current_.tableAllocUnits;
    for (const RowsetRow& rowset : current_.tableRowsets) {
      for (uint32_t pos : CatalogIndex::Find(index_.allocUnitsByOwner, rowset.rowsetId)) {
        units.push_back(catalog_.allocUnits[pos]);
      }
    }
    if (!current_.pageDeduplication || !units.empty()) return;
    for (const RowsetRow& rowset : current_.tableRowsets) {
      for (uint32_t pos : CatalogIndex::Find(index_.allocUnitsById, rowset.rowsetId)) {
        units.push_back(catalog_.allocUnits[pos]);
      }
    }
    if (!units.empty()) return;
    for (const RowsetRow& rowset : current_.tableRowsets) {
      AllocUnitRow& unit = units.emplace_back();
      unit.allocUnitId = rowset.rowsetId;
      unit.ownerId = rowset.rowsetId;
    }
  }

  // Appends the data pages filed under `object_id`, skipping pages already
  // listed when the page de-duplication flag is set.
  void AppendDataPages(int32_t object_id) {
    auto it = file_.dataPages().find(object_id);
    if (it == file_.dataPages().end()) return;
    const bool deduplicate = !isSql2000_ && current_.pageDeduplication;
    for (const PageRef& ref : it->second) {
      if (Aborted()) return;
      if (ref.pageType != kPageTypeData) continue;
      const PageAddress address = AddressOf(ref);
      if (deduplicate && !current_.listedPages.insert(address).second) continue;
      current_.pageList.push_back(address);
    }
  }

  // The table's column rows, one per column id (the first row wins).
  void CollectColumnRows() {
    std::unordered_set<int32_t> column_ids;
    const int32_t key = ColumnTableKey(TableId());
    if (isSql2000_) {
      for (uint32_t pos : CatalogIndex::Find(index_.legacyColumnsByTable, key)) {
        const LegacyColumnRow& row = catalog_.legacyColumns[pos];
        if (column_ids.insert(row.columnId).second) current_.tableLegacyColumns.push_back(row);
      }
      return;
    }
    for (uint32_t pos : CatalogIndex::Find(index_.columnsByTable, key)) {
      const ColumnRow& row = catalog_.columns[pos];
      if (row.number != 0) continue;
      if (column_ids.insert(row.columnId).second) current_.tableColumns.push_back(row);
    }
  }

  // Where the columns sit in the rowset's records: the sysrscols rows, or in
  // a SQL Server 2005 database (which leaves sysrscols empty) the rows of
  // objects 13 and 4, the latter linking each column to its heap or B-tree
  // column id.
  void CollectLayoutRows() {
    const uint64_t rowset_id = current_.rowset.rowsetId;
    for (uint32_t pos : CatalogIndex::Find(index_.rowsetColumnsByRowset, rowset_id)) {
      current_.rowsetColumns.push_back(catalog_.rowsetColumns[pos]);
    }
    if (!current_.rowsetColumns.empty()) return;
    std::unordered_map<int32_t, std::vector<size_t>> hobt_by_column;
    for (uint32_t pos : CatalogIndex::Find(index_.hobtColumnsByHobt, rowset_id)) {
      hobt_by_column[catalog_.hobtColumns[pos].columnId].push_back(current_.hobtColumns.size());
      current_.hobtColumns.push_back(catalog_.hobtColumns[pos]);
    }
    for (uint32_t pos : CatalogIndex::Find(index_.rowsetColumnMapsByRowset, rowset_id)) {
      const RowsetColumnMapRow& map = catalog_.rowsetColumnMaps[pos];
      current_.rowsetColumnMaps.push_back(map);
      auto it = hobt_by_column.find(map.rowsetColumnId);
      if (it == hobt_by_column.end()) continue;
      for (size_t i : it->second) current_.hobtColumns[i].linkedColumnId = map.hobtColumnId;
    }
  }

  // The index columns of the table's key indexes (status bit 0 set, index
  // id above 0), once per key index, in key index order.
  void CollectKeyIndexColumns() {
    std::unordered_map<int32_t, std::vector<const IndexColumnRow*>> columns_by_index;
    for (uint32_t pos : CatalogIndex::Find(index_.indexColumnsByObject, TableId())) {
      const IndexColumnRow& row = catalog_.indexColumns[pos];
      columns_by_index[row.indexId].push_back(&row);
    }
    for (uint32_t pos : CatalogIndex::Find(index_.indexesByObject, TableId())) {
      const IndexRow& index = catalog_.indexes[pos];
      if ((index.status & kIndexKey) == 0 || index.indexId <= 0) continue;
      auto it = columns_by_index.find(index.indexId);
      if (it == columns_by_index.end()) continue;
      for (const IndexColumnRow* row : it->second) keyColumns_.push_back({row, index.status});
    }
  }

  // The scalar type row of a column: the first row of the system type id,
  // or, preferred, the first that is also the user type id, of the same
  // system type, in the sys schema.
  const ScalarTypeRow* FindScalarType(uint8_t system_type_id, int32_t user_type_id) const {
    const ScalarTypeRow* first = nullptr;
    for (uint32_t pos : CatalogIndex::Find(index_.scalarTypesById, int32_t{system_type_id})) {
      const ScalarTypeRow& type = catalog_.scalarTypes[pos];
      if (first == nullptr) first = &type;
      if (type.typeId == user_type_id && type.systemTypeId == system_type_id &&
          type.schemaId == kSchemaSys) {
        return &type;
      }
    }
    return first;
  }

  // Without a scalar type row (SQL Server 2000 files have none), the
  // built-in type of the system type id names the column.
  std::string TypeName(uint8_t system_type_id, int32_t user_type_id) const {
    const ScalarTypeRow* type = FindScalarType(system_type_id, user_type_id);
    if (type != nullptr && !type->name.empty()) return type->name;
    return BuiltInTypeName(system_type_id, user_type_id);
  }

  // One descriptor per column row with a system type (id 0 gives none).
  void BuildDescriptors() {
    std::vector<ColumnDescriptor>& out = current_.descriptors;
    for (const ColumnRow& row : current_.tableColumns) {
      if (Aborted()) return;
      if (row.systemTypeId == 0) continue;
      ColumnDescriptor d = MakeDescriptor(row.name, TypeName(row.systemTypeId, row.userTypeId),
                                          row.maxLength, row.systemTypeId);
      if (d.typeCode == type_code::kClrType) {
        if (row.userTypeId == kUserTypeGeometry) d.typeCode = type_code::kGeometry;
        if (row.userTypeId == kUserTypeHierarchyId) d.typeCode = type_code::kHierarchyId;
      }
      d.nullable = (row.status & kColumnNotNull) == 0;
      d.sparse = (row.status & kColumnSparse) != 0;
      d.flagBit3 = (row.status & kColumnFlagBit3) != 0;
      d.columnId = row.columnId;
      d.ordinal = row.columnId;
      d.precision = row.precision;
      d.scale = row.scale;
      d.collationId = row.collationId;
      d.identityText = row.identityText;
      out.push_back(std::move(d));
    }
    for (const LegacyColumnRow& row : current_.tableLegacyColumns) {
      if (Aborted()) return;
      if (row.systemTypeId == 0) continue;
      ColumnDescriptor d = MakeDescriptor(row.name, TypeName(row.systemTypeId, row.userTypeId),
                                          row.length, row.systemTypeId);
      d.nullable = (row.typeStatus & kLegacyColumnNotNull) == 0;
      d.columnId = row.columnId;
      d.ordinal = row.columnId;
      d.precision = row.precision;
      d.scale = row.scale;
      d.collationId = row.collationId;
      // syscolumns' stored offset: the byte offset of a fixed value, or the
      // negative position of a variable one.
      d.leafOffset = row.storedOffset;
      d.secondOffset = row.storedOffset;
      out.push_back(std::move(d));
    }
  }

  // Column ids are unique in the list (one column row per id), so a stable
  // sort puts the descriptors where a selection sort would.
  void SortByColumnId() {
    std::stable_sort(current_.descriptors.begin(), current_.descriptors.end(),
                     [](const ColumnDescriptor& a, const ColumnDescriptor& b) {
                       return a.columnId < b.columnId;
                     });
  }

  void ApplyRowsetColumns() {
    if (current_.rowsetColumns.empty()) return;
    std::vector<ColumnDescriptor>& list = current_.descriptors;
    const auto positions = PositionsByColumnId(list, list.size());
    for (const RowsetColumnRow& row : current_.rowsetColumns) {
      const size_t* pos = FirstPosition(positions, row.rowsetColumnId);
      if (pos == nullptr) continue;
      ColumnDescriptor& d = list[*pos];
      d.leafOffset = static_cast<int16_t>(row.offset & 0xFFFF);
      d.ordinal = row.hobtColumnId;
      d.nullBit = row.nullBit & kNullBitMask;
      d.present = true;
    }
    for (const AddedColumnValueRow& row : catalog_.addedColumnValues) {
      if (row.rowsetId != current_.rowset.rowsetId) continue;
      if (row.rowsetColumnId < 0 || row.rowsetColumnId > std::numeric_limits<int32_t>::max()) continue;
      const size_t* pos = FirstPosition(positions, static_cast<int32_t>(row.rowsetColumnId));
      if (pos == nullptr) continue;
      list[*pos].addedColumnValue = AddedColumnValueText(row.value);
      list[*pos].addedColumnVariant = row.value;
    }
  }

  // SQL Server 2005 layout rows. A row without a matching column (a column
  // the catalog no longer lists) becomes a placeholder without stored data
  // while the list is shorter than the layout.
  void ApplyHobtColumns() {
    std::vector<ColumnDescriptor>& list = current_.descriptors;
    const size_t n = list.size();
    const auto positions = PositionsByColumnId(list, n);
    for (const HobtColumnRow& row : current_.hobtColumns) {
      if (const size_t* pos = FirstPosition(positions, row.columnId)) {
        ColumnDescriptor& d = list[*pos];
        d.leafOffset = row.leafOffset;
        d.nullBit = row.nullBit;
        d.ordinal = row.linkedColumnId;
        d.present = true;
        continue;
      }
      ColumnDescriptor placeholder;
      placeholder.columnId = row.columnId;
      placeholder.leafOffset = row.leafOffset;
      placeholder.nullBit = row.nullBit;
      if (n != 0) {
        placeholder.ordinal = kNoStoredDataOrdinal;
        storedValues_->Apply(row.columnId, placeholder.constantText);
      }
      if (list.size() != current_.hobtColumns.size()) list.push_back(std::move(placeholder));
    }
  }

  // SQL Server 2005 layout: each column takes leaf offset and null bit from
  // the column whose id is its ordinal (its heap or B-tree column id).
  void LendHobtLayout(std::vector<ColumnDescriptor>& working) {
    const std::vector<ColumnDescriptor>& list = current_.descriptors;
    const auto positions = PositionsByColumnId(list, list.size());
    for (ColumnDescriptor& d : working) {
      if (const size_t* pos = FirstPosition(positions, d.ordinal)) {
        d.leafOffset = list[*pos].leafOffset;
        d.nullBit = list[*pos].nullBit;
      } else {
        storedValues_->Apply(d.ordinal, d.constantText);
      }
    }
  }

  // A column without a layout row has no stored data; its text is the
  // stored value of the column (a default or a computed definition).
  void MarkColumnsWithoutData(std::vector<ColumnDescriptor>& working) {
    for (ColumnDescriptor& d : working) {
      if (d.present) continue;
      const int32_t column_id = d.ordinal;
      d.ordinal = kNoStoredDataOrdinal;
      storedValues_->Apply(column_id, d.constantText);
    }
  }

  void ApplyKeyFlags(std::vector<ColumnDescriptor>& working) const {
    std::unordered_map<int32_t, std::vector<const KeyIndexColumn*>> by_column;
    for (const KeyIndexColumn& key : keyColumns_) by_column[key.row->intProperty].push_back(&key);
    for (ColumnDescriptor& d : working) {
      auto it = by_column.find(d.columnId);
      if (it == by_column.end()) continue;
      for (const KeyIndexColumn* key : it->second) {
        if (key->indexStatus & kIndexPrimaryKey) d.primaryKey = true;
        if (key->indexStatus & kIndexUnique) d.uniqueIndex = true;
        if (key->indexStatus & kIndexUniqueConstraint) {
          d.uniqueConstraint = true;
          d.keyOrderByte = key->row->tinyProperty1;
        }
      }
    }
  }

  void ApplyForeignKeyFlags(std::vector<ColumnDescriptor>& working) const {
    const auto entries = CatalogIndex::Find(index_.foreignKeysByParentTable, TableId());
    if (entries.empty()) return;
    const auto positions = PositionsByColumnId(working, working.size());
    for (uint32_t pos : entries) {
      const ForeignKeyColumnEntry& entry = catalog_.foreignKeyColumns[pos];
      if (entry.referencedTableName.empty() || entry.referencedColumnName.empty()) continue;
      auto it = positions.find(entry.parentColumnId);
      if (it == positions.end()) continue;
      for (size_t i : it->second) {
        working[i].foreignKey = true;
        working[i].referencedTable = entry.referencedTableName;
        working[i].referencedColumn = entry.referencedColumnName;
      }
    }
  }

  SystemCatalog& catalog_;
  const CatalogIndex& index_;
  CurrentTable& current_;
  const CDatabaseFile& file_;
  const bool isSql2000_;
  const std::vector<ObjectValueEntry>& objectValues_;
  StopToken stop_;
  std::optional<StoredValueLookup> storedValues_;  // of the found object
  std::vector<KeyIndexColumn> keyColumns_;
};

}  // namespace

std::string DecodeObjectValueText(std::string_view hex_text) {
  std::vector<uint8_t> bytes;
  if (hex_text.size() > 2) bytes.reserve((hex_text.size() - 2) / 2);
  for (size_t i = 2; i + 1 < hex_text.size(); i += 2) {
    const int high = HexDigit(hex_text[i]);
    const int low = HexDigit(hex_text[i + 1]);
    if (high < 0 || low < 0) break;
    bytes.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  const bool wide = bytes.size() > 1 && std::find(bytes.begin() + 1, bytes.end(), 0) != bytes.end();
  if (wide) {
    size_t end = 0;
    while (end + 1 < bytes.size() && (bytes[end] != 0 || bytes[end + 1] != 0)) end += 2;
    return Utf16LeToUtf8(std::span<const uint8_t>(bytes.data(), end));
  }
  const size_t end = bytes.empty() || bytes[0] != 0 ? bytes.size() : 0;
  return CodePageToUtf8(std::span<const uint8_t>(bytes.data(), end), kSingleByteValueCodePage);
}

std::vector<ColumnDescriptor> ResolveObject(SystemCatalog& catalog, const CDatabaseFile& file,
                                            bool isSql2000, const std::string& name,
                                            const std::string& typeCode,
                                            const std::vector<ObjectValueEntry>& objectValues,
                                            StopToken stop) {
  ObjectResolver resolver(catalog, file, isSql2000, objectValues, stop);
  return resolver.Resolve(name, typeCode);
}

}  // namespace quill
