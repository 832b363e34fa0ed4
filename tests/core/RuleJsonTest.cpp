#include <gtest/gtest.h>

#include "rules/RuleJson.h"
#include "rules/RuleSet.h"

namespace {

std::string Wrap(const std::string& rules) {
  return "{\"format\": \"varnokel-rules\", \"version\": 1, \"rules\": [" + rules + "]}";
}

std::string Describe(const RuleList& rules) {
  std::string out;
  for (const auto& r : rules)
    out += std::to_string(r->Type) + "/" + std::to_string(r->Kinds) + "/" + std::to_string(r->Mode) + "/" + r->Source +
           "/" + r->Dest + ";";
  return out;
}

TEST(RuleJson, ReadsTheDocumentedShapeWithItsDefaults) {
  RuleList rules;
  RuleInputError error;
  ASSERT_TRUE(
      ParseRulesJson(Wrap(R"({"type": "file", "system": false, "deny": ["open", "copy"], "mode": 10, "source": "*",
               "dest": "C:\\data\\plan.doc"},
              {"type": "registry", "system": true, "deny": ["modify"], "dest": "hkey_local_machine\\Run"},
              {"type": "net", "deny": ["print", "print"], "mode": 9, "source": "C:\\a.exe", "dest": "h:1"})"),
                     rules, error))
      << error.message;
  EXPECT_EQ("1/9/10/*/C:\\data\\plan.doc;10/2/10/*/hkey_local_machine\\Run;4/64/9/C:\\a.exe/h:1;", Describe(rules));
  for (const auto& r : rules) {
    EXPECT_EQ(r->Source.size(), r->SourceLen);
    EXPECT_EQ(r->Dest.size(), r->DestLen);
  }
}

TEST(RuleJson, RefusesBadInputWithItsPositionOrRuleAndKeepsTheListUnchanged) {
  struct Case {
    std::string text;
    size_t line, column, rule;
    const char* fragment;
  } cases[] = {
      {"{\"format\": \"varnokel-rules\",\n  \"version\": 1,\n  \"rules\": [}", 3, 13, 0, "syntax error"},
      {"", 1, 1, 0, "unexpected end of input"},
      {"[1]", 0, 0, 0, "top level must be an object"},
      {Wrap(R"({"type": "file", "deny": ["open"], "dest": "a", "mode": 1e99999})"), 0, 0, 0, "number overflow"},
      {"{\"format\": \"other\", \"version\": 1, \"rules\": []}", 0, 0, 0, "\"format\""},
      {"{\"format\": \"varnokel-rules\", \"version\": 2, \"rules\": []}", 0, 0, 0, "\"version\""},
      {"{\"format\": \"varnokel-rules\", \"version\": 1}", 0, 0, 0, "\"rules\""},
      {"{\"format\": \"varnokel-rules\", \"version\": 1, \"rules\": [], \"x\": 1}", 0, 0, 0, "unknown member \"x\""},
      {Wrap(R"({"type": "file", "deny": ["open"], "dest": "a"}, 7)"), 0, 0, 2, "must be an object"},
      {Wrap(R"({"type": "disk", "deny": ["open"], "dest": "a"})"), 0, 0, 1, "unknown type \"disk\""},
      {Wrap(R"({"type": 1, "deny": ["open"], "dest": "a"})"), 0, 0, 1, "\"type\" must be a string"},
      {Wrap(R"({"type": "file", "deny": ["open", "read"], "dest": "a"})"), 0, 0, 1, "unknown kind \"read\""},
      {Wrap(R"({"type": "file", "deny": "open", "dest": "a"})"), 0, 0, 1, "\"deny\" must be an array"},
      {Wrap(R"({"type": "file", "deny": [1], "dest": "a"})"), 0, 0, 1, "not a kind name"},
      {Wrap(R"({"type": "file", "deny": ["open"]})"), 0, 0, 1, "\"dest\" is missing"},
      {Wrap(R"({"type": "file", "deny": ["open"], "dest": "a", "source": ""})"), 0, 0, 1, "\"source\" is empty"},
      {Wrap(R"({"type": "file", "deny": ["open"], "dest": "a\u0000b"})"), 0, 0, 1, "NUL"},
      {Wrap(R"({"type": "file", "deny": ["open"], "dest": "a", "mode": -1})"), 0, 0, 1, "\"mode\""},
      {Wrap(R"({"type": "file", "deny": ["open"], "dest": "a", "mode": 1.5})"), 0, 0, 1, "\"mode\""},
      {Wrap(R"({"type": "file", "deny": ["open"], "dest": "a", "mode": 4294967296})"), 0, 0, 1, "\"mode\""},
      {Wrap(R"({"type": "file", "deny": ["open"], "dest": "a", "system": 1})"), 0, 0, 1, "\"system\""},
      {Wrap(R"({"type": "file", "deny": ["open"], "dest": "a", "Dest": "b"})"), 0, 0, 1, "unknown member \"Dest\""},
  };
  for (const auto& c : cases) {
    RuleList rules;
    rules.push_back(MakeRule("*", "kept", TYPE_FILE, KIND_OPEN, 10));
    RuleInputError error;
    EXPECT_FALSE(ParseRulesJson(c.text, rules, error)) << c.text;
    EXPECT_EQ(1u, rules.size()) << c.text;
    EXPECT_EQ(c.line, error.line) << c.text;
    EXPECT_EQ(c.column, error.column) << c.text;
    EXPECT_EQ(c.rule, error.rule) << c.text;
    EXPECT_NE(std::string::npos, error.message.find(c.fragment)) << c.text << " -> " << error.message;
  }
}

