// The program's private window messages.
#pragma once

#include <windows.h>

// To the Files page: wParam = RULE_REQUEST* (null: reload), lParam 0.
constexpr UINT WM_RULE_REQUEST = WM_USER + 4097;
// The tray icon's callback: wParam = icon identifier, lParam = mouse message.
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 4098;
// To the main window: wParam 0 = come forward (a second start), other =
// reload the rules from the file.
constexpr UINT WM_QX5_ACTIVATE = WM_USER + 4099;
// WM_QX5_ACTIVATE's answers to a reload (wParam other than 0): the Files
// page has read the rules and shows them, or it was busy (a dialog or a
// pass was open) and reads them when that ends. An older front end answers 0.
constexpr LRESULT kReloadDone = 1;
constexpr LRESULT kReloadQueued = 2;
