// The catalog load over a small database whose system table pages the
// fuzzer writes (fuzz_databases.h): the input replaces those pages in
// order, a last partial page only at its start. Every user table found is
// then resolved and the rows of its first pages read, as a listing does.
//
// Checked: loading and resolving give the same twice; names are valid
// UTF-8; no more catalog rows than the system pages can hold; no more rows
// from a table's page than the page has slots.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "catalog/load_catalog.h"
#include "catalog/resolve_object.h"
#include "fuzz_columns.h"
#include "fuzz_databases.h"
#include "fuzz_support.h"
#include "pages/database_file.h"
#include "values/page_rows.h"

namespace {

using namespace quill;
using namespace quill::fuzz;

constexpr size_t kMaxTables = 8;
constexpr size_t kMaxPagesPerTable = 4;
constexpr size_t kMaxRecordsPerPage = 8192;  // slots plus records found in free space

uint64_t LoadAndRead(CDatabaseFile& file, const ReadOptions& options) {
  const CollationChoice collation{options.decode.collationTable, true, 0};
  std::unique_ptr<SystemCatalog> catalog = LoadCatalog(file, options, collation);
  Require(catalog != nullptr, "the catalog load gives a catalog");
  Digest digest;
  const size_t rows = catalog->objects.size() + catalog->columns.size() + catalog->rowsets.size() +
                      catalog->allocUnits.size() + catalog->indexes.size() + catalog->indexColumns.size() +
                      catalog->objectRefs.size() + catalog->rowsetColumns.size() + catalog->scalarTypes.size() +
                      catalog->dataFiles.size() + catalog->legacyColumns.size();
  Require(rows <= (static_cast<size_t>(file.pageCount()) + 1) * kMaxRecordsPerPage,
          "no more catalog rows than the pages hold");
  digest.Add(static_cast<uint64_t>(rows)).Add(static_cast<uint64_t>(catalog->isSql2000));
  for (const ObjectRow& object : catalog->objects) {
    Require(IsValidUtf8(object.name), "object names are valid UTF-8");
    digest.Add(object.name).Add(static_cast<uint64_t>(object.objectId)).Add(object.typeCode);
  }
  for (const ColumnRow& column : catalog->columns) Require(IsValidUtf8(column.name), "column names are valid UTF-8");

  ReadOptions table_options = options;
  table_options.parse.isSql2000 = catalog->isSql2000;
  size_t tables = 0;
  const std::vector<ObjectRow> objects = catalog->objects;
  for (const ObjectRow& object : objects) {
    if (object.typeCode != "U " || tables++ >= kMaxTables) continue;
    std::vector<ColumnDescriptor> columns =
        ResolveObject(*catalog, file, catalog->isSql2000, object.name, "U ", {});
    digest.Add(static_cast<uint64_t>(columns.size()));
    for (const ColumnDescriptor& column : columns) digest.Add(column.typeText).Add(column.constantText);
    if (!catalog->current.foundFlag) continue;
    const std::vector<PageAddress> pages = catalog->current.pageList;
    PageRowsTable table{.descriptors = columns,
                        .objectId = catalog->current.object.objectId,
                        .allocUnitId = catalog->current.allocUnit.allocUnitId,
                        .hasLayoutRows = !catalog->current.rowsetColumns.empty(),
                        .storedColumnCount = std::max(columns.size(), catalog->current.rowsetColumns.size())};
    for (size_t p = 0; p < pages.size() && p < kMaxPagesPerTable; ++p) {
      size_t page_rows = 0;
      VisitPageRows(pages[p], file, table, table_options, [&](const Row& row) {
        ++page_rows;
        for (const std::string& cell : row.texts()) digest.Add(cell);
      });
      Require(page_rows <= kMaxRecordsPerPage, "no more rows than a page holds");
    }
  }
  return digest.value();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const CatalogBase& base = CatalogBaseDatabase();
  const size_t system_pages = base.endPage - base.firstPage;
  if (size > system_pages * kPageSize) return 0;
  static const ScratchFile scratch("catalog");
  const ExactBytes input(data, size);
  std::vector<int32_t> pages(system_pages);
  std::iota(pages.begin(), pages.end(), static_cast<int32_t>(base.firstPage));
  if (!scratch.Write(Overlay(base.bytes, pages, input.span()))) return 0;
  CDatabaseFile file;
  if (!file.Open(scratch.path(), nullptr)) return 0;

  ReadOptions options;
  options.decode = DecodeOptions(false);
  const uint64_t first = LoadAndRead(file, options);
  const uint64_t second = LoadAndRead(file, options);
  Require(first == second, "the catalog load and table reads are deterministic");
  return 0;
}
