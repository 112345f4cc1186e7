// What the writers know of a recovered table and of the database around it:
// the columns as the catalog describes them, the table's keys, and the
// notes on what could not be recovered. Filled by the table source from the
// catalog; the writers never look at the catalog themselves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quill {

struct ExportColumn {
  std::string name;
  size_t cellIndex = 0;  // position of the column's cell in each visited row
  int32_t typeCode = 0;  // internal type code (values/type_codes.h)
  std::string typeName;  // SQL type name: "int", "nvarchar", ...
  int32_t maxLength = 0;  // stored bytes; -1 for (max)
  int32_t precision = 0;
  int32_t scale = 0;
  bool nullable = true;
  bool identity = false;
  std::optional<int64_t> identitySeed;
  std::optional<int64_t> identityIncrement;
  std::string defaultDefinition;  // as stored, e.g. "((0))"; empty when none was read
};

struct ExportForeignKey {
  std::string name;
  std::vector<std::string> columns;
  std::string referencedSchema;
  std::string referencedTable;
  std::vector<std::string> referencedColumns;
};

struct ExportCheckConstraint {
  std::string name;
  std::string definition;
};

struct ExportTableShape {
  std::string schema;  // "dbo", ...
  std::string name;
  int32_t objectId = 0;
  std::vector<ExportColumn> columns;
  std::string primaryKeyName;
  std::vector<std::string> primaryKey;  // column names in key order
  std::vector<std::vector<std::string>> uniqueKeys;
  std::vector<ExportForeignKey> foreignKeys;
  std::vector<ExportCheckConstraint> checks;
  bool hasIdentity() const {
    for (const ExportColumn& c : columns) {
      if (c.identity) return true;
    }
    return false;
  }
};

// A view, procedure, function or trigger with its definition as stored.
struct ExportModule {
  std::string schema;
  std::string name;
  std::string typeCode;  // "V ", "P ", "FN", "TR", ...
  std::string definition;
};

// One line of the recovery report: what was skipped or damaged, and why.
struct RecoveryNote {
  std::string object;  // "schema.table", or the file for database-wide notes
  std::string page;    // "file:page", empty when not about a page
  int64_t slot = -1;   // -1 when not about a slot
  std::string what;
  std::string why;
};

}  // namespace quill
