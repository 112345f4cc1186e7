#include "cli/rows_command.h"

#include <fmt/format.h>

#include "catalog/current_table_pages.h"
#include "catalog/load_catalog.h"
#include "catalog/resolve_object.h"
#include "cli/info_command.h"
#include "pages/database_file.h"
#include "records/table_page_list.h"
#include "values/page_rows.h"
#include "cli/open_database.h"

namespace quill {

namespace {

// The columns the record list shows: those with stored data (every column
// with the SQL Server 2000 catalog).
std::vector<size_t> ListedColumns(const std::vector<ColumnDescriptor>& columns, bool sql2000) {
  std::vector<size_t> listed;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (sql2000 || columns[i].ordinal != kNoStoredDataOrdinal) listed.push_back(i);
  }
  return listed;
}

// A row the record list leaves out: every listed cell empty or NULL.
bool IsEmptyRow(const Row& row, const std::vector<size_t>& listed) {
  for (size_t i : listed) {
    if (!row[i].cellText.empty() && row[i].cellText != "NULL") return false;
  }
  return true;
}

class RowWriter {
 public:
  RowWriter(RowsFormat format, std::ostream& out) : format_(format), out_(out) {}
  void Header(const std::vector<ColumnDescriptor>& columns, const std::vector<size_t>& listed) {
    if (format_ == RowsFormat::kJson) {
      out_ << "[";
      return;
    }
    Line(listed, [&](size_t i) { return columns[i].name; });
  }
  void Write(const Row& row, const std::vector<size_t>& listed) {
    if (format_ != RowsFormat::kJson) {
      Line(listed, [&](size_t i) { return row[i].cellText; });
      return;
    }
    out_ << (first_ ? "\n" : ",\n") << "  {";
    for (size_t k = 0; k < listed.size(); ++k) {
      const ColumnDescriptor& cell = row[listed[k]];
      out_ << (k ? ", " : "") << JsonString(cell.name) << ": " << JsonString(cell.cellText);
    }
    out_ << "}";
    first_ = false;
  }
  void End() {
    if (format_ == RowsFormat::kJson) out_ << (first_ ? "]\n" : "\n]\n");
  }

 private:
  template <typename Text>
  void Line(const std::vector<size_t>& listed, Text text) {
    for (size_t k = 0; k < listed.size(); ++k) {
      if (k) out_ << (format_ == RowsFormat::kCsv ? "," : "\t");
      out_ << (format_ == RowsFormat::kCsv ? CsvField(text(listed[k])) : TsvField(text(listed[k])));
    }
    out_ << (format_ == RowsFormat::kCsv ? "\r\n" : "\n");
  }
  static std::string TsvField(const std::string& text) {
    std::string out;
    for (char c : text) {
      if (c == '\t') out += "\\t";
      else if (c == '\n') out += "\\n";
      else if (c == '\r') out += "\\r";
      else if (c == '\\') out += "\\\\";
      else out += c;
    }
    return out;
  }

  RowsFormat format_;
  std::ostream& out_;
  bool first_ = true;
};

}  // namespace

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) out += fmt::format("\\u{:04x}", c);
        else out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

int RunRowsCommand(const RowsRequest& request, ApplicationState& state, ProgressSink& progress,
                   std::ostream& out) {
  ScanContext context;
  if (!OpenDatabase(request.path, state, progress, context)) return kExitCannotScan;
  SystemCatalog* catalog = context.catalog.get();
  const CDatabaseFile& file = *context.fileSet;
  ReadOptions& options = context.options;
  options.decode.tableDisplayActive = false;  // large values are read in full
  const ObjectRow* object = nullptr;
  for (const ObjectRow& row : catalog->objects) {
    if (row.name == request.table) {
      object = &row;
      break;
    }
  }
  if (object == nullptr) {
    progress.ScanError(fmt::format("no table named \"{}\" in {}", request.table, request.path));
    return kExitCannotScan;
  }
  ResolveObject(*catalog, file, options.parse.isSql2000, request.table, object->typeCode, {}, options.stop());
  CurrentTable& table = catalog->current;
  if (!table.foundFlag) {
    progress.ScanError(fmt::format("\"{}\" is not a table", request.table));
    return kExitCannotScan;
  }

  // Page source: the allocation structures in "Standard Mode", the page
  // map in "Advanced Mode".
  const TablePageList list = CurrentTablePages(*catalog, file, options);

  const std::vector<size_t> listed = ListedColumns(table.descriptors, options.parse.isSql2000);
  const PageRowsTable rows_table = CurrentTableRows(table);
  RowWriter writer(request.format, out);
  writer.Header(table.descriptors, listed);
  uint64_t written = 0;
  auto write_pages = [&](const std::vector<PageAddress>& pages, RecordFilter filter) {
    std::set<PageAddress> seen;
    for (const PageAddress& address : pages) {
      if (request.limit && written >= *request.limit) return;
      if (!seen.insert(address).second) continue;  // an address listed twice is read once
      VisitPageRows(
          address, file, rows_table, options,
          [&](const Row& row) {
            if (request.limit && written >= *request.limit) return;
            if (IsEmptyRow(row, listed)) return;
            writer.Write(row, listed);
            ++written;
          },
          RowsFor::kDisplay, filter);
    }
  };
  write_pages(list.pages, list.foundById ? RecordFilter::kWholeRecords : RecordFilter::kAll);
  // A heap whose IAM pages gave no rows is read along its next-page chain.
  if (written == 0 && list.heapChainFallback) {
    std::vector<PageAddress> chain;
    WalkPageChain(file, *list.heapChainFallback, chain, options.stop());
    write_pages(chain, RecordFilter::kAll);
  }
  writer.End();
  return kExitOk;
}

}  // namespace quill
