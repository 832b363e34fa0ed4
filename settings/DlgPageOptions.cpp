#include "settings/DlgPageOptions.h"

#include "framework/Module.h"
#include "resource.h"
#include "settings/DlgPassword.h"
#include "settings/Keywords.h"
#include "settings/Settings.h"

namespace {

struct ControlText {
  int id;
  UINT text;
};
const ControlText kTexts[] = {
    {IDC_OPT_TRAYICON, IDS_OPT_TRAYICON},     {IDC_OPT_LOGINTOFILE, IDS_OPT_LOGINTOFILE},
    {IDC_OPT_RUN_LABEL, IDS_OPT_CLR_RUN},     {IDC_OPT_READ_LABEL, IDS_OPT_CLR_READ},
    {IDC_OPT_WRITE_LABEL, IDS_OPT_CLR_WRITE}, {IDC_OPT_LEVEL_LABEL, IDS_OPT_LEVEL},
    {IDC_OPT_PASSWORD, IDS_OPT_PASSWORD},     {IDC_OPT_NORMAL, IDS_OPT_NORMAL},
    {IDC_OPT_TOUGH, IDS_OPT_TOUGH},           {IDC_OPT_KEYWORD_LABEL, IDS_OPT_KEYWORD_LABEL},
    {IDC_OPT_GENERAL_GROUP, IDS_OPT_GENERAL}, {IDC_OPT_NOCOPY_GROUP, IDS_OPT_NOCOPY},
};

const int kColourIds[3] = {IDC_OPT_CLR_RUN, IDC_OPT_CLR_READ, IDC_OPT_CLR_WRITE};

std::atomic<uint32_t>* ColourSetting(int id) {
  switch (id) {
    case IDC_OPT_CLR_RUN: return &g_clrRun;
    case IDC_OPT_CLR_READ: return &g_clrRead;
    case IDC_OPT_CLR_WRITE: return &g_clrWrite;
    default: return nullptr;
  }
}

}  // namespace

CDlgPageOptions::CDlgPageOptions() : CBkDialogST(IDD_PAGE_OPTIONS) {}

CDlgPageOptions::~CDlgPageOptions() = default;

void CDlgPageOptions::DoDataExchange() {
  for (int i = 0; i < 3; ++i) colours_[i].Attach(Item(kColourIds[i]));
}

BOOL CDlgPageOptions::OnInitDialog() {
  SettingsLoad();
  loaded_ = true;
  for (const auto& t : kTexts) SetDlgItemTextA(m_hWnd, t.id, LoadStr(t.text).c_str());
  SetDlgItemTextA(m_hWnd, IDC_OPT_NOTIFY_DENIED, LoadStr(IDS_OPT_NOTIFY_DENIED).c_str());

  const COLORREF colours[3] = {g_clrRun, g_clrRead, g_clrWrite};
  for (int i = 0; i < 3; ++i) {
    colours_[i].SetColour(colours[i]);
    // The button shows the colour under the mouse while its palette is open.
    colours_[i].SetFollowMouse(true);
  }
  CheckDlgButton(m_hWnd, IDC_OPT_TRAYICON, g_bTrayIcon ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(m_hWnd, IDC_OPT_LOGINTOFILE, g_bLogIntoFile ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(m_hWnd, IDC_OPT_NOTIFY_DENIED, g_bNotifyDenied ? BST_CHECKED : BST_UNCHECKED);
  CheckRadioButton(m_hWnd, IDC_OPT_NORMAL, IDC_OPT_TOUGH, g_bToughHook ? IDC_OPT_TOUGH : IDC_OPT_NORMAL);
  // The box shows the stored list as it is, separators included. Its
  // change notification rebuilds the list from the box (trimmed), so the
  // stored text is put back: only the user's typing changes it.
  const std::string keywords = regStrNoCpyText;
  SetDlgItemTextA(m_hWnd, IDC_OPT_KEYWORDS, keywords.c_str());
  regStrNoCpyText = keywords;

  SetBackgroundBitmap(IDB_BACKGROUND);
  guard_.Join(m_hWnd);
  return TRUE;
}

bool CDlgPageOptions::OnCommand(UINT id, UINT code, HWND) {
  switch (id) {
    case IDC_OPT_TRAYICON:
      if (code == BN_CLICKED) g_bTrayIcon = IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED ? 1 : 0;
      return true;
    case IDC_OPT_LOGINTOFILE:
      if (code == BN_CLICKED) g_bLogIntoFile = IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED ? 1 : 0;
      return true;
    case IDC_OPT_NOTIFY_DENIED:
      if (code == BN_CLICKED) g_bNotifyDenied = IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED ? 1 : 0;
      return true;
    case IDC_OPT_NORMAL:
      if (code == BN_CLICKED) g_bToughHook = 0;
      return true;
    case IDC_OPT_TOUGH:
      if (code == BN_CLICKED) g_bToughHook = 1;
      return true;
    case IDC_OPT_PASSWORD:
      if (code == BN_CLICKED) {
        CDlgPassword dlg(m_hWnd, CDlgPassword::changeMode);
        dlg.DoModal();
      }
      return true;
    case IDC_OPT_KEYWORDS:
      if (code == EN_CHANGE) regStrNoCpyText = KeywordsFromBoxText(ItemText(IDC_OPT_KEYWORDS));
      return code == EN_CHANGE;
    default: return false;
  }
}

LRESULT CDlgPageOptions::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (guard_.HandleMessage(msg, wp, lp, result)) return result;
  switch (msg) {
    case CPN_SELENDOK:
      // A colour confirmed on one of the colour buttons; the Log page uses
      // it for the rows it adds from now on.
      if (auto* setting = ColourSetting(static_cast<int>(lp))) *setting = static_cast<uint32_t>(wp);
      return 1;
    case WM_DESTROY: {
      guard_.Leave();
      const LRESULT r = CBkDialogST::WindowProc(msg, wp, lp);
      if (loaded_) {
        loaded_ = false;
        SettingsSave();
      }
      return r;
    }
    default: return CBkDialogST::WindowProc(msg, wp, lp);
  }
}
