#include "log/LogRowRules.h"

#include <gtest/gtest.h>

#include "MatchCases.h"
#include "rules/RuleSet.h"

namespace {

RuleList CaseRules() {
  RuleList rules;
  for (const auto& r : matchcases::kRules)
    rules.push_back(MakeRule(r.source, r.dest, r.type, r.kinds, RULE_MODE_NORMAL));
  return rules;
}

LogAccess AccessOf(uint32_t type, uint32_t action, const std::string& text) {
  LOGFILE_ITEM item;
  item.type = type;
  item.action = action;
  item.text = text;
  item.length = static_cast<uint32_t>(text.size());
  return LogAccessOf(SplitLogRecord(item));
}

TEST(LogRowRules, ARowFindsTheRulesThatDecideItsAccess) {
  const RuleList rules = CaseRules();
  struct Case {
    uint32_t type;
    uint32_t action;
    const char* text;
    std::vector<size_t> rules;
  };
  const Case cases[] = {
      // The object is the detail up to " -"; a system rule's record is a file access.
      {TYPE_FILE, KIND_COPY, "t,C:\\Windows\\explorer.exe,Denied : C:\\data\\a.doc -seq 7", {0, 12}},
      {TYPE_FILE | TYPE_SYSTEM, KIND_DELETE | KIND_OPEN, "t,C:\\x.exe,Denied : C:\\data\\a.doc", {12, 13}},
      {TYPE_FILE, KIND_OPEN, "t,C:\\Program Files\\Mail\\mail.exe,Denied : C:\\Users\\bob\\Documents\\a", {4, 13}},
      {TYPE_REGISTRY, KIND_DELETE, "t,C:\\x.exe,Denied : HKCU\\Software\\Policies\\X", {10}},
      {TYPE_REGISTRY, KIND_COPY, "t,C:\\x.exe,Denied : C:\\data\\a.doc", {}},
      // Rows that name no access a rule decides.
      {TYPE_NET, KIND_OPEN, "t,C:\\x.exe,Denied : 192.0.2.17:80", {}},
      {TYPE_FILE, 0, "t,C:\\x.exe,Denied : C:\\data\\a.doc", {}},
      {TYPE_FILE, KIND_COPY, "t,C:\\x.exe,no separator", {}},
  };
  for (const Case& c : cases) {
    const LogAccess access = AccessOf(c.type, c.action, c.text);
    EXPECT_EQ(c.rules, RulesDecidingAccess(rules, access)) << c.text;
    const auto protect = ProtectRuleFor(access);
    ASSERT_EQ(access.valid, protect != nullptr) << c.text;
    if (!protect) continue;
    EXPECT_EQ("*", protect->Source);
    EXPECT_EQ(access.object, protect->Dest);
    EXPECT_EQ(c.action, protect->Kinds);
    EXPECT_EQ((c.type & TYPE_REGISTRY) ? TYPE_REGISTRY : TYPE_FILE, protect->Type);
  }
}

TEST(LogRowRules, AllowTakesExactlyTheRowsKindsOutOfTheMatchingRules) {
  RuleList rules = CaseRules();
  // Rule 12 denies copy and delete, rule 13 open, rule 0 copy: a row of
  // open and copy on C:\data\a.doc matches all three.
  const LogAccess access = AccessOf(TYPE_FILE, KIND_OPEN | KIND_COPY, "t,C:\\x.exe,Denied : C:\\data\\a.doc");
  const std::vector<AllowedRule> changed = AllowAccess(rules, access);
  ASSERT_EQ(3u, changed.size());
  EXPECT_EQ(0u, changed[0].index);
  EXPECT_EQ(KIND_COPY, changed[0].kindsBefore);
  EXPECT_EQ(0u, changed[0].kindsAfter) << "a rule left denying nothing stays";
  EXPECT_EQ(12u, changed[1].index);
  EXPECT_EQ(KIND_DELETE, changed[1].kindsAfter);
  EXPECT_EQ(13u, changed[2].index);
  EXPECT_EQ(0u, changed[2].kindsAfter);

  // Nothing else changed: every other rule, every other field, the order.
  const RuleList original = CaseRules();
  ASSERT_EQ(original.size(), rules.size());
  auto a = original.begin();
  size_t i = 0;
  for (auto b = rules.begin(); b != rules.end(); ++a, ++b, ++i) {
    const uint32_t removed = (i == 0 || i == 12 || i == 13) ? (KIND_OPEN | KIND_COPY) : 0;
    EXPECT_EQ((*a)->Kinds & ~removed, (*b)->Kinds) << i;
    EXPECT_TRUE((*a)->Type == (*b)->Type && (*a)->Mode == (*b)->Mode && (*a)->Source == (*b)->Source &&
                (*a)->Dest == (*b)->Dest && (*a)->SourceLen == (*b)->SourceLen && (*a)->DestLen == (*b)->DestLen)
        << i;
  }
  EXPECT_TRUE(RulesDecidingAccess(rules, access).empty()) << "the access is allowed now";
  EXPECT_TRUE(AllowAccess(rules, AccessOf(TYPE_NET, KIND_OPEN, "t,p,Denied : 192.0.2.17:80")).empty());
}

}  // namespace
