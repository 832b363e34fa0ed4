// engine-sim access: decides one access with the user's rules and logs it
// the way the engine does, so that the Log page shows decisions made by the
// rules the user keeps.
#include <windows.h>

#include <cstdio>
#include <string>

#include "enginesim/EngineSim.h"
#include "framework/Handle.h"
#include "log/LogFile.h"
#include "log/LogRecord.h"
#include "rules/RuleFile.h"
#include "rules/RuleMatch.h"

namespace {

// Reads the rules under the rule file's Read mutex (ReadRules takes it),
// writing nothing; a missing file holds no rules.
bool ReadRuleSet(const std::string& path, const char* mapping, RuleList& rules) {
  CRuleFile file;
  if (file.Open(path.c_str(), mapping, RULE_FILE_SIZE, CMappedFile::kAccessRead, false) != 0)
    return file.LastError() == ERROR_FILE_NOT_FOUND || file.LastError() == ERROR_HANDLE_EOF;
  uint32_t count = 0, offset = 0;
  // A damaged record ends the list: the rules before it still apply.
  file.ReadRules(rules, &count, &offset);
  file.CloseAfterWrite();
  return true;
}

bool AppendDecision(const std::string& path, const char* mapping, const std::string& event, uint32_t type,
                    uint32_t action, const std::string& text) {
  // Left to the process end: the destructor would drop a pending signal of
  // the written event, which only the reader may consume.
  CLogFile& log = *new CLogFile(event.c_str());
  if (log.Open(path.c_str(), mapping, LOG_FILE_SIZE, CMappedFile::kAccessReadWrite, false) != 0) return false;
  {
    MutexLock writeLock(log.WriteMutex());
    MutexLock readLock(log.ReadMutex());
    uint8_t* base = log.GetReadBase();
    AppendLogRecord(base, log.GetMaxSize(), FindLogWritePosition(base, log.GetMaxSize()), type, action, text);
  }
  SetEvent(log.WrittenEvent());
  log.CloseLog(0);
  return true;
}

}  // namespace

int CommandAccess(Args args) {
  bool ok = true;
  std::string process, kindText, rulePath = CRuleFile::DefaultPath(), ruleMapping;
  std::string logPath = CLogFile::DefaultPath(), logMapping, event = CLogFile::kWrittenEventName;
  const bool hasProcess = TakeOption(args, "--process", process, ok);
  const bool hasKind = TakeOption(args, "--kind", kindText, ok);
  TakeOption(args, "--path", rulePath, ok);
  const bool hasRuleMapping = TakeOption(args, "--mapping", ruleMapping, ok);
  TakeOption(args, "--log-path", logPath, ok);
  const bool hasLogMapping = TakeOption(args, "--log-mapping", logMapping, ok);
  TakeOption(args, "--event", event, ok);
  const bool registry = TakeFlag(args, "--registry");
  uint32_t kinds = 0;
  if (!ok || !hasProcess || process.empty() || !hasKind || !ParseKindList(kindText, kinds) || args.size() != 1 ||
      args[0].empty())
    return kExitUsage;
  const std::string& object = args[0];

  RuleList rules;
  if (!ReadRuleSet(rulePath, hasRuleMapping ? ruleMapping.c_str() : nullptr, rules)) {
    fprintf(stderr, "engine-sim: cannot open the rule file %s\n", rulePath.c_str());
    return kAccessFailed;
  }
  const AccessQuery query{process, object, kinds, registry ? AccessObject::Registry : AccessObject::File};
  const std::vector<size_t> hits = MatchRules(rules, query);

  // The record's type bits: those of the first rule that decided, else the
  // kind of object.
  uint32_t type = registry ? TYPE_REGISTRY : TYPE_FILE;
  if (!hits.empty()) {
    auto it = rules.begin();
    std::advance(it, static_cast<long>(hits.front()));
    type = (*it)->Type;
  }
  const std::string decision = std::string(hits.empty() ? "Approved" : "Denied") + " : " + object;
  if (!AppendDecision(logPath, hasLogMapping ? logMapping.c_str() : nullptr, event, type, kinds,
                      TimeText() + "," + process + "," + decision)) {
    fprintf(stderr, "engine-sim: cannot open the log file %s\n", logPath.c_str());
    return kAccessFailed;
  }
  printf("%s", decision.c_str());
  for (size_t i = 0; i < hits.size(); ++i) printf("%s%zu", i == 0 ? " (rule " : ", ", hits[i] + 1);
  printf("%s\n", hits.empty() ? "" : ")");
  fflush(stdout);
  return hits.empty() ? kAccessApproved : kAccessDenied;
}
