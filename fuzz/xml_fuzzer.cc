// Binary xml values: the decoder either reports failure (the empty text) or
// writes well-formed XML; the text is bounded by the input's size; the same
// value decoded again, or decoded from its bytes cut into chunks the way
// large-object pages deliver them, gives the same text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "values/xml_text_decoder.h"
#include "xml_well_formed.h"

namespace {

// The decoder stops once its output passes 256 bytes per input byte plus
// 64 KiB; one last step may add at most as much again.
size_t OutputBound(size_t input) { return 2 * (256 * input + (size_t{1} << 16)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quill::fuzz;
  const ExactBytes input(data, size);
  const std::string text = quill::DecodeXml(input.span());
  Require(text.size() <= OutputBound(size), "xml text bounded by 512 bytes per input byte + 128 KiB");
  if (!text.empty()) {
    if (const char* problem = XmlProblem(text)) Fail(problem);
  }
  Require(quill::DecodeXml(input.span()) == text, "xml decoding is deterministic");

  // Chunk sizes from the input's own bytes, each copied to a buffer of its
  // exact size.
  std::vector<ExactBytes> pieces;
  std::vector<std::span<const uint8_t>> chunks;
  size_t at = 0;
  size_t k = 0;
  while (at < size) {
    const size_t want = 1 + (data[k++ % size] % 97);
    const size_t n = std::min(want, size - at);
    pieces.emplace_back(data + at, n);
    at += n;
  }
  for (const ExactBytes& piece : pieces) chunks.push_back(piece.span());
  Require(quill::DecodeXmlChunks(chunks) == text, "chunked xml decodes as the whole value");
  return 0;
}
