#include "settings/DlgPassword.h"

#include "framework/Module.h"
#include "resource.h"
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
  const std::string oldText = ItemText(IDC_PWD_OLD);
  const std::string newText = ItemText(IDC_PWD_NEW);

  if (mode == changeMode) {
    if (oldText != regStrPass) {
      AppMessageBox(m_hWnd, invalidOld, MB_OK | MB_ICONEXCLAMATION);
    } else {
      WritePassword(newText);
      regStrPass = newText;
      AppMessageBox(m_hWnd, changed, MB_OK | MB_ICONINFORMATION);
    }
  } else if (newText != regStrPass) {
    AppMessageBox(m_hWnd, invalidNew, MB_OK | MB_ICONEXCLAMATION);
  } else {
    verified = 1;
  }
  EndDialog(IDOK);
}
