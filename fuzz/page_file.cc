#include "page_file.h"

#include <algorithm>

#include "page_builder.h"
#include "pages/page_geometry.h"

namespace quill::fuzz {

std::vector<uint8_t> PageFileBytes(std::span<const uint8_t> pages) {
  const size_t whole = (pages.size() + kPageSize - 1) / kPageSize;
  std::vector<uint8_t> bytes((kFirstFuzzedPage + whole) * kPageSize, 0);
  // sysschobjs (object 34): any system base table page makes the file open.
  const fixture::PageImage marker = fixture::PageBuilder(1, 34, 1).Build();
  std::copy(marker.bytes().begin(), marker.bytes().end(), bytes.begin() + kPageSize);
  std::copy(pages.begin(), pages.end(), bytes.begin() + kFirstFuzzedPage * kPageSize);
  return bytes;
}

bool OpenPageFile(const ScratchFile& scratch, std::span<const uint8_t> pages, CDatabaseFile& file) {
  if (!scratch.Write(PageFileBytes(pages))) return false;
  return file.Open(scratch.path(), nullptr);
}

}  // namespace quill::fuzz
