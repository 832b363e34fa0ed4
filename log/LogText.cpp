#include "log/LogText.h"

#include <iterator>

#include "rules/RuleRecord.h"

namespace {

constexpr const char* kTypeNames[] = {"File", "Registry", "Net", " System"};
constexpr const char* kActionNames[] = {" Read", " Modify", " Run", " Copy", " Delete", " Find", " Print"};

std::string_view UpToNul(std::string_view s) {
  const size_t nul = s.find('\0');
  return nul == std::string_view::npos ? s : s.substr(0, nul);
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string TypeName(uint32_t type) {
  std::string name;
  for (size_t i = 0; i < std::size(kTypeNames); ++i)
    if (type & (1u << i)) name += kTypeNames[i];
  return name;
}

std::string ActionText(std::string_view prefix, uint32_t action) {
  std::string text(prefix);
  for (size_t i = 0; i < std::size(kActionNames); ++i)
    if (action & (1u << i)) text += kActionNames[i];
  return text;
}

std::string TextLogLine(const LOGFILE_ITEM& item) {
  std::string line = TypeName(item.type);
  line += ActionText(",", item.action);
  line += ',';
  line += UpToNul(item.text);
  line += '\n';
  return line;
}

LogTextParts SplitLogText(std::string_view text) {
  text = UpToNul(text);
  if (text.size() > LOG_MAX_TEXT) text = text.substr(0, LOG_MAX_TEXT);
  LogTextParts parts;
  const size_t comma1 = text.find(',');
  if (comma1 == std::string_view::npos) return parts;
  parts.time = text.substr(0, comma1);
  parts.fields = 1;
  std::string_view rest = text.substr(comma1 + 1);
  const size_t comma2 = rest.find(',');
  if (comma2 == std::string_view::npos) return parts;
  parts.process = rest.substr(0, comma2);
  parts.fields = 2;
  rest = rest.substr(comma2 + 1);
  const size_t colon = rest.find(" : ");
  if (colon == std::string_view::npos) return parts;
  parts.actionPrefix = rest.substr(0, colon);
  parts.detail = rest.substr(colon + 3);
  parts.fields = 3;
  return parts;
}

bool IsOwnRecord(std::string_view text, std::string_view ownerPathLower) {
  return IsOwnRecord(text, ownerPathLower, [](char* s, size_t n) {
    for (size_t i = 0; i < n; ++i) s[i] = LowerAscii(s[i]);
  });
}

bool IsOwnRecord(std::string_view text, std::string_view ownerPathLower, LowerCaseFn lower) {
  std::string owner(UpToNul(ownerPathLower));
  if (owner.empty()) return false;
  // Only an occurrence that starts before the limit counts, so only the
  // bytes it can cover are looked at.
  text = UpToNul(text);
  std::string lowered(text.substr(0, LOG_OWN_RECORD_LIMIT - 1 + owner.size()));
  lower(owner.data(), owner.size());
  lower(lowered.data(), lowered.size());
  const size_t at = lowered.find(owner);
  return at != std::string::npos && at < LOG_OWN_RECORD_LIMIT;
}

uint32_t LogRowColour(uint32_t action, uint32_t clrRun, uint32_t clrRead, uint32_t clrWrite) {
  if (action & KIND_MODIFY) return clrWrite;
  if (action & KIND_RUN) return clrRun;
  if (action & KIND_OPEN) return clrRead;
  return LOG_DEFAULT_ROW_COLOUR;
}

std::string ExplorerSelectPath(std::string_view detail) {
  detail = UpToNul(detail);
  return std::string(detail.substr(0, detail.find(" -")));
}
