#include "framework/Dialog.h"

#include "crash/ExceptionGuard.h"
#include "framework/Module.h"
#include "framework/Trace.h"

CDialogBase::CDialogBase(UINT templateId, HWND parent) : templateId_(templateId), parent_(parent) {}

CDialogBase::~CDialogBase() {
  if (m_hWnd && !modal_) {
    HWND hwnd = m_hWnd;
    Detach();
    DestroyWindow(hwnd);
  }
}

INT_PTR CDialogBase::DoModal() {
  modal_ = true;
  INT_PTR r = DialogBoxParamA(AppInstance(), MAKEINTRESOURCEA(templateId_), parent_, &CDialogBase::DlgProc,
                              reinterpret_cast<LPARAM>(this));
  modal_ = false;
  return r;
}

bool CDialogBase::Create(HWND parent) {
  parent_ = parent;
  modal_ = false;
  HWND hwnd = CreateDialogParamA(AppInstance(), MAKEINTRESOURCEA(templateId_), parent, &CDialogBase::DlgProc,
                                 reinterpret_cast<LPARAM>(this));
  return hwnd != nullptr;
}

void CDialogBase::EndDialog(INT_PTR result) {
  if (m_hWnd) ::EndDialog(m_hWnd, result);
}

void CDialogBase::Bind(CWindow& control, int id) {
  if (!control.m_hWnd) control.Attach(GetDlgItem(m_hWnd, id));
}

bool CDialogBase::OnCommand(UINT, UINT, HWND) { return false; }

bool CDialogBase::OnNotify(NMHDR*, LRESULT&) { return false; }

void CDialogBase::OnTimer(UINT_PTR) {}

INT_PTR CALLBACK CDialogBase::DlgProc(HWND hwnd, UINT msg, WPARAM, LPARAM lp) {
  if (msg != WM_INITDIALOG) return FALSE;
  auto* self = reinterpret_cast<CDialogBase*>(lp);
  if (!self || !self->Attach(hwnd)) return TRUE;
  // Inside the boundary where faults that escape are reported (the system
  // swallows them in a dialog's creation).
  return static_cast<INT_PTR>(RunAtMessageBoundary(
      [](void* context) -> LRESULT {
        auto* dialog = static_cast<CDialogBase*>(context);
        try {
          dialog->DoDataExchange();
          return dialog->OnInitDialog();
        } catch (const std::exception& e) {
          Trace(std::string("CDialogBase::OnInitDialog:") + e.what() + "\n");
        } catch (...) {
          // Nothing may unwind through the system's dialog code.
          Trace("CDialogBase::OnInitDialog:unknown exception\n");
        }
        return TRUE;
      },
      self));
}

LRESULT CDialogBase::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  switch (msg) {
    case WM_COMMAND: {
      if (ReflectToChild(msg, wp, lp, result)) return result;
      UINT id = LOWORD(wp), code = HIWORD(wp);
      HWND control = reinterpret_cast<HWND>(lp);
      if (id == IDOK && (code == BN_CLICKED || !control)) {
        OnOK();
        return 0;
      }
      if (id == IDCANCEL && (code == BN_CLICKED || !control)) {
        OnCancel();
        return 0;
      }
      if (OnCommand(id, code, control)) return 0;
      return Default();
    }
    case WM_NOTIFY:
      if (ReflectToChild(msg, wp, lp, result)) return result;
      if (OnNotify(reinterpret_cast<NMHDR*>(lp), result)) return result;
      return Default();
    case WM_TIMER: OnTimer(wp); return 0;
    case WM_DESTROY: OnDestroy(); return Default();
    default: return CWindow::WindowProc(msg, wp, lp);
  }
}
