#include "vkctl/Commands.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "rules/RuleJson.h"
#include "rules/RuleMatch.h"
#include "rules/RuleSet.h"

namespace {

std::string TypeText(uint32_t type) {
  std::string base = (type & TYPE_FILE)       ? "file"
                     : (type & TYPE_REGISTRY) ? "registry"
                     : (type & TYPE_NET)      ? "net"
                                              : "?";
  return (type & TYPE_SYSTEM) ? "system " + base : base;
}

bool UnexpectedArgs(const Args& args, const char* command) {
  if (args.empty()) return false;
  Complain(std::string(command) + ": unexpected argument \"" + args.front() + "\"");
  return true;
}

// Reads a whole file, or standard input for "-".
bool ReadInput(const std::string& name, std::string& text) {
  FILE* f = stdin;
  if (name == "-") {
    _setmode(_fileno(stdin), _O_BINARY);
  } else if (!(f = fopen(name.c_str(), "rb"))) {
    Complain(name + ": cannot read it: " + strerror(errno));
    return false;
  }
  text.clear();
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  const bool failed = ferror(f) != 0;
  if (f != stdin) fclose(f);
  if (failed) {
    Complain(name + ": reading failed");
    return false;
  }
  // Windows PowerShell writes redirected output as UTF-16 with a byte order
  // mark: read that as well as UTF-8.
  if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF && static_cast<unsigned char>(text[1]) == 0xFE) {
    const int wn = static_cast<int>((text.size() - 2) / 2);
    std::wstring wide(static_cast<size_t>(wn), L'\0');
    memcpy(wide.data(), text.data() + 2, static_cast<size_t>(wn) * 2);
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wn, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), wn, utf8.data(), n, nullptr, nullptr);
    text = std::move(utf8);
  }
  return true;
}

bool WriteOutput(const std::string& name, const std::string& text) {
  if (name == "-") {
    fwrite(text.data(), 1, text.size(), stdout);
    fflush(stdout);
    return true;
  }
  FILE* f = fopen(name.c_str(), "wb");
  if (!f) {
    Complain(name + ": cannot write it: " + strerror(errno));
    return false;
  }
  const bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
  if (fclose(f) != 0 || !ok) {
    Complain(name + ": writing failed");
    return false;
  }
  return true;
}

// The rules as JSON text, their strings turned from the system code page
// into UTF-8.
bool ExportText(const RuleList& rules, std::string& json) {
  RuleList copy;
  size_t index = 0;
  for (const auto& r : rules) {
    ++index;
    auto item = std::make_unique<RULEFILE_ITEM>(*r);
    if (!AnsiToUtf8(r->Source, item->Source) || !AnsiToUtf8(r->Dest, item->Dest)) {
      Complain("rule " + std::to_string(index) + ": its text cannot be converted; nothing exported");
      return false;
    }
    copy.push_back(std::move(item));
  }
  RuleInputError error;
  if (!RulesToJson(copy, json, error)) {
    Complain(error.Describe("the rule file") + "; nothing exported");
    return false;
  }
  return true;
}

bool CheckText(const std::string& what, const std::string& text) {
  if (text.empty()) {
    Complain(what + " is empty");
    return false;
  }
  if (text.size() > kMaxRuleTextLength) {
    Complain(what + " is " + std::to_string(text.size()) + " characters long (at most 259): " + text);
    return false;
  }
  return true;
}

}  // namespace

bool TakeValue(Args& args, const char* name, std::string& value, bool& ok) {
  bool given = true;
  const bool taken = TakeOption(args, name, value, given);
  if (!given) {
    ok = false;
    Complain(std::string(name) + " needs a value");
  }
  return taken;
}

