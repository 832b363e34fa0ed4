// Process-wide facts: the module whose resources the program uses, the
// string table, the program's own path and the system directories.
#pragma once

#include <windows.h>

#include <string>

HINSTANCE AppInstance();
void SetAppInstance(HINSTANCE instance);

// A string of the string table; empty when the number is unknown.
std::string LoadStr(UINT id);

// Full path of the program file.
std::string ModulePath();
// The program file's name without its extension ("Varnokel"): the caption of
// the program's message boxes.
std::string AppName();
// The directory of the program file, without a trailing backslash.
std::string ModuleDir();

// True on Windows versions before XP (5.1), which lack flat menus and themes.
bool WindowsOlderThanXp();

std::string SystemDir();
std::string WindowsDir();

// A message box with the application name as caption.
int AppMessageBox(HWND owner, const std::string& text, UINT style);
