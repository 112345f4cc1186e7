// Document extraction: the demo databases' documents written out and read
// back (bytes and SHA-256 against the hashes the content recipe gives),
// drafts, versions, deleted and recycled documents, ghosted pages and
// remote blobs in the manifest; damaged content, unsafe names and a stop
// request on small databases of their own.
#include "export/document_extractor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "catalog_builder.h"
#include "export/extracted_file.h"
#include "export/manifest_writer.h"
#include "export/safe_file_names.h"
#include "export/sha256_digest.h"
#include "scan/application_state.h"
#include "scan/scan_context.h"
#include "support/run_cli.h"
#include "support/temp_dir.h"
#include "table_row_builder.h"
#include "text_page_writer.h"
#include "value_bytes.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using namespace fixture;

// manifest.csv read back: one map of column name to field per line.
std::vector<std::map<std::string, std::string>> ReadManifest(const std::string& folder) {
  std::ifstream in(folder + "/" + kManifestFileName, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') fields.back() += text[++i];
      else if (c == '"') quoted = false;
      else fields.back() += c;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
      records.push_back(fields);
      fields.assign(1, "");
    } else {
      fields.back() += c;
    }
  }
  std::vector<std::map<std::string, std::string>> lines;
  if (records.empty()) return lines;
  for (size_t r = 1; r < records.size(); ++r) {
    std::map<std::string, std::string> line;
    for (size_t f = 0; f < records[0].size() && f < records[r].size(); ++f) line[records[0][f]] = records[r][f];
    lines.push_back(line);
  }
  return lines;
}

std::string FileSha256(const std::string& path) {
  Sha256Digest digest;
  digest.Update(testing::ReadBytes(path));
  return digest.FinishHex();
}

// Opens `path` as a scan does, with the state's options.
bool OpenContext(const std::string& path, ApplicationState& state, ScanContext& context) {
  NullProgressSink none;
  return OpenScanContext(path, context, state.readOptions(), state.collationChoice(), state.abortRequested, none);
}

class Extraction {
 public:
  Extraction(const std::string& database, const std::string& out, DocumentExtractOptions options,
             ProgressSink* progress = nullptr) {
    NullProgressSink none;
    ScanContext context;
    opened_ = OpenContext(database, state_, context);
    if (!opened_) return;
    options.outputFolder = out;
    summary_ = ExtractDocuments(*context.catalog, *context.fileSet, context.options, options,
                                progress ? *progress : none);
    lines_ = ReadManifest(out);
    for (const auto& line : lines_) bySource_[line.at("source") + "|" + line.at("note")] = line;
  }
  bool opened() const { return opened_; }
  const DocumentExtractSummary& summary() const { return summary_; }
  const std::vector<std::map<std::string, std::string>>& lines() const { return lines_; }
  // The manifest line whose path is `path`.
  std::map<std::string, std::string> ByPath(const std::string& path) const {
    for (const auto& line : lines_) {
      if (line.at("path") == path) return line;
    }
    return {};
  }
  std::map<std::string, std::string> BySource(const std::string& source) const {
    for (const auto& line : lines_) {
      if (line.at("source") == source) return line;
    }
    return {};
  }
  ApplicationState& state() { return state_; }

 private:
  ApplicationState state_;
  bool opened_ = false;
  DocumentExtractSummary summary_;
  std::vector<std::map<std::string, std::string>> lines_;
  std::map<std::string, std::map<std::string, std::string>> bySource_;
};

