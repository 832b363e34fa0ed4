#include "log/LogJson.h"

#include <nlohmann/json.hpp>

using Json = nlohmann::ordered_json;

std::string LogJsonLine(const LogRecordFields& record, CodePageToUtf8 convert) {
  Json line;
  line["time"] = TextToUtf8(record.time, convert);
  line["type"] = LogTypeWords(record.type);
  line["process"] = TextToUtf8(record.process, convert);
  line["action"] = LogActionWords(record.action);
  line["result"] = TextToUtf8(record.result, convert);
  line["object"] = TextToUtf8(record.object, convert);
  line["system"] = record.system;
  // A converter that hands back broken UTF-8 still gives a valid line.
  return line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}
