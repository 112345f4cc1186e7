// quillstone-sweep [FOLDER] [--copies N] [--kinds a,b] [--files a,b] ...
// For every data file below FOLDER: reads the undamaged file (the whole
// scan and every table's rows in standard mode), then makes
// damaged copies of it, kind by kind, in a temporary folder, and reads each
// copy the same way in a child process under a time limit. Prints per kind
// of damage the copies, crashes, hangs, the share of the undamaged rows
// recovered and the rows that were not in the undamaged output (see
// row_comparison.h). The data files are only read; the copies are removed.
// Exit 0 when no copy crashed, hung or gave a row from elsewhere; 77 when
// there is no data file to sweep (the real data is not there).
#include <CLI/CLI.hpp>
#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "child_run.h"
#include "corruptor.h"
#include "damage_kinds.h"
#include "database_rows.h"
#include "pages/collation_table.h"
#include "row_comparison.h"
#include "sweep_summary.h"

namespace {

using namespace quill;
using namespace quill::sweep;
namespace fs = std::filesystem;

std::atomic<bool> g_stop{false};
void RequestStop(int) { g_stop = true; }

constexpr size_t kBaselineOutputLimit = size_t{1} << 30;
constexpr size_t kCopyOutputLimit = size_t{1} << 20;
constexpr uint64_t kPageSize = 8192;
constexpr int kNothingToSweep = 77;

struct Settings {
  std::string folder = QUILLSTONE_REAL_DATA_DIR;
  uint64_t copies = 20;
  std::vector<std::string> kinds;
  std::vector<std::string> files;
  uint64_t seed = 1;
  double timeLimit = 20;
  bool allCuts = false;
  bool eachCopy = false;
  std::string markdown;
  std::string temp;
  std::string keep;
};

std::vector<std::string> SplitNames(const std::string& text) {
  std::vector<std::string> names;
  std::stringstream in(text);
  for (std::string name; std::getline(in, name, ',');) {
    if (!name.empty()) names.push_back(name);
  }
  return names;
}

bool IsDataFile(const fs::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".mdf";
}

// The data files below `folder`, sorted, each named by its folder.
std::vector<std::pair<std::string, std::string>> DataFiles(const std::string& folder,
                                                           const std::vector<std::string>& wanted) {
  std::vector<std::pair<std::string, std::string>> files;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
       it.increment(error)) {
    if (!it->is_regular_file(error) || !IsDataFile(it->path())) continue;
    const std::string name = it->path().parent_path().filename().string();
    if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), name) == wanted.end()) continue;
    files.emplace_back(name, it->path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string TailOf(const std::string& path, size_t lines) {
  std::ifstream in(path);
  std::vector<std::string> all;
  for (std::string line; std::getline(in, line);) all.push_back(line);
  std::string text;
  for (size_t k = all.size() > lines ? all.size() - lines : 0; k < all.size(); ++k) text += all[k] + "\n";
  return text;
}

// The child's report on one copy, as "name value" lines and sample lines.
std::string EncodeCounts(const DatabaseRows& rows, const RowCounts& counts) {
  std::string out = fmt::format("scan {}\nopened {}\nrecovered {}\ntouched {}\nchanged {}\nrecord {}\nelsewhere {}\n",
                                rows.scanCompleted ? 1 : 0, rows.opened ? 1 : 0, counts.recovered, counts.touched,
                                counts.changed, counts.record, counts.elsewhere);
  for (std::string sample : counts.elsewhereSamples) {
    std::replace(sample.begin(), sample.end(), '\n', ' ');
    std::replace(sample.begin(), sample.end(), '\x1F', '|');
    out += "sample " + sample + "\n";
  }
  return out;
}

bool DecodeCounts(const std::string& text, KindTally& tally, std::vector<std::string>& samples) {
  std::istringstream in(text);
  int fields = 0;
  for (std::string line; std::getline(in, line);) {
    const size_t space = line.find(' ');
    if (space == std::string::npos) return false;
    const std::string name = line.substr(0, space);
    const std::string value = line.substr(space + 1);
    if (name == "sample") {
      samples.push_back(value);
      continue;
    }
    const uint64_t number = std::strtoull(value.c_str(), nullptr, 10);
    ++fields;
    if (name == "scan") tally.scansCompleted += number;
    else if (name == "recovered") tally.recovered += number;
    else if (name == "touched") tally.touched += number;
    else if (name == "changed") tally.changed += number;
    else if (name == "record") tally.record += number;
    else if (name == "elsewhere") tally.elsewhere += number;
    else if (name != "opened") return false;
  }
  return fields == 7;
}

class Sweep {
 public:
  Sweep(const Settings& settings, std::string temp_folder)
      : settings_(settings), temp_(std::move(temp_folder)),
        collations_(LoadCollationTable(DefaultCollationTablePath())) {}

  SweepSummary Run(const std::vector<std::pair<std::string, std::string>>& files,
                   const std::vector<const DamageKind*>& kinds) {
    const auto started = std::chrono::steady_clock::now();
    for (const DamageKind* kind : kinds) {
      summary_.kindOrder.push_back(kind->name);
      summary_.descriptions[kind->name] = kind->description;
    }
    size_t index = 0;
    for (const auto& [name, path] : files) {
      if (g_stop) break;
      ++index;
      std::cerr << fmt::format("[{}/{}] {}\n", index, files.size(), name);
      if (SweepFile(name, path, kinds)) ++summary_.files;
    }
    summary_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return summary_;
  }

 private:
  bool SweepFile(const std::string& name, const std::string& path, const std::vector<const DamageKind*>& kinds) {
    std::vector<uint8_t> source;
    if (!corruptor::ReadWholeFile(path, source)) {
      std::cerr << "  cannot read " << path << '\n';
      return false;
    }
    // The undamaged file, read in a child like the copies.
    const ChildResult read = RunInChild(
        [&] { return EncodeRows(ReadDatabase(path, RecoveryMode::kStandard, collations_)); },
        settings_.timeLimit * 10, temp_ + "child.err", kBaselineOutputLimit);
    DatabaseRows undamaged;
    if (read.end != ChildEnd::kDone || !DecodeRows(read.output, undamaged)) {
      summary_.findings.push_back({name, "undamaged", "the undamaged file: " + read.how, "", {}});
      std::cerr << "  the undamaged file could not be read: " << read.how << '\n' << TailOf(temp_ + "child.err", 10);
      return false;
    }
    const Baseline baseline = MakeBaseline(undamaged, source);
    std::cerr << fmt::format("  undamaged: {} rows of {} tables, {} record slots, scan {}, {:.1f} s\n",
                             undamaged.rows.size(), undamaged.tables, baseline.recordPlaces.size(),
                             undamaged.scanCompleted ? "completed" : "failed", read.seconds);

    const uint64_t page_count = source.size() / kPageSize;
    for (const DamageKind* kind : kinds) {
      KindTally tally;
      const uint64_t copies = kind->name == "cut" && settings_.allCuts ? page_count : settings_.copies;
      for (uint64_t i = 0; i < copies && !g_stop; ++i) {
        const uint64_t seed = CopySeed(settings_.seed, name, kind->name, i);
        const corruptor::CorruptionOptions options = kind->name == "cut" && settings_.allCuts
                                                         ? CutAtPageOptions(seed, i)
                                                         : kind->options(seed, page_count);
        SweepCopy(name, path, source, *kind, options, baseline, tally);
      }
      std::cerr << fmt::format(
          "  {:<14} {:>4} copies {:>3} crashes {:>3} hangs {:>7.2f}% rows, foreign {}/{}/{}/{} "
          "(touched/changed/record/elsewhere), {:.1f} s\n",
          kind->name, tally.copies, tally.crashes, tally.hangs, tally.recoveredPercent(), tally.touched,
          tally.changed, tally.record, tally.elsewhere, tally.seconds);
      summary_.kinds[kind->name].Add(tally);
    }
    return true;
  }

  void SweepCopy(const std::string& name, const std::string& path, const std::vector<uint8_t>& source,
                 const DamageKind& kind, const corruptor::CorruptionOptions& options, const Baseline& baseline,
                 KindTally& tally) {
    std::vector<uint8_t> bytes = source;
    const corruptor::CorruptionReport report = corruptor::Corrupt(bytes, options);
    const std::string copy = temp_ + "copy.mdf";
    const std::string written = corruptor::WriteCopy(path, copy, bytes);
    if (!written.empty()) {
      std::cerr << "  " << written << '\n';
      g_stop = true;
      return;
    }
    const ChildResult result = RunInChild(
        [&] {
          const DatabaseRows rows = ReadDatabase(copy, RecoveryMode::kStandard, collations_);
          return EncodeCounts(rows, CompareRows(baseline, rows, report.touchedPages));
        },
        settings_.timeLimit, temp_ + "child.err", kCopyOutputLimit);
    ++tally.copies;
    tally.baselineRows += baseline.rows;
    tally.seconds += result.seconds;
    const std::string remake = CorruptCopyArguments(options);
    std::vector<std::string> samples;
    if (result.end == ChildEnd::kHung) {
      ++tally.hangs;
      Keep(copy, name, kind.name, options.seed);
      summary_.findings.push_back({name, kind.name, "hang: " + result.how, remake, {}});
    } else if (result.end == ChildEnd::kCrashed || !DecodeCounts(result.output, tally, samples)) {
      ++tally.crashes;
      Keep(copy, name, kind.name, options.seed);
      const std::string how = result.end == ChildEnd::kCrashed ? result.how : "no report";
      summary_.findings.push_back({name, kind.name, "crash: " + how, remake, {TailOf(temp_ + "child.err", 20)}});
      std::cerr << fmt::format("  crash: {} {} ({})\n{}", kind.name, remake, how, TailOf(temp_ + "child.err", 20));
    } else if (!samples.empty()) {
      Keep(copy, name, kind.name, options.seed);
      summary_.findings.push_back({name, kind.name, "rows from elsewhere", remake, samples});
    }
    if (settings_.eachCopy) {
      std::string counts = result.output;
      std::replace(counts.begin(), counts.end(), '\n', ' ');
      std::cerr << fmt::format("    {} {}: {} {}\n", kind.name, remake,
                               result.end == ChildEnd::kDone ? "done" : result.how, counts);
    }
    std::error_code error;
    fs::remove(copy, error);
  }

  void Keep(const std::string& copy, const std::string& name, const std::string& kind, uint64_t seed) {
    if (settings_.keep.empty()) return;
    std::error_code error;
    fs::copy_file(copy, fs::path(settings_.keep) / fmt::format("{}-{}-{}.mdf", name, kind, seed),
                  fs::copy_options::overwrite_existing, error);
  }

  const Settings& settings_;
  std::string temp_;
  CollationTable collations_;
  SweepSummary summary_;
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Read damaged copies of data files and compare what they give with the undamaged files"};
  Settings settings;
  std::string kinds_text;
  std::string files_text;
  bool list_kinds = false;
  app.add_option("FOLDER", settings.folder, "Folder searched for data files (.mdf), read only");
  app.add_option("--copies", settings.copies, "Copies per file and kind of damage (default 20)");
  app.add_option("--kinds", kinds_text, "Only these kinds of damage (names joined by commas; see --list-kinds)");
  app.add_option("--files", files_text, "Only the data files in folders of these names (joined by commas)");
  app.add_option("--seed", settings.seed, "Seed from which every copy's seed is drawn (default 1)");
  app.add_option("--time-limit", settings.timeLimit, "Seconds one copy may take before it counts as a hang (default 20)")
      ->check(CLI::PositiveNumber);
  app.add_flag("--all-cuts", settings.allCuts, "Cut each file at every page boundary instead of at random ones");
  app.add_flag("--each", settings.eachCopy, "Print each copy's remake arguments and counts on stderr");
  app.add_option("--markdown", settings.markdown, "Also write the summary as Markdown to this file");
  app.add_option("--temp", settings.temp, "Folder for the damaged copies (default $TMPDIR or /tmp)")
      ->check(CLI::ExistingDirectory);
  app.add_option("--keep", settings.keep, "Keep copies that crashed, hung or gave rows from elsewhere here")
      ->check(CLI::ExistingDirectory);
  app.add_flag("--list-kinds", list_kinds, "Print the kinds of damage and stop");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }
  if (list_kinds) {
    for (const DamageKind& kind : DamageKinds()) std::cout << fmt::format("{:<14} {}\n", kind.name, kind.description);
    return 0;
  }

  std::vector<const DamageKind*> kinds;
  for (const std::string& name : SplitNames(kinds_text)) {
    const DamageKind* kind = FindDamageKind(name);
    if (kind == nullptr) {
      std::cerr << "unknown kind of damage \"" << name << "\"\n";
      return 2;
    }
    kinds.push_back(kind);
  }
  if (kinds.empty()) {
    for (const DamageKind& kind : DamageKinds()) kinds.push_back(&kind);
  }
  const auto files = DataFiles(settings.folder, SplitNames(files_text));
  if (files.empty()) {
    std::cerr << "no data files in " << settings.folder << '\n';
    return kNothingToSweep;
  }

  if (settings.temp.empty()) {
    const char* base = std::getenv("TMPDIR");
    settings.temp = base != nullptr && *base ? base : "/tmp";
  }
  std::string pattern = (fs::path(settings.temp) / "quillstone-sweep-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::cerr << "cannot make a temporary folder in " << settings.temp << ": " << std::strerror(errno) << '\n';
    return 2;
  }
  const std::string temp_folder = pattern + "/";
  std::signal(SIGINT, RequestStop);
  std::signal(SIGTERM, RequestStop);

  Sweep sweep(settings, temp_folder);
  const SweepSummary summary = sweep.Run(files, kinds);
  std::error_code error;
  fs::remove_all(temp_folder, error);

  PrintSummary(summary, std::cout);
  if (!settings.markdown.empty()) {
    std::ofstream out(settings.markdown, std::ios::trunc);
    WriteMarkdown(summary, out);
    if (!out) {
      std::cerr << "cannot write " << settings.markdown << '\n';
      return 2;
    }
  }
  if (g_stop) return 1;
  bool clean = true;
  for (const auto& [name, tally] : summary.kinds) clean &= tally.crashes == 0 && tally.hangs == 0 && tally.elsewhere == 0;
  return clean && summary.files == files.size() ? 0 : 1;
}
