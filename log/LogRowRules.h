// From a row of the log to the rules: which rules decide the access it
// records, the rule that would protect what it names, and allowing it by
// taking its kinds out of the rules that deny it. Matching is the rule
// matching of rules/RuleMatch, the same the engine stand-in and `vkctl test`
// decide with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "log/LogFields.h"
#include "rules/RuleMatch.h"
#include "rules/RuleRecord.h"

// The access a row records.
struct LogAccess {
  std::string process;
  std::string object;  // the path or key: the detail up to " -"
  uint32_t kinds = 0;  // the record's action bits
  AccessObject type = AccessObject::File;
  // False for a row that names no access a rule could decide: no process
  // or object, no kind, or an object that is neither a file nor a registry
  // key (Net records).
  bool valid = false;

  AccessQuery Query() const { return AccessQuery{process, object, kinds, type}; }
};

LogAccess LogAccessOf(const LogRecordFields& record);

// Positions (from 0, in list order) of the rules that deny the access.
std::vector<size_t> RulesDecidingAccess(const RuleList& rules, const LogAccess& access);

// A new rule for the row's object: source "*", the row's kinds, a file or
// registry rule. Null for an invalid access.
std::unique_ptr<RULEFILE_ITEM> ProtectRuleFor(const LogAccess& access);

// What allowing changed in one rule.
struct AllowedRule {
  size_t index;          // position in the list
  uint32_t kindsBefore;  // its kinds before and after
  uint32_t kindsAfter;
};
// Takes exactly the access's kinds out of every rule that denies it and
// changes nothing else (a rule left without kinds stays, denying nothing).
// Returns the rules changed, in list order.
std::vector<AllowedRule> AllowAccess(RuleList& rules, const LogAccess& access);
