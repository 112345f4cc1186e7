// The record list's view of one table: its rows in display pages of up to
// 1000, read page by page from the table's page list, with the stack of
// page start positions that "Next Records" and "Previous Records" walk, and
// the texts of the page label and the caption bar.
//
// A position is (index into the page list, row index within that page's
// rows). The stack holds the start of every display page begun up to the
// shown one and, on top, the start of the next page when the table has more
// rows; so "Next Records" is possible exactly when the top is not the shown
// page's start, and "Previous Records" when the shown page is not the first.
//
// A page stops after 1000 shown rows only when a further row exists: a
// table of exactly 1000 rows is one display page with nothing after it.
//
// Every read takes the run's options as a value (those the scan read
// with); their stop token ends a listing early with the rows it reached.
// Clearing the stop request afterwards is the caller's.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalog/system_catalog.h"
#include "common/progress_sink.h"
#include "pages/database_file.h"
#include "values/page_rows.h"
#include "values/read_options.h"

namespace quill {

inline constexpr int64_t kDisplayPageRows = 1000;
inline constexpr char kPageLabelInitial[] = "page";
inline constexpr char kPageWord[] = "Page";
inline constexpr char kScanningProcessCompleted[] = "Scanning process completed.";

struct ListingPosition {
  int64_t pageIndex = 0;
  int64_t rowIndex = 0;
  bool operator==(const ListingPosition&) const = default;
};

// "Page1 - [1000](1-1000) Records": the page label of a display page.
std::string PageLabelText(int32_t display_page, int64_t rows, int64_t first_row, int64_t last_row);
// "1000 rows to 2000".
std::string RowsToText(int64_t from, int64_t to);
// " row 17 inserted": the caption and last output line while rows arrive.
std::string RowInsertedText(int64_t inserted);
// "Orders[1000]": the caption after a table's first page.
std::string SelectionCaptionText(const std::string& item_text, int64_t rows);
// "Please wait while Orders folder is scanning.".
std::string SelectionWaitLine(const std::string& item_text);

// What one listed display page gives the window.
struct DisplayPage {
  int32_t displayPage = 0;  // 1 for the first page
  int64_t rows = 0;         // rows shown on the page
  int64_t firstRow = 0;     // row numbers counted from 1; 0 on an empty page
  int64_t lastRow = 0;
  std::string pageLabel;    // PageLabelText of the page
  std::string caption;      // the caption bar afterwards
  // "0 rows to n" while the first page ends with rows; empty otherwise.
  std::string rowsToLine;
  bool nextEnabled = false;
  bool previousEnabled = false;
};

class TableListing {
 public:
  // Receives each shown row (cells in list column order) with the number of
  // rows inserted so far on this page.
  using RowSink = std::function<void(const std::vector<std::string>& cells, int64_t inserted)>;

  // Resolves the table `name` ("U " or "S ") and keeps a copy of it, its
  // listed columns and its page list (by the options' recovery mode; pages
  // listed twice are read once). The listing state starts over. False, with
  // nothing kept, when the catalog does not know the table or it has no
  // columns.
  bool Select(SystemCatalog& catalog, const CDatabaseFile& file, const ReadOptions& options,
              const std::string& name, const std::string& type_code,
              const std::vector<ObjectValueEntry>& object_values);
  void Clear();
  bool selected() const { return selected_; }

  // Titles of the list columns: the columns with stored data in column
  // order (every column with the SQL Server 2000 catalog).
  std::vector<std::string> ColumnTitles() const;

  // The first display page, read as the table display reads it
  // (placeholders for large values). `item_text` is the tree item's text
  // for the caption.
  DisplayPage ListFirstPage(const CDatabaseFile& file, ReadOptions options, ProgressSink& progress,
                            const RowSink& row, const std::string& item_text);
  // The next and the previous display page (large values in full). Nothing
  // when there is no such page.
  std::optional<DisplayPage> ListNextPage(const CDatabaseFile& file, ReadOptions options,
                                          ProgressSink& progress, const RowSink& row);
  std::optional<DisplayPage> ListPreviousPage(const CDatabaseFile& file, ReadOptions options,
                                              ProgressSink& progress, const RowSink& row);

  // Every row the list would show, over all display pages, with large
  // values in full; returns the number of rows visited. A stop request
  // ends the walk.
  int64_t VisitAllRows(const CDatabaseFile& file, ReadOptions options, ProgressSink& progress,
                       const RowSink& row);

  bool hasNext() const { return selected_ && positionStack_.size() > static_cast<size_t>(displayPage_); }
  bool hasPrevious() const { return selected_ && displayPage_ > 1; }
  const std::vector<ListingPosition>& positionStack() const { return positionStack_; }
  int32_t displayPage() const { return displayPage_; }
  size_t pageCount() const { return pages_.size(); }

 private:
  // Lists up to 1000 shown rows from `from`; returns the rows shown and,
  // when a further row exists, its position.
  struct Listed {
    int64_t rows = 0;
    std::optional<ListingPosition> next;
  };
  Listed ListFrom(ListingPosition from, const CDatabaseFile& file, const ReadOptions& options,
                  ProgressSink& progress, const RowSink& row);
  // The rows of one page of the list, as the list shows them.
  void VisitRows(size_t page_index, const CDatabaseFile& file, const ReadOptions& options,
                 const std::function<void(const Row&)>& visit);
  bool IsEmptyRow(const Row& row) const;
  DisplayPage Page(int64_t rows, int64_t first_row) const;

  bool selected_ = false;
  CurrentTable table_;
  std::vector<size_t> listed_;  // descriptor indexes of the list columns
  std::vector<PageAddress> pages_;
  // The pages were found by the object id in their headers: only records
  // that fit the table are its rows.
  bool pagesFoundById_ = false;
  std::optional<PageAddress> heapChainFallback_;
  std::vector<ListingPosition> positionStack_;
  int32_t displayPage_ = 0;
  int64_t firstRow_ = 0;
  int64_t lastRow_ = 0;
};

}  // namespace quill
