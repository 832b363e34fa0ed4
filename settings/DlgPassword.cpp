#include "settings/DlgPassword.h"

#include "framework/Module.h"
#include "resource.h"
#include "settings/PasswordCheck.h"
#include "settings/PasswordForm.h"
#include "settings/Settings.h"

CDlgPassword::CDlgPassword(HWND owner, DWORD mode) : CDialogBase(IDD_PASSWORD, owner), mode(mode) {}

bool CDlgPassword::Check(HWND owner) {
  if (regStrPass.empty()) return true;
  CDlgPassword dlg(owner, verifyMode);
  return dlg.DoModal() == IDOK && dlg.verified == 1;
}

BOOL CDlgPassword::OnInitDialog() {
  SetDlgItemTextA(m_hWnd, IDC_PWD_OLD_LABEL, LoadStr(IDS_PWD_OLD).c_str());
  SetDlgItemTextA(m_hWnd, IDOK, LoadStr(IDS_PWD_OK).c_str());
  SetDlgItemTextA(m_hWnd, IDC_PWD_NEW_LABEL, LoadStr(IDS_PWD_NEW).c_str());
  SetDlgItemTextA(m_hWnd, IDCANCEL, LoadStr(IDS_PWD_CANCEL).c_str());
  const bool oldEnabled = mode == changeMode && !regStrPass.empty();
  EnableWindow(Item(IDC_PWD_OLD_LABEL), oldEnabled);
  EnableWindow(Item(IDC_PWD_OLD), oldEnabled);
  SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetFocus(Item(oldEnabled ? IDC_PWD_OLD : IDC_PWD_NEW));
  return FALSE;
}

void CDlgPassword::OnOK() {
  const std::string invalidOld = LoadStr(IDS_INVALID_OLD_PASSWORD);
  const std::string invalidNew = LoadStr(IDS_INVALID_NEW_PASSWORD);
  const std::string changed = LoadStr(IDS_PASSWORD_CHANGED);
  std::string oldText = ItemText(IDC_PWD_OLD);
  std::string newText = ItemText(IDC_PWD_NEW);
  SetDlgItemTextA(m_hWnd, IDC_PWD_OLD, "");
  SetDlgItemTextA(m_hWnd, IDC_PWD_NEW, "");

  // The typed texts are wiped before any message box is shown.
  std::string message;
  UINT icon = MB_ICONEXCLAMATION;
  if (mode == changeMode) {
    const PasswordCheck old = CheckTypedPassword(oldText, regStrPass);
    std::string stored;
    if (old == PasswordCheck::kDamaged) {
      message = LoadStr(IDS_PASSWORD_DAMAGED);
    } else if (old != PasswordCheck::kMatch) {
      message = invalidOld;
    } else if (!MakeStoredPassword(newText, stored)) {
      message = invalidNew;  // the system could not make its stored form
    } else {
      WritePassword(stored);
      regStrPass = stored;
      message = changed;
      icon = MB_ICONINFORMATION;
    }
  } else {
    switch (CheckTypedPassword(newText, regStrPass)) {
      case PasswordCheck::kMatch: verified = 1; break;
      case PasswordCheck::kMismatch: message = invalidNew; break;
      case PasswordCheck::kDamaged: message = LoadStr(IDS_PASSWORD_DAMAGED); break;
    }
  }
  WipeText(oldText);
  WipeText(newText);
  if (!message.empty()) AppMessageBox(m_hWnd, message, MB_OK | icon);
  EndDialog(IDOK);
}
