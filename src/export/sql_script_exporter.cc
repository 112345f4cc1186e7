#include "export/sql_script_exporter.h"

#include "export/byte_sink.h"
#include "export/sql_literals.h"
#include "schema/type_codes.h"

namespace quill {

namespace {

void AppendColumnList(std::string& out, const std::vector<std::string>& names) {
  out.push_back('(');
  for (size_t k = 0; k < names.size(); ++k) {
    if (k) out += ", ";
    AppendSqlIdentifier(out, names[k]);
  }
  out.push_back(')');
}

// timestamp (rowversion) values are set by the server and cannot be inserted.
bool Insertable(const ExportColumn& column) { return column.typeCode != type_code::kTimestamp; }

class SqlScriptExporter final : public TableExporter {
 public:
  SqlScriptExporter(const std::string& folder, std::string file_name, const ExportFormatOptions& options)
      : folder_(folder), name_(std::move(file_name)), options_(options), buffer_(sink_) {}

  bool Open() {
    if (opened_) return !failed_;
    opened_ = true;
    if (!sink_.Create(folder_ + "/" + name_)) return Fail();
    buffer_.Append("-- Recovered tables, their rows and module definitions.\r\nSET NOCOUNT ON;\r\nGO\r\n\r\n");
    return true;
  }

  bool BeginTable(const ExportTableShape& table) override {
    if (!Open()) return false;
    table_ = &table;
    tableStart_ = buffer_.position();
    rowsInStatement_ = 0;
    statementsInBatch_ = 0;
    buffer_.Append(CreateTableScript(table));
    identity_ = table.hasIdentity();
    qualified_ = QualifiedTableName(table.schema, table.name);
    insertHead_ = "INSERT INTO " + qualified_ + " ";
    std::vector<std::string> names;
    for (const ExportColumn& column : table.columns) {
      if (Insertable(column)) names.push_back(column.name);
    }
    AppendColumnList(insertHead_, names);
    insertHead_ += " VALUES\r\n";
    if (identity_) buffer_.Append("SET IDENTITY_INSERT " + qualified_ + " ON;\r\nGO\r\n");
    return Flushed();
  }

  bool WriteRow(std::span<const TypedValue> cells) override {
    std::string& out = buffer_.text();
    if (rowsInStatement_ == 0) {
      out += insertHead_;
    } else {
      out += ",\r\n";
    }
    out.push_back('(');
    bool first = true;
    for (const ExportColumn& column : table_->columns) {
      if (!Insertable(column)) continue;
      if (!first) out += ", ";
      first = false;
      AppendSqlLiteral(out, cells[column.cellIndex], column);
    }
    out.push_back(')');
    if (++rowsInStatement_ >= options_.rowsPerInsert) EndStatement();
    return buffer_.MaybeFlush() || Fail();
  }

  bool EndTable() override {
    EndStatement();
    if (statementsInBatch_ > 0) buffer_.Append("GO\r\n");
    if (identity_) buffer_.Append("SET IDENTITY_INSERT " + qualified_ + " OFF;\r\nGO\r\n");
    buffer_.Append("\r\n");
    return Flushed();
  }

  void DropTable() override {
    // The table's script is cut off: what was handed to the file is
    // truncated away, what is still buffered dropped.
    if (failed_) return;
    if (tableStart_ < buffer_.flushed() && !sink_.Truncate(tableStart_)) {
      Fail();
      return;
    }
    buffer_.DiscardFrom(tableStart_);
  }

