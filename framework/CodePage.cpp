#include "framework/CodePage.h"

#include <windows.h>

namespace {

// From one code page to another through UTF-16; exact: false when the
// target has no form of a character.
bool Convert(UINT from, DWORD fromFlags, UINT to, DWORD toFlags, bool exact, std::string_view in, std::string& out) {
  if (in.empty()) {
    out.clear();
    return true;
  }
  const int size = static_cast<int>(in.size());
  const int wn = MultiByteToWideChar(from, fromFlags, in.data(), size, nullptr, 0);
  if (wn <= 0) return false;
  std::wstring wide(static_cast<size_t>(wn), L'\0');
  MultiByteToWideChar(from, fromFlags, in.data(), size, wide.data(), wn);
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(to, toFlags, wide.data(), wn, nullptr, 0, nullptr, exact ? &usedDefault : nullptr);
  if (n <= 0 || usedDefault) return false;
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(to, toFlags, wide.data(), wn, text.data(), n, nullptr, nullptr);
  out = std::move(text);
  return true;
}

}  // namespace

bool AnsiToUtf8(std::string_view in, std::string& out) { return Convert(CP_ACP, 0, CP_UTF8, 0, false, in, out); }

bool Utf8ToAnsi(std::string_view in, std::string& out) {
  return Convert(CP_UTF8, MB_ERR_INVALID_CHARS, CP_ACP, WC_NO_BEST_FIT_CHARS, true, in, out);
}
