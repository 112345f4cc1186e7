#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "catalog/load_catalog.h"
#include "common/little_endian.h"
#include "database_builder.h"
#include "pages/database_file.h"
#include "scan/snapshot_loader.h"
#include "scan/snapshot_reader.h"
#include "scan/snapshot_writer.h"
#include "support/progress_recorder.h"
#include "support/temp_dir.h"
#include "scan/application_state.h"

namespace quill {
namespace {

using fixture::BuildPrimaryFile;
using fixture::PrimaryFileLayout;
using testing::ProgressRecorder;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// The maps of a file set, compared as a whole.
SnapshotMaps MapsOf(const CDatabaseFile& file) {
  return {file.systemPages(), file.dataPages(), file.iamPages()};
}

void ExpectSameMaps(const SnapshotMaps& actual, const SnapshotMaps& expected) {
  EXPECT_EQ(actual.systemPages, expected.systemPages);
  EXPECT_EQ(actual.dataPages, expected.dataPages);
  EXPECT_EQ(actual.iamPages, expected.iamPages);
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class SnapshotFileTest : public ::testing::Test {
 protected:
  // A fixture database with two user tables, opened by a full pass.
  void SetUp() override {
    PrimaryFileLayout description;
    description.userTables = {{1001, 3}, {2002, 12}};
    dataPath_ = dir_.File("content.mdf");
    ASSERT_TRUE(BuildPrimaryFile(description).WriteTo(dataPath_));
    scanned_ = std::make_unique<CDatabaseFile>();
    ASSERT_TRUE(scanned_->Open(dataPath_, nullptr));
  }

  // Writes a snapshot of the scanned file set and returns its bytes.
  std::vector<uint8_t> SaveScanned(const std::string& name) {
    const SnapshotWriteResult written =
        WriteSnapshot(scanned_.get(), dataPath_, /*advanced_mode=*/true, scanState_.readOptions(),
                      scanState_.collationChoice(), dir_.File(name));
    EXPECT_TRUE(written.status.ok()) << written.status.Text();
    return ReadBytes(written.path);
  }

  TempDir dir_;
  std::string dataPath_;
  ApplicationState scanState_;
  std::unique_ptr<CDatabaseFile> scanned_;
};

TEST_F(SnapshotFileTest, SaveLoadSaveGivesIdenticalBytesAndTheMapsOfAFullPass) {
  scanState_.autoDetectCollation = false;
  scanState_.manualCollationId = 53;
  scanState_.showDeletedRecords = true;
  const std::vector<uint8_t> first = SaveScanned("first.VLMSNP");
  ASSERT_FALSE(first.empty());

  OpenedSnapshot opened = OpenSnapshot(dir_.File("first.VLMSNP"));
  ASSERT_TRUE(opened.status.ok()) << opened.status.Text();
  EXPECT_EQ(opened.header.dataPath, dataPath_);
  EXPECT_TRUE(opened.header.advancedMode);
  EXPECT_FALSE(opened.header.autoDetectCollation);
  EXPECT_EQ(opened.header.manualCollationId, 53);
  EXPECT_TRUE(opened.header.showDeletedRecords);

  // The loaded run: options and data path from the header, maps from the
  // snapshot instead of the mapping pass.
  ApplicationState load_state;
  load_state.snapshotLoadMode = true;
  ApplySnapshotHeader(opened.header, load_state);
  EXPECT_EQ(load_state.snapshotDataPath, dataPath_);
  EXPECT_FALSE(load_state.autoDetectCollation);
  EXPECT_EQ(load_state.manualCollationId, 53);
  EXPECT_TRUE(load_state.showDeletedRecords);
  EXPECT_FALSE(load_state.showAdvancedDeletedRecords);

  ProgressRecorder progress;
  CDatabaseFile loaded;
  loaded.SetSnapshotMapSource(&opened.maps);
  ASSERT_TRUE(loaded.Open(load_state.snapshotDataPath, &progress));
  EXPECT_TRUE(opened.maps.status().ok());
  ExpectSameMaps(MapsOf(loaded), MapsOf(*scanned_));
  EXPECT_EQ(progress.Count(MSG_STATUS_TEXT), 4u);  // probe start/end, loading, loaded
  const std::vector<std::string> texts = progress.Texts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[texts.size() - 2], kLoadingSnapshot);
  EXPECT_EQ(texts.back(), "Load snapshot finished..processing tables ......................");

  const SnapshotWriteResult second =
      WriteSnapshot(&loaded, load_state.snapshotDataPath, true, load_state.readOptions(),
                    load_state.collationChoice(), dir_.File("second"));
  ASSERT_TRUE(second.status.ok()) << second.status.Text();
  EXPECT_EQ(second.path, dir_.File("second.VLMSNP"));
  EXPECT_EQ(ReadBytes(second.path), first);
}

TEST_F(SnapshotFileTest, ASourceWithoutPreloadedMapsReadsTheFileAndCanLoadAgain) {
  SaveScanned("s.VLMSNP");
  SnapshotFileMaps source(dir_.File("s.VLMSNP"));
  ApplicationState state;
  state.snapshotLoadMode = true;
  for (int run = 0; run < 2; ++run) {
    CDatabaseFile loaded;
    loaded.SetSnapshotMapSource(&source);
    ASSERT_TRUE(loaded.Open(dataPath_, nullptr));
    ExpectSameMaps(MapsOf(loaded), MapsOf(*scanned_));
  }
}

// The snapshot holds the pages of the secondary files; the catalog load of a
// loaded run finds those files again but files none of their pages twice.
TEST(SnapshotSecondaryFilesTest, LoadedRunFilesSecondaryPagesOnce) {
  TempDir dir;
  PrimaryFileLayout description;
  description.userTables = {{1001, 3}};
  const std::string data_path = dir.File("content.mdf");
  ASSERT_TRUE(BuildPrimaryFile(description).WriteTo(data_path));
  ASSERT_TRUE(fixture::BuildSecondaryFile(3, 1001, 4).WriteTo(dir.File("content_2.ndf")));

  ApplicationState scan_state;
  CDatabaseFile scanned;
  ASSERT_TRUE(scanned.Open(data_path, nullptr));
  LoadCatalog(scanned, scan_state.readOptions(), scan_state.collationChoice());
  ASSERT_EQ(scanned.dataPages().at(1001).size(), 7u);  // 3 primary + 4 secondary
  const SnapshotWriteResult first = WriteSnapshot(&scanned, data_path, false, scan_state.readOptions(),
                                                   scan_state.collationChoice(), dir.File("s1"));
  ASSERT_TRUE(first.status.ok()) << first.status.Text();

  OpenedSnapshot opened = OpenSnapshot(first.path);
  ASSERT_TRUE(opened.status.ok()) << opened.status.Text();
  ApplicationState load_state;
  load_state.snapshotLoadMode = true;
  ApplySnapshotHeader(opened.header, load_state);
  CDatabaseFile loaded;
  loaded.SetSnapshotMapSource(&opened.maps);
  ASSERT_TRUE(loaded.Open(load_state.snapshotDataPath, nullptr));
  EXPECT_TRUE(loaded.mapsFromSnapshot());
  LoadCatalog(loaded, load_state.readOptions(), load_state.collationChoice());
  ExpectSameMaps(MapsOf(loaded), MapsOf(scanned));
  EXPECT_EQ(loaded.secondaryFiles().size(), scanned.secondaryFiles().size());
  EXPECT_TRUE(loaded.secondaryFiles().contains(3));

  // A secondary file is a data file too.
  const std::vector<uint8_t> secondary = ReadBytes(dir.File("content_2.ndf"));
  const SnapshotWriteResult onto_secondary = WriteSnapshot(&loaded, data_path, false, load_state.readOptions(),
                                                            load_state.collationChoice(), dir.File("content_2.ndf"));
  EXPECT_FALSE(onto_secondary.status.ok());
  EXPECT_EQ(ReadBytes(dir.File("content_2.ndf")), secondary);

  const SnapshotWriteResult second = WriteSnapshot(&loaded, data_path, false, load_state.readOptions(),
                                                    load_state.collationChoice(), dir.File("s2"));
  ASSERT_TRUE(second.status.ok()) << second.status.Text();
  EXPECT_EQ(ReadBytes(second.path), ReadBytes(first.path));
}

// The layout byte for byte: a manual collation carries its 8-byte id, an
// empty IAM map is eight zero bytes.
TEST(SnapshotEncodingTest, LaysOutTheHeaderAndMapBlocks) {
  SnapshotHeader header;
  header.dataPath = "C:\\d\xC3\xA9.mdf";  // "C:\dé.mdf"
  header.advancedMode = true;
  header.autoDetectCollation = false;
  header.manualCollationId = 0x0102030405060708;
  header.isSql2000 = false;
  header.showDeletedRecords = true;
  header.showAdvancedDeletedRecords = false;
  const PageMap system = {{7, {{1, 16, 1}}}, {34, {{1, 17, 1}, {1, 0x01020304, 2}}}};
  const PageMap data = {{-5, {{3, 9, 1}}}};
  const std::vector<uint8_t> bytes = EncodeSnapshot(header, system, data, {});

  const std::vector<uint8_t> expected = {
      18, 0, 0, 0,                                                  // path length
      'C', 0, ':', 0, '\\', 0, 'd', 0, 0xE9, 0, '.', 0, 'm', 0, 'd', 0, 'f', 0,
      1,                                                            // advanced mode
      0,                                                            // manual collation
      8, 7, 6, 5, 4, 3, 2, 1,                                       // collation id
      0, 1, 0,                                                      // 2000, deleted, adv. deleted
      2, 0, 0, 0, 0, 0, 0, 0,                                       // systemPages: 2 entries
      7, 0, 0, 0, 1, 0, 0, 0,                                       //   object 7, 1 ref
      1, 0, 16, 0, 0, 0, 1, 0, 0, 0,
      34, 0, 0, 0, 2, 0, 0, 0,                                      //   object 34, 2 refs
      1, 0, 17, 0, 0, 0, 1, 0, 0, 0,
      1, 0, 4, 3, 2, 1, 2, 0, 0, 0,
      1, 0, 0, 0, 0, 0, 0, 0,                                       // dataPages: 1 entry
      0xFB, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0,                           //   object -5, 1 ref
      3, 0, 9, 0, 0, 0, 1, 0, 0, 0,
      0, 0, 0, 0, 0, 0, 0, 0,                                       // iamPages: empty
  };
  EXPECT_EQ(bytes, expected);

  const SnapshotReadResult decoded = DecodeSnapshot(bytes);
  ASSERT_TRUE(decoded.status.ok()) << decoded.status.Text();
  EXPECT_EQ(decoded.contents.header, header);
  EXPECT_EQ(decoded.contents.maps.systemPages, system);
  EXPECT_EQ(decoded.contents.maps.dataPages, data);
  EXPECT_TRUE(decoded.contents.maps.iamPages.empty());

  // With the collation detected, the flag byte is followed by isSql2000.
  header.autoDetectCollation = true;
  header.isSql2000 = true;
  const std::vector<uint8_t> automatic = EncodeSnapshot(header, {}, {}, {});
  ASSERT_EQ(automatic.size(), 4 + 18 + 5 + 24u);
  EXPECT_EQ(automatic[4 + 18 + 1], 1);  // auto detect
  EXPECT_EQ(automatic[4 + 18 + 2], 1);  // isSql2000
  EXPECT_EQ(automatic[4 + 18 + 3], 1);  // showDeletedRecords
}

TEST(SnapshotEncodingTest, AppliesTheDefaultExtensionOnlyToNamesWithoutOne) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/tmp/site", "/tmp/site.VLMSNP"},
      {"/tmp/site.VLMSNP", "/tmp/site.VLMSNP"},
      {"/tmp/site.bak", "/tmp/site.bak"},
      {"/tmp/site.", "/tmp/site.VLMSNP"},
      {"/tmp/a.b/site", "/tmp/a.b/site.VLMSNP"},
      {"C:\\snaps\\site", "C:\\snaps\\site.VLMSNP"},
      {"site", "site.VLMSNP"},
  };
  for (const auto& [path, expected] : cases) {
    EXPECT_EQ(SnapshotPathWithExtension(path), expected) << path;
  }
}

