// A rule set that fills the rule file: 1018 records of 100 bytes leave 49
// bytes before the reserve, too few for one more rule.
#pragma once

#include <string>

#include "rules/RuleSet.h"

inline RuleList FullRuleSet() {
  RuleList rules;
  for (int i = 0; i < 1018; ++i) {
    std::string dest = "C:\\full\\" + std::to_string(100000 + i);
    dest.resize(79, 'x');
    rules.push_back(MakeRule("*", dest, TYPE_FILE, KIND_OPEN, RULE_MODE_NORMAL));
  }
  return rules;
}
