// TextMixPage: a page of large-object fragments (text, image, max-length and
// row-overflow values), reached through large-object links.
#pragma once

#include "records/record_page.h"

namespace quill {

class TextMixPage : public RecordPage {
 public:
  TextMixPage(PageBuffer buffer, const CDatabaseFile* file) : RecordPage(std::move(buffer), file) {}
  ~TextMixPage() override = default;
};

}  // namespace quill
