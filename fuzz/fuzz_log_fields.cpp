// Takes arbitrary record texts apart into fields, reads their times (the
// --since argument goes through the same reader) and writes them as CSV and
// JSON Lines; checks that a CSV field reads back as its text and that the
// JSON line is one valid object.
#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "log/LogCsv.h"
#include "log/LogFields.h"
#include "log/LogJson.h"

namespace {

// Reads one RFC 4180 field back.
std::string UnquoteCsv(std::string_view field) {
  if (field.empty() || field.front() != '"') return std::string(field);
  Check(field.size() >= 2 && field.back() == '"');
  std::string text;
  for (size_t i = 1; i + 1 < field.size(); ++i) {
    text += field[i];
    if (field[i] == '"') {
      Check(field[i + 1] == '"');
      ++i;
    }
  }
  return text;
}

// Latin-1 as the "code page": every byte converts.
bool Latin1(std::string_view in, std::string& out) {
  out.clear();
  for (char c : in) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  LOGFILE_ITEM item;
  item.type = data[0] & 0x0F;
  item.action = data[1] & 0x7F;
  item.text.assign(reinterpret_cast<const char*>(data + 2), size - 2);
  item.length = static_cast<uint32_t>(item.text.size());

  const LogRecordFields f = SplitLogRecord(item);
  int64_t seconds = 0;
  if (ParseLogTime(f.time, seconds)) Check(LogRecordNotBefore(f, seconds) && !LogRecordNotBefore(f, seconds + 1));
  ParseLogTime(item.text, seconds);

  const std::string field = CsvField(item.text);
  Check(UnquoteCsv(field) == item.text);
  const std::string line = LogCsvLine(f, (data[0] & 0x80) ? &Latin1 : nullptr);
  Check(line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0);

  const std::string json = LogJsonLine(f, (data[0] & 0x80) ? &Latin1 : nullptr);
  Check(!json.empty() && json.back() == '\n' && json.find('\n') == json.size() - 1);
  const auto parsed = nlohmann::json::parse(json, nullptr, false);
  Check(parsed.is_object() && parsed.size() == 7 && parsed["system"].is_boolean());
  return 0;
}
