#include "records/boot_page.h"

#include <gtest/gtest.h>

#include "database_builder.h"
#include "page_builder.h"
#include "pages/database_file.h"
#include "pages/sql_version.h"
#include "support/temp_dir.h"
#include "scan/application_state.h"

namespace quill {
namespace {

using fixture::BootPageFields;
using fixture::BuildBootPage;
using fixture::BuildPrimaryFile;
using fixture::DataFileBuilder;
using fixture::NamePadding;
using fixture::PageBuilder;
using fixture::PrimaryFileLayout;

std::string NameOf(const BootPageFields& fields) {
  fixture::PageImage image = BuildBootPage(fields);
  auto buffer = PageBuffer::Allocate();
  std::copy(image.bytes().begin(), image.bytes().end(), buffer->page().begin());
  return CBootPage(std::move(*buffer), nullptr).databaseName();
}

TEST(BootPage, DatabaseNameDropsPaddingAndKeepsEverythingElse) {
  struct Case {
    const char* label;
    std::u16string name;
    NamePadding padding;
    std::string expected;
  } cases[] = {
      {"blank units", u"Shafici", NamePadding::kBlankUnits, "Shafici"},
      {"0x20 bytes", u"Bookshop", NamePadding::kBlankBytes, "Bookshop"},
      {"zeros", u"model", NamePadding::kZeros, "model"},
      {"inner blanks", u"D:\\WEB PROJECTS 4.0\\NORTHWND.MDF", NamePadding::kBlankBytes,
       "D:\\WEB PROJECTS 4.0\\NORTHWND.MDF"},
      {"leading blank", u" lead", NamePadding::kBlankUnits, " lead"},
      {"cyrillic", u"E:\\\u0423\u041F\u0420", NamePadding::kBlankBytes, "E:\\\xD0\xA3\xD0\x9F\xD0\xA0"},
      {"turkish", u"KLAS\u00D6R", NamePadding::kBlankBytes, "KLAS\xC3\x96R"},
      {"longer than 104 units", std::u16string(120, u'x'), NamePadding::kZeros, std::string(120, 'x')},
      {"all 128 units", std::u16string(128, u'y'), NamePadding::kZeros, std::string(128, 'y')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(NameOf({.databaseName = c.name, .padding = c.padding}), c.expected);
  }
}

TEST(SqlVersion, NamesKnownVersionsWithTheirLeadingBlank) {
  struct Case {
    uint16_t number;
    const char* name;
  } cases[] = {
      {539, " SQL Server 2000"},   {611, " SQL Server 2005"},
      {612, " SQL Server 2005 SP2+ with VarDecimal enabled"},
      {655, " SQL Server 2008"},   {660, " SQL Server 2008 R2"},
      {661, " SQL Server 2008 R2"}, {684, " SQL Server 2012 CTP1"},
      {706, " SQL Server 2012"},   {782, " SQL Server 2014"},
      {852, " SQL Server 2016"},   {869, " SQL Server 2017"},
      {904, " SQL Server 2019"},   {957, " SQL Server 2022"},
      {515, " SQL Server 7.0"},    {408, " SQL Server 6.5"},
      {700, "Unknown SQL Version"}, {0, "Unknown SQL Version"},
  };
  for (const auto& c : cases) EXPECT_EQ(SqlVersionName(c.number), c.name) << c.number;
}

class BootPageFileTest : public ::testing::Test {
 protected:
  Result<BootPageInfo> Read(const DataFileBuilder& builder) {
    const std::string path = dir_.File("boot.mdf");
    if (!builder.WriteTo(path)) return Status::Failure("fixture not written");
    file_ = std::make_unique<CDatabaseFile>();
    if (!file_->Open(path, nullptr)) return Status::Failure("fixture not opened");
    return ReadBootPage(*file_, state_.collationChoice());
  }

  testing::TempDir dir_;
  ApplicationState state_;
  std::unique_ptr<CDatabaseFile> file_;
};

TEST_F(BootPageFileTest, ReadsVersionNameAndCollation) {
  state_.collationTable = {{53256, {"Latin1_General_CI_AS", 1252}}};
  PrimaryFileLayout file_layout;
  file_layout.boot = {.versionNumber = 706, .databaseName = u"TourDB22", .collationId = 53256};
  auto info = Read(BuildPrimaryFile(file_layout));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->pageIndex, 9);
  EXPECT_EQ(info->versionNumber, 706);
  EXPECT_EQ(info->versionName, " SQL Server 2012");
  EXPECT_EQ(file_->databaseName(), "TourDB22");
  EXPECT_TRUE(info->collationFound);
  EXPECT_EQ(info->collationName, "Latin1_General_CI_AS");
}

TEST_F(BootPageFileTest, CollationLookupFallsBackToTheLow16BitsAndHonoursTheManualChoice) {
  state_.collationTable = {{53256, {"Latin1_General_CI_AS", 1252}}, {4104, {"Manual", 1252}}};
  PrimaryFileLayout file_layout;
  file_layout.boot.collationId = 0x00A0D008;  // low 16 bits: 53256
  auto info = Read(BuildPrimaryFile(file_layout));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->collationName, "Latin1_General_CI_AS");

