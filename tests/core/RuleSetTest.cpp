#include "rules/RuleSet.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Dests(const RuleList& rules) {
  std::vector<std::string> out;
  for (const auto& r : rules) out.push_back(r->Dest);
  return out;
}

RULE_REQUEST Request(uint32_t code, std::vector<std::string> dests, std::string source = "*") {
  RULE_REQUEST req;
  req.Code = code;
  req.Source = std::move(source);
  req.Dests = std::move(dests);
  return req;
}

TEST(RequestBits, ConvertBothWaysInButtonOrder) {
  const std::pair<uint32_t, uint32_t> table[] = {
      {REQ_RUN, KIND_RUN},       {REQ_COPY, KIND_COPY}, {REQ_OPEN, KIND_OPEN},  {REQ_MODIFY, KIND_MODIFY},
      {REQ_DELETE, KIND_DELETE}, {REQ_FIND, KIND_FIND}, {REQ_PRINT, KIND_PRINT}};
  for (const auto& [req, kind] : table) {
    EXPECT_EQ(kind, RequestBitsToKinds(req)) << req;
    EXPECT_EQ(req, KindsToRequestBits(kind)) << kind;
  }
  EXPECT_EQ(0x01u | 0x02u | 0x04u | 0x08u, RequestBitsToKinds(REQ_RUN | REQ_COPY | REQ_OPEN | REQ_MODIFY));
  for (uint32_t m = 0; m < 0x80; ++m) EXPECT_EQ(m, KindsToRequestBits(RequestBitsToKinds(m)));
  // Codes that are not kind masks carry no kind bits.
  EXPECT_EQ(0u, RequestBitsToKinds(REQ_EDIT_SELECTED));
  EXPECT_EQ(0u, RequestBitsToKinds(REQ_REMOVE_SELECTED));
}

TEST(RuleEquality, TypeDestLenAndCaseInsensitiveStrings) {
  auto a = MakeRule("C:\\App.exe", "C:\\Secret\\File.TXT", TYPE_FILE, KIND_RUN, 10);
  auto b = MakeRule("c:\\APP.EXE", "c:\\secret\\file.txt", TYPE_FILE, KIND_COPY, 9);
  EXPECT_TRUE(RulesEqual(*a, *b)) << "kinds and mode do not count";
  auto system = MakeRule("c:\\APP.EXE", "c:\\secret\\file.txt", TYPE_FILE | TYPE_SYSTEM, 0, 10);
  EXPECT_FALSE(RulesEqual(*a, *system));
  auto otherSource = MakeRule("*", "C:\\Secret\\File.TXT", TYPE_FILE, KIND_RUN, 10);
  EXPECT_FALSE(RulesEqual(*a, *otherSource));
  auto longer = MakeRule("C:\\App.exe", "C:\\Secret\\File.TXTx", TYPE_FILE, KIND_RUN, 10);
  EXPECT_FALSE(RulesEqual(*a, *longer));

  // Only ASCII letters fold, as in the C locale.
  EXPECT_FALSE(EqualsNoCaseC("\xC4", "\xE4"));
  EXPECT_TRUE(EqualsNoCaseC("[\\]^_`", "[\\]^_`"));
  EXPECT_FALSE(EqualsNoCaseC("@", "`"));
  // The strings end at their first NUL, as C strings do.
  EXPECT_TRUE(EqualsNoCaseC(std::string("abc\0x", 5), "ABC"));
  // A DestLen mismatch alone makes the rules differ even when the C strings match.
  auto withNul = MakeRule("*", std::string("d\0z", 3), TYPE_FILE, 0, 10);
  auto plain = MakeRule("*", "D", TYPE_FILE, 0, 10);
  EXPECT_FALSE(RulesEqual(*withNul, *plain));
}

TEST(MakeRuleTest, EmptySourceMeansEveryProgram) {
  auto r = MakeRule("", "C:\\x", TYPE_REGISTRY, KIND_OPEN, 9);
  EXPECT_EQ("*", r->Source);
  EXPECT_EQ(1u, r->SourceLen);
  EXPECT_EQ(4u, r->DestLen);
  EXPECT_EQ(TYPE_REGISTRY, r->Type);
  EXPECT_EQ(KIND_OPEN, r->Kinds);
  EXPECT_EQ(9u, r->Mode);
}

