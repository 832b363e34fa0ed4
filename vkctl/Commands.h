// The commands of vkctl, one function each, and the small command-line
// helpers they share.
#pragma once

#include <string>
#include <vector>

#include "vkctl/RuleStore.h"

using Args = std::vector<std::string>;

// Takes "--name value" out of args; false when absent. A name without a
// value sets ok to false.
bool TakeOption(Args& args, const char* name, std::string& value, bool& ok);
// Takes a lone "--name" out of args.
bool TakeFlag(Args& args, const char* name);

// Each returns the exit code; args hold what follows the command name, with
// the global options already taken out.
int CommandList(const StoreOptions& options, Args args);
int CommandExport(const StoreOptions& options, Args args);
int CommandImport(const StoreOptions& options, Args args);
int CommandAdd(const StoreOptions& options, Args args);
int CommandRemove(const StoreOptions& options, Args args);
int CommandTest(const StoreOptions& options, Args args);
