#include "catalog/module_text.h"

#include "catalog/object_values.h"
#include "catalog/resolve_object.h"

namespace quill {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Whether the value "0x..." decodes as UTF-16: some byte after the first is
// 0. Stops at the first pair that is not two hexadecimal digits, as the
// decoder does.
bool IsWideValue(const std::string& hex_text) {
  for (size_t i = 4; i + 1 < hex_text.size(); i += 2) {
    const int high = HexValue(hex_text[i]);
    const int low = HexValue(hex_text[i + 1]);
    if (high < 0 || low < 0) return false;
    if (high == 0 && low == 0) return true;
  }
  return false;
}

}  // namespace

std::string AssembleModuleText(const std::vector<ObjectValueEntry>& values,
                               const std::string& objectIdText) {
  std::string text;
  for (const ObjectValueEntry& entry : values) {
    if (entry.objectId != objectIdText || entry.value.empty()) continue;
    std::string piece = DecodeObjectValueText(entry.value);
    if (IsWideValue(entry.value) || piece != text) text += piece;
  }
  return text;
}

std::string ReadModuleText(SystemCatalog& catalog, const CDatabaseFile& file, const ReadOptions& options,
                           ModuleValueCache& cache, const std::string& objectIdText,
                           const OutputLine& output, ProgressSink& progress) {
  const bool isSql2000 = options.parse.isSql2000;
  catalog.current.tableColumns.clear();
  catalog.current.tableLegacyColumns.clear();
  if (isSql2000) {
    if (catalog.current.descriptors.empty()) catalog.current.descriptors = LegacyCommentColumns();
  } else {
    catalog.current.descriptors = ObjectValueColumns();
  }
  if (!cache.loaded) {
    cache.loaded = true;
    ReadObjectValueRows(catalog, file, options, cache.values, output, progress);
    if (cache.values.empty()) cache.loaded = false;
  }
  std::string text = AssembleModuleText(cache.values, objectIdText);
  catalog.current.descriptors.clear();
  return text;
}

}  // namespace quill
