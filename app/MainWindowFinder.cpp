#include "app/MainWindowFinder.h"

#include <cstring>

namespace {

const char kMainWindowProperty[] = "Varnokel.MainWindow";

struct Search {
  const std::string* title;
  HWND found;
};

BOOL CALLBACK CheckWindow(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<Search*>(lp);
  char cls[16] = {}, text[256] = {};
  if (!GetClassNameA(hwnd, cls, sizeof cls) || strcmp(cls, "#32770") != 0) return TRUE;
  if (!GetPropA(hwnd, kMainWindowProperty)) return TRUE;
  GetWindowTextA(hwnd, text, sizeof text);
  if (*s->title != text) return TRUE;
  s->found = hwnd;
  return FALSE;
}

}  // namespace

void MarkMainWindow(HWND window) { SetPropA(window, kMainWindowProperty, reinterpret_cast<HANDLE>(1)); }

void UnmarkMainWindow(HWND window) { RemovePropA(window, kMainWindowProperty); }

HWND FindMainWindow(const std::string& title) {
  Search search{&title, nullptr};
  EnumWindows(CheckWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}