TEST(RuleJson, ErrorsNameTheFileThenThePositionOrTheRule) {
  RuleInputError e;
  e.message = "boom";
  EXPECT_EQ("x.json: boom", e.Describe("x.json"));
  e.rule = 3;
  EXPECT_EQ("x.json: rule 3: boom", e.Describe("x.json"));
  e.line = 2;
  e.column = 5;
  EXPECT_EQ("x.json:2:5: boom", e.Describe("x.json"));
}

TEST(RuleJson, WrittenRulesReadBackTheSame) {
  RuleList rules;
  rules.push_back(MakeRule("*", "C:\\data\\plan \"x\".doc", TYPE_FILE, KIND_OPEN | KIND_COPY, 10));
  rules.push_back(
      MakeRule("C:\\p\\a.exe", "hkey_local_machine\\Software\\*", TYPE_REGISTRY | TYPE_SYSTEM, KIND_ALL, 9));
  rules.push_back(MakeRule("*", "192.0.2.1:80", TYPE_NET, KIND_PRINT, 4000000000u));
  std::string json;
  RuleInputError error;
  ASSERT_TRUE(RulesToJson(rules, json, error)) << error.message;
  EXPECT_NE(std::string::npos, json.find("\"format\": \"varnokel-rules\""));
  EXPECT_NE(std::string::npos, json.find("\"deny\": [\n        \"open\",\n        \"copy\"\n      ]"));
  EXPECT_EQ('\n', json.back());
  RuleList back;
  ASSERT_TRUE(ParseRulesJson(json, back, error)) << error.message;
  EXPECT_EQ(Describe(rules), Describe(back));

  std::string empty;
  ASSERT_TRUE(RulesToJson(RuleList{}, empty, error));
  ASSERT_TRUE(ParseRulesJson(empty, back = RuleList{}, error));
  EXPECT_TRUE(back.empty());
}

TEST(RuleJson, RulesTheFormCannotHoldAreRefusedByIndex) {
  for (auto [type, kinds] :
       {std::pair<uint32_t, uint32_t>{TYPE_FILE | TYPE_REGISTRY, 1}, {0x10, 1}, {TYPE_SYSTEM, 1}, {TYPE_FILE, 0x80}}) {
    RuleList rules;
    rules.push_back(MakeRule("*", "a", TYPE_FILE, KIND_OPEN, 10));
    rules.push_back(MakeRule("*", "b", type, kinds, 10));
    std::string json = "unchanged";
    RuleInputError error;
    EXPECT_FALSE(RulesToJson(rules, json, error)) << type;
    EXPECT_EQ(2u, error.rule);
    EXPECT_EQ("unchanged", json);
  }
  RuleList rules;
  rules.push_back(MakeRule("*", "C:\\caf\xE9", TYPE_FILE, KIND_OPEN, 10));  // not UTF-8
  std::string json;
  RuleInputError error;
  EXPECT_FALSE(RulesToJson(rules, json, error));
  EXPECT_EQ(1u, error.rule);
}

// What the Files page holds reads back: a rule that denies nothing, an empty
// dest, texts longer than a path buffer. Only a rule larger than the whole
// data area, or without a source, cannot be in the rule file.
TEST(RuleJson, EveryRuleTheFileHoldsPassesAndNoOtherDoes) {
  const size_t room = RULE_FILE_SIZE - RULE_FILE_HEADER_SIZE - RULE_FILE_RESERVE - RULE_RECORD_FIXED_SIZE;
  RuleList rules;
  RuleInputError error;
  ASSERT_TRUE(ParseRulesJson(Wrap(R"({"type": "file", "deny": [], "dest": ""})"), rules, error)) << error.message;
  EXPECT_EQ(0u, rules.front()->Kinds);
  EXPECT_EQ("", rules.front()->Dest);
  for (auto [source, dest, ok] :
       {std::tuple<size_t, size_t, bool>{300, 300, true}, {1, room - 1, true}, {1, room, false}, {0, 1, false}}) {
    RuleList set;
    set.push_back(MakeRule("*", "a", TYPE_FILE, KIND_OPEN, 10));
    set.push_back(MakeRule("", std::string(dest, 'd'), TYPE_FILE, 0, 10));
    set.back()->Source.assign(source, 's');
    RuleInputError e;
    EXPECT_EQ(ok, CheckRuleLengths(set, e)) << source << " " << dest;
    EXPECT_EQ(ok ? 0u : 2u, e.rule);
  }
}