// SHA-256 of every stored content version the content recipe gives.
struct Expected {
  const char* path;
  const char* sha256;
};
constexpr Expected kPublished[] = {
    {"Shared Documents/Welcome.docx", "ce9a17895418fc1c1d3272f226e39dc51c7f1894b19beb76e76b21d62529dcb9"},
    {"Shared Documents/Policies/Code of Conduct.pdf", "2227c6271979d7dec7ffb07005aa8b46580754f81e02c70500c3777a8efb0fc5"},
    {"Shared Documents/Policies/HR/Leave Policy.docx", "402aaf62993c03ce61ac887b0660a382ce3d972b4d747f1b8d56258c7d988e98"},
    {"Shared Documents/Policies/HR/Überstunden-Regelung.docx", "4120f6c842415368b14624c813255701e091d669d6e24a3b0fb1f4c163024417"},
    {"Shared Documents/Policies/IT/Password Standard.docx", "d62a15a78bb3d611ffc307b7254f1898ffd86308d1891466ca66350864631440"},
    {"Shared Documents/Policies/IT/Password Standard (checked out).docx", "28e8526ca2957327cdbbd1fd2a28cfacd4c930237d69f95f393873a20654420a"},
    {"Shared Documents/Reports/2020/Annual Summary.pptx", "e6d81468071e77ce1ed62ed1bb6ed0b79f2704232f1133ec6a0e2bc69f739875"},
    {"Shared Documents/Reports/2020/Q4/Notes.txt", "eee1364a2fac863446b48d421a05156e0ba88a76fd46bfcca54bd4799d396185"},
    {"Shared Documents/Reports/2020/Q4/Empty Placeholder.txt", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"SitePages/Team Wiki.aspx", "e9dd7a42b341c2a91f11895f221cd0b00488042e81036be02d3e23b2e4430b72"},
    {"sites/projects/Shared Documents/Minutes/2020-03-11 Steering.docx", "0c4030709a9bcfd0aa758ff5770b7810c43f2a6135047432cf3bfd0f7e93e34e"},
    {"sites/projects/Shared Documents/Minutes/2020-03-11 Steering (draft).docx", "39a15c91b1b32657d19bde0bf710b53d39cfc359657e7ded2ed23c79875866cb"},
    {"sites/projects/Shared Documents/Project Charter.docx", "ab03b59120954a58963ac8a5ec9fef10c55c31c26590cf84c61ba6bb3c1fea31"},
    {"sites/projects/Shared Documents/Contracts/2019/Vendor A - MSA.pdf", "8f1486e6ee720f76395da03a2225200a898f42395b9ed5fe84a77bb26caa6aa3"},
    {"sites/projects/apollo/Lists/Tasks/Attachments/2/stakeholder-map.png", "2d922e4847eee78d2969f0a0ee45bf36eb5223e032fe5d43f788705a7c165c05"},
    {"sites/projects/apollo/Design Specs/設計メモ.txt", "39feeecfb2c7d2303c9da01b719e0d3e126141322d92b4dffce2b9a28804977b"},
};
constexpr Expected kVersions[] = {
    {"Shared Documents/Policies/HR/Leave Policy (version 1.0).docx", "c219efaf43142bc32e3176e142f8f2e70e927f00647822cdcd4a4b4e4482930c"},
    {"Shared Documents/Policies/HR/Leave Policy (version 2.0).docx", "a0ad2122791d02a210c7ff6a94a34bc2197fe1e5169240586ba67d062510453e"},
};
constexpr Expected kRecycled = {"_deleted/Shared Documents/Reports/Old Draft.docx",
                                "0df0f052f692c86ebcadd539a56bd9ae44c9e32f57485875572c31f802e7418b"};

// The recipe bytes of the deleted demo document 141 (a .docx, version 1).
std::vector<uint8_t> RetiredPolicyBytes() {
  std::vector<uint8_t> bytes(9300);
  const uint8_t header[] = {'P', 'K', 3, 4};
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = i < 4 ? header[i] : static_cast<uint8_t>((i * 31 + 141 * 7 + 13) % 251);
  }
  return bytes;
}

void ExpectWritten(const Extraction& run, const std::string& out, const Expected& expected) {
  SCOPED_TRACE(expected.path);
  const auto line = run.ByPath(expected.path);
  ASSERT_FALSE(line.empty());
  EXPECT_EQ(line.at("status"), kStatusWritten);
  EXPECT_EQ(line.at("sha256"), expected.sha256);
  EXPECT_EQ(FileSha256(out + "/" + expected.path), expected.sha256);
  EXPECT_EQ(std::to_string(fs::file_size(fs::u8path(out + "/" + expected.path))), line.at("size"));
}

