#include "scan/snapshot_reader.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "common/little_endian.h"
#include "common/printf_text.h"
#include "common/text_encoding.h"
#include "pages/database_file.h"
#include "pages/page_header.h"
#include "pages/read_only_file.h"

namespace quill {

namespace {

constexpr int32_t kLargestPageType = 255;  // the type is one header byte
constexpr int32_t kAnyPageType = -1;

// One of the three map blocks: its name in messages and the page type every
// reference in it carries (the mapping pass files only data pages under
// dataPages and only IAM pages under iamPages).
struct MapBlockKind {
  const char* name;
  int32_t pageType;
};
constexpr MapBlockKind kSystemPagesBlock{"systemPages", kAnyPageType};
constexpr MapBlockKind kDataPagesBlock{"dataPages", kPageTypeData};
constexpr MapBlockKind kIamPagesBlock{"iamPages", kPageTypeIam};

// Walks the bytes once; the first fault stops it and is kept as the reason.
class SnapshotDecoder {
 public:
  explicit SnapshotDecoder(std::span<const uint8_t> bytes) : reader_(bytes) {}

  const Status& fault() const { return fault_; }
  size_t remaining() const { return reader_.remaining(); }
  size_t position() const { return reader_.position(); }

  bool DecodeHeader(SnapshotHeader& header) {
    const size_t length_at = position();
    auto path_length = Read<uint32_t>({"data path length"});
    if (!path_length) return false;
    if (*path_length % 2 != 0) {
      return Fail(length_at, PrintfText("data path length %u is odd", *path_length));
    }
    if (*path_length > remaining()) {
      return Fail(length_at, PrintfText("data path length %u exceeds the %zu bytes that remain",
                                        *path_length, remaining()));
    }
    header.dataPath = Utf16LeToUtf8(*reader_.Slice(*path_length));
    if (!ReadFlag("advanced mode", header.advancedMode) ||
        !ReadFlag("collation auto detect", header.autoDetectCollation)) {
      return false;
    }
    if (!header.autoDetectCollation) {
      auto id = Read<int64_t>({"manual collation id"});
      if (!id) return false;
      header.manualCollationId = *id;
    }
    return ReadFlag("isSql2000", header.isSql2000) &&
           ReadFlag("showDeletedRecords", header.showDeletedRecords) &&
           ReadFlag("showAdvancedDeletedRecords", header.showAdvancedDeletedRecords);
  }

  bool DecodeMapBlock(const MapBlockKind& kind, PageMap& map) {
    const char* block = kind.name;
    const size_t count_at = position();
    auto entry_count = Read<uint64_t>({"entry count", block});
    if (!entry_count) return false;
    // Every entry takes at least its key and reference count.
    if (*entry_count > remaining() / kSnapshotEntryHeadSize) {
      return Fail(count_at, PrintfText("%s: %llu entries need at least %llu bytes, %zu remain",
                                       block, static_cast<unsigned long long>(*entry_count),
                                       static_cast<unsigned long long>(*entry_count) *
                                           kSnapshotEntryHeadSize,
                                       remaining()));
    }
    std::optional<int32_t> previous_id;
    for (uint64_t entry = 0; entry < *entry_count; ++entry) {
      const size_t entry_at = position();
      auto object_id = Read<int32_t>({"object id", block});
      auto ref_count =
          object_id ? Read<uint32_t>({"reference count", block, *object_id}) : std::nullopt;
      if (!ref_count) return false;
      if (previous_id && *object_id <= *previous_id) {
        return Fail(entry_at, PrintfText("%s: object id %d does not follow %d in ascending order",
                                         block, *object_id, *previous_id));
      }
      previous_id = object_id;
      if (*ref_count > remaining() / kSnapshotRefSize) {
        return Fail(entry_at + kSnapshotEntryKeySize, PrintfText("%s: object %d has %u page references needing %llu bytes, "
                                         "%zu remain",
                                         block, *object_id, *ref_count,
                                         static_cast<unsigned long long>(*ref_count) *
                                             kSnapshotRefSize,
                                         remaining()));
      }
      // Keys ascend, so every entry goes at the end of the map.
      std::vector<PageRef>& refs =
          map.emplace_hint(map.end(), *object_id, std::vector<PageRef>())->second;
      refs.reserve(*ref_count);
      for (uint32_t i = 0; i < *ref_count; ++i) {
        const size_t ref_at = position();
        // The count check above guarantees these reads.
        PageRef ref;
        ref.fileId = *reader_.Read<uint16_t>();
        ref.pageIndex = *reader_.Read<int32_t>();
        ref.pageType = *reader_.Read<int32_t>();
        if (ref.pageIndex < 0) {
          return Fail(ref_at + kSnapshotRefFileIdSize, PrintfText("%s: object %d has the negative page index %d", block,
                                         *object_id, ref.pageIndex));
        }
        if (ref.pageType < 0 || ref.pageType > kLargestPageType ||
            (kind.pageType != kAnyPageType && ref.pageType != kind.pageType)) {
          return Fail(ref_at + kSnapshotRefFileIdSize + kSnapshotRefPageIndexSize,
                      PrintfText("%s: object %d has a page of type %d", block, *object_id,
                                         ref.pageType));
        }
        refs.push_back(ref);
      }
    }
    return true;
  }

