#include "scan/table_listing.h"

#include <set>

#include "catalog/current_table_pages.h"
#include "catalog/resolve_object.h"
#include "common/printf_text.h"
#include "pages/table_page_list.h"

namespace quill {

namespace {

constexpr char kNullText[] = "NULL";

// Sets a flag for the lifetime of the object.
class FlagScope {
 public:
  FlagScope(std::atomic<bool>& flag, bool value) : flag_(flag) { flag_.store(value); }
  ~FlagScope() { flag_.store(false); }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  std::atomic<bool>& flag_;
};

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
  heapChainFallback_.reset();
  positionStack_.clear();
  displayPage_ = 0;
  firstRow_ = 0;
  lastRow_ = 0;
}

bool TableListing::Select(SystemCatalog& catalog, const CDatabaseFile& file, const ApplicationState& state,
                          const std::string& name, const std::string& type_code,
                          const std::vector<ObjectValueEntry>& object_values) {
  Clear();
  ResolveObject(catalog, file, state.isSql2000, name, type_code, object_values);
  const CurrentTable& current = catalog.current;
  if (!current.foundFlag || current.descriptors.empty() || current.object.name != name) return false;

  const TablePageList list = CurrentTablePages(catalog, file, state);
  pages_ = WithoutRepeats(list.pages);
  heapChainFallback_ = list.heapChainFallback;
  table_ = current;

  // The first cell is the first column with stored data; then the columns
  // after it that have stored data (all of them with the 2000 catalog).
  const auto& columns = table_.descriptors;
  const size_t first = static_cast<size_t>(table_.firstLiveColumn) < columns.size()
                           ? static_cast<size_t>(table_.firstLiveColumn) : 0;
  if (state.isSql2000) {
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
    const std::string& text = row[listed_[k]].cellText;
    if (text.empty() || (k == 0 && text == kNullText)) ++empty;
  }
  return empty == row.size();
}

TableListing::Listed TableListing::ListFrom(ListingPosition from, const CDatabaseFile& file,
                                            ApplicationState& state, ProgressSink& progress,
                                            const RowSink& row) {
  Listed listed;
  const int64_t page_count = static_cast<int64_t>(pages_.size());
  progress.ProgressRange(static_cast<uint64_t>(page_count));
  std::vector<std::string> cells;
  for (int64_t p = from.pageIndex; p < page_count; ++p) {
    if (state.abortRequested.load()) break;
    const std::vector<Row> rows = ReadPageRows(pages_[static_cast<size_t>(p)], file, table_);
    const int64_t start = p == from.pageIndex ? from.rowIndex : 0;
    for (int64_t r = start; r < static_cast<int64_t>(rows.size()); ++r) {
      const Row& cells_of_row = rows[static_cast<size_t>(r)];
      if (IsEmptyRow(cells_of_row)) continue;
      if (listed.rows == kDisplayPageRows) {
        listed.next = ListingPosition{p, r};
        return listed;
      }
      cells.clear();
      for (size_t i : listed_) cells.push_back(cells_of_row[i].cellText);
      ++listed.rows;
      row(cells, listed.rows);
    }
    progress.ProgressPos(static_cast<uint64_t>(p + 1));
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

DisplayPage TableListing::ListFirstPage(const CDatabaseFile& file, ApplicationState& state,
                                        ProgressSink& progress, const RowSink& row,
                                        const std::string& item_text) {
  positionStack_ = {ListingPosition{}};
  displayPage_ = 0;
  Listed listed;
  if (selected_) {
    FlagScope display(state.tableDisplayActive, true);
    listed = ListFrom({}, file, state, progress, row);
    // A heap whose IAM pages gave no rows is read along its next-page chain.
    if (listed.rows == 0 && heapChainFallback_ && !state.abortRequested.load()) {
      std::vector<PageAddress> chain;
      WalkPageChain(file, *heapChainFallback_, chain);
      pages_ = WithoutRepeats(chain);
      heapChainFallback_.reset();
      listed = ListFrom({}, file, state, progress, row);
    }
  }
  state.abortRequested.store(false);
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

int64_t TableListing::VisitAllRows(const CDatabaseFile& file, ApplicationState& state, ProgressSink& progress,
                                   const RowSink& row) {
  int64_t visited = 0;
  if (selected_) {
    state.tableDisplayActive.store(false);
    std::vector<std::string> cells;
    progress.ProgressRange(pages_.size());
    for (size_t p = 0; p < pages_.size() && !state.abortRequested.load(); ++p) {
      for (const Row& cells_of_row : ReadPageRows(pages_[p], file, table_)) {
        if (IsEmptyRow(cells_of_row)) continue;
        cells.clear();
        for (size_t i : listed_) cells.push_back(cells_of_row[i].cellText);
        row(cells, ++visited);
      }
      progress.ProgressPos(p + 1);
    }
  }
  state.abortRequested.store(false);
  return visited;
}

std::optional<DisplayPage> TableListing::ListNextPage(const CDatabaseFile& file, ApplicationState& state,
                                                      ProgressSink& progress, const RowSink& row) {
  if (!hasNext()) return std::nullopt;
  const ListingPosition from = positionStack_[static_cast<size_t>(displayPage_)];
  const Listed listed = ListFrom(from, file, state, progress, row);
  state.abortRequested.store(false);
  if (listed.next) positionStack_.push_back(*listed.next);
  const int64_t previous_last = lastRow_;
  ++displayPage_;
  firstRow_ = previous_last + 1;
  lastRow_ = previous_last + listed.rows;
  DisplayPage page = Page(listed.rows, firstRow_);
  page.caption = RowsToText(previous_last, lastRow_);
  return page;
}

std::optional<DisplayPage> TableListing::ListPreviousPage(const CDatabaseFile& file, ApplicationState& state,
                                                          ProgressSink& progress, const RowSink& row) {
  if (!hasPrevious()) return std::nullopt;
  // The shown page's start becomes the top: the start of the page after
  // the one listed now.
  positionStack_.resize(static_cast<size_t>(displayPage_));
  const ListingPosition from = positionStack_[static_cast<size_t>(displayPage_ - 2)];
  const Listed listed = ListFrom(from, file, state, progress, row);
  state.abortRequested.store(false);
  --displayPage_;
  // Every page before the shown one is full.
  firstRow_ = static_cast<int64_t>(displayPage_ - 1) * kDisplayPageRows + 1;
  lastRow_ = firstRow_ + listed.rows - 1;
  DisplayPage page = Page(listed.rows, firstRow_);
  page.caption = RowsToText(firstRow_ - 1, lastRow_);
  return page;
}

}  // namespace quill
