#include "export/text_file_exporter.h"

#include "export/byte_sink.h"
#include "export/field_encoding.h"

namespace quill {

namespace {

const char* Extension(ExportFormat format) {
  switch (format) {
    case ExportFormat::kTsv: return ".tsv";
    case ExportFormat::kJsonLines: return ".jsonl";
    default: return ".csv";
  }
}

class TextFileExporter final : public TableExporter {
 public:
  TextFileExporter(ExportFormat format, std::string folder, const ExportFormatOptions& options)
      : format_(format), folder_(std::move(folder)), options_(options) {}

  bool BeginTable(const ExportTableShape& table) override {
    table_ = &table;
    name_ = TableFileStem(table) + Extension(format_);
    sink_ = std::make_unique<FileSink>();
    if (!sink_->Create(folder_ + "/" + name_)) {
      error_ = sink_->error();
      sink_.reset();
      return false;
    }
    buffer_ = std::make_unique<OutputBuffer>(*sink_);
    if (options_.byteOrderMark && format_ != ExportFormat::kJsonLines) buffer_->Append("\xEF\xBB\xBF");
    AppendHeaderRow(format_, table, buffer_->text());
    return true;
  }

  bool WriteRow(std::span<const TypedValue> cells) override {
    AppendTextRow(format_, *table_, cells, buffer_->text());
    if (buffer_->MaybeFlush()) return true;
    error_ = sink_->error();
    return false;
  }

  bool EndTable() override {
    if (!buffer_->Flush() || !sink_->Close()) {
      error_ = sink_->error();
      return false;
    }
    files_.push_back(name_);
    buffer_.reset();
    sink_.reset();
    return true;
  }

  void DropTable() override {
    buffer_.reset();
    if (sink_) sink_->Remove();
    sink_.reset();
  }

  bool Finish(const ExportDatabaseShape&) override { return true; }
  const std::string& error() const override { return error_; }
  std::vector<std::string> files() const override { return files_; }

  bool FormatsRows() const override { return true; }
  void FormatRow(std::span<const TypedValue> cells, std::string& out) const override {
    AppendTextRow(format_, *table_, cells, out);
  }
  bool WriteFormatted(std::string_view bytes) override {
    buffer_->Append(bytes);
    if (buffer_->MaybeFlush()) return true;
    error_ = sink_->error();
    return false;
  }

 private:
  ExportFormat format_;
  std::string folder_;
  ExportFormatOptions options_;
  const ExportTableShape* table_ = nullptr;
  std::string name_;
  std::unique_ptr<FileSink> sink_;
  std::unique_ptr<OutputBuffer> buffer_;
  std::vector<std::string> files_;
  std::string error_;
};

}  // namespace

void AppendHeaderRow(ExportFormat format, const ExportTableShape& table, std::string& out) {
  if (format == ExportFormat::kJsonLines) return;
  for (size_t k = 0; k < table.columns.size(); ++k) {
    if (format == ExportFormat::kTsv) {
      if (k) out.push_back('\t');
      AppendTsvField(out, table.columns[k].name);
    } else {
      if (k) out.push_back(',');
      AppendCsvField(out, table.columns[k].name);
    }
  }
  out += format == ExportFormat::kTsv ? "\n" : "\r\n";
}

void AppendTextRow(ExportFormat format, const ExportTableShape& table, std::span<const TypedValue> cells,
                   std::string& out) {
  if (format == ExportFormat::kJsonLines) {
    out.push_back('{');
    for (size_t k = 0; k < table.columns.size(); ++k) {
      if (k) out.push_back(',');
      AppendJsonString(out, table.columns[k].name);
      out.push_back(':');
      AppendJsonValue(out, cells[table.columns[k].cellIndex]);
    }
    out += "}\n";
    return;
  }
  // Fields that need no quoting or escaping are written straight into the
  // buffer; the others go through a scratch text.
  thread_local std::string scratch;
  for (size_t k = 0; k < table.columns.size(); ++k) {
    const TypedValue& value = cells[table.columns[k].cellIndex];
    if (k) out.push_back(format == ExportFormat::kTsv ? '\t' : ',');
    const bool plain = value.kind == ValueKind::kInteger || value.kind == ValueKind::kBoolean ||
                       value.kind == ValueKind::kFloat || value.kind == ValueKind::kBinary ||
                       value.kind == ValueKind::kNull || value.kind == ValueKind::kGuid ||
                       value.kind == ValueKind::kDecimal || value.kind == ValueKind::kDate ||
                       value.kind == ValueKind::kTime || value.kind == ValueKind::kDateTime ||
                       value.kind == ValueKind::kDateTimeOffset;
    if (plain) {
      AppendValueText(out, value);
    } else if (format == ExportFormat::kTsv) {
      AppendTsvField(out, value.text);
    } else {
      AppendCsvField(out, value.text);
    }
  }
  out += format == ExportFormat::kTsv ? "\n" : "\r\n";
}

std::unique_ptr<TableExporter> MakeTextFileExporter(ExportFormat format, const std::string& folder,
                                                    const ExportFormatOptions& options) {
  return std::make_unique<TextFileExporter>(format, folder, options);
}

}  // namespace quill
