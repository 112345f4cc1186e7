// What the sweep reads from one data file: the whole scan as `quillstone
// scan` runs it, then the rows of every user table the catalog lists, as
// `quillstone rows` reads them, each with the page and slot it came from.
// Rows travel between processes in a plain encoding.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pages/page_address.h"
#include "scan/application_state.h"

namespace quill::sweep {

struct PlacedRow {
  std::string table;
  std::string text;  // the row's cells as the CSV output writes them, joined by 0x1F
  PageAddress page;
  uint32_t slot = 0;
};

struct DatabaseRows {
  bool scanCompleted = false;  // the scan ended with its completion line
  bool opened = false;         // the rows' reader opened the file and its catalog
  uint32_t tables = 0;
  std::vector<PlacedRow> rows;
};

// Runs the scan and reads every table's rows in `mode`; `state` carries
// the collation table.
DatabaseRows ReadDatabase(const std::string& path, RecoveryMode mode, const CollationTable& collations);

std::string EncodeRows(const DatabaseRows& rows);
// False when `bytes` is not a whole encoding.
bool DecodeRows(std::string_view bytes, DatabaseRows& rows);

}  // namespace quill::sweep
