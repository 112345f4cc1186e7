// What a record keeps of the page it was parsed from. The page owns all of
// it and outlives its records.
#pragma once

#include <cstdint>
#include <span>

#include "records/record_parse_options.h"

namespace quill {

class CDatabaseFile;
class CPage_Header;

struct PageContext {
  const CPage_Header* header = nullptr;
  const CDatabaseFile* file = nullptr;
  std::span<const uint8_t> page;  // the raw page bytes
  RecordParseOptions options;
};

}  // namespace quill