  bool Finish(const ExportDatabaseShape& database) override {
    if (!Open()) return false;
    for (const ExportTableShape& table : database.tables) {
      for (const ExportForeignKey& key : table.foreignKeys) {
        std::string& out = buffer_.text();
        out += "ALTER TABLE " + QualifiedTableName(table.schema, table.name) + " WITH NOCHECK ADD ";
        if (!key.name.empty()) {
          out += "CONSTRAINT ";
          AppendSqlIdentifier(out, key.name);
          out.push_back(' ');
        }
        out += "FOREIGN KEY ";
        AppendColumnList(out, key.columns);
        out += " REFERENCES " + QualifiedTableName(key.referencedSchema, key.referencedTable) + " ";
        AppendColumnList(out, key.referencedColumns);
        out += ";\r\nGO\r\n";
      }
    }
    for (const ExportModule& module : database.modules) {
      if (module.definition.empty()) continue;
      buffer_.Append("\r\n");
      buffer_.Append(module.definition);
      buffer_.Append("\r\nGO\r\n");
    }
    if (!buffer_.Flush() || !sink_.Close()) return Fail();
    files_.push_back(name_);
    return true;
  }

  const std::string& error() const override { return error_; }
  std::vector<std::string> files() const override { return files_; }

 private:
  void EndStatement() {
    if (rowsInStatement_ == 0) return;
    buffer_.Append(";\r\n");
    rowsInStatement_ = 0;
    if (++statementsInBatch_ >= options_.insertsPerBatch) {
      buffer_.Append("GO\r\n");
      statementsInBatch_ = 0;
    }
  }
  bool Flushed() { return buffer_.MaybeFlush() || Fail(); }
  bool Fail() {
    failed_ = true;
    if (error_.empty()) error_ = sink_.error();
    return false;
  }

  std::string folder_;
  std::string name_;
  ExportFormatOptions options_;
  FileSink sink_;
  OutputBuffer buffer_;
  bool opened_ = false;
  bool failed_ = false;
  const ExportTableShape* table_ = nullptr;
  uint64_t tableStart_ = 0;
  bool identity_ = false;
  std::string qualified_;
  std::string insertHead_;
  size_t rowsInStatement_ = 0;
  size_t statementsInBatch_ = 0;
  std::vector<std::string> files_;
  std::string error_;
};

}  // namespace

std::string CreateTableScript(const ExportTableShape& table) {
  std::string out = "CREATE TABLE " + QualifiedTableName(table.schema, table.name) + " (\r\n";
  bool first = true;
  auto line = [&]() {
    out += first ? "    " : ",\r\n    ";
    first = false;
  };
  for (const ExportColumn& column : table.columns) {
    line();
    AppendSqlIdentifier(out, column.name);
    out += " " + SqlTypeText(column);
    if (column.identity) {
      out += " IDENTITY";
      if (column.identitySeed && column.identityIncrement) {
        out += "(" + std::to_string(*column.identitySeed) + "," + std::to_string(*column.identityIncrement) + ")";
      }
    }
    out += column.nullable ? " NULL" : " NOT NULL";
    if (!column.defaultDefinition.empty()) out += " DEFAULT " + column.defaultDefinition;
  }
  if (!table.primaryKey.empty()) {
    line();
    if (!table.primaryKeyName.empty()) {
      out += "CONSTRAINT ";
      AppendSqlIdentifier(out, table.primaryKeyName);
      out.push_back(' ');
    }
    out += "PRIMARY KEY ";
    AppendColumnList(out, table.primaryKey);
  }
  for (const std::vector<std::string>& unique : table.uniqueKeys) {
    line();
    out += "UNIQUE ";
    AppendColumnList(out, unique);
  }
  for (const ExportCheckConstraint& check : table.checks) {
    line();
    if (!check.name.empty()) {
      out += "CONSTRAINT ";
      AppendSqlIdentifier(out, check.name);
      out.push_back(' ');
    }
    out += "CHECK " + check.definition;
  }
  out += "\r\n);\r\nGO\r\n";
  return out;
}

std::unique_ptr<TableExporter> MakeSqlScriptExporter(const std::string& folder, const std::string& file_name,
                                                     const ExportFormatOptions& options) {
  return std::make_unique<SqlScriptExporter>(folder, file_name, options);
}

}  // namespace quill
