#include "catalog/load_catalog.h"


#include <unordered_map>
#include <unordered_set>

#include "catalog/catalog_row_decoders.h"
#include "catalog/foreign_keys.h"
#include "catalog/system_table_reader.h"
#include "pages/sql_version.h"
#include "records/boot_page.h"
#include "common/printf_text.h"

namespace quill {

namespace {

constexpr int32_t kFirstUserObjectId2000 = 100;
constexpr uint16_t kSql2005Version = 611;
constexpr uint16_t kSql2005VarDecimalVersion = 612;

// Appends every row the decoder keeps from the records of `object_id`.
template <typename Row, typename Decode>
void ReadInto(const CDatabaseFile& file, const RecordParseOptions& parse, int32_t object_id,
              IndexRecords index_records, std::vector<Row>& rows, std::vector<SystemPageFailure>& failures,
              Decode decode) {
  ReadSystemTable(
      file, object_id, index_records, parse,
      [&](const CPrimaryRecord& record, const CDataPage&) {
        if (std::optional<Row> row = decode(record)) rows.push_back(std::move(*row));
      },
      &failures);
}

void ReadLegacyTables(const CDatabaseFile& file, const RecordParseOptions& parse, SystemCatalog& catalog,
                      RepairCounter& repair) {
  ReadSystemTable(file, kSysIndexes2000, IndexRecords::kSkip, parse,
                  [&](const CPrimaryRecord& record, const CDataPage& page) {
                    if (auto entry = DecodeLegacyIndexRow(record, page.header().thisPage.fileId)) {
                      catalog.legacyIndexes[entry->objectId] = *entry;  // the last row wins
                    }
                  },
                  &catalog.pageFailures);
  // Heaps have only an index id 0 row, clustered tables an index id 1 row.
  for (const auto& [object_id, entry] : catalog.legacyIndexes) {
    if (object_id <= kFirstUserObjectId2000) continue;
    LegacyTable table;
    table.objectId = object_id;
    for (const ObjectRow& object : catalog.objects) {
      if (object.objectId == object_id) {
        table.name = object.name;
        break;
      }
    }
    catalog.legacyTables.push_back(std::move(table));
  }
  std::unordered_multimap<int32_t, size_t> tables_by_id;
  for (size_t i = 0; i < catalog.legacyTables.size(); ++i) {
    tables_by_id.emplace(catalog.legacyTables[i].objectId, i);
  }

  repair = {};
  ReadSystemTable(file, kSysColumns2000, IndexRecords::kSkip, parse,
                  [&](const CPrimaryRecord& record, const CDataPage&) {
                    auto column = DecodeLegacyColumnRow(record, repair);
                    if (!column) return;
                    auto [first, last] = tables_by_id.equal_range(column->objectId);
                    std::vector<size_t> owners;
                    for (auto it = first; it != last; ++it) owners.push_back(it->second);
                    std::sort(owners.begin(), owners.end());
                    for (size_t index : owners) {
                      catalog.legacyTables[index].columns.push_back(
                          {column->name, {}, column->columnOrder, column->typeStatus});
                    }
                    catalog.legacyColumns.push_back(std::move(*column));
                  },
                  &catalog.pageFailures);
  repair = {};
}

// Without any object rows, every table that has column rows becomes a user
// table named after its object id. Without sysschobjs and sysobjects the
// load takes the SQL Server 2000 layout, so the column rows are the legacy
// ones then.
void SynthesizeObjects(SystemCatalog& catalog) {
  std::unordered_set<int32_t> known;
  for (const ObjectRow& object : catalog.objects) known.insert(object.objectId);
  const auto add = [&](int32_t object_id) {
    if (!known.insert(object_id).second) return;
    ObjectRow object;
    object.objectId = object_id;
    object.name = std::to_string(object_id);
    object.typeCode = "U ";
    catalog.objects.push_back(std::move(object));
  };
  for (const ColumnRow& column : catalog.columns) add(column.objectId);
  for (const LegacyColumnRow& column : catalog.legacyColumns) add(column.objectId);
}

bool NamesSql2005OrLater(uint16_t version) {
  return version >= kSql2005Version && SqlVersionName(version) != kUnknownSqlVersion;
}

}  // namespace

std::unique_ptr<SystemCatalog> LoadCatalog(CDatabaseFile& file, const ReadOptions& options,
                                           const CollationChoice& collation) {
  auto catalog = std::make_unique<SystemCatalog>();
  // The system tables are read with the run's record options; whether the
  // file is a SQL Server 2000 one is known after the object rows.
  RecordParseOptions parse = options.parse;
  parse.currentTable = nullptr;
  catalog->isSql2000 = parse.isSql2000;
  const auto aborted = [&parse] { return parse.aborted(); };
  RepairCounter repair;

  if (Result<BootPageInfo> boot = ReadBootPage(file, collation)) {
    catalog->boot = std::move(*boot);
  } else {
    catalog->bootFailure = boot.status();
  }
  const uint16_t version = catalog->boot ? catalog->boot->versionNumber : 0;
  if (aborted()) return catalog;

  ReadInto(file, parse, kSysFiles1, IndexRecords::kKeep, catalog->dataFiles, catalog->pageFailures,
           [](const CPrimaryRecord& r) { return DecodeDataFileRow(r); });
  file.LocateSecondaryFiles(catalog->dataFiles, file.path(), parse.stop);
  if (aborted()) return catalog;

  if (!file.systemPages().empty()) {
    repair = {};
    ReadInto(file, parse, kSysSchObjs, IndexRecords::kKeep, catalog->objects, catalog->pageFailures,
             [&](const CPrimaryRecord& r) { return DecodeObjectRow(r, /*legacy=*/false, repair); });
    // No object row: the 2000 layout, unless the boot page names a known
    // version of 2005 or later (then sysschobjs is lost, not absent, and
    // the 2000 readers would take sysrscols rows for column rows).
    catalog->isSql2000 = catalog->objects.empty() && !NamesSql2005OrLater(version);
    parse.isSql2000 = catalog->isSql2000;
    if (catalog->isSql2000) {
      ReadInto(file, parse, kSysObjects2000, IndexRecords::kKeep, catalog->objects, catalog->pageFailures,
               [&](const CPrimaryRecord& r) { return DecodeObjectRow(r, /*legacy=*/true, repair); });
    }
    repair = {};
  }
  const bool sql2000 = catalog->isSql2000;
  if (aborted()) return catalog;

  // In SQL Server 2000 files object 99 holds allocation and boot pages, not
  // allocation units.
  if (!sql2000) {
    ReadInto(file, parse, kSysAllocUnits, IndexRecords::kKeep, catalog->allocUnits, catalog->pageFailures,
             [](const CPrimaryRecord& r) { return DecodeAllocUnitRow(r); });
  }
  if (aborted()) return catalog;
  ReadInto(file, parse, kSysRowsets, IndexRecords::kKeep, catalog->rowsets, catalog->pageFailures,
           [](const CPrimaryRecord& r) { return DecodeRowsetRow(r); });
  if (aborted()) return catalog;

  if (sql2000) {
    ReadLegacyTables(file, parse, *catalog, repair);
  } else {
    repair = {};
    for (int32_t object_id : {kSysColPars, kSysColParsMore}) {
      ReadInto(file, parse, object_id, IndexRecords::kSkip, catalog->columns, catalog->pageFailures,
               [&](const CPrimaryRecord& r) { return DecodeColumnRow(r, repair); });
    }
    repair = {};
  }
  if (aborted()) return catalog;

  if (catalog->objects.empty()) SynthesizeObjects(*catalog);
  ReadInto(file, parse, kSysScalarTypes, IndexRecords::kKeep, catalog->scalarTypes, catalog->pageFailures,
           [](const CPrimaryRecord& r) { return DecodeScalarTypeRow(r); });
  if (aborted() || sql2000) return catalog;

  ReadInto(file, parse, kSysRsCols, IndexRecords::kKeep, catalog->rowsetColumns, catalog->pageFailures,
           [](const CPrimaryRecord& r) { return DecodeRowsetColumnRow(r); });
  ReadInto(file, parse, kSysSingleObjRefs, IndexRecords::kKeep, catalog->objectRefs, catalog->pageFailures,
           [](const CPrimaryRecord& r) { return DecodeObjectRefRow(r); });
  ReadInto(file, parse, kSysIdxStats, IndexRecords::kKeep, catalog->indexes, catalog->pageFailures,
           [](const CPrimaryRecord& r) { return DecodeIndexRow(r); });
  ReadInto(file, parse, kSysIsCols, IndexRecords::kKeep, catalog->indexColumns, catalog->pageFailures,
           [](const CPrimaryRecord& r) { return DecodeIndexColumnRow(r); });
  ReadInto(file, parse, kSysSeObjValues, IndexRecords::kKeep, catalog->addedColumnValues,
           catalog->pageFailures,
           [](const CPrimaryRecord& r) { return DecodeAddedColumnValueRow(r); });
  // Objects 4 and 13 are system tables only in SQL Server 2005 files.
  if (version == kSql2005Version || version == kSql2005VarDecimalVersion) {
    ReadInto(file, parse, kSysHobtColumns2005, IndexRecords::kKeep, catalog->hobtColumns,
             catalog->pageFailures,
             [](const CPrimaryRecord& r) { return DecodeHobtColumnRow(r); });
    ReadInto(file, parse, kSysRowsetColumnMap2005, IndexRecords::kKeep, catalog->rowsetColumnMaps,
             catalog->pageFailures,
             [](const CPrimaryRecord& r) { return DecodeRowsetColumnMapRow(r); });
  }
  if (aborted()) return catalog;
  BuildForeignKeyColumns(*catalog, parse.stop);
  return catalog;
}

}  // namespace quill
