// What document extraction reads from a SharePoint content database, as
// plain rows: the file rows of AllDocs, the version rows of AllDocVersions,
// the content pieces of the stream table (AllDocStreams in 2007/2010,
// DocStreams in 2013 and later) with the piece map DocsToStreams, and the
// bytes of one piece handed out in chunks as they are read. This is the
// one place extraction touches the table readers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "catalog/system_catalog.h"
#include "common/status.h"
#include "pages/database_file.h"
#include "sharepoint/content_table_reader.h"
#include "values/read_options.h"

namespace quill {

inline constexpr int64_t kUnknownNumber = -1;

// One AllDocs row of a file (Type 0).
struct StoredDocument {
  std::string id;
  std::string siteId;
  std::string dirName;
  std::string leafName;
  int64_t level = 1;
  int64_t size = kUnknownNumber;
  std::string version;  // InternalVersion (2007: Version), as stored text
  int64_t uiVersion = kUnknownNumber;
  std::string created;   // value text of TimeCreated
  std::string modified;  // value text of TimeLastModified
  std::string setupPath;  // empty when NULL
  bool recycled = false;  // DeleteTransactionId is not empty
  int64_t checkoutUserId = kUnknownNumber;
  int64_t draftOwnerId = kUnknownNumber;
  bool deletedRecord = false;  // read from a deleted record
};

// One AllDocVersions row: a historical version.
struct StoredVersion {
  std::string id;
  std::string siteId;
  int64_t uiVersion = kUnknownNumber;
  std::string version;  // InternalVersion (2007: Version)
  int64_t size = kUnknownNumber;
  std::string created;
  bool deleted = false;
};

// One stored content piece: an AllDocStreams row (one piece per content
// version) or a DocStreams row (one of possibly several pieces).
struct StreamPiece {
  enum class Content { kNull, kInRow, kReference };
  std::string siteId;
  std::string docId;
  std::string version;  // AllDocStreams only
  int64_t partition = 0;
  int64_t bsn = 0;      // DocStreams only
  int64_t size = kUnknownNumber;  // DocStreams.Size
  Content content = Content::kNull;
  bool remote = false;   // RbsId is set
  std::string remoteId;  // RbsId as value text
  bool deleted = false;
  // Where the row sits, to read an in-row value again; the reference of a
  // value stored outside the row.
  ContentRowPlace place;
  std::string reference;
};

// One DocsToStreams row.
struct StreamMapRow {
  std::string siteId;
  std::string docId;
  int64_t histVersion = kUnknownNumber;
  int64_t level = kUnknownNumber;
  int64_t partition = 0;
  int64_t bsn = 0;
};

// Reads the tables of one content database with `options`; deleted rows
// are read when `deleted` is set (it replaces the options' deleted-row
// choices).
class DocumentSources {
 public:
  DocumentSources(SystemCatalog& catalog, const CDatabaseFile& file, const ReadOptions& options, bool deleted);
  ~DocumentSources();

  // False when the database has no AllDocs table.
  bool ReadDocuments(std::vector<StoredDocument>& documents);
  void ReadVersions(std::vector<StoredVersion>& versions);
  // True for the 2013+ layout (DocStreams); false when neither stream
  // table exists as well as for AllDocStreams.
  bool piecesLayout() const { return piecesLayout_; }
  // The pieces of the stream table; `map` gets DocsToStreams (2013+).
  bool ReadPieces(std::vector<StreamPiece>& pieces, std::vector<StreamMapRow>& map);

  // Hands the bytes of `piece` to `sink` in order. Returns the number of
  // bytes handed out; false in `complete` when the value could not be read
  // (the row is gone, or a stop was requested). `failure`, when given,
  // receives the first large value node that could not be read. Safe on
  // several threads at once: in-row values are read one at a time through
  // the table cursor.
  uint64_t ReadPiece(const StreamPiece& piece, const std::function<void(std::span<const uint8_t>)>& sink,
                     bool& complete, Status* failure = nullptr);

  bool stopRequested() const { return options_.aborted(); }
  StopToken stopToken() const { return options_.stop(); }

 private:
  SystemCatalog& catalog_;
  const CDatabaseFile& file_;
  ReadOptions options_;
  bool piecesLayout_ = false;
  std::unique_ptr<ContentTableCursor> streams_;
  std::mutex streamsMutex_;  // the cursor is read by one copy at a time
  size_t contentColumn_ = 0;
};

// The integer of a number cell; kUnknownNumber for NULL, empty or garbage.
int64_t NumberCell(const std::string& text);

}  // namespace quill
