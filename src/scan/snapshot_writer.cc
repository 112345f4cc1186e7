#include "scan/snapshot_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/little_endian.h"
#include "common/printf_text.h"
#include "common/text_encoding.h"
#include "pages/database_file.h"

namespace quill {

namespace {

// Tries this many temporary names before giving up on a folder where every
// candidate already exists.
constexpr int kTemporaryNameAttempts = 16;

class SnapshotEncoder {
 public:
  explicit SnapshotEncoder(std::vector<uint8_t>& out) : out_(out) {}

  template <typename T>
  void Put(T value) {
    const size_t at = out_.size();
    out_.resize(at + sizeof(T));
    StoreLittleEndianUnchecked<T>(out_.data() + at, value);
  }
  void PutFlag(bool value) { Put<uint8_t>(value ? 1 : 0); }
  void PutBytes(const std::vector<uint8_t>& bytes) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
  }

  // Count, then each entry in key order: key, reference count, references.
  void PutMapBlock(const PageMap& map) {
    Put<uint64_t>(map.size());
    for (const auto& [object_id, refs] : map) {
      Put<int32_t>(object_id);
      Put<uint32_t>(static_cast<uint32_t>(refs.size()));
      for (const PageRef& ref : refs) {
        Put<uint16_t>(ref.fileId);
        Put<int32_t>(ref.pageIndex);
        Put<int32_t>(ref.pageType);
      }
    }
  }

 private:
  std::vector<uint8_t>& out_;
};

size_t MapBlockSize(const PageMap& map) {
  size_t size = kSnapshotEntryCountSize;
  for (const auto& [object_id, refs] : map) {
    size += kSnapshotEntryHeadSize + refs.size() * kSnapshotRefSize;
  }
  return size;
}

std::string ErrnoText(const char* what, const std::string& path) {
  return PrintfText("%s %s: %s", what, path.c_str(), std::strerror(errno));
}

// Writes all of `bytes` to `fd`; bounded because each round writes at least
// one byte or fails.
bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string ParentFolder(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes the rename itself durable; a folder that cannot be synced changes
// nothing about the written file, so failures are ignored.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Writes `bytes` to `path` through a temporary file in the same folder.
SnapshotStatus WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < kTemporaryNameAttempts && fd < 0; ++attempt) {
    temporary =
        PrintfText("%s.%ld-%d.partial", path.c_str(), static_cast<long>(::getpid()), attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return SnapshotStatus::SaveFailure(ErrnoText("cannot create", temporary));

  std::string failure;
  if (!WriteAll(fd, bytes)) {
    failure = ErrnoText("cannot write", temporary);
  } else if (::fsync(fd) != 0) {
    failure = ErrnoText("cannot flush", temporary);
  }
  if (::close(fd) != 0 && failure.empty()) failure = ErrnoText("cannot close", temporary);
  if (failure.empty() && ::rename(temporary.c_str(), path.c_str()) != 0) {
    failure = ErrnoText("cannot rename to", path);
  }
  if (!failure.empty()) {
    ::unlink(temporary.c_str());
    return SnapshotStatus::SaveFailure(failure);
  }
  SyncFolder(ParentFolder(path));
  return SnapshotStatus::Ok();
}

}  // namespace

SnapshotHeader SnapshotHeaderFor(const std::string& data_path, bool advanced_mode,
                                 const ReadOptions& options, const CollationChoice& collation) {
  SnapshotHeader header;
  header.dataPath = data_path;
  header.advancedMode = advanced_mode;
  header.autoDetectCollation = collation.autoDetect;
  header.manualCollationId = collation.autoDetect ? 0 : collation.manualId;
  header.isSql2000 = options.parse.isSql2000;
  header.showDeletedRecords = options.parse.showDeletedRecords;
  header.showAdvancedDeletedRecords = options.parse.showAdvancedDeletedRecords;
  return header;
}

std::vector<uint8_t> EncodeSnapshot(const SnapshotHeader& header, const PageMap& system_pages,
                                    const PageMap& data_pages, const PageMap& iam_pages) {
  const std::vector<uint8_t> path = Utf8ToUtf16Le(header.dataPath);
  std::vector<uint8_t> out;
  out.reserve(kSnapshotMinimumSize + path.size() + kSnapshotCollationIdSize +
              MapBlockSize(system_pages) + MapBlockSize(data_pages) + MapBlockSize(iam_pages));
  SnapshotEncoder encoder(out);
  encoder.Put<uint32_t>(static_cast<uint32_t>(path.size()));
  encoder.PutBytes(path);
  encoder.PutFlag(header.advancedMode);
  encoder.PutFlag(header.autoDetectCollation);
  if (!header.autoDetectCollation) encoder.Put<int64_t>(header.manualCollationId);
  encoder.PutFlag(header.isSql2000);
  encoder.PutFlag(header.showDeletedRecords);
  encoder.PutFlag(header.showAdvancedDeletedRecords);
  encoder.PutMapBlock(system_pages);
  encoder.PutMapBlock(data_pages);
  encoder.PutMapBlock(iam_pages);
  return out;
}

std::string SnapshotPathWithExtension(const std::string& path) {
  const size_t name_start = path.find_last_of("/\\");
  const std::string name = name_start == std::string::npos ? path : path.substr(name_start + 1);
  if (name.empty()) return path;  // a folder; the write reports it
  if (name.back() == '.') return path + kSnapshotExtension;
  if (name.find('.') != std::string::npos) return path;
  return path + "." + kSnapshotExtension;
}

SnapshotWriteResult WriteSnapshot(const CDatabaseFile* file, const std::string& data_path,
                                  bool advanced_mode, const ReadOptions& options,
                                  const CollationChoice& collation, const std::string& snapshot_path) {
  SnapshotWriteResult result;
  if (file == nullptr) {
    result.status = SnapshotStatus::SaveFailure("no scan has been made");
    return result;
  }
  if (snapshot_path.empty()) {
    result.status = SnapshotStatus::SaveFailure("no snapshot path");
    return result;
  }
  result.path = SnapshotPathWithExtension(snapshot_path);
  if (file->IsOneOfItsFiles(result.path)) {
    result.status = SnapshotStatus::SaveFailure(result.path + " is a data file of the database");
    return result;
  }
  const std::vector<uint8_t> bytes =
      EncodeSnapshot(SnapshotHeaderFor(data_path, advanced_mode, options, collation), file->systemPages(),
                     file->dataPages(), file->iamPages());
  result.status = WriteFileAtomically(result.path, bytes);
  return result;
}

}  // namespace quill
