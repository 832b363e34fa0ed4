#include "log/LogRowRules.h"

#include <gtest/gtest.h>

#include "LogItem.h"
#include "MatchCases.h"
#include "rules/RuleSet.h"

namespace {

LogAccess AccessOf(uint32_t type, uint32_t action, const std::string& text) {
  return LogAccessOf(SplitLogRecord(LogItem(type, action, text)));
}

TEST(LogRowRules, ARowFindsTheRulesThatDecideItsAccess) {
  const RuleList rules = matchcases::CaseRules();
  struct Case {
    uint32_t type, action;
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
      // Rows that name no access a rule decides: nothing matches, nothing to protect.
      {TYPE_NET, KIND_OPEN, "t,C:\\x.exe,Denied : 192.0.2.17:80", {}},
      {TYPE_FILE, 0, "t,C:\\x.exe,Denied : C:\\data\\a.doc", {}},
      {TYPE_FILE, KIND_COPY, "t,C:\\x.exe,no separator", {}},
  };
  for (const Case& c : cases) {
    const LogAccess access = AccessOf(c.type, c.action, c.text);
    EXPECT_EQ(c.rules, RulesDecidingAccess(rules, access)) << c.text;
    const auto rule = ProtectRuleFor(access);
    ASSERT_EQ(access.valid, rule != nullptr) << c.text;
    if (rule) {
      EXPECT_TRUE(rule->Source == "*" && rule->Dest == access.object && rule->Kinds == c.action &&
                  rule->Type == ((c.type & TYPE_REGISTRY) ? TYPE_REGISTRY : TYPE_FILE))
          << c.text;
    }
  }
}

TEST(LogRowRules, AllowTakesExactlyTheRowsKindsOutOfTheMatchingRules) {
  RuleList rules = matchcases::CaseRules();
  // Rule 0 denies copy, rule 12 copy and delete, rule 13 open: a row of open
  // and copy on C:\data\a.doc matches all three.
  const LogAccess access = AccessOf(TYPE_FILE, KIND_OPEN | KIND_COPY, "t,C:\\x.exe,Denied : C:\\data\\a.doc");
  const std::vector<AllowedRule> changed = AllowAccess(rules, access);
  ASSERT_EQ(3u, changed.size());
  const uint32_t after[] = {0, KIND_DELETE, 0};  // a rule left denying nothing stays
  const size_t index[] = {0, 12, 13};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(index[i], changed[i].index);
    EXPECT_EQ(after[i], changed[i].kindsAfter);
  }
  // Nothing else changed: no other rule, no other field, not the order.
  const RuleList original = matchcases::CaseRules();
  ASSERT_EQ(original.size(), rules.size());
  auto a = original.begin();
  size_t i = 0;
  for (auto b = rules.begin(); b != rules.end(); ++a, ++b, ++i) {
    const uint32_t removed = (i == 0 || i == 12 || i == 13) ? (KIND_OPEN | KIND_COPY) : 0;
    EXPECT_EQ((*a)->Kinds & ~removed, (*b)->Kinds) << i;
    EXPECT_TRUE((*a)->Type == (*b)->Type && (*a)->Mode == (*b)->Mode && (*a)->Source == (*b)->Source &&
                (*a)->Dest == (*b)->Dest)
        << i;
  }
  EXPECT_TRUE(RulesDecidingAccess(rules, access).empty()) << "the access is allowed now";
}

}  // namespace
