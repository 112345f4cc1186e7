#include "export/document_export_step.h"

#include <filesystem>
#include <string>

#include "common/printf_text.h"
#include "export/document_extractor.h"
#include "export/manifest_writer.h"
#include "export/table_source.h"

namespace quill {

namespace {

class DocumentExportStep : public DatabaseExportStep {
 public:
  explicit DocumentExportStep(const DocumentExportChoices& choices) : choices_(choices) {}

  void Run(TableSource& source, const std::string& folder, StopToken stop, ProgressSink& progress,
           DatabaseExportResult& result) override {
    ScanContext& context = source.context();
    if (!context.catalog || !context.fileSet) return;
    ReadOptions read = context.options;
    read.parse.stop = stop;
    const std::filesystem::path documents = std::filesystem::path(folder) / kDocumentsFolder;
    DocumentExtractOptions options;
    options.outputFolder = documents.string();
    options.deleted = choices_.deleted;
    options.versions = choices_.versions;
    options.onlyPaths = choices_.onlyPaths;
    options.threads = choices_.threads;
    const DocumentExtractSummary summary =
        ExtractDocuments(*context.catalog, *context.fileSet, read, options, progress);
    std::error_code ec;
    if (!summary.contentDatabase) {
      // Nothing to extract: leave no empty folder behind.
      if (summary.started) {
        std::filesystem::remove(documents / kManifestFileName, ec);
        std::filesystem::remove(documents, ec);
      }
      return;
    }
    if (!summary.started) {
      result.failures.push_back("documents: " + summary.error);
      return;
    }
    result.files.push_back((std::filesystem::path(kDocumentsFolder) / kManifestFileName).string());
    if (summary.failed > 0) {
      result.failures.push_back(PrintfText("documents: %llu damaged or incomplete, see %s/%s",
                                           static_cast<unsigned long long>(summary.failed), kDocumentsFolder,
                                           kManifestFileName));
    }
    if (!summary.error.empty()) result.failures.push_back("documents: " + summary.error);
    if (summary.stopped) result.stopped = true;
  }

 private:
  DocumentExportChoices choices_;
};

}  // namespace

std::unique_ptr<DatabaseExportStep> MakeDocumentExportStep(const DocumentExportChoices& choices) {
  return std::make_unique<DocumentExportStep>(choices);
}

}  // namespace quill
