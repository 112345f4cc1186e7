#include "pages/page_header.h"

#include <gtest/gtest.h>

#include "page_builder.h"

namespace quill {
namespace {

using fixture::PageBuilder;
using fixture::PageImage;

TEST(PageHeader, DecodesEveryFieldAndFormatsTheTexts) {
  PageBuilder builder(/*page_type=*/1, /*object_id=*/-5, /*page_id=*/77, /*file_id=*/3);
  auto& h = builder.header();
  h.headerVersion = 1;
  h.typeFlagBits = 4;
  h.level = 2;
  h.flagBits = 0x8200;
  h.indexId = 256;
  h.previousPage = {3, 76};
  h.nextPage = {4, 900};
  h.minRecordLength = 19;
  h.slotCount = 0;
  h.freeCount = 1000;
  h.freeDataOffset = 7000;
  h.reservedCount = 8;
  h.reservedByTransaction = 9;
  h.ghostRecordCount = 2;
  builder.Lsn(25, 400, 1).Transaction(0, 1234);
  PageImage page = builder.Build();

  CPage_Header d = CPage_Header::Decode(page.bytes());
  EXPECT_EQ(d.headerVersion, 1);
  EXPECT_EQ(d.pageType, 1);
  EXPECT_EQ(d.typeFlagBits, 4);
  EXPECT_EQ(d.level, 2);
  EXPECT_EQ(d.flagBits, 0x8200);
  EXPECT_EQ(d.indexId, 256);
  EXPECT_EQ(d.previousPage, (PageAddress{3, 76}));
  EXPECT_EQ(d.nextPage, (PageAddress{4, 900}));
  EXPECT_EQ(d.thisPage, (PageAddress{3, 77}));
  EXPECT_EQ(d.minRecordLength, 19);
  EXPECT_EQ(d.objectId, -5);
  EXPECT_EQ(d.freeCount, 1000);
  EXPECT_EQ(d.freeDataOffset, 7000);
  EXPECT_EQ(d.reservedCount, 8);
  EXPECT_EQ(d.reservedByTransaction, 9);
  EXPECT_EQ(d.ghostRecordCount, 2);
  EXPECT_EQ(d.lsnText, "( 25 : 400 : 1 )");
  EXPECT_EQ(d.transactionText, "( 0 : 1234 )");
}

TEST(PageHeader, PrintsSignedPartsOfLsnAndTransaction) {
  PageImage page = PageBuilder(1, 1, 1).Lsn(-1, 2, -3).Transaction(-2, 0xFFFFFFFF).Build();
  CPage_Header d = CPage_Header::Decode(page.bytes());
  EXPECT_EQ(d.lsnText, "( -1 : 2 : -3 )");
  EXPECT_EQ(d.transactionText, "( -2 : -1 )");
}

TEST(TornPage, AllBitsSetRestoresThreeIntoEverySectorEndButTheFirst) {
  PageImage page = PageBuilder(1, 1, 1).Build();
  page.Put<uint16_t>(page_header_layout::kFlagBits, kFlagTornBitsPresent);
  page.Put<uint32_t>(page_header_layout::kTornBits, 0xFFFFFFFF);
  page.Put<uint8_t>(511, 0x40);
  for (size_t sector = 1; sector < kSectorsPerPage; ++sector) page.Put<uint8_t>(512 * sector + 511, 0x40);

  CPage_Header::DecodeAndRestore(page.bytes());
  EXPECT_EQ(page.Get<uint8_t>(511), 0x40);
  for (size_t sector = 1; sector < kSectorsPerPage; ++sector) {
    SCOPED_TRACE(sector);
    EXPECT_EQ(page.Get<uint8_t>(512 * sector + 511), 0x43);
  }
}

TEST(TornPage, RestoresWhatTheWriterSavedAndLeavesUnprotectedPagesAlone) {
  PageBuilder builder(1, 1, 1);
  for (size_t sector = 0; sector < kSectorsPerPage; ++sector) {
    const uint8_t original[] = {static_cast<uint8_t>(0xA0 + sector)};  // low bits vary per sector
    builder.PutBody(512 * sector + 511, original);
  }
  PageImage original = builder.Build();
  PageImage protected_page = builder.TornPage(2).Build();
  EXPECT_NE(original.bytes()[1023], protected_page.bytes()[1023]);

  CPage_Header::DecodeAndRestore(protected_page.bytes());
  for (size_t offset = kPageHeaderSize; offset < kPageSize; ++offset) {
    ASSERT_EQ(protected_page.bytes()[offset], original.bytes()[offset]) << "offset " << offset;
  }

  PageImage plain = original;
  plain.Put<uint32_t>(page_header_layout::kTornBits, 0xFFFFFFFF);  // flag clear: field ignored
  CPage_Header::DecodeAndRestore(plain.bytes());
  EXPECT_TRUE(std::equal(plain.bytes().begin() + 64, plain.bytes().end(), original.bytes().begin() + 64));
}

}  // namespace
}  // namespace quill
