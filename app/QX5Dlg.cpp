#include "app/QX5Dlg.h"

#include <commctrl.h>

#include "app/Messages.h"
#include "framework/Module.h"
#include "resource.h"
#include "settings/Settings.h"

namespace {
struct ButtonCaption {
  int id;
  UINT text;
};
const ButtonCaption kButtons[] = {
    {IDC_BTN_NORUN, IDS_BTN_NORUN},     {IDC_BTN_NOCOPY, IDS_BTN_NOCOPY},   {IDC_BTN_NOOPEN, IDS_BTN_NOOPEN},
    {IDC_BTN_NOMODIFY, IDS_BTN_NOMODIFY}, {IDC_BTN_NODEL, IDS_BTN_NODEL},   {IDC_BTN_NOFIND, IDS_BTN_NOFIND},
    {IDC_BTN_NOPRINT, IDS_BTN_NOPRINT}, {IDC_BTN_VIEW, IDS_BTN_VIEW},       {IDC_BTN_OPTIONS, IDS_BTN_OPTIONS},
    {IDC_BTN_EDIT, IDS_BTN_EDIT},       {IDC_BTN_REMOVE, IDS_BTN_REMOVE},
};
}  // namespace

CQX5Dlg::CQX5Dlg() : CDialogBase(IDD_MAIN) {}

CQX5Dlg::~CQX5Dlg() {
  if (icon_) DestroyIcon(icon_);
  if (smallIcon_) DestroyIcon(smallIcon_);
}

BOOL CQX5Dlg::OnInitDialog() {
  // The stored settings are loaded before the pages are made, so that every
  // page (the log reader among them) starts with the user's values.
  SettingsLoad();

  icon_ = static_cast<HICON>(LoadImageA(AppInstance(), MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON,
                                        GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  smallIcon_ = static_cast<HICON>(LoadImageA(AppInstance(), MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

  for (const auto& b : kButtons) SetDlgItemTextA(m_hWnd, b.id, LoadStr(b.text).c_str());

  HWND tab = Item(IDC_TAB);
  const UINT titles[] = {IDS_TAB_FILES, IDS_TAB_LOG, IDS_TAB_OPTIONS};
  for (int i = 0; i < 3; ++i) {
    std::string text = LoadStr(titles[i]);
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    SendMessageA(tab, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }

  SetText(LoadStr(IDS_APP_TITLE));
  return TRUE;
}

bool CQX5Dlg::OnCommand(UINT id, UINT, HWND) {
  switch (id) {
    case ID_FILE_CLOSE:
    case ID_TRAY_EXIT:
      CDialogBase::OnOK();
      return true;
    default:
      return false;
  }
}

void CQX5Dlg::OnDestroy() { SettingsSave(); }

void CQX5Dlg::ShowFromSecondInstance() {
  ShowWindow(m_hWnd, SW_SHOW);
  SetForegroundWindow(m_hWnd);
}

LRESULT CQX5Dlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_QX5_ACTIVATE) {
    if (wp == 0) ShowFromSecondInstance();
    return 0;
  }
  return CDialogBase::WindowProc(msg, wp, lp);
}
