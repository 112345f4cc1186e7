// The data file is only ever read. Each real file is copied into a fresh
// writable folder (so that a write or a file created beside it would
// succeed and show), given a fixed modification time with a nanosecond
// part, and then read: by the whole scan in process for every file, and by
// every command of the command-line tool for a few. Afterwards the file's
// SHA-256, size, modification and change times, and the listing of its
// folder (names, sizes, times) must be as before. The real file itself is
// checked the same way. Skips when the real folder is absent.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

#include "export/sha256_digest.h"
#include "scan/application_state.h"
#include "scan/scan_completion.h"
#include "scan/scan_driver.h"
#include "support/real_data.h"
#include "support/run_cli.h"
#include "support/scan_ui_recorder.h"
#include "support/temp_dir.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

int64_t Nanoseconds(const timespec& time) { return int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec; }

std::string Sha256Of(const std::string& path) {
  Sha256Digest digest;
  std::ifstream in(path, std::ios::binary);
  std::array<char, 1 << 16> buffer;
  while (in) {
    in.read(buffer.data(), buffer.size());
    digest.Update({reinterpret_cast<const uint8_t*>(buffer.data()), static_cast<size_t>(in.gcount())});
  }
  return in.bad() ? std::string("unreadable") : digest.FinishHex();
}

// What reading must not change: the bytes, size and times of the file, and
// every entry of its folder.
struct FileState {
  std::string sha256;
  int64_t size = -1;
  int64_t modified = -1;  // ns
  int64_t changed = -1;   // ns (status change: any write or chmod moves it)
  std::map<std::string, std::tuple<int64_t, int64_t, int64_t>> folder;  // name -> size, mtime, ctime

  bool operator==(const FileState&) const = default;
};

std::ostream& operator<<(std::ostream& out, const FileState& state) {
  out << state.sha256 << " size " << state.size << " mtime " << state.modified << " ctime " << state.changed
      << " folder:";
  for (const auto& [name, entry] : state.folder) {
    out << ' ' << name << '(' << std::get<0>(entry) << ',' << std::get<1>(entry) << ',' << std::get<2>(entry) << ')';
  }
  return out;
}

FileState StateOf(const std::string& path) {
  FileState state;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return state;
  state.sha256 = Sha256Of(path);
  state.size = info.st_size;
  state.modified = Nanoseconds(info.st_mtim);
  state.changed = Nanoseconds(info.st_ctim);
  for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path())) {
    struct stat entry_info {};
    if (::lstat(entry.path().c_str(), &entry_info) != 0) continue;
    state.folder[entry.path().filename().string()] = {entry_info.st_size, Nanoseconds(entry_info.st_mtim),
                                                      Nanoseconds(entry_info.st_ctim)};
  }
  return state;
}

// A writable copy of `source` in `dir`/data/, its modification time set to
// a fixed moment with a nanosecond part.
std::string WritableCopy(const std::string& source, const testing::TempDir& dir) {
  const fs::path folder = dir.File("data");
  fs::create_directory(folder);
  const fs::path copy = folder / fs::path(source).filename();
  fs::copy_file(source, copy);
  fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
  const timespec times[2] = {{1'000'000'000, 111'111'111}, {1'000'000'000, 123'456'789}};
  EXPECT_EQ(::utimensat(AT_FDCWD, copy.c_str(), times, 0), 0);
  return copy.string();
}

// Runs the whole scan of `path` in process, as the application does.
void ScanInProcess(const std::string& path, RecoveryMode mode, bool deleted) {
  ApplicationState state;
  state.recoveryMode = mode;
  state.showDeletedRecords = deleted;
  state.showAdvancedDeletedRecords = deleted;
  testing::ScanUiRecorder ui;
  RunLog log;
  ScanDriver driver(state, ui, log, [&](ScanContext& context) { return CompleteScan(context, state, ui, log); });
  ASSERT_TRUE(driver.StartScan(path));
  driver.Wait();
  EXPECT_EQ(driver.lastResult(), 1);
}

class RealInputUntouchedByScan : public testing::RealFileTest {};

