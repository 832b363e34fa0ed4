// Posts a menu command to a top-level window found by its title, as the
// window's own menus would send it (for runs under a display where the
// notification area cannot be clicked).
//   send_command <title> <command id>
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  HWND window = FindWindowA(nullptr, argv[1]);
  if (!window) return 1;
  return PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(std::atoi(argv[2])), 0) ? 0 : 1;
}
