#include "settings/DlgPageOptions.h"

#include "framework/Handle.h"
#include "framework/Module.h"
#include "resource.h"
#include "settings/Settings.h"

namespace {
struct ControlText {
  int id;
  UINT text;
};
const ControlText kTexts[] = {
    {IDC_OPT_GENERAL_GROUP, IDS_OPT_GENERAL}, {IDC_OPT_TRAYICON, IDS_OPT_TRAYICON},
    {IDC_OPT_LOGINTOFILE, IDS_OPT_LOGINTOFILE}, {IDC_OPT_RUN_LABEL, IDS_OPT_CLR_RUN},
    {IDC_OPT_READ_LABEL, IDS_OPT_CLR_READ},     {IDC_OPT_WRITE_LABEL, IDS_OPT_CLR_WRITE},
    {IDC_OPT_LEVEL_LABEL, IDS_OPT_LEVEL},       {IDC_OPT_NORMAL, IDS_OPT_NORMAL},
    {IDC_OPT_TOUGH, IDS_OPT_TOUGH},             {IDC_OPT_PASSWORD, IDS_OPT_PASSWORD},
    {IDC_OPT_NOCOPY_GROUP, IDS_OPT_NOCOPY},     {IDC_OPT_KEYWORD_LABEL, IDS_OPT_KEYWORD_LABEL},
};
}  // namespace

CDlgPageOptions::CDlgPageOptions() : CBkDialogST(IDD_PAGE_OPTIONS) {}

CDlgPageOptions::~CDlgPageOptions() = default;

BOOL CDlgPageOptions::OnInitDialog() {
  for (const auto& t : kTexts) SetDlgItemTextA(m_hWnd, t.id, LoadStr(t.text).c_str());
  CheckDlgButton(m_hWnd, IDC_OPT_TRAYICON, g_bTrayIcon ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(m_hWnd, IDC_OPT_LOGINTOFILE, g_bLogIntoFile ? BST_CHECKED : BST_UNCHECKED);
  CheckRadioButton(m_hWnd, IDC_OPT_NORMAL, IDC_OPT_TOUGH, g_bToughHook ? IDC_OPT_TOUGH : IDC_OPT_NORMAL);
  SetDlgItemTextA(m_hWnd, IDC_OPT_KEYWORDS, regStrNoCpyText.c_str());
  SetBackgroundBitmap(IDB_BACKGROUND);
  return TRUE;
}

LRESULT CDlgPageOptions::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DRAWITEM) {
    // The three colour buttons show their colour as a framed swatch.
    auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
    COLORREF colour = CLR_INVALID;
    switch (dis->CtlID) {
      case IDC_OPT_CLR_RUN: colour = g_clrRun; break;
      case IDC_OPT_CLR_READ: colour = g_clrRead; break;
      case IDC_OPT_CLR_WRITE: colour = g_clrWrite; break;
      default: break;
    }
    if (colour != CLR_INVALID) {
      RECT rc = dis->rcItem;
      DrawEdge(dis->hDC, &rc, (dis->itemState & ODS_SELECTED) ? EDGE_SUNKEN : EDGE_RAISED,
               BF_RECT | BF_ADJUST | BF_MIDDLE);
      InflateRect(&rc, -2, -2);
      GdiObject<HBRUSH> swatch(CreateSolidBrush(colour));
      FillRect(dis->hDC, &rc, swatch.Get());
      FrameRect(dis->hDC, &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      return TRUE;
    }
  }
  return CBkDialogST::WindowProc(msg, wp, lp);
}
