// Sizes shared by every reader of a data file. A data file is a sequence of
// 8 KB pages; eight consecutive pages form an extent. Page i of a file starts
// at byte i * kPageSize + the file's base offset (0 for a healthy file).
#pragma once

#include <cstddef>
#include <cstdint>

namespace quill {

inline constexpr size_t kPageSize = 8192;
inline constexpr size_t kPageSizeShift = 13;
inline constexpr size_t kPagesPerExtent = 8;
inline constexpr size_t kPageHeaderSize = 96;
inline constexpr size_t kSectorSize = 512;
inline constexpr size_t kSectorsPerPage = kPageSize / kSectorSize;

// A raw page buffer carries one zero byte past the page, so that text read
// up to the first zero byte always ends inside the buffer.
inline constexpr size_t kRawPageBufferSize = kPageSize + 1;

static_assert(size_t{1} << kPageSizeShift == kPageSize);
static_assert(kSectorsPerPage == 16);

}  // namespace quill
