#include "settings/Keywords.h"

namespace {

std::string_view UpToNul(std::string_view s) { return s.substr(0, s.find('\0')); }

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

}  // namespace

bool KeywordsMatch(std::string_view text, std::string_view list) {
  const std::string t = Lower(UpToNul(text));
  const std::string k = Lower(UpToNul(list));
  std::string_view rest(k);
  for (;;) {
    const size_t bar = rest.find('|');
    if (bar == 0) {
      rest.remove_prefix(1);
      continue;
    }
    if (bar == std::string_view::npos) return !rest.empty() && t.find(rest) != std::string::npos;
    if (t.find(rest.substr(0, bar)) != std::string::npos) return true;
    rest.remove_prefix(bar + 1);
  }
}

std::string KeywordsFromBoxText(std::string_view boxText) {
  size_t b = 0, e = boxText.size();
  while (b < e && IsSpace(boxText[b])) ++b;
  while (e > b && IsSpace(boxText[e - 1])) --e;
  const std::string_view s = boxText.substr(b, e - b);
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      out += '|';
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;  // one separator for the pair
    } else if (s[i] == '\n') {
      out += '|';
    } else {
      out += s[i];
    }
  }
  return out;
}
