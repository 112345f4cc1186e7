#include <gtest/gtest.h>

#include <filesystem>

#include "database_builder.h"
#include "pages/data_file_paths.h"
#include "pages/database_file.h"
#include "support/progress_recorder.h"
#include "support/temp_dir.h"
#include "scan/application_state.h"

namespace quill {
namespace {

using fixture::BuildPrimaryFile;
using fixture::BuildSecondaryFile;
using testing::TempDir;

DataFileEntry Listed(int32_t file_id, const std::string& path) {
  DataFileEntry entry;
  entry.fileId = file_id;
  entry.physicalPath = path;
  return entry;
}

TEST(SecondaryFilePaths, LooksBesideThePrimaryFileWithTheNdfExtension) {
  struct Case {
    const char* directory;
    const char* stored;
    const char* expected;
  } cases[] = {
      {"/copy/", "D:\\data\\Content_2.ndf", "/copy/Content_2.ndf"},
      {"/copy/", "Log.ldf", "/copy/Log.ndf"},
      {"/copy/", "D:\\data\\archive.2019.ndf", "/copy/archive.2019.ndf"},
      {"/copy/", "/srv/sql/Content_3", "/copy/Content_3.ndf"},
      {"/copy/", ".ndf", "/copy/.ndf"},
      {"", "E:\\x\\y.ndf", "y.ndf"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    EXPECT_EQ(SecondaryFilePathBeside(c.directory, c.stored), c.expected);
  }
  EXPECT_EQ(DirectoryOf(NormaliseStoredPath("E:\\\\copy\\\\Content.mdf")), "E:\\copy\\");
  EXPECT_EQ(DirectoryOf("/srv/copy/Content.mdf"), "/srv/copy/");
  EXPECT_EQ(DirectoryOf("Content.mdf"), "");
  EXPECT_TRUE(HasSecondaryFileExtension("A.NDF"));
  EXPECT_FALSE(HasSecondaryFileExtension("A.mdf"));
}

class SecondaryFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    primary_ = dir_.File("Content.mdf");
    ASSERT_TRUE(BuildPrimaryFile({}).WriteTo(primary_));
    ASSERT_TRUE(file_.Open(primary_, nullptr));
  }

  TempDir dir_;
  std::string primary_;
  CDatabaseFile file_;
};

TEST_F(SecondaryFilesTest, ListedFilesAreOpenedBesideThePrimaryAndMapped) {
  ASSERT_TRUE(BuildSecondaryFile(3, 2001, 4).WriteTo(dir_.File("Content_2.ndf")));
  std::vector<DataFileEntry> list(3);
  list[0] = Listed(1, "D:\\data\\Content.mdf");
  list[1] = Listed(2, "D:\\log\\Content_log.ldf");  // not there: skipped
  list[2] = Listed(3, "D:\\data\\Content_2.ndf");
  file_.LocateSecondaryFiles(list, primary_);

  EXPECT_EQ(list[2].physicalPath, dir_.File("Content_2.ndf"));
  ASSERT_EQ(file_.secondaryFiles().size(), 1u);
  const DataFileEntry& entry = file_.secondaryFiles().at(3);
  EXPECT_EQ(entry.pageCount, 5);
  const auto& pages = file_.dataPages().at(2001);
  ASSERT_EQ(pages.size(), 4u);
  EXPECT_EQ(pages[0].fileId, 3);
  EXPECT_EQ(pages[0].pageIndex, 1);

  auto header = file_.ReadPageHeader({3, 2});
  ASSERT_TRUE(header);
  EXPECT_EQ(header->objectId, 2001);
  EXPECT_FALSE(file_.ReadPageHeader({3, 6}));
  EXPECT_FALSE(file_.ReadPageHeader({2, 1}));

  // A secondary file that vanished after the scan reads nothing.
  std::filesystem::remove(dir_.File("Content_2.ndf"));
  EXPECT_FALSE(file_.ReadRawPage({3, 2}));
}

TEST_F(SecondaryFilesTest, ListedFileIdOverridesTheHeaders) {
  // The pages say file 9; the catalog lists the file as 4.
  ASSERT_TRUE(BuildSecondaryFile(9, 2002, 2).WriteTo(dir_.File("Other.ndf")));
  std::vector<DataFileEntry> list = {Listed(4, "C:\\Other.ndf")};
  file_.LocateSecondaryFiles(list, primary_);
  ASSERT_TRUE(file_.dataPages().contains(2002));
  EXPECT_EQ(file_.dataPages().at(2002)[0].fileId, 4);
  EXPECT_TRUE(file_.secondaryFiles().contains(4));
}

TEST_F(SecondaryFilesTest, SearchKeepsFilesWhoseDataPagesNameTheirFile) {
  ASSERT_TRUE(BuildSecondaryFile(3, 3001, 2).WriteTo(dir_.File("b.ndf")));
  ASSERT_TRUE(BuildSecondaryFile(1, 3002, 2).WriteTo(dir_.File("a.NDF")));  // never names a file above 1
  ASSERT_TRUE(testing::WriteBytes(dir_.File("short.ndf"), std::vector<uint8_t>(4000, 1)));
  std::filesystem::create_directory(dir_.File("folder.ndf"));

  std::vector<DataFileEntry> list;
  file_.LocateSecondaryFiles(list, primary_);

  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].fileId, 3);
  EXPECT_EQ(list[0].status, 0);
  EXPECT_EQ(list[0].physicalPath, dir_.File("b.ndf"));
  EXPECT_EQ(file_.secondaryFiles().size(), 1u);
  // Pages of a file left out of the list stay in the maps.
  EXPECT_TRUE(file_.dataPages().contains(3002));
  EXPECT_TRUE(file_.dataPages().contains(3001));
}

TEST_F(SecondaryFilesTest, NothingHappensWhenStopped) {
  ASSERT_TRUE(BuildSecondaryFile(3, 3001, 2).WriteTo(dir_.File("b.ndf")));
  StopSource stop;
  stop.RequestStop();
  std::vector<DataFileEntry> list;
  file_.LocateSecondaryFiles(list, primary_, stop.token());
  EXPECT_TRUE(list.empty());
  EXPECT_FALSE(file_.dataPages().contains(3001));
}

}  // namespace
}  // namespace quill
