#include "scan/table_listing.h"

#include <set>

#include "catalog/current_table_pages.h"
#include "catalog/resolve_object.h"
#include "common/printf_text.h"
#include "records/table_page_list.h"

namespace quill {

namespace {

constexpr char kNullText[] = "NULL";

std::vector<PageAddress> WithoutRepeats(const std::vector<PageAddress>& pages) {
  std::vector<PageAddress> unique;
  std::set<PageAddress> seen;
  for (const PageAddress& page : pages) {
    if (seen.insert(page).second) unique.push_back(page);
  }
  return unique;
}

}  // namespace

std::string PageLabelText(int32_t display_page, int64_t rows, int64_t first_row, int64_t last_row) {
  return PrintfText("%s%d - [%lld](%lld-%lld) Records", kPageWord, display_page,
                    static_cast<long long>(rows), static_cast<long long>(first_row),
                    static_cast<long long>(last_row));
}

std::string RowsToText(int64_t from, int64_t to) {
  return PrintfText("%lld rows to %lld", static_cast<long long>(from), static_cast<long long>(to));
}

std::string RowInsertedText(int64_t inserted) {
  return PrintfText(" row %lld inserted", static_cast<long long>(inserted));
}

std::string SelectionCaptionText(const std::string& item_text, int64_t rows) {
  return PrintfText("%s[%lld]", item_text.c_str(), static_cast<long long>(rows));
}

std::string SelectionWaitLine(const std::string& item_text) {
  return PrintfText("%s%s%s", "Please wait while ", item_text.c_str(), " folder is scanning.");
}

void TableListing::Clear() {
  selected_ = false;
  table_ = CurrentTable();
  listed_.clear();
  pages_.clear();
  pagesFoundById_ = false;
  heapChainFallback_.reset();
  positionStack_.clear();
  displayPage_ = 0;
  firstRow_ = 0;
  lastRow_ = 0;
}

bool TableListing::Select(SystemCatalog& catalog, const CDatabaseFile& file, const ReadOptions& options,
                          const std::string& name, const std::string& type_code,
                          const std::vector<ObjectValueEntry>& object_values) {
  Clear();
  const bool sql2000 = options.parse.isSql2000;
  ResolveObject(catalog, file, sql2000, name, type_code, object_values, options.stop());
  const CurrentTable& current = catalog.current;
  if (!current.foundFlag || current.descriptors.empty() || current.object.name != name) return false;

  const TablePageList list = CurrentTablePages(catalog, file, options);
  pages_ = WithoutRepeats(list.pages);
  pagesFoundById_ = list.foundById;
  heapChainFallback_ = list.heapChainFallback;
  table_ = current;

  // The first cell is the first column with stored data; then the columns
  // after it that have stored data (all of them with the 2000 catalog).
  const auto& columns = table_.descriptors;
  const size_t first = static_cast<size_t>(table_.firstLiveColumn) < columns.size()
                           ? static_cast<size_t>(table_.firstLiveColumn) : 0;
  if (sql2000) {
    listed_.push_back(first);
    for (size_t i = 0; i < columns.size(); ++i) {
      if (i != first) listed_.push_back(i);
    }
  } else {
    listed_.push_back(first);
    for (size_t i = first + 1; i < columns.size(); ++i) {
      if (columns[i].ordinal != kNoStoredDataOrdinal) listed_.push_back(i);
    }
  }
  positionStack_ = {ListingPosition{}};
  selected_ = true;
  return true;
}

std::vector<std::string> TableListing::ColumnTitles() const {
  std::vector<std::string> titles;
  for (size_t i : listed_) titles.push_back(table_.descriptors[i].name);
  return titles;
}

// A row whose empty cells are as many as the table has columns. The first
// cell counts when empty or "NULL", the others when empty; dropped columns
// count towards the total but never as empty cells, so only tables without
// dropped columns lose rows this way.
bool TableListing::IsEmptyRow(const Row& row) const {
  size_t empty = 0;
  for (size_t k = 0; k < listed_.size(); ++k) {
    const std::string& text = row.text(listed_[k]);
    if (text.empty() || (k == 0 && text == kNullText)) ++empty;
  }
  return empty == row.size();
}

void TableListing::VisitRows(size_t page_index, const CDatabaseFile& file, const ReadOptions& options,
                             const std::function<void(const Row&)>& visit) {
  VisitPageRows(pages_[page_index], file, CurrentTableRows(table_), options, visit, RowsFor::kDisplay,
                pagesFoundById_ ? RecordFilter::kWholeRecords : RecordFilter::kAll);
}

TableListing::Listed TableListing::ListFrom(ListingPosition from, const CDatabaseFile& file,
                                            const ReadOptions& options, ProgressSink& progress,
                                            const RowSink& row) {
  Listed listed;
  const int64_t page_count = static_cast<int64_t>(pages_.size());
  progress.ProgressRange(static_cast<uint64_t>(page_count));
  std::vector<std::string> cells;
  for (int64_t p = from.pageIndex; p < page_count && !listed.next; ++p) {
    if (options.aborted()) break;
    const int64_t start = p == from.pageIndex ? from.rowIndex : 0;
    int64_t r = 0;
    // A position's row index counts the rows of the page as VisitRows gives
    // them, empty ones included, so that a page read again lines up.
    VisitRows(static_cast<size_t>(p), file, options, [&](const Row& cells_of_row) {
      const int64_t index = r++;
      if (listed.next || index < start || IsEmptyRow(cells_of_row)) return;
      if (listed.rows == kDisplayPageRows) {
        listed.next = ListingPosition{p, index};
        return;
      }
      cells.clear();
      for (size_t i : listed_) cells.push_back(cells_of_row.text(i));
      ++listed.rows;
      row(cells, listed.rows);
    });
    if (!listed.next) progress.ProgressPos(static_cast<uint64_t>(p + 1));
  }
  return listed;
}

DisplayPage TableListing::Page(int64_t rows, int64_t first_row) const {
  DisplayPage page;
  page.displayPage = displayPage_;
  page.rows = rows;
  page.firstRow = first_row;
  page.lastRow = lastRow_;
  page.pageLabel = PageLabelText(displayPage_, rows, first_row, lastRow_);
  page.nextEnabled = hasNext();
  page.previousEnabled = hasPrevious();
  return page;
}

DisplayPage TableListing::ListFirstPage(const CDatabaseFile& file, ReadOptions options,
                                        ProgressSink& progress, const RowSink& row,
                                        const std::string& item_text) {
  positionStack_ = {ListingPosition{}};
  displayPage_ = 0;
  Listed listed;
  if (selected_) {
    options.decode.tableDisplayActive = true;
    listed = ListFrom({}, file, options, progress, row);
    // A heap whose IAM pages gave no rows is read along its next-page chain.
    if (listed.rows == 0 && heapChainFallback_ && !options.aborted()) {
      std::vector<PageAddress> chain;
      WalkPageChain(file, *heapChainFallback_, chain, options.stop());
      pages_ = WithoutRepeats(chain);
      pagesFoundById_ = false;
      heapChainFallback_.reset();
      listed = ListFrom({}, file, options, progress, row);
    }
  }
  if (listed.next) positionStack_.push_back(*listed.next);
  displayPage_ = 1;
  firstRow_ = listed.rows > 0 ? 1 : 0;
  lastRow_ = listed.rows;
  DisplayPage page = Page(listed.rows, firstRow_);
  page.previousEnabled = false;
  page.caption = SelectionCaptionText(item_text, listed.rows);
  if (listed.rows > 0) page.rowsToLine = RowsToText(0, listed.rows);
  return page;
}

int64_t TableListing::VisitAllRows(const CDatabaseFile& file, ReadOptions options, ProgressSink& progress,
                                   const RowSink& row) {
  int64_t visited = 0;
  if (selected_) {
    options.decode.tableDisplayActive = false;
    std::vector<std::string> cells;
    progress.ProgressRange(pages_.size());
    for (size_t p = 0; p < pages_.size() && !options.aborted(); ++p) {
      VisitRows(p, file, options, [&](const Row& cells_of_row) {
        if (IsEmptyRow(cells_of_row)) return;
        cells.clear();
        for (size_t i : listed_) cells.push_back(cells_of_row.text(i));
        row(cells, ++visited);
      });
      progress.ProgressPos(p + 1);
    }
  }
  return visited;
}

std::optional<DisplayPage> TableListing::ListNextPage(const CDatabaseFile& file, ReadOptions options,
                                                      ProgressSink& progress, const RowSink& row) {
  if (!hasNext()) return std::nullopt;
  options.decode.tableDisplayActive = false;
  const ListingPosition from = positionStack_[static_cast<size_t>(displayPage_)];
  const Listed listed = ListFrom(from, file, options, progress, row);
  if (listed.next) positionStack_.push_back(*listed.next);
  const int64_t previous_last = lastRow_;
  ++displayPage_;
  firstRow_ = previous_last + 1;
  lastRow_ = previous_last + listed.rows;
  DisplayPage page = Page(listed.rows, firstRow_);
  page.caption = RowsToText(previous_last, lastRow_);
  return page;
}

std::optional<DisplayPage> TableListing::ListPreviousPage(const CDatabaseFile& file, ReadOptions options,
                                                          ProgressSink& progress, const RowSink& row) {
  if (!hasPrevious()) return std::nullopt;
  options.decode.tableDisplayActive = false;
  // The shown page's start becomes the top: the start of the page after
  // the one listed now.
  positionStack_.resize(static_cast<size_t>(displayPage_));
  const ListingPosition from = positionStack_[static_cast<size_t>(displayPage_ - 2)];
  const Listed listed = ListFrom(from, file, options, progress, row);
  --displayPage_;
  // Every page before the shown one is full.
  firstRow_ = static_cast<int64_t>(displayPage_ - 1) * kDisplayPageRows + 1;
  lastRow_ = firstRow_ + listed.rows - 1;
  DisplayPage page = Page(listed.rows, firstRow_);
  page.caption = RowsToText(firstRow_ - 1, lastRow_);
  return page;
}

}  // namespace quill