TEST_P(RealInputUntouchedByScan, FileAndFolderUnchanged) {
  testing::TempDir dir;
  const std::string copy = WritableCopy(path(), dir);
  const FileState original_before = StateOf(path());
  const FileState before = StateOf(copy);
  ASSERT_EQ(before.modified % 1'000'000'000, 123'456'789);
  ASSERT_EQ(before.sha256, original_before.sha256);

  ScanInProcess(copy, RecoveryMode::kStandard, false);
  ScanInProcess(copy, RecoveryMode::kAdvanced, true);
  ScanInProcess(path(), RecoveryMode::kStandard, false);

  EXPECT_EQ(StateOf(copy), before);
  EXPECT_EQ(StateOf(path()), original_before);
}

QUILL_REAL_FILE_TESTS(RealInputUntouchedByScan, testing::RealFiles());

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// The first object of each wanted type in `quillstone objects` output
// (id, type code, name, parent id; tab-separated).
std::string FirstObjectOfType(const std::string& objects, std::initializer_list<std::string_view> types) {
  std::istringstream lines(objects);
  for (std::string line; std::getline(lines, line);) {
    const size_t first = line.find('\t');
    const size_t second = line.find('\t', first + 1);
    const size_t third = line.find('\t', second + 1);
    if (third == std::string::npos) continue;
    const std::string type = line.substr(first + 1, second - first - 1);
    if (std::find(types.begin(), types.end(), type) != types.end()) return line.substr(second + 1, third - second - 1);
  }
  return {};
}

class RealInputUntouchedByCommands : public testing::RealFileTest {};

// Every command of the tool on one copy; output goes to folders elsewhere.
TEST_P(RealInputUntouchedByCommands, FileAndFolderUnchanged) {
  testing::TempDir dir;
  testing::TempDir out_dir;
  const std::string copy = WritableCopy(path(), dir);
  const std::string file = Quoted(copy);
  const FileState original_before = StateOf(path());
  const FileState before = StateOf(copy);
  const int64_t pages = before.size / 8192;

  std::string out;
  std::string err;
  ASSERT_EQ(testing::RunCli("objects " + file, out, err), 0) << err;
  const std::string table = FirstObjectOfType(out, {"U "});
  const std::string module = FirstObjectOfType(out, {"P ", "V ", "FN", "TR"});
  ASSERT_FALSE(table.empty());

  struct Command {
    std::string args;
    std::vector<int> exits;  // the exit codes that show the command ran
  };
  std::vector<Command> commands = {
      {"info " + file, {0}},
      {"check " + file, {0, 3}},
      {"page " + file + " 1:0", {0}},
      {"page " + file + " 1:1", {0}},
      {"page " + file + " 1:9", {0}},
      {"page " + file + " 1:" + std::to_string(pages / 2) + " --deleted --advanced-deleted", {0}},
      {"page " + file + " 1:" + std::to_string(pages - 1), {0}},
      {"columns " + file + " " + Quoted(table), {0}},
      {"rows " + file + " " + Quoted(table), {0}},
      {"rows " + file + " " + Quoted(table) + " --format json --mode advanced --deleted --advanced-deleted", {0}},
      {"scan " + file, {0}},
      {"scan " + file + " --mode advanced --deleted --advanced-deleted --log-folder " + out_dir.path(), {0}},
      {"snapshot " + file + " " + out_dir.File("saved"), {0}},
      {"scan --snapshot " + out_dir.File("saved.VLMSNP"), {0}},
      // Not content databases: both end with "not a SharePoint content
      // database" after reading the catalog.
      {"documents " + file, {0, 1}},
      {"documents " + file + " --extract " + out_dir.File("documents") + " --deleted --versions", {0, 1}},
      {"export " + file + " --out " + out_dir.File("csv"), {0}},
      {"export " + file + " --out " + out_dir.File("sqlite") + " --format sqlite --deleted --mode advanced", {0}},
      {"export " + file + " --out " + out_dir.File("sql") + " --format sql --documents", {0}},
  };
  if (!module.empty()) commands.push_back({"module " + file + " " + Quoted(module), {0}});
  for (const Command& command : commands) {
    const int exit_code = testing::RunCli(command.args, out, err);
    EXPECT_TRUE(std::find(command.exits.begin(), command.exits.end(), exit_code) != command.exits.end())
        << command.args << " exited " << exit_code << ": " << err;
  }
  EXPECT_TRUE(fs::exists(out_dir.File("saved.VLMSNP")));

  EXPECT_EQ(StateOf(copy), before);
  EXPECT_EQ(StateOf(path()), original_before);
}

// A file of each catalog layout: SQL Server 2000 with torn-page bits, 2008
// with checksums, modules and a trigger, 2012 with large values.
QUILL_REAL_FILE_TESTS(RealInputUntouchedByCommands,
                      testing::RealFiles({"northwind-sql2000", "pubs-2008-script", "mvcmusicstore-2012"}));

// The demo content database through the commands that write its documents
// out (the real files hold none).
TEST(InputUntouched, DocumentExtractionLeavesTheContentDatabaseAlone) {
  testing::TempDir dir;
  testing::TempDir out_dir;
  const std::string copy = WritableCopy(QUILLSTONE_DEMO_DATABASE, dir);
  const FileState before = StateOf(copy);
  std::string out;
  std::string err;
  EXPECT_EQ(testing::RunCli("documents " + copy + " --extract " + out_dir.File("documents") + " --deleted --versions",
                            out, err),
            0)
      << err;
  EXPECT_EQ(testing::RunCli("export " + copy + " --out " + out_dir.File("export") + " --documents --deleted", out, err),
            0)
      << err;
  EXPECT_FALSE(fs::is_empty(out_dir.File("documents")));
  EXPECT_EQ(StateOf(copy), before);
}

}  // namespace
}  // namespace quill
