#include "framework/Window.h"

#include <commctrl.h>

#include <exception>

#include "crash/ExceptionGuard.h"
#include "framework/Trace.h"

namespace {
const char kProp[] = "Varnokel.CWindow";
const UINT_PTR kSubclassId = 0x5158;  // "QX"
}  // namespace

CWindow::~CWindow() { Detach(); }

bool CWindow::Attach(HWND hwnd) {
  if (!hwnd || m_hWnd) return false;
  if (!SetWindowSubclass(hwnd, &CWindow::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) return false;
  SetPropA(hwnd, kProp, this);
  m_hWnd = hwnd;
  return true;
}

void CWindow::Detach() {
  if (!m_hWnd) return;
  RemoveWindowSubclass(m_hWnd, &CWindow::SubclassProc, kSubclassId);
  RemovePropA(m_hWnd, kProp);
  m_hWnd = nullptr;
}

CWindow* CWindow::FromHandle(HWND hwnd) { return hwnd ? static_cast<CWindow*>(GetPropA(hwnd, kProp)) : nullptr; }

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

LRESULT CALLBACK CWindow::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
  auto* self = reinterpret_cast<CWindow*>(ref);
  if (!self || self->m_hWnd != hwnd) return DefSubclassProc(hwnd, msg, wp, lp);
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
  return DefSubclassProc(m_hWnd, current_->msg, current_->wp, current_->lp);
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
