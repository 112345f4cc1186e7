// Parses a fixture page image the way the readers do.
#pragma once

#include <algorithm>
#include <memory>

#include "page_image.h"
#include "pages/page_buffer.h"
#include "records/data_page.h"

namespace quill::testing {

inline PageBuffer ToBuffer(const fixture::PageImage& image) {
  auto buffer = PageBuffer::Allocate();
  if (!buffer) std::abort();
  std::copy(image.bytes().begin(), image.bytes().end(), buffer->page().begin());
  return std::move(*buffer);
}

// Parses the page whole; `file` (may be null) supplies the options.
inline std::unique_ptr<CDataPage> ParseDataPage(const fixture::PageImage& image,
                                                const CDatabaseFile* file = nullptr,
                                                const RecordParseOptions& options = {}) {
  return std::make_unique<CDataPage>(ToBuffer(image), file, options);
}

}  // namespace quill::testing
