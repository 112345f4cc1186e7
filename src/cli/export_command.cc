#include "cli/export_command.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "cli/info_command.h"
#include "export/output_folder.h"
#include "scan/application_state.h"

namespace quill {

namespace fs = std::filesystem;

namespace {

// Per-file progress lines on stderr, redrawn together at most ten times a
// second.
class ProgressBoard {
 public:
  ProgressBoard(const std::vector<std::string>& paths, bool draw) : draw_(draw), lines_(paths.size()) {
    for (size_t i = 0; i < paths.size(); ++i) lines_[i].name = fs::path(paths[i]).filename().string();
  }
  ~ProgressBoard() { Draw(true); }

  void Set(size_t file, uint64_t position, uint64_t upper, const std::string* status) {
    if (!draw_) return;
    std::lock_guard lock(mutex_);
    Line& line = lines_[file];
    if (upper) line.upper = upper;
    line.position = position;
    if (status) line.status = *status;
    Draw(false);
  }

 private:
  struct Line {
    std::string name;
    std::string status;
    uint64_t upper = 0;
    uint64_t position = 0;
  };
  void Draw(bool final) {
    if (!draw_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!final && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    std::string text;
    if (drawn_) text += fmt::format("\x1b[{}A", lines_.size());
    for (const Line& line : lines_) {
      const unsigned percent = line.upper ? static_cast<unsigned>(std::min<uint64_t>(100, line.position * 100 / line.upper)) : 0;
      const unsigned filled = percent / 5;
      text += fmt::format("\r\x1b[K{:<28.28} [{}{}] {:3}% {:.40}\n", line.name, std::string(filled, '#'),
                          std::string(20 - filled, ' '), percent, line.status);
    }
    drawn_ = true;
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
  }

  bool draw_;
  std::mutex mutex_;
  std::vector<Line> lines_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_{};
};

class FileProgress final : public ProgressSink {
 public:
  FileProgress(ProgressBoard& board, size_t file) : board_(board), file_(file) {}
  void ProgressRange(uint64_t upper) override {
    upper_ = upper;
    board_.Set(file_, 0, upper, nullptr);
  }
  void ProgressPos(uint64_t position) override { board_.Set(file_, position, upper_, nullptr); }
  void StatusText(const std::string& text) override { board_.Set(file_, 0, 0, &text); }
  void ScanError(const std::string& text) override {
    std::lock_guard lock(errorsMutex_);
    errors_.push_back(text);
  }
  std::vector<std::string> errors() const { return errors_; }

