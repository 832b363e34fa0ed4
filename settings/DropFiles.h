// The file-drop list that the clipboard carries for copied files (a
// DROPFILES block: a 20-byte header whose first word is the offset of the
// names and whose fifth word says whether they are UTF-16, then the names,
// each ending in a NUL, the list ending in an empty name). Another program
// wrote the bytes, so the reader trusts no offset or terminator in them.
// Free of <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DropFileList {
  bool wide = false;
  std::vector<std::string> names;         // ANSI names (wide == false)
  std::vector<std::u16string> wideNames;  // UTF-16 names (wide == true)
};

constexpr size_t kDropFilesHeaderLength = 20;

// Reads the names of a block of size bytes. False when the header is short
// or the names' offset lies outside the block. A name that the block ends
// inside is dropped; so is everything after the first empty name.
bool ParseDropFiles(const uint8_t* data, size_t size, DropFileList& out);

// A block holding the names, for the programs and tests that put files on
// the clipboard.
std::vector<uint8_t> BuildDropFiles(const std::vector<std::string>& names);
