#include "framework/FileDialog.h"

#include <commdlg.h>

#include <cstring>

std::vector<std::string> SplitPickedFiles(const char* buffer) {
  std::vector<std::string> paths;
  if (!buffer || !*buffer) return paths;
  const char* first = buffer;
  const char* next = first + std::strlen(first) + 1;
  if (*next == '\0') {
    paths.emplace_back(first);
    return paths;
  }
  std::string dir = first;
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  for (; *next; next += std::strlen(next) + 1) paths.push_back(dir + next);
  return paths;
}

bool PickFiles(HWND owner, const char* filter, bool multiple, std::vector<std::string>& paths) {
  // Room for a few thousand chosen names; the dialog reports when it runs out.
  std::vector<char> buffer(multiple ? 256 * 1024 : MAX_PATH, '\0');
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size() - 2);
  ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (multiple) ofn.Flags |= OFN_ALLOWMULTISELECT;
  if (!GetOpenFileNameA(&ofn)) return false;
  paths = SplitPickedFiles(buffer.data());
  return true;
}
