// Runs a fuzz target's entry point over saved inputs without libFuzzer:
// each argument is a file, or a folder whose files are run in name order.
// Fails when an argument cannot be read or when no input was run at all;
// a broken property traps inside the target.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {

bool RunFile(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return true;  // skips folders inside folders
  const std::vector<uint8_t> bytes = quill::fuzz::ReadWholeFile(path.string());
  if (bytes.empty() && std::filesystem::file_size(path, error) != 0) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return false;
  }
  std::fprintf(stderr, "running %s (%zu bytes)\n", path.c_str(), bytes.size());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  size_t runs = 0;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path arg(argv[i]);
    std::error_code error;
    if (std::filesystem::is_directory(arg, error)) {
      std::vector<std::filesystem::path> files;
      for (const auto& entry : std::filesystem::directory_iterator(arg, error)) files.push_back(entry.path());
      std::sort(files.begin(), files.end());
      for (const auto& file : files) {
        if (!RunFile(file)) ok = false;
        else if (std::filesystem::is_regular_file(file, error)) ++runs;
      }
    } else if (std::filesystem::is_regular_file(arg, error)) {
      if (!RunFile(arg)) ok = false;
      else ++runs;
    } else {
      std::fprintf(stderr, "no such input: %s\n", argv[i]);
      ok = false;
    }
  }
  std::fprintf(stderr, "%zu inputs run\n", runs);
  if (runs == 0) {
    std::fprintf(stderr, "no input was run\n");
    return 1;
  }
  return ok ? 0 : 1;
}
