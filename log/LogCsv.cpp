#include "log/LogCsv.h"

#include "log/LogText.h"

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string LogCsvHeader() { return std::string(kUtf8ByteOrderMark) + "time,type,process,action,result,object\r\n"; }

std::string TextToUtf8(std::string_view text, CodePageToUtf8 convert) {
  std::string out;
  if (convert && convert(text, out)) return out;
  out.clear();
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x80)
      out += c;
    else
      out += "\xEF\xBF\xBD";
  }
  return out;
}

std::string LogCsvLine(const LogRecordFields& record, CodePageToUtf8 convert) {
  const std::string fields[] = {record.time,   TypeName(record.type), record.process, LogActionText(record.action),
                                record.result, record.object};
  std::string line;
  for (const std::string& f : fields) {
    if (&f != fields) line += ',';
    line += CsvField(TextToUtf8(f, convert));
  }
  line += "\r\n";
  return line;
}
