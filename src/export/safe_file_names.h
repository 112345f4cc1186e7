// Names of extracted files made safe for any file system they may be copied
// to: stored names are user text and may hold "..", separators, control
// characters or names Windows reserves, and may be longer than a file
// system allows.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// Longest name component written, in bytes (file systems allow 255; room
// is left for a clash number or a version mark).
inline constexpr size_t kMaxNameBytes = 200;

// One path component from stored UTF-8 text: control characters and
// < > : " / \ | ? * become "_", trailing dots and blanks (which Windows
// drops) become "_", names Windows reserves for devices (CON, NUL, COM1,
// ...) get a leading "_", an empty name becomes "_" (so "." and ".." become
// "_" and "__", never a step up), and a name
// longer than kMaxNameBytes is cut at a character boundary keeping its
// extension. Never empty, never contains a separator.
std::string SafeNameComponent(std::string_view name);

// A stored folder path ("a/b/c"; "\" also separates, leading and repeated
// separators are ignored) as safe components.
std::vector<std::string> SafePathComponents(std::string_view path);

// "name.ext" with `mark` inserted before the extension: "name (mark).ext";
// the base is cut so that the result stays within kMaxNameBytes + the mark.
std::string MarkedName(std::string_view name, std::string_view mark);

// Hands out relative paths under one output folder, each once: a file path
// that equals (ignoring ASCII case, as Windows does) one handed out before,
// or a folder handed out before, is numbered "name (2).ext", "name (3).ext"
// and so on.
class SafePathSet {
 public:
  // The unique relative path ("a/b/name") for a file `leaf` in the folder
  // given by `folders` (each component already safe).
  std::string Claim(const std::vector<std::string>& folders, const std::string& leaf);

 private:
  static std::string Folded(std::string_view path);
  std::set<std::string> files_;    // folded
  std::set<std::string> folders_;  // folded
};

}  // namespace quill
