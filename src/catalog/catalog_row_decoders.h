// Decoders of system base table records into catalog rows, driven by the
// tables' layouts (catalog/system_table_layouts.h). Each decoder applies its
// table's keep rule (nothing when the row is not kept) and fills the
// fixed-part fields only when the fixed part reaches the table's minimum
// length; fields past the end of the fixed part keep their defaults.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "catalog/catalog_rows.h"
#include "pages/data_file_entry.h"
#include "records/record.h"

namespace quill {

// Numbers the names given to rows that have none ("Repairname0",
// "RepairColumn1", ...). Reset by the loader between tables.
struct RepairCounter {
  uint64_t next = 0;
  uint64_t Take() { return next++; }
};

std::optional<DataFileEntry> DecodeDataFileRow(const CRecord& record);
// `legacy`: SQL Server 2000 sysobjects (type code at 4, parent id at 24).
std::optional<ObjectRow> DecodeObjectRow(const CRecord& record, bool legacy, RepairCounter& repair);
std::optional<AllocUnitRow> DecodeAllocUnitRow(const CRecord& record);
std::optional<RowsetRow> DecodeRowsetRow(const CRecord& record);
std::optional<ColumnRow> DecodeColumnRow(const CRecord& record, RepairCounter& repair);
std::optional<ScalarTypeRow> DecodeScalarTypeRow(const CRecord& record);
std::optional<RowsetColumnRow> DecodeRowsetColumnRow(const CRecord& record);
std::optional<ObjectRefRow> DecodeObjectRefRow(const CRecord& record);
std::optional<IndexRow> DecodeIndexRow(const CRecord& record);
std::optional<IndexColumnRow> DecodeIndexColumnRow(const CRecord& record);
std::optional<RowsetColumnMapRow> DecodeRowsetColumnMapRow(const CRecord& record);
std::optional<HobtColumnRow> DecodeHobtColumnRow(const CRecord& record);
// Only rows of value class 1 with a value.
std::optional<AddedColumnValueRow> DecodeAddedColumnValueRow(const CRecord& record);
// SQL Server 2000 sysindexes: only rows of index id 0 or 1 with a fixed part
// of at least 64 bytes; `file_id` is the file of the page holding the row.
std::optional<LegacyIndexEntry> DecodeLegacyIndexRow(const CRecord& record, uint16_t file_id);
std::optional<LegacyColumnRow> DecodeLegacyColumnRow(const CRecord& record, RepairCounter& repair);

// "identity(seed,increment)" from the second variable column of an identity
// column row; `system_type_id` tells decimal and numeric columns, whose
// value holds three 20-byte numerics (current value, seed, increment).
std::string IdentityText(std::span<const uint8_t> value, uint8_t system_type_id);

}  // namespace quill
