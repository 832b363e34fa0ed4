// The system's open-file dialog for existing files.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Shows the dialog with a filter ("Name\0pattern\0\0"); fills paths with the
// full path of every chosen file in the dialog's order. False when the user
// cancelled (paths unchanged).
bool PickFiles(HWND owner, const char* filter, bool multiple, std::vector<std::string>& paths);

// Splits the dialog's result buffer: one full path, or a directory followed
// by file names, each ended by a NUL and the list by a second NUL.
std::vector<std::string> SplitPickedFiles(const char* buffer);
