#include "cli/page_command.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <iterator>
#include <limits>
#include <span>
#include <vector>

#include "cli/info_command.h"
#include "common/little_endian.h"
#include "pages/database_file.h"
#include "records/data_page.h"
#include "records/page_reads.h"

namespace quill {

namespace {

// Byte values are shown as hex dump rows of 16 bytes, at most this many
// bytes of a value.
constexpr size_t kHexLimit = 64;
constexpr size_t kBytesPerRow = 16;
// Bytes shown of a record that was not parsed.
constexpr size_t kRawPreviewLength = 32;
// Key column widths of the header fields and of the record fields.
constexpr size_t kHeaderKeyWidth = 25;
constexpr size_t kRecordKeyWidth = 19;
// The record parser rejects every record of a page with a type above this.
constexpr int32_t kMaxRecordPageType = 17;

// Hex dump rows: 16 bytes a row as "3C 00 84 00 ...", with `with_text` then
// two blanks and the bytes as printable ASCII ('.' for the others). Only the
// first kHexLimit bytes are shown, and a last row "... (N bytes)" says so.
// Rows are padded to a full row only when there is more than one.
std::vector<std::string> HexRows(std::span<const uint8_t> bytes, bool with_text) {
  std::vector<std::string> rows;
  const size_t shown = std::min(bytes.size(), kHexLimit);
  for (size_t start = 0; start < shown; start += kBytesPerRow) {
    const auto row = bytes.subspan(start, std::min(kBytesPerRow, shown - start));
    std::string text;
    for (size_t i = 0; i < row.size(); ++i) {
      if (i > 0) text += ' ';
      fmt::format_to(std::back_inserter(text), "{:02X}", row[i]);
    }
    if (with_text) {
      if (shown > kBytesPerRow) text.resize(3 * kBytesPerRow - 1, ' ');
      text += "  ";
      for (uint8_t byte : row) text += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
    }
    rows.push_back(std::move(text));
  }
  if (bytes.size() > shown) rows.push_back(fmt::format("... ({} bytes)", bytes.size()));
  return rows;
}

// `label` padded to `width`, then the bytes: on the same line when they take
// one row, else as rows below the label, two columns further in.
void PrintBytes(std::ostream& out, size_t indent, size_t width, std::string_view label,
                std::span<const uint8_t> bytes, bool with_text = true) {
  const std::vector<std::string> rows = HexRows(bytes, with_text);
  const size_t padded = std::max(width, label.size() + 1);
  if (rows.size() <= 1) {
    out << fmt::format("{:{}}{:<{}}{}\n", "", indent, label, padded, rows.empty() ? "(empty)" : rows[0]);
    return;
  }
  out << fmt::format("{:{}}{}\n", "", indent, label);
  for (const std::string& row : rows) out << fmt::format("{:{}}{}\n", "", indent + 2, row);
}

void Field(std::ostream& out, size_t indent, size_t width, std::string_view key, std::string_view value) {
  out << fmt::format("{:{}}{:<{}}{}\n", "", indent, fmt::format("{}:", key), width, value);
}

std::string AddressText(PageAddress address) { return fmt::format("{}:{}", address.fileId, address.pageId); }

std::string YesNo(bool value) { return value ? "yes" : "no"; }

std::string Counted(size_t count, std::string_view noun) {
  return fmt::format("{} {}{}", count, noun, count == 1 ? "" : "s");
}

std::string PageTypeName(int32_t type) {
  switch (type) {
    case 1: return "data";
    case 2: return "index";
    case 3: return "text mix";
    case 4: return "text tree";
    case 7: return "sort";
    case 8: return "GAM";
    case 9: return "SGAM";
    case 10: return "IAM";
    case 11: return "PFS";
    case 13: return "boot";
    case 15: return "file header";
    case 16: return "diff map";
    case 17: return "ML map";
    default: return "unknown";
  }
}

std::string FlagBitsText(uint16_t flags) {
  std::string text = fmt::format("0x{:04X}", flags);
  std::vector<std::string> meanings;
  if ((flags & kFlagTornBitsPresent) != 0) meanings.push_back("torn bits");
  if ((flags & kFlagChecksumPresent) != 0) meanings.push_back("checksum");
  if (!meanings.empty()) text += fmt::format(" ({})", fmt::join(meanings, ", "));
  return text;
}

uint16_t PageU16(std::span<const uint8_t, kPageSize> page, size_t offset) {
  return offset + 2 <= kPageSize ? LoadLittleEndianUnchecked<uint16_t>(page.data() + offset) : 0;
}

void PrintHeader(std::ostream& out, const CPage_Header& h, PageAddress address) {
  namespace C = compression_info_layout;
  const size_t w = kHeaderKeyWidth;
  out << "header\n";
  Field(out, 2, w, "header version", std::to_string(h.headerVersion));
  Field(out, 2, w, "page type", fmt::format("{} ({})", h.pageType, PageTypeName(h.pageType)));
  Field(out, 2, w, "type flag bits",
        fmt::format("0x{:02X}{}", h.typeFlagBits,
                    (h.typeFlagBits & C::kPageCompressedTypeFlag) != 0 ? " (page compressed)" : ""));
  Field(out, 2, w, "level", std::to_string(h.level));
  Field(out, 2, w, "flag bits", FlagBitsText(h.flagBits));
  Field(out, 2, w, "index id", std::to_string(h.indexId));
  Field(out, 2, w, "previous page", AddressText(h.previousPage));
  Field(out, 2, w, "minimum record length", std::to_string(h.minRecordLength));
  Field(out, 2, w, "next page", AddressText(h.nextPage));
  Field(out, 2, w, "slot count", std::to_string(h.slotCount));
  Field(out, 2, w, "object id", std::to_string(h.objectId));
  Field(out, 2, w, "free byte count", std::to_string(h.freeCount));
  Field(out, 2, w, "free data offset", std::to_string(h.freeDataOffset));
  Field(out, 2, w, "this page",
        h.thisPage == address
            ? AddressText(h.thisPage)
            : fmt::format("{} (read at {})", AddressText(h.thisPage), AddressText(address)));
  Field(out, 2, w, "reserved byte count", std::to_string(h.reservedCount));
  Field(out, 2, w, "LSN", h.lsnText);
  Field(out, 2, w, "reserved by transaction", std::to_string(h.reservedByTransaction));
  Field(out, 2, w, "transaction id", h.transactionText);
  Field(out, 2, w, "ghost record count", std::to_string(h.ghostRecordCount));
  Field(out, 2, w, "torn bits",
        fmt::format("0x{:08X}{}", h.tornBits,
                    (h.flagBits & kFlagChecksumPresent) != 0 ? " (holds the page checksum)" : ""));
}

void PrintSlotArray(std::ostream& out, const RecordPage& page) {
  const auto& offsets = page.slotOffsets();
  if (!offsets) {
    out << fmt::format("slot array: none (slot count {} is outside 1..{})\n",
                       static_cast<int16_t>(page.header().slotCount), kMaxSlotCount);
    return;
  }
  const size_t on_page = page.header().slotCount;
  out << fmt::format("slot array: {}", Counted(offsets->size(), "slot"));
  if (offsets->size() > on_page) out << fmt::format(" ({} found in free space)", offsets->size() - on_page);
  out << '\n';
  for (size_t slot = 0; slot < offsets->size(); ++slot) {
    out << fmt::format("  slot {}: offset {}{}\n", slot, (*offsets)[slot],
                       slot >= on_page ? " (found in free space)" : "");
  }
}

void PrintVarEntry(std::ostream& out, size_t indent, std::string_view label, const VarColumnEntry& entry) {
  if (!entry.hasData()) {
    out << fmt::format("{:{}}{}: no data{}\n", "", indent, label, entry.complex ? " (complex)" : "");
    return;
  }
  PrintBytes(out, indent, 0,
             fmt::format("{} ({}{}):", label, Counted(static_cast<size_t>(entry.length), "byte"),
                         entry.complex ? ", complex" : ""),
             entry.bytes());
}

// The parts of a parsed record, one "name: value" line each.
void PrintRecordFields(std::ostream& out, const CPrimaryRecord& r, size_t indent) {
  const size_t w = kRecordKeyWidth;
  Field(out, indent, w, "length", std::to_string(r.recordEnd));
  Field(out, indent, w, "ghost", YesNo(r.isGhost));
  if (r.isCompressed) {
    std::vector<std::string> codes;
    for (int32_t code : r.cdCodes()) codes.push_back(std::to_string(code));
    Field(out, indent, w, "columns", std::to_string(r.columnCount));
    Field(out, indent, w, "descriptor codes",
          codes.empty() ? "none" : fmt::format("{}", fmt::join(codes, " ")));
    Field(out, indent, w, "short data length", std::to_string(r.fixedLength));
    if (!r.fixedData.empty()) PrintBytes(out, indent, w, "short data:", r.fixedData);
  } else {
    Field(out, indent, w, "fixed length", std::to_string(r.fixedLength));
    if (!r.fixedData.empty()) PrintBytes(out, indent, w, "fixed data:", r.fixedData);
    Field(out, indent, w, "columns", std::to_string(r.columnCount));
  }
  if (!r.nullBitmap.empty()) {
    PrintBytes(out, indent, w, "null bitmap:", r.nullBitmap, /*with_text=*/false);
  } else {
    Field(out, indent, w, "null bitmap", r.hasNullBitmap ? "cut off" : "none");
  }
  if (r.isCompressed) {
    std::vector<std::string> ends;
    for (const CRecord::LongEnd& end : r.longEnds()) {
      ends.push_back(end.complex ? fmt::format("{} (complex)", end.end) : std::to_string(end.end));
    }
    Field(out, indent, w, "long values", std::to_string(r.varCount));
    if (!ends.empty()) Field(out, indent, w, "long value ends", fmt::format("{}", fmt::join(ends, ", ")));
  } else {
    Field(out, indent, w, "variable columns", std::to_string(r.varCount));
  }
  for (size_t i = 0; i < r.varEntries().size(); ++i) {
    PrintVarEntry(out, indent + 2, fmt::format("var {}", i), r.varEntries()[i]);
  }
  if (r.sparseValues) {
    Field(out, indent, w, "sparse values", std::to_string(r.sparseValues->count));
    for (const VarColumnEntry& entry : r.sparseValues->entries) {
      PrintVarEntry(out, indent + 2, fmt::format("column {}", entry.columnId), entry);
    }
  }
  Field(out, indent, w, "versioning tag", YesNo(r.hasVersioningTag));
}

// A record parser's reason, with the field it read when it names one:
// "index record, not a row (status byte A at offset 105)".
std::string ParserReason(const Status& status) {
  const Place& place = status.place();
  if (place.field == nullptr) return status.message();
  if (place.offset < 0) return fmt::format("{} ({})", status.message(), place.field);
  return fmt::format("{} ({} at offset {})", status.message(), place.field, place.offset);
}

// A forwarding stub's target as stored in the stub: page id, file id, slot.
std::string StubTarget(const PrimaryRecordPage& page, uint16_t offset) {
  if (static_cast<size_t>(offset) + 9 > kPageSize) return "cut off";
  const uint8_t* p = page.data().data() + offset;
  const PageAddress target{LoadLittleEndianUnchecked<uint16_t>(p + 5),
                           LoadLittleEndianUnchecked<int32_t>(p + 1)};
  return fmt::format("{} slot {}", AddressText(target), LoadLittleEndianUnchecked<uint16_t>(p + 7));
}

struct RecordCounts {
  size_t parsed = 0;
  size_t skipped = 0;
  size_t notShown = 0;
};

RecordCounts PrintRecords(std::ostream& out, const PrimaryRecordPage& page) {
  RecordCounts counts;
  const auto& offsets = page.slotOffsets();
  if (!offsets) return counts;
  out << "records by slot\n";
  const size_t on_page = page.header().slotCount;
  for (size_t slot = 0; slot < offsets->size(); ++slot) {
    const uint16_t offset = (*offsets)[slot];
    const std::string where =
        fmt::format("slot {} (offset {}{})", slot, offset, slot >= on_page ? ", found in free space" : "");
    const CPrimaryRecord* record = slot < page.records().size() ? page.records()[slot] : nullptr;
    if (record == nullptr) {
      ++counts.skipped;
      const Status skipped = page.SlotSkipped(slot);
      const Status reason = skipped.ok() ? page.recordsFailure() : skipped;
      out << fmt::format("  slot {}: skipped ({})\n", slot, reason.ok() ? "not read" : reason.message());
      continue;
    }
    ++counts.parsed;
    if (record->notShown()) {
      ++counts.notShown;
      const auto raw = page.data().subspan(std::min<size_t>(offset, kPageSize));
      const uint8_t status = raw.empty() ? 0 : raw[0];
      out << fmt::format("  {}: {}, {}, not shown: {}\n", where, RecordKindName((status >> 1) & 7),
                         (status & kStatusCompressed) != 0 ? "compressed" : "plain",
                         ParserReason(record->rejection()));
      PrintBytes(out, 4, kRecordKeyWidth, "bytes:", raw.first(std::min(raw.size(), kRawPreviewLength)));
      continue;
    }
    const std::string layout = fmt::format("{}, {}", record->isCompressed ? "compressed" : "plain",
                                           Counted(static_cast<size_t>(record->recordEnd), "byte"));
    if (record->kind != kRecordKindForwardingStub) {
      out << fmt::format("  {}: {}, {}\n", where, RecordKindName(record->kind), layout);
    } else if (record->fixedLength == kUnresolvedStubLength) {
      const Status& failure = record->forwardFailure();
      out << fmt::format("  {}: forwarding stub to {}, target not read{}\n", where, StubTarget(page, offset),
                         failure.ok() ? std::string() : ": " + failure.message());
      continue;
    } else {
      // The stub was replaced by the record it points to.
      out << fmt::format("  {}: forwarding stub to {}, forwarded record: {}\n", where,
                         StubTarget(page, offset), layout);
    }
    PrintRecordFields(out, *record, 4);
  }
  return counts;
}

void PrintCompression(std::ostream& out, const PrimaryRecordPage& page) {
  namespace C = compression_info_layout;
  const auto& info = page.compressionInfo();
  const size_t w = kRecordKeyWidth;
  out << "compression information\n";
  PrintBytes(out, 2, w, "stored bytes:", info, /*with_text=*/false);
  Field(out, 2, w, "header", fmt::format("0x{:02X}", info[0]));
  Field(out, 2, w, "dictionary offset", std::to_string(PageU16(page.data(), C::kDictionaryOffset)));
  Field(out, 2, w, "size", std::to_string(PageU16(page.data(), C::kSize)));
  Field(out, 2, w, "anchor record", YesNo(page.hasAnchor()));
  Field(out, 2, w, "dictionary", YesNo(page.hasDictionary()));
  if (const CPrimaryRecord* anchor = page.anchorRecord()) {
    if (anchor->notShown()) {
      out << fmt::format("  anchor record: not parsed: {}\n", ParserReason(anchor->rejection()));
    } else {
      out << "  anchor record fields\n";
      PrintRecordFields(out, *anchor, 4);
    }
  }
  if (!page.anchorValues().empty()) {
    out << fmt::format("  anchor values: {}\n", page.anchorValues().size());
    for (size_t i = 0; i < page.anchorValues().size(); ++i) {
      const auto& value = page.anchorValues()[i];
      if (value.length == -2) {
        out << fmt::format("    value {}: NULL\n", i);
      } else if (value.length == -1 || value.data.empty()) {
        out << fmt::format("    value {}: empty\n", i);
      } else {
        PrintBytes(out, 4, 0,
                   fmt::format("value {} ({}):", i, Counted(static_cast<size_t>(value.length), "byte")),
                   value.data);
      }
    }
  }
  if (page.hasDictionary()) {
    out << fmt::format("  dictionary entries: {}\n", page.dictionaryEntries().size());
    for (size_t i = 0; i < page.dictionaryEntries().size(); ++i) {
      const auto& entry = page.dictionaryEntries()[i];
      const std::span<const uint8_t> bytes = entry.data;
      PrintBytes(out, 4, 0, fmt::format("entry {} ({}):", i, Counted(bytes.size(), "byte")), bytes);
    }
  }
}

}  // namespace

PageAddressParse ParsePageAddress(std::string_view text) {
  PageAddressParse result;
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    result.error = fmt::format("'{}' is not FILEID:PAGEID (e.g. 1:9)", text);
    return result;
  }
  const auto read_number = [](std::string_view digits, int64_t max, int64_t& value) {
    if (digits.empty() || digits.size() > 10 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return false;
    }
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value <= max;
  };
  int64_t file_id = 0;
  int64_t page_id = 0;
  const std::string_view file_text = text.substr(0, colon);
  const std::string_view page_text = text.substr(colon + 1);
  if (!read_number(file_text, std::numeric_limits<uint16_t>::max(), file_id) || file_id < 1) {
    result.error = fmt::format("file id '{}' in '{}' is not a number from 1 to 65535", file_text, text);
    return result;
  }
  if (!read_number(page_text, std::numeric_limits<int32_t>::max(), page_id)) {
    result.error = fmt::format("page id '{}' in '{}' is not a number from 0 to 2147483647", page_text, text);
    return result;
  }
  result.address = PageAddress{static_cast<uint16_t>(file_id), static_cast<int32_t>(page_id)};
  return result;
}

