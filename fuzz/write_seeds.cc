// Writes the seed inputs of the fuzz targets: one folder per target under
// OUT, each input a small file. Pages are cut from the demo database (every
// kind of page it holds) and built with the fixture builder (forwarded rows
// and stubs, sparse vectors, torn pages, values of every type).
// Usage: fuzz_write_seeds OUT DEMO.mdf
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "catalog_builder.h"
#include "fuzz_databases.h"
#include "fuzz_support.h"
#include "lob_builder.h"
#include "page_builder.h"
#include "pages/page_geometry.h"
#include "pages/database_file.h"
#include "pages/page_header.h"
#include "record_builder.h"
#include "records/boot_page.h"
#include "scan/snapshot_writer.h"
#include "value_bytes.h"
#include "xml_builder.h"

namespace {

using namespace quill;
using namespace quill::fixture;
using namespace quill::fuzz;
namespace fs = std::filesystem;

class Seeds {
 public:
  explicit Seeds(fs::path root) : root_(std::move(root)) {}

  void Add(const std::string& target, const std::vector<uint8_t>& bytes) {
    const fs::path folder = root_ / target;
    fs::create_directories(folder);
    const int n = counts_[target]++;
    char name[32];
    std::snprintf(name, sizeof name, "seed-%03d", n);
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", (folder / name).c_str());
      ok_ = false;
    }
  }
  bool ok() const { return ok_; }

 private:
  fs::path root_;
  std::map<std::string, int> counts_;
  bool ok_ = true;
};

std::vector<uint8_t> Prefixed(std::initializer_list<uint8_t> head, std::span<const uint8_t> rest) {
  std::vector<uint8_t> bytes(head);
  bytes.insert(bytes.end(), rest.begin(), rest.end());
  return bytes;
}

// The used part of a page: a seed need not carry the zeros at its end when
// the reader pads the page anyway (the slot array is at the end, so only
// pages without slots are cut).
std::vector<uint8_t> PageBytes(std::span<const uint8_t> page) { return {page.begin(), page.end()}; }

struct DemoPages {
  std::vector<uint8_t> bytes;
  size_t count = 0;
  std::span<const uint8_t> Page(size_t i) const { return {bytes.data() + i * kPageSize, kPageSize}; }
  int32_t Type(size_t i) const { return Page(i)[1]; }
  int32_t Object(size_t i) const { return HeaderObjectId(Page(i).first<kPageSize>()); }
};

// Pages of the fixture: a forwarded row with its stub on the same page
// (file 1, page 2, as the record page target places it), a sparse vector,
// a versioned row and a ghost.
PageImage ForwardingPage() {
  const Bytes forwarded = PlainRecordBuilder(1)
                              .Fixed(stored::Int(7))
                              .ColumnCount(3)
                              .Variable(Utf16Le("moved row"))
                              .BackPointer({1, 2}, 0)
                              .Build();
  const Bytes sparse = PlainRecordBuilder()
                           .Fixed(stored::Int(8))
                           .ColumnCount(3)
                           .Variable(Utf16Le("sparse"))
                           .Variable(SparseVector({{7, stored::Int(42)}, {9, stored::Ansi("abc")}}), true)
                           .Build();
  const Bytes ghost = PlainRecordBuilder(6).Fixed(stored::Int(9)).ColumnCount(2).Variable(Utf16Le("gone")).Build();
  return PageBuilder(1, 0x10001, 2)
      .AddRecord(ForwardingStub({1, 2}, 1))
      .AddRecord(forwarded)
      .AddRecord(sparse)
      .AddRecord(PlainRecordBuilder().Fixed(stored::Int(10)).ColumnCount(1).VersioningTag().Build())
      .AddRecord(ghost)
      .Build();
}

void RecordPageSeeds(Seeds& seeds, const DemoPages& demo) {
  std::set<int32_t> objects;
  int k = 0;
  for (size_t i = 0; i < demo.count; ++i) {
    if (demo.Type(i) != kPageTypeData || !objects.insert(demo.Object(i)).second) continue;
    const auto flags = static_cast<uint8_t>(((k % 6) + 1) << 3 | ((k & 1) != 0 ? 0x03 : 0x00));
    seeds.Add("record_page", Prefixed({flags}, demo.Page(i)));
    seeds.Add("deleted_records", PageBytes(demo.Page(i)));
    ++k;
  }
  const PageImage forwarding = ForwardingPage();
  seeds.Add("record_page", Prefixed({0x08}, forwarding.bytes()));
  seeds.Add("record_page", Prefixed({0x33}, forwarding.bytes()));
  seeds.Add("deleted_records", PageBytes(forwarding.bytes()));
}

