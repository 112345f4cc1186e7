#include "pages/collation_table.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

TEST(CollationTable, ParsesLinesAndSkipsMalformedOnes) {
  const std::string text =
      "Latin1_General_CI_AS\t53256\t1252\n"
      "\n"
      "no tab at all\n"
      "nothing after tab\t\n"
      "one tab only\t77\n"
      "Three\t5\t1251\textra\n"
      "Negative\t-2147483648\t1254\r\n"
      "Garbage\tabc\txyz\n"
      "  Padded name\t  +42\t 936\n"
      "Replaced\t53256\t1250";
  CollationTable table = ParseCollationTable(text);

  ASSERT_EQ(table.size(), 5u);
  EXPECT_EQ(table.at(53256).name, "Replaced");  // a later line with the same id wins
  EXPECT_EQ(table.at(53256).codePage, 1250);
  EXPECT_EQ(table.at(5).name, "Three");
  EXPECT_EQ(table.at(5).codePage, 1251);  // the number at the start of "1251\textra"
  EXPECT_EQ(table.at(-2147483648LL).codePage, 1254);
  EXPECT_EQ(table.at(0).name, "Garbage");  // not a number reads as 0
  EXPECT_EQ(table.at(0).codePage, 0);
  EXPECT_EQ(table.at(42).name, "  Padded name");
  EXPECT_EQ(table.at(42).codePage, 936);
  EXPECT_FALSE(table.contains(77));
}

TEST(CollationTable, LoadsTheShippedFileAndToleratesAMissingOne) {
  CollationTable table = LoadCollationTable(QUILLSTONE_COLLATION_TABLE);
  EXPECT_EQ(table.size(), 5540u);
  EXPECT_EQ(table.at(872468488).name, "SQL_Latin1_General_CP1_CI_AS");
  EXPECT_EQ(table.at(872468488).codePage, 1252);
  EXPECT_EQ(table.at(53269).name, "Cyrillic_General_CI_AS");

  EXPECT_TRUE(LoadCollationTable("/nonexistent/collation.txt").empty());
}

}  // namespace
}  // namespace quill
