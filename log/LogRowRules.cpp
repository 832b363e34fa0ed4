#include "log/LogRowRules.h"

#include <iterator>

#include "log/LogText.h"
#include "rules/RuleSet.h"

LogAccess LogAccessOf(const LogRecordFields& record) {
  LogAccess access;
  access.process = record.process;
  access.object = ExplorerSelectPath(record.object);
  access.kinds = record.action & KIND_ALL;
  if (record.type & TYPE_FILE) {
    access.type = AccessObject::File;
  } else if (record.type & TYPE_REGISTRY) {
    access.type = AccessObject::Registry;
  } else {
    return access;
  }
  access.valid = !access.process.empty() && !access.object.empty() && access.kinds != 0;
  return access;
}

std::vector<size_t> RulesDecidingAccess(const RuleList& rules, const LogAccess& access) {
  if (!access.valid) return {};
  return MatchRules(rules, access.Query());
}

std::unique_ptr<RULEFILE_ITEM> ProtectRuleFor(const LogAccess& access) {
  if (!access.valid) return nullptr;
  const uint32_t type = access.type == AccessObject::Registry ? TYPE_REGISTRY : TYPE_FILE;
  return MakeRule("*", access.object, type, access.kinds, RULE_MODE_NORMAL);
}

std::vector<AllowedRule> AllowAccess(RuleList& rules, const LogAccess& access) {
  std::vector<AllowedRule> changed;
  const std::vector<size_t> hits = RulesDecidingAccess(rules, access);
  auto it = rules.begin();
  size_t at = 0;
  for (size_t hit : hits) {
    std::advance(it, static_cast<long>(hit - at));
    at = hit;
    RULEFILE_ITEM& rule = **it;
    const uint32_t before = rule.Kinds;
    rule.Kinds &= ~access.kinds;
    changed.push_back({hit, before, rule.Kinds});
  }
  return changed;
}
