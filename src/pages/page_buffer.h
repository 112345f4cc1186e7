// The owned bytes of one page read from a data file: 8192 bytes of page
// followed by one guard byte that is always zero.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <span>

#include "pages/page_geometry.h"

namespace quill {

class PageBuffer {
 public:
  // A zero-filled buffer, or nothing when memory runs out.
  static std::optional<PageBuffer> Allocate() {
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[kRawPageBufferSize]());
    if (!bytes) return std::nullopt;
    return PageBuffer(std::move(bytes));
  }

  // A buffer whose page bytes the caller fills at once (a read from the
  // file): only the guard byte is set.
  static std::optional<PageBuffer> AllocateForRead() {
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[kRawPageBufferSize]);
    if (!bytes) return std::nullopt;
    bytes[kPageSize] = 0;
    return PageBuffer(std::move(bytes));
  }

  std::span<uint8_t, kPageSize> page() { return std::span<uint8_t, kPageSize>(bytes_.get(), kPageSize); }
  std::span<const uint8_t, kPageSize> page() const {
    return std::span<const uint8_t, kPageSize>(bytes_.get(), kPageSize);
  }
  // The page plus the zero guard byte.
  std::span<const uint8_t> withGuard() const { return {bytes_.get(), kRawPageBufferSize}; }

 private:
  explicit PageBuffer(std::unique_ptr<uint8_t[]> bytes) : bytes_(std::move(bytes)) {}
  std::unique_ptr<uint8_t[]> bytes_;
};

}  // namespace quill
