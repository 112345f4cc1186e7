// Extraction of the documents of a SharePoint content database to a folder:
// each document's stored bytes written to <DirName>/<LeafName> under the
// folder (DirName is server-relative, so it begins with the site
// collection's path), with its modification time, and one line per
// document in manifest.csv at the top of the folder.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "catalog/system_catalog.h"
#include "common/progress_sink.h"
#include "pages/database_file.h"
#include "values/read_options.h"

namespace quill {

inline constexpr char kDeletedFolder[] = "_deleted";

struct DocumentExtractOptions {
  std::string outputFolder;  // created when missing; must not hold a manifest yet
  // Also deleted documents (deleted rows, and recycled ones) whose bytes
  // survive, into _deleted/.
  bool deleted = false;
  // Also every stored historical version, beside the current one as
  // "name (version N).ext".
  bool versions = false;
  // When not empty, only the documents whose stored path ("DirName/LeafName",
  // or LeafName alone when DirName is empty) is listed: the documents a
  // user picked.
  std::set<std::string> onlyPaths;
  // Files copied at the same time (reading, hashing and writing); names,
  // files and manifest are the same on any number.
  unsigned threads = 1;
};

// The stored path a document is picked by in onlyPaths.
std::string StoredDocumentPath(const std::string& dir_name, const std::string& leaf_name);

struct DocumentExtractSummary {
  bool started = false;    // the folder and the manifest were created
  std::string error;       // why not, or why the manifest is incomplete
  bool contentDatabase = false;  // an AllDocs table was found
  uint64_t documents = 0;  // manifest lines
  uint64_t written = 0;
  uint64_t notRecovered = 0;  // every other status
  uint64_t failed = 0;        // of those: damaged or with a piece missing
  uint64_t bytes = 0;
  bool stopped = false;    // a stop request ended the run; the manifest lists what was done
};

// Writes the documents. Which rows are taken: AllDocs rows of Type 0 (files)
// but for list-item placeholders ("1_.000"). Of one document (SiteId, Id),
// the published row (Level 1) is written under its own name; a draft
// (Level 2) or check-out copy (Level 255) beside it as "name (draft).ext" or
// "name (checked out).ext"; a document with no published row has its newest
// level under its own name, marked in the manifest. Content comes from
// AllDocStreams (the row of the same InternalVersion, or Version in 2007) or
// DocStreams (pieces chosen through DocsToStreams, else by their sizes, and
// joined in BSN order). A file whose bytes do not add up to its stored size
// is removed and reported as damaged. A stop request (read.stop()) ends the run after
// removing the file in progress.
DocumentExtractSummary ExtractDocuments(SystemCatalog& catalog, const CDatabaseFile& file,
                                        const ReadOptions& read, const DocumentExtractOptions& options,
                                        ProgressSink& progress);

}  // namespace quill
