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

// The user's messages, from the string table.
std::string RulesNotWrittenText(const std::string& rulePath, DWORD error);
std::string RulesNotReadText(const std::string& rulePath, DWORD error);
std::string RulesDamagedText(const std::string& rulePath, size_t rulesRead);
