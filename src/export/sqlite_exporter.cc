#include "export/sqlite_exporter.h"

#include <sqlite3.h>
#include <unistd.h>

#include "schema/type_codes.h"

namespace quill {

namespace {

std::string Quoted(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  return out + "\"";
}

class SqliteExporter final : public TableExporter {
 public:
  SqliteExporter(const std::string& folder, std::string file_name, const ExportFormatOptions& options)
      : path_(folder + "/" + file_name), name_(std::move(file_name)), options_(options) {}
  ~SqliteExporter() override {
    if (insert_ != nullptr) sqlite3_finalize(insert_);
    if (db_ != nullptr) sqlite3_close(db_);
  }

  bool BeginTable(const ExportTableShape& table) override {
    if (!Open()) return false;
    table_ = &table;
    tableName_ = SqliteTableName(table);
    std::string create = "CREATE TABLE " + Quoted(tableName_) + " (";
    std::string insert = "INSERT INTO " + Quoted(tableName_) + " VALUES (";
    for (size_t k = 0; k < table.columns.size(); ++k) {
      create += (k ? ", " : "") + Quoted(table.columns[k].name) + " " + SqliteDeclaredType(table.columns[k]);
      insert += k ? ", ?" : "?";
    }
    create += ")";
    insert += ")";
    if (!Exec(create) || !Exec("BEGIN")) return false;
    if (sqlite3_prepare_v2(db_, insert.c_str(), -1, &insert_, nullptr) != SQLITE_OK) return Fail("prepare");
    rowsInTransaction_ = 0;
    return true;
  }

  bool WriteRow(std::span<const TypedValue> cells) override {
    for (size_t k = 0; k < table_->columns.size(); ++k) {
      const TypedValue& v = cells[table_->columns[k].cellIndex];
      const int i = static_cast<int>(k) + 1;
      int rc = SQLITE_OK;
      switch (v.kind) {
        case ValueKind::kNull: rc = sqlite3_bind_null(insert_, i); break;
        case ValueKind::kInteger:
        case ValueKind::kBoolean: rc = sqlite3_bind_int64(insert_, i, v.integer); break;
        case ValueKind::kFloat: rc = sqlite3_bind_double(insert_, i, v.real); break;
        case ValueKind::kBinary:
          rc = sqlite3_bind_blob64(insert_, i, v.text.data(), v.text.size(), SQLITE_STATIC);
          break;
        default:
          rc = sqlite3_bind_text64(insert_, i, v.text.data(), v.text.size(), SQLITE_STATIC, SQLITE_UTF8);
      }
      if (rc != SQLITE_OK) return Fail("bind");
    }
    const int rc = sqlite3_step(insert_);
    sqlite3_reset(insert_);
    if (rc != SQLITE_DONE) return Fail("insert");
    if (++rowsInTransaction_ >= options_.rowsPerTransaction) {
      rowsInTransaction_ = 0;
      return Exec("COMMIT") && Exec("BEGIN");
    }
    return true;
  }

  bool EndTable() override {
    FinalizeInsert();
    return Exec("COMMIT");
  }

  void DropTable() override {
    FinalizeInsert();
    if (db_ == nullptr) return;
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    if (!tableName_.empty()) {
      sqlite3_exec(db_, ("DROP TABLE IF EXISTS " + Quoted(tableName_)).c_str(), nullptr, nullptr, nullptr);
    }
  }

