#include "pages/sequential_page_reader.h"

#include <algorithm>
#include <cstring>

namespace quill {

SequentialPageReader::SequentialPageReader(const ReadOnlyFile& file, uint64_t start_offset,
                                           size_t pages_per_chunk)
    : file_(file),
      next_offset_(start_offset),
      pages_per_chunk_(std::max<size_t>(1, pages_per_chunk)),
      chunk_(new uint8_t[pages_per_chunk_ * kPageSize]) {}

void SequentialPageReader::Refill() {
  const size_t chunk_bytes = pages_per_chunk_ * kPageSize;
  size_t got = 0;
  if (next_offset_ < file_.length()) {
    if (auto n = file_.ReadAt(next_offset_, {chunk_.get(), chunk_bytes})) {
      got = *n;
    } else {
      // A read error somewhere in the chunk: read it page by page so that
      // only the unreadable pages turn into zeros.
      for (size_t i = 0; i < pages_per_chunk_; ++i) {
        uint8_t* page = chunk_.get() + i * kPageSize;
        size_t n_page = file_.ReadAt(next_offset_ + i * kPageSize, {page, kPageSize}).value_or(0);
        std::memset(page + n_page, 0, kPageSize - n_page);
      }
      got = chunk_bytes;
    }
  }
  if (got < chunk_bytes) std::memset(chunk_.get() + got, 0, chunk_bytes - got);
  next_offset_ += chunk_bytes;
  pages_in_chunk_ = pages_per_chunk_;
  next_page_in_chunk_ = 0;
}

std::span<const uint8_t, kPageSize> SequentialPageReader::Next() {
  if (next_page_in_chunk_ == pages_in_chunk_) Refill();
  const uint8_t* page = chunk_.get() + next_page_in_chunk_ * kPageSize;
  ++next_page_in_chunk_;
  return std::span<const uint8_t, kPageSize>(page, kPageSize);
}

}  // namespace quill
