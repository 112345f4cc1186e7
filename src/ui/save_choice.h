// What the Save command asks before it runs: where, and in which format.
#pragma once

#include <string>

#include "export/table_exporter.h"

namespace quill::ui {

struct SaveChoice {
  std::string folder;  // where the database's folder is made
  ExportFormat format = ExportFormat::kCsv;
  bool byteOrderMark = false;  // CSV and TSV
};

}  // namespace quill::ui
