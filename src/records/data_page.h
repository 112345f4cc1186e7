// CDataPage: a data page (type 1) of a table, parsed whole: every slot
// record, the compression information, and deleted records when asked for.
#pragma once

#include "records/record_page.h"

namespace quill {

class CDataPage : public PrimaryRecordPage {
 public:
  CDataPage(PageBuffer buffer, const CDatabaseFile* file, const RecordParseOptions& options)
      : PrimaryRecordPage(std::move(buffer), file, options) {}
  ~CDataPage() override = default;
};

}  // namespace quill
