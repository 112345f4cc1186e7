// The boot page of the primary file (nominally page 9): the database's
// identity. Its single record starts right after the page header; the
// fields the system reads sit at fixed page offsets:
//
//   OFFSET SIZE TYPE       FIELD
//      100    2 uint16     version number (on-disk database version)
//      102    2 uint16     version number the database was created with
//      148  256 UTF-16LE   database name, 128 code units, padded with
//                          U+0020 or with 0x20 bytes (U+2020) or zeros
//      488    4 int32      collation id
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/status.h"
#include "pages/collation_table.h"
#include "records/record_page.h"

namespace quill {

// Shown for the database when the boot page gives no name, and for the
// collation when none was found.
inline constexpr char kRepairDatabaseName[] = "RepairDataBase";
inline constexpr char kUnknownCollation[] = "Unknown Collation";

class CDatabaseFile;

namespace boot_page_layout {
inline constexpr size_t kVersion = 100;
inline constexpr size_t kCreateVersion = 102;
inline constexpr size_t kDatabaseName = 148;
inline constexpr size_t kDatabaseNameUnits = 128;
inline constexpr size_t kCollationId = 488;
static_assert(kDatabaseName + 2 * kDatabaseNameUnits <= kCollationId);
}  // namespace boot_page_layout

inline constexpr int32_t kNominalBootPageIndex = 9;

class CBootPage : public PrimaryRecordPage {
 public:
  CBootPage(PageBuffer buffer, const CDatabaseFile* file)
      : PrimaryRecordPage(std::move(buffer), file, RecordParseOptions{}, NoRecords{}) {}
  ~CBootPage() override = default;

  uint16_t versionNumber() const;
  uint16_t createVersionNumber() const;
  int32_t collationId() const;
  // The name up to its first zero unit, without its trailing padding; inner
  // blanks are kept. UTF-8.
  std::string databaseName() const;
};

// Which collation stands for the database's: the one its boot page names
// (looked up in `table`), or the one the user chose by id.
struct CollationChoice {
  const CollationTable* table = nullptr;  // not owned; null: no collation is found
  bool autoDetect = true;
  int64_t manualId = 0;
};

// What ReadBootPage found.
struct BootPageInfo {
  int32_t pageIndex = 0;
  uint16_t versionNumber = 0;
  uint16_t createVersionNumber = 0;
  int32_t collationId = 0;
  std::string databaseName;
  std::string versionName;  // SqlVersionName of versionNumber
  // The database collation by the choice; collationName is empty when none
  // was found.
  bool collationFound = false;
  std::string collationName;
};

// The position of the boot page in the primary file, corrected for a shift
// of the whole file: the first page of object 7 (else of object 41) says
// which page it is, and the boot page is shifted by as much. A failure when
// the corrected position is not inside the file.
Result<int32_t> LocateBootPage(const CDatabaseFile& file);

// Locates and parses the boot page and resolves the database collation by
// `collation`. Sets the file set's database name (empty when there is no
// boot page). A failure says why no boot page was read.
Result<BootPageInfo> ReadBootPage(CDatabaseFile& file, const CollationChoice& collation);

// Looks a boot page collation id up: the id itself, then its low 16 bits.
const CollationEntry* FindDatabaseCollation(const CollationTable& table, int32_t collation_id);

}  // namespace quill
