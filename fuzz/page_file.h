// A tiny data file around fuzzed pages, for readers that go through a file
// set: page 0 of zeros, page 1 a system table page (so that the file opens
// as a database), then the fuzzed pages from page 2 on. Records on page 2
// may point at page 2 itself (forwarding stubs, large-value links) and are
// read back through the file like any other page.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "fuzz_support.h"
#include "pages/database_file.h"

namespace quill::fuzz {

inline constexpr int32_t kFirstFuzzedPage = 2;

// The file's bytes: the two fixed pages, then `pages` (cut into 8192-byte
// pages; a last partial page is padded with zeros).
std::vector<uint8_t> PageFileBytes(std::span<const uint8_t> pages);

// Writes the file to `scratch` and opens it; false when it does not open.
bool OpenPageFile(const ScratchFile& scratch, std::span<const uint8_t> pages, CDatabaseFile& file);

}  // namespace quill::fuzz
