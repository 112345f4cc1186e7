// Documents copied on several threads: names are claimed and pieces chosen
// in document order, so the files and the manifest are the same on any
// number of threads, for both content database layouts.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "export/document_extractor.h"
#include "export/manifest_writer.h"
#include "scan/application_state.h"
#include "scan/scan_context.h"
#include "support/temp_dir.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

DocumentExtractSummary ExtractOn(const std::string& database, const std::string& out, unsigned threads) {
  ApplicationState state;
  ScanContext context;
  NullProgressSink none;
  if (!OpenScanContext(database, context, state.readOptions(), state.collationChoice(), state.abortRequested,
                       none)) {
    return {};
  }
  DocumentExtractOptions options;
  options.outputFolder = out;
  options.deleted = true;
  options.versions = true;
  options.threads = threads;
  return ExtractDocuments(*context.catalog, *context.fileSet, context.options, options, none);
}

size_t RegularFiles(const std::string& folder) {
  size_t count = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) count += entry.is_regular_file() ? 1 : 0;
  return count;
}

TEST(ParallelDocumentsTest, SameFilesAndManifestOnAnyNumberOfThreads) {
  for (const char* database : {QUILLSTONE_DEMO_DATABASE, QUILLSTONE_DEMO_DATABASE_2013}) {
    SCOPED_TRACE(database);
    testing::TempDir dir;
    const DocumentExtractSummary serial = ExtractOn(database, dir.File("one"), 1);
    const DocumentExtractSummary parallel = ExtractOn(database, dir.File("four"), 4);
    ASSERT_TRUE(serial.started && parallel.started);
    ASSERT_GT(serial.written, 30u);
    EXPECT_EQ(parallel.written, serial.written);
    EXPECT_EQ(parallel.bytes, serial.bytes);
    EXPECT_FALSE(parallel.stopped);
    EXPECT_EQ(testing::ReadBytes(dir.File("four/") + kManifestFileName),
              testing::ReadBytes(dir.File("one/") + kManifestFileName));
    for (const auto& entry : fs::recursive_directory_iterator(dir.File("one"))) {
      if (!entry.is_regular_file()) continue;
      const std::string relative = fs::relative(entry.path(), dir.File("one")).string();
      EXPECT_EQ(testing::ReadBytes(dir.File("four/") + relative), testing::ReadBytes(entry.path().string()))
          << relative;
    }
    EXPECT_EQ(RegularFiles(dir.File("four")), RegularFiles(dir.File("one")));
  }
}

}  // namespace
}  // namespace quill
