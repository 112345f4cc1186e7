// The one reader of a column's type text: "type(n)", as the table
// resolution writes it for every column ("nvarchar(100)", "varchar(-1)",
// "int(4)").
#pragma once

#include <cstdint>
#include <string>

#include "schema/column_descriptor.h"

namespace quill {

// The number between the first "(" and the ")" after it, read as strtoll
// reads it (leading blanks, an optional sign, digits up to the first other
// character): "nvarchar(100)" gives 100, "varchar(-1)" gives -1. 0 when
// there is none or it lies outside the 32-bit range.
int32_t DeclaredSizeFromTypeText(const std::string& type_text);

// Gives `column` the type text and the number in it (maxLength), so that
// the readers of its values never parse the text.
void SetTypeText(ColumnDescriptor& column, std::string type_text);

}  // namespace quill
