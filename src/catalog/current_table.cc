#include "catalog/system_catalog.h"

namespace quill {

// Compressed records are expanded by the value layer when it exists; until then they keep their compressed form.
void CurrentTable::ExpandCompressedRecord(CPrimaryRecord&, const PrimaryRecordPage&) const {}

}  // namespace quill
