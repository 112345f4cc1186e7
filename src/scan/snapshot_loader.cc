#include "scan/snapshot_loader.h"

#include <utility>

#include "scan/application_state.h"

namespace quill {

SnapshotFileMaps::SnapshotFileMaps(std::string snapshot_path) : path_(std::move(snapshot_path)) {}

SnapshotFileMaps::SnapshotFileMaps(std::string snapshot_path, SnapshotMaps maps)
    : path_(std::move(snapshot_path)), pending_(std::move(maps)) {}

bool SnapshotFileMaps::LoadMaps(CDatabaseFile& file, ProgressSink& progress) {
  progress.StatusText(kLoadingSnapshot);
  if (pending_) {
    AppendSnapshotMaps(std::move(*pending_), file);
    pending_.reset();
    status_ = SnapshotStatus::Ok();
    return true;
  }
  status_ = ReadSnapshotMaps(path_, file);
  return status_.ok();
}

OpenedSnapshot OpenSnapshot(const std::string& snapshot_path) {
  SnapshotReadResult read = ReadSnapshotFile(snapshot_path);
  if (!read.status.ok()) {
    return {std::move(read.status), SnapshotHeader{}, SnapshotFileMaps(snapshot_path)};
  }
  return {SnapshotStatus::Ok(), std::move(read.contents.header),
          SnapshotFileMaps(snapshot_path, std::move(read.contents.maps))};
}

void ApplySnapshotHeader(const SnapshotHeader& header, ApplicationState& state) {
  state.snapshotDataPath = header.dataPath;
  state.autoDetectCollation = header.autoDetectCollation;
  if (!header.autoDetectCollation) state.manualCollationId = header.manualCollationId;
  state.isSql2000 = header.isSql2000;
  state.showDeletedRecords = header.showDeletedRecords;
  state.showAdvancedDeletedRecords = header.showAdvancedDeletedRecords;
}

}  // namespace quill
