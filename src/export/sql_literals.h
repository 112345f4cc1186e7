// T-SQL text for recovered values and columns: bracketed identifiers, type
// names with their lengths, and literals that read back as the same value
// whatever the server's language or date format settings.
#pragma once

#include <string>
#include <string_view>

#include "export/export_table.h"
#include "values/typed_value.h"

namespace quill {

// [name] with "]" doubled.
void AppendSqlIdentifier(std::string& out, std::string_view name);
// [schema].[name]
std::string QualifiedTableName(const std::string& schema, const std::string& name);

// "int", "nvarchar(50)", "varbinary(max)", "decimal(18,2)", "datetime2(7)".
std::string SqlTypeText(const ExportColumn& column);

// The literal of `value` for a column of `column`'s type:
//   NULL; integers and decimals as their exact digits; bit as 1 or 0;
//   floats in shortest scientific form (1.5E0), which the server reads as
//   float; character data as N'...' with quotes doubled and NUL characters
//   as NCHAR(0) joined with +; binary as 0x and hex digits; dates and times
//   through CONVERT with ISO styles (23 for date, 126 for datetime,
//   smalldatetime and datetime2, 127 for datetimeoffset) and time through
//   CAST of its ISO text; uniqueidentifier through CONVERT of its text.
void AppendSqlLiteral(std::string& out, const TypedValue& value, const ExportColumn& column);

}  // namespace quill
