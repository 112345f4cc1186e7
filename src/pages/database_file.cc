#include "pages/database_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <system_error>
#include <thread>

#include "common/printf_text.h"
#include "pages/base_offset_probe.h"
#include "pages/page_check.h"
#include "pages/page.h"
#include "pages/progress_step.h"
#include "pages/sequential_page_reader.h"
#include "pages/system_objects.h"

namespace quill {

namespace {

constexpr char kMappingStarted[] = "Mapping Database Objects...........";
constexpr char kMappingDone[] = "Mapping of Database Objects has been done ......................";
constexpr char kSnapshotLoaded[] = "Load snapshot finished..processing tables ......................";

// Appends to the list of one object, remembering the last list used: pages
// of one object mostly come in runs, so most appends skip the map lookup.
class PageMapAppender {
 public:
  explicit PageMapAppender(PageMap& map) : map_(map) {}
  void Append(int32_t object_id, PageRef ref) {
    if (last_ == nullptr || object_id != last_id_) {
      last_ = &map_[object_id];
      last_id_ = object_id;
    }
    last_->push_back(ref);
  }

 private:
  PageMap& map_;
  std::vector<PageRef>* last_ = nullptr;
  int32_t last_id_ = 0;
};

void ShrinkLists(PageMap& map) {
  for (auto& [id, list] : map) list.shrink_to_fit();
}

// The mapping pass reads and checks every page: a file of at least twice
// this many pages (2 MiB) is mapped in two stretches on two threads.
constexpr int64_t kPagesPerMappingThread = 128;

// What the mapping pass makes of a stretch of the primary file's pages.
struct MappedStretch {
  PageMap systemPages;
  PageMap dataPages;
  PageMap iamPages;
  int64_t damagedPages = 0;
  int64_t systemPageCount = 0;
};

// Maps pages [first, end) of the primary file, whose whole pages number
// `page_count` (a page at `page_count` is the cut last page, or zeros past
// the end: object id 0, ignored). `on_page(done)` follows each page.
template <typename OnPage>
void MapStretch(const ReadOnlyFile& file, int64_t base_offset, int64_t page_count, int64_t first, int64_t end,
                StopToken stop, MappedStretch& out, const OnPage& on_page) {
  PageMapAppender system_pages(out.systemPages);
  PageMapAppender data_pages(out.dataPages);
  PageMapAppender iam_pages(out.iamPages);
  SequentialPageReader reader(file, static_cast<uint64_t>(base_offset + first * static_cast<int64_t>(kPageSize)));
  for (int64_t index = first; index < end; ++index) {
    if (stop.stopRequested()) break;
    auto page = reader.Next();
    const int32_t object_id = HeaderObjectId(page);
    const int32_t page_type = HeaderPageType(page);
    const uint16_t file_id = HeaderFileId(page);
    const auto page_index = static_cast<int32_t>(index);
    // The checks ride along with the pass that reads every page anyway. A
    // page of zeros was never written: it fails the address check but is
    // not damaged.
    if (index < page_count && CheckPage(page, {1, page_index}).damaged() && !IsZeroPage(page)) {
      ++out.damagedPages;
    }
    if (IsPrimarySystemObject(object_id)) {
      system_pages.Append(object_id, {file_id, page_index, page_type});
      ++out.systemPageCount;
    }
    if (object_id > 0 && page_type == kPageTypeData) {
      data_pages.Append(object_id, {file_id, page_index, kPageTypeData});
    } else if (object_id > 0 && page_type == kPageTypeIam) {
      iam_pages.Append(object_id, {file_id, page_index, kPageTypeIam});
    }
    on_page(index - first + 1);
  }
}

}  // namespace

CDatabaseFile::CDatabaseFile() : progress_(&nullProgress_) {}

CDatabaseFile::~CDatabaseFile() = default;

void CDatabaseFile::Fail(const char* message) {
  isOpen_ = false;
  progress_->ScanError(message);
}

bool CDatabaseFile::Open(const std::string& path, ProgressSink* progress, StopToken stop) {
  progress_ = progress != nullptr ? progress : &nullProgress_;
  isOpen_ = true;
  path_ = path;

  primaryFile_ = ReadOnlyFile::Open(path, ReadOnlyFile::Lock::kSharedAdvisory);
  if (!primaryFile_) {
    Fail(kFileCannotBeOpen);
  } else if (primaryFile_->length() < kPageSize) {
    Fail(kNotValidMdf);
  } else {
    fileLength_ = primaryFile_->length();
    baseOffset_ = static_cast<int64_t>(fileLength_ % kPageSize);
    pageCount_ = static_cast<int64_t>((fileLength_ - baseOffset_) / kPageSize);
    extentCount_ = pageCount_ / static_cast<int64_t>(kPagesPerExtent);
    primaryFile_->AdviseSequential();
    BaseOffsetProbeResult probe =
        ProbeBaseOffset(*primaryFile_, pageCount_, baseOffset_, *progress_, stop);
    if (probe.found && probe.baseOffset != baseOffset_) {
      baseOffset_ = probe.baseOffset;
      pageCount_ = static_cast<int64_t>((fileLength_ - static_cast<uint64_t>(baseOffset_)) / kPageSize);
      extentCount_ = pageCount_ / static_cast<int64_t>(kPagesPerExtent);
    }
    if (!MapDatabaseObjects(stop)) Fail(kNotValidMdf);
  }
  return isOpen_;
}

bool CDatabaseFile::MapDatabaseObjects(StopToken stop) {
  systemPages_.clear();
  dataPages_.clear();
  iamPages_.clear();
  damagedPageCount_ = -1;
  mapsFromSnapshot_ = false;

  if (snapshotSource_ != nullptr) {
    if (!snapshotSource_->LoadMaps(*this, *progress_) ||
        systemPages_.empty()) {
      return false;
    }
    mapsFromSnapshot_ = true;
    progress_->StatusText(kSnapshotLoaded);
    return true;
  }
  if (!primaryFile_) return false;

  progress_->ProgressRange(static_cast<uint64_t>(pageCount_));
  progress_->ProgressPos(0);
  progress_->StatusText(kMappingStarted);
  const int64_t step = ProgressStep(pageCount_);

  // The last read lies past the end of the whole pages: a partial page or
  // zeros. Pages are mapped in page order in each stretch, and the second
  // stretch's lists follow the first's, so the maps are those of one pass.
  const int64_t total = pageCount_ + 1;
  int64_t split = total;
  MappedStretch head;
  MappedStretch tail;
  std::atomic<int64_t> tail_done{0};
  std::thread tail_thread;
  if (total >= 2 * kPagesPerMappingThread && std::thread::hardware_concurrency() > 1) {
    split = total / 2;
    try {
      tail_thread = std::thread([&] {
        MapStretch(*primaryFile_, baseOffset_, pageCount_, split, total, stop, tail,
                   [&](int64_t done) { tail_done.store(done, std::memory_order_relaxed); });
      });
    } catch (const std::system_error&) {
      split = total;  // no second thread: one pass does it all
    }
  }
  MapStretch(*primaryFile_, baseOffset_, pageCount_, 0, split, stop, head, [&](int64_t done) {
    if (done % step == 0) {
      const int64_t mapped = done + tail_done.load(std::memory_order_relaxed);
      progress_->ProgressPos(static_cast<uint64_t>(std::min(mapped, pageCount_)));
    }
  });
  if (tail_thread.joinable()) tail_thread.join();
  for (MappedStretch* stretch : {&head, &tail}) {
    AppendPageMap(std::move(stretch->systemPages), systemPages_);
    AppendPageMap(std::move(stretch->dataPages), dataPages_);
    AppendPageMap(std::move(stretch->iamPages), iamPages_);
  }
  damagedPageCount_ = head.damagedPages + tail.damagedPages;
  const int64_t system_page_count = head.systemPageCount + tail.systemPageCount;
  ShrinkLists(systemPages_);
  ShrinkLists(dataPages_);
  ShrinkLists(iamPages_);

  progress_->ProgressPos(static_cast<uint64_t>(pageCount_));
  progress_->StatusText(kMappingDone);
  return system_page_count > 0;
}

bool CDatabaseFile::IsOneOfItsFiles(const std::string& path) const {
  struct stat target {};
  if (::stat(path.c_str(), &target) != 0) return false;
  auto same = [&](const std::string& data_path) {
    struct stat data {};
    return !data_path.empty() && ::stat(data_path.c_str(), &data) == 0 && data.st_dev == target.st_dev &&
           data.st_ino == target.st_ino;
  };
  if (same(path_)) return true;
  for (const auto& [file_id, entry] : secondaryFiles_) {
    if (same(entry.physicalPath)) return true;
  }
  return false;
}

namespace {

Status PageUnreadable(PageAddress address, std::string message) {
  return Status::Failure(std::move(message), Place{.fileId = address.fileId, .pageId = address.pageId});
}

}  // namespace

Result<PageBuffer> CDatabaseFile::ReadPageBytes(PageAddress address, bool allow_page_zero) const {
  const int32_t page_id = address.pageId;
  if (page_id < 0) return PageUnreadable(address, "negative page id");
  if (page_id == 0 && !allow_page_zero) {
    return PageUnreadable(address, "page 0 is the file's header page, not a page of an object");
  }

  const ReadOnlyFile* file = nullptr;
  std::optional<ReadOnlyFile> secondary;
  int64_t page_count = 0;
  int64_t base_offset = 0;
  uint64_t file_length = 0;
  if (address.fileId == 1) {
    if (!primaryFile_) return PageUnreadable(address, "the primary file is not open");
    file = &*primaryFile_;
    page_count = pageCount_;
    base_offset = baseOffset_;
    file_length = fileLength_;
  } else if (address.fileId > 1) {
    auto it = secondaryFiles_.find(address.fileId);
    if (it == secondaryFiles_.end() || it->second.physicalPath.empty()) {
      return PageUnreadable(address, PrintfText("no file with id %u was found (secondary files are "
                                                "searched as *.ndf beside the primary file)",
                                                address.fileId));
    }
    page_count = it->second.pageCount;
    base_offset = it->second.baseOffset;
    file_length = static_cast<uint64_t>(it->second.fileLength);
  } else {
    return PageUnreadable(address, "file id 0 names no file");
  }
  // One page past the last whole page is read: a file cut inside its last
  // page keeps that page's first bytes.
  if (page_id > page_count) {
    return PageUnreadable(address, PrintfText("outside the file (%lld pages)",
                                              static_cast<long long>(page_count)));
  }
  const uint64_t offset = static_cast<uint64_t>(page_id) * kPageSize + base_offset;
  if (offset > file_length) {
    return PageUnreadable(address, PrintfText("would start at byte %llu, past the end of the file",
                                              static_cast<unsigned long long>(offset)));
  }

  if (file == nullptr) {
    // Secondary files are opened for each read and closed after it.
    const std::string& path = secondaryFiles_.at(address.fileId).physicalPath;
    secondary = ReadOnlyFile::Open(path);
    if (!secondary) return PageUnreadable(address, "cannot open " + path);
    file = &*secondary;
  }
  auto buffer = PageBuffer::AllocateForRead();
  if (!buffer) return PageUnreadable(address, "no memory for a page buffer");
  const std::optional<size_t> read = file->ReadAt(offset, buffer->page());
  if (!read) {
    return PageUnreadable(address, PrintfText("reading 8192 bytes at byte %llu failed",
                                              static_cast<unsigned long long>(offset)));
  }
  // The bytes past the end of a cut file read as zero.
  const std::span<uint8_t, kPageSize> page = buffer->page();
  std::fill(page.begin() + static_cast<std::ptrdiff_t>(std::min(*read, kPageSize)), page.end(), uint8_t{0});
  return std::move(*buffer);
}

namespace {

std::optional<PageBuffer> ValueOrNothing(Result<PageBuffer> read) {
  if (!read) return std::nullopt;
  return std::move(*read);
}

}  // namespace

std::optional<PageBuffer> CDatabaseFile::ReadRawPage(PageAddress address) const {
  return ValueOrNothing(ReadPageBytes(address, /*allow_page_zero=*/false));
}

std::optional<CPage_Header> CDatabaseFile::ReadPageHeader(PageAddress address) const {
  auto buffer = ValueOrNothing(ReadPageBytes(address, false));
  if (!buffer) return std::nullopt;
  return CPage_Header::DecodeAndRestore(buffer->page());
}

std::unique_ptr<CPage> CDatabaseFile::ReadPageHeaderKeep(PageAddress address) const {
  auto buffer = ValueOrNothing(ReadPageBytes(address, false));
  if (!buffer) return nullptr;
  return std::make_unique<CPage>(std::move(*buffer), this);
}

std::optional<PageBuffer> CDatabaseFile::ReadRawPageAny(PageAddress address) const {
  return ValueOrNothing(ReadPageBytes(address, /*allow_page_zero=*/true));
}

std::optional<PageAddress> CDatabaseFile::ShiftCorrectedAddress(PageAddress address) const {
  PageAddress actual = address;
  if (auto header = ReadPageHeader(address)) {
    // A page that claims to be `own` when read at `requested` sits shifted
    // by own - requested; the wanted page is as far the other way.
    const int64_t corrected = 2 * static_cast<int64_t>(address.pageId) - header->thisPage.pageId;
    if (corrected < std::numeric_limits<int32_t>::min() ||
        corrected > std::numeric_limits<int32_t>::max()) {
      return std::nullopt;
    }
    actual.pageId = static_cast<int32_t>(corrected);
  }
  return actual;
}

}  // namespace quill
