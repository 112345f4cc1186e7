// The ALTER TABLE scripts shown for the key and constraint items of the
// object tree. They are display text only; nothing parses or runs them.
#pragma once

#include <cstdint>
#include <string>

#include "catalog/system_catalog.h"

namespace quill {

// The primary key script of the key item named `constraintName`: "ALTER
// TABLE %s ADD PRIMARY KEY (%s)" with the table and its key columns.
//
// SQL Server 2000 files (`isSql2000`): `itemData` is the table's object id;
// the first legacy table with that id gives the name, and its columns whose
// type status has bit 0 set give the column text, each name preceded by a
// space and separated by " , " (" a , b"). Without such a table the table
// name is empty and the column text one space.
//
// Newer files: the constraint's object row (type "PK", named
// `constraintName`) names the table through its parent id; the table is
// written as [schema].[name] and the columns are those of the key index
// (the table's index named like the constraint, else its first primary key
// index) in key order, written as above. Without the rows the template
// keeps an empty table name and a column text of one space.
std::string PrimaryKeyScript(const SystemCatalog& catalog, bool isSql2000,
                             const std::string& constraintName, uint64_t itemData);

// The unique constraint script: "ALTER TABLE[dbo].[%s] WITH NOCHECK ADD
// CONSTRAINT[%s] UNIQUE CLUSTERED \r\n(\r\n[%s] DSC\r\n)" with the table
// name, the constraint name and the column text. Tables and columns are
// found as for the primary key script, except that SQL Server 2000 columns
// are taken when their type status is 0 or has bit 0 set, and newer files
// use the constraint's "UQ" row and its unique constraint index (the
// schema's name takes the place of "dbo").
std::string UniqueConstraintScript(const SystemCatalog& catalog, bool isSql2000,
                                   const std::string& constraintName, uint64_t itemData);

// The check constraint script of a constraint item: "ALTER TABLE
// [dbo].[%s] WITH NOCHECK ADD CONSTRAINT[%s] CHECK %s" (two spaces after
// TABLE) with the table item's text, the constraint's name and its
// definition.
std::string CheckConstraintScript(const std::string& tableName, const std::string& constraintName,
                                  const std::string& definition);

// The name of the schema with id `schemaId` as the catalog knows it: the
// schemas every database has (dbo, guest, INFORMATION_SCHEMA, sys); others,
// whose names the base tables read here do not hold, as "schema_" and the id.
std::string SchemaName(int32_t schemaId);

}  // namespace quill
