// Positions of catalog rows grouped by the ids object resolution looks them
// up by. Each group keeps its rows in list order, so walking a group gives
// the same rows in the same order as a scan of the whole list that skips the
// rows with another id, and "first match" and "last match" keep their
// meaning. Built once per catalog, on first use, and rebuilt when a list has
// grown or shrunk since (the lists are filled once by the catalog loader and
// then only read).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace quill {

struct SystemCatalog;

// Column rows are matched to their table on the object id with bits 24 and
// 25 cleared.
inline int32_t ColumnTableKey(int32_t object_id) { return object_id & ~0x03000000; }

struct CatalogIndex {
  using Positions = std::vector<uint32_t>;
  template <typename Key>
  using Groups = std::unordered_map<Key, Positions>;

  Groups<std::string> objectsByName;
  Groups<int32_t> objectsByParent;
  Groups<int32_t> rowsetsByObject;
  Groups<int32_t> indexesByObject;
  Groups<int32_t> indexColumnsByObject;
  Groups<uint64_t> allocUnitsByOwner;
  Groups<uint64_t> allocUnitsById;
  Groups<int32_t> columnsByTable;        // ColumnTableKey of the object id
  Groups<int32_t> legacyColumnsByTable;  // ColumnTableKey of the object id
  Groups<int32_t> scalarTypesById;
  Groups<uint64_t> rowsetColumnsByRowset;
  Groups<uint64_t> hobtColumnsByHobt;
  Groups<uint64_t> rowsetColumnMapsByRowset;
  Groups<int32_t> foreignKeysByParentTable;

  // The list sizes the index was built from.
  std::vector<size_t> builtFrom;

  template <typename Key>
  static std::span<const uint32_t> Find(const Groups<Key>& groups, const Key& key) {
    auto it = groups.find(key);
    if (it == groups.end()) return {};
    return it->second;
  }
};

// The index of `catalog`, built now when it is missing or out of date, and
// kept in catalog.index.
const CatalogIndex& IndexCatalog(SystemCatalog& catalog);

}  // namespace quill