class DemoExtractionTest : public ::testing::TestWithParam<const char*> {};

TEST_P(DemoExtractionTest, EveryStoredDocumentRoundTripsWithDraftsVersionsAndDeletedOnes) {
  testing::TempDir dir;
  const std::string out = dir.File("out");
  Extraction run(GetParam(), out, {.outputFolder = "", .deleted = true, .versions = true, .onlyPaths = {}});
  ASSERT_TRUE(run.opened());
  ASSERT_TRUE(run.summary().started) << run.summary().error;
  EXPECT_TRUE(run.summary().error.empty()) << run.summary().error;
  EXPECT_FALSE(run.summary().stopped);
  EXPECT_EQ(run.summary().failed, 0u);
  for (const Expected& expected : kPublished) ExpectWritten(run, out, expected);
  for (const Expected& expected : kVersions) ExpectWritten(run, out, expected);
  ExpectWritten(run, out, kRecycled);

  // Every file on disk is in the manifest with its size and hash, and the
  // other way round.
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(out)) {
    if (!entry.is_regular_file() || entry.path().filename() == kManifestFileName) continue;
    ++files;
    const std::string relative = fs::relative(entry.path(), out).string();
    const auto line = run.ByPath(relative);
    ASSERT_FALSE(line.empty()) << relative;
    EXPECT_EQ(line.at("sha256"), FileSha256(entry.path().string())) << relative;
  }
  EXPECT_EQ(files, run.summary().written);

  // 38 stored contents of the published rows and their drafts, two
  // versions, the recycled one and the deleted one.
  EXPECT_EQ(run.summary().written, 42u);
  const auto draft = run.BySource("sites/projects/Shared Documents/Project Charter.docx");
  EXPECT_NE(draft.at("note").find("never checked in"), std::string::npos) << draft.at("note");

  const auto remote = run.BySource("sites/projects/Shared Documents/Contracts/2020/Vendor A - Renewal.pdf");
  EXPECT_EQ(remote.at("status"), kStatusRemoteBlob);
  EXPECT_EQ(remote.at("path"), "");
  EXPECT_EQ(remote.at("size"), "356002");
  EXPECT_FALSE(fs::exists(fs::u8path(out + "/sites/projects/Shared Documents/Contracts/2020/Vendor A - Renewal.pdf")));
  const auto ghosted = run.BySource("SitePages/Home.aspx");
  EXPECT_EQ(ghosted.at("status"), kStatusGhosted);
  EXPECT_NE(ghosted.at("reason").find("wkpstd.aspx"), std::string::npos);
  EXPECT_TRUE(run.BySource("Lists/Announcements/1_.000").empty());  // placeholders are no documents

  const std::string retired = out + "/_deleted/Shared Documents/Policies/IT/Retired Policy.docx";
  EXPECT_EQ(testing::ReadBytes(retired), RetiredPolicyBytes());

  // Times: the stored modification time, in UTC.
  struct stat info {};
  ASSERT_EQ(::stat((out + "/Shared Documents/Welcome.docx").c_str(), &info), 0);
  EXPECT_EQ(info.st_mtime, 1551780131);  // 2019-03-05 10:02:11 UTC
  EXPECT_EQ(run.ByPath("Shared Documents/Welcome.docx").at("modified"), "2019-03-05T10:02:11Z");
}

// A front end's picked documents: only those, each with every row it has.
TEST_P(DemoExtractionTest, OnlyThePickedPathsAreExtracted) {
  testing::TempDir dir;
  Extraction all(GetParam(), dir.File("all"), {});
  ASSERT_TRUE(all.summary().started) << all.summary().error;
  std::set<std::string> picked;
  size_t expected_lines = 0;
  for (const auto& line : all.lines()) {
    if (picked.size() < 2 && line.at("status") == "written") picked.insert(line.at("source"));
  }
  ASSERT_EQ(picked.size(), 2u);
  for (const auto& line : all.lines()) expected_lines += picked.count(line.at("source"));

  DocumentExtractOptions options;
  options.onlyPaths = picked;
  Extraction some(GetParam(), dir.File("some"), options);
  ASSERT_TRUE(some.summary().started) << some.summary().error;
  std::set<std::string> seen;
  for (const auto& line : some.lines()) seen.insert(line.at("source"));
  EXPECT_EQ(seen, picked);
  EXPECT_EQ(some.lines().size(), expected_lines);
}

