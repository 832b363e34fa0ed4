// Presses Ctrl+C on the console of another process: ctrl_c <process id>.
// A program can send console events only to its own console, so a test
// lets this helper join the target's console instead of giving up its own
// (a test program that has left its console would give every console
// program it starts afterwards a console of its own).
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const DWORD id = strtoul(argv[1], nullptr, 10);
  FreeConsole();
  if (!AttachConsole(id)) return 3;
  SetConsoleCtrlHandler(nullptr, TRUE);  // the helper itself ignores it
  return GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) ? 0 : 4;
}
