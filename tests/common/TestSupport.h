// Helpers shared by the Windows tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/Trace.h"
#include "rules/RuleRecord.h"

namespace testsupport {

// The directory of the running test program (helper programs live there).
std::string ExeDir();
// A fresh, empty directory for one test; removed by RemoveTempDirs.
std::string MakeTempDir(const std::string& tag);
// Removes every directory MakeTempDir made (at the end of the program).
void RemoveTempDirs();
// A name for a mapping, mutex or event that no other test or run uses: the
// named objects are shared by every process of the Wine prefix.
std::string UniqueMapping(const char* tag);
std::vector<uint8_t> ReadFileBytes(const std::string& path);
// The rules a rule file holds now, read through an object of its own
// (read-only, under the Read mutex); empty when it cannot be opened.
RuleList ReadRuleFile(const std::string& path, const std::string& mapping);

// A started child process; Wait returns its exit code (or ~0u on time-out).
struct Process {
  HANDLE process = nullptr;
  DWORD id = 0;
  ~Process();
  DWORD Wait(DWORD ms = 60000);
};
// CreateProcessA, tried once more when the program could not be started at
// all: under load Wine's loader now and then fails to set up a new process
// (the program never runs). The failure is named on stderr.
BOOL StartProcess(std::string cmd, BOOL inherit, DWORD flags, const char* dir, STARTUPINFOA& si,
                  PROCESS_INFORMATION& pi);
// Starts "<ExeDir>\<program>" with the arguments; stdout/stderr go to
// outputFile when given.
bool StartHelper(Process& p, const std::string& program, const std::string& args, const std::string& outputFile = "");

// Collects the trace lines written while it lives.
class TraceCapture {
 public:
  TraceCapture();
  ~TraceCapture();
  const std::vector<std::string>& Lines() const;
  bool Contains(const std::string& line) const;

 private:
  TraceSink previous_;
};

// Runs the messages of this thread until the predicate holds or the time
// runs out; returns the predicate's last value.
template <typename Pred>
bool PumpUntil(Pred pred, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (pred()) return true;
    if (GetTickCount() - start > timeoutMs) return pred();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

}  // namespace testsupport
