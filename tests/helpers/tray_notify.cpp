// Sends the tray icon's callback to the program's tray window, as the shell
// does (for runs under a display whose notification area does not report
// a click on a balloon).
//   tray_notify <notification>   e.g. 1029 (NIN_BALLOONUSERCLICK)
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  HWND tray = FindWindowA("VarnokelTrayWnd", nullptr);
  if (!tray) return 1;
  // The callback message WM_USER + 4098, wParam the icon's identifier 130.
  return PostMessageA(tray, WM_USER + 4098, 130, std::atoi(argv[1])) ? 0 : 1;
}
