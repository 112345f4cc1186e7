// The sweep's tally per kind of damage, and its summary as a plain or a
// Markdown table.
#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace quill::sweep {

struct KindTally {
  uint64_t copies = 0;
  uint64_t crashes = 0;
  uint64_t hangs = 0;
  uint64_t scansCompleted = 0;
  uint64_t baselineRows = 0;  // the undamaged rows, summed over the copies
  uint64_t recovered = 0;
  uint64_t touched = 0;
  uint64_t changed = 0;
  uint64_t record = 0;
  uint64_t elsewhere = 0;
  double seconds = 0;

  void Add(const KindTally& other);
  double recoveredPercent() const;
};

// A copy worth a second look: a crash, a hang or rows from elsewhere.
struct Finding {
  std::string file;
  std::string kind;
  std::string what;     // "crash: signal 11", "hang: killed after 20 s", "2 rows from elsewhere"
  std::string remake;   // corrupt_copy arguments that make the copy again
  std::vector<std::string> details;
};

struct SweepSummary {
  std::vector<std::string> kindOrder;
  std::map<std::string, KindTally> kinds;
  std::map<std::string, std::string> descriptions;
  std::vector<Finding> findings;
  uint64_t files = 0;
  double seconds = 0;
};

void PrintSummary(const SweepSummary& summary, std::ostream& out);
void WriteMarkdown(const SweepSummary& summary, std::ostream& out);

}  // namespace quill::sweep