TEST(MergeRuleTest, AddWidensKindsOrInsertsFrontOrBack) {
  RuleList rules;
  std::unique_ptr<RULEFILE_ITEM> null;
  EXPECT_EQ(-2, MergeRule(rules, null, true));
  EXPECT_EQ(-2, MergeRule(rules, null, false));

  auto first = MakeRule("*", "C:\\one", TYPE_FILE, KIND_RUN, 10);
  EXPECT_EQ(0, MergeRule(rules, first, true));
  EXPECT_EQ(nullptr, first) << "an inserted item belongs to the set";
  auto sys = MakeRule("*", "hkey_x", TYPE_REGISTRY | TYPE_SYSTEM, KIND_MODIFY, 10);
  MergeRule(rules, sys, true);
  auto second = MakeRule("*", "C:\\two", TYPE_FILE, KIND_OPEN, 10);
  MergeRule(rules, second, true);
  EXPECT_EQ((std::vector<std::string>{"C:\\two", "C:\\one", "hkey_x"}), Dests(rules));

  // The same dest in other case only gains kinds; the stored text stays.
  auto again = MakeRule("*", "c:\\ONE", TYPE_FILE, KIND_COPY, 9);
  EXPECT_EQ(0, MergeRule(rules, again, true));
  ASSERT_NE(nullptr, again) << "the caller keeps an item that was merged";
  EXPECT_EQ(3u, rules.size());
  const auto& one = *std::next(rules.begin());
  EXPECT_EQ("C:\\one", one->Dest);
  EXPECT_EQ(KIND_RUN | KIND_COPY, one->Kinds);
  EXPECT_EQ(10u, one->Mode);

  // Same dest as a system rule, or with another source: separate rules.
  auto asSystem = MakeRule("*", "C:\\one", TYPE_FILE | TYPE_SYSTEM, KIND_RUN, 10);
  MergeRule(rules, asSystem, true);
  auto otherSource = MakeRule("C:\\p.exe", "C:\\one", TYPE_FILE, KIND_RUN, 10);
  MergeRule(rules, otherSource, true);
  EXPECT_EQ((std::vector<std::string>{"C:\\one", "C:\\two", "C:\\one", "hkey_x", "C:\\one"}), Dests(rules));
  EXPECT_EQ("C:\\p.exe", rules.front()->Source);
  EXPECT_EQ(TYPE_FILE | TYPE_SYSTEM, rules.back()->Type);
}

TEST(MergeRuleTest, RemoveErasesOnlyTheEqualRule) {
  RuleList rules;
  for (const char* d : {"a", "b", "c", "d", "e"}) {
    auto r = MakeRule("*", d, TYPE_FILE, KIND_RUN, 10);
    rules.push_back(std::move(r));
  }
  for (const char* d : {"B", "d", "e"}) {
    auto victim = MakeRule("*", d, TYPE_FILE, 0, 10);
    EXPECT_EQ(0, MergeRule(rules, victim, false));
    EXPECT_EQ(nullptr, victim);
  }
  EXPECT_EQ((std::vector<std::string>{"a", "c"}), Dests(rules));

  auto absent = MakeRule("*", "zzz", TYPE_FILE, 0, 10);
  EXPECT_EQ(0, MergeRule(rules, absent, false));
  EXPECT_NE(nullptr, absent) << "nothing removed: the caller still owns the item";
  auto wrongType = MakeRule("*", "a", TYPE_REGISTRY, 0, 10);
  MergeRule(rules, wrongType, false);
  EXPECT_EQ(2u, rules.size());
}

TEST(MergeRuleTest, RemovingSelectedItemsTakesExactlyThoseRules) {
  // Two equal rules with different kinds, as a file written elsewhere may hold.
  RuleList rules;
  for (auto [dest, kinds] :
       {std::pair{"a", KIND_RUN}, {"b", KIND_RUN}, {"A", KIND_COPY}, {"c", KIND_RUN}, {"d", KIND_RUN}}) {
    rules.push_back(MakeRule("*", dest, TYPE_FILE, kinds, 10));
  }
  std::vector<const RULEFILE_ITEM*> selected;
  for (auto it = rules.begin(); it != rules.end(); ++it)
    if ((*it)->Dest != "a" && (*it)->Dest != "c") selected.push_back(it->get());
  for (const RULEFILE_ITEM* item : selected) EXPECT_TRUE(RemoveRuleItem(rules, item));
  ASSERT_EQ((std::vector<std::string>{"a", "c"}), Dests(rules));
  EXPECT_EQ(KIND_RUN, rules.front()->Kinds) << "the unselected twin stays";

  // An item from outside the set removes the first equal rule.
  auto outside = MakeRule("*", "C", TYPE_FILE, 0, 10);
  EXPECT_TRUE(RemoveRuleItem(rules, outside.get()));
  EXPECT_FALSE(RemoveRuleItem(rules, outside.get()));
  EXPECT_FALSE(RemoveRuleItem(rules, nullptr));
  EXPECT_EQ((std::vector<std::string>{"a"}), Dests(rules));
}

