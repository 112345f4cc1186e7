#include "pages/data_file_paths.h"

#include <algorithm>
#include <cctype>

namespace quill {

namespace {
bool IsSeparator(char c) { return c == '/' || c == '\\'; }

size_t LastSeparator(std::string_view path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return i - 1;
  }
  return std::string_view::npos;
}
}  // namespace

std::string NormaliseStoredPath(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (size_t i = 0; i < path.size(); ++i) {
    out.push_back(path[i]);
    if (path[i] == '\\' && i + 1 < path.size() && path[i + 1] == '\\') ++i;
  }
  return out;
}

std::string DirectoryOf(std::string_view path) {
  size_t sep = LastSeparator(path);
  return sep == std::string_view::npos ? std::string() : std::string(path.substr(0, sep + 1));
}

std::string FileNameOf(std::string_view path) {
  size_t sep = LastSeparator(path);
  return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::string SecondaryFilePathBeside(std::string_view directory, std::string_view stored_path) {
  const std::string name = FileNameOf(stored_path);
  const size_t dot = name.rfind('.');
  const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
  if (!stem.empty()) return std::string(directory) + stem + ".ndf";
  return std::string(directory) + name;
}

bool HasSecondaryFileExtension(std::string_view name) {
  constexpr std::string_view kExtension = ".ndf";
  if (name.size() < kExtension.size()) return false;
  auto tail = name.substr(name.size() - kExtension.size());
  return std::equal(tail.begin(), tail.end(), kExtension.begin(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == b;
  });
}

}  // namespace quill
