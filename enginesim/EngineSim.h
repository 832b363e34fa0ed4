// The commands of the engine stand-in (one source file each).
#pragma once

#include <string>
#include <vector>

#include "framework/CommandArgs.h"

enum ExitCode {
  kExitOk = 0,
  kExitOpen = 1,
  kExitUsage = 2,
  kExitNoFrontEnd = 3,
  kExitDamaged = 4,
};

// engine-sim access: the access was approved (0) or denied (1); the rule or
// log file could not be opened (5).
enum AccessExitCode {
  kAccessApproved = 0,
  kAccessDenied = 1,
  kAccessFailed = 5,
};

// Parses a decimal or 0x-hex 32-bit number.
bool ParseNumber(const std::string& text, unsigned long& value);

// The time text of a log record, as the engine writes it.
std::string TimeText();

int CommandRules(Args args);
int CommandReload(Args args);
int CommandLog(Args args);
int CommandAccess(Args args);
int CommandSend(Args args);
