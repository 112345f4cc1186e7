// Writes snapshot files (layout in snapshot_format.h) from the page maps of
// an open file set and the options of the run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "records/boot_page.h"
#include "scan/snapshot_format.h"
#include "values/read_options.h"

namespace quill {

class CDatabaseFile;

// The header that WriteSnapshot stores: the data path, the scan's mode, its
// collation choice and its record options (isSql2000 as the scan found it,
// the deleted-record options).
SnapshotHeader SnapshotHeaderFor(const std::string& data_path, bool advanced_mode,
                                 const ReadOptions& options, const CollationChoice& collation);

// The bytes of a snapshot.
std::vector<uint8_t> EncodeSnapshot(const SnapshotHeader& header, const PageMap& system_pages,
                                    const PageMap& data_pages, const PageMap& iam_pages);

// The save dialog's default extension rule: a file name without an extension
// gets ".VLMSNP"; a name that has one keeps it.
std::string SnapshotPathWithExtension(const std::string& path);

// Result of WriteSnapshot: the path actually written (with the extension
// rule applied) when status is ok.
struct SnapshotWriteResult {
  SnapshotStatus status;
  std::string path;
};

// Writes the snapshot of `file` (null when no scan has been made, which
// fails) to `snapshot_path` after the extension rule. `data_path` is the data
// file path last chosen for a scan, `advanced_mode` the scan's mode and
// `options` and `collation` those the scan read with.
//
// The bytes go to a temporary file beside the target, which is flushed to
// disk and then renamed over it: a failed write leaves any earlier file at
// that path as it was and no partial snapshot behind.
SnapshotWriteResult WriteSnapshot(const CDatabaseFile* file, const std::string& data_path,
                                  bool advanced_mode, const ReadOptions& options,
                                  const CollationChoice& collation, const std::string& snapshot_path);

}  // namespace quill
