#include "export/manifest_writer.h"

namespace quill {

std::string ManifestField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

ManifestWriter::~ManifestWriter() { Close(); }

bool ManifestWriter::Open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "wbx");
  if (file_ == nullptr) return false;
  return std::fputs("path,size,sha256,created,modified,status,reason,note,source\r\n", file_) >= 0 &&
         std::fflush(file_) == 0;
}

bool ManifestWriter::Add(const ManifestLine& line) {
  if (file_ == nullptr) return false;
  const std::string text = ManifestField(line.path) + ',' + (line.size ? std::to_string(*line.size) : "") + ',' +
                           line.sha256 + ',' + ManifestField(line.created) + ',' + ManifestField(line.modified) + ',' +
                           ManifestField(line.status) + ',' + ManifestField(line.reason) + ',' + ManifestField(line.note) +
                           ',' + ManifestField(line.source) + "\r\n";
  return std::fputs(text.c_str(), file_) >= 0 && std::fflush(file_) == 0;
}

bool ManifestWriter::Close() {
  if (file_ == nullptr) return true;
  const bool ok = std::fclose(file_) == 0;
  file_ = nullptr;
  return ok;
}

}  // namespace quill
