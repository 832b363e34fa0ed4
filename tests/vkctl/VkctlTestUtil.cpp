#include "VkctlTestUtil.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace testsupport;

namespace vktest {

std::vector<std::string> RunResult::Lines() const {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    std::string line = out.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

RunResult RunProgram(const std::string& program, const std::string& args, const std::string& outputFile,
                     const std::string& inputFile) {
  RunResult run;
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE out = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
  // Never the output of an earlier run: a file still held open elsewhere
  // fails the case.
  if (out == INVALID_HANDLE_VALUE) {
    ADD_FAILURE() << "cannot write " << outputFile << ": error " << GetLastError();
    return run;
  }
  HANDLE in = CreateFileA(inputFile.empty() ? "NUL" : inputFile.c_str(), GENERIC_READ, FILE_SHARE_READ, &sa,
                          OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = out;
  si.hStdError = out;
  si.hStdInput = in;
  PROCESS_INFORMATION pi{};
  std::string cmd = "\"" + ExeDir() + "\\" + program + "\" " + args;
  const BOOL ok = StartProcess(cmd, TRUE, 0, nullptr, si, pi);
  CloseHandle(out);
  if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
  if (!ok) {
    ADD_FAILURE() << "cannot start " << cmd;
    return run;
  }
  CloseHandle(pi.hThread);
  PumpUntil([&] { return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; }, 120000);
  GetExitCodeProcess(pi.hProcess, &run.code);
  CloseHandle(pi.hProcess);
  const auto bytes = ReadFileBytes(outputFile);
  run.out.assign(bytes.begin(), bytes.end());
  return run;
}

TempRules::TempRules(const char* tag)
    : dir(MakeTempDir(tag)), path(dir + "\\QX5Rule.rle"), mapping(UniqueMapping(tag)) {}

std::string TempRules::Args() const { return "--path \"" + path + "\" --mapping " + mapping; }

RunResult TempRules::Vk(const std::string& args, const std::string& input) const {
  return RunProgram("vkctl.exe", args + " " + Args(), dir + "\\vkctl-out.txt", input);
}

RuleList TempRules::Read() const { return testsupport::ReadRuleFile(path, mapping); }

void TempRules::Write(const RuleList& rules) const {
  CRuleFile file;
  if (file.Open(path.c_str(), mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false) != 0) return;
  file.WriteRules(rules);
  file.CloseAfterWrite();
}

std::string TempRules::WriteText(const std::string& name, const std::string& text) const {
  const std::string file = dir + "\\" + name;
  std::ofstream(file, std::ios::binary) << text;
  return file;
}

}  // namespace vktest
