// The SharePoint content of a database: its webs, lists and documents read
// from the content tables Webs (or AllWebs), AllLists and AllDocs, and the
// two trees the document view shows: the site tree (webs, their lists, the
// lists' folders and documents) and the folder tree (the folder paths of
// all documents).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "catalog/system_catalog.h"
#include "common/tree_control.h"
#include "pages/database_file.h"
#include "records/boot_page.h"
#include "sharepoint/sharepoint_entries.h"
#include "values/read_options.h"

namespace quill {

inline constexpr char kSiteTreeRootText[] = "SharePointACTUAL";
inline constexpr char kFolderTreeRootText[] = "SharePointData";
// Background of the document tree, 0xRRGGBB: RGB(176, 196, 222).
inline constexpr uint32_t kDocumentTreeBackground = 0xB0C4DE;

// The model of one scan. Tree items refer to documents by their index in
// `documents`, so that list is only ever appended to while the trees exist.
struct SharePointContent {
  std::vector<WebEntry> webs;
  std::vector<ListEntry> lists;
  std::vector<DocumentEntry> documents;
  TreeItem siteRoot = kNoTreeItem;    // "SharePointACTUAL"
  TreeItem folderRoot = kNoTreeItem;  // "SharePointData"

  void Clear() { *this = SharePointContent{}; }
};

// Receives one line for the output pane and the log.
using OutputLineSink = std::function<void(const std::string&)>;

// Reads the content tables of the loaded catalog into `content` (cleared
// first) and builds both trees in `tree`, in this order: the webs and the
// site tree root with one item per web; the lists, each under the item of
// the first web whose Id equals its WebId; the collation line ("Collation
// Type: " and `collationName`, the database collation found for the scan,
// or "Unknown Collation" when it is empty) through `outputLine`; the documents,
// placed in the site tree when their ListId is longer than 5 characters;
// the folder tree root and every document's folder path with its file
// leaf. Every row of each table is taken in either recovery mode. A missing
// table adds nothing; a missing column leaves its texts empty. The tables
// are read with `options`; a stop request ends the work at the next page or
// row and leaves the model as far as it was built.
void LoadSharePointContent(SystemCatalog& catalog, const CDatabaseFile& file,
                           const ReadOptions& options, const std::string& collationName,
                           TreeControl& tree, const OutputLineSink& outputLine,
                           SharePointContent& content);

// The text with white space (blank, tab, CR, LF, VT, FF) removed at both ends.
std::string TrimWhiteSpace(const std::string& text);

// A cell read as a decimal integer the way the content readers read Type
// and Size: optional white space and sign, then the leading digits; 0 when
// there are none or the number does not fit.
int64_t ReadDecimalCell(const std::string& text);

}  // namespace quill
