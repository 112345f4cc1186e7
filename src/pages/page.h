// CPage: one page read from a data file, owning its bytes and its decoded
// header. The page kinds of the readers derive from it in the record layer
// (records/), which builds them from the file set's raw reads:
//
//   CPage
//     RecordPage                 slot array and records
//       PrimaryRecordPage        parsed primary records
//         CBootPage              database identity (boot page)
//         CDataPage              data page of a table
//         ExtentAllocationMap    allocation bitmap pages
//           IamPage              index allocation map
//       TextMixPage              text and image fragments
#pragma once

#include <span>

#include "pages/page_buffer.h"
#include "pages/page_header.h"

namespace quill {

class CDatabaseFile;

class CPage {
 public:
  // Decodes the header from the buffer (restoring torn-page bits in the
  // buffer itself), remembers the file set and takes the buffer. `file` may
  // be null for a page that did not come from a file set.
  CPage(PageBuffer buffer, const CDatabaseFile* file)
      : header_(CPage_Header::DecodeAndRestore(buffer.page())),
        file_(file),
        data_(std::move(buffer)) {}
  virtual ~CPage() = default;

  CPage(const CPage&) = delete;
  CPage& operator=(const CPage&) = delete;

  const CPage_Header& header() const { return header_; }
  // The file set the page came from; later reads of overflow and large
  // object pages go through it. Not owned.
  const CDatabaseFile* file() const { return file_; }
  // The page bytes (torn-page bits restored); valid as long as the page.
  std::span<const uint8_t, kPageSize> data() const { return data_.page(); }
  // The page bytes plus the zero guard byte.
  std::span<const uint8_t> dataWithGuard() const { return data_.withGuard(); }

 private:
  CPage_Header header_;
  const CDatabaseFile* file_;
  PageBuffer data_;
};

}  // namespace quill
