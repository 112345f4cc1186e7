// Reading large values through their node trees in text pages.
#include "records/lob_reader.h"

#include <gtest/gtest.h>

#include <map>

#include "database_builder.h"
#include "lob_builder.h"
#include "page_builder.h"
#include "pages/database_file.h"
#include "support/temp_dir.h"
#include "scan/application_state.h"

namespace quill {
namespace {

using namespace fixture;

constexpr uint8_t kTextPage = 3;
constexpr int32_t kLobObject = 600;

Bytes Utf16(std::u16string_view text) {
  Bytes out;
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  return out;
}

class LobReaderTest : public ::testing::Test {
 protected:
  // Places text pages (page id -> node records) into a small file and opens it.
  void Open(const std::map<int32_t, std::vector<Bytes>>& pages) {
    PrimaryFileLayout file_layout;
    file_layout.pageCount = 80;
    DataFileBuilder builder = BuildPrimaryFile(file_layout);
    for (const auto& [page_id, records] : pages) {
      PageBuilder page(kTextPage, kLobObject, page_id);
      for (const Bytes& record : records) page.AddRecord(record);
      builder.SetPage(page_id, page.Build());
    }
    path_ = dir_.File("lob.mdf");
    ASSERT_TRUE(builder.WriteTo(path_));
    file_ = std::make_unique<CDatabaseFile>();
    ASSERT_TRUE(file_->Open(path_, nullptr));
  }
  std::string Pointer(int32_t page, uint16_t slot, LobReadOptions options = {}) {
    return ReadTextPointer(TextPointer({{1, page}, slot}), *file_, options);
  }

