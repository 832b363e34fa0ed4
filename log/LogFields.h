// A log record taken apart into the fields that exports and the Log page's
// commands work with, and the reading of record times.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "log/LogRecord.h"

struct LogRecordFields {
  std::string time;     // the writer's time text
  std::string process;  // full path of the program that made the access
  std::string result;   // the word(s) before " : ", such as "Denied"
  // What the access was made on (the detail after " : "). A text that cannot
  // be split that far keeps its unsplit rest here, so that nothing is lost.
  std::string object;
  uint32_t type = 0;    // the record's type bits
  uint32_t action = 0;  // the record's action bits
  bool system = false;  // TYPE_SYSTEM: decided by a built-in system rule
};

// Splits the record as the Log page does (SplitLogText).
LogRecordFields SplitLogRecord(const LOGFILE_ITEM& item);

// True when the result is "Denied" (ignoring ASCII case).
bool IsDeniedResult(std::string_view result);

// Names as vkctl's rule JSON uses them, lower case and joined by commas,
// "" when no bit is set: "file", "registry", "net" for the type bits
// (TYPE_SYSTEM is a field of its own), "open", "modify", ... for the action
// bits.
std::string LogTypeWords(uint32_t type);
std::string LogActionWords(uint32_t action);
// The action as the Log page names it, without its prefix: "Read Modify".
std::string LogActionText(uint32_t action);

// The file name part of a process path ("WINWORD.EXE").
std::string_view ProcessFileName(std::string_view process);

// Reads "YYYY-MM-DD HH:MM:SS" (also with "/" or "." between the date's
// parts, a "T" before the time, a fraction of a second, or the date alone)
// into seconds counted from 1970-01-01, for comparing times. False when the
// text is not such a time or names no real date.
bool ParseLogTime(std::string_view text, int64_t& seconds);

// --since: true when the record is to be kept, that is its time is not
// earlier than since, or cannot be read.
bool LogRecordNotBefore(const LogRecordFields& record, int64_t since);
