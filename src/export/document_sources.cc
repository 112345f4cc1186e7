#include "export/document_sources.h"

#include <charconv>

#include "records/lob_reader.h"
#include "sharepoint/sharepoint_content.h"

namespace quill {

namespace {

constexpr char kNullCell[] = "NULL";
constexpr size_t kTextPointerSize = 16;
constexpr uint8_t kInRowRoot = 2;
constexpr uint8_t kRowOverflow = 4;

// A cell that is NULL or was not read (the column is missing).
bool Absent(const std::string& cell) { return cell.empty() || cell == kNullCell; }

std::string TextCell(const std::string& cell) { return cell == kNullCell ? std::string() : cell; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The bytes of a "0x..." cell; false for anything else.
bool HexBytes(const std::string& cell, std::vector<uint8_t>& out) {
  if (cell.size() < 2 || cell[0] != '0' || cell[1] != 'x' || cell.size() % 2 != 0) return false;
  out.clear();
  out.reserve(cell.size() / 2 - 1);
  for (size_t i = 2; i < cell.size(); i += 2) {
    const int high = HexDigit(cell[i]);
    const int low = HexDigit(cell[i + 1]);
    if (high < 0 || low < 0) return false;
    out.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  return true;
}

// The value of the first of `names` the table has.
const std::string& Either(const ContentRow& row, const ContentTableCursor& cursor, size_t first, size_t second) {
  return cursor.hasColumn(first) || !cursor.hasColumn(second) ? row.cells[first] : row.cells[second];
}

}  // namespace

int64_t NumberCell(const std::string& text) {
  const std::string trimmed = TrimWhiteSpace(text);
  int64_t value = 0;
  const char* end = trimmed.data() + trimmed.size();
  const auto result = std::from_chars(trimmed.data(), end, value);
  if (trimmed.empty() || result.ec != std::errc() || result.ptr != end) return kUnknownNumber;
  return value;
}

DocumentSources::DocumentSources(SystemCatalog& catalog, const CDatabaseFile& file, const ReadOptions& options,
                                 bool deleted)
    : catalog_(catalog), file_(file), options_(options) {
  options_.parse.showDeletedRecords = deleted;
  options_.parse.showAdvancedDeletedRecords = deleted;
}

DocumentSources::~DocumentSources() = default;

bool DocumentSources::ReadDocuments(std::vector<StoredDocument>& documents) {
  enum {
    kId, kSiteId, kDirName, kLeafName, kLevel, kType, kSize, kInternalVersion, kVersion, kUIVersion,
    kTimeCreated, kTimeLastModified, kDeleteTransactionId, kSetupPath, kCheckoutUserId, kDraftOwnerId
  };
  ContentTableCursor cursor(catalog_, file_, options_, "AllDocs",
                            {"Id", "SiteId", "DirName", "LeafName", "Level", "Type", "Size", "InternalVersion",
                             "Version", "UIVersion", "TimeCreated", "TimeLastModified", "DeleteTransactionId",
                             "SetupPath", "CheckoutUserId", "DraftOwnerId"});
  if (!cursor.found()) return false;
  cursor.ForEachRow([&](const ContentRow& row, const ContentRowPlace&) {
    const auto& c = row.cells;
    if (NumberCell(c[kType]) != 0 || Absent(c[kId])) return;  // folders, webs and unreadable rows
    StoredDocument doc;
    doc.id = TrimWhiteSpace(c[kId]);
    doc.siteId = TrimWhiteSpace(c[kSiteId]);
    doc.dirName = TextCell(c[kDirName]);
    doc.leafName = TextCell(c[kLeafName]);
    doc.level = cursor.hasColumn(kLevel) ? NumberCell(c[kLevel]) : 1;
    doc.size = NumberCell(c[kSize]);
    doc.version = TrimWhiteSpace(TextCell(Either(row, cursor, kInternalVersion, kVersion)));
    doc.uiVersion = NumberCell(c[kUIVersion]);
    doc.created = TextCell(c[kTimeCreated]);
    doc.modified = TextCell(c[kTimeLastModified]);
    doc.setupPath = TextCell(c[kSetupPath]);
    doc.recycled = !Absent(c[kDeleteTransactionId]) && c[kDeleteTransactionId] != "0x";
    doc.checkoutUserId = NumberCell(c[kCheckoutUserId]);
    doc.draftOwnerId = NumberCell(c[kDraftOwnerId]);
    doc.deletedRecord = row.deleted;
    documents.push_back(std::move(doc));
  });
  return true;
}

void DocumentSources::ReadVersions(std::vector<StoredVersion>& versions) {
  enum { kId, kSiteId, kUIVersion, kInternalVersion, kVersion, kSize, kTimeCreated, kDeleteTransactionId };
  ContentTableCursor cursor(catalog_, file_, options_, "AllDocVersions",
                            {"Id", "SiteId", "UIVersion", "InternalVersion", "Version", "Size", "TimeCreated",
                             "DeleteTransactionId"});
  if (!cursor.found()) return;
  cursor.ForEachRow([&](const ContentRow& row, const ContentRowPlace&) {
    const auto& c = row.cells;
    if (Absent(c[kId])) return;
    StoredVersion version;
    version.id = TrimWhiteSpace(c[kId]);
    version.siteId = TrimWhiteSpace(c[kSiteId]);
    version.uiVersion = NumberCell(c[kUIVersion]);
    version.version = TrimWhiteSpace(TextCell(Either(row, cursor, kInternalVersion, kVersion)));
    version.size = NumberCell(c[kSize]);
    version.created = TextCell(c[kTimeCreated]);
    version.deleted = row.deleted || (!Absent(c[kDeleteTransactionId]) && c[kDeleteTransactionId] != "0x");
    versions.push_back(std::move(version));
  });
}

bool DocumentSources::ReadPieces(std::vector<StreamPiece>& pieces, std::vector<StreamMapRow>& map) {
  enum { kDocId, kId, kSiteId, kInternalVersion, kVersion, kPartition, kBsn, kSize, kContent, kRbsId };
  const std::vector<std::string> columns = {"DocId", "Id",  "SiteId", "InternalVersion", "Version",
                                            "Partition", "BSN", "Size", "Content", "RbsId"};
  streams_ = std::make_unique<ContentTableCursor>(catalog_, file_, options_, "DocStreams", columns,
                                                  RowsFor::kLargeValueReferences);
  piecesLayout_ = streams_->found();
  if (!piecesLayout_) {
    streams_ = std::make_unique<ContentTableCursor>(catalog_, file_, options_, "AllDocStreams", columns,
                                                    RowsFor::kLargeValueReferences);
    if (!streams_->found()) return false;
  }
  contentColumn_ = kContent;
  const ContentTableCursor& cursor = *streams_;
  streams_->ForEachRow([&](const ContentRow& row, const ContentRowPlace& place) {
    const auto& c = row.cells;
    StreamPiece piece;
    piece.docId = TrimWhiteSpace(Either(row, cursor, kDocId, kId));
    if (piece.docId.empty() || piece.docId == kNullCell) return;
    piece.siteId = TrimWhiteSpace(c[kSiteId]);
    piece.version = TrimWhiteSpace(TextCell(Either(row, cursor, kInternalVersion, kVersion)));
    piece.partition = cursor.hasColumn(kPartition) ? NumberCell(c[kPartition]) : 0;
    piece.bsn = NumberCell(c[kBsn]);
    piece.size = NumberCell(c[kSize]);
    const std::string& content = c[kContent];
    if (!LargeValueReferenceOf(content).empty()) {
      piece.content = StreamPiece::Content::kReference;
      piece.reference = std::string(LargeValueReferenceOf(content));
    } else if (content.size() >= 2 && content.compare(0, 2, "0x") == 0) {
      piece.content = StreamPiece::Content::kInRow;
    }
    piece.remote = !Absent(c[kRbsId]) && c[kRbsId] != "0x";
    if (piece.remote) piece.remoteId = c[kRbsId];
    piece.deleted = row.deleted;
    piece.place = place;
    pieces.push_back(std::move(piece));
  });

  if (piecesLayout_) {
    enum { kMapSiteId, kMapDocId, kHistVersion, kLevel, kMapPartition, kMapBsn };
    ContentTableCursor mapping(catalog_, file_, options_, "DocsToStreams",
                               {"SiteId", "DocId", "HistVersion", "Level", "Partition", "BSN"});
    mapping.ForEachRow([&](const ContentRow& row, const ContentRowPlace&) {
      if (row.deleted) return;
      const auto& c = row.cells;
      map.push_back({TrimWhiteSpace(c[kMapSiteId]), TrimWhiteSpace(c[kMapDocId]), NumberCell(c[kHistVersion]),
                     NumberCell(c[kLevel]), NumberCell(c[kMapPartition]), NumberCell(c[kMapBsn])});
    });
  }
  return true;
}

uint64_t DocumentSources::ReadPiece(const StreamPiece& piece,
                                    const std::function<void(std::span<const uint8_t>)>& sink, bool& complete,
                                    Status* failure) {
  complete = false;
  uint64_t count = 0;
  if (piece.content == StreamPiece::Content::kInRow) {
    if (!streams_) return 0;
    std::vector<uint8_t> bytes;
    {
      const std::lock_guard<std::mutex> lock(streamsMutex_);
      const std::optional<ContentRow> row = streams_->RowAt(piece.place);
      if (!row || contentColumn_ >= row->cells.size() || !HexBytes(row->cells[contentColumn_], bytes)) return 0;
    }
    sink(bytes);
    complete = !stopRequested();
    return bytes.size();
  }
  if (piece.content != StreamPiece::Content::kReference || piece.reference.empty()) return 0;
  const std::function<void(std::span<const uint8_t>)> counted = [&](std::span<const uint8_t> bytes) {
    if (stopRequested()) return;
    count += bytes.size();
    sink(bytes);
  };
  LobReadOptions options;
  options.binary = true;
  options.chunkSink = &counted;
  options.stop = options_.stop();
  options.failure = failure;
  const std::span<const uint8_t> value(reinterpret_cast<const uint8_t*>(piece.reference.data()),
                                       piece.reference.size());
  if (value.size() == kTextPointerSize && value[0] == 0) {
    ReadTextPointer(value, file_, options);
  } else if (value[0] == kInRowRoot || value[0] == kRowOverflow) {
    ReadComplexValue(value, file_, options);
  } else {
    return 0;
  }
  // Nodes that cannot be read are skipped by the reader; the caller
  // compares the count with the stored size.
  complete = !stopRequested();
  return count;
}

}  // namespace quill
