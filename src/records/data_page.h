// CDataPage: a data page (type 1) of a table, read for its rows.
#pragma once

#include "records/record_page.h"

namespace quill {

class CDataPage : public PrimaryRecordPage {
 public:
  CDataPage(PageBuffer buffer, const CDatabaseFile* file)
      : PrimaryRecordPage(std::move(buffer), file) {}
  ~CDataPage() override = default;
};

}  // namespace quill
