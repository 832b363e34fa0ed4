// Helpers shared by the Options page and clipboard guard tests.
#pragma once

#include <windows.h>

#include "resource.h"

// Types into the keyword box as a user does: a multi-line box reports a
// change for typing (EM_REPLACESEL), not for WM_SETTEXT.
inline void TypeKeywords(HWND page, const char* text) {
  HWND box = GetDlgItem(page, IDC_OPT_KEYWORDS);
  SendMessageA(box, EM_SETSEL, 0, -1);
  SendMessageA(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
}
