// Checks an installed copy of the program from inside Windows, for the
// installer test (tools/package-test.sh).
//   install_probe shortcut LNK
//       Prints the shortcut's target and working directory, one per line.
//   install_probe run EXE SECONDS
//       Starts EXE, waits at most SECONDS for its visible main window,
//       prints the window's title and the path the window's process was
//       started from, then ends the program through its Exit command (as the
//       tray menu does) and waits for it to end.
// Exit codes: 0 done; 1 failed (the reason is printed); 2 bad command line.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "res/resource.h"

namespace {

int Fail(const char* what, DWORD error = GetLastError()) {
  printf("install_probe: %s (error %lu)\n", what, error);
  return 1;
}

int Shortcut(const char* lnk) {
  if (FAILED(CoInitialize(nullptr))) return Fail("CoInitialize failed");
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  char target[MAX_PATH] = {}, dir[MAX_PATH] = {};
  wchar_t wide[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, lnk, -1, wide, MAX_PATH);
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link));
  if (SUCCEEDED(hr)) hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(hr)) hr = file->Load(wide, STGM_READ);
  if (SUCCEEDED(hr)) hr = link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
  if (SUCCEEDED(hr)) hr = link->GetWorkingDirectory(dir, MAX_PATH);
  if (file) file->Release();
  if (link) link->Release();
  CoUninitialize();
  if (FAILED(hr)) return Fail("cannot read the shortcut", static_cast<DWORD>(hr));
  printf("%s\n%s\n", target, dir);
  return 0;
}

struct Search {
  DWORD pid;
  HWND found;
};

// The program's main window: a visible top-level dialog of that process.
HWND FindMainWindow(DWORD pid) {
  Search s{pid, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        char cls[64] = {};
        GetClassNameA(hwnd, cls, sizeof cls);
        if (owner == s->pid && IsWindowVisible(hwnd) && GetWindow(hwnd, GW_OWNER) == nullptr &&
            strcmp(cls, "#32770") == 0 && GetMenu(hwnd) != nullptr) {
          s->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&s));
  return s.found;
}

int Run(const char* exe, int seconds) {
  std::string cmd = std::string("\"") + exe + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(exe, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return Fail("cannot start the program");
  CloseHandle(pi.hThread);
  HWND window = nullptr;
  const DWORD limit = static_cast<DWORD>(seconds) * 1000, start = GetTickCount();
  while (!(window = FindMainWindow(pi.dwProcessId))) {
    if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0) {
      CloseHandle(pi.hProcess);
      return Fail("the program ended without showing its window", 0);
    }
    if (GetTickCount() - start > limit) {
      TerminateProcess(pi.hProcess, 1);
      CloseHandle(pi.hProcess);
      return Fail("no window in time", 0);
    }
  }
  char title[256] = {}, image[MAX_PATH] = {};
  GetWindowTextA(window, title, sizeof title);
  DWORD size = MAX_PATH;
  if (!QueryFullProcessImageNameA(pi.hProcess, 0, image, &size)) image[0] = 0;
  printf("window: %s\nprocess: %s\n", title, image);
  fflush(stdout);

  PostMessageA(window, WM_COMMAND, ID_TRAY_EXIT, 0);
  if (WaitForSingleObject(pi.hProcess, limit) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    return Fail("the program did not end on its Exit command", 0);
  }
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  printf("ended: %lu\n", code);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "shortcut") == 0) return Shortcut(argv[2]);
  if (argc == 4 && strcmp(argv[1], "run") == 0) return Run(argv[2], atoi(argv[3]));
  fputs("usage: install_probe shortcut LNK | run EXE SECONDS\n", stderr);
  return 2;
}
