// Path rules for finding the files of a database. Paths stored in the file
// catalog come from Windows and use backslashes; paths on this system use
// slashes. Both count as separators here.
#pragma once

#include <string>
#include <string_view>

namespace quill {

// Replaces every doubled backslash with a single one.
std::string NormaliseStoredPath(std::string_view path);

// Everything up to and including the last separator; empty when there is
// none.
std::string DirectoryOf(std::string_view path);

// Everything after the last separator.
std::string FileNameOf(std::string_view path);

// Where a secondary file listed with `stored_path` is looked for: in
// `directory` (the primary file's folder, ending in a separator or empty),
// under the stored file name with its extension replaced by ".ndf". The
// stored folder and extension are ignored: "D:\data\Content_2.ndf" with the
// primary in "/copy/" gives "/copy/Content_2.ndf", "Log.ldf" gives
// "/copy/Log.ndf". A name without a stem (".ndf") is kept whole.
std::string SecondaryFilePathBeside(std::string_view directory, std::string_view stored_path);

// True when the name ends in ".ndf", in any letter case.
bool HasSecondaryFileExtension(std::string_view name);

}  // namespace quill
