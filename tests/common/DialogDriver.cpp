#include "common/DialogDriver.h"

#include <algorithm>

namespace testsupport {
namespace {
DialogDriver* g_driver = nullptr;
}

DialogDriver::DialogDriver() {
  g_driver = this;
  timer_ = SetTimer(nullptr, 0, 20, &DialogDriver::OnTimer);
}

DialogDriver::~DialogDriver() {
  KillTimer(nullptr, timer_);
  g_driver = nullptr;
}

void DialogDriver::On(const std::string& title, std::function<void(HWND)> action) {
  handlers_.push_back({title, std::move(action)});
}

void CALLBACK DialogDriver::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (g_driver) g_driver->Poll();
}

void DialogDriver::Poll() {
  std::vector<HWND> windows;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM lp) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  for (HWND hwnd : windows) {
    if (std::find(seen_.begin(), seen_.end(), hwnd) != seen_.end()) continue;
    char title[256] = {};
    GetWindowTextA(hwnd, title, sizeof title);
    for (const auto& h : handlers_) {
      if (h.title != title) continue;
      seen_.push_back(hwnd);
      h.action(hwnd);
      break;
    }
  }
}

std::string DialogDriver::MessageBoxText(HWND box) {
  char text[2048] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  return text;
}

void DialogDriver::Answer(HWND box, int buttonId) {
  texts_.push_back(MessageBoxText(box));
  Click(box, buttonId);
}

void DialogDriver::SetItemText(HWND dlg, int id, const std::string& text) { SetDlgItemTextA(dlg, id, text.c_str()); }

void DialogDriver::Click(HWND dlg, int id) {
  PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

}  // namespace testsupport
