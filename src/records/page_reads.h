// Typed page reads: a page of the file set built into the page kind that
// parses its records. They share the bounds rules of
// CDatabaseFile::ReadRawPage and return nothing when the page cannot be
// read; `options` are the run's options the page's records parse by.
#pragma once

#include <memory>

#include "pages/database_file.h"
#include "records/data_page.h"
#include "records/extent_allocation_map.h"
#include "records/record_parse_options.h"
#include "records/text_mix_page.h"

namespace quill {

// A data page of a table; page 0 of a file is refused.
std::unique_ptr<CDataPage> ReadDataPage(const CDatabaseFile& file, PageAddress address,
                                        const RecordParseOptions& options);
// As ReadDataPage, but page 0 is accepted (the catalog and SharePoint
// readers).
std::unique_ptr<CDataPage> ReadDataPageAny(const CDatabaseFile& file, PageAddress address,
                                           const RecordParseOptions& options);
// A large-object page, whatever its type byte, at the shift-corrected
// address (CDatabaseFile::ShiftCorrectedAddress).
std::unique_ptr<TextMixPage> ReadTextPage(const CDatabaseFile& file, PageAddress address,
                                          const RecordParseOptions& options);
// An index allocation map page.
std::unique_ptr<IamPage> ReadIamPage(const CDatabaseFile& file, PageAddress address,
                                     const RecordParseOptions& options);

}  // namespace quill
