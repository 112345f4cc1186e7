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

ContentTableCursor::ContentTableCursor(SystemCatalog& catalog, const CDatabaseFile& file,
                                       const ReadOptions& options, std::string table,
                                       std::vector<std::string> columns, RowsFor purpose)
    : catalog_(catalog), file_(file), options_(options), table_(std::move(table)), columns_(std::move(columns)),
      purpose_(purpose) {
  // Read as the table display reads: large values show placeholders.
  options_.decode.tableDisplayActive = true;
  found_ = Resolve(true);
}

bool ContentTableCursor::Resolve(bool force) {
  CurrentTable& current = catalog_.current;
  if (!force && current.foundFlag && current.object.name == table_ && current.object.typeCode == "U ") return true;
  // An unknown name leaves the found flag of the previous resolution in
  // place, so it is cleared first; a same-named view resolves to a summary
  // and clears it too.
  current.foundFlag = false;
  ResolveObject(catalog_, file_, options_.parse.isSql2000, table_, "U ", {}, options_.stop());
  if (!current.foundFlag || current.object.name != table_ || current.object.typeCode != "U ") return false;
  picked_.clear();
  for (const std::string& name : columns_) picked_.push_back(FindColumn(current.descriptors, name));
  return true;
}

bool ContentTableCursor::hasColumn(size_t index) const {
  return index < picked_.size() && picked_[index] != kNoColumn;
}

void ContentTableCursor::VisitPage(PageAddress address, RecordFilter filter,
                                   const std::function<void(const ContentRow&, const ContentRowPlace&)>& visit) {
  CurrentTable& current = catalog_.current;
  const auto first = static_cast<size_t>(current.firstLiveColumn);
  // Only the picked cells are kept, so the rows are visited in place
  // rather than copied whole.
  VisitPlacedPageRows(
      address, file_, CurrentTableRows(current), options_,
      [&](const Row& row, const RowPlace& place) {
        if (options_.aborted()) return;
        ContentRow out;
        if (first < row.size()) out.firstCell = row.text(first);
        out.cells.reserve(picked_.size());
        for (int index : picked_) {
          out.cells.push_back(index == kNoColumn || static_cast<size_t>(index) >= row.size()
                                  ? std::string()
                                  : row.text(static_cast<size_t>(index)));
        }
        out.deleted = place.deleted;
        visit(out, ContentRowPlace{address, place.ordinal, filter});
      },
      purpose_, filter);
}

void ContentTableCursor::ForEachRow(const std::function<void(const ContentRow&, const ContentRowPlace&)>& visit) {
  if (!found_ || !Resolve(false)) return;
  const TablePageList list = CurrentTablePages(catalog_, file_, options_);
  bool any = false;
  auto read = [&](const std::vector<PageAddress>& pages, RecordFilter filter) {
    std::set<PageAddress> seen;
    for (const PageAddress& address : pages) {
      if (options_.aborted()) return;
      if (!seen.insert(address).second) continue;  // an address listed twice is read once
      VisitPage(address, filter, [&](const ContentRow& row, const ContentRowPlace& place) {
        any = true;
        visit(row, place);
      });
    }
  };
  read(list.pages, list.foundById ? RecordFilter::kWholeRecords : RecordFilter::kAll);
  if (!any && list.heapChainFallback && !options_.aborted()) {
    std::vector<PageAddress> chain;
    WalkPageChain(file_, *list.heapChainFallback, chain, options_.stop());
    read(chain, RecordFilter::kAll);
  }
}

std::optional<ContentRow> ContentTableCursor::RowAt(const ContentRowPlace& place) {
  if (!found_ || !Resolve(false)) return std::nullopt;
  std::optional<ContentRow> found;
  VisitPage(place.page, place.filter, [&](const ContentRow& row, const ContentRowPlace& at) {
    if (at.ordinal == place.ordinal) found = row;
  });
  return found;
}

ContentTableRows ReadContentTable(SystemCatalog& catalog, const CDatabaseFile& file,
                                  const ReadOptions& options, const std::string& table,
                                  const std::vector<std::string>& columns) {
  ContentTableRows result;
  ContentTableCursor cursor(catalog, file, options, table, columns);
  result.found = cursor.found();
  cursor.ForEachRow([&](const ContentRow& row, const ContentRowPlace&) { result.rows.push_back(row); });
  return result;
}

}  // namespace quill
