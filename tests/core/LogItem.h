// A log record as the reader takes it from the log file.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "log/LogRecord.h"

inline LOGFILE_ITEM LogItem(uint32_t type, uint32_t action, std::string text) {
  LOGFILE_ITEM item;
  item.type = type;
  item.action = action;
  item.length = static_cast<uint32_t>(text.size());
  item.text = std::move(text);
  return item;
}
