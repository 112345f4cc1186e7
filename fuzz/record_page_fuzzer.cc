// Record pages: every kind of record (plain, forwarded, forwarding stubs
// resolved through the file, sparse vectors, row- and page-compressed
// records with the page's compression information) parsed from one page and
// turned into rows by the row builders.
//
// Byte 0 holds options: bit 0 show deleted records, bit 1 the advanced
// search, bit 2 the SQL Server 2000 layout, bits 3-5 the table's columns
// (fuzz_columns.h; 0: none), bit 6 leave large values as references, bit 7
// whole records only. The rest is the page, placed at page 2 of a small
// file (page_file.h) so that stubs and large-value links can point back at
// it; the page is a whole 8192 bytes, so a shorter input is padded.
//
// Checked: one record entry per slot; the byte views of records parsed in
// place lie inside the page; parsing and the rows are the same twice; no
// more rows than records; every cell bounded (a large value reads each node
// of the page at most once, each node at most a page, texts at most three
// bytes per stored byte).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_columns.h"
#include "fuzz_support.h"
#include "page_file.h"
#include "pages/page_address.h"
#include "records/data_page.h"
#include "values/page_rows.h"
#include "values/read_options.h"

namespace {

using namespace quill;
using namespace quill::fuzz;

bool Inside(std::span<const uint8_t> view, std::span<const uint8_t> page) {
  return view.empty() || (view.data() >= page.data() && view.data() + view.size() <= page.data() + page.size());
}

uint64_t ParseDigest(const CDataPage& page) {
  Digest digest;
  digest.Add(static_cast<uint64_t>(page.slotCount()));
  const std::span<const uint8_t> bytes = page.dataWithGuard();
  for (const CPrimaryRecord* record : page.records()) {
    if (record == nullptr) {
      digest.Add(uint64_t{0xFFFF});
      continue;
    }
    digest.Add(static_cast<uint64_t>(record->kind)).Add(static_cast<uint64_t>(record->recordEnd));
    digest.Add(record->fixedData).Add(record->nullBitmap).Add(record->varEndBytes).Add(record->rawCopy);
    digest.Add(static_cast<uint64_t>(record->notShown()) | static_cast<uint64_t>(record->isGhost) << 1);
    for (const VarColumnEntry& entry : record->varEntries()) digest.Add(entry.data);
    if (record->sparseValues) {
      for (const VarColumnEntry& entry : record->sparseValues->entries) digest.Add(entry.data);
    }
    // A record parsed in place keeps views into its page; a resolved stub
    // and an expanded compressed record own their bytes.
    if (record->kind != kRecordKindForwardingStub && !record->isCompressed) {
      const bool inside = Inside(record->fixedData, bytes) && Inside(record->nullBitmap, bytes) &&
                          Inside(record->varEndBytes, bytes) && Inside(record->rawCopy, bytes);
      Require(inside, "record views lie inside the page");
      for (const VarColumnEntry& entry : record->varEntries()) {
        Require(Inside(entry.data, bytes), "value views lie inside the page");
      }
    }
    Require(record->rawCopy.size() <= kPageSize, "a record is at most a page");
  }
  return digest.value();
}

struct Rows {
  uint64_t digest = 0;
  size_t count = 0;
  size_t largestCell = 0;
};

Rows ReadRows(const CDatabaseFile& file, const ReadOptions& options, std::vector<ColumnDescriptor> columns,
              RowsFor purpose, RecordFilter filter) {
  PageRowsTable table{.descriptors = columns, .storedColumnCount = columns.size()};
  Rows rows;
  Digest digest;
  VisitPlacedPageRows(
      PageAddress{1, kFirstFuzzedPage}, file, table, options,
      [&](const Row& row, const RowPlace& place) {
        ++rows.count;
        digest.Add(static_cast<uint64_t>(place.slot)).Add(static_cast<uint64_t>(place.deleted));
        for (const std::string& cell : row.texts()) {
          digest.Add(cell);
          rows.largestCell = std::max(rows.largestCell, cell.size());
        }
      },
      purpose, filter);
  rows.digest = digest.value();
  return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 1 + kPageSize) return 0;
  static const ScratchFile scratch("record_page");
  const uint8_t flags = data[0];
  const ExactBytes page_bytes(data + 1, size - 1);

  CDatabaseFile file;
  if (!OpenPageFile(scratch, page_bytes.span(), file)) return 0;

  const std::vector<ColumnDescriptor>* columns = TableColumns((flags >> 3) & 7);
  ReadOptions options;
  options.parse.showDeletedRecords = (flags & 1) != 0;
  options.parse.showAdvancedDeletedRecords = (flags & 2) != 0;
  options.parse.isSql2000 = (flags & 4) != 0;
  options.parse.currentTable = columns;
  options.decode = DecodeOptions(false);

  const CDataPage first(PageFromBytes(page_bytes.span()), &file, options.parse);
  const CDataPage second(PageFromBytes(page_bytes.span()), &file, options.parse);
  Require(first.records().size() == static_cast<size_t>(first.slotOffsets() ? first.slotCount() : 0) ||
              first.records().empty(),
          "one record entry per slot");
  const uint64_t digest = ParseDigest(first);
  Require(digest == ParseDigest(second), "page parse is deterministic");

  if (columns != nullptr) {
    const RowsFor purpose = (flags & 0x40) != 0 ? RowsFor::kLargeValueReferences : RowsFor::kDisplay;
    const RecordFilter filter = (flags & 0x80) != 0 ? RecordFilter::kWholeRecords : RecordFilter::kAll;
    const Rows a = ReadRows(file, options, *columns, purpose, filter);
    const Rows b = ReadRows(file, options, *columns, purpose, filter);
    Require(a.digest == b.digest && a.count == b.count, "page rows are deterministic");
    Require(a.count <= first.records().size(), "no more rows than records");
    const size_t slots = static_cast<size_t>(first.slotCount()) + 1;
    Require(a.largestCell <= 3 * slots * kPageSize + 1024, "cells bounded by the page's nodes");
  }
  return 0;
}