TEST(RequestRules, KindRequestsBuildOneRulePerDest) {
  RuleList rules;
  EXPECT_FALSE(AddRequestRules(rules, Request(REQ_RUN, {})));
  EXPECT_TRUE(rules.empty());

  // Dropping the same file twice on Run, then on Copy: one rule.
  EXPECT_TRUE(AddRequestRules(rules, Request(REQ_RUN, {"C:\\doc.txt"})));
  EXPECT_TRUE(AddRequestRules(rules, Request(REQ_RUN, {"C:\\DOC.TXT"})));
  EXPECT_TRUE(AddRequestRules(rules, Request(REQ_COPY, {"c:\\doc.txt"})));
  ASSERT_EQ(1u, rules.size());
  EXPECT_EQ(KIND_RUN | KIND_COPY, rules.front()->Kinds);
  EXPECT_EQ(TYPE_FILE, rules.front()->Type);
  EXPECT_EQ(10u, rules.front()->Mode);
  EXPECT_EQ("*", rules.front()->Source);

  RULE_REQUEST sys = Request(REQ_OPEN | REQ_MODIFY, {"hkey_a", "hkey_b"}, "");
  sys.System = 1;
  sys.AltMode = 1;
  sys.Type = TYPE_REGISTRY;
  EXPECT_TRUE(AddRequestRules(rules, sys));
  ASSERT_EQ(3u, rules.size());
  EXPECT_EQ((std::vector<std::string>{"C:\\doc.txt", "hkey_a", "hkey_b"}), Dests(rules));
  for (auto it = std::next(rules.begin()); it != rules.end(); ++it) {
    EXPECT_EQ(TYPE_REGISTRY | TYPE_SYSTEM, (*it)->Type);
    EXPECT_EQ(KIND_OPEN | KIND_MODIFY, (*it)->Kinds);
    EXPECT_EQ(9u, (*it)->Mode);
    EXPECT_EQ("*", (*it)->Source);
  }
}

TEST(RequestRules, EditNewItemsIgnoreTypeSystemAndMode) {
  RULE_REQUEST req = Request(REQ_EDIT_NEW, {"C:\\a", "C:\\b"}, "");
  req.Type = TYPE_REGISTRY;
  req.System = 1;
  req.AltMode = 1;
  RuleList items = MakeEditNewItems(req);
  ASSERT_EQ(2u, items.size());
  EXPECT_EQ((std::vector<std::string>{"C:\\a", "C:\\b"}), Dests(items));
  for (const auto& i : items) {
    EXPECT_EQ(TYPE_FILE, i->Type);
    EXPECT_EQ(0u, i->Kinds);
    EXPECT_EQ(10u, i->Mode);
    EXPECT_EQ("*", i->Source);
  }
  EXPECT_EQ("C:\\p.exe", MakeEditNewItems(Request(0, {"x"}, "C:\\p.exe")).front()->Source);
  EXPECT_TRUE(MakeEditNewItems(Request(0, {})).empty());
}

TEST(NoCopyPaths, FileRulesAndCopyRulesMatchWholePathsIgnoringCase) {
  RuleList rules;
  rules.push_back(MakeRule("*", "C:\\File.doc", TYPE_FILE, KIND_RUN, 10));
  rules.push_back(MakeRule("*", "hkey_run", TYPE_REGISTRY, KIND_MODIFY, 10));
  rules.push_back(MakeRule("*", "hkey_copy", TYPE_REGISTRY, KIND_COPY, 10));
  rules.push_back(MakeRule("*", "C:\\sys.dll", TYPE_FILE | TYPE_SYSTEM, 0, 10));
  const auto paths = CollectNoCopyPaths(rules);
  EXPECT_EQ((std::vector<std::string>{"C:\\File.doc", "hkey_copy", "C:\\sys.dll"}), paths);

  EXPECT_TRUE(IsNoCopyPath(paths, "c:\\FILE.DOC"));
  EXPECT_FALSE(IsNoCopyPath(paths, "C:\\File.do"));
  EXPECT_FALSE(IsNoCopyPath(paths, "C:\\File.docx"));
  EXPECT_FALSE(IsNoCopyPath(paths, "hkey_run"));
  EXPECT_FALSE(IsNoCopyPath(paths, ""));
  RuleList emptyDest;
  emptyDest.push_back(MakeRule("*", "", TYPE_FILE, 0, 10));
  EXPECT_FALSE(IsNoCopyPath(CollectNoCopyPaths(emptyDest), ""));
}

}  // namespace