INSTANTIATE_TEST_SUITE_P(Layouts, DemoExtractionTest,
                         ::testing::Values(QUILLSTONE_DEMO_DATABASE, QUILLSTONE_DEMO_DATABASE_2013));

TEST(DemoExtraction, WithoutOptionsOnlyLiveCurrentDocuments) {
  testing::TempDir dir;
  const std::string out = dir.File("out");
  Extraction run(QUILLSTONE_DEMO_DATABASE, out, {});
  ASSERT_TRUE(run.summary().started);
  EXPECT_FALSE(fs::exists(out + "/_deleted"));
  EXPECT_FALSE(fs::exists(out + "/Shared Documents/Policies/HR/Leave Policy (version 1.0).docx"));
  EXPECT_TRUE(run.BySource("Shared Documents/Reports/Old Draft.docx").empty());
  EXPECT_EQ(run.summary().written, 38u);
  // A second run into the same folder does not replace the manifest.
  Extraction again(QUILLSTONE_DEMO_DATABASE, out, {});
  EXPECT_FALSE(again.summary().started);
}

// A small content database of text columns (the reader goes by the cell
// texts) and a stream table with real varbinary(max) content.
class SmallDatabase {
 public:
  struct Doc {
    std::string id;
    std::string dir;
    std::string leaf;
    int64_t size;
    // nullopt: no stream row; an empty optional inside: NULL content.
    std::optional<std::optional<std::vector<uint8_t>>> content;
    bool lobPagesLost = false;  // the content's large-value pages are not written
  };

  explicit SmallDatabase(const std::vector<Doc>& docs) {
    std::vector<std::vector<std::optional<std::string>>> rows;
    for (const Doc& doc : docs) {
      rows.push_back({doc.id, "S1", doc.dir, doc.leaf, "1", "0", std::to_string(doc.size), "256", "512",
                      "2020-01-02 03:04:05", "2021-05-06 07:08:09", "0x"});
    }
    TableDescription all_docs = TextTable("AllDocs",
                                   {"Id", "SiteId", "DirName", "LeafName", "Level", "Type", "Size", "InternalVersion",
                                    "UIVersion", "TimeCreated", "TimeLastModified", "DeleteTransactionId"},
                                   rows);
    TableDescription streams{.name = "AllDocStreams"};
    streams.columns = {Column("Id", "nvarchar", 100), Column("SiteId", "nvarchar", 100),
                       Column("InternalVersion", "int"), Column("Content", "varbinary", -1)};
    // Large values after the catalog's pages: the first layout tells where.
    auto describe = [&](TextPageWriter& lobs) {
      DatabaseDescription description;
      description.tables = {all_docs, streams};
      for (const Doc& doc : docs) {
        if (!doc.content) continue;
        CellValue content = CellValue::Null();
        if (*doc.content) {
          const Bytes bytes(doc.content->value().begin(), doc.content->value().end());
          content = bytes.size() > 1000 ? CellValue::Reference(lobs.StoreInRowRoot(bytes)) : CellValue::Of(bytes);
        }
        description.tables[1].rows.push_back(TableRowRecord(
            description.tables[1].columns, {CellValue::Of(Utf16Le(doc.id)), CellValue::Of(Utf16Le("S1")),
                                     CellValue::Of(stored::LittleEndian(256, 4)), content}));
      }
      return description;
    };
    TextPageWriter provisional(0, 0x7FFF0001);
    const int32_t end = BuildCatalogDatabase(describe(provisional)).pageCount();
    TextPageWriter lobs(end, 0x7FFF0001);
    DataFileBuilder file = BuildCatalogDatabase(describe(lobs));
    bool lost = false;
    for (const Doc& doc : docs) lost = lost || doc.lobPagesLost;
    file.Resize(lobs.endPage());
    if (!lost) lobs.WriteTo(file);
    path_ = dir_.File("content.mdf");
    written_ = file.WriteTo(path_);
  }
  const std::string& path() const { return path_; }
  bool written() const { return written_; }
  std::string Out() const { return dir_.File("out"); }

