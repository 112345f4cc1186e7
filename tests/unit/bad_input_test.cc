// Files that are not data files, or damaged ones: each gives the expected
// message or a usable file set, never a crash, and is left unchanged.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <random>

#include "database_builder.h"
#include "pages/database_file.h"
#include "support/progress_recorder.h"
#include "support/temp_dir.h"

namespace quill {
namespace {

using fixture::BuildPrimaryFile;
using testing::ProgressRecorder;
using testing::TempDir;

std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  return bytes;
}

// Ends with the IAM page of table 1001.
std::vector<uint8_t> ValidFile() {
  fixture::PrimaryFileLayout file_layout;
  file_layout.pageCount = 1;
  file_layout.userTables = {{1001, 2}};
  return BuildPrimaryFile(file_layout).Bytes();
}

struct FileState {
  bool exists = false;
  std::vector<uint8_t> bytes;
  timespec mtime{};
};

FileState Capture(const std::string& path) {
  FileState state;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return state;
  state.exists = true;
  state.bytes = testing::ReadBytes(path);
  state.mtime = st.st_mtim;
  return state;
}

TEST(BadInput, EachInputGivesItsMessageAndStaysUnchanged) {
  struct Case {
    const char* name;
    // Creates the input at the path; nothing for a missing file.
    std::function<void(const std::string&)> make;
    const char* error;  // nullptr: the file opens
  } cases[] = {
      {"missing file", [](const std::string&) {}, kFileCannotBeOpen},
      {"directory", [](const std::string& p) { std::filesystem::create_directory(p); },
       kFileCannotBeOpen},
      {"0 bytes", [](const std::string& p) { testing::WriteBytes(p, {}); }, kNotValidMdf},
      {"8191 bytes", [](const std::string& p) { testing::WriteBytes(p, RandomBytes(8191, 1)); },
       kNotValidMdf},
      {"8192 zero bytes", [](const std::string& p) { testing::WriteBytes(p, std::vector<uint8_t>(8192)); },
       kNotValidMdf},
      {"random bytes", [](const std::string& p) { testing::WriteBytes(p, RandomBytes(64 * 8192, 2)); },
       kNotValidMdf},
      {"zeros", [](const std::string& p) { testing::WriteBytes(p, std::vector<uint8_t>(64 * 8192)); },
       kNotValidMdf},
      {"random length", [](const std::string& p) { testing::WriteBytes(p, RandomBytes(100000, 3)); },
       kNotValidMdf},
      {"valid plus a partial page",
       [](const std::string& p) {
         auto bytes = ValidFile();
         bytes.resize(bytes.size() + 1000, 0xEE);
         testing::WriteBytes(p, bytes);
       },
       nullptr},
      {"valid with a truncated last page",
       [](const std::string& p) {
         auto bytes = ValidFile();
         bytes.resize(bytes.size() - 5000);
         testing::WriteBytes(p, bytes);
       },
       nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.File("input.mdf");
    c.make(path);
    const FileState before = Capture(path);

    ProgressRecorder progress;
    CDatabaseFile file;
    const bool opened = file.Open(path, &progress);

    EXPECT_EQ(opened, c.error == nullptr);
    EXPECT_EQ(file.isOpen(), opened);
    if (c.error != nullptr) {
      EXPECT_EQ(progress.Errors(), std::vector<std::string>{c.error});
    } else {
      EXPECT_TRUE(progress.Errors().empty());
      EXPECT_EQ(file.baseOffset(), 0);
    }
    const FileState after = Capture(path);
    EXPECT_EQ(after.exists, before.exists);
    EXPECT_EQ(after.bytes, before.bytes);
    EXPECT_EQ(after.mtime.tv_sec, before.mtime.tv_sec);
    EXPECT_EQ(after.mtime.tv_nsec, before.mtime.tv_nsec);
  }
}

TEST(BadInput, UnreadableFileCannotBeOpened) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads files without read permission";
  TempDir dir;
  const std::string path = dir.File("locked.mdf");
  ASSERT_TRUE(testing::WriteBytes(path, ValidFile()));
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  ProgressRecorder progress;
  CDatabaseFile file;
  EXPECT_FALSE(file.Open(path, &progress));
  EXPECT_EQ(progress.Errors(), std::vector<std::string>{kFileCannotBeOpen});
}

TEST(BadInput, SinglePageFilePassesTheLengthCheck) {
  TempDir dir;
  const std::string path = dir.File("one.mdf");
  // One page of a system table: page count 1, mapped.
  auto bytes = BuildPrimaryFile({}).Bytes();
  std::vector<uint8_t> page(bytes.begin() + 16 * 8192, bytes.begin() + 17 * 8192);
  ASSERT_TRUE(testing::WriteBytes(path, page));
  CDatabaseFile file;
  ASSERT_TRUE(file.Open(path, nullptr));
  EXPECT_EQ(file.pageCount(), 1);
  EXPECT_EQ(file.fileLength(), 8192u);
}

TEST(BadInput, TruncatedLastPageIsStillMappedAndReadsWithZeros) {
  TempDir dir;
  const std::string path = dir.File("cut.mdf");
  auto bytes = ValidFile();
  const int32_t last_index = static_cast<int32_t>(bytes.size() / 8192) - 1;
  bytes.resize(bytes.size() - 5000);
  ASSERT_TRUE(testing::WriteBytes(path, bytes));

  CDatabaseFile file;
  ASSERT_TRUE(file.Open(path, nullptr));
  EXPECT_EQ(file.pageCount(), last_index);
  // The builder ends the file with the table's IAM page; its header survived.
  ASSERT_TRUE(file.iamPages().contains(1001));
  EXPECT_EQ(file.iamPages().at(1001).back().pageIndex, last_index);
  auto page = file.ReadRawPage({1, last_index});
  ASSERT_TRUE(page);
  auto view = page->page();
  EXPECT_TRUE(std::all_of(view.begin() + (8192 - 5000), view.end(), [](uint8_t b) { return b == 0; }));
}

}  // namespace
}  // namespace quill
