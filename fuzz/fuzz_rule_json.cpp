// Reads arbitrary bytes as a rule export. Whatever is accepted must be
// complete rules that write back to JSON and read back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "rules/RuleJson.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  RuleList rules;
  RuleInputError error;
  if (!ParseRulesJson(text, rules, error)) {
    Check(rules.empty() && !error.message.empty());
    Check(error.line == 0 || error.column != 0);
    return 0;
  }
  for (const auto& r : rules) {
    // A rule may deny nothing and have an empty dest (the Files page keeps
    // such rules), but never lacks a type or a source.
    Check(r->Type != 0 && (r->Kinds & ~KIND_ALL) == 0);
    Check(!r->Source.empty());
    Check(r->Source.size() == r->SourceLen && r->Dest.size() == r->DestLen);
  }
  CheckRuleLengths(rules, error);
  RuleSetFits(rules);
  std::string json;
  Check(RulesToJson(rules, json, error));
  RuleList again;
  Check(ParseRulesJson(json, again, error));
  Check(again.size() == rules.size());
  auto a = rules.begin();
  for (auto b = again.begin(); b != again.end(); ++a, ++b) {
    Check((*a)->Type == (*b)->Type && (*a)->Kinds == (*b)->Kinds && (*a)->Mode == (*b)->Mode);
    Check((*a)->Source == (*b)->Source && (*a)->Dest == (*b)->Dest);
  }
  return 0;
}
