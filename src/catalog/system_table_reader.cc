#include "catalog/system_table_reader.h"

#include "pages/system_objects.h"
#include "records/page_reads.h"

namespace quill {

namespace {
constexpr uint16_t kFirstOrdinaryIndexId = 256;
}

void ReadSystemTable(const CDatabaseFile& file, int32_t object_id, IndexRecords index_records,
                     const RecordParseOptions& options,
                     const std::function<void(const CPrimaryRecord&, const CDataPage&)>& on_record,
                     std::vector<SystemPageFailure>* failures) {
  const PageMap& system_pages = file.systemPages();
  if (system_pages.empty()) return;
  // Tables the mapping pass does not file as system tables are found among
  // the data pages.
  const PageMap& pages = IsPrimarySystemObject(object_id) ? system_pages : file.dataPages();
  auto it = pages.find(object_id);
  if (it == pages.end()) return;
  for (const PageRef& ref : it->second) {
    if (options.aborted()) return;
    if (ref.pageType != kPageTypeData) continue;
    const PageAddress address{ref.fileId, ref.pageIndex};
    auto page = ReadDataPageAny(file, address, options);
    if (!page) {
      // Read again for the reason: the rare path, and the read is bounded.
      if (failures != nullptr) {
        failures->push_back({object_id, file.ReadPageBytes(address, /*allow_page_zero=*/true).status()});
      }
      continue;
    }
    if (page->header().pageType != kPageTypeData || page->header().indexId >= kFirstOrdinaryIndexId) continue;
    if (failures != nullptr && page->header().slotCount != 0 && !options.aborted()) {
      if (const Status reason = page->recordsFailure(); !reason.ok()) {
        Place place = reason.place();
        place.fileId = address.fileId;
        place.pageId = address.pageId;
        failures->push_back({object_id, Status::Failure(reason.message(), place)});
      }
    }
    const size_t slot_count = std::min<size_t>(page->header().slotCount, page->records().size());
    for (size_t slot = 0; slot < slot_count; ++slot) {
      if (options.aborted()) return;
      const CPrimaryRecord* record = page->records()[slot];
      if (record == nullptr || record->kind == kRecordKindTextFragment) continue;
      if (index_records == IndexRecords::kSkip && record->kind == kRecordKindIndex) continue;
      on_record(*record, *page);
    }
  }
}

}  // namespace quill
