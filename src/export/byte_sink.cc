#include "export/byte_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quill {

FileSink::~FileSink() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileSink::Create(const std::string& path) {
  path_ = path;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    error_ = std::string("cannot create ") + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool FileSink::Write(const char* data, size_t size) {
  if (fd_ < 0) {
    if (error_.empty()) error_ = "file not open: " + path_;
    return false;
  }
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = std::string("cannot write ") + path_ + ": " + std::strerror(errno);
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool FileSink::Truncate(uint64_t size) {
  if (fd_ < 0 || ::ftruncate(fd_, static_cast<off_t>(size)) != 0 ||
      ::lseek(fd_, static_cast<off_t>(size), SEEK_SET) < 0) {
    error_ = std::string("cannot truncate ") + path_ + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool FileSink::Close() {
  if (fd_ < 0) return error_.empty();
  const int result = ::close(fd_);
  fd_ = -1;
  if (result != 0) {
    error_ = std::string("cannot close ") + path_ + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

void FileSink::Remove() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!path_.empty()) ::unlink(path_.c_str());
}

bool StreamSink::Write(const char* data, size_t size) {
  out_.write(data, static_cast<std::streamsize>(size));
  if (!out_) {
    error_ = "cannot write the output stream";
    return false;
  }
  return true;
}

bool OutputBuffer::Flush() {
  if (failed_) return false;
  if (!buffer_.empty() && !sink_.Write(buffer_.data(), buffer_.size())) failed_ = true;
  written_ += buffer_.size();
  buffer_.clear();
  return !failed_;
}

void OutputBuffer::DiscardFrom(uint64_t position) {
  if (position >= written_) {
    if (position - written_ < buffer_.size()) buffer_.resize(static_cast<size_t>(position - written_));
    return;
  }
  buffer_.clear();
  written_ = position;
}

}  // namespace quill
