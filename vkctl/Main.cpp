// vkctl: the administrator's command-line tool for the rules: list, back up
// and restore them as JSON, add and remove rules from scripts, and test
// which rules deny an access.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "rules/RuleFile.h"
#include "vkctl/Commands.h"

namespace {

const char kUsage[] =
    "usage: vkctl COMMAND [options]   (vkctl COMMAND --help for more)\n"
    "\n"
    "  list [--json]                         show the rules\n"
    "  export [FILE|-]                       write the rules as JSON\n"
    "  import FILE|- [--replace]             merge (or replace) rules from JSON\n"
    "  add --deny KINDS [--source PROG] [--registry] [--system] DEST...\n"
    "  remove [--source PROG] DEST...        remove rules\n"
    "  test --process P --kind K [--registry] OBJECT\n"
    "                                        which rules deny an access\n"
    "  log [--json|--csv] [--since TIME] [--follow]\n"
    "                                        print the engine's log\n"
    "\n"
    "options of every command:\n"
    "  --path FILE      the rule file (default: QX5Rule.rle in the system directory)\n"
    "  --mapping NAME   its mapping name (default: the file name)\n"
    "  --window TITLE   the running front end to tell about changes (default Varnokel)\n"
    "  --password PW    the settings password, when one is set (else asked for)\n"
    "\n"
    "KINDS: open, modify, run, copy, delete, find, print, joined by commas.\n"
    "Rules are numbered from 1 in list order. Exit status: 0 done (test: allowed),\n"
    "1 test: denied, 2 bad usage or bad input (nothing written).\n";

struct Command {
  const char* name;
  int (*run)(const StoreOptions&, Args);
  const char* options;  // its own options, each between spaces
  const char* help;
};

const Command kCommands[] = {
    {"list", CommandList, " --json ",
     "usage: vkctl list [--json]\n"
     "  Prints the rules of the rule file, read under its Read mutex: an aligned\n"
     "  table of index, type, denied kinds, mode, source and dest, or with\n"
     "  --json the same JSON as export.\n"},
    {"export", CommandExport, " ",
     "usage: vkctl export [FILE|-]\n"
     "  Writes the rules as JSON to FILE, or to standard output (- or no FILE):\n"
     "    {\"format\": \"varnokel-rules\", \"version\": 1, \"rules\": [{\"type\": \"file\",\n"
     "     \"system\": false, \"deny\": [\"open\", \"copy\"], \"mode\": 10, \"source\": \"*\",\n"
     "     \"dest\": \"C:\\\\data\\\\plan.doc\"}]}\n"
     "  type: file, registry or net; mode defaults to 10 and source to \"*\".\n"},
    {"import", CommandImport, " --replace ",
     "usage: vkctl import FILE|- [--replace]\n"
     "  Reads rules as JSON (see export) from FILE, or standard input for -, and\n"
     "  merges each into the rules as the front end does (an equal rule gains\n"
     "  the kinds; new ordinary rules go first, new system rules last), or with\n"
     "  --replace makes them the whole rule set. Everything is checked first:\n"
     "  any error (its file, line and column, or the rule's number) refuses the\n"
     "  whole import and leaves the rule file as it was.\n"},
    {"add", CommandAdd, " --deny --source --registry --system ",
     "usage: vkctl add --deny KINDS [--source PROG] [--registry] [--system] DEST...\n"
     "  Adds one rule per DEST denying KINDS (comma-separated) to PROG (default\n"
     "  \"*\", every program); an equal rule gains the kinds. --registry: DEST is\n"
     "  a registry key (\"hkey_local_machine\\Software\\...\"); --system: a\n"
     "  system rule.\n"},
    {"remove", CommandRemove, " --source ",
     "usage: vkctl remove [--source PROG] DEST...\n"
     "  Removes every rule whose dest is one of DEST and whose source is PROG\n"
     "  (default \"*\"), ignoring case, and says how many it removed.\n"},
    {"test", CommandTest, " --process --kind --registry ",
     "usage: vkctl test --process P --kind K [--registry] OBJECT\n"
     "  Prints every rule that denies kind K (several joined by commas) by\n"
     "  program P to the file, directory or disk OBJECT (with --registry: the\n"
     "  registry key OBJECT), with its number, or that none does. Exit status\n"
     "  0 allowed, 1 denied.\n"
     "  Matching ignores case; \"*\" matches any run of characters; a dest without\n"
     "  \"*\" also covers everything below it (\"C:\\data\" covers\n"
     "  \"C:\\data\\a.doc\", not \"C:\\database\\a.doc\"); HKLM, HKCU, HKCR, HKU and\n"
     "  HKCC stand for the full registry root names.\n"},
    {"log", CommandLog, " --json --csv --since --follow ",
     "usage: vkctl log [--json|--csv] [--since \"YYYY-MM-DD HH:MM:SS\"] [--follow]\n"
     "  Prints the records of the engine's log file (QX5.log in the system\n"
     "  directory; another with --path and --mapping), oldest first, read under\n"
     "  its Read mutex. The log file is not changed.\n"
     "  Default: the lines of the front end's text log (type, action, text).\n"
     "  --json  JSON Lines, one object per record:\n"
     "          {\"time\":\"...\",\"type\":\"file\",\"process\":\"C:\\\\...\",\n"
     "           \"action\":\"open,modify\",\"result\":\"Denied\",\"object\":\"...\",\"system\":false}\n"
     "          type: file, registry or net; action: the kinds of vkctl add.\n"
     "  --csv   CSV (RFC 4180, UTF-8 with a byte order mark), header line\n"
     "          time,type,process,action,result,object, with the Log page's words.\n"
     "  --since keeps the records whose time is not earlier than TIME, and\n"
     "          those whose time cannot be read.\n"
     "  --follow goes on printing records as the engine writes them (it looks\n"
     "          four times a second), until Ctrl+C.\n"
     "  Strings are UTF-8 (JSON, CSV); the text lines keep the system code page.\n"
     "  A missing or damaged log file: exit status 2 and one line saying so.\n"},
};

}  // namespace

