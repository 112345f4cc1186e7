// Large values: a reference from a row (a 16-byte text pointer, or an
// in-row root / row-overflow pointer with its 12-byte links) walked through
// the node records of up to four text pages.
//
// Byte 0 holds options: bit 0 binary, bit 1 unicode, bit 2 sql_variant,
// bit 3 read a text pointer (else a complex value), bit 4 collect chunks.
// Byte 1 is the reference's length n; the next n bytes the reference
// (copied to a buffer of exactly that size); the rest the pages, placed
// from page 2 of a small file (page_file.h; a last partial page is padded
// with zeros).
//
// Checked: the value is the same when read twice; collected chunks and
// streamed chunks are the same bytes; the text is bounded: each node slot
// of the pages is read at most once for a value, a node holds at most a
// page, and text takes at most three bytes per stored byte.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "page_file.h"
#include "records/lob_reader.h"

namespace {

using namespace quill;

constexpr size_t kMaxPages = 4;

std::string Read(std::span<const uint8_t> reference, const CDatabaseFile& file, const LobReadOptions& options,
                 bool text_pointer) {
  return text_pointer ? ReadTextPointer(reference, file, options) : ReadComplexValue(reference, file, options);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quill::fuzz;
  if (size < 2) return 0;
  const uint8_t flags = data[0];
  const size_t n = data[1];
  if (size < 2 + n || size - 2 - n > kMaxPages * kPageSize) return 0;
  static const ScratchFile scratch("lob");
  const ExactBytes reference(data + 2, n);
  const ExactBytes pages(data + 2 + n, size - 2 - n);
  CDatabaseFile file;
  if (!OpenPageFile(scratch, pages.span(), file)) return 0;

  const bool text_pointer = (flags & 8) != 0;
  LobReadOptions options;
  options.binary = (flags & 1) != 0;
  options.unicode = (flags & 2) != 0;
  options.variant = (flags & 4) != 0;

  // Every slot of every page may be one node of the value.
  const size_t page_count = (pages.span().size() + kPageSize - 1) / kPageSize;
  const size_t nodes = page_count * 4000 + 1;
  const size_t stored_bound = nodes * kPageSize;

  if ((flags & 16) == 0) {
    const std::string first = Read(reference.span(), file, options, text_pointer);
    // The same walk, keeping the first node it could not read.
    Status failure;
    LobReadOptions noting = options;
    noting.failure = &failure;
    const std::string second = Read(reference.span(), file, noting, text_pointer);
    Require(first == second, "a large value reads the same twice, with or without its failure kept");
    Require(first.size() <= 3 * stored_bound + 64, "a large value's text is bounded by its nodes");
    Require(failure.ok() || (failure.place().fileId >= 0 && failure.place().slot >= 0 &&
                             failure.Text().size() < 256),
            "a node that could not be read is named by its file and slot, briefly");
    return 0;
  }
  std::vector<LobChunk> chunks;
  options.chunks = &chunks;
  const std::string collected_text = Read(reference.span(), file, options, text_pointer);
  size_t total = 0;
  for (const LobChunk& chunk : chunks) total += chunk.bytes.size();
  Require(total <= stored_bound, "collected chunks are bounded by the nodes");

  std::vector<uint8_t> streamed;
  const std::function<void(std::span<const uint8_t>)> sink = [&](std::span<const uint8_t> bytes) {
    streamed.insert(streamed.end(), bytes.begin(), bytes.end());
  };
  LobReadOptions streaming = options;
  streaming.chunks = nullptr;
  streaming.chunkSink = &sink;
  const std::string streamed_text = Read(reference.span(), file, streaming, text_pointer);
  std::vector<uint8_t> collected;
  for (const LobChunk& chunk : chunks) collected.insert(collected.end(), chunk.bytes.begin(), chunk.bytes.end());
  Require(streamed == collected, "streamed chunks are the collected bytes");
  Require(collected_text == streamed_text, "collecting and streaming report the same");
  return 0;
}
