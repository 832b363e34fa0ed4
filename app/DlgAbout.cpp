#include "app/DlgAbout.h"

#include "framework/Module.h"
#include "resource.h"

CDlgAbout::CDlgAbout(HWND owner) : CDialogBase(IDD_ABOUT, owner) {}

BOOL CDlgAbout::OnInitDialog() {
  SetText(LoadStr(IDS_ABOUTBOX));
  SetDlgItemTextA(m_hWnd, IDC_ABOUT_VERSION, (LoadStr(IDS_APP_TITLE) + " " + LoadStr(IDS_VERSION_TEXT)).c_str());
  SetDlgItemTextA(m_hWnd, IDC_ABOUT_DESCRIPTION, LoadStr(IDS_ABOUT_DESCRIPTION).c_str());
  SetDlgItemTextA(m_hWnd, IDC_ABOUT_TEXT, LoadStr(IDS_ABOUT_TEXT).c_str());
  // The focus goes to OK, so that the text is not shown selected.
  SetFocus(Item(IDOK));
  return FALSE;
}