TEST(RuleJson, FitIsTheWritersOwnLimit) {
  // Records of 20 + 1 + 79 = 100 bytes: the data area before the reserve
  // holds 102400 - 39 - 512 = 101849 bytes, so 1018 of them fit.
  RuleList rules;
  for (int i = 0; i < 1018; ++i) {
    std::string dest = "C:\\" + std::to_string(100000 + i);
    dest.resize(79, 'x');
    rules.push_back(MakeRule("*", dest, TYPE_FILE, KIND_OPEN, 10));
  }
  EXPECT_EQ(101800u, RuleSetBytes(rules));
  EXPECT_TRUE(RuleSetFits(rules));
  std::vector<uint8_t> view(RULE_FILE_SIZE);
  uint32_t used = 0;
  EXPECT_EQ(0, SerializeRuleRecords(view.data() + RULE_FILE_HEADER_SIZE, RULE_FILE_SIZE, rules, used));
  rules.push_back(MakeRule("*", std::string(49, 'y'), TYPE_FILE, KIND_OPEN, 10));  // 70 bytes: 21 too many
  EXPECT_FALSE(RuleSetFits(rules));
  EXPECT_EQ(-4, SerializeRuleRecords(view.data() + RULE_FILE_HEADER_SIZE, RULE_FILE_SIZE, rules, used));
  rules.back() = MakeRule("*", std::string(28, 'y'), TYPE_FILE, KIND_OPEN, 10);  // 49 bytes: fits exactly
  EXPECT_TRUE(RuleSetFits(rules));
  EXPECT_EQ(0, SerializeRuleRecords(view.data() + RULE_FILE_HEADER_SIZE, RULE_FILE_SIZE, rules, used));
}

RuleList Sample() {
  RuleList rules;
  rules.push_back(MakeRule("*", "C:\\one", TYPE_FILE, KIND_OPEN, 10));
  rules.push_back(MakeRule("*", "C:\\two", TYPE_FILE, KIND_COPY, 10));
  rules.push_back(MakeRule("*", "hklm\\sys", TYPE_REGISTRY | TYPE_SYSTEM, KIND_MODIFY, 10));
  return rules;
}

RuleList Copy(const RuleList& rules) {
  RuleList out;
  for (const auto& r : rules) out.push_back(std::make_unique<RULEFILE_ITEM>(*r));
  return out;
}

TEST(ImportRules, MergeWidensEqualRulesAndPlacesNewOnesLikeTheFrontEnd) {
  RuleList current = Sample();
  const std::string before = Describe(current);
  EXPECT_EQ(0u, ImportRules(current, Copy(current), false));
  EXPECT_EQ(before, Describe(current));  // the same rules again change nothing

  RuleList incoming;
  incoming.push_back(MakeRule("*", "c:\\TWO", TYPE_FILE, KIND_RUN, 9));  // equal to "C:\two"
  incoming.push_back(MakeRule("*", "C:\\new1", TYPE_FILE, KIND_OPEN, 10));
  incoming.push_back(MakeRule("*", "hklm\\sys2", TYPE_REGISTRY | TYPE_SYSTEM, KIND_OPEN, 10));
  incoming.push_back(MakeRule("*", "C:\\new2", TYPE_FILE, KIND_OPEN, 10));
  incoming.push_back(MakeRule("*", "C:\\one", TYPE_FILE | TYPE_SYSTEM, KIND_OPEN, 10));  // other type: new
  EXPECT_EQ(4u, ImportRules(current, std::move(incoming), false));
  EXPECT_EQ(
      "1/1/10/*/C:\\new1;1/1/10/*/C:\\new2;1/1/10/*/C:\\one;1/12/10/*/C:\\two;10/2/10/*/hklm\\sys;"
      "10/1/10/*/hklm\\sys2;9/1/10/*/C:\\one;",
      Describe(current));
}

TEST(ImportRules, ReplaceGivesExactlyTheImportedRulesInTheirOrder) {
  RuleList current = Sample();
  RuleList incoming;
  incoming.push_back(MakeRule("*", "hklm\\sys", TYPE_REGISTRY | TYPE_SYSTEM, KIND_MODIFY, 10));
  incoming.push_back(MakeRule("*", "C:\\b", TYPE_FILE, KIND_OPEN, 10));
  incoming.push_back(MakeRule("*", "c:\\B", TYPE_FILE, KIND_PRINT, 9));  // equal twins, as a file may hold them
  EXPECT_EQ(3u, ImportRules(current, std::move(incoming), true));
  EXPECT_EQ("10/2/10/*/hklm\\sys;1/1/10/*/C:\\b;1/64/9/*/c:\\B;", Describe(current));
  EXPECT_EQ(0u, ImportRules(current, RuleList{}, true));
  EXPECT_TRUE(current.empty());
}

}  // namespace