 private:
  testing::TempDir dir_;
  std::string path_;
  bool written_ = false;
};

std::vector<uint8_t> Filler(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + seed);
  return bytes;
}

TEST(DocumentExtraction, MissingOrCutContentIsReportedNeverWrittenShort) {
  const auto small = Filler(500, 1);
  const auto large = Filler(30000, 2);
  SmallDatabase db({
      {"D1", "Docs", "whole.bin", 500, small},
      {"D2", "Docs", "cut.bin", 900, small},              // the row says 900, 500 are stored
      {"D3", "Docs", "null.bin", 10, std::optional<std::vector<uint8_t>>()},
      {"D4", "Docs", "none.bin", 10, std::nullopt},       // no stream row, no template
      {"D5", "Docs", "large.bin", 30000, large},
  });
  ASSERT_TRUE(db.written());
  Extraction run(db.path(), db.Out(), {});
  ASSERT_TRUE(run.summary().started) << run.summary().error;
  EXPECT_EQ(testing::ReadBytes(db.Out() + "/Docs/whole.bin"), small);
  EXPECT_EQ(testing::ReadBytes(db.Out() + "/Docs/large.bin"), large);
  struct Case {
    const char* source;
    const char* status;
    const char* reason;
  };
  for (const Case& c : {Case{"Docs/cut.bin", kStatusDamaged, "content cut: 500 of 900 bytes"},
                        Case{"Docs/null.bin", kStatusDamaged, "content is NULL"},
                        Case{"Docs/none.bin", kStatusDamaged, "no stream row"}}) {
    SCOPED_TRACE(c.source);
    const auto line = run.BySource(c.source);
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.at("status"), c.status);
    EXPECT_NE(line.at("reason").find(c.reason), std::string::npos) << line.at("reason");
    EXPECT_EQ(line.at("path"), "");
    EXPECT_FALSE(fs::exists(db.Out() + "/" + c.source));
  }
  EXPECT_EQ(run.summary().written, 2u);
  EXPECT_EQ(run.summary().failed, 3u);
}

TEST(DocumentExtraction, LostLargeValuePagesLeaveNoTruncatedFile) {
  SmallDatabase db({{"D1", "Docs", "large.bin", 30000, Filler(30000, 3), true}});
  ASSERT_TRUE(db.written());
  Extraction run(db.path(), db.Out(), {});
  const auto line = run.BySource("Docs/large.bin");
  ASSERT_FALSE(line.empty());
  EXPECT_EQ(line.at("status"), kStatusDamaged);
  // The reason names the first node that could not be read.
  EXPECT_EQ(line.at("reason"), "content cut: 0 of 30000 bytes read; page 1:64, slot 0: the text page cannot be read");
  EXPECT_FALSE(fs::exists(db.Out() + "/Docs/large.bin"));
}

