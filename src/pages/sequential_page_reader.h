// Reads a file front to back one page at a time, in large chunks, for the
// passes that look at every page (alignment probe, object mapping). Bytes
// past the end of the file, and bytes an I/O error made unreadable, read as
// zeros: a pass never stops because one region of a damaged disk fails.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "pages/page_geometry.h"
#include "pages/read_only_file.h"

namespace quill {

class SequentialPageReader {
 public:
  static constexpr size_t kDefaultPagesPerChunk = 64;  // 512 KiB per read

  SequentialPageReader(const ReadOnlyFile& file, uint64_t start_offset,
                       size_t pages_per_chunk = kDefaultPagesPerChunk);

  // The next page. The view stays valid until the next call.
  std::span<const uint8_t, kPageSize> Next();

 private:
  void Refill();

  const ReadOnlyFile& file_;
  uint64_t next_offset_;  // file offset of the next chunk
  size_t pages_per_chunk_;
  std::unique_ptr<uint8_t[]> chunk_;
  size_t pages_in_chunk_ = 0;
  size_t next_page_in_chunk_ = 0;
};

}  // namespace quill
