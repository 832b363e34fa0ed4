// The rule store's logic without Windows: the names of the shared objects,
// telling a changed file apart, putting a pending change onto the rules the
// file holds now, and what fits the file.
#include "rules/RuleStoreCore.h"

#include <gtest/gtest.h>

#include "FullRuleSet.h"
#include "rules/SharedNames.h"

namespace {

// "DEST:KINDS" for each rule, "!" marking a system rule.
std::string Show(const RuleList& rules) {
  std::string out;
  for (const auto& r : rules)
    out += (out.empty() ? "" : " ") + std::string(r->Type & TYPE_SYSTEM ? "!" : "") + r->Dest + ":" +
           std::to_string(r->Kinds);
  return out;
}

// Rules from "DEST:KINDS" words ("!" in front: a system rule).
RuleList Parse(const std::string& text) {
  RuleList rules;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(at, end - at);
    at = end + 1;
    if (word.empty()) continue;
    const bool system = word[0] == '!';
    if (system) word.erase(0, 1);
    const size_t colon = word.find(':');
    rules.push_back(MakeRule("*", word.substr(0, colon), system ? TYPE_FILE | TYPE_SYSTEM : TYPE_FILE,
                             static_cast<uint32_t>(std::stoul(word.substr(colon + 1))), RULE_MODE_NORMAL));
  }
  return rules;
}

TEST(SharedNames, EveryEngineObjectIsInTheGlobalNamespace) {
  const SharedFileNames rules = SharedNamesOfMapping("QX5Rule.rle");
  EXPECT_EQ("Global\\QX5Rule.rle", rules.mapping);
  EXPECT_EQ("Global\\QX5Rule.rle Read", rules.readMutex);
  EXPECT_EQ("Global\\QX5Rule.rle Write", rules.writeMutex);
  const SharedFileNames log = SharedNamesOfMapping(MappingNameOfPath("C:\\Windows\\System32\\QX5.log"));
  EXPECT_EQ("Global\\QX5.log", log.mapping);
  EXPECT_EQ("Global\\QX5.log Read", log.readMutex);
  EXPECT_EQ("Global\\QX5.log Write", log.writeMutex);
  EXPECT_EQ("Global\\LogFileEventWritten", SharedObjectName("LogFileEventWritten"));
  // A name that already says its namespace keeps it; nothing is prefixed twice.
  for (const char* named : {"Global\\x", "GLOBAL\\x", "Local\\x", "Session\\2\\x"})
    EXPECT_EQ(named, SharedObjectName(named));
  EXPECT_EQ("Global\\Global", SharedObjectName("Global"));
  EXPECT_EQ("QX5Rule.rle", MappingNameOfPath("QX5Rule.rle"));
}

