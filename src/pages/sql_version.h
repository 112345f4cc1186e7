// Names of the on-disk database version numbers stored in the boot page.
#pragma once

#include <cstdint>
#include <string>

namespace quill {

inline constexpr char kUnknownSqlVersion[] = "Unknown SQL Version";

// " SQL Server 2008 R2" for 660 and 661, and so on (note the leading blank);
// "Unknown SQL Version" for a number not in the table.
std::string SqlVersionName(uint16_t version_number);

}  // namespace quill
