// CClipboardGuard: the Options page's place in the clipboard viewer chain.
// On every new clipboard content it looks at what was copied: a file-drop
// list naming a copy-protected file (NoCopyPaths) gets a notice file
// "<path>.txt" beside that file (a file already there, a link among them,
// is never replaced or written through), and plain text that contains one of the
// no-copy keywords (regStrNoCpyText) is replaced by a notice.
//
// Its own notice is recognised by its text: clipboard text equal to the
// notice is never examined, so a keyword that occurs in the notice cannot
// make the guard replace its own replacement again and again.
//
// Every failure (a clipboard that stays busy, a notice file that cannot be
// written, a next viewer that has gone) ends the check silently.
#pragma once

#include <windows.h>

#include <string>

class CClipboardGuard {
 public:
  // The timer, on the guard's window, that looks again at a content that
  // came while another program held the clipboard open.
  static constexpr UINT_PTR kRetryTimer = 0x4344;
  static constexpr int kRetryCount = 20;
  static constexpr UINT kRetryInterval = 50;

  CClipboardGuard() = default;
  CClipboardGuard(const CClipboardGuard&) = delete;
  CClipboardGuard& operator=(const CClipboardGuard&) = delete;
  ~CClipboardGuard() { Leave(); }

  // Joins the chain with window; the window's clipboard messages must be
  // given to HandleMessage.
  void Join(HWND window);
  // Leaves the chain, naming nextViewer as the successor.
  void Leave();
  bool Joined() const { return window_ != nullptr; }

  // WM_DRAWCLIPBOARD, WM_CHANGECBCHAIN and the retry timer; true when the
  // message was one of them.
  bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

  // The next window in the chain; none before joining.
  HWND nextViewer = nullptr;

  // Counts of what the guard did, for tests and traces.
  int Checks() const { return checks_; }
  int Replacements() const { return replacements_; }
  int NoticeFiles() const { return noticeFiles_; }

 private:
  // Returns false when the clipboard could not be opened.
  bool Check();
  void PassOn(UINT msg, WPARAM wp, LPARAM lp) const;
  void ReplaceText();

  HWND window_ = nullptr;
  int retriesLeft_ = 0;
  int checks_ = 0;
  int replacements_ = 0;
  int noticeFiles_ = 0;
  std::string text_;  // the last text looked at
};
