#include "rules/RuleMatch.h"

#include <string>

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::string_view TrimTrailingBackslashes(std::string_view s) {
  while (!s.empty() && s.back() == '\\') s.remove_suffix(1);
  return s;
}

// Short registry root names and the full names the system rules use.
struct RootName {
  const char* shortName;
  const char* fullName;
};
constexpr RootName kRoots[] = {
    {"hklm", "hkey_local_machine"}, {"hkcu", "hkey_current_user"},   {"hkcr", "hkey_classes_root"},
    {"hku", "hkey_users"},          {"hkcc", "hkey_current_config"},
};

// A registry path with a short root name written out in full; other paths
// come back as they are. out holds the rewritten text when one is needed.
std::string_view FullRegistryRoot(std::string_view key, std::string& out) {
  const size_t slash = key.find('\\');
  const std::string_view root = key.substr(0, slash);
  for (const RootName& r : kRoots) {
    if (SameNoCase(root, r.shortName)) {
      out = r.fullName;
      if (slash != std::string_view::npos) out.append(key.substr(slash));
      return out;
    }
  }
  return key;
}

bool TypeFits(uint32_t ruleType, AccessObject object) {
  return object == AccessObject::File ? (ruleType & TYPE_FILE) != 0 : (ruleType & TYPE_REGISTRY) != 0;
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view text) {
  // Greedy walk that returns to the last "*" on a mismatch: at most
  // pattern x text steps, never exponential.
  size_t p = 0, t = 0;
  size_t starP = std::string_view::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starT = t;
    } else if (p < pattern.size() && Lower(pattern[p]) == Lower(text[t])) {
      ++p;
      ++t;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool DestCovers(std::string_view dest, std::string_view object, AccessObject type) {
  std::string destBuf, objectBuf;
  if (type == AccessObject::Registry) {
    dest = FullRegistryRoot(dest, destBuf);
    object = FullRegistryRoot(object, objectBuf);
  }
  if (dest.find('*') != std::string_view::npos) return WildcardMatch(dest, object);
  dest = TrimTrailingBackslashes(dest);
  object = TrimTrailingBackslashes(object);
  if (dest.empty() || object.size() < dest.size()) return false;
  if (!SameNoCase(dest, object.substr(0, dest.size()))) return false;
  return object.size() == dest.size() || object[dest.size()] == '\\';
}

bool RuleDenies(const RULEFILE_ITEM& rule, const AccessQuery& query) {
  if ((rule.Kinds & query.kinds) == 0 || !TypeFits(rule.Type, query.type)) return false;
  const std::string_view source = rule.Source;
  if (!source.empty() && source != "*" && !WildcardMatch(source, query.process)) return false;
  return DestCovers(rule.Dest, query.object, query.type);
}

std::vector<size_t> MatchRules(const RuleList& rules, const AccessQuery& query) {
  std::vector<size_t> hits;
  size_t index = 0;
  for (const auto& rule : rules) {
    if (rule && RuleDenies(*rule, query)) hits.push_back(index);
    ++index;
  }
  return hits;
}

uint32_t KindFromName(std::string_view name) {
  for (const KindName& k : kKindNames)
    if (SameNoCase(name, k.name)) return k.bit;
  return 0;
}

bool ParseKindList(std::string_view text, uint32_t& kinds, std::string* badName) {
  uint32_t result = 0;
  if (text.empty()) {
    if (badName) badName->clear();
    return false;
  }
  for (;;) {
    const size_t comma = text.find(',');
    const std::string_view name = text.substr(0, comma);
    const uint32_t bit = KindFromName(name);
    if (bit == 0) {
      if (badName) *badName = std::string(name);
      return false;
    }
    result |= bit;
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  kinds = result;
  return true;
}

std::string KindListText(uint32_t kinds) {
  std::string text;
  for (const KindName& k : kKindNames) {
    if (!(kinds & k.bit)) continue;
    if (!text.empty()) text += ',';
    text += k.name;
  }
  return text.empty() ? "-" : text;
}
