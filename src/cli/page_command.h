// `quillstone page FILE FILEID:PAGEID`: prints one page the way the record
// layer sees it: every header field, the slot array, and each slot's record
// cut into its parts, for looking at a damaged page by hand.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "scan/application_state.h"
#include "common/progress_sink.h"
#include "pages/page_address.h"

namespace quill {

// The result of reading a FILEID:PAGEID argument: the address, or why the
// text is not one.
struct PageAddressParse {
  std::optional<PageAddress> address;
  std::string error;
};

// Reads "FILEID:PAGEID": two decimal numbers (digits only, no sign), a file
// id of 1 to 65535 and a page id of 0 to 2147483647.
PageAddressParse ParsePageAddress(std::string_view text);

// Opens `path` (and, for a file id above 1, the *.ndf files beside it),
// reads the page at `address` with the record options of `state` (the
// deleted-record switches) and prints its header, slot array and records.
// Failures (file not opened, page not readable) are reported through
// `progress` (ScanError). Returns an exit code.
int RunPageCommand(const std::string& path, PageAddress address, ApplicationState& state,
                   ProgressSink& progress, std::ostream& out);

}  // namespace quill
