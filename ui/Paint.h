// Small painting helpers shared by the owner-drawn controls.
#pragma once

#include <windows.h>

// Fills rc with a two-colour gradient, top to bottom or left to right.
void FillGradient(HDC dc, const RECT& rc, COLORREF from, COLORREF to, bool vertical);

// a mixed with b: percentOfB = 0 gives a, 100 gives b.
COLORREF MixColour(COLORREF a, COLORREF b, int percentOfB);
