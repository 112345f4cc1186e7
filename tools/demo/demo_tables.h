// The general tables of the demo database: a value of every column type,
// large values in every storage form, deleted rows, keys and a foreign key,
// and a page-compressed table.
#pragma once

#include "catalog_builder.h"
#include "data_file_builder.h"
#include "text_page_writer.h"

namespace quill::demo {

inline constexpr char kCompressedTableName[] = "DemoCompressed";

// Appends DemoTypes (every built-in type, a primary key and a unique
// constraint, a deleted row), DemoLargeValues (text, ntext, image, max
// types and xml, in row and on text pages), DemoOrders (a foreign key to
// DemoTypes) and DemoCompressed (rows written by WriteCompressedPage).
void AddGeneralTables(fixture::DatabaseDescription& description, fixture::TextPageWriter& lobs);

// Replaces the data page of DemoCompressed with a page-compressed page: its
// compression information (anchor record and dictionary) and compressed
// records.
void WriteCompressedPage(fixture::DataFileBuilder& file, const fixture::DatabaseDescription& description,
                         const fixture::CatalogDatabaseLayout& layout);

}  // namespace quill::demo
