#include "bench_files.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "pages/read_only_file.h"

namespace quill::bench {

std::optional<std::string> MakeBenchFolder(const std::string& name) {
  const char* tmp = std::getenv("TMPDIR");
  std::string templ = std::string((tmp != nullptr && *tmp != '\0') ? tmp : "/tmp") + "/" + name + ".XXXXXX";
  if (::mkdtemp(templ.data()) == nullptr) return std::nullopt;
  return templ;
}

void WarmPageCache(const std::string& path) {
  auto file = ReadOnlyFile::Open(path);
  if (!file) return;
  std::vector<uint8_t> chunk(size_t{1} << 20);
  for (uint64_t offset = 0; offset < file->length(); offset += chunk.size()) {
    const uint64_t size = std::min<uint64_t>(chunk.size(), file->length() - offset);
    if (!file->ReadAt(offset, std::span<uint8_t>(chunk.data(), size))) return;
  }
}

}  // namespace quill::bench