  bool ExpectEnd() {
    if (remaining() == 0) return true;
    return Fail(position(), PrintfText("%zu bytes follow the last map block", remaining()));
  }

 private:
  // Names a field for a fault message; formatted only when one is needed.
  class Field {
   public:
    Field(const char* name, const char* block = nullptr, std::optional<int32_t> object_id = {})
        : name_(name), block_(block), objectId_(object_id) {}

    std::string Text() const {
      std::string text = block_ != nullptr ? PrintfText("%s %s", block_, name_) : name_;
      if (objectId_) text += PrintfText(" of object %d", *objectId_);
      return text;
    }

   private:
    const char* name_;
    const char* block_;
    std::optional<int32_t> objectId_;
  };

  template <typename T>
  std::optional<T> Read(const Field& field) {
    const size_t at = position();
    auto value = reader_.Read<T>();
    if (!value) {
      Fail(at, PrintfText("the file ends inside the %s field (%zu of %zu bytes)",
                          field.Text().c_str(), remaining(), sizeof(T)));
    }
    return value;
  }

  bool ReadFlag(const char* field, bool& out) {
    const size_t at = position();
    auto value = Read<uint8_t>({field});
    if (!value) return false;
    if (*value > 1) return Fail(at, PrintfText("%s byte is %u, not 0 or 1", field, *value));
    out = *value == 1;
    return true;
  }

  bool Fail(size_t offset, std::string what) {
    fault_ = Status::Failure(std::move(what), Place{.offset = static_cast<int64_t>(offset)});
    return false;
  }

  ByteReader reader_;
  Status fault_;
};

}  // namespace

SnapshotReadResult DecodeSnapshot(std::span<const uint8_t> bytes) {
  SnapshotReadResult result;
  SnapshotContents contents;
  SnapshotDecoder decoder(bytes);
  const bool decoded = decoder.DecodeHeader(contents.header) &&
                       decoder.DecodeMapBlock(kSystemPagesBlock, contents.maps.systemPages) &&
                       decoder.DecodeMapBlock(kDataPagesBlock, contents.maps.dataPages) &&
                       decoder.DecodeMapBlock(kIamPagesBlock, contents.maps.iamPages) &&
                       decoder.ExpectEnd();
  if (!decoded) {
    result.status = SnapshotStatus::LoadFailure(decoder.fault());
    return result;
  }
  result.contents = std::move(contents);
  return result;
}

SnapshotReadResult ReadSnapshotFile(const std::string& path) {
  SnapshotReadResult result;
  auto file = ReadOnlyFile::Open(path);
  if (!file) {
    result.status = SnapshotStatus::LoadFailure(
        PrintfText("Cannot open %s: %s.", path.c_str(), std::strerror(errno)));
    return result;
  }
  if (file->length() < kSnapshotMinimumSize) {
    result.status = SnapshotStatus::LoadFailure(
        PrintfText("%s holds %llu bytes; a snapshot has at least %zu.", path.c_str(),
                   static_cast<unsigned long long>(file->length()), kSnapshotMinimumSize));
    return result;
  }
  std::vector<uint8_t> bytes;
  if (file->length() > bytes.max_size()) {
    result.status = SnapshotStatus::LoadFailure(PrintfText("%s is too large.", path.c_str()));
    return result;
  }
  bytes.resize(static_cast<size_t>(file->length()));
  const auto read = file->ReadAt(0, bytes);
  if (!read || *read != bytes.size()) {
    result.status = SnapshotStatus::LoadFailure(PrintfText("Cannot read %s.", path.c_str()));
    return result;
  }
  return DecodeSnapshot(bytes);
}

void AppendSnapshotMaps(SnapshotMaps&& maps, CDatabaseFile& file) {
  AppendPageMap(std::move(maps.systemPages), file.mutableSystemPages());
  AppendPageMap(std::move(maps.dataPages), file.mutableDataPages());
  AppendPageMap(std::move(maps.iamPages), file.mutableIamPages());
}

SnapshotStatus ReadSnapshotMaps(const std::string& path, CDatabaseFile& file) {
  SnapshotReadResult read = ReadSnapshotFile(path);
  if (read.status.ok()) AppendSnapshotMaps(std::move(read.contents.maps), file);
  return read.status;
}

}  // namespace quill
