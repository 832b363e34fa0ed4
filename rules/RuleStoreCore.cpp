#include "rules/RuleStoreCore.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

// What makes two rules equal (RulesEqual), as a text: the type, the dest's
// stored length and both strings up to their first NUL, letters folded.
std::string EqualityKey(const RULEFILE_ITEM& rule) {
  auto folded = [](std::string_view s) {
    std::string out;
    for (char c : s) {
      if (c == '\0') break;
      out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return out;
  };
  return std::to_string(rule.Type) + ':' + std::to_string(rule.DestLen) + ':' + folded(rule.Dest) + '\0' +
         folded(rule.Source);
}

using ByKey = std::unordered_map<std::string, std::vector<const RULEFILE_ITEM*>>;

ByKey GroupByKey(const RuleList& rules) {
  ByKey groups;
  for (const auto& r : rules)
    if (r) groups[EqualityKey(*r)].push_back(r.get());
  return groups;
}

}  // namespace

bool SameRules(const RuleList& a, const RuleList& b) {
  if (a.size() != b.size()) return false;
  for (auto x = a.begin(), y = b.begin(); x != a.end(); ++x, ++y) {
    if (!*x || !*y) {
      if (*x != *y) return false;
      continue;
    }
    const RULEFILE_ITEM& p = **x;
    const RULEFILE_ITEM& q = **y;
    if (p.Type != q.Type || p.Kinds != q.Kinds || p.Mode != q.Mode || p.Source != q.Source || p.Dest != q.Dest)
      return false;
  }
  return true;
}

RuleList CopyRules(const RuleList& rules) {
  RuleList copy;
  for (const auto& r : rules)
    if (r) copy.push_back(std::make_unique<RULEFILE_ITEM>(*r));
  return copy;
}

RuleList MergePendingChange(const RuleList& base, const RuleList& mine, const RuleList& theirs) {
  RuleList result = CopyRules(theirs);
  const ByKey baseByKey = GroupByKey(base);
  const ByKey mineByKey = GroupByKey(mine);
  // The rules of the result by key, in order; each is paired with at most
  // one rule of base.
  std::unordered_map<std::string, std::vector<RuleList::iterator>> resultByKey;
  for (auto it = result.begin(); it != result.end(); ++it) resultByKey[EqualityKey(**it)].push_back(it);

  for (const auto& [key, bases] : baseByKey) {
    const auto mineIt = mineByKey.find(key);
    const size_t mineCount = mineIt == mineByKey.end() ? 0 : mineIt->second.size();
    auto& candidates = resultByKey[key];
    for (size_t i = 0; i < bases.size(); ++i) {
      const RULEFILE_ITEM& was = *bases[i];
      // Its counterpart in the file now: the first one with the kinds it
      // had, else the first one left.
      auto pick = candidates.end();
      for (auto c = candidates.begin(); c != candidates.end(); ++c) {
        if ((**c)->Kinds == was.Kinds) {
          pick = c;
          break;
        }
      }
      if (pick == candidates.end() && !candidates.empty()) pick = candidates.begin();
      if (pick == candidates.end()) continue;  // the other writer removed it
      const RuleList::iterator target = *pick;
      candidates.erase(pick);
      if (i >= mineCount) {
        result.erase(target);
        continue;
      }
      const RULEFILE_ITEM& now = *mineIt->second[i];
      const uint32_t added = now.Kinds & ~was.Kinds;
      const uint32_t taken = was.Kinds & ~now.Kinds;
      (*target)->Kinds = ((*target)->Kinds | added) & ~taken;
      if (now.Mode != was.Mode) (*target)->Mode = now.Mode;
    }
  }

  // Rules that only mine has, in mine's order.
  std::vector<const RULEFILE_ITEM*> ordinary, system;
  std::unordered_map<std::string, size_t> seen;
  for (const auto& r : mine) {
    if (!r) continue;
    const std::string key = EqualityKey(*r);
    const auto b = baseByKey.find(key);
    const size_t inBase = b == baseByKey.end() ? 0 : b->second.size();
    if (seen[key]++ < inBase) continue;
    (r->Type & TYPE_SYSTEM ? system : ordinary).push_back(r.get());
  }
  // Each new ordinary rule goes to the front: the last one first.
  for (auto it = ordinary.rbegin(); it != ordinary.rend(); ++it) {
    auto item = std::make_unique<RULEFILE_ITEM>(**it);
    MergeRule(result, item, true);
  }
  for (const RULEFILE_ITEM* r : system) {
    auto item = std::make_unique<RULEFILE_ITEM>(*r);
    MergeRule(result, item, true);
  }
  return result;
}

size_t AddRequestRulesThatFit(RuleList& rules, const RULE_REQUEST& req, uint32_t maxSize) {
  const uint32_t type = req.Type | (req.System ? TYPE_SYSTEM : 0);
  const uint32_t kinds = RequestBitsToKinds(req.Code);
  const uint32_t mode = req.AltMode ? RULE_MODE_ALT : RULE_MODE_NORMAL;
  uint64_t bytes = RuleSetBytes(rules);
  const uint64_t room = uint64_t{maxSize} - RULE_FILE_HEADER_SIZE - RULE_FILE_RESERVE;
  size_t leftOut = 0;
  for (const std::string& dest : req.Dests) {
    auto item = MakeRule(req.Source, dest, type, kinds, mode);
    const uint64_t size = item->RecordSize();
    const bool exists =
        std::any_of(rules.begin(), rules.end(), [&](const auto& r) { return r && RulesEqual(*r, *item); });
    if (!exists && (maxSize < RULE_FILE_HEADER_SIZE + RULE_FILE_RESERVE || bytes + size > room)) {
      ++leftOut;
      continue;
    }
    MergeRule(rules, item, true);
    if (!exists) bytes += size;
  }
  return leftOut;
}

RuleSaveOutcome SaveRulesOntoView(uint8_t* dataArea, uint32_t maxSize, uint64_t viewEnd, const RuleList* base,
                                  const RuleList& mine) {
  RuleSaveOutcome outcome;
  RuleList current;
  uint32_t count = 0, offset = 0;
  const int read = ParseRuleRecords(dataArea, maxSize, current, count, offset, nullptr, viewEnd);
  outcome.fileRules = current.size();
  const RuleList* target = &mine;
  RuleList merged;
  outcome.result = RuleSaveResult::Written;
  if (base) {
    if (read == -1) {
      // Damaged since it was read, or never readable: what follows the
      // damage is unknown and must not be written over unseen.
      outcome.result = RuleSaveResult::Damaged;
      return outcome;
    }
    if (!SameRules(*base, current)) {
      merged = MergePendingChange(*base, mine, current);
      target = &merged;
      outcome.result = RuleSaveResult::Merged;
    }
  }
  if (!RuleSetFits(*target, maxSize)) {
    outcome.result = RuleSaveResult::Full;
    return outcome;
  }
  uint32_t used = 0;
  if (SerializeRuleRecords(dataArea, maxSize, *target, used) != 0) {
    outcome.result = RuleSaveResult::Full;
    return outcome;
  }
  outcome.usedSize = used;
  outcome.savedRules = target->size();
  return outcome;
}
