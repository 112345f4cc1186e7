// One file of a database, as listed by the file catalog (object 8) or found
// by searching the primary file's folder for secondary files.
#pragma once

#include <cstdint>
#include <string>

namespace quill {

struct DataFileEntry {
  int32_t status = 0;        // as stored in the catalog; 0 when found by search
  int32_t fileId = -1;
  std::string logicalName;
  std::string physicalPath;  // the path that is opened
  int64_t fileLength = 0;    // bytes
  int64_t pageCount = 0;
  int32_t baseOffset = 0;    // byte where page 0 starts
};

}  // namespace quill
