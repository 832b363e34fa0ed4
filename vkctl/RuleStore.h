// vkctl's access to the rule file through the rule store of rules/: reads
// open the file for reading only; changes are one read-modify-write under
// the Write mutex (the front end's order: Write, then Read), saved as the
// Files page saves; then a running front end is asked to reload.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "framework/CodePage.h"
#include "rules/RuleRecord.h"

// vkctl's exit codes.
enum VkExit {
  kVkOk = 0,
  kVkDenied = 1,  // `vkctl test`: some rule denies the access
  kVkFailed = 2,  // bad usage, bad input, or nothing could be done
};

struct StoreOptions {
  std::string path;      // the rule file; default the system directory's
  std::string mapping;   // mapping name; empty = the file name
  std::string window;    // title of the front end's main window
  std::string password;  // given with --password
  bool hasPassword = false;
};

// Prints "vkctl: <text>" as one line on stderr.
void Complain(const std::string& text);

// Reads every rule without writing anything (a missing file holds none).
// False (with a message printed) when the file cannot be opened or holds a
// damaged record.
bool ReadStore(const StoreOptions& options, RuleList& rules);

// What a change did: kVkOk with or without a change, or kVkFailed (the
// callback has printed why; nothing is written).
struct ChangeResult {
  int status = kVkOk;
  bool changed = false;
};
using RuleChange = std::function<ChangeResult(RuleList& rules)>;

// Checks the settings password, then reads the rules, lets change edit
// them, and writes them back when it changed them and they fit before the
// reserve, all under the Write mutex. Then report prints the command's
// result, and after a write a running front end is asked to reload (one
// more line when it was busy and shows the change only later). Returns the
// exit code.
int ChangeStore(const StoreOptions& options, const RuleChange& change, const std::function<void()>& report);
