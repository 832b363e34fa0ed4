// engine-sim: a console stand-in for the access engine, for development and
// tests. It plays the engine's side of the shared objects: it reads the rule
// file under its Read mutex, asks the front end to reload the rules, and
// appends records to the activity log under the log's Write and Read mutexes,
// signalling "LogFileEventWritten" after every append.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "enginesim/EngineSim.h"

namespace {

const char kUsage[] =
    "usage: engine-sim COMMAND [options]\n"
    "\n"
    "  rules [--path FILE] [--mapping NAME]\n"
    "      Reads the rule file (default: the system directory's QX5Rule.rle;\n"
    "      a missing one holds no rules) without writing anything, and\n"
    "      prints its records, one per line, as\n"
    "      five tab-separated fields:\n"
    "        TYPE<TAB>KINDS<TAB>MODE<TAB>SOURCE<TAB>DEST\n"
    "      TYPE and KINDS as two-digit hex bit sets (0x01), MODE in decimal,\n"
    "      SOURCE and DEST as stored. A last line \"# N rules\" gives the\n"
    "      count.\n"
    "  reload [--title TITLE]\n"
    "      Asks the running front end (the dialog titled TITLE, default\n"
    "      \"Varnokel\") to reload its rules from the file.\n"
    "  log [--path FILE] [--mapping NAME] [--event NAME] MODE\n"
    "      Appends records to the activity log (default: the system\n"
    "      directory's QX5.log) and signals the written event after each\n"
    "      append (default \"LogFileEventWritten\"). MODE is one of:\n"
    "        --type T --action A --text TEXT   one record (T, A: numbers,\n"
    "                                          0x.. for hex)\n"
    "        --generate N [--rate R] [--seq S] N realistic records, at most R\n"
    "                                          a second (0 = no limit); with\n"
    "                                          --seq each detail ends in\n"
    "                                          \" -seq <number>\" counted from S\n"
    "        --demo                            an endless slow stream (2 to 5\n"
    "                                          records a second) until killed\n"
    "  access --process P --kind K [--registry] [--path FILE] [--mapping NAME]\n"
    "         [--log-path FILE] [--log-mapping NAME] [--event NAME] OBJECT\n"
    "      Decides an access as the engine would: reads the rules under the\n"
    "      rule file's Read mutex, finds every rule that denies kind K (open,\n"
    "      modify, run, copy, delete, find, print; several joined by commas)\n"
    "      by program P to the file or, with --registry, the registry key\n"
    "      OBJECT, appends one record to the activity log\n"
    "      (\"<time>,P,Denied : OBJECT\" or \"<time>,P,Approved : OBJECT\"),\n"
    "      signals the written event and prints the decision. Exit code 0\n"
    "      approved, 1 denied, 2 bad command line, 5 a file could not be\n"
    "      opened.\n"
    "  send --message NAME --window HWND [--wparam N] [--lparam N]\n"
    "      Sends the registered window message NAME to the window HWND\n"
    "      with those parameters (as any other program can) and prints the\n"
    "      answer.\n"
    "  send --copydata TEXT --window HWND [--wparam N]\n"
    "      Sends WM_COPYDATA with TEXT (and its terminating zero) as the\n"
    "      data and N as its number, and prints the answer.\n"
    "\n"
    "exit codes: 0 done; 1 the file or mapping could not be opened;\n"
    "  2 bad command line; 3 no running front end; 4 the rule file holds a\n"
    "  damaged record (the records before it were printed).\n";

}  // namespace

int main(int argc, char** argv) {
  // Plain "\n" line ends whatever reads the output (scripts, tests).
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    fputs(kUsage, stderr);
    return kExitUsage;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  int rc = kExitUsage;
  if (command == "rules") {
    rc = CommandRules(args);
  } else if (command == "reload") {
    rc = CommandReload(args);
  } else if (command == "log") {
    rc = CommandLog(args);
  } else if (command == "access") {
    rc = CommandAccess(args);
  } else if (command == "send") {
    rc = CommandSend(args);
  } else if (command == "--help" || command == "help") {
    fputs(kUsage, stdout);
    return kExitOk;
  }
  if (rc == kExitUsage) fputs(kUsage, stderr);
  return rc;
}
