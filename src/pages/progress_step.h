// Passes over every page report their position about 100 times: every
// ceil(page_count / 100) pages (at least every page).
#pragma once

#include <cmath>
#include <cstdint>

namespace quill {

inline int64_t ProgressStep(int64_t page_count) {
  auto step = static_cast<int64_t>(std::ceil(static_cast<double>(page_count) / 100.0));
  return step > 0 ? step : 1;
}

}  // namespace quill
