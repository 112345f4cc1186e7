#include "export/extracted_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace quill {

namespace {

constexpr size_t kBufferSize = size_t{1} << 20;

std::string ErrorText(const char* what, int error) { return std::string(what) + ": " + std::strerror(error); }

}  // namespace

ExtractedFile::~ExtractedFile() { Abandon(); }

bool ExtractedFile::Create(const std::string& path) {
  path_ = path;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  if (ec) {
    error_ = "cannot create folder: " + ec.message();
    return false;
  }
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    error_ = ErrorText("cannot create file", errno);
    return false;
  }
  buffer_.reserve(kBufferSize);
  return true;
}

void ExtractedFile::Write(std::span<const uint8_t> bytes) {
  if (fd_ < 0 || !error_.empty()) return;
  digest_.Update(bytes);
  size_ += bytes.size();
  while (!bytes.empty()) {
    const size_t n = std::min(bytes.size(), kBufferSize - buffer_.size());
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    bytes = bytes.subspan(n);
    if (buffer_.size() == kBufferSize && !Flush()) return;
  }
}

bool ExtractedFile::Flush() {
  size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = ErrorText("write failed", n < 0 ? errno : ENOSPC);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  buffer_.clear();
  return true;
}

bool ExtractedFile::Finish(const int64_t* modified) {
  if (fd_ < 0) return false;
  if (error_.empty()) Flush();
  if (error_.empty() && ::close(fd_) != 0) error_ = ErrorText("close failed", errno);
  else if (!error_.empty()) ::close(fd_);
  fd_ = -1;
  if (!error_.empty()) {
    ::unlink(path_.c_str());
    return false;
  }
  sha256_ = digest_.FinishHex();
  if (modified != nullptr) {
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(*modified);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ::utimensat(AT_FDCWD, path_.c_str(), times, 0);
  }
  return true;
}

void ExtractedFile::Abandon() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  ::unlink(path_.c_str());
}

bool StoredTimeSeconds(const std::string& text, int64_t& seconds) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (text.size() < 19 || std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &year, &month, &day, &hour,
                                      &minute, &second) != 6) {
    return false;
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) return false;
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  seconds = static_cast<int64_t>(timegm(&tm));
  return true;
}

std::string StoredTimeIso(const std::string& text) {
  int64_t seconds = 0;
  if (!StoredTimeSeconds(text, seconds)) return text;
  std::string out = text;
  out[10] = 'T';
  // A fraction of zeros says nothing.
  const size_t dot = out.find('.', 19);
  if (dot != std::string::npos && out.find_first_not_of('0', dot + 1) == std::string::npos) out.resize(dot);
  return out + "Z";
}

}  // namespace quill
