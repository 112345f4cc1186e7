// Reads snapshot files (layout in snapshot_format.h). A snapshot is read
// whole or not at all: a truncated or damaged file yields a failure status
// that says what was wrong and where, and no maps.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "scan/snapshot_format.h"

namespace quill {

class CDatabaseFile;

struct SnapshotContents {
  SnapshotHeader header;
  SnapshotMaps maps;
};

struct SnapshotReadResult {
  SnapshotStatus status;
  SnapshotContents contents;  // empty unless status is ok
};

// Decodes the bytes of a whole snapshot. Checked: the path length is even
// and inside the file, every flag byte is 0 or 1, every entry and reference
// count fits in the bytes that remain (before anything is allocated), object
// ids ascend within a block, page indexes are not negative, page types fit a
// byte (1 in the data block, 10 in the IAM block), and nothing follows the
// third block.
SnapshotReadResult DecodeSnapshot(std::span<const uint8_t> bytes);

// Reads and decodes the snapshot file at `path`.
SnapshotReadResult ReadSnapshotFile(const std::string& path);

// Appends the page references of `maps` to the maps of `file` under their
// object ids (the maps are moved from).
void AppendSnapshotMaps(SnapshotMaps&& maps, CDatabaseFile& file);

// Reads the snapshot at `path` and, only when all of it reads, appends its
// three maps to those of `file`. On failure `file` is left untouched.
SnapshotStatus ReadSnapshotMaps(const std::string& path, CDatabaseFile& file);

}  // namespace quill
