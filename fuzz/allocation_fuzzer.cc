// Allocation bitmap pages (GAM, SGAM and the like) and IAM pages with their
// single-page slots. Byte 0 bit 0 picks the IAM reader; bits 1-2 the record
// options. The rest is the page (a whole 8192 bytes: a shorter input is
// padded with zeros).
//
// Checked: the bitmap holds at most one interval of extents, one flag (0 or
// 1) per extent, each flag the bit of the page's bitmap bytes; the readers
// give the same twice.
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "fuzz_support.h"
#include "records/extent_allocation_map.h"

namespace {

using namespace quill;

template <typename Map>
void Check(std::span<const uint8_t> page_bytes, const RecordParseOptions& options) {
  using namespace quill::fuzz;
  const Map first(PageFromBytes(page_bytes), nullptr, options);
  const Map second(PageFromBytes(page_bytes), nullptr, options);
  Require(first.bitCount() >= 0 && first.bitCount() <= kExtentsPerInterval, "at most one interval of extents");
  Require(first.bits().size() >= static_cast<size_t>(first.bitCount()), "a flag for every extent counted");
  Require(first.bits() == second.bits() && first.bitCount() == second.bitCount(), "the bitmap reads the same twice");
  for (int32_t i = 0; i < first.bitCount(); ++i) Require(first.bits()[i] <= 1, "extent flags are 0 or 1");
  if constexpr (std::is_same_v<Map, IamPage>) {
    Require(first.singlePages() == second.singlePages(), "single-page slots read the same twice");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 1 + kPageSize) return 0;
  const quill::fuzz::ExactBytes page(data + 1, size - 1);
  RecordParseOptions options;
  options.showDeletedRecords = (data[0] & 2) != 0;
  options.showAdvancedDeletedRecords = (data[0] & 4) != 0;
  if ((data[0] & 1) != 0) {
    Check<IamPage>(page.span(), options);
  } else {
    Check<ExtentAllocationMap>(page.span(), options);
  }
  return 0;
}
