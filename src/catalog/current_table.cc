#include "catalog/system_catalog.h"
#include "records/compressed_record_expansion.h"

namespace quill {

void CurrentTable::ExpandCompressedRecord(CPrimaryRecord& record, const PrimaryRecordPage& page) const {
  quill::ExpandCompressedRecord(record, page, descriptors);
}

}  // namespace quill