TEST(DocumentExtraction, UnsafeAndClashingNamesStayInsideTheFolder) {
  const auto bytes = Filler(64, 4);
  const std::string long_name = std::string(300, 'n') + ".docx";
  SmallDatabase db({
      {"D1", "../../escape", "passwd", 64, bytes},
      {"D2", "/abs/olute", "a/b\\c.txt", 64, bytes},
      {"D3", "Docs", std::string("tab\there\x01.txt"), 64, bytes},
      {"D4", "Docs", long_name, 64, bytes},
      {"D5", "Docs", "Report.docx", 64, bytes},
      {"D6", "Docs", "report.docx", 64, bytes},
      {"D7", "Docs", "CON.txt", 64, bytes},
      {"D8", "Docs", "..", 64, bytes},
  });
  ASSERT_TRUE(db.written());
  Extraction run(db.path(), db.Out(), {});
  ASSERT_EQ(run.summary().written, 8u);
  const fs::path root = fs::canonical(db.Out());
  std::set<std::string> paths;
  for (const auto& line : run.lines()) {
    const std::string path = line.at("path");
    paths.insert(path);
    const fs::path full = fs::canonical(root / fs::u8path(path));
    EXPECT_EQ(full.string().rfind(root.string() + "/", 0), 0u) << path;
    for (const auto& part : fs::u8path(path)) EXPECT_LE(part.string().size(), 255u) << path;
    EXPECT_EQ(path.find_first_of("\\:*?\"<>|\t\x01"), std::string::npos) << path;
  }
  EXPECT_EQ(paths.size(), 8u);
  for (const char* expected : {"__/__/escape/passwd", "abs/olute/a_b_c.txt", "Docs/tab_here_.txt", "Docs/Report.docx",
                               "Docs/report (2).docx", "Docs/_CON.txt", "Docs/__"}) {
    EXPECT_EQ(paths.count(expected), 1u) << expected << " among " << ::testing::PrintToString(paths);
  }
  const std::string cut = "Docs/" + std::string(kMaxNameBytes - 5, 'n') + ".docx";
  EXPECT_EQ(paths.count(cut), 1u);
}

TEST(SafeFileNames, Components) {
  struct Case {
    std::string stored;
    std::string safe;
  };
  for (const Case& c : std::vector<Case>{{"", "_"},
                                         {".", "_"},
                                         {"..", "__"},
                                         {"a:b*c?", "a_b_c_"},
                                         {"name. ", "name__"},
                                         {"nul", "_nul"},
                                         {"lpt9.log", "_lpt9.log"},
                                         {"COM10", "COM10"},
                                         {"設計メモ.txt", "設計メモ.txt"}}) {
    EXPECT_EQ(SafeNameComponent(c.stored), c.safe) << c.stored;
  }
  // A cut never splits a UTF-8 sequence and keeps the extension.
  std::string wide;
  for (int i = 0; i < 100; ++i) wide += "メ";
  const std::string safe = SafeNameComponent(wide + ".txt");
  EXPECT_LE(safe.size(), kMaxNameBytes);
  EXPECT_TRUE(safe.ends_with("メ.txt")) << safe;
  EXPECT_EQ(MarkedName("Leave Policy.docx", "version 1.0"), "Leave Policy (version 1.0).docx");
  EXPECT_EQ(MarkedName("README", "2"), "README (2)");
}

TEST(SafeFileNames, AFileNeverTakesAFolderName) {
  SafePathSet paths;
  EXPECT_EQ(paths.Claim({"a", "b"}, "x.txt"), "a/b/x.txt");
  EXPECT_EQ(paths.Claim({"a"}, "B"), "a/B (2)");
  EXPECT_EQ(paths.Claim({"a", "b"}, "X.TXT"), "a/b/X (2).TXT");
  EXPECT_EQ(paths.Claim({"a", "b"}, "x.txt"), "a/b/x (3).txt");
}

// Raises the stop flag at the first progress report at or past `at` bytes
// (by default the end of the first document).
class StopAfterFirst final : public ProgressSink {
 public:
  explicit StopAfterFirst(StopSource* stop, uint64_t at = 1) : stop_(stop), at_(at) {}
  void ProgressRange(uint64_t) override {}
  void ProgressPos(uint64_t position) override {
    if (position >= at_ && !stop_->stopRequested()) {
      stop_->RequestStop();
      stoppedAt = position;
    }
  }
  void StatusText(const std::string&) override {}
  void ScanError(const std::string&) override {}
  uint64_t stoppedAt = 0;

 private:
  StopSource* stop_;
  uint64_t at_;
};

