// The Advanced menu's "Add Custom Rule" and "Add Registry Rule": a warning,
// the Rule Edit dialog in the matching mode, and the composed request sent
// to the Files page (a second time with the short form of the source).
#pragma once

#include <windows.h>

// mode: 1 = custom file rule, 2 = registry rule.
void AddCustomRule(HWND mainWindow, HWND filePage, int mode);
