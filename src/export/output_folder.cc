#include "export/output_folder.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace quill {

namespace {

// Numbered names tried before giving up: a folder holding this many earlier
// exports of one database is no place to make another.
constexpr int kMaxNumberedFolders = 1000;

}  // namespace

std::string SafeFolderName(std::string name) {
  for (char& c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
        c == '>' || c == '|') {
      c = '_';
    }
  }
  if (name.empty() || name == "." || name == "..") name = "database" + name;
  return name;
}

std::string ClaimNewFolder(const std::string& parent, const std::string& database_name, std::string& error) {
  const std::string base = SafeFolderName(database_name);
  for (int n = 1; n <= kMaxNumberedFolders; ++n) {
    const std::string name = n == 1 ? base : base + " (" + std::to_string(n) + ")";
    const std::string folder = (std::filesystem::path(parent) / name).string();
    // mkdir fails with EEXIST on anything already there: the claim is
    // atomic, two exports never share a folder.
    if (::mkdir(folder.c_str(), 0755) == 0) return folder;
    if (errno != EEXIST) {
      error = "cannot create the folder " + folder + ": " + std::strerror(errno);
      return {};
    }
  }
  error = "no free folder name for " + base + " in " + parent;
  return {};
}

}  // namespace quill
