#include "cli/info_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "database_builder.h"
#include "support/progress_recorder.h"
#include "support/run_cli.h"
#include "support/temp_dir.h"
#include "scan/application_state.h"

namespace quill {
namespace {

using fixture::BuildPrimaryFile;
using fixture::BuildSecondaryFile;
using fixture::PrimaryFileLayout;

TEST(InfoCommand, PrintsIdentityPagesAndSecondaryFiles) {
  testing::TempDir dir;
  PrimaryFileLayout file_layout;
  file_layout.boot = {.versionNumber = 957, .databaseName = u"WSS_Content", .collationId = 53256};
  file_layout.pageCount = 40;
  ASSERT_TRUE(BuildPrimaryFile(file_layout).WriteTo(dir.File("WSS_Content.mdf")));
  ASSERT_TRUE(BuildSecondaryFile(3, 2001, 3).WriteTo(dir.File("WSS_Content_1.ndf")));

  ApplicationState state;
  state.collationTable = {{53256, {"Latin1_General_CI_AS", 1252}}};
  testing::ProgressRecorder progress;
  std::ostringstream out;
  ASSERT_EQ(RunInfoCommand(dir.File("WSS_Content.mdf"), state, progress, out), kExitOk);

  const std::string expected_head =
      "database: WSS_Content\n"
      "version: SQL Server 2022\n"
      "version number: 957\n"
      "collation: Latin1_General_CI_AS\n"
      "collation id: 53256\n"
      "pages: 40\n"
      "base offset: 0\n"
      "secondary files: 1\n"
      "secondary file 3: " + dir.File("WSS_Content_1.ndf") + " (4 pages)\n"
      "system object 3 pages: 1\n";
  EXPECT_EQ(out.str().substr(0, expected_head.size()), expected_head);
  EXPECT_NE(out.str().find("system object 99 pages: 5\n"), std::string::npos);
}

TEST(InfoCommand, UnreadableBootPageReportsRepairNameAndUnknowns) {
  testing::TempDir dir;
  auto builder = BuildPrimaryFile({});
  builder.SetPage(9, fixture::PageImage());  // boot page wiped
  ASSERT_TRUE(builder.WriteTo(dir.File("x.mdf")));
  ApplicationState state;
  testing::ProgressRecorder progress;
  std::ostringstream out;
  ASSERT_EQ(RunInfoCommand(dir.File("x.mdf"), state, progress, out), kExitOk);
  // A zeroed boot page still sits at position 9: its version 0 is unknown
  // and its empty name is shown as the repair name.
  EXPECT_NE(out.str().find("database: RepairDataBase\n"), std::string::npos);
  EXPECT_NE(out.str().find("version: Unknown SQL Version\n"), std::string::npos);
  EXPECT_NE(out.str().find("collation: Unknown Collation\n"), std::string::npos);
}

using testing::RunCli;

TEST(QuillstoneCli, ExitCodesForSuccessUsageAndUnreadableFiles) {
  std::string out, err;
  EXPECT_EQ(RunCli(std::string("info ") + QUILLSTONE_DEMO_DATABASE, out, err), 0);
  EXPECT_NE(out.find("database: WSS_Content_Demo\n"), std::string::npos);
  EXPECT_NE(out.find("collation: Latin1_General_CI_AS_KS_WS\n"), std::string::npos);

  EXPECT_EQ(RunCli("--help", out, err), 0);
  EXPECT_NE(out.find("info"), std::string::npos);
  EXPECT_EQ(RunCli("info --help", out, err), 0);
  EXPECT_NE(out.find("FILE"), std::string::npos);

  EXPECT_EQ(RunCli("", out, err), 2);
  EXPECT_EQ(RunCli("info", out, err), 2);
  EXPECT_EQ(RunCli("nosuchcommand", out, err), 2);

  EXPECT_EQ(RunCli("info /nonexistent/file.mdf", out, err), 1);
  EXPECT_NE(err.find("File cannot be open..........."), std::string::npos);
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace quill