// On several threads, later documents may be copied before the stop is
// seen: they are removed, so that the folder holds what the manifest lists.
TEST(DocumentExtraction, StopKeepsTheDocumentsDoneAndTheirManifestLines) {
  for (unsigned threads : {1u, 3u}) {
    SCOPED_TRACE(threads);
    SmallDatabase db({{"D1", "Docs", "one.bin", 3000, Filler(3000, 5)},
                      {"D2", "Docs", "two.bin", 3000, Filler(3000, 6)},
                      {"D3", "Docs", "three.bin", 3000, Filler(3000, 7)}});
    ASSERT_TRUE(db.written());
    ApplicationState state;
    ScanContext context;
    ASSERT_TRUE(OpenContext(db.path(), state, context));
    StopAfterFirst stop(&state.abortRequested);
    DocumentExtractOptions options;
    options.outputFolder = db.Out();
    options.threads = threads;
    const auto summary = ExtractDocuments(*context.catalog, *context.fileSet, context.options, options, stop);
    EXPECT_TRUE(summary.stopped);
    EXPECT_EQ(summary.written, 1u);
    const auto lines = ReadManifest(db.Out());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].at("path"), "Docs/one.bin");
    EXPECT_TRUE(fs::exists(db.Out() + "/Docs/one.bin"));
    EXPECT_FALSE(fs::exists(db.Out() + "/Docs/two.bin"));
    EXPECT_FALSE(fs::exists(db.Out() + "/Docs/three.bin"));
  }
}

TEST(DocumentExtraction, StopWithinADocumentRemovesItsFile) {
  SmallDatabase db({{"D1", "Docs", "small.bin", 3000, Filler(3000, 5)},
                    {"D2", "Docs", "big.bin", 1 << 20, Filler(1 << 20, 6)}});
  ASSERT_TRUE(db.written());
  ApplicationState state;
  ScanContext context;
  ASSERT_TRUE(OpenContext(db.path(), state, context));
  // The first report inside the big document comes after 256 KiB of it.
  StopAfterFirst stop(&state.abortRequested, 3000 + 1);
  const auto summary =
      ExtractDocuments(*context.catalog, *context.fileSet, context.options, {.outputFolder = db.Out(), .deleted = false, .versions = false, .onlyPaths = {}}, stop);
  EXPECT_TRUE(summary.stopped);
  EXPECT_GT(stop.stoppedAt, 3000u);
  EXPECT_LT(stop.stoppedAt, 3000u + (1u << 20));
  const auto lines = ReadManifest(db.Out());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].at("path"), "Docs/small.bin");
  EXPECT_FALSE(fs::exists(db.Out() + "/Docs/big.bin"));
}

TEST(ExtractedFile, AnAbandonedOrFailedFileIsRemoved) {
  testing::TempDir dir;
  {
    ExtractedFile out;
    ASSERT_TRUE(out.Create(dir.File("sub/part.bin")));
    out.Write(Filler(3 << 20, 8));  // past the buffer: bytes reach the disk
    EXPECT_TRUE(fs::exists(dir.File("sub/part.bin")));
  }  // neither finished nor abandoned
  EXPECT_FALSE(fs::exists(dir.File("sub/part.bin")));
  ExtractedFile full;
  if (full.Create("/dev/full/x")) FAIL() << "created a file under /dev/full";
  ExtractedFile twice;
  ASSERT_TRUE(twice.Create(dir.File("same.bin")));
  ASSERT_TRUE(twice.Finish(nullptr));
  ExtractedFile again;
  EXPECT_FALSE(again.Create(dir.File("same.bin")));  // an existing file is never replaced
}

TEST(DocumentsCommand, ExtractWritesTheFolderAndRefusesANonEmptyOne) {
  testing::TempDir dir;
  std::string out, err;
  const std::string target = dir.File("docs");
  EXPECT_EQ(testing::RunCli("documents " + std::string(QUILLSTONE_DEMO_DATABASE) + " --extract " + target +
                                " --deleted --versions",
                            out, err),
            0)
      << err;
  EXPECT_NE(out.find("42 documents written"), std::string::npos) << out;
  EXPECT_TRUE(fs::exists(target + "/manifest.csv"));
  EXPECT_NE(testing::RunCli("documents " + std::string(QUILLSTONE_DEMO_DATABASE) + " --extract " + target, out, err),
            0);
  EXPECT_NE(err.find("not empty"), std::string::npos) << err;
}

}  // namespace
}  // namespace quill