  state_.autoDetectCollation = false;
  state_.manualCollationId = 4104;
  info = Read(BuildPrimaryFile(file_layout));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->collationName, "Manual");

  state_.manualCollationId = 1;  // not in the table: no collation
  info = Read(BuildPrimaryFile(file_layout));
  ASSERT_TRUE(info);
  EXPECT_FALSE(info->collationFound);
  EXPECT_EQ(info->collationName, "");
}

TEST_F(BootPageFileTest, ShiftedFileFindsItsBootPageThroughObject7) {
  // The first page of object 7 sits at position 40 but says it is page 42:
  // the boot page is expected at 9 - 2 = 7.
  PrimaryFileLayout file_layout;
  file_layout.layout = fixture::CatalogLayout::kSql2000;  // no object 7 pages of its own
  DataFileBuilder builder = BuildPrimaryFile(file_layout);
  builder.SetPage(40, PageBuilder(1, 7, 42).Build());
  builder.SetPage(9, PageBuilder(1, 500, 9).Build());
  BootPageFields boot{.databaseName = u"Shifted"};
  boot.pageId = 7;
  builder.SetPage(7, BuildBootPage(boot));
  auto info = Read(builder);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->pageIndex, 7);
  EXPECT_EQ(file_->databaseName(), "Shifted");
}

TEST_F(BootPageFileTest, NoBootPageWhenTheShiftLeavesTheFile) {
  for (int32_t claimed : {40 + 9, 40 + 20, 40 - 60}) {
    SCOPED_TRACE(claimed);
    PrimaryFileLayout file_layout;
    file_layout.layout = fixture::CatalogLayout::kSql2000;
    DataFileBuilder builder = BuildPrimaryFile(file_layout);
    builder.SetPage(40, PageBuilder(1, 7, claimed).Build());
    const Result<BootPageInfo> boot = Read(builder);
    ASSERT_FALSE(boot);
    EXPECT_EQ(boot.status().message(),
              "the boot page, page 9 shifted by " + std::to_string(claimed - 40) +
                  " as the first system page says, is not inside the file (" +
                  std::to_string(file_->pageCount()) + " pages)");
    EXPECT_EQ(file_->databaseName(), "");
  }
}

TEST_F(BootPageFileTest, Object41GivesTheShiftWhenObject7HasNoPages) {
  PrimaryFileLayout file_layout;
  file_layout.layout = fixture::CatalogLayout::kSql2000;
  DataFileBuilder builder = BuildPrimaryFile(file_layout);
  builder.SetPage(30, PageBuilder(1, 41, 31).Build());
  builder.SetPage(9, PageBuilder(1, 500, 9).Build());
  BootPageFields boot{.databaseName = u"Via41"};
  boot.pageId = 8;
  builder.SetPage(8, BuildBootPage(boot));
  auto info = Read(builder);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->pageIndex, 8);
  EXPECT_EQ(file_->databaseName(), "Via41");
}

}  // namespace
}  // namespace quill
