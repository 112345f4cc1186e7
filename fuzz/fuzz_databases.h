// The databases the whole-database targets start from, shared with the
// seed writer so that seeds and targets agree on which pages are fuzzed.
//
// Catalog: a small fixture database of the newer layout (two tables with a
// key and a foreign key, a view); the fuzzer's bytes replace its system
// table pages, which lie one after another from page 16.
//
// SharePoint: the demo database (written by the build beside the programs);
// the fuzzer's bytes replace the data pages of its content tables AllSites,
// AllWebs, AllLists and AllDocs, in that order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "catalog/system_catalog.h"

namespace quill::fuzz {

struct CatalogBase {
  std::vector<uint8_t> bytes;
  size_t firstPage = 0;  // the system table pages: firstPage .. endPage - 1
  size_t endPage = 0;
};
const CatalogBase& CatalogBaseDatabase();

struct SharePointBase {
  std::vector<uint8_t> bytes;
  std::vector<int32_t> pages;     // page indexes replaced by the input, in order
  SystemCatalog catalog;          // loaded from the undamaged file
  bool loaded = false;
};
// Loaded once from `demo_path` (empty: the demo database beside the
// program); `loaded` is false when it cannot be read.
const SharePointBase& SharePointBaseDatabase(const std::string& demo_path = {});

// The content tables whose pages the SharePoint target replaces.
inline const char* const kContentTables[] = {"AllSites", "AllWebs", "AllLists", "AllDocs"};

// `base` with consecutive 8192-byte pieces of `input` written over the
// pages `pages` (a last partial piece over the start of its page).
std::vector<uint8_t> Overlay(const std::vector<uint8_t>& base, std::span<const int32_t> pages,
                             std::span<const uint8_t> input);

}  // namespace quill::fuzz
