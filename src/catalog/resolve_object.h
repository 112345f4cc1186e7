// Object resolution: from an object's name and type code to the rows and
// pages that hold its data and to its columns as ColumnDescriptor values.
//
// For a table the result says which rowset and in-row allocation unit hold
// the data, which data pages belong to it (CurrentTable::pageList), and for
// every column its type, where its value sits in the record (leaf offset,
// null bit, ordinal), its key and foreign key flags, and for a column
// without stored data (dropped, computed or added later) the stored default
// or definition text. Views, procedures, functions, triggers, defaults and
// constraints resolve to a three-cell summary instead.
//
// Lookups keep the catalog's first-match rule (the first row in list order
// wins unless a step says otherwise) but go through the catalog's index
// (catalog_index.h), so one resolution costs time in proportion to the
// object's own rows, not to the size of the catalog.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "catalog/schema_model.h"
#include "catalog/system_catalog.h"
#include "common/stop_token.h"
#include "pages/database_file.h"

namespace quill {

// Resolves the object named `name` (compared exactly) and leaves the result
// in catalog.current; returns a copy of its descriptor list.
//
// The object is the first object row named `name` whose type code equals
// `typeCode` or is neither "U " nor "S " (so a same-named object of another
// kind that comes first wins over a table). When there is none the result
// is empty and catalog.current keeps everything but its (cleared)
// descriptors, foundFlag included. For a summary type code ("V ", "P ",
// "PK", ...) the result is three descriptors whose cell texts are the object
// id, the type code and the name, and foundFlag is cleared; a table
// resolution ends with foundFlag set.
//
// Page lists come from the page maps of `file` (dataPages, iamPages);
// `isSql2000` selects the SQL Server 2000 catalog layout (legacy column
// rows, pages by object id). `objectValues` are the stored values of
// sysobjvalues (or syscomments), the source of the cell text of columns
// without stored data. A stop request ends the work early, keeping what was
// built.
std::vector<ColumnDescriptor> ResolveObject(SystemCatalog& catalog, const CDatabaseFile& file,
                                            bool isSql2000, const std::string& name,
                                            const std::string& typeCode,
                                            const std::vector<ObjectValueEntry>& objectValues,
                                            StopToken stop = {});

// The text of a stored object value given as "0x" and two hexadecimal digits
// per byte. When any byte after the first is 0 the bytes are UTF-16LE text,
// otherwise single-byte Windows-1252 text; either is read up to its first
// zero unit or byte. Decoding stops at the first pair that is not two
// hexadecimal digits. Returns UTF-8.
std::string DecodeObjectValueText(std::string_view hex_text);

}  // namespace quill
