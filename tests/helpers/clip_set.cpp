// Puts content on the clipboard from a process of its own, as another
// program would, for the clipboard guard's tests.
//   clip_set text <text>              plain text
//   clip_set files <path>...          a file-drop list
//   clip_set both <text> <path>...    a file-drop list and a text together
//   clip_set print                    writes the clipboard's text to stdout
//   clip_set hold <ms>                keeps the clipboard open for ms
//                                     milliseconds without changing it
// Exit code 0 when the content was placed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "settings/DropFiles.h"

namespace {

HGLOBAL Block(const void* data, size_t size) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!h) return nullptr;
  std::memcpy(GlobalLock(h), data, size);
  GlobalUnlock(h);
  return h;
}

bool Open() {
  // The guard may be reading the previous content; wait for it a little.
  for (int i = 0; i < 100; ++i) {
    if (OpenClipboard(nullptr)) return true;
    Sleep(20);
  }
  return false;
}

bool Put(const std::string* text, const std::vector<std::string>& files) {
  if (!Open()) return false;
  EmptyClipboard();
  bool ok = true;
  if (!files.empty()) {
    const std::vector<uint8_t> drop = BuildDropFiles(files);
    ok = SetClipboardData(CF_HDROP, Block(drop.data(), drop.size())) != nullptr;
  }
  if (text) ok = SetClipboardData(CF_TEXT, Block(text->c_str(), text->size() + 1)) != nullptr && ok;
  CloseClipboard();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "print") {
    if (!Open()) return 1;
    if (HANDLE h = GetClipboardData(CF_TEXT)) {
      if (const char* p = static_cast<const char*>(GlobalLock(h))) {
        std::fwrite(p, 1, strnlen(p, GlobalSize(h)), stdout);
        GlobalUnlock(h);
      }
    }
    CloseClipboard();
    return 0;
  }
  if (argc < 3) return 2;
  const std::string mode = argv[1];
  if (mode == "text") {
    const std::string text = argv[2];
    return Put(&text, {}) ? 0 : 1;
  }
  if (mode == "files") return Put(nullptr, std::vector<std::string>(argv + 2, argv + argc)) ? 0 : 1;
  if (mode == "both" && argc >= 4) {
    const std::string text = argv[2];
    return Put(&text, std::vector<std::string>(argv + 3, argv + argc)) ? 0 : 1;
  }
  if (mode == "hold") {
    if (!Open()) return 1;
    Sleep(static_cast<DWORD>(std::atoi(argv[2])));
    CloseClipboard();
    return 0;
  }
  return 2;
}
