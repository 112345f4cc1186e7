// A data file opened for reading only. The program never writes to a data
// file: the descriptor is opened O_RDONLY, and every read is a positioned
// read (pread), so no shared file position is involved.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quill {

class ReadOnlyFile {
 public:
  enum class Lock {
    kNone,
    // A shared, non-blocking advisory lock: the open fails while another
    // process holds an exclusive lock on the file; file systems without
    // lock support simply skip it.
    kSharedAdvisory,
  };

  // Opens a regular file. Returns nothing when the path is missing, is not a
  // regular file, is not readable, or (with kSharedAdvisory) is locked.
  static std::optional<ReadOnlyFile> Open(const std::string& path, Lock lock = Lock::kNone);

  ReadOnlyFile(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  ~ReadOnlyFile();

  // Length in bytes when the file was opened.
  uint64_t length() const { return length_; }

  // Reads up to out.size() bytes at offset. Returns the number of bytes
  // read, which is short only at the end of the file; the rest of `out` is
  // left untouched. Returns nothing on an I/O error.
  std::optional<size_t> ReadAt(uint64_t offset, std::span<uint8_t> out) const;

  // Tells the kernel the file will be read front to back.
  void AdviseSequential() const;

 private:
  ReadOnlyFile(int fd, uint64_t length) : fd_(fd), length_(length) {}
  int fd_ = -1;
  uint64_t length_ = 0;
};

}  // namespace quill
