// engine-sim send: another program on the desktop that sends a registered
// window message with whatever parameters it likes, as any program can, or
// a WM_COPYDATA with a text of its choosing (wparam is then the data's
// number, dwData).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "enginesim/EngineSim.h"

namespace {

bool ParseWide(const std::string& text, unsigned long long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = strtoull(text.c_str(), &end, 0);
  return end && *end == '\0';
}

}  // namespace

int CommandSend(Args args) {
  std::string name, window, wparam = "0", lparam = "0", copyData;
  bool ok = true;
  const bool copy = TakeOption(args, "--copydata", copyData, ok);
  TakeOption(args, "--message", name, ok);
  TakeOption(args, "--window", window, ok);
  TakeOption(args, "--wparam", wparam, ok);
  TakeOption(args, "--lparam", lparam, ok);
  unsigned long long hwnd = 0, wp = 0, lp = 0;
  if (!ok || !args.empty() || copy == !name.empty() || !ParseWide(window, hwnd) || !ParseWide(wparam, wp) ||
      !ParseWide(lparam, lp))
    return kExitUsage;
  COPYDATASTRUCT data{static_cast<ULONG_PTR>(wp), static_cast<DWORD>(copyData.size() + 1), copyData.data()};
  const UINT msg = copy ? WM_COPYDATA : RegisterWindowMessageA(name.c_str());
  if (copy) {
    wp = 0;  // the sender's window, none here
    lp = reinterpret_cast<uintptr_t>(&data);
  }
  HWND target = reinterpret_cast<HWND>(static_cast<uintptr_t>(hwnd));
  if (!msg || !IsWindow(target)) {
    fprintf(stderr, "engine-sim: no window %s\n", window.c_str());
    return kExitNoFrontEnd;
  }
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(target, msg, static_cast<WPARAM>(wp), static_cast<LPARAM>(lp), SMTO_ABORTIFHUNG, 10000,
                           &answer)) {
    fprintf(stderr, "engine-sim: the window did not answer\n");
    return kExitNoFrontEnd;
  }
  printf("%llu\n", static_cast<unsigned long long>(answer));
  return kExitOk;
}
