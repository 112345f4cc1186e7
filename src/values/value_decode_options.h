// What the value decoder reads of the run besides a value's bytes: the
// collation table and the database collation (for 8-bit text), and whether
// the table display runs (placeholders for large values, the char rule of
// the display).
#pragma once

#include <cstdint>

#include "pages/collation_table.h"

namespace quill {

struct ValueDecodeOptions {
  // Collation id to code page; not owned. Null: every collation is unknown.
  const CollationTable* collationTable = nullptr;
  // The code page of 8-bit text that has no collation of its own.
  int32_t ansiCodePage = 1252;
  // The database collation was resolved from the boot page or chosen.
  bool collationFound = false;
  // The first page of a table display (and the SharePoint readers): large
  // values show placeholders, char values their bytes after a zero byte.
  bool tableDisplayActive = false;
};

}  // namespace quill
