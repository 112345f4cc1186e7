#include "catalog/selected_object_text.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "catalog/key_scripts.h"
#include "catalog/resolve_object.h"

namespace quill {

namespace {

constexpr char kPrimaryKeyNode[] = "PrimaryKey";
constexpr char kUniqueNode[] = "Unique";
constexpr char kConstraintNode[] = "Constraint";

// A summary is three descriptors: object id, type code, name.
constexpr size_t kSummaryId = 0;
constexpr size_t kSummaryTypeCode = 1;

bool HasDefinitionText(std::string_view code) {
  static constexpr std::array<std::string_view, 12> kCodes = {
      "F ", "P ", "D ", "C ", "PK", "FN", "TR", "IF", "V ", "UQ", "TT", "TF"};
  return std::find(kCodes.begin(), kCodes.end(), code) != kCodes.end();
}

}  // namespace

std::optional<std::string> SelectedObjectText(const CatalogContext& context,
                                              ModuleValueCache& moduleValues,
                                              const SelectedTreeItem& item,
                                              const OutputLine& output, ProgressSink& progress) {
  SystemCatalog& catalog = context.catalog;
  if (item.parentText == kPrimaryKeyNode) {
    return PrimaryKeyScript(catalog, context.isSql2000(), item.text, item.itemData);
  }
  if (item.parentText == kUniqueNode) {
    return UniqueConstraintScript(catalog, context.isSql2000(), item.text, item.itemData);
  }

  const std::vector<ColumnDescriptor> summary = ResolveObject(
      catalog, context.file, context.isSql2000(), item.text, "P ", context.objectValues, context.stop());
  catalog.current.descriptors = summary;
  if (summary.size() <= kSummaryTypeCode || !HasDefinitionText(summary[kSummaryTypeCode].constantText)) {
    return std::nullopt;
  }

  std::string object_id;
  if (context.isSql2000()) {
    // syscomments is read with its own columns when the catalog has them.
    catalog.current.descriptors = ResolveObject(catalog, context.file, true, "syscomments", "S ",
                                                context.objectValues, context.stop());
    for (const ObjectRow& object : catalog.objects) {
      if (object.name == item.text) {
        object_id = std::to_string(object.objectId);
        break;
      }
    }
  } else {
    object_id = summary[kSummaryId].constantText;
  }
  std::string definition = ReadModuleText(catalog, context.file, context.options, moduleValues,
                                          object_id, output, progress);
  if (item.parentText == kConstraintNode) {
    return CheckConstraintScript(item.grandparentText, item.text, definition);
  }
  return definition;
}

}  // namespace quill
