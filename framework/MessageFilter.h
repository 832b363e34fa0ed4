// Which messages of programs of lower integrity reach a window. The program
// runs elevated (it asks for administrator rights), and Windows then drops
// most messages that programs of lower integrity send to its windows:
// Explorer's drops among them. Each window lets through exactly the
// messages it needs from them, and nothing else.
//
// ChangeWindowMessageFilterEx is looked up at run time: systems before
// Windows 7 lack it (and those before Vista have no such filter), and the
// program still runs there.
#pragma once

#include <windows.h>

// The messages a shell drop needs: WM_DROPFILES, and WM_COPYDATA and
// WM_COPYGLOBALDATA (0x0049), which carry the drop's data.
void AllowShellDrops(HWND window);
// One message, such as a registered one ("TaskbarCreated").
void AllowMessageFromLowerIntegrity(HWND window, UINT message);

// The function that changes the filter (MSGFLT_ALLOW is 1); tests watch the
// calls through it. The last parameter is a CHANGEFILTERSTRUCT*, null here.
using ChangeMessageFilterFn = BOOL(WINAPI*)(HWND window, UINT message, DWORD action, void* status);
// Replaces the system's function (null: the system's again); returns the
// one in use before.
ChangeMessageFilterFn SetChangeMessageFilter(ChangeMessageFilterFn fn);
