// CWindow: a window handle with an optional C++ window procedure.
//
// Attach() subclasses an existing window so that its messages reach the
// virtual WindowProc; Default() passes the current message on to the
// procedure that was there before. The object never owns the window: it is
// detached when the window is destroyed or when the object goes away.
//
// The subclass is a window procedure of our own, and the windows are found
// in a table of this process: a subclass kept in a window property (as the
// common controls' SetWindowSubclass keeps it) costs a round trip to the
// window server for every message under Wine, two per message with
// DefSubclassProc, which made every list row and every paint slow.
//
// Notifications that controls send to their parent (WM_NOTIFY, WM_DRAWITEM,
// WM_MEASUREITEM, WM_CTLCOLOR*, WM_COMMAND) are first offered to the
// attached C++ object of the control itself (OnReflectedMessage), so that a
// control class can draw and handle itself wherever it is placed.
#pragma once

#include <windows.h>

#include <string>

class CWindow {
 public:
  CWindow() = default;
  CWindow(const CWindow&) = delete;
  CWindow& operator=(const CWindow&) = delete;
  virtual ~CWindow();

  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }

  bool Attach(HWND hwnd);
  void Detach();
  static CWindow* FromHandle(HWND hwnd);

  LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return SendMessageA(m_hWnd, msg, wp, lp); }
  BOOL Post(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return PostMessageA(m_hWnd, msg, wp, lp); }
  std::string GetText() const;
  void SetText(const std::string& text) const { SetWindowTextA(m_hWnd, text.c_str()); }
  HWND Item(int id) const { return GetDlgItem(m_hWnd, id); }
  std::string ItemText(int id) const;
  RECT ClientRect() const;

  HWND m_hWnd = nullptr;

 protected:
  // The message procedure. The base reflects parent notifications to
  // attached child controls and otherwise calls Default().
  virtual LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp);
  // Passes the message being handled to the previous procedure.
  LRESULT Default();
  // Called for notifications that the parent received from this control.
  // Return true and set result to handle them here.
  virtual bool OnReflectedMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  // Called once the window is gone (WM_NCDESTROY), after detaching.
  virtual void PostNcDestroy() {}

  bool ReflectToChild(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

 private:
  struct CurrentMessage {
    UINT msg;
    WPARAM wp;
    LPARAM lp;
  };
  static LRESULT CALLBACK HookProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);

  const CurrentMessage* current_ = nullptr;
  // The procedure that was there before Attach.
  WNDPROC previous_ = nullptr;
};
