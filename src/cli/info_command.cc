#include "cli/info_command.h"

#include <fmt/format.h>

#include <vector>

#include "records/boot_page.h"
#include "pages/database_file.h"
#include "pages/sql_version.h"

namespace quill {

namespace {

// Version names carry a leading blank for the sentences they end; a
// "key: value" line does not want it.
std::string TrimLeadingBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first);
}

void PrintLine(std::ostream& out, std::string_view key, std::string_view value) {
  out << key << ": " << value << '\n';
}

}  // namespace

int RunInfoCommand(const std::string& path, ApplicationState& state, ProgressSink& progress,
                   std::ostream& out) {
  CDatabaseFile file;
  if (!file.Open(path, &progress, state.abortRequested.token())) return kExitCannotScan;

  const Result<BootPageInfo> boot = ReadBootPage(file, state.collationChoice());
  std::vector<DataFileEntry> file_list;
  file.LocateSecondaryFiles(file_list, path, state.abortRequested.token());

  const std::string& name = file.databaseName();
  PrintLine(out, "database", name.empty() ? kRepairDatabaseName : name);
  PrintLine(out, "version", TrimLeadingBlanks(boot ? boot->versionName : kUnknownSqlVersion));
  PrintLine(out, "version number", boot ? std::to_string(boot->versionNumber) : "unknown");
  PrintLine(out, "collation", boot && boot->collationFound ? boot->collationName : kUnknownCollation);
  PrintLine(out, "collation id", boot ? std::to_string(boot->collationId) : "unknown");
  if (!boot) PrintLine(out, "boot page", "not read: " + boot.status().Text());
  PrintLine(out, "pages", std::to_string(file.pageCount()));
  PrintLine(out, "base offset", std::to_string(file.baseOffset()));
  PrintLine(out, "secondary files", std::to_string(file.secondaryFiles().size()));
  for (const auto& [file_id, entry] : file.secondaryFiles()) {
    PrintLine(out, fmt::format("secondary file {}", file_id),
              fmt::format("{} ({} pages)", entry.physicalPath, entry.pageCount));
  }
  for (const auto& [object_id, pages] : file.systemPages()) {
    PrintLine(out, fmt::format("system object {} pages", object_id), std::to_string(pages.size()));
  }
  size_t data_page_count = 0;
  for (const auto& [object_id, pages] : file.dataPages()) data_page_count += pages.size();
  size_t iam_page_count = 0;
  for (const auto& [object_id, pages] : file.iamPages()) iam_page_count += pages.size();
  PrintLine(out, "data pages", std::to_string(data_page_count));
  PrintLine(out, "iam pages", std::to_string(iam_page_count));
  return kExitOk;
}

}  // namespace quill
