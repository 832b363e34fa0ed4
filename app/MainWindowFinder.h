// How other processes find the running program's main window: a second
// start handing over, engine-sim's reload and vkctl's reload request. The
// main window carries a window property of its own; its message boxes and
// any other dialog that happens to have the same title do not.
#pragma once

#include <windows.h>

#include <string>

// Marks window as the main window (at its creation) and takes the mark
// away again (at its destruction).
void MarkMainWindow(HWND window);
void UnmarkMainWindow(HWND window);

// The top-level dialog with this title that carries the main window's
// mark; null when there is none.
HWND FindMainWindow(const std::string& title);
