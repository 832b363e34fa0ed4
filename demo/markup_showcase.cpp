// Shows the mark-up showcase page in a mark-up static: every tag of the
// vocabulary, a table, links and images from the program's resources.
// A demonstration, not part of the program's menus.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "demo/MarkupShowcase.h"
#include "framework/Module.h"
#include "ui/markup/MarkupStatic.h"

namespace {

constexpr UINT kLinkMessage = WM_APP + 1;
MarkupStatic g_page;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kLinkMessage: MessageBoxA(hwnd, reinterpret_cast<const char*>(wp), "Link message", MB_OK); return 0;
    case WM_SIZE:
      if (g_page.m_hWnd) MoveWindow(g_page.m_hWnd, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
      return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcA(hwnd, msg, wp, lp);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  SetAppInstance(instance);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSA wc{};
  wc.lpfnWndProc = &Proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = "VarnokelMarkupShowcase";
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowA(wc.lpszClassName, "Mark-up showcase", WS_OVERLAPPEDWINDOW, 20, 20, 820, 720, nullptr,
                            nullptr, instance, nullptr);
  RECT rc{};
  GetClientRect(hwnd, &rc);
  HWND page = CreateWindowA("STATIC", "", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, 0, rc.right, rc.bottom, hwnd, nullptr,
                            instance, nullptr);
  g_page.AttachStatic(page);
  g_page.SetMargins(10, 8);
  g_page.SetTextColour(MarkupStatic::kNoTextColour);
  g_page.SetBackgroundColours(RGB(255, 255, 255), RGB(245, 248, 255), RGB(225, 235, 250));
  g_page.SetBackgroundEffect(2, 4);  // a soft vertical gradient
  g_page.SetAnimationInterval(300);  // the animated image list
  g_page.Drawer().AddStyleSheet(".warn {color:#c00000; font-weight:bold; text-decoration:underline}");
  g_page.Drawer().SetLinkNotify(hwnd, kLinkMessage, 0);
  g_page.SetText(kMarkupShowcase);
  ShowWindow(hwnd, show ? show : SW_SHOW);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  g_page.Detach();
  return 0;
}
