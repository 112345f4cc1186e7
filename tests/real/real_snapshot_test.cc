// Snapshots of the real data files of the shared test data: the maps a
// loaded snapshot gives equal those of a full pass, the catalog read through
// them is the same, and saving again writes the same bytes. Skips when the
// folder is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "catalog/load_catalog.h"
#include "pages/database_file.h"
#include "scan/snapshot_loader.h"
#include "scan/snapshot_writer.h"
#include "support/real_data.h"
#include "support/temp_dir.h"
#include "scan/application_state.h"
#include "support/read_options.h"

namespace quill {
namespace {

class RealSnapshots : public testing::RealFileTest {};

TEST_P(RealSnapshots, LoadedMapsAndCatalogEqualThoseOfAFullPass) {
  const std::string& path = this->path();
  testing::TempDir dir;
  ApplicationState scan_state;
  CDatabaseFile scanned;
  ASSERT_TRUE(scanned.Open(path, nullptr));
  const auto scanned_catalog = LoadCatalog(scanned, scan_state.readOptions(), scan_state.collationChoice());
  ASSERT_TRUE(scanned_catalog);

  const std::string snapshot = dir.File("real");
  const SnapshotWriteResult first =
      WriteSnapshot(&scanned, path, false, testing::OptionsFor(scan_state, *scanned_catalog),
                    scan_state.collationChoice(), snapshot);
  ASSERT_TRUE(first.status.ok()) << first.status.Text();
  const std::vector<uint8_t> first_bytes = testing::ReadBytes(first.path);

  OpenedSnapshot opened = OpenSnapshot(first.path);
  ASSERT_TRUE(opened.status.ok()) << opened.status.Text();
  ApplicationState load_state;
  load_state.snapshotLoadMode = true;
  ApplySnapshotHeader(opened.header, load_state);
  CDatabaseFile loaded;
  loaded.SetSnapshotMapSource(&opened.maps);
  ASSERT_TRUE(loaded.Open(load_state.snapshotDataPath, nullptr));
  EXPECT_EQ(loaded.systemPages(), scanned.systemPages());
  EXPECT_EQ(loaded.dataPages(), scanned.dataPages());
  EXPECT_EQ(loaded.iamPages(), scanned.iamPages());

  // Saved again before the catalog load (which may add secondary files).
  const SnapshotWriteResult second = WriteSnapshot(&loaded, path, false, load_state.readOptions(),
                                                    load_state.collationChoice(), snapshot);
  ASSERT_TRUE(second.status.ok()) << second.status.Text();
  EXPECT_EQ(testing::ReadBytes(second.path), first_bytes);

  const auto loaded_catalog = LoadCatalog(loaded, load_state.readOptions(), load_state.collationChoice());
  ASSERT_TRUE(loaded_catalog);
  EXPECT_EQ(loaded_catalog->objects.size(), scanned_catalog->objects.size());
  EXPECT_EQ(loaded_catalog->columns.size(), scanned_catalog->columns.size());
  EXPECT_EQ(loaded_catalog->isSql2000, scanned_catalog->isSql2000);
  ASSERT_EQ(loaded_catalog->boot.has_value(), scanned_catalog->boot.has_value());
  if (loaded_catalog->boot) {
    EXPECT_EQ(loaded_catalog->boot->versionName, scanned_catalog->boot->versionName);
  }
}

QUILL_REAL_FILE_TESTS(RealSnapshots, testing::RealFiles());

}  // namespace
}  // namespace quill
