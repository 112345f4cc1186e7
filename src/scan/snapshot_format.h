// The snapshot file: the page maps of one scan saved together with the path
// of the data file and the scan options, so that the same database can be
// shown again without the mapping pass. It holds no page contents; loading
// one still reads the pages from the data file at the stored path.
//
// All numbers are little-endian. There is no signature and no version field;
// the file is written in one pass in this order:
//
//   OFFSET   SIZE  TYPE    FIELD
//   0        4     uint32  L: byte length of the data file path
//                          (2 x UTF-16 code units)
//   4        L     UTF-16  data file path, no terminator
//   4+L      1     uint8   advanced mode of the saved scan (1 / 0)
//   5+L      1     uint8   autoDetectCollation (1 = auto detect, 0 = manual)
//   6+L      8     int64   manualCollationId; present only when the previous
//                          byte is 0
//   next     1     uint8   isSql2000
//   next     1     uint8   showDeletedRecords
//   next     1     uint8   showAdvancedDeletedRecords
//   next     var   block   map block: systemPages
//   next     var   block   map block: dataPages
//   next     var   block   map block: iamPages
//
// Map block:
//   SIZE    TYPE    FIELD
//   8       uint64  N: number of entries (the writer leaves the high 4 bytes 0)
//   N times, in ascending object id order:
//     4     int32   object id (the map key)
//     4     uint32  R: number of page references
//     10*R          page references in list order, each:
//                     2 uint16 file id, 4 int32 page index, 4 int32 page type
//
// The reader trusts none of it: every count is checked against the bytes
// that remain before anything is allocated, and the file must end exactly
// after the third block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "common/status.h"
#include "pages/page_address.h"

namespace quill {

inline constexpr char kSnapshotExtension[] = "VLMSNP";

inline constexpr size_t kSnapshotPathLengthSize = 4;
inline constexpr size_t kSnapshotFlagSize = 1;
inline constexpr size_t kSnapshotCollationIdSize = 8;
inline constexpr size_t kSnapshotEntryCountSize = 8;
inline constexpr size_t kSnapshotEntryKeySize = 4;
inline constexpr size_t kSnapshotRefCountSize = 4;
inline constexpr size_t kSnapshotEntryHeadSize = kSnapshotEntryKeySize + kSnapshotRefCountSize;
inline constexpr size_t kSnapshotRefFileIdSize = 2;
inline constexpr size_t kSnapshotRefPageIndexSize = 4;
inline constexpr size_t kSnapshotRefPageTypeSize = 4;
inline constexpr size_t kSnapshotRefSize =
    kSnapshotRefFileIdSize + kSnapshotRefPageIndexSize + kSnapshotRefPageTypeSize;
static_assert(kSnapshotRefSize == 10);
static_assert(kSnapshotEntryHeadSize == 8);

// The smallest snapshot: an empty path, auto-detected collation, three flags
// and three empty map blocks.
inline constexpr size_t kSnapshotMinimumSize =
    kSnapshotPathLengthSize + 2 * kSnapshotFlagSize + 3 * kSnapshotFlagSize +
    3 * kSnapshotEntryCountSize;
static_assert(kSnapshotMinimumSize == 33);

// Texts of the save and load commands.
inline constexpr char kSavingSnapshot[] = "Saving Snapshot..Please wait....";
inline constexpr char kSnapshotSaved[] = "Snapshot Saved successfully in path ";
inline constexpr char kSnapshotNotSaved[] = "Snapshot cannot be saved.";
inline constexpr char kSnapshotNotLoaded[] = "Snapshot cannot be loaded.";
inline constexpr char kLoadingSnapshot[] = "Loading snapshot...please wait ......................";

// Everything before the map blocks.
struct SnapshotHeader {
  std::string dataPath;  // UTF-8 form of the stored UTF-16 path
  bool advancedMode = false;
  bool autoDetectCollation = true;
  int64_t manualCollationId = 0;  // stored only when autoDetectCollation is false
  bool isSql2000 = false;
  bool showDeletedRecords = false;
  bool showAdvancedDeletedRecords = false;

  friend bool operator==(const SnapshotHeader&, const SnapshotHeader&) = default;
};

// The three page maps of a snapshot.
struct SnapshotMaps {
  PageMap systemPages;
  PageMap dataPages;
  PageMap iamPages;
};

// Outcome of a snapshot read or write. On failure `message` is the text the
// user sees ("Snapshot cannot be loaded." / "Snapshot cannot be saved.") and
// `reason` says what was wrong, placed at the snapshot file's offset where
// the decoder found it.
struct SnapshotStatus {
  std::string message;
  Status reason;

  bool ok() const { return message.empty(); }
  // The reason as one sentence: "At offset 12: data path length 3 is odd."
  // for a decoding fault, else the reason's message.
  std::string detail() const {
    const int64_t offset = reason.place().offset;
    if (offset < 0) return reason.message();
    return "At offset " + std::to_string(offset) + ": " + reason.message() + ".";
  }
  // The message and the detail as one line.
  std::string Text() const { return ok() ? std::string() : message + " " + detail(); }

  static SnapshotStatus Ok() { return {}; }
  static SnapshotStatus LoadFailure(Status reason) { return {kSnapshotNotLoaded, std::move(reason)}; }
  static SnapshotStatus LoadFailure(std::string reason) {
    return LoadFailure(Status::Failure(std::move(reason)));
  }
  static SnapshotStatus SaveFailure(std::string reason) {
    return {kSnapshotNotSaved, Status::Failure(std::move(reason))};
  }
};

}  // namespace quill
