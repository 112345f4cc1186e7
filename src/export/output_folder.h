// Output folders of an export: a database's folder is named after the
// database, made safe as a single file-name component.
#pragma once

#include <string>

namespace quill {

// A folder name from a database name: no path separators, no control
// characters or characters Windows refuses, not "." or "..".
std::string SafeFolderName(std::string name);

// A new, empty folder for one database's export under `parent` (which
// exists): SafeFolderName(database_name), numbered " (2)", " (3)", ... when
// a folder or file of that name is there already, so that an earlier
// export is never written into. The empty text, with `error` set, when no
// folder could be made.
std::string ClaimNewFolder(const std::string& parent, const std::string& database_name, std::string& error);

}  // namespace quill