void PageHeaderSeeds(Seeds& seeds, const DemoPages& demo) {
  std::set<int32_t> types;
  for (size_t i = 0; i < demo.count; ++i) {
    if (types.insert(demo.Type(i)).second) seeds.Add("page_header", PageBytes(demo.Page(i)));
  }
  const PageImage torn = PageBuilder(1, 99, 5).AddRecord(stored::Int(1)).TornPage(2).Build();
  const PageImage summed = PageBuilder(1, 99, 6).AddRecord(stored::Int(1)).Checksum().Build();
  seeds.Add("page_header", PageBytes(torn.bytes()));
  seeds.Add("page_header", PageBytes(summed.bytes()));
}

std::vector<uint8_t> ValueSeed(int32_t code, int16_t length, uint8_t precision, uint8_t scale, uint8_t flags,
                               const Bytes& value) {
  std::vector<uint8_t> bytes = {static_cast<uint8_t>(code), static_cast<uint8_t>(length & 0xFF),
                                static_cast<uint8_t>((length >> 8) & 0xFF), precision, scale, flags};
  bytes.insert(bytes.end(), value.begin(), value.end());
  return bytes;
}

void ValueSeeds(Seeds& seeds) {
  const stored::CivilTime t = stored::ParseCivilTime("2021-05-06 07:08:09");
  const Bytes xml = XmlValueBuilder().Start("a").Attribute("x", "1").Text("t").End().Build();
  const std::vector<std::vector<uint8_t>> values = {
      ValueSeed(0, 8, 19, 0, 0, stored::Bigint(-1234567890123)),
      ValueSeed(1, 4, 0, 0, 0, {1, 2, 3, 4}),
      ValueSeed(2, 1, 1, 0, 0, {0x05}),
      ValueSeed(2, 1, 1, 0, 0x48, {0x05}),
      ValueSeed(3, 5, 0, 0, 0, stored::Ansi("abc\xe9 ")),
      ValueSeed(4, 8, 23, 3, 0, stored::Datetime(t)),
      ValueSeed(5, 3, 10, 0, 0, stored::Date(t)),
      ValueSeed(6, 5, 16, 7, 0, stored::Time(t.TimeUnits(7), 5)),
      ValueSeed(7, 8, 27, 7, 0, stored::Datetime2(t.TimeUnits(7), 5, static_cast<uint32_t>(t.DayNumber()))),
      ValueSeed(8, 10, 34, 7, 0,
                stored::Datetimeoffset(t.TimeUnits(7), 5, static_cast<uint32_t>(t.DayNumber()), -90)),
      ValueSeed(9, 4, 10, 0, 0, stored::Int(-7)),
      ValueSeed(10, 8, 0, 0, 0, Utf16Le("abcd")),
      ValueSeed(11, 40, 0, 0, 0, Utf16Le("h\xc3\xa9llo \xf0\x9f\x98\x80")),
      ValueSeed(13, 2, 5, 0, 0, stored::Smallint(-300)),
      ValueSeed(14, 1, 3, 0, 0, stored::Tinyint(200)),
      ValueSeed(15, 16, 0, 0, 0, stored::Guid("00112233-4455-6677-8899-AABBCCDDEEFF")),
      ValueSeed(16, -1, 0, 0, 0, {0xDE, 0xAD, 0xBE, 0xEF}),
      ValueSeed(17, 20, 0, 0, 2, stored::Ansi("text")),
      ValueSeed(20, 8016, 0, 0, 0, stored::Variant(56, {}, stored::Int(5))),
      ValueSeed(21, 8, 19, 4, 0, stored::Money(123456789)),
      ValueSeed(22, 8, 53, 0, 0, stored::Float(3.25e-7)),
      ValueSeed(23, 9, 18, 4, 0, stored::Decimal(false, 123456789, 9)),
      ValueSeed(24, 17, 38, 10, 0, stored::Decimal(true, static_cast<unsigned __int128>(1) << 100, 17)),
      ValueSeed(26, 16, 0, 0, 1, stored::Ansi("0123456789abcdef")),
      ValueSeed(27, 4, 16, 0, 0, stored::Smalldatetime(t)),
      ValueSeed(28, 4, 24, 0, 0, stored::Real(-1.5f)),
      ValueSeed(29, 4, 10, 4, 0, stored::Smallmoney(-123)),
      ValueSeed(30, 8, 0, 0, 0, stored::Bigint(77)),
      ValueSeed(31, 892, 0, 0, 0, {0x58}),
      ValueSeed(34, -1, 0, 0, 0, xml),
  };
  for (const auto& value : values) seeds.Add("value", value);

  seeds.Add("sql_variant", Prefixed({0}, stored::Variant(56, {}, stored::Int(5))));
  seeds.Add("sql_variant", Prefixed({0}, stored::Variant(106, {18, 2}, stored::Decimal(true, 12345, 9))));
  seeds.Add("sql_variant", Prefixed({1}, stored::Variant(167, {0x09, 0x04, 0xD0, 0x00, 20, 0}, stored::Ansi("abc"))));
  seeds.Add("sql_variant", Prefixed({0}, stored::Variant(231, {0x09, 0x04, 0xD0, 0x00, 40, 0}, Utf16Le("uni"))));
  seeds.Add("sql_variant", Prefixed({2}, stored::Variant(61, {}, stored::Datetime(t))));
  seeds.Add("sql_variant", Prefixed({0}, stored::Variant(42, {7}, stored::Datetime2(t.TimeUnits(7), 5, 1000))));
  seeds.Add("sql_variant", Prefixed({0}, stored::Variant(165, {8, 0}, {1, 2, 3})));
}

