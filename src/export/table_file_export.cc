#include "export/table_file_export.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "export/byte_sink.h"
#include "export/text_file_exporter.h"

namespace quill {

namespace {

// Names tried for the file written beside the target.
constexpr int kMaxPartialNames = 100;

// A new file beside `path` for the rows in progress.
bool CreatePartial(const std::string& path, FileSink& sink, std::string& error) {
  for (int n = 0; n < kMaxPartialNames; ++n) {
    const std::string candidate = path + ".partial" + (n ? std::to_string(n) : std::string());
    if (sink.Create(candidate)) return true;
  }
  error = sink.error();
  return false;
}

}  // namespace

TableFileExportResult ExportTableToFile(TableSource& source, const std::string& table, ExportFormat format,
                                        const ExportFormatOptions& options, const std::string& path,
                                        StopToken stop, ProgressSink& progress) {
  TableFileExportResult result;
  if (format != ExportFormat::kCsv && format != ExportFormat::kTsv && format != ExportFormat::kJsonLines) {
    result.error = "only CSV, TSV and JSON Lines write one table to one file";
    return result;
  }
  const std::optional<ExportTableShape> shape = source.Resolve(table, false);
  if (!shape) {
    result.error = table + ": not a table that can be read";
    return result;
  }
  // The rename at the end would put the rows in place of the data file.
  if (source.context().fileSet && source.context().fileSet->IsOneOfItsFiles(path)) {
    result.error = path + " is a data file of the database";
    return result;
  }
  FileSink sink;
  if (!CreatePartial(path, sink, result.error)) return result;
  OutputBuffer buffer(sink);
  if (options.byteOrderMark && format != ExportFormat::kJsonLines) buffer.Append("\xEF\xBB\xBF");
  AppendHeaderRow(format, *shape, buffer.text());

  bool write_failed = false;
  uint64_t range = 0;
  const TableReadResult read = source.ReadRows(
      [&](const Row&, const std::vector<TypedValue>& cells, const RowPlace&) {
        if (stop.stopRequested()) return false;
        AppendTextRow(format, *shape, cells, buffer.text());
        if (!buffer.MaybeFlush()) {
          write_failed = true;
          return false;
        }
        return true;
      },
      [&](uint64_t done, uint64_t total) {
        if (total != range) progress.ProgressRange(range = total);
        progress.ProgressPos(done);
      });
  result.rows = read.rows;
  result.stopped = read.stopped || (read.cut && !write_failed);
  if (result.stopped || write_failed || !buffer.Flush() || !sink.Close()) {
    if (!result.stopped) result.error = sink.error();
    sink.Remove();
    return result;
  }
  std::error_code ec;
  std::filesystem::rename(sink.path(), path, ec);
  if (ec) {
    result.error = "cannot replace " + path + ": " + ec.message();
    std::filesystem::remove(sink.path(), ec);
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace quill
