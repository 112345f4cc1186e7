// Object ids whose pages the mapping pass files as system base table pages.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

namespace quill {

// System base tables of the primary file (sysallocunits is 7, sysfiles1 is 8,
// sysschobjs is 34, the SQL Server 2000 sysobjects is 1, and so on).
inline constexpr std::array<int32_t, 22> kPrimarySystemObjectIds = {
    1, 2, 3, 4, 5, 6, 7, 8, 13, 14, 20, 21, 34, 41, 50, 53, 54, 55, 60, 74, 99, 2187};

// Secondary files hold rows of fewer system tables.
inline constexpr std::array<int32_t, 13> kSecondarySystemObjectIds = {
    3, 4, 5, 7, 8, 13, 34, 41, 50, 54, 55, 60, 74};

inline bool IsPrimarySystemObject(int32_t object_id) {
  return std::binary_search(kPrimarySystemObjectIds.begin(), kPrimarySystemObjectIds.end(),
                            object_id);
}

inline bool IsSecondarySystemObject(int32_t object_id) {
  return std::binary_search(kSecondarySystemObjectIds.begin(), kSecondarySystemObjectIds.end(),
                            object_id);
}

}  // namespace quill
