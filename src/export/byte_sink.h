// Where export bytes go: a file created for the export, or a stream. Writers
// fill an OutputBuffer of a few MiB and hand it over in large pieces, so a
// table costs few system calls. A failed write (a full disk, a closed pipe)
// is sticky and carries its reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace quill {

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // False on failure; error() says why.
  virtual bool Write(const char* data, size_t size) = 0;
  virtual const std::string& error() const = 0;
};

// A new file opened for writing; refuses a path that exists. Close() makes
// it complete; Remove() deletes what was written (a partial file).
class FileSink final : public ByteSink {
 public:
  FileSink() = default;
  ~FileSink() override;
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  bool Create(const std::string& path);
  bool Write(const char* data, size_t size) override;
  // Cuts the file back to `size` bytes (a table that is dropped from a
  // script written so far).
  bool Truncate(uint64_t size);
  bool Close();
  void Remove();
  const std::string& error() const override { return error_; }
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
  std::string error_;
};

class StreamSink final : public ByteSink {
 public:
  explicit StreamSink(std::ostream& out) : out_(out) {}
  bool Write(const char* data, size_t size) override;
  const std::string& error() const override { return error_; }

 private:
  std::ostream& out_;
  std::string error_;
};

// Appends text into one buffer and passes it to the sink whenever it holds
// `capacity` bytes, and at Flush().
class OutputBuffer {
 public:
  explicit OutputBuffer(ByteSink& sink, size_t capacity = size_t{1} << 20) : sink_(sink), capacity_(capacity) {
    buffer_.reserve(capacity + 4096);
  }
  std::string& text() { return buffer_; }
  void Append(std::string_view text) { buffer_.append(text); }
  void Push(char c) { buffer_.push_back(c); }
  // Hands the buffer over when it is full; false after a failed write.
  bool MaybeFlush() { return buffer_.size() < capacity_ || Flush(); }
  bool Flush();
  // Bytes handed to the sink plus those buffered.
  uint64_t position() const { return written_ + buffer_.size(); }
  // Bytes handed to the sink.
  uint64_t flushed() const { return written_; }
  // Forgets everything from `position` on: the buffered bytes, and when the
  // position lies before flushed(), the count of those handed over (the
  // caller cuts the sink back to it).
  void DiscardFrom(uint64_t position);
  bool failed() const { return failed_; }

 private:
  ByteSink& sink_;
  size_t capacity_;
  std::string buffer_;
  uint64_t written_ = 0;
  bool failed_ = false;
};

}  // namespace quill