// A small valid snapshot to damage: one entry in every block.
std::vector<uint8_t> SmallSnapshot() {
  SnapshotHeader header;
  header.dataPath = "/x.mdf";
  return EncodeSnapshot(header, {{7, {{1, 16, 1}, {1, 18, 1}}}}, {{7, {{1, 16, 1}}}},
                        {{1001, {{1, 40, 10}}}});
}

// Offsets inside SmallSnapshot().
constexpr size_t kSmallPathLength = 12;
constexpr size_t kSmallSystemBlock = 4 + kSmallPathLength + 5;
constexpr size_t kSmallDataBlock = kSmallSystemBlock + 8 + 8 + 2 * 10;
constexpr size_t kSmallIamBlock = kSmallDataBlock + 8 + 8 + 10;

TEST(SnapshotDamageTest, EveryTruncationFailsAndLoadsNothing) {
  const std::vector<uint8_t> whole = SmallSnapshot();
  ASSERT_EQ(whole.size(), kSmallIamBlock + 8 + 8 + 10);
  ASSERT_TRUE(DecodeSnapshot(whole).status.ok());

  TempDir dir;
  ApplicationState state;
  CDatabaseFile file;  // never opened: its maps stay empty unless filled
  const std::string path = dir.File("cut.VLMSNP");
  for (size_t length = 0; length < whole.size(); ++length) {
    SCOPED_TRACE(length);
    ASSERT_TRUE(WriteBytes(path, {whole.begin(), whole.begin() + static_cast<ptrdiff_t>(length)}));
    const SnapshotStatus status = ReadSnapshotMaps(path, file);
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.message, "Snapshot cannot be loaded.");
    EXPECT_FALSE(status.detail().empty());
    EXPECT_TRUE(file.systemPages().empty());
    EXPECT_TRUE(file.dataPages().empty());
    EXPECT_TRUE(file.iamPages().empty());

    const OpenedSnapshot opened = OpenSnapshot(path);
    EXPECT_FALSE(opened.status.ok());
    EXPECT_EQ(opened.header, SnapshotHeader{});
  }
}

