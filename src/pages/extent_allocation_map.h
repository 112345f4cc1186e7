// ExtentAllocationMap: a page whose record holds a bitmap of extents (GAM,
// SGAM, IAM). IamPage: the index allocation map of one allocation unit.
#pragma once

#include "records/record_page.h"

namespace quill {

class ExtentAllocationMap : public PrimaryRecordPage {
 public:
  ExtentAllocationMap(PageBuffer buffer, const CDatabaseFile* file)
      : PrimaryRecordPage(std::move(buffer), file) {}
  ~ExtentAllocationMap() override = default;
};

class IamPage : public ExtentAllocationMap {
 public:
  IamPage(PageBuffer buffer, const CDatabaseFile* file)
      : ExtentAllocationMap(std::move(buffer), file) {}
  ~IamPage() override = default;
};

}  // namespace quill
