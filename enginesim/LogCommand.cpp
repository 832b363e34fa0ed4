// engine-sim log: appends records to the activity log the way the engine
// does. Every append takes the log's Write mutex, then its Read mutex, finds
// the end of the records by walking from the read base, appends with the
// wrap rule of the log format, releases both and signals the written event.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "enginesim/EngineSim.h"
#include "framework/Handle.h"
#include "log/LogFile.h"
#include "rules/RuleRecord.h"

namespace {

struct Record {
  uint32_t type;
  uint32_t action;
  std::string text;
};

// Appends the records as one pass under the mutexes; false when the file is
// not open for writing.
bool AppendRecords(CLogFile& log, const std::vector<Record>& records) {
  if (!log.IsOpen() || !log.IsWriteMode()) return false;
  {
    MutexLock writeLock(log.WriteMutex());
    MutexLock readLock(log.ReadMutex());
    uint8_t* base = log.GetReadBase();
    uint32_t position = FindLogWritePosition(base, log.GetMaxSize());
    for (const Record& r : records)
      position = AppendLogRecord(base, log.GetMaxSize(), position, r.type, r.action, r.text);
  }
  SetEvent(log.WrittenEvent());
  return true;
}

// A small deterministic generator, so that runs can be repeated.
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed * 2654435761u + 1) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  uint32_t Below(uint32_t n) { return n ? Next() % n : 0; }
  template <typename T, size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(N)];
  }

 private:
  uint32_t state_;
};

const char* const kProcesses[] = {
    "C:\\Program Files\\Mozilla Firefox\\firefox.exe",
    "C:\\Windows\\explorer.exe",
    "C:\\Windows\\System32\\notepad.exe",
    "C:\\Program Files\\Microsoft Office\\Office16\\WINWORD.EXE",
    "C:\\Users\\bob\\AppData\\Local\\Temp\\setup_4711.exe",
    "C:\\Windows\\System32\\svchost.exe",
    "C:\\Program Files\\7-Zip\\7zFM.exe",
    "C:\\Windows\\System32\\cmd.exe",
    "C:\\Windows\\regedit.exe",
    "C:\\Program Files (x86)\\Backup Tool\\backup.exe",
};

const char* const kFiles[] = {
    "C:\\Users\\bob\\Documents\\plan.doc",
    "C:\\Users\\bob\\Documents\\Finance\\budget 2027.xls",
    "C:\\Users\\bob\\Desktop\\passwords.txt",
    "C:\\Windows\\System32\\drivers\\etc\\hosts",
    "C:\\Windows\\win.ini",
    "D:\\Projects\\secret\\design.pdf",
    "C:\\Users\\bob\\Pictures\\holiday\\IMG_0042.JPG",
    "C:\\Windows\\System32\\autoexec.nt",
    "C:\\Program Files\\Common Files\\updater.dll",
    "E:\\",
};

const char* const kKeys[] = {
    "hkey_local_machine\\software\\microsoft\\windows\\currentversion\\run",
    "hkey_current_user\\software\\microsoft\\internet explorer\\main",
    "hkey_local_machine\\system\\currentcontrolset\\services",
    "hkey_classes_root\\exefile\\shell\\open\\command",
};

const char* const kHosts[] = {"192.0.2.17:80", "198.51.100.4:443", "203.0.113.9:25"};

const uint32_t kActions[] = {KIND_OPEN, KIND_OPEN,   KIND_OPEN, KIND_MODIFY, KIND_RUN,
                             KIND_COPY, KIND_DELETE, KIND_FIND, KIND_PRINT,  KIND_OPEN | KIND_MODIFY};

// One record as the engine would write it: "time,process,prefix : object".
Record MakeRecord(Random& rnd, bool withSeq, uint32_t seq) {
  Record r{};
  const uint32_t pick = rnd.Below(20);
  std::string object;
  if (pick < 14) {
    r.type = TYPE_FILE;
    object = rnd.Pick(kFiles);
  } else if (pick < 17) {
    r.type = TYPE_REGISTRY;
    object = rnd.Pick(kKeys);
  } else if (pick < 18) {
    r.type = TYPE_NET;
    object = rnd.Pick(kHosts);
  } else {
    r.type = TYPE_FILE | TYPE_SYSTEM;
    object = "C:\\Windows\\System32\\config\\SAM";
  }
  r.action = rnd.Pick(kActions);
  const char* prefix = rnd.Below(4) == 0 ? "Allowed" : "Denied";
  r.text = TimeText() + "," + rnd.Pick(kProcesses) + "," + prefix + " : " + object;
  if (withSeq) r.text += " -seq " + std::to_string(seq);
  return r;
}

