#include "scan/run_log.h"

#include <vector>

#include "common/printf_text.h"
#include "common/text_encoding.h"

namespace quill {

namespace {

constexpr char kByteOrderMark[] = {'\xFF', '\xFE'};
constexpr char kLineEnd[] = "\r\n";

std::string SeparatorText() { return std::string(kLineEnd) + std::string(80, '*') + kLineEnd; }

}  // namespace

std::string RunLogFileName(const std::string& folder, const std::string& prefix,
                           const std::optional<std::tm>& local_time) {
  int day = 0, month = 0, year = 0, hour = -1, minute = -1, second = -1;
  if (local_time) {
    day = local_time->tm_mday;
    month = local_time->tm_mon + 1;
    year = local_time->tm_year + 1900;
    hour = local_time->tm_hour;
    minute = local_time->tm_min;
    second = local_time->tm_sec;
  }
  std::string name = folder;
  if (!name.empty() && name.back() != '/') name.push_back('/');
  name += prefix;
  name += PrintfText("%d-%d-%d-%d-%d-%d", day, month, year, hour, minute, second);
  name += ".txt";
  return name;
}

bool RunLog::Open(const std::string& path) {
  std::lock_guard lock(mutex_);
  CloseLocked();
  // "a" never truncates; an empty file (new or left empty by a failed
  // create) gets the byte-order mark first.
  file_ = std::fopen(path.c_str(), "ab");
  if (file_ == nullptr) return false;
  std::fseek(file_, 0, SEEK_END);
  if (std::ftell(file_) == 0) std::fwrite(kByteOrderMark, 1, sizeof kByteOrderMark, file_);
  AppendLocked(SeparatorText());
  return true;
}

void RunLog::Close() {
  std::lock_guard lock(mutex_);
  CloseLocked();
}

void RunLog::CloseLocked() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

bool RunLog::isOpen() const {
  std::lock_guard lock(mutex_);
  return file_ != nullptr;
}

void RunLog::Append(const std::string& text) {
  std::lock_guard lock(mutex_);
  AppendLocked(text);
}

void RunLog::AppendLocked(const std::string& text) {
  if (file_ == nullptr) return;
  const std::vector<uint8_t> bytes = Utf8ToUtf16Le(text);
  std::fwrite(bytes.data(), 1, bytes.size(), file_);
  // Flushed line by line: the log is what is left when a run ends badly.
  std::fflush(file_);
}

void RunLog::AppendLine(const std::string& text) { Append(text + kLineEnd); }

std::string OpenRunLog(RunLog& log, const std::string& prefix, const std::string& folder) {
  if (folder.empty()) {
    log.Close();
    return {};
  }
  std::optional<std::tm> local_time;
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  if (now != static_cast<std::time_t>(-1) && localtime_r(&now, &parts) != nullptr) local_time = parts;
  const std::string path = RunLogFileName(folder, prefix, local_time);
  log.Open(path);
  return path;
}

void AddOutputLine(ScanUi& ui, RunLog& log, const std::string& text) {
  ui.OutputLine(log.TakeOutputLine(), text);
  log.AppendLine(text);
}

void ReplaceLastOutputLine(ScanUi& ui, const RunLog& log, const std::string& text) {
  const int32_t count = log.outputLineCount();
  if (count > 0) ui.ReplaceOutputLine(count - 1, text);
}

}  // namespace quill
