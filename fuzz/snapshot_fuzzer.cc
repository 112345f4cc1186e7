// Snapshot files. Checked: a snapshot that decodes is written back by the
// writer to bytes that decode to the same header and maps, and to the very
// input when its path is plain UTF-16 (no surrogate units, which the UTF-8
// form may not keep); a failure says why; decoding is the same twice.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "scan/snapshot_reader.h"
#include "scan/snapshot_writer.h"

namespace {

bool SameContents(const quill::SnapshotContents& a, const quill::SnapshotContents& b) {
  return a.header == b.header && a.maps.systemPages == b.maps.systemPages && a.maps.dataPages == b.maps.dataPages &&
         a.maps.iamPages == b.maps.iamPages;
}

bool PathHasSurrogates(std::span<const uint8_t> bytes) {
  if (bytes.size() < 4) return false;
  const size_t length = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<size_t>(bytes[3]) << 24;
  for (size_t i = 4; i + 1 < 4 + length && i + 1 < bytes.size(); i += 2) {
    const unsigned unit = bytes[i] | bytes[i + 1] << 8;
    if (unit >= 0xD800 && unit <= 0xDFFF) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quill;
  using namespace quill::fuzz;
  const ExactBytes input(data, size);
  const SnapshotReadResult first = DecodeSnapshot(input.span());
  const SnapshotReadResult second = DecodeSnapshot(input.span());
  Require(first.status.ok() == second.status.ok() && first.status.detail() == second.status.detail(),
          "snapshot decoding is deterministic");
  if (!first.status.ok()) {
    const std::string detail = first.status.detail();
    Require(!detail.empty() && detail.size() < 1024, "a failure says briefly why");
    Require(first.contents.maps.systemPages.empty() && first.contents.maps.dataPages.empty() &&
                first.contents.maps.iamPages.empty(),
            "a failed snapshot gives no maps");
    return 0;
  }
  Require(SameContents(first.contents, second.contents), "snapshot contents are deterministic");
  const SnapshotContents& c = first.contents;
  const std::vector<uint8_t> written =
      EncodeSnapshot(c.header, c.maps.systemPages, c.maps.dataPages, c.maps.iamPages);
  const SnapshotReadResult reread = DecodeSnapshot(written);
  Require(reread.status.ok(), "a written snapshot decodes");
  Require(SameContents(c, reread.contents), "a written snapshot decodes to what was written");
  if (!PathHasSurrogates(input.span())) {
    Require(written.size() == size && std::equal(written.begin(), written.end(), data),
            "a snapshot is written back byte for byte");
  }
  return 0;
}
