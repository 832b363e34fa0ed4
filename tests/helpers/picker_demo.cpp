// Shows colour picker buttons in their looks (colour field, text mode with
// palette names and with values, disabled) for screenshots of the control.
//   picker_demo [--open N] [--at X Y]
//     N: the button whose palette opens at once; X Y: the window's position
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>

#include "framework/Module.h"
#include "ui/colour/ColourPickerXP.h"

namespace {

CColourPickerXP g_buttons[5];

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) PostQuitMessage(0);
  if (msg == WM_DRAWITEM || msg == WM_COMMAND) {
    // The buttons draw and open themselves; a bare window reflects for them.
    HWND child = msg == WM_DRAWITEM ? reinterpret_cast<DRAWITEMSTRUCT*>(lp)->hwndItem : reinterpret_cast<HWND>(lp);
    for (auto& b : g_buttons)
      if (b.m_hWnd == child && child) {
        if (msg == WM_DRAWITEM) {
          auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
          b.DrawItem(dis->hDC, dis->rcItem, dis->itemState);
          return TRUE;
        }
        if (HIWORD(wp) == BN_CLICKED) b.DropDown();
        return 0;
      }
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int main(int argc, char** argv) {
  SetAppInstance(GetModuleHandleA(nullptr));
  InitCommonControls();
  int open = -1, x = 60, y = 60;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--open") == 0) open = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--at") == 0 && i + 2 < argc) {
      x = std::atoi(argv[i + 1]);
      y = std::atoi(argv[i + 2]);
    }
  }

  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = "PickerDemo";
  RegisterClassA(&wc);
  HWND top = CreateWindowExA(0, "PickerDemo", "Colour pickers", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, 460, 260,
                             nullptr, nullptr, wc.hInstance, nullptr);
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  struct Def {
    int x, y, w;
    COLORREF colour;
    bool text, addName, enabled;
    const char* label;
  } defs[5] = {
      {20, 20, 80, RGB(255, 104, 32), false, false, true, "Colour field"},
      {20, 60, 200, RGB(60, 179, 113), true, false, true, "Text mode, palette name"},
      {20, 100, 200, RGB(12, 34, 200), true, false, true, "Text mode, values"},
      {20, 140, 200, RGB(255, 0, 0), true, true, true, "Text mode, name and values"},
      {20, 180, 200, CLR_AUTOMATIC, true, false, false, "Text mode, automatic, disabled"},
  };
  for (int i = 0; i < 5; ++i) {
    HWND b = CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, defs[i].x, defs[i].y,
                             defs[i].w, 24, top, reinterpret_cast<HMENU>(static_cast<INT_PTR>(100 + i)), wc.hInstance,
                             nullptr);
    SendMessageA(b, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    g_buttons[i].Attach(b);
    g_buttons[i].SetColour(defs[i].colour);
    g_buttons[i].SetFollowMouse(true);
    g_buttons[i].SetAddColourName(defs[i].addName);
    if (defs[i].text) g_buttons[i].SetShowText(true);
    EnableWindow(b, defs[i].enabled);
    HWND label = CreateWindowExA(0, "STATIC", defs[i].label, WS_CHILD | WS_VISIBLE, defs[i].x + defs[i].w + 12,
                                 defs[i].y + 4, 200, 18, top, nullptr, wc.hInstance, nullptr);
    SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  SetFocus(g_buttons[1].m_hWnd);
  if (open >= 0 && open < 5)
    PostMessageA(top, WM_COMMAND, MAKEWPARAM(100 + open, BN_CLICKED), reinterpret_cast<LPARAM>(g_buttons[open].m_hWnd));
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(top, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