void XmlSeeds(Seeds& seeds) {
  seeds.Add("xml", XmlValueBuilder().Start("root").Attribute("id", "7").Start("item").Text("a & b").End().Build());
  seeds.Add("xml", XmlValueBuilder().Text("fragment").Start("e").End().Start("e").Text("x").End().Build());
  // A comment, a processing instruction and CDATA after an element.
  seeds.Add("xml", XmlValueBuilder()
                       .Start("doc")
                       .Raw({0xF3})
                       .Raw(XmlValueBuilder::TextData("note"))
                       .Raw({0xF2})
                       .Raw(XmlValueBuilder::TextData("<raw>"))
                       .Raw({0xF1})
                       .End()
                       .Build());
  // A namespaced element: name definitions, then EF uri prefix local.
  Bytes ns = XmlValueBuilder().Build();
  for (const char* name : {"urn:x", "p", "local"}) {
    ns.push_back(0xF0);
    const Bytes text = XmlValueBuilder::TextData(name);
    ns.insert(ns.end(), text.begin(), text.end());
  }
  for (uint8_t b : {0xEF, 0x01, 0x02, 0x03, 0xF8, 0x01, 0xF7}) ns.push_back(b);
  seeds.Add("xml", ns);
}

void ScsuSeeds(Seeds& seeds) {
  // Plain ASCII; a quoted character from window 1; a switch to Unicode mode
  // with a surrogate pair; a window defined at U+3040 (hiragana) and used.
  seeds.Add("scsu", {'h', 'e', 'l', 'l', 'o'});
  seeds.Add("scsu", {0x02, 0x41, 'a', 0x01, 0x7F});
  seeds.Add("scsu", {0x0F, 0x00, 0x41, 0xD8, 0x3D, 0xDE, 0x00, 0xE0, 0x41});
  seeds.Add("scsu", {0x19, 0x88, 0x82, 0x84, 0x86, 0x0B, 0x01, 0x02, 0x80});
  seeds.Add("scsu", {0x0E, 0x30, 0x42, 0x12, 0x9C, 0xBE, 0xC1});
}

void BootAndAllocationSeeds(Seeds& seeds, const DemoPages& demo) {
  seeds.Add("boot_page", PageBytes(demo.Page(kNominalBootPageIndex)));
  for (size_t i = 16; i < demo.count; ++i) {
    if (demo.Object(i) != 7) continue;
    std::vector<uint8_t> both = PageBytes(demo.Page(kNominalBootPageIndex));
    both.insert(both.end(), demo.Page(i).begin(), demo.Page(i).end());
    seeds.Add("boot_page", both);
    break;
  }
  seeds.Add("allocation", Prefixed({0}, demo.Page(2)));
  seeds.Add("allocation", Prefixed({0}, demo.Page(3)));
  int iam = 0;
  for (size_t i = 0; i < demo.count && iam < 3; ++i) {
    if (demo.Type(i) != kPageTypeIam) continue;
    seeds.Add("allocation", Prefixed({static_cast<uint8_t>(1 | (iam << 1))}, demo.Page(i)));
    ++iam;
  }
}

