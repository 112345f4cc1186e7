#include "records/page_reads.h"

namespace quill {

std::unique_ptr<CDataPage> ReadDataPage(const CDatabaseFile& file, PageAddress address,
                                        const RecordParseOptions& options) {
  auto buffer = file.ReadRawPage(address);
  if (!buffer) return nullptr;
  return std::make_unique<CDataPage>(std::move(*buffer), &file, options);
}

std::unique_ptr<CDataPage> ReadDataPageAny(const CDatabaseFile& file, PageAddress address,
                                           const RecordParseOptions& options) {
  auto buffer = file.ReadRawPageAny(address);
  if (!buffer) return nullptr;
  return std::make_unique<CDataPage>(std::move(*buffer), &file, options);
}

std::unique_ptr<TextMixPage> ReadTextPage(const CDatabaseFile& file, PageAddress address,
                                          const RecordParseOptions& options) {
  const std::optional<PageAddress> actual = file.ShiftCorrectedAddress(address);
  if (!actual) return nullptr;
  auto buffer = file.ReadRawPage(*actual);
  if (!buffer) return nullptr;
  return std::make_unique<TextMixPage>(std::move(*buffer), &file, options);
}

std::unique_ptr<IamPage> ReadIamPage(const CDatabaseFile& file, PageAddress address,
                                     const RecordParseOptions& options) {
  auto buffer = file.ReadRawPage(address);
  if (!buffer) return nullptr;
  return std::make_unique<IamPage>(std::move(*buffer), &file, options);
}

}  // namespace quill
