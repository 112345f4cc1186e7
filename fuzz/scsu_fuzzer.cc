// SCSU, the Unicode compression of page-compressed nchar values. Checked:
// the text is valid UTF-8 of at most the expanded area's size, and the same
// twice.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "records/compressed_record_expansion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quill;
  using namespace quill::fuzz;
  const ExactBytes input(data, size);
  const std::string text = DecodeScsu(input.span());
  Require(text.size() <= kExpandedAreaSize, "SCSU text within the expanded area");
  Require(IsValidUtf8(text), "SCSU text is valid UTF-8");
  Require(DecodeScsu(input.span()) == text, "SCSU decoding is deterministic");
  return 0;
}
