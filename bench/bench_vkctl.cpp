// Benchmark of `vkctl test` on a rule file filled up to its reserve. The
// baseline, measured in the same run, is one pass of plain case-insensitive
// comparisons of the object and the program with every rule's dest and
// source. Figures:
//   match      the matching function over the rules in memory
//   decision   what `vkctl test` does in its process: open the rule file,
//              read every rule under the Read mutex, match
//   process    vkctl.exe started and waited for (process start included)
//   bench_vkctl [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchClock.h"
#include "rules/RuleFile.h"
#include "rules/RuleJson.h"
#include "rules/RuleMatch.h"
#include "rules/RuleSet.h"

using bench::Median;
using bench::Now;

namespace {

// Rules like a large installation's: directories, files, patterns and
// registry keys, some for one program only, until the reserve is reached.
RuleList FullRuleSet() {
  RuleList rules;
  for (int i = 0;; ++i) {
    std::string dest;
    uint32_t type = TYPE_FILE;
    switch (i % 4) {
      case 0: dest = "C:\\Users\\someone\\Documents\\Project " + std::to_string(i); break;
      case 1:
        dest =
            "C:\\Users\\someone\\Documents\\Project " + std::to_string(i) + "\\report-" + std::to_string(i) + ".docx";
        break;
      case 2: dest = "D:\\Shares\\Team " + std::to_string(i) + "\\*.xls"; break;
      default: dest = "hkey_local_machine\\Software\\Vendor " + std::to_string(i) + "\\Run*"; type = TYPE_REGISTRY;
    }
    auto r = MakeRule(i % 3 ? "*" : "C:\\Program Files\\Office\\winword.exe", dest, type, KIND_COPY | KIND_OPEN,
                      RULE_MODE_NORMAL);
    rules.push_back(std::move(r));
    if (!RuleSetFits(rules)) {
      rules.pop_back();
      return rules;
    }
  }
}

volatile size_t g_sink;

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(3, atoi(argv[1])) : 51;
  char tmp[MAX_PATH];
  GetTempPathA(MAX_PATH, tmp);
  const std::string path = std::string(tmp) + "vk_bench_vkctl.rle";
  const std::string mapping = "VkBench.vkctl." + std::to_string(GetCurrentProcessId());

  const RuleList rules = FullRuleSet();
  {
    CRuleFile file;
    if (file.Open(path.c_str(), mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false) != 0 ||
        file.WriteRules(rules) != 0) {
      fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    file.CloseAfterWrite();
  }
  // Denied by the last rules only: every rule is looked at.
  const std::string process = "C:\\Program Files\\Office\\WINWORD.EXE";
  // A document in the directory of the last directory rule.
  std::string lastDirectory;
  for (const auto& r : rules)
    if (r->Dest.find('.') == std::string::npos && r->Dest.rfind("C:\\", 0) == 0) lastDirectory = r->Dest;
  const std::string object = lastDirectory + "\\x.doc";
  const AccessQuery query{process, object, KIND_COPY, AccessObject::File};

  // Passes per timing, so that one timing is well above the clock's step.
  const int passes = 50;
  std::vector<double> baseT, matchT, decideT;
  size_t hits = 0, read = 0;
  for (int n = 0; n < rounds; ++n) {
    double t0 = Now();
    for (int p = 0; p < passes; ++p) {
      size_t equal = 0;
      for (const auto& r : rules)
        equal += (_stricmp(r->Dest.c_str(), object.c_str()) == 0) + (_stricmp(r->Source.c_str(), process.c_str()) == 0);
      g_sink = equal;
    }
    double t1 = Now();
    for (int p = 0; p < passes; ++p) hits = MatchRules(rules, query).size();
    double t2 = Now();
    for (int p = 0; p < passes; ++p) {
      CRuleFile file;
      RuleList back;
      file.Open(path.c_str(), mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessRead, false);
      uint32_t count = 0, offset = 0;
      file.ReadRules(back, &count, &offset);
      file.CloseAfterWrite();
      read = back.size();
      g_sink = MatchRules(back, query).size();
    }
    double t3 = Now();
    baseT.push_back((t1 - t0) / passes);
    matchT.push_back((t2 - t1) / passes);
    decideT.push_back((t3 - t2) / passes);
  }

  // The whole program a few times: process start dominates.
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string dir(exe);
  dir.resize(dir.rfind('\\'));
  std::vector<double> processT;
  DWORD lastCode = ~0u;
  for (int n = 0; n < 5; ++n) {
    std::string cmd = "\"" + dir + "\\vkctl.exe\" test --process \"" + process + "\" --kind copy \"" + object +
                      "\" --path \"" + path + "\" --mapping " + mapping;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetHandleInformation(nul, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    si.hStdOutput = si.hStdError = nul;
    PROCESS_INFORMATION pi{};
    double t0 = Now();
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) break;
    WaitForSingleObject(pi.hProcess, INFINITE);
    processT.push_back(Now() - t0);
    GetExitCodeProcess(pi.hProcess, &lastCode);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(nul);
  }
  DeleteFileA(path.c_str());

  const double base = Median(baseT);
  printf("rule file filled to its reserve: %zu rules (%llu of %u data bytes), %zu read back\n", rules.size(),
         static_cast<unsigned long long>(RuleSetBytes(rules)),
         RULE_FILE_SIZE - RULE_FILE_HEADER_SIZE - RULE_FILE_RESERVE, read);
  printf("denying rules found: %zu; vkctl.exe exit status %lu\n", hits, static_cast<unsigned long>(lastCode));
  printf("baseline (plain case-insensitive comparison pass): %.1f us\n", base * 1e6);
  printf("match    / baseline: %6.2f  (%.1f us)\n", Median(matchT) / base, Median(matchT) * 1e6);
  printf("decision / baseline: %6.2f  (%.1f us)\n", Median(decideT) / base, Median(decideT) * 1e6);
  if (!processT.empty())
    printf("process  / baseline: %6.0f  (%.1f ms)\n", Median(processT) / base, Median(processT) * 1e3);
  return 0;
}
