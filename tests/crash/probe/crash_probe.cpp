// crash_probe: faults on purpose inside one of the program's crash guards,
// through the program's own guarded routines, for the crash tests.
//   crash_probe main | main-divide | main-overflow | main-throw | main-caught | main-ok
//               main-handled
//               close | log | create | twice
// main*:  the fault happens inside the main-entry guard; the exit code is
//         what the guarded entry returns (0 after a report, 7 without fault).
// close:  a rule-file job whose rule list is not valid, run by the progress
//         window; exit 0 when the window ended with OK.
// log:    a log reader with parameters that are not valid; exit 0 when its
//         end was signalled.
// create: a worker start with security attributes that are not valid; exit
//         0 when the start returned false.
// twice:  the log fault, then the same fault in a second reader thread;
//         that one reaches the system's last handler, which ends the
//         process with the exception code.
// Faults that reach the last handler print "unhandled <code>" and end the
// process with the exception code as its exit code.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/BaseThread.h"
#include "app/CloseThread.h"
#include "app/DlgNotify.h"
#include "app/ExceptionAttacher.h"
#include "framework/Module.h"
#include "log/LogReadThread.h"
#include "rules/RuleFile.h"

namespace {

// An address in the first page, which is never mapped (read through a
// volatile so that the compiler cannot see it).
volatile uintptr_t g_invalidAddress = 0x10;
volatile bool g_keepRecursing = true;

template <typename T>
T* Invalid() {
  return reinterpret_cast<T*>(g_invalidAddress);
}

LONG WINAPI LastChance(EXCEPTION_POINTERS* info) {
  const DWORD code = info->ExceptionRecord->ExceptionCode;
  printf("unhandled %08lx\n", static_cast<unsigned long>(code));
  fflush(stdout);
  TerminateProcess(GetCurrentProcess(), code);
  return EXCEPTION_EXECUTE_HANDLER;
}

int WriteNull(void*) {
  *static_cast<volatile int*>(Invalid<int>()) = 1;
  return 7;
}

int Divide(void*) {
  volatile int zero = 0;
  volatile int result = 100 / zero;
  return result == 0 ? 7 : 8;
}

__attribute__((noinline)) int Recurse(int depth) {
  volatile char page[1024];
  page[0] = static_cast<char>(depth);
  return g_keepRecursing ? Recurse(depth + 1) + page[0] : page[0];
}

int Overflow(void*) { return Recurse(0) ? 7 : 8; }

int Throw(void*) { throw std::string("not caught"); }

int Ok(void*) { return 7; }

// A fault that a system call raises and handles itself, as shell
// extensions, RPC and COM do inside the program, is none of the guard's
// business either.
int Handled(void*) { return IsBadReadPtr(Invalid<void>(), 4) ? 7 : 8; }

// A C++ exception that the body catches itself is none of the guard's
// business.
int Caught(void*) {
  try {
    throw std::string("caught");
  } catch (const std::string& e) {
    return e == "caught" ? 7 : 8;
  }
}

int RunMain(const std::string& mode) {
  EntryBody body = mode == "main"            ? WriteNull
                   : mode == "main-divide"   ? Divide
                   : mode == "main-overflow" ? Overflow
                   : mode == "main-throw"    ? Throw
                   : mode == "main-caught"   ? Caught
                   : mode == "main-handled"  ? Handled
                                             : Ok;
  const int code = RunGuardedEntry(body, nullptr);
  printf("entry returned %d\n", code);
  return code;
}

int RunClose() {
  CRuleFile file;
  const std::string path = ModuleDir() + "\\probe.rle";
  const std::string mapping = "crash_probe." + std::to_string(GetCurrentProcessId());
  if (file.Open(path.c_str(), mapping.c_str(), 0x10000, CMappedFile::kAccessReadWrite, false) != 0) {
    printf("rule file not opened\n");
    return 3;
  }
  NOTIFY_JOB job{};
  job.operations = NOTIFY_LOAD_RULES;
  job.ruleFile = &file;
  job.rules = Invalid<RuleList>();
  CDlgNotify dlg(nullptr, &job, "Loading Rule File...");
  const INT_PTR result = dlg.DoModal();
  printf("progress window ended with %d at %d%%\n", static_cast<int>(result), dlg.ClosingPosition());
  return result == IDOK && dlg.ClosingPosition() == 100 ? 0 : 1;
}

// Starts a reader whose log file is not valid; true when its end came.
bool RunBrokenReader(CLogReadThread& reader, ReaderParams& params) {
  params = ReaderParams{nullptr, Invalid<CLogFile>(), Invalid<CListCtrlStyled>(), nullptr, nullptr, nullptr, 0};
  reader.m_pParams = &params;
  reader.SetTextLogPath(ModuleDir() + "\\probe_text.log");
  if (!reader.CreateThread(THREAD_PRIORITY_BELOW_NORMAL)) return false;
  // Once the thread has ended, both of its end events must be signalled.
  return reader.WaitForEnd(60000) && WaitForSingleObject(reader.StopEvent(), 0) == WAIT_OBJECT_0 &&
         WaitForSingleObject(reader.DoneEvent(), 0) == WAIT_OBJECT_0;
}

int RunLog() {
  CLogReadThread reader;
  ReaderParams params;
  const bool ended = RunBrokenReader(reader, params);
  printf("reader end %s\n", ended ? "signalled" : "missing");
  return ended ? 0 : 1;
}

int RunCreate() {
  CBaseThread thread;
  const bool created = thread.CreateThread(THREAD_PRIORITY_NORMAL, 0, 0, Invalid<SECURITY_ATTRIBUTES>());
  printf("CreateThread returned %d\n", created ? 1 : 0);
  return created ? 1 : 0;
}

int RunTwice() {
  CLogReadThread first;
  ReaderParams firstParams;
  const bool ended = RunBrokenReader(first, firstParams);
  printf("first reader end %s\n", ended ? "signalled" : "missing");
  fflush(stdout);
  if (!ended) return 1;
  CLogReadThread second;
  ReaderParams secondParams;
  RunBrokenReader(second, secondParams);
  printf("second fault did not reach the system\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  SetAppInstance(GetModuleHandleA(nullptr));
  SetUnhandledExceptionFilter(LastChance);
  setvbuf(stdout, nullptr, _IONBF, 0);
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode.rfind("main", 0) == 0) return RunMain(mode);
  if (mode == "close") return RunClose();
  if (mode == "log") return RunLog();
  if (mode == "create") return RunCreate();
  if (mode == "twice") return RunTwice();
  fprintf(stderr,
          "usage: crash_probe main|main-divide|main-overflow|main-throw|main-caught|main-ok|main-handled|"
          "close|log|create|twice\n");
  return 2;
}
