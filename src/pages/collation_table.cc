#include "pages/collation_table.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace quill {

namespace {

int64_t ReadDecimal(std::string_view field) {
  std::string text(field);  // strtoll needs a terminated string
  return std::strtoll(text.c_str(), nullptr, 10);
}

}  // namespace

CollationTable ParseCollationTable(std::string_view text) {
  CollationTable table;
  size_t line_start = 0;
  while (line_start < text.size()) {
    size_t line_end = text.find('\n', line_start);
    if (line_end == std::string_view::npos) line_end = text.size();
    std::string_view line = text.substr(line_start, line_end - line_start);
    line_start = line_end + 1;

    const size_t first_tab = line.find('\t');
    if (line.empty() || first_tab == std::string_view::npos || first_tab + 1 >= line.size()) continue;
    const size_t second_tab = line.find('\t', first_tab + 1);
    if (second_tab == std::string_view::npos) continue;

    CollationEntry entry;
    entry.name = std::string(line.substr(0, first_tab));
    const int64_t id = ReadDecimal(line.substr(first_tab + 1, second_tab - first_tab - 1));
    entry.codePage = static_cast<int32_t>(ReadDecimal(line.substr(second_tab + 1)));
    table[id] = std::move(entry);
  }
  return table;
}

CollationTable LoadCollationTable(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return ParseCollationTable(text.str());
}

std::string ExecutableDirectory() {
  std::string buffer(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return {};
  buffer.resize(static_cast<size_t>(n));
  size_t slash = buffer.rfind('/');
  return slash == std::string::npos ? std::string() : buffer.substr(0, slash + 1);
}

std::string DefaultCollationTablePath() {
  const std::string beside = ExecutableDirectory() + "collation.txt";
  if (std::FILE* file = std::fopen(beside.c_str(), "rb")) {
    std::fclose(file);
    return beside;
  }
  // An installed program finds it in the data folder beside its bin folder.
  const std::string installed = ExecutableDirectory() + "../share/quillstone/collation.txt";
  if (std::FILE* file = std::fopen(installed.c_str(), "rb")) {
    std::fclose(file);
    return installed;
  }
  return beside;
}

}  // namespace quill
