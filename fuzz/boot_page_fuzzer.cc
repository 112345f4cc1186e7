// The boot page, read the way a scan finds it: the first 8192 bytes of the
// input replace page 9 of a small fixture database and the next 8192 (when
// there) its first allocation unit page, whose page id says how far the
// file is shifted and so where the boot page is. Whole pages are written,
// so shorter pieces are padded with zeros.
//
// Checked: a boot page found lies inside the file; its name is valid UTF-8
// of at most 128 characters; when found at page 9 it agrees with the page
// parsed on its own; reading it again gives the same.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "database_builder.h"
#include "fuzz_columns.h"
#include "fuzz_support.h"
#include "pages/collation_table.h"
#include "pages/database_file.h"
#include "pages/page_header.h"
#include "records/boot_page.h"

namespace {

using namespace quill;

struct Base {
  std::vector<uint8_t> bytes;
  size_t allocUnitPage = 0;
};

const Base& BaseFile() {
  static const Base base = [] {
    Base b;
    b.bytes = fixture::BuildPrimaryFile(fixture::PrimaryFileLayout{}).Bytes();
    for (size_t i = 0; i * kPageSize < b.bytes.size(); ++i) {
      if (HeaderObjectId(std::span<const uint8_t, kPageSize>(b.bytes.data() + i * kPageSize, kPageSize)) == 7) {
        b.allocUnitPage = i;
        break;
      }
    }
    if (b.allocUnitPage == 0) std::abort();
    return b;
  }();
  return base;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quill::fuzz;
  if (size > 2 * kPageSize) return 0;
  static const ScratchFile scratch("boot_page");
  const ExactBytes input(data, size);
  const Base& base = BaseFile();
  std::vector<uint8_t> bytes = base.bytes;
  const size_t boot_part = std::min(size, kPageSize);
  std::fill_n(bytes.begin() + kNominalBootPageIndex * kPageSize, kPageSize, 0);
  std::copy_n(input.span().begin(), boot_part, bytes.begin() + kNominalBootPageIndex * kPageSize);
  if (size > kPageSize) {
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(base.allocUnitPage * kPageSize), kPageSize, 0);
    std::copy(input.span().begin() + kPageSize, input.span().end(),
              bytes.begin() + static_cast<std::ptrdiff_t>(base.allocUnitPage * kPageSize));
  }
  if (!scratch.Write(bytes)) return 0;
  CDatabaseFile file;
  if (!file.Open(scratch.path(), nullptr)) return 0;

  const CollationChoice choice{DecodeOptions(false).collationTable, true, 0};
  const Result<BootPageInfo> first = ReadBootPage(file, choice);
  const Result<BootPageInfo> second = ReadBootPage(file, choice);
  Require(first.ok() == second.ok() && first.status().Text() == second.status().Text(),
          "the boot page is found, or not, the same way twice");
  if (!first) return 0;
  Require(first->databaseName == second->databaseName && first->collationId == second->collationId &&
              first->collationName == second->collationName && first->versionName == second->versionName,
          "the boot page reads the same twice");
  Require(first->pageIndex > 0 && first->pageIndex < file.pageCount(), "the boot page lies inside the file");
  Require(IsValidUtf8(first->databaseName) && first->databaseName.size() <= 3 * 128,
          "the database name is valid UTF-8 of at most 128 characters");
  Require(IsValidUtf8(first->collationName) && first->collationName.size() < 1024, "collation name is short");
  Require(first->collationFound || first->collationName.empty(), "no collation name without a collation");
  if (first->pageIndex == kNominalBootPageIndex) {
    const CBootPage page(PageFromBytes(input.span().first(boot_part)), nullptr);
    Require(page.databaseName() == first->databaseName && page.collationId() == first->collationId &&
                page.versionNumber() == first->versionNumber,
            "the boot page read through the file agrees with the page alone");
  }
  return 0;
}
