#include "pages/sql_version.h"

#include <array>
#include <utility>

namespace quill {

namespace {

struct VersionName {
  uint16_t number;
  const char* name;
};

constexpr std::array<VersionName, 15> kVersionNames = {{
    {957, " SQL Server 2022"},
    {904, " SQL Server 2019"},
    {869, " SQL Server 2017"},
    {852, " SQL Server 2016"},
    {782, " SQL Server 2014"},
    {706, " SQL Server 2012"},
    {684, " SQL Server 2012 CTP1"},
    {661, " SQL Server 2008 R2"},
    {660, " SQL Server 2008 R2"},
    {655, " SQL Server 2008"},
    {612, " SQL Server 2005 SP2+ with VarDecimal enabled"},
    {611, " SQL Server 2005"},
    {539, " SQL Server 2000"},
    {515, " SQL Server 7.0"},
    {408, " SQL Server 6.5"},
}};

}  // namespace

std::string SqlVersionName(uint16_t version_number) {
  for (const auto& entry : kVersionNames) {
    if (entry.number == version_number) return entry.name;
  }
  return kUnknownSqlVersion;
}

}  // namespace quill
