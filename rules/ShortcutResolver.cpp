#include "rules/ShortcutResolver.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdlib>
#include <cstring>
#include <exception>

#include "framework/Trace.h"

namespace {

constexpr size_t kPathSize = 260;

// Converts the ANSI path to wide characters, either through the system in
// the ANSI code page or through the C runtime's multibyte conversion.
bool Widen(const char* path, wchar_t (&wide)[kPathSize], bool useRuntime) {
  wide[0] = L'\0';
  if (useRuntime) {
    size_t n = mbstowcs(wide, path, kPathSize - 1);
    if (n == static_cast<size_t>(-1)) return false;
    wide[n < kPathSize ? n : kPathSize - 1] = L'\0';
    return true;
  }
  return MultiByteToWideChar(CP_ACP, 0, path, -1, wide, static_cast<int>(kPathSize)) > 0;
}

// Loads the shortcut and asks for its target. Returns false when the
// attempt itself broke down (conversion failed, an exception was raised);
// a file that is simply not a shortcut is a successful attempt that leaves
// target empty.
bool QueryTarget(const char* path, char (&target)[kPathSize], bool useRuntime) {
  target[0] = '\0';
  wchar_t wide[kPathSize];
  if (!Widen(path, wide, useRuntime)) return false;

  IShellLinkA* link = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link));
  if (FAILED(hr) || !link) return true;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) && file) {
    if (SUCCEEDED(file->Load(wide, STGM_READ))) {
      char buffer[kPathSize] = {};
      if (SUCCEEDED(link->GetPath(buffer, static_cast<int>(kPathSize), nullptr, SLGP_UNCPRIORITY))) {
        buffer[kPathSize - 1] = '\0';
        memcpy(target, buffer, kPathSize);
      }
    }
    file->Release();
  }
  link->Release();
  return true;
}

// COM for the calling thread, when nobody has started it there yet.
class ComScope {
 public:
  ComScope() : started_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComScope() {
    if (started_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool started_;
};

}  // namespace

void ResolveShortcut(char path[260]) {
  if (!path || !path[0]) return;
  char saved[kPathSize];
  memcpy(saved, path, kPathSize);
  saved[kPathSize - 1] = '\0';

  ComScope com;
  for (bool useRuntime : {false, true}) {
    char target[kPathSize];
    bool ok = false;
    try {
      ok = QueryTarget(saved, target, useRuntime);
    } catch (const std::exception& e) {
      Trace(std::string("ResolveShortcut:") + e.what() + "\n");
    } catch (...) {
      Trace("ResolveShortcut:unknown exception\n");
    }
    if (!ok) continue;  // the path stays as it was; try the other conversion
    if (target[0]) memcpy(path, target, kPathSize);
    return;
  }
  memcpy(path, saved, kPathSize);
}