  bool Finish(const ExportDatabaseShape& database) override {
    if (!Open()) return false;
    if (!Exec("CREATE TABLE recovery_report (object TEXT, page TEXT, slot INTEGER, what TEXT, why TEXT)") ||
        !Exec("BEGIN")) {
      return false;
    }
    sqlite3_stmt* note = nullptr;
    if (sqlite3_prepare_v2(db_, "INSERT INTO recovery_report VALUES (?, ?, ?, ?, ?)", -1, &note, nullptr) !=
        SQLITE_OK) {
      return Fail("prepare");
    }
    for (const RecoveryNote& n : database.notes) {
      sqlite3_bind_text(note, 1, n.object.c_str(), -1, SQLITE_TRANSIENT);
      if (n.page.empty()) {
        sqlite3_bind_null(note, 2);
      } else {
        sqlite3_bind_text(note, 2, n.page.c_str(), -1, SQLITE_TRANSIENT);
      }
      if (n.slot < 0) {
        sqlite3_bind_null(note, 3);
      } else {
        sqlite3_bind_int64(note, 3, n.slot);
      }
      sqlite3_bind_text(note, 4, n.what.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(note, 5, n.why.c_str(), -1, SQLITE_TRANSIENT);
      const int rc = sqlite3_step(note);
      sqlite3_reset(note);
      if (rc != SQLITE_DONE) {
        sqlite3_finalize(note);
        return Fail("report");
      }
    }
    sqlite3_finalize(note);
    if (!Exec("COMMIT")) return false;
    const int rc = sqlite3_close(db_);
    db_ = nullptr;
    if (rc != SQLITE_OK) {
      error_ = "cannot close " + path_;
      return false;
    }
    files_.push_back(name_);
    return true;
  }

  const std::string& error() const override { return error_; }
  std::vector<std::string> files() const override { return files_; }

 private:
  bool Open() {
    if (db_ != nullptr) return true;
    if (opened_) return false;
    opened_ = true;
    if (::access(path_.c_str(), F_OK) == 0) {
      error_ = "cannot create " + path_ + ": the file exists";
      return false;
    }
    if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
      error_ = "cannot create " + path_ + ": " + (db_ ? sqlite3_errmsg(db_) : "out of memory");
      sqlite3_close(db_);
      db_ = nullptr;
      return false;
    }
    // A new file nobody else reads: no journal, no syncs until the end.
    return Exec("PRAGMA journal_mode=OFF") && Exec("PRAGMA synchronous=OFF");
  }
  bool Exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
    error_ = path_ + ": " + (message ? message : "error") + " (" + sql.substr(0, 60) + ")";
    sqlite3_free(message);
    return false;
  }
  bool Fail(const char* step) {
    error_ = path_ + ": " + step + ": " + sqlite3_errmsg(db_);
    return false;
  }
  void FinalizeInsert() {
    if (insert_ != nullptr) sqlite3_finalize(insert_);
    insert_ = nullptr;
  }

  std::string path_;
  std::string name_;
  ExportFormatOptions options_;
  sqlite3* db_ = nullptr;
  bool opened_ = false;
  sqlite3_stmt* insert_ = nullptr;
  const ExportTableShape* table_ = nullptr;
  std::string tableName_;
  size_t rowsInTransaction_ = 0;
  std::vector<std::string> files_;
  std::string error_;
};

}  // namespace

std::string SqliteTableName(const ExportTableShape& table) {
  return table.schema.empty() || table.schema == "dbo" ? table.name : table.schema + "." + table.name;
}

const char* SqliteDeclaredType(const ExportColumn& column) {
  using namespace type_code;
  switch (column.typeCode) {
    case kBigint: case kInt: case kSmallint: case kTinyint: case kBit:
      return "INTEGER";
    case kFloat: case kReal:
      return "REAL";
    // NUMERIC affinity turns decimal texts into 8-byte floats, which keep
    // 15 significant digits: wider decimals and money stay exact texts.
    case kDecimal: case kNumeric:
      return column.precision <= 15 ? "NUMERIC" : "TEXT";
    case kSmallmoney:
      return "NUMERIC";
    case kMoney:
      return "TEXT";
    case kBinary: case kVarbinary: case kImage: case kTimestamp: case kClrType: case kHierarchyId: case kGeometry:
      return "BLOB";
    default:
      return "TEXT";
  }
}

std::unique_ptr<TableExporter> MakeSqliteExporter(const std::string& folder, const std::string& file_name,
                                                  const ExportFormatOptions& options) {
  return std::make_unique<SqliteExporter>(folder, file_name, options);
}

}  // namespace quill
