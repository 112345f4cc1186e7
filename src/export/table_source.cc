#include "export/table_source.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "catalog/current_table_pages.h"
#include "catalog/key_scripts.h"
#include "catalog/load_catalog.h"
#include "catalog/module_text.h"
#include "catalog/resolve_object.h"
#include "common/ordered_parallel_map.h"
#include "pages/database_file.h"
#include "records/table_page_list.h"
#include "schema/type_codes.h"

namespace quill {

namespace {

constexpr int32_t kIndexPrimaryKey = 0x20;
constexpr int32_t kIndexUniqueConstraint = 0x40;
constexpr size_t kPageOutputReserve = 2 * kPageSize;

// A row the record list leaves out: every listed cell empty or NULL. A
// typed integer, bit or GUID read whole has a text of digits, a truth
// word or hex groups, so such a cell answers without making the text the
// row defers (typed readers rarely look at it); any other cell, or a row
// with a value not read whole, looks at the texts.
bool IsEmptyRow(const Row& row, const std::vector<TypedValue>& cells, const std::vector<size_t>& listed) {
  if (!cells.empty() && !row.hasFailures()) {
    for (size_t i : listed) {
      const ValueKind kind = cells[i].kind;
      if (kind == ValueKind::kInteger || kind == ValueKind::kBoolean || kind == ValueKind::kGuid) return false;
    }
  }
  for (size_t i : listed) {
    const std::string& text = row.text(i);
    if (!text.empty() && text != "NULL") return false;
  }
  return true;
}

// The text of a cell whose value gave nothing: empty, NULL, or binary
// without bytes.
bool NoValueText(const std::string& text) { return text.empty() || text == "NULL" || text == "0x"; }

std::string PageText(PageAddress address) {
  return std::to_string(address.fileId) + ":" + std::to_string(address.pageId);
}

// "identity(1,1)" -> seed 1, increment 1.
void ParseIdentity(const std::string& text, ExportColumn& column) {
  const size_t open = text.find('(');
  const size_t comma = text.find(',', open);
  const size_t close = text.find(')', comma);
  if (open == std::string::npos || comma == std::string::npos || close == std::string::npos) return;
  int64_t seed = 0;
  int64_t increment = 0;
  const char* s = text.data();
  if (std::from_chars(s + open + 1, s + comma, seed).ec == std::errc() &&
      std::from_chars(s + comma + 1, s + close, increment).ec == std::errc()) {
    column.identitySeed = seed;
    column.identityIncrement = increment;
  }
}

}  // namespace

TableSource::TableSource(const ReadOptions& options, const CollationChoice& collation)
    : requested_(options),
      collation_(collation),
      owned_(std::make_unique<ScanContext>()),
      context_(owned_.get()),
      options_(options) {}

TableSource::TableSource(ScanContext& open)
    : requested_(open.options), collation_(open.collation), context_(&open), options_(open.options) {
  options_.decode.tableDisplayActive = false;  // large values are read in full
}
TableSource::~TableSource() = default;

bool TableSource::Open(const std::string& path, ProgressSink& progress) {
  ReadOptions options = requested_;
  options.parse.isSql2000 = false;  // the catalog load finds the layout
  if (!OpenScanContext(path, *context_, options, collation_, stop_, progress)) return false;
  if (!context_->catalog) {
    progress.ScanError("cannot read the catalog of " + path);
    return false;
  }
  context_->options.decode.tableDisplayActive = false;  // large values are read in full
  options_ = context_->options;
  return true;
}

std::string TableSource::databaseName() const {
  return context_->fileSet ? context_->fileSet->databaseName() : std::string();
}

int64_t TableSource::damagedPageCount() const {
  return context_->fileSet ? context_->fileSet->damagedPageCount() : -1;
}

std::vector<SourceTable> TableSource::Tables() const {
  std::vector<SourceTable> tables;
  if (!context_->catalog) return tables;
  std::set<std::string> seen;
  for (const ObjectRow& row : context_->catalog->objects) {
    if (row.typeCode != "U " || !seen.insert(row.name).second) continue;
    tables.push_back({isSql2000() ? "dbo" : SchemaName(row.schemaId), row.name, row.objectId});
  }
  return tables;
}

bool TableSource::HasObject(const std::string& name) const {
  if (!context_->catalog) return false;
  for (const ObjectRow& row : context_->catalog->objects) {
    if (row.name == name) return true;
  }
  return false;
}

std::optional<ExportTableShape> TableSource::Resolve(const std::string& name, bool definitions) {
  if (!context_->catalog) return std::nullopt;
  const ObjectRow* object = nullptr;
  for (const ObjectRow& row : context_->catalog->objects) {
    if (row.name == name) {
      object = &row;
      break;
    }
  }
  if (object == nullptr) return std::nullopt;
  // Definitions are read before the table is resolved: reading them
  // replaces the resolved table's columns.
  std::map<int32_t, std::string> column_defaults;
  std::vector<ExportCheckConstraint> checks;
  if (definitions && !isSql2000()) {
    for (const ColumnRow& row : context_->catalog->columns) {
      if (row.objectId == object->objectId && row.defaultObjectId > 0) {
        column_defaults[row.columnId] = ModuleDefinition(row.defaultObjectId);
      }
    }
    for (const ObjectRow& row : context_->catalog->objects) {
      if (row.parentObjectId == object->objectId && row.typeCode == "C ") {
        const std::string definition = ModuleDefinition(row.objectId);
        if (!definition.empty()) checks.push_back({row.name, definition});
      }
    }
  }
  ResolveObject(*context_->catalog, *context_->fileSet, isSql2000(), name, object->typeCode, {}, stop_.token());
  const CurrentTable& table = context_->catalog->current;
  if (!table.foundFlag) return std::nullopt;

  ExportTableShape shape;
  shape.schema = isSql2000() ? "dbo" : SchemaName(object->schemaId);
  shape.name = name;
  shape.objectId = object->objectId;
  shape.checks = std::move(checks);
  listed_.clear();
  std::map<int32_t, std::string> names_by_id;
  for (size_t i = 0; i < table.descriptors.size(); ++i) {
    const ColumnDescriptor& d = table.descriptors[i];
    names_by_id[d.columnId] = d.name;
    if (!isSql2000() && d.ordinal == kNoStoredDataOrdinal) continue;
    listed_.push_back(i);
    ExportColumn column;
    column.name = d.name;
    column.cellIndex = i;
    column.typeCode = d.typeCode;
    column.typeName = d.typeText.substr(0, d.typeText.find('('));
    column.maxLength = d.declaredLength;
    column.precision = d.precision;
    column.scale = d.scale;
    column.nullable = d.nullable;
    for (const ColumnRow& row : table.tableColumns) {
      if (row.columnId != d.columnId) continue;
      column.maxLength = row.maxLength;
      if (!row.identityText.empty()) {
        column.identity = true;
        ParseIdentity(row.identityText, column);
      }
      break;
    }
    if (auto it = column_defaults.find(d.columnId); it != column_defaults.end()) column.defaultDefinition = it->second;
    if (isSql2000() && d.primaryKey) shape.primaryKey.push_back(d.name);
    shape.columns.push_back(std::move(column));
  }

  // Keys from the table's indexes: primary key and unique constraints, their
  // columns in key order.
  if (!isSql2000()) {
    for (const IndexRow& index : context_->catalog->indexes) {
      if (index.objectId != object->objectId) continue;
      const bool primary = (index.status & kIndexPrimaryKey) != 0;
      if (!primary && (index.status & kIndexUniqueConstraint) == 0) continue;
      std::vector<std::pair<int32_t, std::string>> keyed;
      for (const IndexColumnRow& column : context_->catalog->indexColumns) {
        if (column.objectId != index.objectId || column.indexId != index.indexId) continue;
        auto it = names_by_id.find(column.intProperty);
        if (it != names_by_id.end()) keyed.emplace_back(column.subId, it->second);
      }
      std::sort(keyed.begin(), keyed.end());
      std::vector<std::string> names;
      for (auto& [position, column_name] : keyed) names.push_back(column_name);
      if (names.empty()) continue;
      if (primary && shape.primaryKey.empty()) {
        shape.primaryKey = std::move(names);
        shape.primaryKeyName = index.name;
      } else if (!primary) {
        shape.uniqueKeys.push_back(std::move(names));
      }
    }
  }

  // Foreign keys: the column pairs of each constraint of this table.
  std::map<int32_t, size_t> key_positions;
  for (const ForeignKeyColumnEntry& entry : context_->catalog->foreignKeyColumns) {
    if (entry.parentTableId != object->objectId || entry.parentColumnName.empty() ||
        entry.referencedColumnName.empty()) {
      continue;
    }
    auto [it, added] = key_positions.emplace(entry.constraintId, shape.foreignKeys.size());
    if (added) {
      ExportForeignKey key;
      key.name = entry.constraintName;
      key.referencedTable = entry.referencedTableName;
      key.referencedSchema = "dbo";
      for (const ObjectRow& row : context_->catalog->objects) {
        if (row.objectId == entry.referencedTableId) {
          key.referencedSchema = SchemaName(row.schemaId);
          break;
        }
      }
      shape.foreignKeys.push_back(std::move(key));
    }
    ExportForeignKey& key = shape.foreignKeys[it->second];
    key.columns.push_back(entry.parentColumnName);
    key.referencedColumns.push_back(entry.referencedColumnName);
  }
  return shape;
}

TableReadResult TableSource::ReadRows(const SourceRowVisitor& visit, const SourcePageVisitor& pages, bool typed) {
  // One thread: each row reaches the visitor as its page is decoded.
  return ReadPages([&](const Row& row, const std::vector<TypedValue>& cells, const RowPlace& place,
                       std::string&) { return visit(row, cells, place); },
                   [](std::string&, uint64_t) { return true; }, pages, typed, 1);
}

TableReadResult TableSource::ReadRowsFormatted(const SourceRowFormatter& format, const SourceChunkWriter& write,
                                               const SourcePageVisitor& pages, bool typed, unsigned threads) {
  return ReadPages(
      [&](const Row& row, const std::vector<TypedValue>& cells, const RowPlace& place, std::string& bytes) {
        // A page's rows as text rarely take more than twice the page: one
        // allocation instead of a dozen doublings of the page's text.
        if (bytes.capacity() < kPageOutputReserve) bytes.reserve(kPageOutputReserve);
        format(row, cells, place, bytes);
        return true;
      },
      write, pages, typed, threads);
}

TableReadResult TableSource::ReadPages(const PageRowSink& take_row, const SourceChunkWriter& write,
                                       const SourcePageVisitor& pages, bool typed, unsigned threads) {
  // A chunk's status is the page's status, plus this flag when the row
  // sink refused a row of the page (the read ends there).
  constexpr int kRowRefused = 1 << 16;
  TableReadResult result;
  CurrentTable& table = context_->catalog->current;
  const std::string object = table.object.name;
  const ReadOptions& options = options_;
  const TablePageList list = CurrentTablePages(*context_->catalog, *context_->fileSet, options);
  // The row builders only read the table's columns: the workers share them.
  const PageRowsTable shape = CurrentTableRows(table);
  threads = std::max(threads, 1u);
  auto read = [&](const std::vector<PageAddress>& listed, RecordFilter filter) {
    // An address listed twice is read once.
    std::vector<PageAddress> addresses;
    std::set<PageAddress> seen;
    for (const PageAddress& address : listed) {
      if (seen.insert(address).second) addresses.push_back(address);
    }
    OrderedMapOptions run;
    run.threads = threads;
    // A page takes tens of microseconds: pages go to the workers eight at
    // a time.
    run.batch = 8;
    run.stop = options.stop();
    // Values a page's rows could not read whole, noted by the worker that
    // read the page and reported in page order.
    std::vector<std::vector<RecoveryNote>> value_notes(addresses.size());
    const auto make = [&](unsigned, size_t item, OrderedChunk& chunk) {
      bool refused = false;
      const PageRowsStatus status = VisitTypedPageRows(
          addresses[item], *context_->fileSet, shape, options,
          [&](const Row& row, const std::vector<TypedValue>& cells, const RowPlace& place) {
            if (refused || IsEmptyRow(row, cells, listed_)) return;
            if (!take_row(row, cells, place, chunk.bytes)) {
              refused = true;
              return;
            }
            ++chunk.rows;
            if (!row.hasFailures()) return;
            for (size_t i : listed_) {
              const Status* failure = row.failure(i);
              if (failure == nullptr) continue;
              value_notes[item].push_back({object, PageText(place.page), static_cast<int64_t>(place.slot),
                                           "value of " + row.column(i).name +
                                               (NoValueText(row.text(i)) ? " not read" : " read in part"),
                                           failure->Text()});
            }
          },
          typed, filter);
      chunk.status = static_cast<int>(status) | (refused ? kRowRefused : 0);
    };
    const auto take = [&](size_t item, OrderedChunk& chunk) {
      const auto status = static_cast<PageRowsStatus>(chunk.status & ~kRowRefused);
      if (status == PageRowsStatus::kRead) {
        ++result.pages;
      } else if (status == PageRowsStatus::kUnreadable) {
        result.notes.push_back({object, PageText(addresses[item]), -1, "page skipped", "the page cannot be read"});
      } else if (status == PageRowsStatus::kNotDataPage) {
        result.notes.push_back({object, PageText(addresses[item]), -1, "page skipped",
                                "the page listed for the table is not a data page"});
      }
      for (RecoveryNote& note : value_notes[item]) result.notes.push_back(std::move(note));
      result.rows += chunk.rows;
      if ((chunk.status & kRowRefused) != 0 ||
          ((chunk.rows > 0 || !chunk.bytes.empty()) && !write(chunk.bytes, chunk.rows))) {
        result.cut = true;
        return false;
      }
      if (pages) pages(item + 1, addresses.size());
      return true;
    };
    OrderedParallelMap(addresses.size(), run, make, take);
    if (stopRequested()) result.stopped = true;
  };
  // Pages found by the object id in their headers alone give only the
  // records that fit the table.
  read(list.pages, list.foundById ? RecordFilter::kWholeRecords : RecordFilter::kAll);
  // A heap whose IAM pages gave no rows is read along its next-page chain.
  if (result.rows == 0 && list.heapChainFallback && !result.stopped && !result.cut) {
    std::vector<PageAddress> chain;
    WalkPageChain(*context_->fileSet, *list.heapChainFallback, chain, options.stop());
    result.notes.clear();
    read(chain, RecordFilter::kAll);
  }
  return result;
}

std::string TableSource::ModuleDefinition(int32_t object_id) {
  if (!definitionsRead_) {
    definitionsRead_ = true;
    ModuleValueCache cache;
    NullProgressSink quiet;
    std::set<int32_t> wanted;
    for (const ObjectRow& row : context_->catalog->objects) {
      static const std::set<std::string> kModuleCodes = {"V ", "P ", "FN", "IF", "TF", "TR", "D ", "C "};
      if (kModuleCodes.count(row.typeCode)) wanted.insert(row.objectId);
    }
    for (int32_t id : wanted) {
      definitions_[id] =
          ReadModuleText(*context_->catalog, *context_->fileSet, options_, cache, std::to_string(id),
                         [](const std::string&) {}, quiet);
    }
  }
  auto it = definitions_.find(object_id);
  return it == definitions_.end() ? std::string() : it->second;
}

std::vector<ExportModule> TableSource::Modules() {
  std::vector<ExportModule> modules;
  if (!context_->catalog || isSql2000()) return modules;
  for (const ObjectRow& row : context_->catalog->objects) {
    if (row.typeCode != "V " && row.typeCode != "P " && row.typeCode != "FN" && row.typeCode != "IF" &&
        row.typeCode != "TF" && row.typeCode != "TR") {
      continue;
    }
    std::string definition = ModuleDefinition(row.objectId);
    if (definition.empty()) continue;
    modules.push_back({SchemaName(row.schemaId), row.name, row.typeCode, std::move(definition)});
  }
  return modules;
}

}  // namespace quill
