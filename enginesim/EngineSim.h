// The commands of the engine stand-in (one source file each).
#pragma once

#include <string>
#include <vector>

enum ExitCode {
  kExitOk = 0,
  kExitOpen = 1,
  kExitUsage = 2,
  kExitNoFrontEnd = 3,
  kExitDamaged = 4,
};

using Args = std::vector<std::string>;

// Takes "--name value" out of args; false when the name is absent. A name
// without a value makes ok false.
bool TakeOption(Args& args, const char* name, std::string& value, bool& ok);
// Takes a lone "--name" flag out of args.
bool TakeFlag(Args& args, const char* name);
// Parses a decimal or 0x-hex 32-bit number.
bool ParseNumber(const std::string& text, unsigned long& value);

int CommandRules(Args args);
int CommandReload(Args args);
int CommandLog(Args args);
int CommandSend(Args args);
