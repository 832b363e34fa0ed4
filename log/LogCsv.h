// Log records as CSV (RFC 4180) for spreadsheet programs and log
// collectors: a header line `time,type,process,action,result,object`, one
// line per record, CR LF line ends, fields quoted when they hold a comma, a
// quote or a line break (quotes doubled). The texts of the log are in the
// system code page; the CSV is UTF-8 and begins with a byte order mark, so
// that spreadsheet programs read it right. The conversion is the caller's
// (on Windows through the ANSI code page), which keeps this Win32-free.
#pragma once

#include <string>
#include <string_view>

#include "log/LogFields.h"

// Converts a text of the system code page to UTF-8; false when it cannot.
using CodePageToUtf8 = bool (*)(std::string_view in, std::string& out);

inline constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

// One field, quoted when it has to be.
std::string CsvField(std::string_view text);

// The byte order mark and the header line.
std::string LogCsvHeader();

// One record's line (with its CR LF). type is the Log page's type text
// ("File System"), action its action words ("Read Modify"). Every text goes
// through convert; a text it refuses (or every text, when convert is null)
// keeps its ASCII bytes and gets U+FFFD for the others, so the line is
// always UTF-8.
std::string LogCsvLine(const LogRecordFields& record, CodePageToUtf8 convert);

// A text in UTF-8 through convert, or the fallback above.
std::string TextToUtf8(std::string_view text, CodePageToUtf8 convert);
