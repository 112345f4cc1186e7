#include "records/table_page_list.h"

#include <set>

#include "pages/database_file.h"
#include "records/extent_allocation_map.h"
#include "records/page_reads.h"

namespace quill {

namespace {

// Total pages of the file set: the bound of every chain walk.
int64_t FileSetPageCount(const CDatabaseFile& file) {
  int64_t total = file.pageCount();
  for (const auto& [id, entry] : file.secondaryFiles()) total += entry.pageCount;
  return total;
}

// Page ids 1 .. page count - 1 of their file (file ids 0 and 1 mean the
// primary file).
bool IsValidTableAddress(const CDatabaseFile& file, PageAddress address) {
  int64_t page_count = file.pageCount();
  if (address.fileId > 1) {
    auto it = file.secondaryFiles().find(address.fileId);
    if (it == file.secondaryFiles().end()) return false;
    page_count = it->second.pageCount;
  }
  return address.pageId >= 1 && address.pageId < page_count;
}

}  // namespace

std::vector<ExtentRange> ListExtents(IamPage& iam, int64_t extent_count) {
  const int32_t own_page = iam.header().thisPage.pageId;
  const int64_t interval_start = static_cast<int64_t>(own_page < 0 ? 0 : own_page) /
                                 kPagesPerInterval * kPagesPerInterval;
  const int64_t limit = std::min<int64_t>(iam.bitCount(), extent_count);
  iam.setCount = 0;
  std::vector<ExtentRange> ranges;
  for (int64_t i = 0; i < limit; ++i) {
    if (iam.bits()[static_cast<size_t>(i)] == 0) continue;
    ++iam.setCount;
    ExtentRange range;
    range.fileId = iam.header().thisPage.fileId;
    range.firstPage = static_cast<int32_t>(interval_start + 8 * i);
    range.lastPage = range.firstPage + 7;
    ranges.push_back(range);
  }
  return ranges;
}

std::array<PageAddress, 8> ExpandRange(ExtentRange& range) {
  std::array<PageAddress, 8> pages;
  for (int32_t i = 0; i < 8; ++i) pages[static_cast<size_t>(i)] = {range.fileId, range.firstPage + i};
  range.count = 8;
  return pages;
}

void WalkIamChain(const CDatabaseFile& file, PageAddress first, std::vector<PageAddress>& pages,
                  const RecordParseOptions& options) {
  const int64_t max_steps = FileSetPageCount(file);
  std::set<PageAddress> visited;
  PageAddress current = first;
  for (int64_t step = 0; current.pageId != 0 && !options.aborted() && step < max_steps; ++step) {
    if (!visited.insert(current).second) break;  // the chain loops
    auto iam = ReadIamPage(file, current, options);
    if (!iam) break;
    for (const PageAddress& single : iam->singlePages()) {
      if (single.pageId > 0 && single.pageId <= file.pageCount() && single.fileId != 0) {
        pages.push_back(single);
      }
    }
    for (ExtentRange& range : ListExtents(*iam, file.extentCount())) {
      if (options.aborted()) break;
      for (const PageAddress& page : ExpandRange(range)) {
        if (page.fileId != 0 && page.pageId != 0) pages.push_back(page);
      }
    }
    current = iam->header().nextPage;
  }
}

void WalkPageChain(const CDatabaseFile& file, PageAddress first, std::vector<PageAddress>& pages,
                   StopToken stop) {
  if (first.fileId != 0 && first.pageId != 0) pages.push_back(first);
  const int64_t max_steps = FileSetPageCount(file);
  std::set<PageAddress> visited;
  PageAddress current = first;
  for (int64_t step = 0; current.pageId != 0 && !stop.stopRequested() && step < max_steps; ++step) {
    if (!visited.insert(current).second) break;  // the chain loops
    auto page = file.ReadPageHeaderKeep(current);
    if (!page) break;
    const PageAddress next = page->header().nextPage;
    if (page->header().pageType == kPageTypeData && next.fileId != 0 && next.pageId != 0 &&
        !visited.contains(next)) {
      pages.push_back(next);
    }
    current = next;
  }
}

void ObjectPageList(const CDatabaseFile& file, int32_t object_id, std::vector<PageAddress>& pages) {
  auto it = file.dataPages().find(object_id);
  if (it == file.dataPages().end()) return;
  for (const PageRef& ref : it->second) {
    if (ref.pageType == kPageTypeData) pages.push_back({ref.fileId, ref.pageIndex});
  }
}

TablePageList ChoosePageSource(const CDatabaseFile& file, const TablePageSource& table,
                               RecoveryMode mode, const RecordParseOptions& options) {
  TablePageList list;
  if (mode == RecoveryMode::kAdvanced || table.firstIamPage.pageId <= 0) {
    ObjectPageList(file, table.objectId, list.pages);
    list.foundById = true;
    return list;
  }
  if (!IsValidTableAddress(file, table.firstIamPage)) return list;
  WalkIamChain(file, table.firstIamPage, list.pages, options);
  if (table.indexId == 0 && IsValidTableAddress(file, table.firstPage)) {
    list.heapChainFallback = table.firstPage;
  }
  return list;
}

}  // namespace quill