int CommandList(const StoreOptions& options, Args args) {
  const bool json = TakeFlag(args, "--json");
  if (UnexpectedArgs(args, "list")) return kVkFailed;
  RuleList rules;
  if (!ReadStore(options, rules)) return kVkFailed;
  if (json) {
    std::string text;
    if (!ExportText(rules, text)) return kVkFailed;
    return WriteOutput("-", text) ? kVkOk : kVkFailed;
  }
  struct Row {
    std::string cells[6];
  };
  std::vector<Row> rows{{{"#", "type", "deny", "mode", "source", "dest"}}};
  size_t index = 0;
  for (const auto& r : rules)
    rows.push_back({{std::to_string(++index), TypeText(r->Type), KindListText(r->Kinds), std::to_string(r->Mode),
                     r->Source, r->Dest}});
  size_t width[5] = {};
  for (const Row& row : rows)
    for (int c = 0; c < 5; ++c) width[c] = std::max(width[c], row.cells[c].size());
  for (const Row& row : rows) {
    std::string line;
    for (int c = 0; c < 5; ++c) {
      // The index and the mode are numbers: right-aligned.
      const std::string pad(width[c] - row.cells[c].size(), ' ');
      line += (c == 0 || c == 3) ? pad + row.cells[c] : row.cells[c] + pad;
      line += "  ";
    }
    line += row.cells[5];
    printf("%s\n", line.c_str());
  }
  printf("%zu rules\n", rules.size());
  fflush(stdout);
  return kVkOk;
}

int CommandExport(const StoreOptions& options, Args args) {
  if (args.size() > 1) {
    Complain("export: give one FILE, or - (or nothing) for standard output");
    return kVkFailed;
  }
  const std::string target = args.empty() ? "-" : args[0];
  RuleList rules;
  std::string text;
  if (!ReadStore(options, rules) || !ExportText(rules, text)) return kVkFailed;
  if (!WriteOutput(target, text)) return kVkFailed;
  if (target != "-") printf("exported %zu rules to %s\n", rules.size(), target.c_str());
  return kVkOk;
}

int CommandImport(const StoreOptions& options, Args args) {
  const bool replace = TakeFlag(args, "--replace");
  if (args.size() != 1) {
    Complain("import: give one FILE, or - for standard input");
    return kVkFailed;
  }
  const std::string name = args[0] == "-" ? "<stdin>" : args[0];
  std::string text;
  if (!ReadInput(args[0], text)) return kVkFailed;
  RuleList incoming;
  RuleInputError error;
  if (!ParseRulesJson(text, incoming, error)) {
    Complain(error.Describe(name) + "; nothing imported");
    return kVkFailed;
  }
  size_t index = 0;
  for (auto& r : incoming) {
    ++index;
    if (!Utf8ToAnsi(r->Source, r->Source) || !Utf8ToAnsi(r->Dest, r->Dest)) {
      Complain(name + ": rule " + std::to_string(index) +
               ": holds characters that the system code page cannot hold; nothing imported");
      return kVkFailed;
    }
    r->SourceLen = static_cast<uint32_t>(r->Source.size());
    r->DestLen = static_cast<uint32_t>(r->Dest.size());
  }
  if (!CheckRuleLengths(incoming, error)) {
    Complain(error.Describe(name) + "; nothing imported");
    return kVkFailed;
  }
  size_t taken = 0, total = 0;
  return ChangeStore(
      options,
      [&](RuleList& rules) {
        taken = ImportRules(rules, std::move(incoming), replace);
        total = rules.size();
        return ChangeResult{kVkOk, true};
      },
      [&] {
        if (replace)
          printf("replaced the rules with %zu rules\n", total);
        else
          printf("imported: %zu new rules, %zu rules in all\n", taken, total);
      });
}

