// RecordPage: a page whose body is records addressed by a slot array at the
// end of the page. PrimaryRecordPage: a record page whose records are
// primary (row) records. The record layer parses the slot array and the
// records; the page layer only builds the objects.
#pragma once

#include "pages/page.h"

namespace quill {

class RecordPage : public CPage {
 public:
  RecordPage(PageBuffer buffer, const CDatabaseFile* file) : CPage(std::move(buffer), file) {}
  ~RecordPage() override = default;
};

class PrimaryRecordPage : public RecordPage {
 public:
  PrimaryRecordPage(PageBuffer buffer, const CDatabaseFile* file)
      : RecordPage(std::move(buffer), file) {}
  ~PrimaryRecordPage() override = default;
};

}  // namespace quill
