// fault_hook.dll: a WH_GETMESSAGE hook that the crash tests set on the
// user-interface thread of the real program, where it runs the way code of
// other makers loaded into the program does (shell extensions, input
// methods). A "Varnokel.Test.Fault" message posted to that thread makes it
// fault there: wParam 1 with a fault that a system call handles itself
// (IsBadReadPtr), wParam 2 with one that nothing handles, in the program's
// own window procedure (a WM_NOTIFY whose record is not valid, as a bug
// would pass it). It notes each in "fault_hook.txt" beside the program.
#include <windows.h>

#include <cstring>

namespace {

volatile uintptr_t g_invalidAddress = 0x10;

void Note(const char* text) {
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH - 20);
  char* slash = strrchr(path, '\\');
  if (n == 0 || !slash) return;
  strcpy(slash + 1, "fault_hook.txt");
  HANDLE f = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(f, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
  CloseHandle(f);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK FaultHook(int code, WPARAM wp, LPARAM lp) {
  static const UINT fault = RegisterWindowMessageA("Varnokel.Test.Fault");
  auto* msg = reinterpret_cast<MSG*>(lp);
  if (code == HC_ACTION && wp == PM_REMOVE && msg && msg->message == fault) {
    const WPARAM kind = msg->wParam;
    const HWND target = msg->hwnd;
    msg->message = WM_NULL;
    if (kind == 1) {
      Note(IsBadReadPtr(reinterpret_cast<void*>(g_invalidAddress), 4) ? "handled\n" : "readable\n");
    } else if (kind == 2) {
      Note("unhandled\n");
      SendMessageA(target, WM_NOTIFY, 0, static_cast<LPARAM>(g_invalidAddress));
    }
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}
