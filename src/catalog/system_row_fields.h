// Binds each system table layout to the catalog row its records decode
// into: one row member per fixed field, in layout order. The catalog
// decoders read rows through these bindings and the fixture writes records
// through the same ones, so a field's place is stated once.
#pragma once

#include <cstddef>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "catalog/catalog_rows.h"
#include "catalog/system_table_layouts.h"
#include "pages/data_file_entry.h"
#include "pages/page_address.h"

namespace quill::system_tables {

template <typename Row, typename... Members>
struct RowFields {
  using RowType = Row;

  const SystemTableLayout* layout;
  std::tuple<Members Row::*...> members;  // member i holds layout->fixed[i]

  // Calls visit(field, member pointer) for every field, in layout order.
  template <typename Visit>
  constexpr void ForEach(Visit&& visit) const {
    [&]<size_t... I>(std::index_sequence<I...>) {
      (visit(layout->fixed[I], std::get<I>(members)), ...);
    }(std::index_sequence_for<Members...>{});
  }
};

namespace detail {

// Whether a member of type T can hold `field`: integers at least as wide as
// the stored one, text for type codes and padded text, a page address for
// an address.
template <typename T>
constexpr bool CanHold(const FixedField& field) {
  switch (field.kind) {
    case FieldKind::kUnsigned:
    case FieldKind::kSigned:
      return std::is_integral_v<T> && field.width >= 1 && field.width <= sizeof(T);
    case FieldKind::kLow16OrNone:
      return std::is_integral_v<T> && std::is_signed_v<T> && sizeof(T) >= 4 && field.width == 4;
    case FieldKind::kTypeCode:
      return std::is_same_v<T, std::string> && field.width == 2;
    case FieldKind::kPaddedText:
      return std::is_same_v<T, std::string> && field.width % 2 == 0;
    case FieldKind::kPageAddress:
      return std::is_same_v<T, PageAddress> && field.width == 6;
  }
  return false;
}

}  // namespace detail

// Does not compile unless `members` names one member per field of `layout`
// and each member can hold its field.
template <typename Row, typename... Members>
consteval RowFields<Row, Members...> Bind(const SystemTableLayout& layout, Members Row::*... members) {
  if (layout.fixed.size() != sizeof...(Members)) throw "one row member per fixed field";
  size_t i = 0;
  if (!(detail::CanHold<Members>(layout.fixed[i++]) && ...)) throw "a member that cannot hold its field";
  if (layout.keepField != kNoField && layout.keepField >= layout.fixed.size()) throw "keep field out of range";
  return {&layout, {members...}};
}

inline constexpr auto kDataFileFields =
    Bind(kSysFiles1Layout, &DataFileEntry::status, &DataFileEntry::fileId,
         &DataFileEntry::logicalName, &DataFileEntry::physicalPath);

inline constexpr auto kObjectFields =
    Bind(kSysSchObjsLayout, &ObjectRow::objectId, &ObjectRow::schemaId, &ObjectRow::nameSpaceClass,
         &ObjectRow::status, &ObjectRow::typeCode, &ObjectRow::parentObjectId,
         &ObjectRow::parentClass, &ObjectRow::intProperty);

inline constexpr auto kObject2000Fields =
    Bind(kSysObjects2000Layout, &ObjectRow::objectId, &ObjectRow::schemaId,
         &ObjectRow::nameSpaceClass, &ObjectRow::status, &ObjectRow::typeCode,
         &ObjectRow::parentObjectId, &ObjectRow::parentClass, &ObjectRow::intProperty);

inline constexpr auto kAllocUnitFields =
    Bind(kSysAllocUnitsLayout, &AllocUnitRow::allocUnitId, &AllocUnitRow::type,
         &AllocUnitRow::ownerId, &AllocUnitRow::status, &AllocUnitRow::filegroupId,
         &AllocUnitRow::firstPage, &AllocUnitRow::rootPage, &AllocUnitRow::firstIamPage);

inline constexpr auto kRowsetFields =
    Bind(kSysRowsetsLayout, &RowsetRow::rowsetId, &RowsetRow::ownerType, &RowsetRow::objectId,
         &RowsetRow::indexId, &RowsetRow::partitionNumber, &RowsetRow::status,
         &RowsetRow::filegroupId, &RowsetRow::rowCount);

inline constexpr auto kColumnFields =
    Bind(kSysColParsLayout, &ColumnRow::objectId, &ColumnRow::number, &ColumnRow::columnId,
         &ColumnRow::systemTypeId, &ColumnRow::userTypeId, &ColumnRow::maxLength,
         &ColumnRow::precision, &ColumnRow::scale, &ColumnRow::collationId, &ColumnRow::status,
         &ColumnRow::maxInRowLength, &ColumnRow::xmlCollectionId, &ColumnRow::defaultObjectId,
         &ColumnRow::checkObjectId);

inline constexpr auto kScalarTypeFields =
    Bind(kSysScalarTypesLayout, &ScalarTypeRow::typeId, &ScalarTypeRow::schemaId,
         &ScalarTypeRow::systemTypeId, &ScalarTypeRow::length, &ScalarTypeRow::precision,
         &ScalarTypeRow::scale, &ScalarTypeRow::collationId, &ScalarTypeRow::status,
         &ScalarTypeRow::furtherValueA, &ScalarTypeRow::furtherValueB);

inline constexpr auto kRowsetColumnFields =
    Bind(kSysRsColsLayout, &RowsetColumnRow::rowsetId, &RowsetColumnRow::rowsetColumnId,
         &RowsetColumnRow::hobtColumnId, &RowsetColumnRow::modificationCounter,
         &RowsetColumnRow::typeInfo, &RowsetColumnRow::collationId, &RowsetColumnRow::orderKey,
         &RowsetColumnRow::maxInRowLength, &RowsetColumnRow::status, &RowsetColumnRow::offset,
         &RowsetColumnRow::nullBit, &RowsetColumnRow::bitPosition);

inline constexpr auto kAddedColumnValueFields =
    Bind(kSysSeObjValuesLayout, &AddedColumnValueRow::valueClass, &AddedColumnValueRow::rowsetId,
         &AddedColumnValueRow::rowsetColumnId, &AddedColumnValueRow::valueNumber);

inline constexpr auto kObjectRefFields =
    Bind(kSysSingleObjRefsLayout, &ObjectRefRow::objectClass, &ObjectRefRow::dependentId,
         &ObjectRefRow::dependentSubId, &ObjectRefRow::independentId,
         &ObjectRefRow::independentSubId, &ObjectRefRow::status);

inline constexpr auto kIndexFields =
    Bind(kSysIdxStatsLayout, &IndexRow::objectId, &IndexRow::indexId, &IndexRow::status,
         &IndexRow::intProperty, &IndexRow::fillFactor, &IndexRow::indexType,
         &IndexRow::tinyProperty, &IndexRow::dataSpaceId, &IndexRow::lobDataSpaceId,
         &IndexRow::rowsetId);

inline constexpr auto kIndexColumnFields =
    Bind(kSysIsColsLayout, &IndexColumnRow::objectId, &IndexColumnRow::indexId,
         &IndexColumnRow::subId, &IndexColumnRow::status, &IndexColumnRow::intProperty,
         &IndexColumnRow::tinyProperty1, &IndexColumnRow::tinyProperty2);

inline constexpr auto kRowsetColumnMapFields =
    Bind(kSysRowsetColumnMapLayout, &RowsetColumnMapRow::rowsetId,
         &RowsetColumnMapRow::rowsetColumnId, &RowsetColumnMapRow::hobtColumnId);

inline constexpr auto kHobtColumnFields =
    Bind(kSysHobtColumnsLayout, &HobtColumnRow::hobtId, &HobtColumnRow::columnId,
         &HobtColumnRow::leafOffset, &HobtColumnRow::nullBit);

// Both file ids of a sysindexes row land in fileId; the reader then takes
// the file of the page that holds the row.
inline constexpr auto kLegacyIndexFields =
    Bind(kSysIndexes2000Layout, &LegacyIndexEntry::objectId, &LegacyIndexEntry::firstPageId,
         &LegacyIndexEntry::fileId, &LegacyIndexEntry::indexId, &LegacyIndexEntry::firstIamPageId,
         &LegacyIndexEntry::fileId);

inline constexpr auto kLegacyColumnFields =
    Bind(kSysColumns2000Layout, &LegacyColumnRow::objectId, &LegacyColumnRow::systemTypeId,
         &LegacyColumnRow::typeStatus, &LegacyColumnRow::userTypeId, &LegacyColumnRow::length,
         &LegacyColumnRow::precision, &LegacyColumnRow::scale, &LegacyColumnRow::columnId,
         &LegacyColumnRow::storedOffset, &LegacyColumnRow::bitPosition, &LegacyColumnRow::reserved,
         &LegacyColumnRow::columnStatus, &LegacyColumnRow::defaultObjectId,
         &LegacyColumnRow::domainId, &LegacyColumnRow::number, &LegacyColumnRow::columnOrder,
         &LegacyColumnRow::columnOffset, &LegacyColumnRow::collationId, &LegacyColumnRow::status);

}  // namespace quill::system_tables
