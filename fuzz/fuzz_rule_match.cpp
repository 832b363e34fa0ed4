// Matches arbitrary patterns and paths and compares the result with a slow
// but obviously right reference: a table over all pattern and text
// positions.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "rules/RuleMatch.h"
#include "rules/RuleSet.h"

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool Reference(std::string_view p, std::string_view t) {
  // m[i][j]: pattern from i matches text from j.
  std::vector<std::vector<char>> m(p.size() + 1, std::vector<char>(t.size() + 1, 0));
  m[p.size()][t.size()] = 1;
  for (size_t i = p.size(); i-- > 0;) {
    for (size_t j = t.size() + 1; j-- > 0;) {
      if (p[i] == '*')
        m[i][j] = m[i + 1][j] || (j < t.size() && m[i][j + 1]);
      else
        m[i][j] = j < t.size() && Lower(p[i]) == Lower(t[j]) && m[i + 1][j + 1];
    }
  }
  return m[0][0];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 600) return 0;
  // First byte: kind bits and object type (0x80: registry); then the
  // pattern and the text, separated by a 0x01 byte (NUL bytes may occur in
  // both).
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t cut = rest.find('\x01');
  if (cut == std::string_view::npos) return 0;
  const std::string_view pattern = rest.substr(0, cut);
  const std::string_view text = rest.substr(cut + 1);
  Check(WildcardMatch(pattern, text) == Reference(pattern, text));

  const AccessObject type = (data[0] & 0x80) ? AccessObject::Registry : AccessObject::File;
  const bool covers = DestCovers(pattern, text, type);
  if (type == AccessObject::File && pattern.find('*') == std::string_view::npos && !pattern.empty() &&
      pattern.back() != '\\') {
    // Without "*" a dest covers exactly itself and the paths below it.
    const bool below = Reference(std::string(pattern) + "\\*", text);
    const bool same = Reference(pattern, text);
    const std::string_view trimmed = text.substr(0, text.find_last_not_of('\\') + 1);
    Check(covers == (below || same || Reference(pattern, trimmed)));
  }
  RuleList rules;
  rules.push_back(MakeRule("*", pattern, TYPE_FILE, KIND_ALL, RULE_MODE_NORMAL));
  rules.push_back(MakeRule(pattern, text, TYPE_REGISTRY | TYPE_SYSTEM, data[0] & KIND_ALL, RULE_MODE_NORMAL));
  AccessQuery q{text, text, static_cast<uint32_t>(data[0] & KIND_ALL), type};
  const auto hits = MatchRules(rules, q);
  for (size_t i = 1; i < hits.size(); ++i) Check(hits[i - 1] < hits[i]);
  for (size_t h : hits) Check(h < rules.size());
  return 0;
}