// base: the rules as last seen; mine: base with the page's change; theirs:
// what another writer left in the file meanwhile.
TEST(MergePendingChange, TheChangeGoesOntoTheRulesTheFileHoldsNow) {
  struct Case {
    const char* what;
    const char* base;
    const char* mine;
    const char* theirs;
    const char* expected;
  } cases[] = {
      {"another writer added a rule while mine changed kinds", "a:1 b:1", "a:65 b:1", "v:8 a:1 b:1", "v:8 a:65 b:1"},
      {"both added rules: mine goes in front", "a:1", "m:4 a:1", "v:8 a:1", "m:4 v:8 a:1"},
      {"mine removed one, theirs widened another", "a:1 b:1 c:1", "a:1 c:1", "a:1 b:1 c:3", "a:1 c:3"},
      {"mine took a kind away, theirs added one", "a:3", "a:1", "a:7", "a:5"},
      {"theirs removed the rule mine edited: it stays removed", "a:1 b:1", "a:9 b:1", "b:1", "b:1"},
      {"both added the same rule: one rule with both kinds", "a:1", "n:2 a:1", "n:4 a:1", "n:6 a:1"},
      {"new system rules go to the back, in order", "a:1", "a:1 !s:2 !t:2", "v:1 a:1 !x:1", "v:1 a:1 !x:1 !s:2 !t:2"},
      {"several new ordinary rules keep mine's order", "", "p:1 q:1", "v:1", "p:1 q:1 v:1"},
      {"equal twins: the one with the old kinds is edited", "a:1 A:2", "a:1 A:6", "a:1 A:2", "a:1 A:6"},
      {"nothing pending: theirs as it is", "a:1", "a:1", "z:1 a:1", "z:1 a:1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, Show(MergePendingChange(Parse(c.base), Parse(c.mine), Parse(c.theirs)))) << c.what;
  }
}

struct View {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(RULE_FILE_SIZE, 0);
  uint8_t* data() { return bytes.data() + RULE_FILE_HEADER_SIZE; }
  void Put(const RuleList& rules) {
    uint32_t used = 0;
    SerializeRuleRecords(data(), RULE_FILE_SIZE, rules, used);
  }
  RuleList Get() {
    RuleList rules;
    uint32_t count = 0, offset = 0;
    ParseRuleRecords(data(), RULE_FILE_SIZE, rules, count, offset);
    return rules;
  }
  RuleSaveOutcome Save(const RuleList* base, const RuleList& mine) {
    return SaveRulesOntoView(data(), RULE_FILE_SIZE, RULE_FILE_SIZE, base, mine);
  }
};

TEST(SaveRulesOntoView, WritesMergesOrRefusesAndNeverCutsTheSet) {
  View view;
  const RuleList base = Parse("a:1 b:1");
  view.Put(base);
  RuleSaveOutcome out = view.Save(&base, Parse("n:2 a:1 b:1"));
  EXPECT_EQ(RuleSaveResult::Written, out.result);
  EXPECT_EQ(2u, out.fileRules);
  EXPECT_EQ(3u, out.savedRules);
  EXPECT_EQ("n:2 a:1 b:1", Show(view.Get()));

  // The file changed since base was read: the change goes onto it.
  view.Put(Parse("v:8 a:1 b:1"));
  out = view.Save(&base, Parse("a:1 b:65"));
  EXPECT_EQ(RuleSaveResult::Merged, out.result);
  EXPECT_EQ("v:8 a:1 b:65", Show(view.Get()));
  EXPECT_EQ(RuleSetBytes(view.Get()), out.usedSize);

  // A full file: one more rule is refused whole, the file stays as it was.
  const RuleList full = FullRuleSet();
  view.Put(full);
  const std::vector<uint8_t> before = view.bytes;
  RuleList more = CopyRules(full);
  more.push_front(MakeRule("*", std::string(49, 'y'), TYPE_FILE, KIND_COPY, RULE_MODE_NORMAL));
  out = view.Save(&full, more);
  EXPECT_EQ(RuleSaveResult::Full, out.result);
  EXPECT_EQ(1018u, out.fileRules);
  EXPECT_EQ(before, view.bytes);
  more.front() = MakeRule("*", std::string(28, 'y'), TYPE_FILE, KIND_COPY, RULE_MODE_NORMAL);  // exactly fits
  EXPECT_EQ(RuleSaveResult::Written, view.Save(&full, more).result);
  EXPECT_EQ(1019u, view.Get().size());

  // A record damaged since the rules were read: what follows it is unknown,
  // so nothing is written, unless the caller has kept a copy (no base).
  view.Put(Parse("a:1 b:1"));
  view.bytes[RULE_FILE_HEADER_SIZE + 22 + 14] = 0xFF;  // the second record's source runs past the view
  const std::vector<uint8_t> damaged = view.bytes;
  EXPECT_EQ(RuleSaveResult::Damaged, view.Save(&base, Parse("c:1 a:1 b:1")).result);
  EXPECT_EQ(damaged, view.bytes);
  EXPECT_EQ(RuleSaveResult::Written, view.Save(nullptr, Parse("c:1 a:1")).result);
  EXPECT_EQ("c:1 a:1", Show(view.Get()));
}

}  // namespace
