// The sources of a table's page list: the IAM chain of its allocation unit
// (extent bitmaps plus single-page slots), the next-page chain of its data
// pages, and the object page map of the mapping pass. "Standard Mode"
// follows the database's own allocation structures; "Advanced Mode" trusts
// only the object id in each page header and so also finds pages the
// allocation structures no longer reach.
//
// Both chain walks are bounded: they stop at an address already visited and
// after as many steps as the file set has pages, so a looping chain in a
// damaged file ends.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/stop_token.h"
#include "pages/page_address.h"
#include "records/record_parse_options.h"

namespace quill {

class CDatabaseFile;
class IamPage;

// Where the table readers take a table's pages from: "Standard Mode" (1)
// or "Advanced Mode" (2).
enum class RecoveryMode : int32_t { kStandard = 1, kAdvanced = 2 };

// One allocated extent of an IAM page.
struct ExtentRange {
  int32_t count = 0;  // pages, filled when expanded
  uint16_t fileId = 0;
  int32_t firstPage = 0;
  int32_t lastPage = 0;  // firstPage + 7
};

// The extents set in an IAM page's bitmap, in increasing order, cut at the
// primary file's extent count. The interval starts at the multiple of
// 511232 at or below the IAM page's own page id.
std::vector<ExtentRange> ListExtents(IamPage& iam, int64_t extent_count);

// The eight pages of an extent; sets range.count.
std::array<PageAddress, 8> ExpandRange(ExtentRange& range);

// Appends the single pages and extent pages of every IAM page of the chain
// that starts at `first`. The IAM pages themselves are not appended; they
// are parsed with `options`, whose stop request ends the walk.
void WalkIamChain(const CDatabaseFile& file, PageAddress first, std::vector<PageAddress>& pages,
                  const RecordParseOptions& options);

// Appends `first` and, following next-page links, every page that a data
// page links to. A stop request ends the walk.
void WalkPageChain(const CDatabaseFile& file, PageAddress first, std::vector<PageAddress>& pages,
                   StopToken stop);

// Appends the data pages the mapping pass filed under `object_id`, in file
// order.
void ObjectPageList(const CDatabaseFile& file, int32_t object_id, std::vector<PageAddress>& pages);

// Where a table's pages come from, as the catalog gives them.
struct TablePageSource {
  int32_t objectId = 0;  // the object id its pages carry (allocation unit id bits 16..47)
  PageAddress firstPage{1, 0};
  PageAddress firstIamPage{1, 0};
  int32_t indexId = 0;   // 0: a heap
};

// The page list of a table.
struct TablePageList {
  std::vector<PageAddress> pages;
  // A heap whose IAM chain was walked: when its pages give no rows, the
  // reader walks the next-page chain from this address instead.
  std::optional<PageAddress> heapChainFallback;
  // The pages come from the object page map: found by the object id in
  // their headers, not through the allocation structures.
  bool foundById = false;
};

// "Advanced Mode": the object page map. "Standard Mode": the IAM chain when
// the table has a valid first IAM page, the object page map when it has
// none at all; a heap also gets the next-page chain as its fallback.
TablePageList ChoosePageSource(const CDatabaseFile& file, const TablePageSource& table,
                               RecoveryMode mode, const RecordParseOptions& options);

}  // namespace quill
