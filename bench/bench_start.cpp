// Start and change benchmark (not a test): the real program beside this one,
// on the system directory's rule file, with 1,250 rules against an empty
// rule file, each figure a ratio of the two measured in the same run.
//
//   start    from starting Varnokel.exe until its main window is visible and
//            answers a message;
//   change   one "vkctl add" of one more file, which returns once the running
//            program has reloaded its rules and rebuilt its list.
//
// The rule file that was there is put back at the end. Run it in a Wine
// prefix of its own where no Varnokel runs (tools/bench.sh does).
//   bench_start [rounds]      (medians of the rounds, default 5)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchClock.h"
#include "rules/RuleFile.h"
#include "rules/RuleSet.h"

using bench::Median;
using bench::Now;

namespace {

constexpr int kRules = 1250;
constexpr DWORD kLimitMs = 60000;

std::string ProgramDir() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir = path;
  return dir.substr(0, dir.find_last_of('\\'));
}

RuleList MakeRules(int n) {
  RuleList rules;
  for (int i = 0; i < n; ++i) {
    const uint32_t kinds = KIND_COPY | (i % 3 ? KIND_OPEN : KIND_MODIFY);
    if (i % 8 == 0) {
      rules.push_back(MakeRule("*", "hkey_local_machine\\Software\\Classes\\Key" + std::to_string(i),
                               TYPE_REGISTRY | TYPE_SYSTEM, kinds, RULE_MODE_NORMAL));
    } else {
      rules.push_back(MakeRule(
          "*", "C:\\Users\\bob\\Documents\\Project " + std::to_string(i / 40) + "\\f" + std::to_string(i) + ".docx",
          TYPE_FILE, kinds, RULE_MODE_NORMAL));
    }
  }
  return rules;
}

bool Seed(const RuleList& rules) {
  CRuleFile file;
  const std::string path = CRuleFile::DefaultPath();
  if (file.Open(path.c_str(), nullptr, RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false) != 0) return false;
  const bool ok = file.WriteRules(rules) == 0;
  file.CloseAfterWrite();
  return ok;
}

bool ReadAll(const std::string& path, std::string& bytes) {
  HANDLE f =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  bytes.assign(GetFileSize(f, nullptr), '\0');
  DWORD got = 0;
  const bool ok = ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) && got == bytes.size();
  CloseHandle(f);
  return ok;
}

void WriteAll(const std::string& path, const std::string& bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD wrote = 0;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr);
  CloseHandle(f);
}

bool Launch(const std::string& commandLine, PROCESS_INFORMATION& pi, bool quiet) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  HANDLE nul = INVALID_HANDLE_VALUE;
  if (quiet) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0,
                      nullptr);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = nul;
  }
  std::string line = commandLine;
  const bool ok = CreateProcessA(nullptr, line.data(), nullptr, nullptr, quiet, 0, nullptr, nullptr, &si, &pi);
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  return ok;
}

HWND MainWindow() {
  HWND w = FindWindowA("#32770", "Varnokel");
  return w && IsWindowVisible(w) ? w : nullptr;
}

// Seconds from the start of the program until its main window is visible
// and answers; the window through main.
double Start(const std::string& exe, PROCESS_INFORMATION& pi, HWND& main) {
  const double t0 = Now();
  if (!Launch("\"" + exe + "\"", pi, false)) return -1;
  main = nullptr;
  while (!(main = MainWindow())) {
    if ((Now() - t0) * 1000 > kLimitMs || WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) return -1;
    Sleep(2);
  }
  DWORD_PTR answer = 0;
  SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, kLimitMs, &answer);
  return Now() - t0;
}

// Seconds one "vkctl add" takes, including the running program's reload.
double Change(const std::string& vkctl, int round) {
  PROCESS_INFORMATION pi{};
  const double t0 = Now();
  if (!Launch("\"" + vkctl + "\" add --deny copy C:\\bench\\one-more-" + std::to_string(round) + ".txt", pi, true))
    return -1;
  WaitForSingleObject(pi.hProcess, kLimitMs);
  const double t = Now() - t0;
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code == 0 ? t : -1;
}

void Stop(PROCESS_INFORMATION& pi) {
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, kLimitMs);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  // The single-instance mutex goes with the process; the window too.
  for (int i = 0; i < 500 && FindWindowA("#32770", "Varnokel"); ++i) Sleep(10);
}

void PrintRow(const char* what, double ms, double baseMs) {
  printf("%-34s %9.1f %9.1f %7.2f\n", what, ms, baseMs, baseMs > 0 ? ms / baseMs : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(3, atoi(argv[1])) : 5;
  const std::string dir = ProgramDir();
  const std::string exe = dir + "\\Varnokel.exe", vkctl = dir + "\\vkctl.exe";
  if (FindWindowA("#32770", "Varnokel")) {
    fprintf(stderr, "Varnokel is running in this prefix; end it first\n");
    return 1;
  }
  const std::string rulePath = CRuleFile::DefaultPath();
  std::string saved;
  const bool hadFile = ReadAll(rulePath, saved);

  const RuleList full = MakeRules(kRules), none;
  std::vector<double> start[2], change[2];
  bool failed = false;
  for (int n = 0; n < rounds && !failed; ++n) {
    // Empty and full alternate, so that a change of the machine's load
    // falls on both alike.
    for (int withRules = 0; withRules < 2 && !failed; ++withRules) {
      if (!Seed(withRules ? full : none)) {
        fprintf(stderr, "cannot write %s\n", rulePath.c_str());
        failed = true;
        break;
      }
      PROCESS_INFORMATION pi{};
      HWND main = nullptr;
      const double s = Start(exe, pi, main);
      // Settle: the first paints and the log reader's start are over.
      Sleep(500);
      const double c = s >= 0 ? Change(vkctl, n) : -1;
      if (pi.hProcess) Stop(pi);
      if (s < 0 || c < 0) {
        fprintf(stderr, "round %d (%s): the program %s\n", n, withRules ? "1,250 rules" : "empty",
                s < 0 ? "did not show its window" : "did not take the change");
        failed = true;
        break;
      }
      start[withRules].push_back(s);
      change[withRules].push_back(c);
    }
  }

  if (hadFile) {
    WriteAll(rulePath, saved);
  } else {
    DeleteFileA(rulePath.c_str());
  }
  if (failed) return 1;
  printf("Varnokel with %d rules against an empty rule file, medians of %d rounds\n", kRules, rounds);
  printf("%-34s %9s %9s %7s\n", "measure", "ms", "empty ms", "ratio");
  PrintRow("start to main window", Median(start[1]) * 1e3, Median(start[0]) * 1e3);
  PrintRow("one change (vkctl add)", Median(change[1]) * 1e3, Median(change[0]) * 1e3);
  return 0;
}
