// engine-sim rules / reload: the engine's view of the rule file.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "app/MainWindowFinder.h"
#include "app/Messages.h"
#include "enginesim/EngineSim.h"
#include "rules/RuleFile.h"

bool ParseNumber(const std::string& text, unsigned long& value) {
  if (text.empty() || text[0] == '-') return false;
  char* end = nullptr;
  errno = 0;
  value = strtoul(text.c_str(), &end, 0);
  return errno == 0 && end && *end == '\0' && value <= 0xFFFFFFFFul;
}

int CommandRules(Args args) {
  bool ok = true;
  std::string path = CRuleFile::DefaultPath(), mapping;
  TakeOption(args, "--path", path, ok);
  const bool hasMapping = TakeOption(args, "--mapping", mapping, ok);
  if (!ok || !args.empty()) return kExitUsage;

  // The engine only reads the rule file: nothing here writes it.
  CRuleFile file;
  RuleList rules;
  uint32_t count = 0, offset = 0;
  int result = -3;
  if (file.Open(path.c_str(), hasMapping ? mapping.c_str() : nullptr, RULE_FILE_SIZE, CMappedFile::kAccessRead,
                false) == 0) {
    result = file.ReadRules(rules, &count, &offset);
  } else if (file.LastError() != ERROR_FILE_NOT_FOUND && file.LastError() != ERROR_HANDLE_EOF) {
    fprintf(stderr, "engine-sim: cannot open the rule file %s: %s\n", path.c_str(), file.FailureText().c_str());
    return kExitOpen;
  }
  for (const auto& r : rules) {
    printf("0x%02X\t0x%02X\t%u\t%s\t%s\n", static_cast<unsigned>(r->Type), static_cast<unsigned>(r->Kinds),
           static_cast<unsigned>(r->Mode), r->Source.c_str(), r->Dest.c_str());
  }
  printf("# %u rules\n", static_cast<unsigned>(rules.size()));
  fflush(stdout);
  file.Reset();
  if (result == -1) {
    fprintf(stderr, "engine-sim: damaged record at offset %u\n", static_cast<unsigned>(offset));
    return kExitDamaged;
  }
  return kExitOk;
}

int CommandReload(Args args) {
  std::string title = "Varnokel";
  bool ok = true;
  TakeOption(args, "--title", title, ok);
  if (!ok || !args.empty()) return kExitUsage;
  HWND front = FindMainWindow(title);
  if (!front) {
    fprintf(stderr, "engine-sim: no running front end (\"%s\")\n", title.c_str());
    return kExitNoFrontEnd;
  }
  // Sent, not posted: when this returns the front end has reloaded.
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(front, WM_QX5_ACTIVATE, 1, 0, SMTO_ABORTIFHUNG, 30000, &answer)) {
    fprintf(stderr, "engine-sim: the front end did not answer\n");
    return kExitNoFrontEnd;
  }
  return kExitOk;
}
