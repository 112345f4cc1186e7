#include "sweep_summary.h"

#include <fmt/format.h>

namespace quill::sweep {

void KindTally::Add(const KindTally& other) {
  copies += other.copies;
  crashes += other.crashes;
  hangs += other.hangs;
  scansCompleted += other.scansCompleted;
  baselineRows += other.baselineRows;
  recovered += other.recovered;
  touched += other.touched;
  changed += other.changed;
  record += other.record;
  elsewhere += other.elsewhere;
  seconds += other.seconds;
}

double KindTally::recoveredPercent() const {
  return baselineRows == 0 ? 100.0 : 100.0 * static_cast<double>(recovered) / static_cast<double>(baselineRows);
}

namespace {

KindTally Total(const SweepSummary& summary) {
  KindTally total;
  for (const auto& [name, tally] : summary.kinds) total.Add(tally);
  return total;
}

}  // namespace

void PrintSummary(const SweepSummary& summary, std::ostream& out) {
  out << fmt::format("{:<14} {:>7} {:>7} {:>5} {:>6} {:>9} {:>9} {:>8} {:>8} {:>9} {:>8}\n", "damage", "copies",
                     "crashes", "hangs", "scans", "recovered", "f:touched", "f:changed", "f:record", "f:elsewhere",
                     "seconds");
  auto line = [&](const std::string& name, const KindTally& t) {
    out << fmt::format("{:<14} {:>7} {:>7} {:>5} {:>6} {:>8.2f}% {:>9} {:>9} {:>8} {:>11} {:>8.1f}\n", name,
                       t.copies, t.crashes, t.hangs, t.scansCompleted, t.recoveredPercent(), t.touched, t.changed,
                       t.record, t.elsewhere, t.seconds);
  };
  for (const std::string& name : summary.kindOrder) {
    if (auto it = summary.kinds.find(name); it != summary.kinds.end()) line(name, it->second);
  }
  line("all", Total(summary));
  out << fmt::format("{} files, {:.0f} s\n", summary.files, summary.seconds);
  for (const Finding& finding : summary.findings) {
    out << fmt::format("{} {}: {} (corrupt_copy {})\n", finding.file, finding.kind, finding.what, finding.remake);
    for (const std::string& detail : finding.details) out << "    " << detail << '\n';
  }
}

void WriteMarkdown(const SweepSummary& summary, std::ostream& out) {
  const KindTally total = Total(summary);
  out << fmt::format("Damaged copies of {} real files: {} copies, {} crashes, {} hangs ({:.0f} s).\n\n",
                     summary.files, total.copies, total.crashes, total.hangs, summary.seconds);
  out << "| Damage | Copies | Crashes | Hangs | Scans completed | Rows recovered | Foreign rows: touched pages "
         "| Foreign rows: changed by damage elsewhere | Foreign rows: other records of the file | Foreign rows: elsewhere |\n";
  out << "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
  auto line = [&](const std::string& name, const KindTally& t) {
    const auto found = summary.descriptions.find(name);
    const std::string label = found == summary.descriptions.end() ? name : name + ": " + found->second;
    out << fmt::format("| {} | {} | {} | {} | {} | {:.2f}% | {} | {} | {} | {} |\n", label, t.copies, t.crashes,
                       t.hangs, t.scansCompleted, t.recoveredPercent(), t.touched, t.changed, t.record, t.elsewhere);
  };
  for (const std::string& name : summary.kindOrder) {
    if (auto it = summary.kinds.find(name); it != summary.kinds.end()) line(name, it->second);
  }
  line("all", total);
  if (!summary.findings.empty()) {
    out << "\nCopies to look at again:\n\n";
    for (const Finding& finding : summary.findings) {
      out << fmt::format("- {} {}: {} (`corrupt_copy {}`)\n", finding.file, finding.kind, finding.what,
                         finding.remake);
    }
  }
}

}  // namespace quill::sweep
