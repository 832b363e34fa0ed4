#include "framework/Window.h"

#include <exception>
#include <unordered_map>

#include "crash/ExceptionGuard.h"
#include "framework/Trace.h"

namespace {

// The subclassed windows of this process. A window whose object let go of
// it while another subclass sat on top of ours keeps its entry (without an
// object) until it is destroyed: our procedure stays in its chain and only
// passes its messages on.
struct Hook {
  CWindow* window;
  WNDPROC previous;
};

class HookTable {
 public:
  bool Find(HWND hwnd, Hook& hook) {
    AcquireSRWLockShared(&lock_);
    auto it = hooks_.find(hwnd);
    const bool found = it != hooks_.end();
    if (found) hook = it->second;
    ReleaseSRWLockShared(&lock_);
    return found;
  }
  void Set(HWND hwnd, const Hook& hook) {
    AcquireSRWLockExclusive(&lock_);
    hooks_[hwnd] = hook;
    ReleaseSRWLockExclusive(&lock_);
  }
  void Erase(HWND hwnd) {
    AcquireSRWLockExclusive(&lock_);
    hooks_.erase(hwnd);
    ReleaseSRWLockExclusive(&lock_);
  }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
  std::unordered_map<HWND, Hook> hooks_;
};

HookTable& Hooks() {
  static HookTable table;
  return table;
}

}  // namespace

CWindow::~CWindow() { Detach(); }

bool CWindow::Attach(HWND hwnd) {
  if (!hwnd || m_hWnd) return false;
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  if (process != GetCurrentProcessId()) return false;
  Hook hook{};
  if (Hooks().Find(hwnd, hook)) {
    // Ours already, or our procedure still in its chain from before.
    if (hook.window) return false;
    previous_ = hook.previous;
  } else {
    // The Unicode form, as the common controls subclass: messages reach the
    // procedures in the form they had before.
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWindow::HookProc)));
    if (!previous_) return false;
  }
  m_hWnd = hwnd;
  Hooks().Set(hwnd, Hook{this, previous_});
  return true;
}

void CWindow::Detach() {
  if (!m_hWnd) return;
  const auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC));
  if (current == &CWindow::HookProc || !IsWindow(m_hWnd)) {
    if (IsWindow(m_hWnd)) SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    Hooks().Erase(m_hWnd);
  } else {
    // Another subclass sits on top of ours and would be cut off.
    Hooks().Set(m_hWnd, Hook{nullptr, previous_});
  }
  m_hWnd = nullptr;
}

CWindow* CWindow::FromHandle(HWND hwnd) {
  Hook hook{};
  return hwnd && Hooks().Find(hwnd, hook) ? hook.window : nullptr;
}

std::string CWindow::GetText() const {
  int n = GetWindowTextLengthA(m_hWnd);
  std::string text(n > 0 ? n + 1 : 1, '\0');
  n = GetWindowTextA(m_hWnd, text.data(), static_cast<int>(text.size()));
  text.resize(n > 0 ? n : 0);
  return text;
}

std::string CWindow::ItemText(int id) const {
  HWND item = GetDlgItem(m_hWnd, id);
  int n = item ? GetWindowTextLengthA(item) : 0;
  std::string text(n + 1, '\0');
  n = item ? GetWindowTextA(item, text.data(), static_cast<int>(text.size())) : 0;
  text.resize(n > 0 ? n : 0);
  return text;
}

RECT CWindow::ClientRect() const {
  RECT rc{};
  GetClientRect(m_hWnd, &rc);
  return rc;
}

LRESULT CALLBACK CWindow::HookProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Hook hook{};
  if (!Hooks().Find(hwnd, hook)) return DefWindowProcW(hwnd, msg, wp, lp);
  CWindow* self = hook.window;
  if (!self || self->m_hWnd != hwnd) {
    const LRESULT r = CallWindowProcW(hook.previous, hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) Hooks().Erase(hwnd);
    return r;
  }
  // A fault that escapes the handling is reported at this boundary (the
  // system's callers of window procedures may swallow it).
  struct Call {
    CWindow* self;
    UINT msg;
    WPARAM wp;
    LPARAM lp;
  } call{self, msg, wp, lp};
  const BoundaryBody dispatch = [](void* c) -> LRESULT {
    auto* d = static_cast<Call*>(c);
    return d->self->Dispatch(d->msg, d->wp, d->lp);
  };
  if (msg == WM_NCDESTROY) {
    LRESULT r = RunAtMessageBoundary(dispatch, &call);
    self->Detach();
    Hooks().Erase(hwnd);
    self->PostNcDestroy();
    return r;
  }
  return RunAtMessageBoundary(dispatch, &call);
}

LRESULT CWindow::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
  CurrentMessage cur{msg, wp, lp};
  const CurrentMessage* saved = current_;
  current_ = &cur;
  LRESULT r = 0;
  // No C++ exception may travel through the system's frames.
  try {
    r = WindowProc(msg, wp, lp);
  } catch (const std::exception& e) {
    Trace(std::string("CWindow::WindowProc:") + e.what() + "\n");
  } catch (...) {
    Trace("CWindow::WindowProc:unknown exception\n");
  }
  current_ = saved;
  return r;
}

LRESULT CWindow::Default() {
  if (!current_ || !m_hWnd) return 0;
  return CallWindowProcW(previous_, m_hWnd, current_->msg, current_->wp, current_->lp);
}

bool CWindow::OnReflectedMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

bool CWindow::ReflectToChild(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  HWND child = nullptr;
  switch (msg) {
    case WM_NOTIFY: child = reinterpret_cast<NMHDR*>(lp)->hwndFrom; break;
    case WM_DRAWITEM: child = reinterpret_cast<DRAWITEMSTRUCT*>(lp)->hwndItem; break;
    case WM_MEASUREITEM: {
      auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      if (mis->CtlType != ODT_MENU) child = GetDlgItem(m_hWnd, static_cast<int>(mis->CtlID));
      break;
    }
    case WM_COMMAND:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORSCROLLBAR:
    case WM_HSCROLL:
    case WM_VSCROLL: child = reinterpret_cast<HWND>(lp); break;
    default: return false;
  }
  if (!child || child == m_hWnd) return false;
  CWindow* obj = FromHandle(child);
  return obj && obj->OnReflectedMessage(msg, wp, lp, result);
}

LRESULT CWindow::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (ReflectToChild(msg, wp, lp, result)) return result;
  return Default();
}