int RunPageCommand(const std::string& path, PageAddress address, ApplicationState& state,
                   ProgressSink& progress, std::ostream& out) {
  CDatabaseFile file;
  const ReadOptions options = state.readOptions();
  if (!file.Open(path, &progress, options.stop())) return kExitCannotScan;
  if (address.fileId > 1) {
    std::vector<DataFileEntry> file_list;
    file.LocateSecondaryFiles(file_list, path, options.stop());
  }

  Result<PageBuffer> bytes = file.ReadPageBytes(address, /*allow_page_zero=*/true);
  if (!bytes) {
    progress.ScanError(bytes.status().Text());
    return kExitCannotScan;
  }
  const auto page = std::make_unique<CDataPage>(std::move(*bytes), &file, options.parse);

  const bool secondary = address.fileId > 1;
  const DataFileEntry* entry = secondary ? &file.secondaryFiles().at(address.fileId) : nullptr;
  const int64_t page_count = secondary ? entry->pageCount : file.pageCount();
  out << fmt::format("page {} of {}\n", AddressText(address), secondary ? entry->physicalPath : path);
  if (address.pageId >= page_count) {
    out << fmt::format("note: past the last whole page of the file ({} pages); missing bytes read as zeros\n",
                       page_count);
  }
  out << '\n';
  PrintHeader(out, page->header(), address);
  out << '\n';
  PrintSlotArray(out, *page);
  if (page->hasAnchor() ||
      (page->header().typeFlagBits & compression_info_layout::kPageCompressedTypeFlag) != 0) {
    out << '\n';
    PrintCompression(out, *page);
  }
  out << '\n';
  const RecordCounts counts = PrintRecords(out, *page);
  const size_t slots = page->slotOffsets() ? page->slotOffsets()->size() : 0;
  out << fmt::format("records: {} of {} slots parsed, {} skipped, {} not shown\n", counts.parsed, slots,
                     counts.skipped, counts.notShown);
  return kExitOk;
}

}  // namespace quill