TEST(SnapshotDamageTest, RejectsDamagedCountsHeadersAndValues) {
  struct Case {
    const char* name;
    size_t offset;
    std::vector<uint8_t> bytes;  // written over the snapshot at `offset`
    const char* reason;          // part of the detail
  };
  const std::vector<uint8_t> all_ones(8, 0xFF);
  const std::vector<Case> cases = {
      {"path length past the end", 0, {0xFE, 0xFF, 0xFF, 0x7F}, "exceeds"},
      {"odd path length", 0, {13, 0, 0, 0}, "odd"},
      {"flag byte not 0 or 1", 4 + kSmallPathLength, {7}, "advanced mode byte is 7"},
      {"entry count larger than the file", kSmallSystemBlock, {0, 0, 0, 0, 1, 0, 0, 0}, "entries"},
      {"entry count near 2^64", kSmallDataBlock, all_ones, "entries"},
      {"reference count larger than the file", kSmallSystemBlock + 12, {0xFF, 0xFF, 0xFF, 0xFF},
       "page references"},
      {"negative page index", kSmallIamBlock + 16 + 2, {0xFF, 0xFF, 0xFF, 0xFF}, "negative"},
      {"wrong page type in the IAM block", kSmallIamBlock + 16 + 6, {1}, "type 1"},
      {"page type beyond a byte", kSmallSystemBlock + 16 + 6, {0, 1}, "type 256"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = SmallSnapshot();
    ASSERT_LE(c.offset + c.bytes.size(), bytes.size());
    std::copy(c.bytes.begin(), c.bytes.end(), bytes.begin() + static_cast<ptrdiff_t>(c.offset));
    const SnapshotReadResult result = DecodeSnapshot(bytes);
    EXPECT_FALSE(result.status.ok());
    EXPECT_NE(result.status.detail().find(c.reason), std::string::npos) << result.status.Text();
    // The reason is placed at the damaged field.
    EXPECT_EQ(result.status.reason.place().offset, static_cast<int64_t>(c.offset)) << result.status.Text();
    EXPECT_TRUE(result.contents.maps.systemPages.empty());
  }

  // Two entries whose keys do not ascend.
  SnapshotHeader header;
  std::vector<uint8_t> swapped = EncodeSnapshot(header, {{3, {}}, {7, {}}}, {}, {});
  StoreLittleEndianUnchecked<int32_t>(swapped.data() + 4 + 5 + 8 + 8, 2);
  EXPECT_NE(DecodeSnapshot(swapped).status.detail().find("ascending"), std::string::npos);

  // Bytes after the third block.
  std::vector<uint8_t> padded = SmallSnapshot();
  padded.push_back(0);
  EXPECT_NE(DecodeSnapshot(padded).status.detail().find("1 bytes follow"), std::string::npos);
}

TEST(SnapshotDamageTest, MissingFilesFailAsValues) {
  TempDir dir;
  const OpenedSnapshot missing = OpenSnapshot(dir.File("none.VLMSNP"));
  EXPECT_EQ(missing.status.message, "Snapshot cannot be loaded.");
  EXPECT_NE(missing.status.detail().find("none.VLMSNP"), std::string::npos);

  ASSERT_TRUE(WriteBytes(dir.File("empty.VLMSNP"), {}));
  EXPECT_FALSE(OpenSnapshot(dir.File("empty.VLMSNP")).status.ok());

  // A sound snapshot whose data file has gone: the snapshot opens, the file
  // set fails to open the data file and never asks for the maps.
  SnapshotHeader header;
  header.dataPath = dir.File("moved.mdf");
  ASSERT_TRUE(WriteBytes(dir.File("moved.VLMSNP"),
                         EncodeSnapshot(header, {{7, {{1, 16, 1}}}}, {}, {})));
  OpenedSnapshot opened = OpenSnapshot(dir.File("moved.VLMSNP"));
  ASSERT_TRUE(opened.status.ok()) << opened.status.Text();
  ApplicationState state;
  state.snapshotLoadMode = true;
  ApplySnapshotHeader(opened.header, state);
  ProgressRecorder progress;
  CDatabaseFile file;
  file.SetSnapshotMapSource(&opened.maps);
  EXPECT_FALSE(file.Open(state.snapshotDataPath, &progress));
  EXPECT_EQ(progress.Errors(), std::vector<std::string>{kFileCannotBeOpen});
  EXPECT_TRUE(file.systemPages().empty());
  EXPECT_TRUE(opened.maps.status().ok());  // the snapshot was not at fault
}

TEST_F(SnapshotFileTest, FailedWritesLeaveNoSnapshotBehind) {
  const SnapshotWriteResult no_scan =
      WriteSnapshot(nullptr, dataPath_, false, {}, {}, dir_.File("a.VLMSNP"));
  EXPECT_EQ(no_scan.status.message, "Snapshot cannot be saved.");

  const SnapshotWriteResult no_folder =
      WriteSnapshot(scanned_.get(), dataPath_, false, {}, {}, dir_.File("missing/a.VLMSNP"));
  EXPECT_EQ(no_folder.status.message, "Snapshot cannot be saved.");
  EXPECT_NE(no_folder.status.detail().find("cannot create"), std::string::npos);

  // The target is a folder: the bytes are written, the rename fails, and the
  // temporary file is removed again.
  std::filesystem::create_directory(dir_.File("taken.VLMSNP"));
  const std::vector<std::string> before = FolderEntries(dir_.path());
  const SnapshotWriteResult onto_folder =
      WriteSnapshot(scanned_.get(), dataPath_, false, {}, {}, dir_.File("taken.VLMSNP"));
  EXPECT_EQ(onto_folder.status.message, "Snapshot cannot be saved.");
  EXPECT_NE(onto_folder.status.detail().find("cannot rename"), std::string::npos);
  EXPECT_EQ(FolderEntries(dir_.path()), before);

  // The data file itself, by any spelling, is never the target.
  const std::vector<uint8_t> data = ReadBytes(dataPath_);
  for (const std::string& target : {dataPath_, dir_.path() + "./content.mdf"}) {
    const SnapshotWriteResult onto_data = WriteSnapshot(scanned_.get(), dataPath_, false, {}, {}, target);
    EXPECT_EQ(onto_data.status.message, "Snapshot cannot be saved.");
    EXPECT_NE(onto_data.status.detail().find("is a data file"), std::string::npos);
  }
  EXPECT_EQ(ReadBytes(dataPath_), data);
  EXPECT_EQ(FolderEntries(dir_.path()), before);

  // A successful write replaces an older snapshot whole.
  ASSERT_TRUE(WriteBytes(dir_.File("old.VLMSNP"), std::vector<uint8_t>(100000, 0xAB)));
  const std::vector<uint8_t> fresh = SaveScanned("old.VLMSNP");
  EXPECT_TRUE(DecodeSnapshot(fresh).status.ok());
  EXPECT_EQ(FolderEntries(dir_.path()).size(), before.size() + 1);
}

}  // namespace
}  // namespace quill
