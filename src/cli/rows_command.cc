#include "cli/rows_command.h"

#include <fmt/format.h>

#include <algorithm>
#include <string_view>
#include <thread>

#include "cli/info_command.h"
#include "export/byte_sink.h"
#include "export/field_encoding.h"
#include "export/table_source.h"

namespace quill {

namespace {

// Writes rows into one large buffer handed to the stream in big pieces.
// CSV and TSV carry the record list's texts; JSON carries typed values.
class RowWriter {
 public:
  RowWriter(RowsFormat format, const ExportTableShape& table, std::ostream& out)
      : format_(format), table_(table), sink_(out), buffer_(sink_, size_t{1} << 20) {}
  void Header() {
    std::string& out = buffer_.text();
    if (format_ == RowsFormat::kJson) {
      out += "[";
      return;
    }
    for (size_t k = 0; k < table_.columns.size(); ++k) Field(k, table_.columns[k].name, out);
    out += format_ == RowsFormat::kCsv ? "\r\n" : "\n";
  }
  // One row's text; reads nothing but the shape, so pages can be
  // formatted on several threads at once. JSON rows each start with ",":
  // Take drops the first one.
  void Format(const Row& row, const std::vector<TypedValue>& cells, std::string& out) const {
    if (format_ != RowsFormat::kJson) {
      for (size_t k = 0; k < table_.columns.size(); ++k) Field(k, row.text(table_.columns[k].cellIndex), out);
      out += format_ == RowsFormat::kCsv ? "\r\n" : "\n";
    } else {
      out += ",\n  {";
      for (size_t k = 0; k < table_.columns.size(); ++k) {
        if (k) out += ", ";
        AppendJsonString(out, table_.columns[k].name);
        out += ": ";
        AppendJsonValue(out, cells[table_.columns[k].cellIndex]);
      }
      out += "}";
    }
  }
  // Writes formatted rows, in order.
  bool Take(std::string_view rows) {
    if (rows.empty()) return true;
    if (format_ == RowsFormat::kJson && first_) {
      rows.remove_prefix(1);
      first_ = false;
    }
    buffer_.Append(rows);
    return buffer_.MaybeFlush();
  }
  bool Write(const Row& row, const std::vector<TypedValue>& cells) {
    row_.clear();
    Format(row, cells, row_);
    return Take(row_);
  }
  bool End() {
    if (format_ == RowsFormat::kJson) buffer_.Append(first_ ? "]\n" : "\n]\n");
    return buffer_.Flush();
  }

 private:
  void Field(size_t k, const std::string& text, std::string& out) const {
    if (format_ == RowsFormat::kCsv) {
      if (k) out.push_back(',');
      AppendCsvField(out, text);
    } else {
      if (k) out.push_back('\t');
      AppendTsvField(out, text);
    }
  }

  RowsFormat format_;
  const ExportTableShape& table_;
  StreamSink sink_;
  OutputBuffer buffer_;
  bool first_ = true;
  std::string row_;
};

}  // namespace

std::string CsvField(const std::string& text) {
  std::string out;
  AppendCsvField(out, text);
  return out;
}

std::string JsonString(const std::string& text) {
  std::string out;
  AppendJsonString(out, text);
  return out;
}

int RunRowsCommand(const RowsRequest& request, ApplicationState& state, ProgressSink& progress,
                   std::ostream& out) {
  TableSource source(state.readOptions(), state.collationChoice());
  if (!source.Open(request.path, progress)) return kExitCannotScan;
  const bool known = source.HasObject(request.table);
  const std::optional<ExportTableShape> shape = source.Resolve(request.table, /*definitions=*/false);
  if (!shape) {
    progress.ScanError(known ? fmt::format("\"{}\" is not a table", request.table)
                             : fmt::format("no table named \"{}\" in {}", request.table, request.path));
    return kExitCannotScan;
  }
  RowWriter writer(request.format, *shape, out);
  writer.Header();
  uint64_t written = 0;
  bool failed = false;
  const bool typed = request.format == RowsFormat::kJson;
  if (!request.limit) {
    // Every row: pages decoded on every core, written in page order.
    source.ReadRowsFormatted(
        [&writer](const Row& row, const std::vector<TypedValue>& cells, const RowPlace&, std::string& out) {
          writer.Format(row, cells, out);
        },
        [&](std::string& bytes, uint64_t) {
          failed = !writer.Take(bytes);
          return !failed;
        },
        {}, typed, request.threads ? request.threads : std::max(1u, std::thread::hardware_concurrency()));
  } else {
    source.ReadRows(
        [&](const Row& row, const std::vector<TypedValue>& cells, const RowPlace&) {
          if (written >= *request.limit) return false;
          ++written;
          if (!writer.Write(row, cells)) failed = true;
          return !failed;
        },
        {}, typed);
  }
  if (!writer.End() || failed) {
    progress.ScanError("cannot write the rows");
    return kExitCannotScan;
  }
  return kExitOk;
}

}  // namespace quill
