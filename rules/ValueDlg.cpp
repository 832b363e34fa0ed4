#include "rules/ValueDlg.h"

#include "framework/Module.h"
#include "resource.h"

CValueDlg::CValueDlg(HWND parent, const std::string& value) : CDialogBase(IDD_VALUE, parent), m_value(value) {}

BOOL CValueDlg::OnInitDialog() {
  SetText(LoadStr(m_value.empty() ? IDS_VALUE_SELECT_KEY : IDS_VALUE_CHANGE));
  SetDlgItemTextA(m_hWnd, IDOK, LoadStr(IDS_RULE_OK).c_str());
  SetDlgItemTextA(m_hWnd, IDCANCEL, LoadStr(IDS_RULE_CANCEL).c_str());
  SetDlgItemTextA(m_hWnd, IDC_VALUE_EDIT, m_value.c_str());
  SetFocus(Item(IDC_VALUE_EDIT));
  Send(EM_SETSEL, 0, -1);
  return FALSE;
}

void CValueDlg::OnOK() {
  m_value = ItemText(IDC_VALUE_EDIT);
  EndDialog(IDOK);
}
