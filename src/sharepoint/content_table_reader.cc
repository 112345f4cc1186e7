#include "sharepoint/content_table_reader.h"

#include <set>

#include "catalog/current_table_pages.h"
#include "catalog/resolve_object.h"
#include "records/table_page_list.h"
#include "values/page_rows.h"

namespace quill {

namespace {

constexpr int kNoColumn = -1;

// The index of the descriptor named `name`: the first with stored data,
// else the first of that name at all; kNoColumn when there is none.
int FindColumn(const std::vector<ColumnDescriptor>& descriptors, const std::string& name) {
  int any = kNoColumn;
  for (size_t i = 0; i < descriptors.size(); ++i) {
    if (descriptors[i].name != name) continue;
    if (descriptors[i].ordinal != kNoStoredDataOrdinal) return static_cast<int>(i);
    if (any == kNoColumn) any = static_cast<int>(i);
  }
  return any;
}

}  // namespace

ContentTableRows ReadContentTable(SystemCatalog& catalog, const CDatabaseFile& file,
                                  const ReadOptions& options, const std::string& table,
                                  const std::vector<std::string>& columns) {
  ContentTableRows result;
  // An unknown name leaves the found flag of the previous resolution in
  // place, so it is cleared first; a same-named view resolves to a summary
  // and clears it too.
  catalog.current.foundFlag = false;
  ResolveObject(catalog, file, options.parse.isSql2000, table, "U ", {}, options.stop());
  CurrentTable& current = catalog.current;
  if (!current.foundFlag || current.object.name != table || current.object.typeCode != "U ") {
    return result;
  }
  result.found = true;

  std::vector<int> picked;
  for (const std::string& name : columns) picked.push_back(FindColumn(current.descriptors, name));
  const auto first = static_cast<size_t>(current.firstLiveColumn);

  // Read as the table display reads: large values show placeholders.
  ReadOptions display = options;
  display.decode.tableDisplayActive = true;
  const TablePageList list = CurrentTablePages(catalog, file, display);
  const PageRowsTable rows_table = CurrentTableRows(current);
  const auto stopped = [&options] { return options.aborted(); };
  auto read = [&](const std::vector<PageAddress>& pages, RecordFilter filter) {
    std::set<PageAddress> seen;
    for (const PageAddress& address : pages) {
      if (stopped()) return;
      if (!seen.insert(address).second) continue;  // an address listed twice is read once
      // Only the picked cells are kept, so the rows are visited in place
      // rather than copied whole.
      VisitPageRows(address, file, rows_table, display, [&](const Row& row) {
        if (stopped()) return;
        ContentRow out;
        if (first < row.size()) out.firstCell = row[first].cellText;
        out.cells.reserve(picked.size());
        for (int index : picked) {
          out.cells.push_back(index == kNoColumn || static_cast<size_t>(index) >= row.size()
                                  ? std::string()
                                  : row[static_cast<size_t>(index)].cellText);
        }
        result.rows.push_back(std::move(out));
      }, RowsFor::kDisplay, filter);
      if (stopped()) return;
    }
  };
  read(list.pages, list.foundById ? RecordFilter::kWholeRecords : RecordFilter::kAll);
  if (result.rows.empty() && list.heapChainFallback && !stopped()) {
    std::vector<PageAddress> chain;
    WalkPageChain(file, *list.heapChainFallback, chain, options.stop());
    read(chain, RecordFilter::kAll);
  }
  return result;
}

}  // namespace quill
