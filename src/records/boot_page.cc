#include "records/boot_page.h"

#include <vector>

#include "common/little_endian.h"
#include "common/printf_text.h"
#include "common/text_encoding.h"
#include "pages/database_file.h"
#include "pages/sql_version.h"
#include "pages/system_objects.h"

namespace quill {

namespace B = boot_page_layout;

namespace {
// The first page of sysallocunits, else of syscolpars, tells how far the
// page ids of the file are shifted.
constexpr int32_t kShiftObjectId = kSysAllocUnits;
constexpr int32_t kFallbackShiftObjectId = kSysColPars;
}  // namespace

uint16_t CBootPage::versionNumber() const { return LoadAt<uint16_t, B::kVersion>(data()); }

uint16_t CBootPage::createVersionNumber() const {
  return LoadAt<uint16_t, B::kCreateVersion>(data());
}

int32_t CBootPage::collationId() const { return LoadAt<int32_t, B::kCollationId>(data()); }

std::string CBootPage::databaseName() const {
  const uint8_t* field = data().data() + B::kDatabaseName;
  size_t units = 0;
  while (units < B::kDatabaseNameUnits && LoadLittleEndianUnchecked<uint16_t>(field + 2 * units) != 0) {
    ++units;
  }
  // Padding is written as U+0020 units by some versions and as 0x20 bytes
  // (U+2020) by others.
  while (units > 0) {
    uint16_t last = LoadLittleEndianUnchecked<uint16_t>(field + 2 * (units - 1));
    if (last != 0x0020 && last != 0x2020) break;
    --units;
  }
  return Utf16LeToUtf8({field, 2 * units});
}

Result<int32_t> LocateBootPage(const CDatabaseFile& file) {
  int64_t shift = 0;
  const PageMap& system_pages = file.systemPages();
  auto it = system_pages.find(kShiftObjectId);
  if (it == system_pages.end() || it->second.empty()) it = system_pages.find(kFallbackShiftObjectId);
  if (it != system_pages.end() && !it->second.empty()) {
    const PageRef& first = it->second.front();
    if (auto header = file.ReadPageHeader({first.fileId, first.pageIndex})) {
      shift = static_cast<int64_t>(header->thisPage.pageId) - first.pageIndex;
    }
  }
  const int64_t boot_index = kNominalBootPageIndex - shift;
  if (boot_index <= 0 || boot_index >= file.pageCount()) {
    return Status::Failure(PrintfText("the boot page, page %lld shifted by %lld as the first system page says, "
                                      "is not inside the file (%lld pages)",
                                      static_cast<long long>(kNominalBootPageIndex), static_cast<long long>(shift),
                                      static_cast<long long>(file.pageCount())));
  }
  return static_cast<int32_t>(boot_index);
}

const CollationEntry* FindDatabaseCollation(const CollationTable& table, int32_t collation_id) {
  auto it = table.find(collation_id);
  if (it == table.end()) it = table.find(static_cast<int64_t>(collation_id & 0xFFFF));
  return it == table.end() ? nullptr : &it->second;
}

Result<BootPageInfo> ReadBootPage(CDatabaseFile& file, const CollationChoice& choice) {
  file.SetDatabaseName({});
  Result<int32_t> boot_index = LocateBootPage(file);
  if (!boot_index) return boot_index.status();
  Result<PageBuffer> buffer = file.ReadPageBytes({1, *boot_index}, /*allow_page_zero=*/false);
  if (!buffer) return buffer.status();
  CBootPage page(std::move(*buffer), &file);

  BootPageInfo info;
  info.pageIndex = *boot_index;
  info.versionNumber = page.versionNumber();
  info.createVersionNumber = page.createVersionNumber();
  info.collationId = page.collationId();
  info.databaseName = page.databaseName();

  info.versionName = SqlVersionName(info.versionNumber);
  file.SetDatabaseName(info.databaseName);

  const CollationEntry* collation = nullptr;
  if (choice.table == nullptr) {
    // no table: no collation is found
  } else if (choice.autoDetect) {
    collation = FindDatabaseCollation(*choice.table, info.collationId);
  } else if (auto it = choice.table->find(choice.manualId); it != choice.table->end()) {
    collation = &it->second;
  }
  if (collation != nullptr) {
    info.collationFound = true;
    info.collationName = collation->name;
  }
  return info;
}

}  // namespace quill
