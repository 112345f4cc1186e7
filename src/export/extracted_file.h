// One extracted file being written: created new (never replacing a file),
// filled through a large buffer while its SHA-256 is computed, and either
// finished (closed, its modification time set) or abandoned (removed), so
// that no partial file stays behind.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "export/sha256_digest.h"

namespace quill {

class ExtractedFile {
 public:
  ExtractedFile() = default;
  ~ExtractedFile();  // abandons a file neither finished nor abandoned
  ExtractedFile(const ExtractedFile&) = delete;
  ExtractedFile& operator=(const ExtractedFile&) = delete;

  // Creates `path` and its missing parent folders; false (with error())
  // when that fails or the file exists.
  bool Create(const std::string& path);
  void Write(std::span<const uint8_t> bytes);
  // Flushes and closes; sets the modification time to `modified` (seconds
  // since 1970, UTC) when given. False (with error(); the file removed) on a
  // write error.
  bool Finish(const int64_t* modified);
  void Abandon();

  uint64_t size() const { return size_; }
  const std::string& sha256() const { return sha256_; }
  const std::string& error() const { return error_; }

 private:
  bool Flush();

  std::string path_;
  int fd_ = -1;
  std::vector<uint8_t> buffer_;
  uint64_t size_ = 0;
  Sha256Digest digest_;
  std::string sha256_;
  std::string error_;
};

// Seconds since 1970 (UTC) of a stored datetime text "YYYY-MM-DD hh:mm:ss"
// (a fraction after it is ignored); false when the text is not one.
bool StoredTimeSeconds(const std::string& text, int64_t& seconds);
// The stored datetime text as ISO 8601 in UTC ("2019-03-05T10:02:11Z",
// fraction kept); the text unchanged when it is not one.
std::string StoredTimeIso(const std::string& text);

}  // namespace quill