void SnapshotSeeds(Seeds& seeds, const std::string& demo_path) {
  CDatabaseFile file;
  if (!file.Open(demo_path, nullptr)) return;
  SnapshotHeader header;
  header.dataPath = "C:\\data\\WSS_Content_Demo.mdf";
  seeds.Add("snapshot", EncodeSnapshot(header, file.systemPages(), {}, {}));
  header.autoDetectCollation = false;
  header.manualCollationId = 53256;
  header.showDeletedRecords = true;
  seeds.Add("snapshot", EncodeSnapshot(header, file.systemPages(), file.dataPages(), file.iamPages()));
  seeds.Add("snapshot", EncodeSnapshot(SnapshotHeader{}, {}, {}, {}));
}

// Text pages at page 2 of the large-value target's file: a small root, data
// nodes, an internal node and a large root linking them.
void LobSeeds(Seeds& seeds) {
  const PageAddress here{1, 2};
  const PageImage page = PageBuilder(3, 0x7FFF0001, 2)
                             .AddRecord(SmallRootRecord(stored::Ansi("small root value")))
                             .AddRecord(DataNodeRecord(Utf16Le("first data node ")))
                             .AddRecord(DataNodeRecord(Utf16Le("second data node")))
                             .AddRecord(InternalNodeRecord({{here, 1, 32}, {here, 2, 64}}))
                             .AddRecord(LargeRootRecord({{here, 1, 32}, {here, 3, 64}}))
                             .Build();
  auto seed = [&](uint8_t flags, const Bytes& reference) {
    std::vector<uint8_t> bytes = {flags, static_cast<uint8_t>(reference.size())};
    bytes.insert(bytes.end(), reference.begin(), reference.end());
    bytes.insert(bytes.end(), page.bytes().begin(), page.bytes().end());
    seeds.Add("lob", bytes);
  };
  seed(0x08, TextPointer({here, 0}));
  seed(0x0A, TextPointer({here, 4}));
  seed(0x09, TextPointer({here, 3}));
  seed(0x02, InRowRoot({{here, 1, 32}, {here, 2, 32}}));
  seed(0x12, InRowRoot({{here, 4, 96}}));
  seed(0x11, InRowRoot({{here, 3, 96}}));
}

void DatabaseSeeds(Seeds& seeds, const std::string& demo_path) {
  const CatalogBase& catalog = CatalogBaseDatabase();
  const auto system = std::span<const uint8_t>(catalog.bytes)
                          .subspan(catalog.firstPage * kPageSize, (catalog.endPage - catalog.firstPage) * kPageSize);
  seeds.Add("catalog", {system.begin(), system.end()});
  seeds.Add("catalog", {system.begin(), system.begin() + kPageSize});
  const SharePointBase& sharepoint = SharePointBaseDatabase(demo_path);
  if (!sharepoint.loaded) {
    std::fprintf(stderr, "cannot load the demo database's content tables\n");
    return;
  }
  std::vector<uint8_t> pages;
  for (int32_t page : sharepoint.pages) {
    const auto bytes = std::span<const uint8_t>(sharepoint.bytes).subspan(static_cast<size_t>(page) * kPageSize, kPageSize);
    pages.insert(pages.end(), bytes.begin(), bytes.end());
  }
  seeds.Add("sharepoint", pages);
  pages.push_back(0);  // odd size: Advanced Mode
  seeds.Add("sharepoint", pages);
  seeds.Add("sharepoint", {pages.begin(), pages.begin() + kPageSize});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fuzz_write_seeds OUT DEMO.mdf\n");
    return 2;
  }
  DemoPages demo;
  demo.bytes = quill::fuzz::ReadWholeFile(argv[2]);
  demo.count = demo.bytes.size() / kPageSize;
  if (demo.count < 16) {
    std::fprintf(stderr, "cannot read the demo database %s\n", argv[2]);
    return 1;
  }
  Seeds seeds(argv[1]);
  PageHeaderSeeds(seeds, demo);
  RecordPageSeeds(seeds, demo);
  ValueSeeds(seeds);
  XmlSeeds(seeds);
  ScsuSeeds(seeds);
  BootAndAllocationSeeds(seeds, demo);
  SnapshotSeeds(seeds, argv[2]);
  LobSeeds(seeds);
  DatabaseSeeds(seeds, argv[2]);
  return seeds.ok() ? 0 : 1;
}
