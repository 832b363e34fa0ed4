#include "framework/Module.h"

namespace {
HINSTANCE g_instance = nullptr;
}

HINSTANCE AppInstance() { return g_instance ? g_instance : GetModuleHandleA(nullptr); }

void SetAppInstance(HINSTANCE instance) { g_instance = instance; }

std::string LoadStr(UINT id) {
  char buf[4096];
  int n = LoadStringA(AppInstance(), id, buf, sizeof buf);
  return n > 0 ? std::string(buf, n) : std::string();
}

std::string ModulePath() {
  char buf[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH - 1);
  return std::string(buf, n);
}

std::string AppName() {
  std::string path = ModulePath();
  size_t slash = path.find_last_of("\\/");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string ModuleDir() {
  std::string path = ModulePath();
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string SystemDir() {
  char buf[MAX_PATH] = {};
  UINT n = GetSystemDirectoryA(buf, MAX_PATH);
  return n < MAX_PATH ? std::string(buf, n) : std::string();
}

std::string WindowsDir() {
  char buf[MAX_PATH] = {};
  UINT n = GetWindowsDirectoryA(buf, MAX_PATH);
  return n < MAX_PATH ? std::string(buf, n) : std::string();
}

int AppMessageBox(HWND owner, const std::string& text, UINT style) {
  return MessageBoxA(owner, text.c_str(), AppName().c_str(), style);
}

bool WindowsOlderThanXp() {
  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&v)) return false;
#pragma GCC diagnostic pop
  return v.dwMajorVersion < 5 || (v.dwMajorVersion == 5 && v.dwMinorVersion < 1);
}
