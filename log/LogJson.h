// Log records as JSON Lines for log collectors: one object per record,
//   {"time": "...", "type": "file", "process": "...", "action": "open",
//    "result": "Denied", "object": "...", "system": false}
// with the names of vkctl's rule JSON for type and action (see
// LogTypeWords, LogActionWords). Strings are UTF-8 (see TextToUtf8).
// Win32-free; the JSON library stays behind this header.
#pragma once

#include <string>

#include "log/LogCsv.h"
#include "log/LogFields.h"

// One record's line, ending in "\n".
std::string LogJsonLine(const LogRecordFields& record, CodePageToUtf8 convert);
