// The column pairs of the database's foreign keys, derived from the object
// references of syssingleobjrefs.
#pragma once


#include "catalog/system_catalog.h"
#include "common/stop_token.h"

namespace quill {

// Object reference classes of a foreign key column pair. Both rows carry the
// constraint as dependent id and the pair's position as dependent sub-id;
// the independent id and sub-id name the table and column on each side.
inline constexpr uint8_t kRefClassForeignKeyParent = 28;      // the referencing column
inline constexpr uint8_t kRefClassForeignKeyReferenced = 29;  // the referenced column

// Replaces catalog.foreignKeyColumns with one entry per pair of a class 28
// row and a class 29 row of the same dependent id and sub-id (class 28 rows
// in list order, for each the class 29 rows in list order), then names each
// entry's tables and constraint from the object rows and its columns from
// the column rows; where several rows match, the last one in list order
// gives the name. Ids that match no row leave the name empty (and the
// constraint status 0). Stops early, keeping what was built, when a stop is
// requested.
void BuildForeignKeyColumns(SystemCatalog& catalog, StopToken stop = {});

}  // namespace quill
