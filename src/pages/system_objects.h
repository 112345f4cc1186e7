// Object ids of the system base tables: the ones the catalog reads, and the
// lists whose pages the mapping pass files as system table pages.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

namespace quill {

inline constexpr int32_t kSysObjects2000 = 1;          // SQL Server 2000 sysobjects
inline constexpr int32_t kSysIndexes2000 = 2;          // SQL Server 2000 sysindexes
inline constexpr int32_t kSysColumns2000 = 3;          // SQL Server 2000 syscolumns
inline constexpr int32_t kSysRsCols = 3;               // sysrscols (2005 and later)
inline constexpr int32_t kSysRowsetColumnMap2005 = 4;  // filled by SQL Server 2005 only
inline constexpr int32_t kSysRowsets = 5;
inline constexpr int32_t kSysComments2000 = 6;  // SQL Server 2000 syscomments
inline constexpr int32_t kSysAllocUnits = 7;
inline constexpr int32_t kSysFiles1 = 8;
// sysseobjvalues: not filed by the mapping pass; its rows are found among
// the data pages.
inline constexpr int32_t kSysSeObjValues = 9;
inline constexpr int32_t kSysHobtColumns2005 = 13;  // filled by SQL Server 2005 only
inline constexpr int32_t kSysSchObjs = 34;
inline constexpr int32_t kSysColPars = 41;
inline constexpr int32_t kSysScalarTypes = 50;
inline constexpr int32_t kSysIdxStats = 54;
inline constexpr int32_t kSysIsCols = 55;
inline constexpr int32_t kSysObjValues = 60;
inline constexpr int32_t kSysSingleObjRefs = 74;
// Allocation and boot pages; in SQL Server 2000 files no allocation units.
inline constexpr int32_t kAllocationObjectId = 99;
inline constexpr int32_t kSysColParsMore = 2187;  // further syscolpars rows

// System base tables of the primary file. 14, 20, 21 and 53 are filed too,
// though nothing reads them yet.
inline constexpr std::array<int32_t, 22> kPrimarySystemObjectIds = {
    kSysObjects2000, kSysIndexes2000,         kSysRsCols,     kSysRowsetColumnMap2005,
    kSysRowsets,     kSysComments2000,        kSysAllocUnits, kSysFiles1,
    kSysHobtColumns2005, 14, 20, 21, kSysSchObjs, kSysColPars, kSysScalarTypes, 53,
    kSysIdxStats,    kSysIsCols,              kSysObjValues,  kSysSingleObjRefs,
    kAllocationObjectId, kSysColParsMore};

// Secondary files hold rows of fewer system tables.
inline constexpr std::array<int32_t, 13> kSecondarySystemObjectIds = {
    kSysRsCols,  kSysRowsetColumnMap2005, kSysRowsets,     kSysAllocUnits, kSysFiles1,
    kSysHobtColumns2005, kSysSchObjs,     kSysColPars,     kSysScalarTypes, kSysIdxStats,
    kSysIsCols,  kSysObjValues,           kSysSingleObjRefs};

static_assert(std::is_sorted(kPrimarySystemObjectIds.begin(), kPrimarySystemObjectIds.end()));
static_assert(std::is_sorted(kSecondarySystemObjectIds.begin(), kSecondarySystemObjectIds.end()));

inline bool IsPrimarySystemObject(int32_t object_id) {
  return std::binary_search(kPrimarySystemObjectIds.begin(), kPrimarySystemObjectIds.end(),
                            object_id);
}

inline bool IsSecondarySystemObject(int32_t object_id) {
  return std::binary_search(kSecondarySystemObjectIds.begin(), kSecondarySystemObjectIds.end(),
                            object_id);
}

}  // namespace quill
