#include "framework/MessageFilter.h"

#include <initializer_list>

namespace {

constexpr UINT kCopyGlobalData = 0x0049;  // WM_COPYGLOBALDATA, not in the SDK headers
constexpr DWORD kAllow = 1;               // MSGFLT_ALLOW

ChangeMessageFilterFn SystemFunction() {
  static const ChangeMessageFilterFn fn = [] {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? reinterpret_cast<ChangeMessageFilterFn>(GetProcAddress(user32, "ChangeWindowMessageFilterEx"))
                  : nullptr;
  }();
  return fn;
}

ChangeMessageFilterFn g_override = nullptr;

}  // namespace

ChangeMessageFilterFn SetChangeMessageFilter(ChangeMessageFilterFn fn) {
  const ChangeMessageFilterFn previous = g_override;
  g_override = fn;
  return previous;
}

void AllowMessageFromLowerIntegrity(HWND window, UINT message) {
  const ChangeMessageFilterFn fn = g_override ? g_override : SystemFunction();
  // Without the function there is no filter to open (or one this program
  // cannot change): nothing to do.
  if (!window || !message || !fn) return;
  fn(window, message, kAllow, nullptr);
}

void AllowShellDrops(HWND window) {
  for (UINT message : {static_cast<UINT>(WM_DROPFILES), static_cast<UINT>(WM_COPYDATA), kCopyGlobalData})
    AllowMessageFromLowerIntegrity(window, message);
}
