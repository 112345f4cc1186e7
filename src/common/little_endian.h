// Little-endian loads and stores. Every number in a data file is stored
// little-endian; these helpers are the one place that says so.
//
// The Load*/Store* functions are unchecked: the caller proves the range is
// inside its buffer (usually with a constexpr offset into a fixed-size page).
// ByteReader is the bounded alternative for variable positions.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <type_traits>

namespace quill {

// On a little-endian host a load is a plain copy, which the compiler turns
// into one move and can vectorise in loops; elsewhere the bytes are
// assembled one by one.
template <typename T>
inline T LoadLittleEndianUnchecked(const uint8_t* p) {
  static_assert(std::is_integral_v<T>);
  std::make_unsigned_t<T> v = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&v, p, sizeof(T));
  } else {
    for (size_t i = 0; i < sizeof(T); ++i) {
      v |= static_cast<std::make_unsigned_t<T>>(p[i]) << (8 * i);
    }
  }
  return static_cast<T>(v);
}

template <typename T>
inline void StoreLittleEndianUnchecked(uint8_t* p, T value) {
  static_assert(std::is_integral_v<T>);
  auto v = static_cast<std::make_unsigned_t<T>>(value);
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &v, sizeof(T));
  } else {
    for (size_t i = 0; i < sizeof(T); ++i) {
      p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
  }
}

// Loads a T at a fixed offset of a fixed-extent span; the bound is checked
// at compile time.
template <typename T, size_t kOffset, size_t kExtent>
inline T LoadAt(std::span<const uint8_t, kExtent> bytes) {
  static_assert(kExtent != std::dynamic_extent, "use ByteReader for dynamic spans");
  static_assert(kOffset + sizeof(T) <= kExtent, "field past the end of the structure");
  return LoadLittleEndianUnchecked<T>(bytes.data() + kOffset);
}

// Bounded sequential reader over a byte span. A read that would pass the end
// fails without consuming anything.
class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  size_t position() const { return position_; }
  size_t remaining() const { return bytes_.size() - position_; }

  template <typename T>
  std::optional<T> Read() {
    if (remaining() < sizeof(T)) return std::nullopt;
    T v = LoadLittleEndianUnchecked<T>(bytes_.data() + position_);
    position_ += sizeof(T);
    return v;
  }

  // Reads a T at an absolute offset without moving the cursor.
  template <typename T>
  std::optional<T> ReadAt(size_t offset) const {
    if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T)) return std::nullopt;
    return LoadLittleEndianUnchecked<T>(bytes_.data() + offset);
  }

  // An unsigned little-endian integer of `n` bytes (n <= 8).
  std::optional<uint64_t> ReadUnsigned(size_t n) {
    if (n > 8 || remaining() < n) return std::nullopt;
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(bytes_[position_ + i]) << (8 * i);
    position_ += n;
    return v;
  }

  bool Skip(size_t n) {
    if (remaining() < n) return false;
    position_ += n;
    return true;
  }

  std::optional<std::span<const uint8_t>> Slice(size_t n) {
    if (remaining() < n) return std::nullopt;
    auto s = bytes_.subspan(position_, n);
    position_ += n;
    return s;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
};

}  // namespace quill
