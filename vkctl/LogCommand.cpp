// vkctl log: the records of the engine's log file for administrators and
// their log collectors, oldest first, as the text log's lines, JSON Lines
// or CSV; with --follow it goes on printing what the engine appends.
#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "framework/CodePage.h"
#include "framework/Handle.h"
#include "log/LogCsv.h"
#include "log/LogFields.h"
#include "log/LogFile.h"
#include "log/LogFollower.h"
#include "log/LogHistory.h"
#include "log/LogJson.h"
#include "log/LogText.h"
#include "rules/RuleFile.h"
#include "vkctl/Commands.h"

namespace {

// How often a follower looks for new records. It never waits on the
// engine's written event: that event is auto-reset, and its signal belongs
// to the Log page's reader.
constexpr DWORD kFollowPollMs = 250;

enum class Format { Text, Json, Csv };

enum class OpenResult { Open, Missing, Damaged, Failed };

// Opens the log for reading only. What is at path is looked at first
// through a handle that only reads, so that a missing file is not created
// and a file that is no log is not touched; the log is then opened at the
// size it has, so that its length stays as it is.
OpenResult OpenLogForReading(CLogFile& log, const std::string& path, const std::string& mapping, DWORD& error) {
  error = 0;
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? OpenResult::Missing : OpenResult::Failed;
  }
  LARGE_INTEGER size{};
  uint8_t header[LOG_HEADER_SIZE] = {};
  DWORD got = 0;
  const bool read = GetFileSizeEx(f, &size) && ReadFile(f, header, sizeof header, &got, nullptr);
  CloseHandle(f);
  if (!read) {
    error = GetLastError();
    return OpenResult::Failed;
  }
  if (size.QuadPart < LOG_HEADER_SIZE + LOG_RESERVE + LOG_RECORD_FIXED_SIZE + 1 || size.QuadPart > 0xFFFFFFFFll ||
      !IsValidLogHeader(header, got))
    return OpenResult::Damaged;
  if (log.Open(path.c_str(), mapping.empty() ? nullptr : mapping.c_str(), static_cast<uint32_t>(size.QuadPart),
               CMappedFile::kAccessRead, false) != 0) {
    error = log.LastError();
    return OpenResult::Failed;
  }
  return OpenResult::Open;
}

HANDLE g_stop = nullptr;

BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) return FALSE;
  SetEvent(g_stop);
  return TRUE;
}

class Printer {
 public:
  Printer(Format format, bool since, int64_t sinceTime) : format_(format), since_(since), sinceTime_(sinceTime) {}

  void Header() {
    if (format_ == Format::Csv) out_ += LogCsvHeader();
  }
  void Add(const LogItemList& items) {
    for (const auto& item : items) Add(*item);
  }
  void Add(const LOGFILE_ITEM& item) {
    const LogRecordFields fields = SplitLogRecord(item);
    if (since_ && !LogRecordNotBefore(fields, sinceTime_)) return;
    switch (format_) {
      case Format::Text: out_ += TextLogLine(item); break;
      case Format::Json: out_ += LogJsonLine(fields, &AnsiToUtf8); break;
      case Format::Csv: out_ += LogCsvLine(fields, &AnsiToUtf8); break;
    }
    if (out_.size() >= 64 * 1024) Flush();
  }
  // False when the output cannot be written (a closed pipe, a full disk).
  bool Flush() {
    if (!failed_ && !out_.empty()) failed_ = fwrite(out_.data(), 1, out_.size(), stdout) != out_.size();
    out_.clear();
    if (!failed_ && fflush(stdout) != 0) failed_ = true;
    return !failed_;
  }

 private:
  Format format_;
  bool since_;
  int64_t sinceTime_;
  std::string out_;
  bool failed_ = false;
};

// Takes what is new, and right after a wrap to position 0 what the new lap
// holds; false when the wait for the log was cancelled.
bool TakeNew(CLogFollower& follower, Printer& printer) {
  for (int pass = 0; pass < 2; ++pass) {
    LogItemList items;
    const uint64_t wraps = follower.Wraps();
    const int rc = follower.Take(items, 0);
    if (rc == -1) return false;
    printer.Add(items);
    if (follower.Wraps() == wraps) break;
  }
  return true;
}

}  // namespace

int CommandLog(const StoreOptions& options, Args args) {
  bool ok = true;
  std::string sinceText;
  const bool json = TakeFlag(args, "--json");
  const bool csv = TakeFlag(args, "--csv");
  const bool follow = TakeFlag(args, "--follow");
  const bool hasSince = TakeValue(args, "--since", sinceText, ok);
  if (!ok) return kVkFailed;
  if (!args.empty()) {
    Complain("log: unexpected argument \"" + args.front() + "\"");
    return kVkFailed;
  }
  if (json && csv) {
    Complain("log: give --json or --csv, not both");
    return kVkFailed;
  }
  int64_t since = 0;
  if (hasSince && !ParseLogTime(sinceText, since)) {
    Complain("log: --since \"" + sinceText + "\" is not a time of the form \"YYYY-MM-DD HH:MM:SS\"");
    return kVkFailed;
  }
  // --path names the log here; the rule file's default means "not given".
  const std::string path = options.path == CRuleFile::DefaultPath() ? CLogFile::DefaultPath() : options.path;

  CLogFile log(CLogFile::kNoEvent);
  DWORD error = 0;
  switch (OpenLogForReading(log, path, options.mapping, error)) {
    case OpenResult::Open: break;
    case OpenResult::Missing: Complain("log: " + path + ": there is no log file"); return kVkFailed;
    case OpenResult::Damaged: Complain("log: " + path + ": damaged, not a log file"); return kVkFailed;
    case OpenResult::Failed:
      Complain("log: " + path + ": cannot open it (system error " + std::to_string(error) + ")");
      return kVkFailed;
  }
  g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  log.SetCancelEvent(g_stop);
  if (follow) SetConsoleCtrlHandler(&OnConsoleControl, TRUE);

  LogHistory history;
  if (TakeLogHistory(log, history) != 0) return kVkOk;  // interrupted
  if (history.damaged > 0)
    Complain("log: " + path + ": skipped " + std::to_string(history.damaged) + " damaged place(s)");

  Printer printer(json ? Format::Json : csv ? Format::Csv : Format::Text, hasSince, since);
  printer.Header();
  printer.Add(history.items);
  if (!printer.Flush()) {
    Complain("log: writing the output failed");
    return kVkFailed;
  }
  if (!follow) return kVkOk;

  CLogFollower follower(log);
  follower.BeginAfter(history);
  history = LogHistory();
  for (;;) {
    if (WaitForSingleObject(g_stop, kFollowPollMs) == WAIT_OBJECT_0 || !TakeNew(follower, printer)) break;
    if (!printer.Flush()) {
      Complain("log: writing the output failed");
      return kVkFailed;
    }
  }
  printer.Flush();
  return kVkOk;
}
