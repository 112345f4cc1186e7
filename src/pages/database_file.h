// CDatabaseFile: the open set of data files of one scan. It knows the primary
// file (.mdf) and the secondary files (.ndf) of the database, where page 0 of
// each starts, and reads any page by its address. Opening it makes one
// sequential pass over the primary file and files every page of a system
// base table, every data page and every IAM page under the object id in its
// header; the catalog and table readers work from those maps.
//
// Nothing is ever written to a data file and pages are not cached: every
// read returns a fresh buffer owned by the caller (or by the page object
// built from it).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/progress_sink.h"
#include "common/status.h"
#include "common/stop_token.h"
#include "pages/data_file_entry.h"
#include "pages/page_address.h"
#include "pages/page_buffer.h"
#include "pages/page_header.h"
#include "pages/read_only_file.h"

namespace quill {

class CPage;
class CDatabaseFile;

// Supplies the page maps from a saved snapshot instead of a pass over the
// data file; set on the file set when the run loads a snapshot.
class SnapshotMapSource {
 public:
  virtual ~SnapshotMapSource() = default;
  // Fills the maps of `file`; false when the snapshot cannot be loaded.
  virtual bool LoadMaps(CDatabaseFile& file, ProgressSink& progress) = 0;
};

// Texts reported through ProgressSink::ScanError.
inline constexpr char kFileCannotBeOpen[] = "File cannot be open...........";
inline constexpr char kNotValidMdf[] =
    "Wheteher File is not valid mdf file or file is highly corrupted...........";

class CDatabaseFile {
 public:
  CDatabaseFile();
  ~CDatabaseFile();
  CDatabaseFile(const CDatabaseFile&) = delete;
  CDatabaseFile& operator=(const CDatabaseFile&) = delete;

  // Opens the primary file, finds its page alignment and maps its pages,
  // reporting to `progress` (may be null). Returns isOpen(). On failure the
  // reason goes to progress->ScanError. A stop request ends the alignment
  // probe and the mapping pass; the file set then holds the pages mapped so
  // far.
  bool Open(const std::string& path, ProgressSink* progress, StopToken stop = {});

  // Fills the maps from the snapshot source when one is set (the run loads
  // a snapshot), otherwise by one pass over the primary file. True when at
  // least one system base table page was filed.
  bool MapDatabaseObjects(StopToken stop = {});

  // Finds the secondary files of the database beside the primary file: the
  // entries of `file_list` with a file id above 1 (the catalog's file list),
  // or, when the list is empty, every "*.ndf" file in the folder, which then
  // fills `file_list`. Their pages join the system and data page maps.
  void LocateSecondaryFiles(std::vector<DataFileEntry>& file_list, const std::string& primary_path,
                            StopToken stop = {});
  void SearchSecondaryFiles(std::vector<DataFileEntry>& file_list, const std::string& directory,
                            StopToken stop = {});
  void ScanListedSecondaryFiles(std::vector<DataFileEntry>& file_list, StopToken stop = {});

  // Page reads. Each returns nothing when the page cannot be read: a file id
  // below 1 or without a file, a page id of 0 (except ReadDataPageAny), a
  // negative page id or one above the file's page count, an offset past the
  // end of the file, or an I/O error. Bytes past the end of the file read as
  // zeros. Torn-page bits are restored in every page object built. The
  // page kinds with records are built from these reads by the record layer
  // (records/page_reads.h).
  std::optional<PageBuffer> ReadRawPage(PageAddress address) const;
  // The same read, saying why a page cannot be read; page 0 of a file only
  // with `allow_page_zero`.
  Result<PageBuffer> ReadPageBytes(PageAddress address, bool allow_page_zero) const;
  // As ReadRawPage, but page 0 of a file is accepted.
  std::optional<PageBuffer> ReadRawPageAny(PageAddress address) const;
  std::optional<CPage_Header> ReadPageHeader(PageAddress address) const;
  // The header together with its page bytes, for walks that look at both.
  std::unique_ptr<CPage> ReadPageHeaderKeep(PageAddress address) const;
  // Where a large-object page addressed as `address` really is: when the
  // page there says it is page p, the page wanted is 2 * address.pageId - p
  // (a shifted file). The address itself when its header cannot be read;
  // nothing when the corrected page id does not fit.
  std::optional<PageAddress> ShiftCorrectedAddress(PageAddress address) const;

  void SetSnapshotMapSource(SnapshotMapSource* source) { snapshotSource_ = source; }
  void SetDatabaseName(std::string name) { databaseName_ = std::move(name); }

  bool isOpen() const { return isOpen_; }
  const std::string& path() const { return path_; }
  uint64_t fileLength() const { return fileLength_; }
  int64_t pageCount() const { return pageCount_; }
  // Pages of the primary file that failed the page checks (page_check.h)
  // during the mapping pass; -1 when no pass ran (maps from a snapshot).
  int64_t damagedPageCount() const { return damagedPageCount_; }
  int64_t baseOffset() const { return baseOffset_; }
  int64_t extentCount() const { return extentCount_; }
  const std::string& databaseName() const { return databaseName_; }

  const PageMap& systemPages() const { return systemPages_; }
  const PageMap& dataPages() const { return dataPages_; }
  const PageMap& iamPages() const { return iamPages_; }
  // Writable maps, for the snapshot loader.
  PageMap& mutableSystemPages() { return systemPages_; }
  PageMap& mutableDataPages() { return dataPages_; }
  PageMap& mutableIamPages() { return iamPages_; }
  const std::map<uint16_t, DataFileEntry>& secondaryFiles() const { return secondaryFiles_; }
  // True when `path` names the primary file or one of the secondary files
  // found (the same file by device and inode, whatever the spelling), so
  // that writers can refuse to replace a data file.
  bool IsOneOfItsFiles(const std::string& path) const;
  // True when the maps came from a snapshot. A snapshot already holds the
  // pages of the secondary files, so their scans then only find the files
  // and file nothing a second time.
  bool mapsFromSnapshot() const { return mapsFromSnapshot_; }

 private:
  void Fail(const char* message);
  // Walks a secondary file and files its pages; `file_id_override` (when
  // above 0) replaces the file id of the page headers. Returns the file id
  // of the first data page that names a file above 1, or 0.
  uint16_t ScanSecondaryFile(const ReadOnlyFile& file, const DataFileEntry& entry,
                             uint16_t file_id_override, StopToken stop);

  ProgressSink* progress_;
  NullProgressSink nullProgress_;
  SnapshotMapSource* snapshotSource_ = nullptr;
  int64_t damagedPageCount_ = -1;

  uint64_t fileLength_ = 0;
  int64_t pageCount_ = 0;
  int64_t baseOffset_ = 0;
  int64_t extentCount_ = 0;
  std::optional<ReadOnlyFile> primaryFile_;
  std::string path_;
  std::string databaseName_;
  PageMap systemPages_;
  PageMap dataPages_;
  PageMap iamPages_;
  std::map<uint16_t, DataFileEntry> secondaryFiles_;
  bool isOpen_ = false;
  bool mapsFromSnapshot_ = false;
};

}  // namespace quill