 private:
  ProgressBoard& board_;
  size_t file_;
  uint64_t upper_ = 0;
  std::mutex errorsMutex_;
  std::vector<std::string> errors_;
};

bool IsEmptyDirectory(const fs::path& path) {
  std::error_code ec;
  return fs::is_directory(path, ec) && fs::directory_iterator(path, ec) == fs::directory_iterator();
}

}  // namespace

std::string ExportSummaryTable(const std::vector<std::string>& paths,
                               const std::vector<DatabaseExportResult>& results) {
  std::string text = fmt::format("{:<40} {:<24} {:>7} {:>12} {:>8} {:>9}\n", "File", "Database", "Tables", "Rows",
                                 "Damaged", "Time (s)");
  for (size_t i = 0; i < results.size(); ++i) {
    const DatabaseExportResult& r = results[i];
    text += fmt::format("{:<40} {:<24} {:>7} {:>12} {:>8} {:>9.2f}{}\n", fs::path(paths[i]).filename().string(),
                        r.databaseName, r.tables, r.rows, r.damagedPages, r.seconds,
                        r.stopped ? "  stopped" : r.ok() ? "" : "  incomplete");
  }
  return text;
}

int RunExportCommand(const ExportRequest& request, const CollationTable& collation, std::ostream& out,
                     std::ostream& err, StopToken stop) {
  std::error_code ec;
  const fs::path out_dir = fs::absolute(request.outDir, ec);
  // Never beside an input file: the output folder is not the folder of a
  // data file.
  for (const std::string& path : request.paths) {
    const fs::path input_dir = fs::absolute(path, ec).parent_path();
    if (fs::weakly_canonical(input_dir, ec) == fs::weakly_canonical(out_dir, ec)) {
      err << "export: the output folder " << out_dir.string() << " is the folder of " << path
          << "; choose another folder (nothing is written beside a data file)\n";
      return kExitUsage;
    }
  }
  if (fs::exists(out_dir, ec)) {
    if (!fs::is_directory(out_dir, ec)) {
      err << "export: " << out_dir.string() << " exists and is not a folder\n";
      return kExitUsage;
    }
    if (!IsEmptyDirectory(out_dir) && !request.force) {
      err << "export: the output folder " << out_dir.string() << " is not empty (use --force to write into it)\n";
      return kExitUsage;
    }
  } else if (!fs::create_directories(out_dir, ec)) {
    err << "export: cannot create the output folder " << out_dir.string() << ": " << ec.message() << "\n";
    return kExitCannotScan;
  }

  // Folder names are claimed under a lock: two databases of the same name
  // get "name", "name (2)".
  std::mutex claim_mutex;
  std::set<std::string> claimed;
  auto claim = [&](const std::string& database_name, std::string& error) -> std::string {
    std::lock_guard lock(claim_mutex);
    const std::string base = SafeFolderName(database_name);
    std::string name = base;
    for (int n = 2; claimed.count(name); ++n) name = fmt::format("{} ({})", base, n);
    claimed.insert(name);
    const fs::path folder = out_dir / name;
    std::error_code fec;
    if (fs::exists(folder, fec) && !IsEmptyDirectory(folder)) {
      if (!request.force) {
        error = "the folder " + folder.string() + " is not empty";
        return {};
      }
      fs::remove_all(folder, fec);  // --force: this database's earlier export is replaced
    }
    fs::create_directories(folder, fec);
    if (!fs::is_directory(folder, fec)) {
      error = "cannot create the folder " + folder.string() + (fec ? ": " + fec.message() : "");
      return {};
    }
    return folder.string();
  };

  const size_t count = request.paths.size();
  std::vector<DatabaseExportResult> results(count);
  std::vector<std::string> errors(count);
  ProgressBoard board(request.paths, request.drawProgress);
  std::atomic<size_t> next{0};
  unsigned jobs = request.jobs ? request.jobs : std::max(1u, std::thread::hardware_concurrency());
  jobs = static_cast<unsigned>(std::min<size_t>(jobs, count));
  // The cores left to each file decode its tables' pages.
  const unsigned decode_threads = std::max(1u, std::max(1u, std::thread::hardware_concurrency()) / jobs);
  auto worker = [&]() {
    for (size_t i = next++; i < count; i = next++) {
      ApplicationState state;
      state.collationTable = collation;
      FileProgress progress(board, i);
      DatabaseExportRequest one;
      one.path = request.paths[i];
      one.format = request.format;
      one.formatOptions = request.formatOptions;
      one.tables = request.tables;
      one.mode = request.mode;
      one.deleted = request.deleted;
      one.threads = decode_threads;
      std::vector<std::unique_ptr<DatabaseExportStep>> owned;
      if (request.makeSteps) owned = request.makeSteps(decode_threads);
      std::vector<DatabaseExportStep*> steps;
      for (auto& step : owned) steps.push_back(step.get());
      results[i] = ExportDatabase(one, state.readOptions(), state.collationChoice(), claim, stop, progress, steps);
      for (const std::string& e : progress.errors()) results[i].failures.insert(results[i].failures.begin(), e);
    }
  };
  std::vector<std::thread> threads;
  for (unsigned j = 1; j < jobs; ++j) threads.emplace_back(worker);
  worker();
  for (std::thread& t : threads) t.join();

  out << ExportSummaryTable(request.paths, results);
  bool ok = true;
  for (size_t i = 0; i < count; ++i) {
    const DatabaseExportResult& r = results[i];
    if (!r.folder.empty()) {
      out << "\n" << r.folder << ":\n";
      for (const std::string& file : r.files) out << "  " << file << "\n";
    }
    for (const std::string& failure : r.failures) err << request.paths[i] << ": " << failure << "\n";
    if (r.stopped) err << request.paths[i] << ": stopped; the files listed are complete\n";
    ok = ok && r.ok();
  }
  return ok ? kExitOk : kExitCannotScan;
}

}  // namespace quill
