#include "rules/RuleSet.h"

#include <algorithm>
#include <utility>

namespace {

// Request bit -> stored kind flag, in button order.
constexpr std::pair<uint32_t, uint32_t> kRequestToKind[] = {
    {REQ_RUN, KIND_RUN},       {REQ_COPY, KIND_COPY}, {REQ_OPEN, KIND_OPEN},   {REQ_MODIFY, KIND_MODIFY},
    {REQ_DELETE, KIND_DELETE}, {REQ_FIND, KIND_FIND}, {REQ_PRINT, KIND_PRINT},
};

unsigned char LowerAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

std::string_view UpToNul(std::string_view s) {
  const size_t nul = s.find('\0');
  return nul == std::string_view::npos ? s : s.substr(0, nul);
}

}  // namespace

uint32_t RequestBitsToKinds(uint32_t req) {
  uint32_t kinds = 0;
  for (const auto& [bit, kind] : kRequestToKind)
    if (req & bit) kinds |= kind;
  return kinds;
}

uint32_t KindsToRequestBits(uint32_t kinds) {
  uint32_t req = 0;
  for (const auto& [bit, kind] : kRequestToKind)
    if (kinds & kind) req |= bit;
  return req;
}

bool EqualsNoCaseC(std::string_view a, std::string_view b) {
  a = UpToNul(a);
  b = UpToNul(b);
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(static_cast<unsigned char>(x)) == LowerAscii(static_cast<unsigned char>(y));
         });
}

bool RulesEqual(const RULEFILE_ITEM& a, const RULEFILE_ITEM& b) {
  return a.Type == b.Type && a.DestLen == b.DestLen && EqualsNoCaseC(a.Dest, b.Dest) &&
         EqualsNoCaseC(a.Source, b.Source);
}

std::unique_ptr<RULEFILE_ITEM> MakeRule(std::string_view source, std::string_view dest, uint32_t type, uint32_t kinds,
                                        uint32_t mode) {
  auto item = std::make_unique<RULEFILE_ITEM>();
  item->Type = type;
  item->Kinds = kinds;
  item->Mode = mode;
  item->Source = source.empty() ? std::string("*") : std::string(source);
  item->SourceLen = static_cast<uint32_t>(item->Source.size());
  item->Dest = std::string(dest);
  item->DestLen = static_cast<uint32_t>(item->Dest.size());
  return item;
}

int MergeRule(RuleList& rules, std::unique_ptr<RULEFILE_ITEM>& item, bool add) {
  if (!item) return -2;
  const auto equal =
      std::find_if(rules.begin(), rules.end(), [&](const auto& rule) { return rule && RulesEqual(*rule, *item); });
  if (add) {
    if (equal != rules.end()) {
      (*equal)->Kinds |= item->Kinds;
    } else if (item->Type & TYPE_SYSTEM) {
      rules.push_back(std::move(item));
    } else {
      rules.push_front(std::move(item));
    }
  } else if (equal != rules.end()) {
    rules.erase(equal);
    item.reset();
  }
  return 0;
}

bool RemoveRuleItem(RuleList& rules, const RULEFILE_ITEM* item) {
  if (item == nullptr) return false;
  auto it = std::find_if(rules.begin(), rules.end(), [&](const auto& rule) { return rule.get() == item; });
  if (it == rules.end()) {
    it = std::find_if(rules.begin(), rules.end(), [&](const auto& rule) { return rule && RulesEqual(*rule, *item); });
  }
  if (it == rules.end()) return false;
  rules.erase(it);
  return true;
}

bool AddRequestRules(RuleList& rules, const RULE_REQUEST& req) {
  const uint32_t type = req.Type | (req.System ? TYPE_SYSTEM : 0);
  const uint32_t kinds = RequestBitsToKinds(req.Code);
  const uint32_t mode = req.AltMode ? RULE_MODE_ALT : RULE_MODE_NORMAL;
  for (const std::string& dest : req.Dests) {
    auto item = MakeRule(req.Source, dest, type, kinds, mode);
    MergeRule(rules, item, true);
  }
  return !req.Dests.empty();
}

RuleList MakeEditNewItems(const RULE_REQUEST& req) {
  RuleList items;
  for (const std::string& dest : req.Dests)
    items.push_back(MakeRule(req.Source, dest, req.EditNewType ? req.EditNewType : TYPE_FILE,
                             req.EditNewKinds & KIND_ALL, RULE_MODE_NORMAL));
  return items;
}

std::vector<std::string> CollectNoCopyPaths(const RuleList& rules) {
  std::vector<std::string> paths;
  for (const auto& rule : rules)
    if (rule && ((rule->Type & TYPE_FILE) || (rule->Kinds & KIND_COPY))) paths.push_back(rule->Dest);
  return paths;
}

bool IsNoCopyPath(const std::vector<std::string>& paths, std::string_view path) {
  if (UpToNul(path).empty()) return false;
  return std::any_of(paths.begin(), paths.end(), [&](const std::string& p) { return EqualsNoCaseC(p, path); });
}
