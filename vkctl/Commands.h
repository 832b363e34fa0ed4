// The commands of vkctl, one function each, and the small command-line
// helpers they share.
#pragma once

#include <string>
#include <vector>

#include "framework/CommandArgs.h"
#include "vkctl/RuleStore.h"

// Takes "--name value" out of args as TakeOption does, and says what is
// wrong when the value is missing.
bool TakeValue(Args& args, const char* name, std::string& value, bool& ok);

// Each returns the exit code; args hold what follows the command name, with
// the global options already taken out.
int CommandList(const StoreOptions& options, Args args);
int CommandExport(const StoreOptions& options, Args args);
int CommandImport(const StoreOptions& options, Args args);
int CommandAdd(const StoreOptions& options, Args args);
int CommandRemove(const StoreOptions& options, Args args);
int CommandTest(const StoreOptions& options, Args args);
// vkctl log (vkctl/LogCommand.cpp): --path and --mapping name the log file.
int CommandLog(const StoreOptions& options, Args args);
