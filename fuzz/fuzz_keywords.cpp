// Tests arbitrary texts against arbitrary keyword lists and box texts, and
// checks the results against a plain reading of the rules: a keyword is a
// non-empty piece between bars, and any one found in the text matches.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "settings/Keywords.h"

namespace {

std::string LowerAscii(std::string_view s) {
  std::string out(s.substr(0, s.find('\0')));
  for (char& c : out) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  return out;
}

bool Reference(std::string_view text, std::string_view list) {
  const std::string t = LowerAscii(text), k = LowerAscii(list);
  size_t start = 0;
  while (start <= k.size()) {
    size_t end = k.find('|', start);
    if (end == std::string::npos) end = k.size();
    if (end > start && t.find(k.substr(start, end - start)) != std::string::npos) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // The first byte says where the text ends and the list begins.
  const size_t split = size ? data[0] % size : 0;
  const std::string_view rest = size ? input.substr(1) : input;
  const std::string_view text = rest.substr(0, std::min(split, rest.size()));
  const std::string_view list = rest.substr(text.size());

  Check(KeywordsMatch(text, list) == Reference(text, list));
  Check(!KeywordsMatch(text, ""));

  const std::string joined = KeywordsFromBoxText(rest);
  Check(joined.find('\r') == std::string::npos && joined.find('\n') == std::string::npos);
  Check(joined.size() <= rest.size());
  if (!joined.empty()) {
    Check(joined.front() != ' ' && joined.front() != '\t' && joined.back() != ' ' && joined.back() != '\t');
  }
  Check(KeywordsFromBoxText(joined) == joined);  // the stored form is stable
  // Every keyword of the joined list is found in the box text it came from.
  if (joined.find('\0') == std::string::npos && joined.find_first_not_of('|') != std::string::npos)
    Check(KeywordsMatch(rest, joined));
  return 0;
}