int CommandAdd(const StoreOptions& options, Args args) {
  bool ok = true;
  std::string deny, source = "*";
  const bool hasDeny = TakeValue(args, "--deny", deny, ok);
  TakeValue(args, "--source", source, ok);
  const bool registry = TakeFlag(args, "--registry");
  const bool system = TakeFlag(args, "--system");
  if (!ok) return kVkFailed;
  uint32_t kinds = 0;
  std::string bad;
  if (!hasDeny || !ParseKindList(deny, kinds, &bad)) {
    Complain(hasDeny ? "add: unknown kind \"" + bad + "\" (open, modify, run, copy, delete, find, print)"
                     : "add: --deny KINDS is missing");
    return kVkFailed;
  }
  if (args.empty()) {
    Complain("add: give at least one DEST");
    return kVkFailed;
  }
  if (!CheckText("the source", source)) return kVkFailed;
  for (const std::string& dest : args)
    if (!CheckText("a dest", dest)) return kVkFailed;

  // The front end's own request: one rule per dest, merged in order.
  RULE_REQUEST req;
  req.Code = KindsToRequestBits(kinds);
  req.Source = source;
  req.Dests = args;
  req.System = system;
  req.Type = registry ? TYPE_REGISTRY : TYPE_FILE;
  size_t added = 0, total = 0;
  return ChangeStore(
      options,
      [&](RuleList& rules) {
        const size_t before = rules.size();
        AddRequestRules(rules, req);
        total = rules.size();
        added = total - before;
        return ChangeResult{kVkOk, true};
      },
      // Dests that matched an equal rule widened it instead.
      [&] { printf("added %zu new rules, %zu rules in all\n", added, total); });
}

int CommandRemove(const StoreOptions& options, Args args) {
  bool ok = true;
  std::string source = "*";
  TakeValue(args, "--source", source, ok);
  if (!ok) return kVkFailed;
  if (args.empty()) {
    Complain("remove: give at least one DEST");
    return kVkFailed;
  }
  size_t removed = 0;
  return ChangeStore(
      options,
      [&](RuleList& rules) {
        const size_t before = rules.size();
        rules.remove_if([&](const std::unique_ptr<RULEFILE_ITEM>& r) {
          return EqualsNoCaseC(r->Source, source) &&
                 std::any_of(args.begin(), args.end(), [&](const std::string& d) { return EqualsNoCaseC(r->Dest, d); });
        });
        removed = before - rules.size();
        return ChangeResult{kVkOk, removed != 0};
      },
      [&] { printf("removed %zu rules\n", removed); });
}

int CommandTest(const StoreOptions& options, Args args) {
  bool ok = true;
  std::string process, kindText;
  const bool hasProcess = TakeValue(args, "--process", process, ok);
  const bool hasKind = TakeValue(args, "--kind", kindText, ok);
  const bool registry = TakeFlag(args, "--registry");
  if (!ok) return kVkFailed;
  uint32_t kinds = 0;
  std::string bad;
  if (!hasProcess || process.empty()) {
    Complain("test: --process P is missing");
    return kVkFailed;
  }
  if (!hasKind || !ParseKindList(kindText, kinds, &bad)) {
    Complain(hasKind ? "test: unknown kind \"" + bad + "\" (open, modify, run, copy, delete, find, print)"
                     : "test: --kind K is missing");
    return kVkFailed;
  }
  if (args.size() != 1 || args[0].empty()) {
    Complain("test: give one OBJECT (a path, or a registry key with --registry)");
    return kVkFailed;
  }
  RuleList rules;
  if (!ReadStore(options, rules)) return kVkFailed;
  const AccessQuery query{process, args[0], kinds, registry ? AccessObject::Registry : AccessObject::File};
  const std::vector<size_t> hits = MatchRules(rules, query);
  if (hits.empty()) {
    printf("allowed: no rule denies %s\n", KindListText(kinds).c_str());
    return kVkOk;
  }
  auto it = rules.begin();
  size_t at = 0;
  for (size_t hit : hits) {
    std::advance(it, static_cast<long>(hit - at));
    at = hit;
    printf("denied by rule %zu: %s, deny %s, source %s, dest %s\n", hit + 1, TypeText((*it)->Type).c_str(),
           KindListText((*it)->Kinds).c_str(), (*it)->Source.c_str(), (*it)->Dest.c_str());
  }
  fflush(stdout);
  return kVkDenied;
}
