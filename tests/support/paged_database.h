// A database of tables with many rows, for the tests of the record list's
// display pages: one table per requested row count, named "T" and the
// count ("T2500"), with the columns Id int and Name nvarchar(20); row i
// (from 1) holds Id i and Name "row i".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalog_builder.h"

namespace quill::testing {

// The table name of a row count: "T" and the count.
std::string PagedTableName(int32_t rows);

// The description with one table per entry of `row_counts`, in order.
// `extra` tables are added after them as they stand.
fixture::DatabaseDescription PagedTables(const std::vector<int32_t>& row_counts,
                                         const std::vector<fixture::TableDescription>& extra = {});

}  // namespace quill::testing
