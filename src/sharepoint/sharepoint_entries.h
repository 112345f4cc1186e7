// The rows of a SharePoint content database that the document view needs:
// webs (sites), lists and documents (files and folders), each as the texts
// read from its table, and the tag that ties a document-tree item to them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/tree_control.h"

namespace quill {

// One row of Webs (or AllWebs).
struct WebEntry {
  std::string id;      // "Id", trimmed
  std::string siteId;  // "SiteId"
  std::string title;   // "Title"
  TreeItem siteTreeItem = kNoTreeItem;
};

// One row of AllLists.
struct ListEntry {
  std::string webId;   // "tp_WebId", trimmed
  std::string listId;  // "tp_ID"
  std::string title;   // "tp_Title"
  TreeItem siteTreeItem = kNoTreeItem;  // none when no web has its WebId
};

// The stored value of AllDocs.Type.
inline constexpr uint8_t kDocumentTypeFile = 0;
inline constexpr uint8_t kDocumentTypeFolder = 1;

// One kept row of AllDocs: a file, a folder, or another item of a web.
struct DocumentEntry {
  std::string id;  // "Id", trimmed
  std::string siteId;
  std::string listId;  // "NULL" for items outside every list
  uint8_t type = 0;    // kDocumentTypeFile, kDocumentTypeFolder, ...
  std::string dirName;   // folder path, parts separated by "/"
  std::string webId;
  std::string leafName;  // the item's own name
  int64_t size = 0;
  std::string timeCreated;       // as the value text of its column
  std::string timeLastModified;
};

// Kind of a tagged document-tree item.
inline constexpr char kTagKindNew = 'N';     // a tag not yet attached
inline constexpr char kTagKindFolder = 'D';  // a list or folder item
inline constexpr char kTagKindFile = 'F';    // a document file item

// The tag of a list, folder or document item of the document tree: its kind
// and the index of the DocumentEntry it was made from (0 for list items and
// for folders of the folder tree). The two roots and the web items carry
// none.
struct TreeItemTag {
  char kind = kTagKindNew;
  uint32_t documentIndex = 0;

  bool operator==(const TreeItemTag&) const = default;
};

// A tag travels as the 64-bit item data of its tree item: the kind
// character in bits 32..39, the document index in bits 0..31. Item data 0
// (the default of an item that never got any) therefore means "no tag",
// since every kind character is non-zero.
inline uint64_t EncodeTreeItemTag(const TreeItemTag& tag) {
  return (static_cast<uint64_t>(static_cast<uint8_t>(tag.kind)) << 32) | tag.documentIndex;
}

// The tag stored in an item's data; nothing for an item without one.
inline std::optional<TreeItemTag> DecodeTreeItemTag(uint64_t data) {
  const auto kind = static_cast<char>((data >> 32) & 0xFF);
  if (kind == 0) return std::nullopt;
  return TreeItemTag{kind, static_cast<uint32_t>(data & 0xFFFFFFFFu)};
}

}  // namespace quill