int main(int argc, char** argv) {
  // Plain "\n" line ends whatever reads the output (scripts, tests).
  _setmode(_fileno(stdout), _O_BINARY);
  Args args(argv + 1, argv + argc);
  if (args.empty()) {
    fputs(kUsage, stderr);
    return kVkFailed;
  }
  const std::string name = args.front();
  args.erase(args.begin());
  if (name == "--help" || name == "help" || name == "-h") {
    fputs(kUsage, stdout);
    return kVkOk;
  }
  const Command* command = nullptr;
  for (const Command& c : kCommands)
    if (name == c.name) command = &c;
  if (!command) {
    Complain("unknown command \"" + name + "\"");
    fputs(kUsage, stderr);
    return kVkFailed;
  }
  if (TakeFlag(args, "--help") || TakeFlag(args, "-h")) {
    fputs(command->help, stdout);
    return kVkOk;
  }
  StoreOptions options;
  options.window = "Varnokel";
  bool ok = true;
  if (!TakeValue(args, "--path", options.path, ok)) options.path = CRuleFile::DefaultPath();
  TakeValue(args, "--mapping", options.mapping, ok);
  TakeValue(args, "--window", options.window, ok);
  options.hasPassword = TakeValue(args, "--password", options.password, ok);
  if (!ok) return kVkFailed;
  for (const std::string& a : args) {
    if (a.size() > 2 && a.compare(0, 2, "--") == 0 && !strstr(command->options, (" " + a + " ").c_str())) {
      Complain(name + ": unknown option " + a + " (see vkctl " + name + " --help)");
      return kVkFailed;
    }
  }
  try {
    return command->run(options, args);
  } catch (const std::exception& e) {
    // Only running out of memory gets here; nothing half-done is written,
    // since the rule file is written in one pass at the very end.
    Complain(std::string("stopped: ") + e.what());
    return kVkFailed;
  }
}
