#include "database_rows.h"

#include <cstring>
#include <ostream>

#include "cli/scan_command.h"
#include "common/progress_sink.h"
#include "export/table_source.h"

namespace quill::sweep {

namespace {

constexpr char kCellSeparator = '\x1F';

void PutNumber(std::string& out, uint64_t value) {
  char bytes[8];
  std::memcpy(bytes, &value, 8);
  out.append(bytes, 8);
}

void PutText(std::string& out, const std::string& text) {
  PutNumber(out, text.size());
  out += text;
}

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  bool Number(uint64_t& value) {
    if (bytes_.size() - at_ < 8) return false;
    std::memcpy(&value, bytes_.data() + at_, 8);
    at_ += 8;
    return true;
  }
  bool Text(std::string& text) {
    uint64_t size = 0;
    if (!Number(size) || bytes_.size() - at_ < size) return false;
    text.assign(bytes_.data() + at_, size);
    at_ += size;
    return true;
  }
  bool done() const { return at_ == bytes_.size(); }

 private:
  std::string_view bytes_;
  size_t at_ = 0;
};

}  // namespace

DatabaseRows ReadDatabase(const std::string& path, RecoveryMode mode, const CollationTable& collations) {
  DatabaseRows result;
  NullProgressSink quiet;
  {
    ApplicationState state;
    state.collationTable = collations;
    state.recoveryMode = mode;
    std::ostream discard(nullptr);
    ScanRequest request;
    request.path = path;
    result.scanCompleted = RunScanCommand(request, state, quiet, discard) == 0;
  }

  ApplicationState state;
  state.collationTable = collations;
  state.recoveryMode = mode;
  TableSource source(state.readOptions(), state.collationChoice());
  if (!source.Open(path, quiet)) return result;
  result.opened = true;
  for (const SourceTable& table : source.Tables()) {
    const std::optional<ExportTableShape> shape = source.Resolve(table.name, /*definitions=*/false);
    if (!shape) continue;
    ++result.tables;
    source.ReadRows(
        [&](const Row& row, const std::vector<TypedValue>&, const RowPlace& place) {
          PlacedRow placed{table.name, {}, place.page, static_cast<uint32_t>(place.slot)};
          for (size_t k = 0; k < shape->columns.size(); ++k) {
            if (k) placed.text += kCellSeparator;
            placed.text += row.text(shape->columns[k].cellIndex);
          }
          result.rows.push_back(std::move(placed));
          return true;
        },
        {}, /*typed=*/false);
  }
  return result;
}

std::string EncodeRows(const DatabaseRows& rows) {
  std::string out;
  PutNumber(out, rows.scanCompleted);
  PutNumber(out, rows.opened);
  PutNumber(out, rows.tables);
  PutNumber(out, rows.rows.size());
  for (const PlacedRow& row : rows.rows) {
    PutText(out, row.table);
    PutText(out, row.text);
    PutNumber(out, row.page.fileId);
    PutNumber(out, static_cast<uint32_t>(row.page.pageId));
    PutNumber(out, row.slot);
  }
  return out;
}

bool DecodeRows(std::string_view bytes, DatabaseRows& rows) {
  Reader reader(bytes);
  uint64_t scan = 0, opened = 0, tables = 0, count = 0;
  if (!reader.Number(scan) || !reader.Number(opened) || !reader.Number(tables) || !reader.Number(count)) return false;
  rows.scanCompleted = scan != 0;
  rows.opened = opened != 0;
  rows.tables = static_cast<uint32_t>(tables);
  rows.rows.clear();
  for (uint64_t i = 0; i < count; ++i) {
    PlacedRow row;
    uint64_t file_id = 0, page_id = 0, slot = 0;
    if (!reader.Text(row.table) || !reader.Text(row.text) || !reader.Number(file_id) || !reader.Number(page_id) ||
        !reader.Number(slot)) {
      return false;
    }
    row.page = {static_cast<uint16_t>(file_id), static_cast<int32_t>(static_cast<uint32_t>(page_id))};
    row.slot = static_cast<uint32_t>(slot);
    rows.rows.push_back(std::move(row));
  }
  return reader.done();
}

}  // namespace quill::sweep
