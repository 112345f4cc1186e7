// manifest.csv of an extraction folder: one line per document, written as
// each document is done, so that a stopped or failed run still lists what
// it wrote. RFC 4180: comma separated, CRLF line ends, fields with a comma,
// quote or line break quoted with quotes doubled; UTF-8 without a byte
// order mark.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace quill {

inline constexpr char kManifestFileName[] = "manifest.csv";

// Status texts of a manifest line.
inline constexpr char kStatusWritten[] = "written";
inline constexpr char kStatusGhosted[] = "no content stored (ghosted)";
inline constexpr char kStatusRemoteBlob[] = "stored outside the database (remote blob)";
inline constexpr char kStatusPieceMissing[] = "piece missing";
inline constexpr char kStatusDamaged[] = "damaged";

struct ManifestLine {
  std::string path;  // relative to the folder; empty when nothing was written
  std::optional<uint64_t> size;  // bytes written, else the stored size when known
  std::string sha256;            // of the bytes written
  std::string created;           // ISO 8601
  std::string modified;
  std::string status;  // one of the texts above
  std::string reason;  // why, for a status other than written
  std::string note;    // what the document is: draft, checked out, version, deleted, ...
  std::string source;  // the stored folder and name
};

// The CSV field for `text`.
std::string ManifestField(const std::string& text);

class ManifestWriter {
 public:
  ManifestWriter() = default;
  ~ManifestWriter();
  ManifestWriter(const ManifestWriter&) = delete;
  ManifestWriter& operator=(const ManifestWriter&) = delete;

  // Creates the file (never replacing one) and writes the header line.
  bool Open(const std::string& path);
  // Appends and flushes one line; false on a write error.
  bool Add(const ManifestLine& line);
  bool Close();

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace quill
