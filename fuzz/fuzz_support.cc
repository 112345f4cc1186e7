#include "fuzz_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "pages/collation_table.h"

namespace quill::fuzz {

void Fail(const char* property) {
  std::fprintf(stderr, "fuzz property violated: %s\n", property);
  std::fflush(stderr);
  __builtin_trap();
}

ExactBytes::ExactBytes(const uint8_t* data, size_t size)
    : bytes_(new uint8_t[size == 0 ? 1 : size]), size_(size) {
  if (size != 0) std::memcpy(bytes_.get(), data, size);
}

PageBuffer PageFromBytes(std::span<const uint8_t> bytes) {
  auto buffer = PageBuffer::Allocate();
  if (!buffer) std::abort();
  const size_t n = std::min(bytes.size(), kPageSize);
  std::copy_n(bytes.begin(), n, buffer->page().begin());
  return std::move(*buffer);
}

namespace {

std::string ScratchFolder() {
  struct stat info {};
  if (stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) && access("/dev/shm", W_OK) == 0) {
    return "/dev/shm";
  }
  const char* tmp = std::getenv("TMPDIR");
  return tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
}

}  // namespace

ScratchFile::ScratchFile(std::string_view tag)
    : path_(ScratchFolder() + "/quillstone-fuzz-" + std::string(tag) + "-" + std::to_string(getpid()) +
            ".mdf") {}

ScratchFile::~ScratchFile() { unlink(path_.c_str()); }

bool ScratchFile::Write(std::span<const uint8_t> bytes) const {
  const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      close(fd);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return close(fd) == 0;
}

Digest& Digest::Add(std::span<const uint8_t> bytes) {
  Add(static_cast<uint64_t>(bytes.size()));
  for (uint8_t b : bytes) {
    hash_ ^= b;
    hash_ *= 1099511628211ULL;
  }
  return *this;
}

Digest& Digest::Add(std::string_view text) {
  return Add(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

Digest& Digest::Add(uint64_t value) {
  for (int i = 0; i < 8; ++i) {
    hash_ ^= static_cast<uint8_t>(value >> (8 * i));
    hash_ *= 1099511628211ULL;
  }
  return *this;
}

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<uint8_t>(text[i]);
    int more = 0;
    uint32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      more = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      more = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      more = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + static_cast<size_t>(more) >= text.size()) return false;
    for (int k = 1; k <= more; ++k) {
      const auto d = static_cast<uint8_t>(text[i + static_cast<size_t>(k)]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((more == 1 && cp < 0x80) || (more == 2 && cp < 0x800) || (more == 3 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += static_cast<size_t>(more) + 1;
  }
  return true;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string BesideProgram(const std::string& name, const std::string& fallback) {
  const std::string folder = ExecutableDirectory();
  if (!folder.empty()) {
    const std::string path = folder + name;
    if (access(path.c_str(), R_OK) == 0) return path;
  }
  return fallback;
}

}  // namespace quill::fuzz
