#include "catalog/catalog_index.h"

#include <memory>

#include "catalog/system_catalog.h"

namespace quill {

namespace {

std::vector<size_t> ListSizes(const SystemCatalog& c) {
  return {c.objects.size(),      c.rowsets.size(),      c.indexes.size(),
          c.indexColumns.size(), c.allocUnits.size(),   c.columns.size(),
          c.legacyColumns.size(), c.scalarTypes.size(), c.rowsetColumns.size(),
          c.hobtColumns.size(),  c.rowsetColumnMaps.size(), c.foreignKeyColumns.size()};
}

template <typename Row, typename Key, typename KeyOf>
void Group(const std::vector<Row>& rows, CatalogIndex::Groups<Key>& groups, KeyOf key_of) {
  for (size_t i = 0; i < rows.size(); ++i) {
    groups[key_of(rows[i])].push_back(static_cast<uint32_t>(i));
  }
}

std::shared_ptr<const CatalogIndex> BuildIndex(const SystemCatalog& c) {
  auto index = std::make_shared<CatalogIndex>();
  Group(c.objects, index->objectsByName, [](const ObjectRow& r) { return r.name; });
  Group(c.objects, index->objectsByParent, [](const ObjectRow& r) { return r.parentObjectId; });
  Group(c.rowsets, index->rowsetsByObject, [](const RowsetRow& r) { return r.objectId; });
  Group(c.indexes, index->indexesByObject, [](const IndexRow& r) { return r.objectId; });
  Group(c.indexColumns, index->indexColumnsByObject,
        [](const IndexColumnRow& r) { return r.objectId; });
  Group(c.allocUnits, index->allocUnitsByOwner, [](const AllocUnitRow& r) { return r.ownerId; });
  Group(c.allocUnits, index->allocUnitsById, [](const AllocUnitRow& r) { return r.allocUnitId; });
  Group(c.columns, index->columnsByTable,
        [](const ColumnRow& r) { return ColumnTableKey(r.objectId); });
  Group(c.legacyColumns, index->legacyColumnsByTable,
        [](const LegacyColumnRow& r) { return ColumnTableKey(r.objectId); });
  Group(c.scalarTypes, index->scalarTypesById, [](const ScalarTypeRow& r) { return r.typeId; });
  Group(c.rowsetColumns, index->rowsetColumnsByRowset,
        [](const RowsetColumnRow& r) { return r.rowsetId; });
  Group(c.hobtColumns, index->hobtColumnsByHobt, [](const HobtColumnRow& r) { return r.hobtId; });
  Group(c.rowsetColumnMaps, index->rowsetColumnMapsByRowset,
        [](const RowsetColumnMapRow& r) { return r.rowsetId; });
  Group(c.foreignKeyColumns, index->foreignKeysByParentTable,
        [](const ForeignKeyColumnEntry& e) { return e.parentTableId; });
  index->builtFrom = ListSizes(c);
  return index;
}

}  // namespace

const CatalogIndex& IndexCatalog(SystemCatalog& catalog) {
  if (catalog.index == nullptr || catalog.index->builtFrom != ListSizes(catalog)) {
    catalog.index = BuildIndex(catalog);
  }
  return *catalog.index;
}

}  // namespace quill
