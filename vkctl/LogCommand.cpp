// vkctl log: the records of the engine's log file for administrators and
// their log collectors, oldest first, as the text log's lines, JSON Lines
// or CSV; with --follow it goes on printing what the engine appends.
#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "framework/Handle.h"
#include "log/LogCsv.h"
#include "log/LogFields.h"
#include "log/LogFile.h"
#include "log/LogHistory.h"
#include "log/LogJson.h"
#include "log/LogText.h"
#include "rules/RuleFile.h"
#include "vkctl/Commands.h"

namespace {

// How long a follower waits for the engine's signal before it looks by
// itself: the written event is auto-reset, and a Log page that is waiting
// for its first signal may take one that was meant for us.
constexpr DWORD kFollowPollMs = 250;

enum class Format { Text, Json, Csv };

bool ToUtf8(std::string_view in, std::string& out) { return AnsiToUtf8(std::string(in), out); }

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
      case Format::Json: out_ += LogJsonLine(fields, &ToUtf8); break;
      case Format::Csv: out_ += LogCsvLine(fields, &ToUtf8); break;
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

// Follows the log from where the history ended, with the reader's lap rule:
// at the reserve zone it goes back to position 0 once the writer has begun
// a new lap there; off the chain of records (the writer went round past
// it) it goes on where the writer does.
class Follower {
 public:
  Follower(CLogFile& log, const LogHistory& history)
      : log_(log), position_(history.writePosition), haveLapFirst_(history.haveLapFirst) {
    if (haveLapFirst_) lapFirst_ = history.lapFirst;
  }

  // Reads what is new under the log's Read mutex; false when the wait for
  // it was cancelled.
  bool Take(Printer& printer) {
    for (int laps = 0; laps < 2; ++laps) {
      LogItemList items;
      uint32_t count = 0;  // no limit
      const uint32_t from = position_;
      const int rc = log_.ReadItems(items, &count, &position_);
      if (rc == -1) return false;
      if (from == 0 && !items.empty()) {
        lapFirst_ = *items.front();
        haveLapFirst_ = true;
      }
      printer.Add(items);
      if (rc == -4) {
        const int lap = log_.NewLapStarted(haveLapFirst_ ? &lapFirst_ : nullptr);
        if (lap < 0) return false;
        if (lap == 1) {
          position_ = 0;
          haveLapFirst_ = false;
          continue;
        }
      } else if (rc == -3 && count == 0) {
        const int moved = log_.Resync(&position_);
        if (moved < 0) return false;
        if (moved == 1) haveLapFirst_ = log_.FirstItem(lapFirst_) == 1;
      }
      break;
    }
    return true;
  }

 private:
  CLogFile& log_;
  uint32_t position_;
  bool haveLapFirst_;
  LOGFILE_ITEM lapFirst_;
};

}  // namespace

int CommandLog(const StoreOptions& options, Args args) {
  bool ok = true;
  std::string sinceText, event = CLogFile::kWrittenEventName;
  const bool json = TakeFlag(args, "--json");
  const bool csv = TakeFlag(args, "--csv");
  const bool follow = TakeFlag(args, "--follow");
  const bool hasSince = TakeValue(args, "--since", sinceText, ok);
  TakeValue(args, "--event", event, ok);
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

  // Left to the process end: destroying a log object drops a pending signal
  // of the written event, which belongs to the front end's reader.
  CLogFile& log = *new CLogFile(event.c_str());
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

  // The whole view is copied under the Read mutex and read afterwards, so
  // the engine waits no longer than the copy takes.
  std::string view;
  {
    MutexLock lock(log.ReadMutex(), g_stop);
    if (!lock.Owned()) return kVkOk;  // interrupted
    view.assign(reinterpret_cast<const char*>(log.GetReadBase()), log.GetMaxSize() - LOG_HEADER_SIZE);
  }
  const LogHistory history = ReadLogHistory(reinterpret_cast<const uint8_t*>(view.data()), log.GetMaxSize());
  view = std::string();
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

  Follower follower(log, history);
  const HANDLE waits[2] = {g_stop, log.WrittenEvent()};
  for (;;) {
    const DWORD woke = WaitForMultipleObjects(waits[1] ? 2 : 1, waits, FALSE, kFollowPollMs);
    if (woke == WAIT_OBJECT_0 || !follower.Take(printer)) break;
    if (!printer.Flush()) {
      Complain("log: writing the output failed");
      return kVkFailed;
    }
  }
  printer.Flush();
  return kVkOk;
}
