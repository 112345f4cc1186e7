// The SharePoint readers over the demo database with the pages of its
// content tables written by the fuzzer (fuzz_databases.h): the input
// replaces those pages in order, a last partial page only at its start. The
// catalog is loaded once from the undamaged file, so the readers meet the
// damage in the tables' own pages. An odd-sized input is read in Advanced
// Mode (every page carrying a table's id), an even-sized one in Standard
// Mode.
//
// Checked: the content and both trees are the same when read twice; their
// texts are valid UTF-8; no more documents, lists and webs than rows the
// pages can hold.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_columns.h"
#include "fuzz_databases.h"
#include "fuzz_support.h"
#include "pages/database_file.h"
#include "scan/memory_tree.h"
#include "sharepoint/sharepoint_content.h"

namespace {

using namespace quill;
using namespace quill::fuzz;

constexpr size_t kMaxRecordsPerPage = 8192;

std::string LoadContent(const SharePointBase& base, const CDatabaseFile& file, const ReadOptions& options) {
  SystemCatalog catalog = base.catalog;
  MemoryTree tree;
  SharePointContent content;
  std::string lines;
  LoadSharePointContent(catalog, file, options, "Latin1_General_CI_AS_KS_WS", tree,
                        [&](const std::string& line) { lines += line + "\n"; }, content);
  const size_t rows_bound = (static_cast<size_t>(file.pageCount()) + 1) * kMaxRecordsPerPage;
  Require(content.documents.size() <= rows_bound && content.lists.size() <= rows_bound &&
              content.webs.size() <= rows_bound,
          "no more entries than the pages hold");
  std::ostringstream out;
  tree.Print(out);
  out << lines << content.webs.size() << ' ' << content.lists.size() << ' ' << content.documents.size();
  return out.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const SharePointBase& base = SharePointBaseDatabase();
  if (!base.loaded) Fail("the demo database cannot be read (set it beside the program)");
  if (size > base.pages.size() * kPageSize) return 0;
  static const ScratchFile scratch("sharepoint");
  const ExactBytes input(data, size);
  if (!scratch.Write(Overlay(base.bytes, base.pages, input.span()))) return 0;
  CDatabaseFile file;
  if (!file.Open(scratch.path(), nullptr)) return 0;

  ReadOptions options;
  options.decode = DecodeOptions(true);
  options.parse.showDeletedRecords = true;
  options.recoveryMode = size % 2 == 1 ? RecoveryMode::kAdvanced : RecoveryMode::kStandard;
  const std::string first = LoadContent(base, file, options);
  Require(IsValidUtf8(first), "the content's texts are valid UTF-8");
  Require(LoadContent(base, file, options) == first, "the SharePoint readers are deterministic");
  return 0;
}
