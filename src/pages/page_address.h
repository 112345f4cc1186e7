// Page addresses and page map entries.
//
// On disk a page address is 6 bytes: page id (int32) then file id (uint16).
// In memory it is kept file id first. File id 1 is the primary file; ids
// below 1 are invalid.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace quill {

struct PageAddress {
  uint16_t fileId = 1;
  int32_t pageId = 0;

  friend bool operator==(const PageAddress&, const PageAddress&) = default;
  friend auto operator<=>(const PageAddress&, const PageAddress&) = default;
};

// One entry of an object page map: where a page of some object sits.
// pageIndex is the physical position of the page in its file, counted from
// the file's base offset: the pageId to put in a PageAddress to read the same
// page again (not the id the page header claims). 12 bytes per entry.
struct PageRef {
  uint16_t fileId = 0;
  int32_t pageIndex = 0;
  int32_t pageType = 0;

  friend bool operator==(const PageRef&, const PageRef&) = default;
};
static_assert(sizeof(PageRef) == 12, "page maps budget 12 bytes per page");

// Object id (header offset 24) to its pages in file order.
using PageMap = std::map<int32_t, std::vector<PageRef>>;

// Appends the lists of `from`, whose pages come after those of `to`, to
// the lists of `to`.
inline void AppendPageMap(PageMap&& from, PageMap& to) {
  if (to.empty()) {
    to = std::move(from);
    return;
  }
  for (auto& [object_id, refs] : from) {
    std::vector<PageRef>& list = to[object_id];
    if (list.empty()) {
      list = std::move(refs);
    } else {
      list.insert(list.end(), refs.begin(), refs.end());
    }
  }
}

}  // namespace quill
