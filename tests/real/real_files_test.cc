// Identity of every real data file in the shared test data: database name
// and version as listed in the folder's README, collation as stored in the
// boot page. Skips when the folder is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "records/boot_page.h"
#include "pages/database_file.h"
#include "support/real_data.h"
#include "scan/application_state.h"

namespace quill {
namespace {

struct ListedFile {
  std::string relativePath;  // folder/file
  uint64_t size = 0;
  uint16_t versionNumber = 0;
  std::string databaseName;
};

std::string Trim(const std::string& s) {
  const size_t first = s.find_first_not_of(' ');
  const size_t last = s.find_last_not_of(' ');
  return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
}

// Rows of the README table: | folder/file | size | version (created) | name | ...
std::vector<ListedFile> ReadListedFiles(const std::string& readme_path) {
  std::vector<ListedFile> files;
  std::ifstream in(readme_path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("| ", 0) != 0) continue;
    std::vector<std::string> cells;
    std::stringstream row(line.substr(1));
    std::string cell;
    while (std::getline(row, cell, '|')) cells.push_back(Trim(cell));
    if (cells.size() < 4 || cells[0].find('/') == std::string::npos) continue;
    if (cells[1].empty() || !std::isdigit(static_cast<unsigned char>(cells[1][0]))) continue;  // header
    ListedFile file;
    file.relativePath = cells[0];
    file.size = std::stoull(cells[1]);
    file.versionNumber = static_cast<uint16_t>(std::stoul(cells[2]));
    file.databaseName = cells[3];
    files.push_back(file);
  }
  return files;
}

// Collations of the boot pages, read from the bytes independently of the
// reader; every other file uses SQL_Latin1_General_CP1_CI_AS.
const std::map<std::string, std::string> kCollations = {
    {"aspnetdb-2005", "Modern_Spanish_CI_AS"},
    {"bookshop-2008r2", "Latin1_General_CI_AS"},
    {"helpdesk-2012", "Latin1_General_CI_AS"},
    {"newsengine-2008", "Romanian_CI_AS"},
    {"pubs-2008-script", "Latin1_General_CI_AS"},
    {"renthouse-2005", "Chinese_Taiwan_Stroke_CI_AS"},
    {"webshop-2008", "Latin1_General_CI_AS"},
};

const std::string kRoot = QUILLSTONE_REAL_DATA_DIR;

TEST(RealFiles, TheReadmeListsEveryFolderAndEachHoldsItsFile) {
  if (!std::filesystem::exists(kRoot + "/README.md")) GTEST_SKIP() << "no real data at " << kRoot;
  EXPECT_EQ(ReadListedFiles(kRoot + "/README.md").size(), 33u);
  EXPECT_EQ(testing::RealDataFiles(kRoot).size(), 33u);
  EXPECT_EQ(testing::RealFiles().size(), 33u);
}

class RealFileIdentity : public testing::RealFileTest {};

TEST_P(RealFileIdentity, IdentityMatchesTheListedDatabaseVersionAndCollation) {
  const std::vector<ListedFile> listed = ReadListedFiles(kRoot + "/README.md");
  const auto listing = std::find_if(listed.begin(), listed.end(), [this](const ListedFile& file) {
    return file.relativePath.starts_with(name() + "/");
  });
  ASSERT_NE(listing, listed.end()) << "not listed in the README";
  const ListedFile& expected = *listing;
  const CollationTable collations = LoadCollationTable(QUILLSTONE_COLLATION_TABLE);
  ApplicationState state;
  state.collationTable = collations;
  CDatabaseFile file;
  ASSERT_TRUE(file.Open(kRoot + "/" + expected.relativePath, nullptr));
  EXPECT_EQ(file.fileLength(), expected.size);
  EXPECT_EQ(file.baseOffset(), 0);
  EXPECT_EQ(file.pageCount(), static_cast<int64_t>(expected.size / 8192));

  auto boot = ReadBootPage(file, state.collationChoice());
  ASSERT_TRUE(boot);
  EXPECT_EQ(boot->pageIndex, 9);
  EXPECT_EQ(boot->versionNumber, expected.versionNumber);
  EXPECT_FALSE(boot->versionName.empty());
  EXPECT_EQ(file.databaseName(), expected.databaseName);

  auto it = kCollations.find(name());
  EXPECT_TRUE(boot->collationFound);
  EXPECT_EQ(boot->collationName, it != kCollations.end() ? it->second : "SQL_Latin1_General_CP1_CI_AS");
}

QUILL_REAL_FILE_TESTS(RealFileIdentity, testing::RealFiles());

}  // namespace
}  // namespace quill
