// Loading a snapshot as a scan: the header goes to the run's options and the
// maps go to the file set in place of its mapping pass.
//
// How a load runs:
//   1. auto opened = OpenSnapshot(path); on failure show
//      opened.status.Text() and stop (nothing was changed).
//   2. state.snapshotLoadMode = true; ApplySnapshotHeader(opened.header, state)
//      (options and snapshotDataPath).
//   3. The scan opens the data file at state.snapshotDataPath with a
//      CDatabaseFile on which SetSnapshotMapSource(&opened.maps) was called
//      before Open; MapDatabaseObjects then takes the maps from the snapshot
//      instead of reading every page. The source must outlive Open.
//   4. When Open fails, opened.maps.status() tells whether the snapshot was
//      at fault (not ok) or the data file was (ok: the file set already
//      reported "File cannot be open..........." or the invalid-file text).
#pragma once

#include <optional>
#include <string>

#include "pages/database_file.h"
#include "scan/snapshot_format.h"
#include "scan/snapshot_reader.h"

namespace quill {

struct ApplicationState;

// The page maps of one snapshot file, handed to a file set on request.
class SnapshotFileMaps final : public SnapshotMapSource {
 public:
  // Maps read on request from the file at `snapshot_path`.
  explicit SnapshotFileMaps(std::string snapshot_path);
  // Maps already read from `snapshot_path`; the first LoadMaps hands them
  // over without reading the file again.
  SnapshotFileMaps(std::string snapshot_path, SnapshotMaps maps);

  // Sends the status text "Loading snapshot...please wait ......................"
  // and appends the snapshot's page references to the maps of `file`. When
  // the snapshot cannot be read whole, `file` is left untouched, status()
  // says why and the result is false.
  bool LoadMaps(CDatabaseFile& file, ProgressSink& progress) override;

  const std::string& path() const { return path_; }
  // Outcome of the last LoadMaps; ok before the first.
  const SnapshotStatus& status() const { return status_; }

 private:
  std::string path_;
  std::optional<SnapshotMaps> pending_;
  SnapshotStatus status_;
};

// A snapshot file read and checked whole.
struct OpenedSnapshot {
  SnapshotStatus status;
  SnapshotHeader header;  // meaningful only when status is ok
  SnapshotFileMaps maps;  // empty maps unless status is ok
};

// Reads the snapshot at `snapshot_path`. A truncated or damaged file gives a
// failure status ("Snapshot cannot be loaded." and the reason) and nothing
// else.
OpenedSnapshot OpenSnapshot(const std::string& snapshot_path);

// Puts the header's options (collation choice, isSql2000, the deleted-record
// options) and data path into `state`. The saved advanced mode is not
// applied: the run's own recovery mode decides.
void ApplySnapshotHeader(const SnapshotHeader& header, ApplicationState& state);

}  // namespace quill
