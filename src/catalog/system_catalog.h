// SystemCatalog: the catalog of one opened database, read from the raw
// system base tables (no server involved), and the state of the object
// resolved last. Lists hold rows in the order they were read; lookups take
// the first match in that order.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "catalog/catalog_rows.h"
#include "catalog/schema_model.h"
#include "catalog/system_table_reader.h"
#include "pages/data_file_entry.h"
#include "records/boot_page.h"

namespace quill {

struct CatalogIndex;

// The state of the last ResolveObject call: the table found, its page list
// and its column descriptors (descriptor i describes column i; the readers
// of its pages expand compressed records against them).
class CurrentTable final {
 public:
  ObjectRow object;           // objectId -1 when nothing was found
  RowsetRow rowset;           // the rowset holding the table's data
  AllocUnitRow allocUnit;     // the in-row data unit of that rowset
  bool foundFlag = false;     // the last table resolution found the table
  int32_t firstLiveColumn = 0;
  bool pageDeduplication = false;
  std::set<PageAddress> listedPages;

  std::vector<RowsetRow> tableRowsets;
  std::vector<AllocUnitRow> tableAllocUnits;
  std::vector<ColumnRow> tableColumns;
  std::vector<LegacyColumnRow> tableLegacyColumns;
  std::vector<RowsetColumnRow> rowsetColumns;
  std::vector<HobtColumnRow> hobtColumns;
  std::vector<RowsetColumnMapRow> rowsetColumnMaps;
  std::vector<TableChildEntry> children;

  std::vector<PageAddress> pageList;
  std::vector<ColumnDescriptor> descriptors;
};

struct SystemCatalog {
  // What the boot page gave (nothing without a boot page, and then why in
  // bootFailure), and whether the catalog was read in the SQL Server 2000
  // layout.
  std::optional<BootPageInfo> boot;
  Status bootFailure;
  bool isSql2000 = false;
  // System table pages that gave none of their records, and why; the rows
  // of the other pages are read.
  std::vector<SystemPageFailure> pageFailures;

  std::vector<DataFileEntry> dataFiles;            // object 8
  std::vector<ObjectRow> objects;                  // object 34, else 1
  std::vector<AllocUnitRow> allocUnits;            // object 7
  std::vector<RowsetRow> rowsets;                  // object 5
  std::vector<ColumnRow> columns;                  // objects 41, 2187
  std::map<int32_t, LegacyIndexEntry> legacyIndexes;  // object 2 (SQL Server 2000)
  std::vector<LegacyTable> legacyTables;           // derived (SQL Server 2000)
  std::vector<LegacyColumnRow> legacyColumns;      // object 3 (SQL Server 2000)
  std::vector<ScalarTypeRow> scalarTypes;          // object 50
  std::vector<RowsetColumnRow> rowsetColumns;      // object 3
  std::vector<ObjectRefRow> objectRefs;            // object 74
  std::vector<IndexRow> indexes;                   // object 54
  std::vector<IndexColumnRow> indexColumns;        // object 55
  std::vector<HobtColumnRow> hobtColumns;          // object 13 (SQL Server 2005)
  std::vector<RowsetColumnMapRow> rowsetColumnMaps;  // object 4 (SQL Server 2005)
  std::vector<AddedColumnValueRow> addedColumnValues;  // object 9

  std::vector<ForeignKeyColumnEntry> foreignKeyColumns;
  CurrentTable current;

  // Row positions by id for object resolution (catalog/catalog_index.h),
  // built on first use and rebuilt when a list's size has changed.
  std::shared_ptr<const CatalogIndex> index;

  // Empties every list (before the file set is discarded).
  void Clear() { *this = SystemCatalog(); }
};

}  // namespace quill
