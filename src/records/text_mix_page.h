// TextMixPage: a page of large-object nodes (text, image, max-length and
// row-overflow values), reached through large-object links. Its records are
// TextRecord nodes, one per slot (null for an empty or impossible slot).
#pragma once

#include <memory>
#include <vector>

#include "records/record_page.h"
#include "records/text_record.h"

namespace quill {

class TextMixPage : public RecordPage {
 public:
  TextMixPage(PageBuffer buffer, const CDatabaseFile* file, const RecordParseOptions& options);
  ~TextMixPage() override = default;

  const std::vector<std::unique_ptr<TextRecord>>& records() const { return records_; }

 private:
  std::vector<std::unique_ptr<TextRecord>> records_;
};

}  // namespace quill
