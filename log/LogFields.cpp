#include "log/LogFields.h"

#include "log/LogText.h"
#include "rules/RuleMatch.h"
#include "rules/RuleRecord.h"

namespace {

char LowerAsciiChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// Reads exactly n digits at pos.
bool Digits(std::string_view s, size_t& pos, size_t n, int& value) {
  if (pos + n > s.size()) return false;
  value = 0;
  for (size_t i = 0; i < n; ++i) {
    const char c = s[pos + i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  pos += n;
  return true;
}

bool Expect(std::string_view s, size_t& pos, char c) {
  if (pos >= s.size() || s[pos] != c) return false;
  ++pos;
  return true;
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

// Days from 1970-01-01 to y-m-d in the proleptic Gregorian calendar.
int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

LogRecordFields SplitLogRecord(const LOGFILE_ITEM& item) {
  LogRecordFields f;
  f.type = item.type;
  f.action = item.action;
  f.system = (item.type & TYPE_SYSTEM) != 0;
  const LogTextParts parts = SplitLogText(item.text);
  std::string_view text(item.text);
  text = text.substr(0, text.find('\0'));
  if (text.size() > LOG_MAX_TEXT) text = text.substr(0, LOG_MAX_TEXT);
  switch (parts.fields) {
    case 0: f.object = text; break;
    case 1:
      f.time = parts.time;
      f.object = text.substr(parts.time.size() + 1);
      break;
    case 2:
      f.time = parts.time;
      f.process = parts.process;
      f.object = text.substr(parts.time.size() + 1 + parts.process.size() + 1);
      break;
    default:
      f.time = parts.time;
      f.process = parts.process;
      f.result = Trim(parts.actionPrefix);
      f.object = parts.detail;
      break;
  }
  return f;
}

bool IsDeniedResult(std::string_view result) {
  constexpr std::string_view kDenied = "denied";
  if (result.size() != kDenied.size()) return false;
  for (size_t i = 0; i < result.size(); ++i)
    if (LowerAsciiChar(result[i]) != kDenied[i]) return false;
  return true;
}

std::string LogTypeWords(uint32_t type) {
  static const KindName kTypes[] = {{TYPE_FILE, "file"}, {TYPE_REGISTRY, "registry"}, {TYPE_NET, "net"}};
  std::string words;
  for (const KindName& t : kTypes) {
    if (!(type & t.bit)) continue;
    if (!words.empty()) words += ',';
    words += t.name;
  }
  return words;
}

std::string LogActionWords(uint32_t action) {
  const std::string words = KindListText(action);
  return words == "-" ? std::string() : words;
}

std::string LogActionText(uint32_t action) {
  const std::string text = ActionText("", action);
  return text.empty() ? text : text.substr(1);
}

std::string_view ProcessFileName(std::string_view process) {
  const size_t slash = process.find_last_of("\\/");
  return slash == std::string_view::npos ? process : process.substr(slash + 1);
}

bool ParseLogTime(std::string_view text, int64_t& seconds) {
  text = Trim(text);
  size_t pos = 0;
  int y, mo, d, h = 0, mi = 0, s = 0;
  if (!Digits(text, pos, 4, y) || pos >= text.size()) return false;
  const char sep = text[pos];
  if (sep != '-' && sep != '/' && sep != '.') return false;
  ++pos;
  if (!Digits(text, pos, 2, mo) || !Expect(text, pos, sep) || !Digits(text, pos, 2, d)) return false;
  if (pos < text.size()) {
    if (text[pos] != ' ' && text[pos] != 'T') return false;
    ++pos;
    if (!Digits(text, pos, 2, h) || !Expect(text, pos, ':') || !Digits(text, pos, 2, mi) || !Expect(text, pos, ':') ||
        !Digits(text, pos, 2, s))
      return false;
    if (pos < text.size()) {
      // A fraction of a second does not change the order at second level.
      if (!Expect(text, pos, '.') || pos == text.size()) return false;
      for (; pos < text.size(); ++pos)
        if (text[pos] < '0' || text[pos] > '9') return false;
    }
  }
  if (mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, mo) || h > 23 || mi > 59 || s > 59) return false;
  seconds = DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
  return true;
}

bool LogRecordNotBefore(const LogRecordFields& record, int64_t since) {
  int64_t at = 0;
  return !ParseLogTime(record.time, at) || at >= since;
}
