// Running vkctl and the engine stand-in as processes on a rule file of the
// test's own.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "rules/RuleFile.h"

namespace vktest {

struct RunResult {
  DWORD code = ~0u;
  std::string out;  // standard output and standard error together
  // The output's lines, without their ends.
  std::vector<std::string> Lines() const;
};

// Starts "<ExeDir>\<program> <args>" with standard input read from inputFile
// (NUL when empty), and runs this thread's messages while it runs, so that
// a window of the test can answer it. Output goes through outputFile.
RunResult RunProgram(const std::string& program, const std::string& args, const std::string& outputFile,
                     const std::string& inputFile = "");

// A temporary rule file with its own mapping name.
struct TempRules {
  std::string dir;
  std::string path;
  std::string mapping;
  explicit TempRules(const char* tag = "vkctl");
  // The options that select this file.
  std::string Args() const;
  RunResult Vk(const std::string& args, const std::string& input = "") const;
  RuleList Read() const;
  void Write(const RuleList& rules) const;
  std::vector<uint8_t> Bytes() const { return testsupport::ReadFileBytes(path); }
  std::string WriteText(const std::string& name, const std::string& text) const;
};

}  // namespace vktest