int Generate(CLogFile& log, unsigned long total, unsigned long rate, bool withSeq, unsigned long firstSeq) {
  Random rnd(static_cast<uint32_t>(firstSeq) + 7);
  const DWORD start = GetTickCount();
  unsigned long written = 0;
  std::vector<Record> batch;
  while (written < total) {
    unsigned long due = total - written;
    if (rate != 0) {
      const unsigned long long elapsed = GetTickCount() - start;
      const unsigned long long allowed = elapsed * rate / 1000 + 1;
      due = allowed > written ? static_cast<unsigned long>(allowed - written) : 0;
      if (due > total - written) due = total - written;
      // Appends in small groups: every pass walks the records from the
      // start of the file to find their end.
      if (due < 50 && due < total - written) {
        Sleep(5);
        continue;
      }
    }
    if (due > 200) due = 200;  // keep each hold of the mutexes short
    batch.clear();
    for (unsigned long i = 0; i < due; ++i)
      batch.push_back(MakeRecord(rnd, withSeq, static_cast<uint32_t>(firstSeq + written + i)));
    if (!AppendRecords(log, batch)) return kExitOpen;
    written += due;
  }
  return kExitOk;
}

int Demo(CLogFile& log) {
  Random rnd(GetTickCount());
  for (;;) {
    if (!AppendRecords(log, {MakeRecord(rnd, false, 0)})) return kExitOpen;
    Sleep(200 + rnd.Below(300));
  }
}

}  // namespace

std::string TimeText() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char buf[32];
  // Short enough for the Log page's time column.
  snprintf(buf, sizeof buf, "%02u/%02u %02u:%02u:%02u", t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
  return buf;
}

int CommandLog(Args args) {
  bool ok = true;
  std::string path = CLogFile::DefaultPath(), mapping, event = CLogFile::kWrittenEventName;
  std::string type, action, text, generate, rate = "0", seq;
  TakeOption(args, "--path", path, ok);
  const bool hasMapping = TakeOption(args, "--mapping", mapping, ok);
  TakeOption(args, "--event", event, ok);
  const bool single = TakeOption(args, "--type", type, ok);
  TakeOption(args, "--action", action, ok);
  const bool hasText = TakeOption(args, "--text", text, ok);
  const bool gen = TakeOption(args, "--generate", generate, ok);
  TakeOption(args, "--rate", rate, ok);
  const bool withSeq = TakeOption(args, "--seq", seq, ok);
  const bool demo = TakeFlag(args, "--demo");
  if (!ok || !args.empty() || (single + gen + demo) != 1) return kExitUsage;

  unsigned long typeValue = 0, actionValue = 0, count = 0, rateValue = 0, seqValue = 0;
  if (single && (!hasText || text.empty() || !ParseNumber(type, typeValue) || typeValue == 0 ||
                 (!action.empty() && !ParseNumber(action, actionValue))))
    return kExitUsage;
  if (gen &&
      (!ParseNumber(generate, count) || !ParseNumber(rate, rateValue) || (withSeq && !ParseNumber(seq, seqValue))))
    return kExitUsage;

  // The log object is left to the process end: its destructor drops a
  // pending signal of the written event, which only the reader may consume.
  CLogFile& log = *new CLogFile(event.c_str());
  if (log.Open(path.c_str(), hasMapping ? mapping.c_str() : nullptr, LOG_FILE_SIZE, CMappedFile::kAccessReadWrite,
               false) != 0) {
    fprintf(stderr, "engine-sim: cannot open the log file %s\n", path.c_str());
    return kExitOpen;
  }
  int rc;
  if (single) {
    rc = AppendRecords(log, {{static_cast<uint32_t>(typeValue), static_cast<uint32_t>(actionValue), text}}) ? kExitOk
                                                                                                            : kExitOpen;
  } else if (gen) {
    rc = Generate(log, count, rateValue, withSeq, seqValue);
  } else {
    rc = Demo(log);
  }
  log.CloseLog(0);
  return rc;
}
