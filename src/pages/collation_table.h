// The collation table: every SQL Server collation id with its name and the
// code page of its 8-bit text. Loaded from "collation.txt" beside the
// executable, one collation per line: name TAB id TAB code page.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quill {

struct CollationEntry {
  std::string name;
  int32_t codePage = 0;
};

using CollationTable = std::map<int64_t, CollationEntry>;

// Parses the text of a collation file. A line that is empty, has no tab,
// has nothing after its first tab, or has no second tab is skipped. The name
// is everything before the first tab, the id everything between the first
// and second tab, the code page everything after the second tab; numbers
// read like strtol (leading blanks and a sign; what is not a number reads as
// 0). A later line with the same id replaces the earlier one.
CollationTable ParseCollationTable(std::string_view text);

// Loads a collation file; a missing or unreadable file gives an empty table.
CollationTable LoadCollationTable(const std::string& path);

// The folder of the running executable, ending in '/', or empty when it
// cannot be found.
std::string ExecutableDirectory();

// "collation.txt" beside the executable, or, for an installed program,
// in share/quillstone beside its bin folder.
std::string DefaultCollationTablePath();

}  // namespace quill
