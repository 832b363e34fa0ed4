// What the Files page needs beyond reading and writing the rule file: the
// file's bytes as they are on disk before an open touches them, the copy of
// a damaged file beside it, and the texts that tell the user about a rule
// file that could not be read or written.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The bytes of the file as they are now; empty (and true) when there is no
// file. false with error set when it exists but cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, DWORD& error);

// Where the copy of a damaged rule file goes: the rule file's path followed
// by ".damaged".
std::string DamagedCopyPath(const std::string& rulePath);

// Writes bytes as the damaged copy, replacing an older copy; false with
// error set when the copy could not be written completely.
bool SaveDamagedCopy(const std::string& rulePath, const std::vector<uint8_t>& bytes, DWORD& error);

// The system's text for an error number, without the line end ("Error N."
// when the system has none).
std::string SystemErrorText(DWORD error);

// Fills a format of the string table (a built-in text when the table lacks
// it): %1 and %2 with the strings, %n with the number.
std::string FillStringFormat(UINT id, const char* fallback, const std::string& a, const std::string& b,
                             unsigned long long n = 0);

// The user's messages, from the string table; reason says why (the
// system's text, or a shared object and what went wrong with it).
std::string RulesNotWrittenText(const std::string& rulePath, const std::string& reason);
std::string RulesNotReadText(const std::string& rulePath, const std::string& reason);
std::string RulesDamagedText(const std::string& rulePath, size_t rulesRead);
// A change that does not fit: the file is full with fileRules rules.
std::string RulesFullText(const std::string& rulePath, size_t fileRules);
// System rules that did not fit (leftOut of them); the file holds fileRules.
std::string SystemRulesLeftOutText(const std::string& rulePath, size_t leftOut, size_t fileRules);
// At the end of the program: rules that never got into the file. unread:
// the file could never be read (count = the rules added since the start);
// otherwise the last changes could not be written.
std::string RulesLostText(const std::string& rulePath, const std::string& reason, bool unread, size_t count);
