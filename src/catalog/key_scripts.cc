#include "catalog/key_scripts.h"

#include <algorithm>
#include <vector>

#include "common/printf_text.h"

namespace quill {

namespace {

constexpr char kPrimaryKeyTemplate[] = "ALTER TABLE %s ADD PRIMARY KEY (%s)";
constexpr char kUniqueTemplate[] =
    "ALTER TABLE[%s].[%s] WITH NOCHECK ADD CONSTRAINT[%s] UNIQUE CLUSTERED \r\n(\r\n[%s] DSC\r\n)";
constexpr char kCheckTemplate[] = "ALTER TABLE  [dbo].[%s] WITH NOCHECK ADD CONSTRAINT[%s] CHECK %s";
constexpr char kDefaultSchema[] = "dbo";

// SQL Server 2000 column type status bit 0.
constexpr uint8_t kTypeStatusBit0 = 0x01;
// Index row status bits of key indexes.
constexpr int32_t kIndexPrimaryKey = 0x20;
constexpr int32_t kIndexUniqueConstraint = 0x40;

enum class KeyKind { kPrimary, kUnique };

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void TrimTrailingSpace(std::string& text) {
  while (!text.empty() && IsSpace(text.back())) text.pop_back();
}

// " a , b": every name after a space, separated by " , ", nothing after the
// last name; one space when there are no names.
std::string ColumnText(const std::vector<std::string>& names) {
  std::string text = " ";
  for (const std::string& name : names) text += name + " , ";
  if (names.empty()) return text;
  TrimTrailingSpace(text);
  text.pop_back();  // the trailing comma
  TrimTrailingSpace(text);
  return text;
}

struct KeyParts {
  std::string schema = kDefaultSchema;
  std::string table;
  std::string columns = " ";
};

KeyParts LegacyKeyParts(const SystemCatalog& catalog, KeyKind kind, uint64_t item_data) {
  KeyParts parts;
  for (const LegacyTable& table : catalog.legacyTables) {
    if (static_cast<uint64_t>(static_cast<uint32_t>(table.objectId)) != item_data) continue;
    parts.table = table.name;
    std::vector<std::string> names;
    for (const LegacyTable::Column& column : table.columns) {
      const bool bit0 = (column.typeStatus & kTypeStatusBit0) != 0;
      if (bit0 || (kind == KeyKind::kUnique && column.typeStatus == 0)) names.push_back(column.name);
    }
    parts.columns = names.empty() ? std::string() : ColumnText(names);
    break;
  }
  return parts;
}

const ObjectRow* FindObject(const SystemCatalog& catalog, int32_t object_id) {
  for (const ObjectRow& object : catalog.objects) {
    if (object.objectId == object_id) return &object;
  }
  return nullptr;
}

// The key index of a constraint: the table's index named like it, else the
// table's first index with the key kind's status bit.
const IndexRow* FindKeyIndex(const SystemCatalog& catalog, int32_t table_id,
                             const std::string& constraint_name, KeyKind kind) {
  const int32_t bit = kind == KeyKind::kPrimary ? kIndexPrimaryKey : kIndexUniqueConstraint;
  const IndexRow* by_status = nullptr;
  for (const IndexRow& index : catalog.indexes) {
    if (index.objectId != table_id) continue;
    if (index.name == constraint_name) return &index;
    if (by_status == nullptr && index.status != -1 && (index.status & bit) != 0) by_status = &index;
  }
  return by_status;
}

std::string ColumnName(const SystemCatalog& catalog, int32_t table_id, int32_t column_id) {
  for (const ColumnRow& column : catalog.columns) {
    if (column.objectId == table_id && column.columnId == column_id && column.number <= 0) {
      return column.name;
    }
  }
  return {};
}

KeyParts CatalogKeyParts(const SystemCatalog& catalog, KeyKind kind,
                         const std::string& constraint_name) {
  KeyParts parts;
  const char* code = kind == KeyKind::kPrimary ? "PK" : "UQ";
  const ObjectRow* constraint = nullptr;
  for (const ObjectRow& object : catalog.objects) {
    if (object.name == constraint_name && object.typeCode == code) {
      constraint = &object;
      break;
    }
  }
  if (constraint == nullptr) return parts;
  const ObjectRow* table = FindObject(catalog, constraint->parentObjectId);
  if (table == nullptr) return parts;
  parts.schema = SchemaName(table->schemaId);
  parts.table = table->name;
  const IndexRow* index = FindKeyIndex(catalog, table->objectId, constraint_name, kind);
  if (index == nullptr) return parts;

  std::vector<const IndexColumnRow*> key_columns;
  for (const IndexColumnRow& column : catalog.indexColumns) {
    if (column.objectId == table->objectId && column.indexId == index->indexId) {
      key_columns.push_back(&column);
    }
  }
  std::stable_sort(key_columns.begin(), key_columns.end(),
                   [](const IndexColumnRow* a, const IndexColumnRow* b) { return a->subId < b->subId; });
  std::vector<std::string> names;
  for (const IndexColumnRow* column : key_columns) {
    std::string name = ColumnName(catalog, table->objectId, column->intProperty);
    if (!name.empty()) names.push_back("[" + name + "]");
  }
  parts.columns = ColumnText(names);
  return parts;
}

KeyParts FindKeyParts(const SystemCatalog& catalog, bool isSql2000, KeyKind kind,
                      const std::string& constraint_name, uint64_t item_data) {
  return isSql2000 ? LegacyKeyParts(catalog, kind, item_data)
                   : CatalogKeyParts(catalog, kind, constraint_name);
}

}  // namespace

std::string SchemaName(int32_t schemaId) {
  switch (schemaId) {
    case 1: return "dbo";
    case 2: return "guest";
    case 3: return "INFORMATION_SCHEMA";
    case 4: return "sys";
    default: return "schema_" + std::to_string(schemaId);
  }
}

std::string PrimaryKeyScript(const SystemCatalog& catalog, bool isSql2000,
                             const std::string& constraintName, uint64_t itemData) {
  const KeyParts parts = FindKeyParts(catalog, isSql2000, KeyKind::kPrimary, constraintName, itemData);
  // The 2000 layout names the table alone; the newer one with its schema.
  const std::string table = isSql2000 || parts.table.empty()
                                ? parts.table
                                : "[" + parts.schema + "].[" + parts.table + "]";
  return PrintfText(kPrimaryKeyTemplate, table.c_str(), parts.columns.c_str());
}

std::string UniqueConstraintScript(const SystemCatalog& catalog, bool isSql2000,
                                   const std::string& constraintName, uint64_t itemData) {
  const KeyParts parts = FindKeyParts(catalog, isSql2000, KeyKind::kUnique, constraintName, itemData);
  return PrintfText(kUniqueTemplate, parts.schema.c_str(), parts.table.c_str(),
                    constraintName.c_str(), parts.columns.c_str());
}

std::string CheckConstraintScript(const std::string& tableName, const std::string& constraintName,
                                  const std::string& definition) {
  return PrintfText(kCheckTemplate, tableName.c_str(), constraintName.c_str(), definition.c_str());
}

}  // namespace quill
