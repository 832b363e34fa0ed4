#include <gtest/gtest.h>

#include "MatchCases.h"
#include "rules/RuleMatch.h"
#include "rules/RuleSet.h"

namespace {

TEST(RuleMatch, TableOfAccessesGivesExactlyTheDenyingRulesInOrder) {
  const RuleList rules = matchcases::CaseRules();
  for (const auto& c : matchcases::kCases) {
    AccessQuery q{c.process, c.object, c.kind, c.registry ? AccessObject::Registry : AccessObject::File};
    EXPECT_EQ(c.denying, MatchRules(rules, q)) << c.process << " " << c.object << " kind " << c.kind;
  }
}

TEST(RuleMatch, AnyOfSeveralAskedKindsIsEnough) {
  const RuleList rules = matchcases::CaseRules();
  AccessQuery q{"x.exe", "E:\\a", KIND_OPEN | KIND_MODIFY, AccessObject::File};
  EXPECT_EQ((std::vector<size_t>{3}), MatchRules(rules, q));
  q.kinds = 0;
  EXPECT_TRUE(MatchRules(rules, q).empty());
}

TEST(RuleMatch, EmptySourceCoversEveryProgramAndEmptyDestNothing) {
  RULEFILE_ITEM rule;
  rule.Type = TYPE_FILE;
  rule.Kinds = KIND_OPEN;
  rule.Dest = "C:\\x";
  AccessQuery q{"C:\\any.exe", "C:\\x\\y", KIND_OPEN, AccessObject::File};
  EXPECT_TRUE(RuleDenies(rule, q));
  rule.Dest.clear();
  EXPECT_FALSE(RuleDenies(rule, q));
  rule.Dest = "\\";
  EXPECT_FALSE(RuleDenies(rule, q));
}

TEST(WildcardMatch, Cases) {
  struct {
    const char* pattern;
    const char* text;
    bool match;
  } cases[] = {
      {"*", "", true},
      {"*", "C:\\a\\b", true},
      {"", "", true},
      {"", "a", false},
      {"a*", "A", true},
      {"*.exe", "C:\\X.EXE", true},
      {"*.exe", "C:\\x.exe.txt", false},
      {"a*b*c", "aXbYbZc", true},
      {"a*b*c", "aXbYbZ", false},
      {"**", "abc", true},
      {"*a", "bbbba", true},
      {"*a", "bbbbab", false},
      {"C:\\d?ta", "C:\\data", false},  // only "*" is special
  };
  for (const auto& c : cases) EXPECT_EQ(c.match, WildcardMatch(c.pattern, c.text)) << c.pattern << " / " << c.text;
}

TEST(WildcardMatch, ManyStarsOnALongTextStayFast) {
  // A backtracking matcher would take exponential time here.
  const std::string pattern = "*a*a*a*a*a*a*a*a*a*a*a*a*b";
  const std::string text(4000, 'a');
  EXPECT_FALSE(WildcardMatch(pattern, text));
}

TEST(DestCovers, RegistryRootsInShortAndFullForm) {
  EXPECT_TRUE(DestCovers("HKLM\\Software", "hkey_local_machine\\software\\x", AccessObject::Registry));
  EXPECT_TRUE(DestCovers("hkey_users", "HKU\\S-1-5-18", AccessObject::Registry));
  EXPECT_TRUE(DestCovers("HKCR\\*\\shell", "hkey_classes_root\\exefile\\shell", AccessObject::Registry));
  EXPECT_FALSE(DestCovers("HKLM\\Software", "HKCU\\Software", AccessObject::Registry));
  // File paths keep their text: "HKLM" is a name like any other there.
  EXPECT_FALSE(DestCovers("HKLM\\Software", "hkey_local_machine\\software", AccessObject::File));
}

TEST(KindNames, ParseAndPrintInBitOrder) {
  uint32_t kinds = 0;
  std::string bad;
  EXPECT_TRUE(ParseKindList("copy,OPEN", kinds));
  EXPECT_EQ(KIND_COPY | KIND_OPEN, kinds);
  EXPECT_EQ("open,copy", KindListText(kinds));
  EXPECT_EQ("open,modify,run,copy,delete,find,print", KindListText(KIND_ALL));
  EXPECT_EQ("-", KindListText(0));
  kinds = 99;
  EXPECT_FALSE(ParseKindList("open,read", kinds, &bad));
  EXPECT_EQ("read", bad);
  EXPECT_EQ(99u, kinds);  // untouched on failure
  EXPECT_FALSE(ParseKindList("", kinds));
  EXPECT_FALSE(ParseKindList("open,", kinds, &bad));
  EXPECT_EQ("", bad);
}

}  // namespace