  testing::TempDir dir_;
  std::string path_;
  std::unique_ptr<CDatabaseFile> file_;
};

TEST_F(LobReaderTest, SmallRootsAndDataNodesByValueKind) {
  Bytes image(10);
  for (size_t i = 0; i < image.size(); ++i) image[i] = i % 2 ? 0xFF : 0x00;
  Open({{40,
         {SmallRootRecord({'a', 'b', 'c', 'd'}), SmallRootRecord({'a', 0, 'b', 0, 'c', 0}),
          TextNodeRecord(0, {3, 0}), DataNodeRecord(image), DataNodeRecord(Utf16(u"Hello")),
          DataNodeRecord(Utf16(u"\u041F\u0440\u0438\u0432\u0435\u0442 \u00E9")), DataNodeRecord({'c', 'a', 'f', 0xE9})}}});
  LobReadOptions binary;
  binary.binary = true;
  LobReadOptions unicode;
  unicode.unicode = true;
  struct Case {
    const char* name;
    uint16_t slot;
    LobReadOptions options;
    std::string expected;
  } cases[] = {
      {"small root", 0, {}, "abcd"},
      {"small root of UTF-16 ASCII, not known as Unicode", 1, {}, "abc"},
      {"small root of UTF-16, Unicode", 1, unicode, "abc"},
      {"node without value: found, no text", 2, {}, " "},
      {"image data node", 3, binary, "00FF00FF00FF00FF00FF"},
      {"ntext data node", 4, unicode, "Hello"},
      {"non-ASCII ntext survives", 5, unicode, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xC3\xA9"},
      {"text in the ANSI code page", 6, {}, "caf\xC3\xA9"},
      {"slot that does not exist", 9, {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Pointer(40, c.slot, c.options), c.expected);
  }
}

TEST_F(LobReaderTest, TreesOfLinks) {
  const Bytes twelve = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  Open({{40, {LargeRootRecord({{{1, 41}, 0, 12}}), LargeRootRecord({{{1, 41}, 0, 12}, {{1, 41}, 1, 12}}),
              InternalNodeRecord({{{1, 41}, 0}, {{1, 41}, 1}})}},
        {41, {DataNodeRecord(twelve), DataNodeRecord(twelve)}}});
  LobReadOptions binary;
  binary.binary = true;
  EXPECT_EQ(Pointer(40, 0, binary), "0102030405060708090A0B0C");
  EXPECT_EQ(Pointer(40, 1, binary).size(), 48u);
  EXPECT_EQ(Pointer(40, 2, binary), "0102030405060708090A0B0C0102030405060708090A0B0C");

  // In-row roots: links of size 0 are skipped, file ids above 1000 read file 1.
  const Bytes root = InRowRoot({{{2000, 41}, 0, 12}, {{1, 41}, 1, 0}, {{1, 41}, 1, 12}});
  EXPECT_EQ(ReadComplexValue(root, *file_, binary), "0102030405060708090A0B0C0102030405060708090A0B0C");

  // Chunks: the raw bytes of every data node, in order.
  std::vector<LobChunk> chunks;
  LobReadOptions collect;
  collect.chunks = &chunks;
  EXPECT_EQ(Pointer(40, 2, collect), " ");
  ASSERT_EQ(chunks.size(), 2u);
  EXPECT_EQ(chunks[1].bytes, twelve);
}

TEST_F(LobReaderTest, DamagedTreesEnd) {
  Open({{40, {InternalNodeRecord({{{1, 40}, 0}, {{1, 41}, 0}}),           // links to itself
              InternalNodeRecord({{{1, 41}, 1}}),                          // 40:1 -> 41:1 -> 40:1
              InternalNodeRecord({{{1, 70000}, 0}, {{0, 41}, 0}, {{1, -3}, 0}}),  // outside the file
              LargeRootRecord({{{1, 41}, 2, 5}})}},                          // to a record too short
        {41, {DataNodeRecord({'x'}), InternalNodeRecord({{{1, 40}, 1}}), TextNodeRecord(3, {})}}});
  EXPECT_EQ(Pointer(40, 0), "x");
  EXPECT_EQ(Pointer(40, 1), " ");
  EXPECT_EQ(Pointer(40, 2), " ");
  EXPECT_EQ(Pointer(40, 3), " ");
  EXPECT_EQ(ReadTextPointer(TextPointer({{1, 99999}, 0}), *file_, {}), "");
  EXPECT_EQ(ReadTextPointer(Bytes{1, 2, 3}, *file_, {}), "");
  EXPECT_EQ(ReadComplexValue(Bytes(11, 0xFF), *file_, {}), "");

  // The first node a walk could not read, placed at that node.
  const struct {
    uint16_t slot;
    std::string failure;
  } failures[] = {
      {0, "page 1:40, slot 0: a link back to a node already read"},
      {1, "page 1:40, slot 1: a link back to a node already read"},
      {2, "page 1:70000, slot 0: the text page cannot be read"},
      {3, "page 1:41, slot 2: the node (type 3, length 0) does not parse"},
  };
  for (const auto& c : failures) {
    SCOPED_TRACE(c.slot);
    Status failure;
    LobReadOptions options;
    options.failure = &failure;
    Pointer(40, c.slot, options);
    EXPECT_EQ(failure.Text(), c.failure);
  }
  Status whole;
  LobReadOptions options;
  options.failure = &whole;
  EXPECT_EQ(Pointer(41, 0, options), "x");
  EXPECT_TRUE(whole.ok()) << whole.Text();
}

// Text whose characters are split between two data nodes reads whole: the
// nodes' bytes are joined before they become text.
TEST_F(LobReaderTest, CharactersSplitBetweenDataNodes) {
  const Bytes smile = Utf16(u"A\U0001F600B");  // A, a surrogate pair, B
  const Bytes shift_jis = {'a', 0x82, 0xA0, 'b'};  // a, HIRAGANA LETTER A, b in code page 932
  const Bytes gbk = {0xD6, 0xD0, 0xCE, 0xC4};       // two Han characters in code page 936
  const Bytes odd = Utf16(u"ABC");
  const auto first = [](const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n)); };
  const auto rest = [](const Bytes& b, size_t n) { return Bytes(b.begin() + static_cast<std::ptrdiff_t>(n), b.end()); };
  Open({{40, {LargeRootRecord({{{1, 41}, 0, 4}, {{1, 41}, 1, 4}}), LargeRootRecord({{{1, 41}, 2, 2}, {{1, 41}, 3, 2}}),
              LargeRootRecord({{{1, 41}, 4, 3}, {{1, 41}, 5, 1}}), LargeRootRecord({{{1, 41}, 8, 3}, {{1, 41}, 9, 1}})}},
        {41, {DataNodeRecord(first(smile, 4)), DataNodeRecord(rest(smile, 4)), DataNodeRecord(first(shift_jis, 2)),
              DataNodeRecord(rest(shift_jis, 2)), DataNodeRecord(first(gbk, 3)), DataNodeRecord(rest(gbk, 3)),
              DataNodeRecord(first(odd, 3)), DataNodeRecord(rest(odd, 3)), DataNodeRecord({'a', 0, 'x'}),
              DataNodeRecord({'b'})}}});
  LobReadOptions unicode;
  unicode.unicode = true;
  LobReadOptions cp932;
  cp932.ansiCodePage = 932;
  LobReadOptions cp936;
  cp936.ansiCodePage = 936;
  EXPECT_EQ(Pointer(40, 0, unicode), "A\xF0\x9F\x98\x80" "B");
  EXPECT_EQ(Pointer(40, 1, cp932), "a\xE3\x81\x82" "b");
  EXPECT_EQ(Pointer(40, 2, cp936), "\xE4\xB8\xAD\xE6\x96\x87");
  // An in-row root whose first node holds an odd number of bytes of UTF-16
  // text: the second node's first byte completes the character.
  EXPECT_EQ(ReadComplexValue(InRowRoot({{{1, 41}, 6, 3}, {{1, 41}, 7, 3}}), *file_, unicode), "ABC");
  EXPECT_EQ(ReadComplexValue(InRowRoot({{{1, 41}, 0, 4}, {{1, 41}, 1, 4}}), *file_, unicode),
            "A\xF0\x9F\x98\x80" "B");

  // Each node's text still ends at its first zero byte; the next node's
  // text follows. Binary values show every byte.
  EXPECT_EQ(Pointer(40, 3), "ab");
  LobReadOptions binary;
  binary.binary = true;
  EXPECT_EQ(ReadComplexValue(InRowRoot({{{1, 41}, 2, 2}, {{1, 41}, 3, 2}}), *file_, binary), "6182A062");
}

}  // namespace
}  // namespace quill
