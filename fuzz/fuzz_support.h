// Helpers shared by the fuzz targets: property checks that stop the run,
// exact-size copies of the input, page buffers built from input bytes, and
// a scratch data file for the readers that only open paths.
//
// The targets compile both as libFuzzer programs and, with replay_main.cc,
// as ordinary programs that run saved inputs; nothing here depends on
// libFuzzer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pages/page_buffer.h"

namespace quill::fuzz {

// Reports the broken property on stderr and traps, so that the fuzzer keeps
// the input as a crash.
[[noreturn]] void Fail(const char* property);

// Checks a property the target promises; traps with `property` when it
// does not hold.
inline void Require(bool holds, const char* property) {
  if (!holds) Fail(property);
}

// A heap copy of exactly `size` bytes: a read one byte past the end is an
// AddressSanitizer error. The fuzzer's own buffer is not handed to the
// parsers, so that they cannot write into it either.
class ExactBytes {
 public:
  ExactBytes(const uint8_t* data, size_t size);
  std::span<const uint8_t> span() const { return {bytes_.get(), size_}; }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  size_t size_;
};

// A page buffer holding up to one page of `bytes`; a shorter input is padded
// with zeros. The readers of pages take a whole 8192-byte page (plus the
// guard byte the buffer keeps), so the padding is deliberate: bounds are
// those of the page, not of the input.
PageBuffer PageFromBytes(std::span<const uint8_t> bytes);

// A data file written for one input at a path that belongs to this process
// (in /dev/shm when it is there, else in TMPDIR or /tmp); the next Write
// replaces it and the destructor removes it.
class ScratchFile {
 public:
  explicit ScratchFile(std::string_view tag);
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Writes the bytes as the whole file; false when it cannot be written.
  bool Write(std::span<const uint8_t> bytes) const;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A 64-bit FNV-1a digest, for comparing two decodings of the same input.
class Digest {
 public:
  Digest& Add(std::span<const uint8_t> bytes);
  Digest& Add(std::string_view text);
  Digest& Add(uint64_t value);
  uint64_t value() const { return hash_; }

 private:
  uint64_t hash_ = 1469598103934665603ULL;
};

// True when `text` is valid UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text);

// Reads a whole file; empty when it cannot be read.
std::vector<uint8_t> ReadWholeFile(const std::string& path);

// The file `name` beside the running program, else `fallback`.
std::string BesideProgram(const std::string& name, const std::string& fallback);

}  // namespace quill::fuzz
