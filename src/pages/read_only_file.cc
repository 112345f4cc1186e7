#include "pages/read_only_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace quill {

std::optional<ReadOnlyFile> ReadOnlyFile::Open(const std::string& path, Lock lock) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  if (lock == Lock::kSharedAdvisory && ::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    // Only a lock held by someone else refuses the open; a file system that
    // cannot lock (EINVAL, ENOLCK, EOPNOTSUPP) is read without one.
    if (errno == EWOULDBLOCK) {
      ::close(fd);
      return std::nullopt;
    }
  }
  return ReadOnlyFile(fd, static_cast<uint64_t>(st.st_size));
}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), length_(other.length_) {}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    length_ = other.length_;
  }
  return *this;
}

ReadOnlyFile::~ReadOnlyFile() {
  if (fd_ >= 0) ::close(fd_);  // closing also drops the advisory lock
}

std::optional<size_t> ReadOnlyFile::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
  size_t done = 0;
  // Bounded: each iteration either reads at least one byte or ends the loop.
  while (done < out.size()) {
    ssize_t n = ::pread(fd_, out.data() + done, out.size() - done,
                        static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

void ReadOnlyFile::AdviseSequential() const {
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

}  // namespace quill
