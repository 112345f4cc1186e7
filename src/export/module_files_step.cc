#include "export/module_files_step.h"

#include <filesystem>
#include <system_error>

#include "export/byte_sink.h"
#include "export/table_exporter.h"
#include "export/table_source.h"

namespace quill {

namespace {

class ModuleFilesStep : public DatabaseExportStep {
 public:
  explicit ModuleFilesStep(std::set<std::string> names) : names_(std::move(names)) {}

  void Run(TableSource& source, const std::string& folder, StopToken stop, ProgressSink& progress,
           DatabaseExportResult& result) override {
    const std::filesystem::path modules = std::filesystem::path(folder) / kModulesFolder;
    bool made = false;
    for (const ExportModule& module : source.Modules()) {
      if (!names_.empty() && names_.count(module.name) == 0) continue;
      if (stop.stopRequested()) {
        result.stopped = true;
        return;
      }
      std::error_code ec;
      if (!made && !std::filesystem::create_directories(modules, ec) && ec) {
        result.failures.push_back("modules: cannot create " + modules.string() + ": " + ec.message());
        return;
      }
      made = true;
      ExportTableShape naming;
      naming.schema = module.schema;
      naming.name = module.name;
      const std::string name = TableFileStem(naming) + ".sql";
      progress.StatusText("Exporting " + module.schema + "." + module.name);
      FileSink sink;
      if (!sink.Create((modules / name).string())) {
        result.failures.push_back(module.name + ": " + sink.error());
        continue;
      }
      std::string text = module.definition;
      if (!text.empty() && text.back() != '\n') text += "\r\n";
      text += "GO\r\n";
      if (!sink.Write(text.data(), text.size()) || !sink.Close()) {
        result.failures.push_back(module.name + ": " + sink.error());
        sink.Remove();
        continue;
      }
      result.files.push_back((std::filesystem::path(kModulesFolder) / name).string());
    }
  }

 private:
  std::set<std::string> names_;
};

}  // namespace

std::unique_ptr<DatabaseExportStep> MakeModuleFilesStep(std::set<std::string> names) {
  return std::make_unique<ModuleFilesStep>(std::move(names));
}

}  // namespace quill
