// Text processing of the Log page and the plain-text copy of the log: names
// of the type and action bits, splitting a record text into its columns, the
// filter for the program's own records and the row colours.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "log/LogRecord.h"

// Background of the summary row of records that were not shown.
inline constexpr uint32_t LOG_SUMMARY_COLOUR = 0x5028C8;
inline constexpr uint32_t LOG_DEFAULT_ROW_COLOUR = 0xFFFFFF;
// Text of a new row until its time column is set.
inline constexpr char LOG_ROW_PLACEHOLDER[] = "Tirelmo";
// The program's own records: its path starts before this byte of the text.
inline constexpr size_t LOG_OWN_RECORD_LIMIT = 25;

// "File", "Registry", "Net", " System" for the set bits 0x01..0x08, joined
// without separator; "" for none.
std::string TypeName(uint32_t type);

// prefix followed by " Read", " Modify", " Run", " Copy", " Delete", " Find",
// " Print" for the set bits 0x01..0x40; with no bit set the prefix alone.
std::string ActionText(std::string_view prefix, uint32_t action);

// One line of the plain-text log: TypeName, ActionText(",", action), ",",
// the text (up to a NUL byte, if any) and "\n".
std::string TextLogLine(const LOGFILE_ITEM& item);

// The columns of a record text: "time,process,prefix : detail".
struct LogTextParts {
  std::string time;          // column 0
  std::string process;       // column 2
  std::string actionPrefix;  // the words that ActionText extends (column 3)
  std::string detail;        // column 4
  // How far the split got: 0 no comma (the row keeps the placeholder),
  // 1 time only (no second comma), 2 time and process (no " : "), 3 all.
  int fields = 0;
};

// Splits a record text as the Log page shows it. The text is taken up to its
// first NUL byte and at most 779 bytes, like the page's text buffer.
LogTextParts SplitLogText(std::string_view text);

// True when the record is the program's own: ownerPathLower is not empty and
// its first occurrence in the lower-cased text starts before byte 25.
// Lower-cases ASCII letters only.
bool IsOwnRecord(std::string_view text, std::string_view ownerPathLower);
// The same with the letter rules of the caller's choice (the system code
// page's on Windows: the program path may hold other letters). lower
// changes length bytes in place.
using LowerCaseFn = void (*)(char* text, size_t length);
bool IsOwnRecord(std::string_view text, std::string_view ownerPathLower, LowerCaseFn lower);

// Row background for a record's action bits: Modify -> clrWrite, else Run ->
// clrRun, else Read -> clrRead, else white.
uint32_t LogRowColour(uint32_t action, uint32_t clrRun, uint32_t clrRead, uint32_t clrWrite);

// What a double click selects in the Explorer for a detail text: the part
// before the first " -", or the whole detail.
std::string ExplorerSelectPath(std::string_view detail);
