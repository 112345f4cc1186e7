#include "export/safe_file_names.h"

#include <algorithm>
#include <array>

namespace quill {

namespace {

bool IsReplaced(unsigned char c) {
  if (c < 0x20 || c == 0x7F) return true;
  switch (c) {
    case '<': case '>': case ':': case '"': case '/': case '\\': case '|': case '?': case '*':
      return true;
    default:
      return false;
  }
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9, alone or before any extension.
bool IsReservedDeviceName(std::string_view name) {
  const std::string base = AsciiUpper(name.substr(0, name.find('.')));
  static constexpr std::array<std::string_view, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
  if (std::find(kPlain.begin(), kPlain.end(), base) != kPlain.end()) return true;
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '1' &&
         base[3] <= '9';
}

// The length of the longest prefix of `text` of at most `limit` bytes that
// does not end inside a UTF-8 sequence.
size_t CharacterBoundary(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t n = limit;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return n;
}

// The extension kept when a name is cut: from the last dot, if it is short.
size_t ExtensionStart(std::string_view name) {
  constexpr size_t kMaxExtension = 16;
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || name.size() - dot > kMaxExtension) return name.size();
  return dot;
}

std::string Shortened(std::string_view name, size_t limit) {
  if (name.size() <= limit) return std::string(name);
  const size_t ext = ExtensionStart(name);
  const std::string_view extension = name.substr(ext);
  const std::string_view base = name.substr(0, ext);
  const size_t room = limit > extension.size() ? limit - extension.size() : 0;
  return std::string(base.substr(0, CharacterBoundary(base, room))) + std::string(extension);
}

}  // namespace

std::string SafeNameComponent(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (char c : name) out.push_back(IsReplaced(static_cast<unsigned char>(c)) ? '_' : c);
  // Windows drops trailing dots and blanks, so "a." and "a" would clash.
  for (size_t i = out.size(); i > 0 && (out[i - 1] == '.' || out[i - 1] == ' '); --i) out[i - 1] = '_';
  if (out.empty()) return "_";
  if (IsReservedDeviceName(out)) out.insert(out.begin(), '_');
  return Shortened(out, kMaxNameBytes);
}

std::vector<std::string> SafePathComponents(std::string_view path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.push_back(SafeNameComponent(path.substr(start, end - start)));
    start = end + 1;
  }
  return parts;
}

std::string MarkedName(std::string_view name, std::string_view mark) {
  const std::string cut = Shortened(name, kMaxNameBytes);
  const size_t ext = ExtensionStart(cut);
  return cut.substr(0, ext) + " (" + std::string(mark) + ")" + cut.substr(ext);
}

std::string SafePathSet::Folded(std::string_view path) {
  std::string out(path);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string SafePathSet::Claim(const std::vector<std::string>& folders, const std::string& leaf) {
  std::string folder;
  for (const std::string& part : folders) {
    folder += part;
    folders_.insert(Folded(folder));
    folder += '/';
  }
  std::string path = folder + leaf;
  // Bounded: each round tries a new number, and at most as many paths as
  // have been handed out can be taken.
  for (size_t n = 2; files_.count(Folded(path)) != 0 || folders_.count(Folded(path)) != 0; ++n) {
    path = folder + MarkedName(leaf, std::to_string(n));
  }
  files_.insert(Folded(path));
  return path;
}

}  // namespace quill
