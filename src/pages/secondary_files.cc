// The secondary files of a database (.ndf) beside the primary file, and the
// walk that files their pages into the maps of the file set.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "pages/base_offset_probe.h"
#include "pages/data_file_paths.h"
#include "pages/database_file.h"
#include "pages/progress_step.h"
#include "pages/sequential_page_reader.h"
#include "pages/system_objects.h"

namespace quill {

namespace {

// Regular files named "*.ndf" in `directory`, sorted by name so that the
// order does not depend on the file system.
std::vector<std::string> ListSecondaryFiles(const std::string& directory) {
  std::vector<std::string> paths;
  std::error_code ec;
  const std::filesystem::path folder = directory.empty() ? "." : directory;
  std::filesystem::directory_iterator it(folder, ec);
  const std::filesystem::directory_iterator end;
  while (!ec && it != end) {
    const auto& entry = *it;
    std::error_code type_ec;
    if (entry.is_regular_file(type_ec) &&
        HasSecondaryFileExtension(entry.path().filename().string())) {
      paths.push_back(directory + entry.path().filename().string());
    }
    it.increment(ec);
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

}  // namespace

void CDatabaseFile::LocateSecondaryFiles(std::vector<DataFileEntry>& file_list,
                                         const std::string& primary_path, StopToken stop) {
  if (stop.stopRequested()) return;
  const std::string directory = DirectoryOf(NormaliseStoredPath(primary_path));
  if (file_list.empty()) {
    SearchSecondaryFiles(file_list, directory, stop);
    return;
  }
  for (DataFileEntry& entry : file_list) {
    if (stop.stopRequested()) return;
    if (entry.fileId > 1) entry.physicalPath = SecondaryFilePathBeside(directory, entry.physicalPath);
  }
  ScanListedSecondaryFiles(file_list, stop);
}

void CDatabaseFile::SearchSecondaryFiles(std::vector<DataFileEntry>& file_list,
                                         const std::string& directory, StopToken stop) {
  file_list.clear();
  for (const std::string& path : ListSecondaryFiles(directory)) {
    if (stop.stopRequested()) return;
    auto file = ReadOnlyFile::Open(path);
    if (!file || file->length() < kPageSize) continue;
    DataFileEntry entry;
    entry.status = 0;
    entry.physicalPath = path;
    entry.fileLength = static_cast<int64_t>(file->length());
    entry.baseOffset = static_cast<int32_t>(file->length() % kPageSize);
    entry.pageCount = static_cast<int64_t>((file->length() - entry.baseOffset) / kPageSize);
    BaseOffsetProbeResult probe = ProbeBaseOffset(*file, entry.pageCount, entry.baseOffset,
                                                  *progress_, stop);
    if (probe.found) entry.baseOffset = static_cast<int32_t>(probe.baseOffset);

    progress_->ProgressRange(static_cast<uint64_t>(entry.pageCount));
    progress_->ProgressPos(0);
    const uint16_t file_id = ScanSecondaryFile(*file, entry, /*file_id_override=*/0, stop);
    progress_->ProgressPos(static_cast<uint64_t>(entry.pageCount));
    if (file_id > 1) {
      entry.fileId = file_id;
      file_list.push_back(entry);
      secondaryFiles_[file_id] = entry;
    }
  }
}

void CDatabaseFile::ScanListedSecondaryFiles(std::vector<DataFileEntry>& file_list, StopToken stop) {
  for (DataFileEntry& entry : file_list) {
    if (stop.stopRequested()) return;
    if (entry.fileId <= 1 || entry.fileId > 0xFFFF) continue;
    auto file = ReadOnlyFile::Open(entry.physicalPath);
    if (!file) continue;
    entry.fileLength = static_cast<int64_t>(file->length());
    entry.baseOffset = static_cast<int32_t>(file->length() % kPageSize);
    entry.pageCount = static_cast<int64_t>((file->length() - entry.baseOffset) / kPageSize);
    const auto file_id = static_cast<uint16_t>(entry.fileId);
    secondaryFiles_[file_id] = entry;

    progress_->ProgressRange(static_cast<uint64_t>(entry.pageCount));
    progress_->ProgressPos(0);
    ScanSecondaryFile(*file, entry, file_id, stop);
    progress_->ProgressPos(static_cast<uint64_t>(entry.pageCount));
  }
}

uint16_t CDatabaseFile::ScanSecondaryFile(const ReadOnlyFile& file, const DataFileEntry& entry,
                                          uint16_t file_id_override, StopToken stop) {
  const int64_t step = ProgressStep(entry.pageCount);
  // Maps loaded from a snapshot hold this file's pages already.
  const bool file_pages = !mapsFromSnapshot_;
  uint16_t first_data_file_id = 0;
  SequentialPageReader reader(file, static_cast<uint64_t>(entry.baseOffset));
  for (int64_t index = 0; index <= entry.pageCount; ++index) {
    if (stop.stopRequested()) break;
    auto page = reader.Next();
    const int32_t object_id = HeaderObjectId(page);
    const int32_t page_type = HeaderPageType(page);
    const uint16_t header_file_id = HeaderFileId(page);
    const uint16_t file_id = file_id_override > 0 ? file_id_override : header_file_id;
    const auto page_index = static_cast<int32_t>(index);
    if (file_pages && IsSecondarySystemObject(object_id)) {
      systemPages_[object_id].push_back({file_id, page_index, page_type});
    }
    if (object_id > 0 && page_type == kPageTypeData) {
      if (file_pages) dataPages_[object_id].push_back({file_id, page_index, kPageTypeData});
      if (first_data_file_id == 0 && header_file_id > 1) first_data_file_id = header_file_id;
    }
    if ((index + 1) % step == 0) progress_->ProgressPos(static_cast<uint64_t>(index + 1));
  }
  return first_data_file_id;
}

}  // namespace quill
