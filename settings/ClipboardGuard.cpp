#include "settings/ClipboardGuard.h"

#include <shellapi.h>

#include <cstring>
#include <vector>

#include "framework/MessageFilter.h"
#include "framework/Module.h"
#include "resource.h"
#include "rules/NoCopyPaths.h"
#include "settings/DropFiles.h"
#include "settings/Keywords.h"
#include "settings/Settings.h"

namespace {

// Holds a global memory block locked while it lives.
class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HANDLE h) : h_(h), p_(h ? GlobalLock(h) : nullptr), size_(p_ ? GlobalSize(h) : 0) {}
  ~GlobalLockGuard() {
    if (p_) GlobalUnlock(h_);
  }
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
  const uint8_t* Data() const { return static_cast<const uint8_t*>(p_); }
  size_t Size() const { return size_; }

 private:
  HANDLE h_;
  void* p_;
  size_t size_;
};

std::string TrimEnd(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n' || s.back() == '\t')) s.pop_back();
  return s;
}

std::vector<std::string> DroppedPaths(HANDLE drop) {
  GlobalLockGuard lock(drop);
  DropFileList list;
  if (!lock.Data() || !ParseDropFiles(lock.Data(), lock.Size(), list)) return {};
  if (!list.wide) return list.names;
  std::vector<std::string> paths;
  for (const auto& w : list.wideNames) {
    const auto* wide = reinterpret_cast<const wchar_t*>(w.c_str());
    const int n = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) continue;
    std::string path(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(w.size()), path.data(), n, nullptr, nullptr);
    paths.push_back(std::move(path));
  }
  return paths;
}

// The notice goes only into a file of its own that does not exist yet. A
// "<file>.txt" that exists is left alone, whatever it is: the user's own
// document, a link or reparse point planted there to make this program
// (with its administrator rights) write elsewhere, or the notice of an
// earlier copy, which already says what a new one would. The reparse point
// flag keeps the system from following a link at that name, a dangling one
// included; creating anew fails on it as on any existing name.
void WriteNotice(const std::string& path, const std::string& notice, int& written) {
  HANDLE f = CreateFileA((path + ".txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD done = 0;
  if (WriteFile(f, notice.data(), static_cast<DWORD>(notice.size()), &done, nullptr) && done == notice.size())
    ++written;
  CloseHandle(f);
}

}  // namespace

void CClipboardGuard::Join(HWND window) {
  if (!window || window_) return;
  window_ = window;
  // The viewer before this one in the chain may run with less rights than
  // this program; Windows lets the chain's two messages through from it
  // anyway, and saying so here keeps the chain whole should it not.
  AllowMessageFromLowerIntegrity(window, WM_DRAWCLIPBOARD);
  AllowMessageFromLowerIntegrity(window, WM_CHANGECBCHAIN);
  // The system sends a first WM_DRAWCLIPBOARD from inside this call, so
  // the content already on the clipboard is looked at too; nextViewer is
  // not known yet then, and the viewers behind have seen that content.
  HWND next = SetClipboardViewer(window);
  nextViewer = next == window ? nullptr : next;
}

void CClipboardGuard::Leave() {
  if (!window_) return;
  KillTimer(window_, kRetryTimer);
  ChangeClipboardChain(window_, nextViewer);
  window_ = nullptr;
  nextViewer = nullptr;
}

void CClipboardGuard::PassOn(UINT msg, WPARAM wp, LPARAM lp) const {
  // A window that has gone, or this window itself, gets nothing; one that
  // hangs does not hang the guard.
  if (!nextViewer || nextViewer == window_ || !IsWindow(nextViewer)) return;
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(nextViewer, msg, wp, lp, SMTO_NORMAL | SMTO_ABORTIFHUNG, 2000, &ignored);
}

bool CClipboardGuard::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_DRAWCLIPBOARD:
      if (window_) {
        retriesLeft_ = 0;
        KillTimer(window_, kRetryTimer);
        if (!Check()) {
          retriesLeft_ = kRetryCount;
          SetTimer(window_, kRetryTimer, kRetryInterval, nullptr);
        }
      }
      PassOn(msg, wp, lp);
      result = 0;
      return true;
    case WM_CHANGECBCHAIN: {
      HWND removed = reinterpret_cast<HWND>(wp), successor = reinterpret_cast<HWND>(lp);
      if (removed == nextViewer)
        nextViewer = successor == window_ ? nullptr : successor;
      else
        PassOn(msg, wp, lp);
      result = 0;
      return true;
    }
    case WM_TIMER:
      if (wp != kRetryTimer || !window_) return false;
      if (Check() || --retriesLeft_ <= 0) {
        retriesLeft_ = 0;
        KillTimer(window_, kRetryTimer);
      }
      result = 0;
      return true;
    default: return false;
  }
}

bool CClipboardGuard::Check() {
  if (!OpenClipboard(window_)) return false;
  std::vector<std::string> protectedFiles;
  if (HANDLE drop = IsClipboardFormatAvailable(CF_HDROP) ? GetClipboardData(CF_HDROP) : nullptr) {
    // Copied files: the whole path of each against every protected path.
    // A text copied together with them is not examined.
    for (const auto& path : DroppedPaths(drop))
      if (NoCopyPaths::Contains(path)) protectedFiles.push_back(path);
  } else if (IsClipboardFormatAvailable(CF_TEXT)) {
    text_.clear();
    if (HANDLE h = GetClipboardData(CF_TEXT)) {
      GlobalLockGuard lock(h);
      if (lock.Data()) {
        const char* p = reinterpret_cast<const char*>(lock.Data());
        text_.assign(p, strnlen(p, lock.Size()));
      }
    }
    const std::string notice = LoadStr(IDS_NOTICE_TEXT);
    // The notice itself (this guard's replacement, or anybody's copy of
    // it) is left alone: replacing it would only put it there again.
    if (TrimEnd(text_) != notice && KeywordsMatch(text_, regStrNoCpyText)) ReplaceText();
  }
  CloseClipboard();
  // Files are written with the clipboard closed again, so that a slow disk
  // does not keep other programs from it.
  if (!protectedFiles.empty()) {
    const std::string notice = LoadStr(IDS_NOTICE_FILE);
    for (const auto& path : protectedFiles) WriteNotice(path, notice, noticeFiles_);
  }
  ++checks_;
  return true;
}

void CClipboardGuard::ReplaceText() {
  const std::string notice = LoadStr(IDS_NOTICE_TEXT);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, notice.size() + 1);
  if (!block) return;
  if (void* p = GlobalLock(block)) {
    std::memcpy(p, notice.c_str(), notice.size() + 1);
    GlobalUnlock(block);
  }
  if (!EmptyClipboard() || !SetClipboardData(CF_TEXT, block)) {
    GlobalFree(block);
    return;
  }
  ++replacements_;
}
