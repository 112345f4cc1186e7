// Expansion of row- and page-compressed records into the shape the row
// builders read: the non-long values written one after another into a new
// fixed data area (each at its column's full width; a type without a
// declared width, such as varchar, at the value's own length), NULL columns
// flagged, and the values page compression shortened restored from the
// page's anchor values and dictionary. Each column's entry in columnFlags
// says where its value went (offset and length in the area, or its long
// value), since NULLs and long values take no room in the area and the
// columns' leaf offsets therefore do not apply. nchar values restored
// through SCSU are written as UTF-16LE, the form nchar is read in.
//
// Compressed integer forms (bigint, int, smallint, datetime, money,
// smallmoney) are 1 to 8 bytes, most significant byte first, with bit 7 of
// the first byte flipped; the value is rebuilt little-endian. On a page with
// an anchor value for a column, a stored value starts with a prefix byte:
// the number of leading bytes it shares with the anchor.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "schema/column_descriptor.h"

namespace quill {

class CPrimaryRecord;
class PrimaryRecordPage;

inline constexpr size_t kExpandedAreaSize = 4096;

// Expands `record` (parsed from `page`) against the table's `columns`
// (descriptor i describes column i). Records of kinds other than 0 and 3
// are left as parsed. Nothing is ever written outside the expanded area.
void ExpandCompressedRecord(CPrimaryRecord& record, const PrimaryRecordPage& page,
                            const std::vector<ColumnDescriptor>& columns);

// Decodes SCSU (the Standard Compression Scheme for Unicode) into UTF-8,
// starting from the scheme's initial state; at most kExpandedAreaSize bytes
// of output, the rest dropped. A sequence cut off at the end of the input
// ends the text.
std::string DecodeScsu(std::span<const uint8_t> bytes);

}  // namespace quill
