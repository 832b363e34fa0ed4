// Command-line options of the console tools (vkctl, engine-sim): the
// arguments after the command name, taken out one option at a time.
#pragma once

#include <string>
#include <vector>

using Args = std::vector<std::string>;

// Takes "--name value" out of args; false when the name is absent. A name
// without a value is taken out too and makes ok false.
bool TakeOption(Args& args, const char* name, std::string& value, bool& ok);
// Takes a lone "--name" flag out of args.
bool TakeFlag(Args& args, const char* name);
