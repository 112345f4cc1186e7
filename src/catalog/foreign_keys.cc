#include "catalog/foreign_keys.h"

#include <unordered_map>
#include <vector>

namespace quill {

namespace {

// Packs two 32-bit ids into one map key.
uint64_t PairKey(int32_t a, int32_t b) {
  return (static_cast<uint64_t>(static_cast<uint32_t>(a)) << 32) | static_cast<uint32_t>(b);
}

}  // namespace

void BuildForeignKeyColumns(SystemCatalog& catalog, StopToken stop) {
  auto aborted = [stop] { return stop.stopRequested(); };
  std::vector<ForeignKeyColumnEntry>& entries = catalog.foreignKeyColumns;
  entries.clear();

  // The referenced side of every pair, by constraint and position, in list
  // order.
  std::unordered_map<uint64_t, std::vector<const ObjectRefRow*>> referenced;
  for (const ObjectRefRow& ref : catalog.objectRefs) {
    if (ref.objectClass == kRefClassForeignKeyReferenced) {
      referenced[PairKey(ref.dependentId, ref.dependentSubId)].push_back(&ref);
    }
  }
  for (const ObjectRefRow& parent : catalog.objectRefs) {
    if (aborted()) return;
    if (parent.objectClass != kRefClassForeignKeyParent) continue;
    auto it = referenced.find(PairKey(parent.dependentId, parent.dependentSubId));
    if (it == referenced.end()) continue;
    for (const ObjectRefRow* target : it->second) {
      ForeignKeyColumnEntry& entry = entries.emplace_back();
      entry.constraintId = parent.dependentId;
      entry.constraintColumnNumber = parent.dependentSubId;
      entry.parentTableId = parent.independentId;
      entry.parentColumnId = parent.independentSubId;
      entry.referencedTableId = target->independentId;
      entry.referencedColumnId = target->independentSubId;
    }
  }

  // Later rows overwrite earlier ones, so the last row of each id names it.
  std::unordered_map<int32_t, const ObjectRow*> last_object;
  for (const ObjectRow& object : catalog.objects) last_object[object.objectId] = &object;
  std::unordered_map<uint64_t, const ColumnRow*> last_column;
  for (const ColumnRow& column : catalog.columns) {
    last_column[PairKey(column.objectId, column.columnId)] = &column;
  }
  auto object_of = [&](int32_t id) -> const ObjectRow* {
    auto it = last_object.find(id);
    return it == last_object.end() ? nullptr : it->second;
  };
  auto column_of = [&](int32_t table_id, int32_t column_id) -> const ColumnRow* {
    auto it = last_column.find(PairKey(table_id, column_id));
    return it == last_column.end() ? nullptr : it->second;
  };

  for (ForeignKeyColumnEntry& entry : entries) {
    if (aborted()) return;
    if (const ObjectRow* table = object_of(entry.parentTableId)) entry.parentTableName = table->name;
    if (const ObjectRow* table = object_of(entry.referencedTableId)) {
      entry.referencedTableName = table->name;
    }
    if (const ObjectRow* constraint = object_of(entry.constraintId)) {
      entry.constraintName = constraint->name;
      entry.constraintStatus = constraint->status;
    }
    if (const ColumnRow* column = column_of(entry.parentTableId, entry.parentColumnId)) {
      entry.parentColumnName = column->name;
    }
    if (const ColumnRow* column = column_of(entry.referencedTableId, entry.referencedColumnId)) {
      entry.referencedColumnName = column->name;
    }
  }
}

}  // namespace quill
