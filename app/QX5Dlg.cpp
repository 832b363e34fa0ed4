#include "app/QX5Dlg.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstring>

#include "app/CustomRules.h"
#include "app/DlgAbout.h"
#include "app/DlgTips.h"
#include "app/MainWindowFinder.h"
#include "app/Messages.h"
#include "app/SystemRules.h"
#include "framework/FileDialog.h"
#include "framework/MessageFilter.h"
#include "framework/Module.h"
#include "log/DlgPageLog.h"
#include "resource.h"
#include "rules/DlgFilePage.h"
#include "rules/ShortcutResolver.h"
#include "settings/DlgPageOptions.h"
#include "settings/DlgPassword.h"
#include "settings/Settings.h"
#include "ui/Paint.h"

namespace {

struct ButtonDef {
  int id;
  UINT caption;
  UINT tooltip;
  UINT hotIcon;
  UINT normalIcon;
  uint32_t code;  // request kind bit of a rule-kind button, else 0
};

// The column of buttons, top to bottom.
const ButtonDef kButtons[CQX5Dlg::kButtonCount] = {
    {IDC_BTN_NORUN, IDS_BTN_NORUN, IDS_TIP_NORUN, IDI_RUN_HOT, IDI_RUN, REQ_RUN},
    {IDC_BTN_NOCOPY, IDS_BTN_NOCOPY, IDS_TIP_NOCOPY, IDI_COPY_HOT, IDI_COPY, REQ_COPY},
    {IDC_BTN_NOOPEN, IDS_BTN_NOOPEN, IDS_TIP_NOOPEN, IDI_OPEN_HOT, IDI_OPEN, REQ_OPEN},
    {IDC_BTN_NOMODIFY, IDS_BTN_NOMODIFY, IDS_TIP_NOMODIFY, IDI_MODIFY_HOT, IDI_MODIFY, REQ_MODIFY},
    {IDC_BTN_NODEL, IDS_BTN_NODEL, IDS_TIP_NODEL, IDI_DEL_HOT, IDI_DEL, REQ_DELETE},
    {IDC_BTN_NOFIND, IDS_BTN_NOFIND, IDS_TIP_NOFIND, IDI_FIND_HOT, IDI_FIND, REQ_FIND},
    {IDC_BTN_NOPRINT, IDS_BTN_NOPRINT, IDS_TIP_NOPRINT, IDI_PRINT_HOT, IDI_PRINT, REQ_PRINT},
    {IDC_BTN_VIEW, IDS_BTN_VIEW, IDS_TIP_VIEW, IDI_VIEW_HOT, IDI_VIEW, 0},
    {IDC_BTN_OPTIONS, IDS_BTN_OPTIONS, IDS_TIP_OPTIONS, IDI_OPTIONS_HOT, IDI_OPTIONS, 0},
    {IDC_BTN_EDIT, IDS_BTN_EDIT, IDS_TIP_EDIT, IDI_EDIT_HOT, IDI_EDIT, 0},
    {IDC_BTN_REMOVE, IDS_BTN_REMOVE, IDS_TIP_REMOVE, IDI_REMOVE_HOT, IDI_REMOVE, 0},
};

// Open-file filters: pairs of description and pattern, ending in two NULs.
const char kExeFilter[] = "Exe file(*.exe)\0*.exe\0";
const char kAllFilter[] = "All files(*.*)\0*.*\0";

// Big enough for a few thousand selected names.

// Skin colours by system colour index.
const COLORREF kSkinMenu = RGB(200, 235, 255);           // 4
const COLORREF kSkinMenuText = RGB(0, 70, 100);          // 8
const COLORREF kSkinHighlightText = RGB(255, 255, 255);  // 14
const COLORREF kSkinShadow = RGB(70, 100, 130);          // 16

const ButtonDef* ButtonById(int id) {
  for (const auto& b : kButtons)
    if (b.id == id) return &b;
  return nullptr;
}

// Appends a picked or dropped path to the request, with a shortcut replaced
// by its target. The resolver works on a full path buffer, so the path is
// copied into one; a path too long for it cannot name a shortcut that the
// shell could open and goes in as it is.
void AddPath(RULE_REQUEST& req, const char* path) {
  char buf[260] = {};
  const size_t len = std::strlen(path);
  if (len == 0) return;
  if (len >= sizeof buf) {
    req.Dests.emplace_back(path, len);
    return;
  }
  std::memcpy(buf, path, len);
  ResolveShortcut(buf);
  req.Dests.emplace_back(buf);
}

}  // namespace

CQX5Dlg::CQX5Dlg() : CBkDialogST(IDD_MAIN) {}

CQX5Dlg::~CQX5Dlg() {
  // Pages go in the order Files, Log, Options.
  for (auto& page : pages_) page.reset();
  tips_.reset();
  // The image list and the icons go with their members, after the pages.
}

HWND CQX5Dlg::Page(int index) const {
  return index >= 0 && index < kPageCount && pages_[index] ? pages_[index]->m_hWnd : nullptr;
}

void CQX5Dlg::DoDataExchange() {
  for (int i = 0; i < kButtonCount; ++i) buttons_[i].Attach(Item(kButtons[i].id));
  tab_.Attach(Item(IDC_TAB));
}

BOOL CQX5Dlg::OnInitDialog() {
  // The stored settings are loaded before the pages are made, so that every
  // page (the log reader among them) starts with the user's values.
  SettingsLoad();

  const std::string about = LoadStr(IDS_ABOUTBOX);
  if (!about.empty()) {
    if (HMENU sys = GetSystemMenu(m_hWnd, FALSE)) {
      AppendMenuA(sys, MF_SEPARATOR, 0, nullptr);
      AppendMenuA(sys, MF_STRING, ID_HELP_ABOUT, about.c_str());
    }
  }

  icon_.Reset(static_cast<HICON>(LoadImageA(AppInstance(), MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON,
                                            GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
  smallIcon_.Reset(static_cast<HICON>(LoadImageA(AppInstance(), MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
  Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.Get()));
  Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));

  for (const auto& b : kButtons) SetDlgItemTextA(m_hWnd, b.id, LoadStr(b.caption).c_str());

  SetUpTabs();
  tab_.SetSelectedTextColour(RGB(0, 0, 255));
  tab_.SetHotTextColour(RGB(255, 0, 255));
  tab_.SetDisabledTextColour(RGB(255, 0, 0));

  SetBackgroundBitmap(IDB_BACKGROUND);
  SetUpMenuSkin();
  SetUpButtons();

  initialClient_ = ClientRect();
  GetWindowRect(Item(IDC_BTN_REMOVE), &removeRect_);
  MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&removeRect_), 2);

  DragAcceptFiles(m_hWnd, TRUE);
  // Drops from Explorer reach the window although the program runs
  // elevated.
  AllowShellDrops(m_hWnd);
  SetUpTray();
  // The tips window: created hidden, centred over this window, then shown
  // by the automatic display unless tips are off.
  tips_ = std::make_unique<CDlgTips>();
  if (tips_->Create(m_hWnd)) CentreTips();
  OpenTipsCategory(0);

  SetText(LoadStr(IDS_APP_TITLE));
  // A second start and the tools find this window by its mark, not by its
  // title alone, which its message boxes share.
  MarkMainWindow(m_hWnd);
  return TRUE;
}

void CQX5Dlg::SetUpTabs() {
  tabImages_.Reset(ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 0, 4));
  GdiObject<HBITMAP> strip(static_cast<HBITMAP>(
      LoadImageA(AppInstance(), MAKEINTRESOURCEA(IDB_TABS), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  if (strip) ImageList_AddMasked(tabImages_.Get(), strip.Get(), RGB(255, 0, 255));
  tab_.Send(TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(tabImages_.Get()));
  tab_.SetPageOrigin(2, GetSystemMetrics(SM_CYCAPTION));
  // The pages are dialogs inside the tab control; keyboard navigation has to
  // reach into them.
  SetWindowLongPtrA(tab_.m_hWnd, GWL_EXSTYLE, GetWindowLongPtrA(tab_.m_hWnd, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);

  const UINT titles[kPageCount] = {IDS_TAB_FILES, IDS_TAB_LOG, IDS_TAB_OPTIONS};
  for (int i = 0; i < kPageCount; ++i) {
    pages_[i] = MakePage(i);
    if (!pages_[i] || !pages_[i]->Create(tab_.m_hWnd)) continue;
    tab_.AppendPage(pages_[i]->m_hWnd, LoadStr(titles[i]).c_str(), i);
  }
  // The Log page's row commands act on the Files page's rules.
  if (auto* log = dynamic_cast<CDlgPageLog*>(pages_[1].get())) {
    log->RowMenu().SetRulePages({[this] { return dynamic_cast<CDlgFilePage*>(pages_[0].get()); },
                                 [this] {
                                   tab_.ShowPage(0);
                                   tab_.Send(TCM_SETCURFOCUS, 0);
                                 }});
  }
}

std::unique_ptr<CBkDialogST> CQX5Dlg::MakePage(int index) {
  switch (index) {
    case 0: return std::make_unique<CDlgFilePage>();
    case 1: return std::make_unique<CDlgPageLog>();
    case 2: return std::make_unique<CDlgPageOptions>();
    default: return nullptr;
  }
}

void CQX5Dlg::SetUpMenuSkin() {
  // Start-up switched the skin on; systems before Windows XP get it again
  // with a smaller item padding.
  if (WindowsOlderThanXp()) CSkinMenu::Enable(CSkinMenu::kStyleGradient | CSkinMenu::kStyleLeftColumn, 8);
  skin_.SetPainter(this);
  skin_.SetColour(COLOR_MENU, kSkinMenu);
  skin_.SetColour(COLOR_WINDOWTEXT, kSkinMenuText);
  skin_.SetColour(COLOR_HIGHLIGHTTEXT, kSkinHighlightText);
  skin_.SetColour(COLOR_BTNSHADOW, kSkinShadow);
}

void CQX5Dlg::SetUpButtons() {
  for (int i = 0; i < kButtonCount; ++i) {
    buttons_[i].SetIcon(kButtons[i].hotIcon, kButtons[i].normalIcon);
    buttons_[i].SetTooltipText(LoadStr(kButtons[i].tooltip), true);
    buttons_[i].DrawTransparent(true);
  }
}

void CQX5Dlg::SetUpTray() {
  // No parent: the icon's notifications go to the tray's own window, which
  // sends the menu commands here.
  tray_.SetTargetWindow(m_hWnd);
  tray_.CreateTrayIcon(nullptr, WM_TRAY_NOTIFY, LoadStr(IDS_APP_TITLE).c_str(), smallIcon_.Get(), IDR_TRAYMENU);
  tray_.LoadAnimationIcons(IDI_ANIM_FIRST, IDI_ANIM_LAST);
  tray_.SetDefaultMenuItem(0, true);
  tray_.HideTrayIcon();
  // Blocked accesses are told through the icon's balloon.
  balloon_.Create();
  balloon_.SetClickHandler([this](const CDenialBalloon::Target& target) { ShowDenial(target); });
  if (auto* log = dynamic_cast<CDlgPageLog*>(pages_[1].get())) log->Reader().SetObserver(&balloon_);
}

void CQX5Dlg::OpenTipsCategory(int category) {
  const DWORD show = ReadShowTips();
  if (!tips_ || !tips_->m_hWnd) return;
  tips_->SetCheckFromSetting(show);
  if (show == 0) return;
  tips_->ShowCategory(category);
  tips_->ShowOverOwner();
}

void CQX5Dlg::ShowTipsWindow() {
  const DWORD show = ReadShowTips();
  if (!tips_ || !tips_->m_hWnd) return;
  tips_->SetCheckFromSetting(show);
  ShowWindow(tips_->m_hWnd, SW_SHOW);
  CentreTips();
}

void CQX5Dlg::CentreTips() {
  RECT main{}, tips{};
  GetWindowRect(m_hWnd, &main);
  GetWindowRect(tips_->m_hWnd, &tips);
  const int w = tips.right - tips.left, h = tips.bottom - tips.top;
  SetWindowPos(tips_->m_hWnd, nullptr, main.left + (main.right - main.left - w) / 2,
               main.top + (main.bottom - main.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CQX5Dlg::AfterBackgroundPainted(HDC dc) {
  for (auto& b : buttons_) b.SetBk(dc);
}

// ---- Rules ------------------------------------------------------------------

void CQX5Dlg::SendRuleRequest(RULE_REQUEST* request) {
  if (HWND files = Page(0)) SendMessageA(files, WM_RULE_REQUEST, reinterpret_cast<WPARAM>(request), 0);
}

bool CQX5Dlg::ConfirmRemove() {
  return MessageBoxA(m_hWnd, LoadStr(IDS_CONFIRM_REMOVE).c_str(), LoadStr(IDS_APP_TITLE).c_str(),
                     MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool CQX5Dlg::CheckPassword() { return CDlgPassword::Check(nullptr); }

bool CQX5Dlg::AskForFiles(const char* filter, std::vector<std::string>& paths) {
  return PickFiles(m_hWnd, filter, true, paths);
}

void CQX5Dlg::RuleButton(uint32_t code, const char* filter, bool skipFileDialog) {
  if (code == REQ_REMOVE_SELECTED && !ConfirmRemove()) return;
  OpenTipsCategory(code == REQ_EDIT_SELECTED ? 3 : code == REQ_REMOVE_SELECTED ? 4 : 2);

  RULE_REQUEST req;
  req.Code = code;
  req.Owner = m_hWnd;
  req.Source = "*";
  req.System = 0;
  req.AltMode = 0;
  req.Type = 1;
  if (!skipFileDialog) {
    std::vector<std::string> picked;
    if (AskForFiles(filter, picked))
      for (const auto& p : picked) AddPath(req, p.c_str());
  }
  SendRuleRequest(&req);
}

uint32_t CQX5Dlg::DropCodeAt(POINT screen) const {
  // Only this window's own buttons count, not a control of another window
  // that happens to carry the same number; windows above this one (the
  // tips window, just shown for the drop) do not hide the button.
  POINT client = screen;
  ScreenToClient(m_hWnd, &client);
  HWND under = ChildWindowFromPointEx(m_hWnd, client, CWP_SKIPINVISIBLE);
  if (!under || under == m_hWnd || GetParent(under) != m_hWnd) return REQ_EDIT_NEW;
  const ButtonDef* def = ButtonById(GetDlgCtrlID(under));
  return def ? def->code : REQ_EDIT_NEW;
}

void CQX5Dlg::OnDropFiles(HDROP drop) {
  OpenTipsCategory(3);
  RULE_REQUEST req;
  req.Code = REQ_EDIT_NEW;
  req.Owner = m_hWnd;
  req.Source = "*";
  req.Type = 1;
  const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileA(drop, i, nullptr, 0);
    std::vector<char> path;
    try {
      path.assign(length + 1, '\0');
    } catch (const std::bad_alloc&) {
      continue;
    }
    DragQueryFileA(drop, i, path.data(), length + 1);
    AddPath(req, path.data());
  }
  DragFinish(drop);

  POINT cursor{};
  GetCursorPos(&cursor);
  req.Code = DropCodeAt(cursor);
  SendRuleRequest(&req);
}

// ---- Pages, tray, commands --------------------------------------------------

void CQX5Dlg::NextPage() {
  const int count = tab_.PageCount();
  if (count <= 0) return;
  const int next = (tab_.CurrentSelection() + 1) % count;
  tab_.ShowPage(next);
  tab_.Send(TCM_SETCURFOCUS, next);
}

void CQX5Dlg::HideToTray() {
  if (g_bTrayIcon) {
    tray_.ShowTrayIcon();
    if (!tray_.Present()) {
      // The notification area does not take the icon (not there yet at
      // log-on, or Explorer restarting). The window is never hidden into an
      // icon that does not exist: it stays on the taskbar, minimised, while
      // the tray keeps trying; the icon appears as soon as it can.
      if (!IsIconic(m_hWnd)) ShowWindow(m_hWnd, SW_MINIMIZE);
      return;
    }
    tray_.StartAnimation(40, 2);
  }
  ShowWindow(m_hWnd, SW_HIDE);
  if (tips_ && tips_->m_hWnd) {
    tips_->CancelShow();
    ShowWindow(tips_->m_hWnd, SW_HIDE);
  }
}

void CQX5Dlg::ShowFromTray() {
  tray_.HideTrayIcon();
  ShowWindow(m_hWnd, SW_SHOW);
}

void CQX5Dlg::ShowDenial(const CDenialBalloon::Target& target) {
  // As the tray's Open: the password guards showing the window.
  if (!CheckPassword()) return;
  ShowFromTray();
  SetForegroundWindow(m_hWnd);
  tab_.ShowPage(1);
  tab_.Send(TCM_SETCURFOCUS, 1);
  if (auto* log = dynamic_cast<CDlgPageLog*>(pages_[1].get())) {
    SelectLogRow(log->List(), target.row, target.record);
    SetFocus(log->List());
  }
}

bool CQX5Dlg::OnCommand(UINT id, UINT code, HWND control) {
  if (const ButtonDef* def = ButtonById(id); def && control) {
    // Double-clicks and other notifications of the buttons do nothing.
    if (code != BN_CLICKED) return true;
    switch (id) {
      case IDC_BTN_VIEW: NextPage(); return true;
      case IDC_BTN_OPTIONS: tab_.ShowPage(2); return true;
      case IDC_BTN_EDIT: RuleButton(REQ_EDIT_SELECTED, nullptr, true); return true;
      case IDC_BTN_REMOVE: RuleButton(REQ_REMOVE_SELECTED, nullptr, true); return true;
      default: RuleButton(def->code, id == IDC_BTN_NORUN ? kExeFilter : kAllFilter, false); return true;
    }
  }
  switch (id) {
    case ID_FILE_CLOSE: HideToTray(); return true;
    case ID_HELP_TIPS: ShowTipsWindow(); return true;
    case ID_HELP_ABOUT: {
      CDlgAbout about(m_hWnd);
      about.DoModal();
      return true;
    }
    case ID_GO_WEB: ShellExecuteA(m_hWnd, "open", kWebPage, nullptr, nullptr, SW_SHOWNORMAL); return true;
    case ID_TRAY_OPEN:
      if (CheckPassword()) ShowFromTray();
      return true;
    case ID_TRAY_HIDE: tray_.HideTrayIcon(); return true;
    case ID_TRAY_EXIT:
      if (CheckPassword()) {
        tray_.HideTrayIcon();
        CDialogBase::OnOK();
      }
      return true;
    case ID_ADD_SYSTEM_RULE: AddSystemRules(m_hWnd, Page(0)); return true;
    case ID_ADD_CUSTOM_RULE: AddCustomRule(m_hWnd, Page(0), 1); return true;
    case ID_ADD_REGISTRY_RULE: AddCustomRule(m_hWnd, Page(0), 2); return true;
    case ID_NOP_COMMAND: return true;
    default: return false;
  }
}

void CQX5Dlg::OnSysCommand(UINT command) {
  switch (command & 0xFFF0) {
    case ID_HELP_ABOUT: {
      CDlgAbout about(m_hWnd);
      about.DoModal();
      return;
    }
    case SC_MINIMIZE:
      Default();
      HideToTray();
      return;
    case SC_CLOSE: HideToTray(); return;
    default: Default(); return;
  }
}

void CQX5Dlg::OnEndSession() {
  // Log-off or shutdown: the system ends the process once this returns,
  // without destroying any window, so everything that the window's
  // destruction keeps at Exit is kept now. The settings first: they are
  // quick to write and what the user loses most easily.
  SettingsSave();
  // The reader may not take the seconds that Exit allows it.
  if (auto* log = dynamic_cast<CDlgPageLog*>(pages_[1].get())) log->LimitStopWait(kEndSessionReaderWaitMs);
  tray_.DeleteTrayIcon();
  // The pages go as at Exit: the Files page saves its list layout and
  // writes the rules, the Log page stops its reader, the Options page saves
  // the settings and leaves the clipboard chain.
  DestroyWindow(m_hWnd);
}

// The Options page saves the settings when it goes, once.
void CQX5Dlg::OnDestroy() {
  UnmarkMainWindow(m_hWnd);
  if (auto* log = dynamic_cast<CDlgPageLog*>(pages_[1].get())) log->Reader().SetObserver(nullptr);
}

// ---- Layout -----------------------------------------------------------------

void CQX5Dlg::Layout(int width, int height) {
  if (!tab_.m_hWnd) return;
  const int w = removeRect_.right - removeRect_.left;
  const int x = width - w;
  MoveWindow(tab_.m_hWnd, 5, 6, x - 11, height - 6, TRUE);
  for (const auto& def : kButtons) {
    HWND button = Item(def.id);
    RECT rc{};
    GetWindowRect(button, &rc);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
    MoveWindow(button, x, rc.top, w, rc.bottom - rc.top, TRUE);
  }
}

void CQX5Dlg::LimitSize(UINT edge, RECT* r) const {
  const int minW = initialClient_.right - initialClient_.left;
  const int minH = initialClient_.bottom - initialClient_.top;
  if (r->right - r->left < minW) {
    if (edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT)
      r->left = r->right - minW;
    else
      r->right = r->left + minW;
  }
  if (r->bottom - r->top < minH) {
    if (edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT)
      r->top = r->bottom - minH;
    else
      r->bottom = r->top + minH;
  }
}

void CQX5Dlg::FixMaximisedPlacement(MINMAXINFO* info) const {
  // The system's default counts the menu bar of a pop-up window like a
  // caption when it places the maximised window: the window's top then lies
  // a menu's height above the screen, caption and all. Maximised, only the
  // sizing frame goes beyond the work area, as for any overlapped window.
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(m_hWnd, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE));
  RECT frame{0, 0, 0, 0};
  // WS_CAPTION is WS_BORDER | WS_DLGFRAME: without WS_BORDER only the frame.
  AdjustWindowRectEx(&frame, style & ~WS_BORDER, FALSE, exStyle);
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (!GetMonitorInfoA(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &mi)) return;
  // Relative to the monitor, as the system expects these values.
  info->ptMaxPosition.x = mi.rcWork.left - mi.rcMonitor.left + frame.left;
  info->ptMaxPosition.y = mi.rcWork.top - mi.rcMonitor.top + frame.top;
  info->ptMaxSize.x = (mi.rcWork.right - mi.rcWork.left) + (frame.right - frame.left);
  info->ptMaxSize.y = (mi.rcWork.bottom - mi.rcWork.top) + (frame.bottom - frame.top);
}

bool CQX5Dlg::PaintMinimised() {
  if (!IsIconic(m_hWnd)) return false;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hWnd, &ps);
  Send(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc));
  RECT rc = ClientRect();
  const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
  DrawIcon(dc, (rc.right - cx + 1) / 2, (rc.bottom - cy + 1) / 2, icon_.Get());
  EndPaint(m_hWnd, &ps);
  return true;
}

// ---- Menu painting ----------------------------------------------------------

bool CQX5Dlg::SkinDrawBorder(HDC, const RECT&) { return false; }

void CQX5Dlg::SkinDrawLeftColumn(HDC dc, const RECT& column, const RECT&) {
  const COLORREF shade = skin_.Colour(COLOR_BTNSHADOW);
  FillGradient(dc, column, shade, MixColour(shade, RGB(255, 255, 255), 45), false);
}

void CQX5Dlg::SkinDrawItemBackground(HDC dc, const RECT& item, const RECT& menu) {
  // The item's slice of the menu background.
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, item.left, item.top, item.right, item.bottom);
  SkinDrawMenuBackground(dc, menu);
  RestoreDC(dc, saved);
}

void CQX5Dlg::SkinDrawMenuBackground(HDC dc, const RECT& menu) {
  FillGradient(dc, menu, skin_.Colour(COLOR_MENU), RGB(255, 255, 255), true);
}

// ---- Messages ---------------------------------------------------------------

LRESULT CQX5Dlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE: {
      LRESULT r = CBkDialogST::WindowProc(msg, wp, lp);
      Layout(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
      // Restored from the taskbar (where it stays while the notification
      // area takes no icon): the icon is not wanted any more.
      if ((wp == SIZE_RESTORED || wp == SIZE_MAXIMIZED) && IsWindowVisible(m_hWnd)) tray_.HideTrayIcon();
      return r;
    }
    // The session may always end; what must be kept is kept at its end.
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:
      if (wp) OnEndSession();
      return 0;
    case WM_GETMINMAXINFO: {
      LRESULT r = Default();
      FixMaximisedPlacement(reinterpret_cast<MINMAXINFO*>(lp));
      return r;
    }
    case WM_SIZING: {
      Default();
      LimitSize(static_cast<UINT>(wp), reinterpret_cast<RECT*>(lp));
      return TRUE;
    }
    case WM_DROPFILES: OnDropFiles(reinterpret_cast<HDROP>(wp)); return Default();
    case WM_SYSCOMMAND: OnSysCommand(static_cast<UINT>(wp)); return 0;
    case WM_QX5_ACTIVATE: {
      if (wp == 0) {
        ShowFromTray();
        SetForegroundWindow(m_hWnd);
        return 0;
      }
      // The sender (vkctl) learns whether the change is on the page yet.
      HWND files = Page(0);
      const LRESULT r = files ? SendMessageA(files, WM_RULE_REQUEST, 0, 0) : 0;
      return r == CDlgFilePage::kRequestQueued ? kReloadQueued : kReloadDone;
    }
    case WM_PAINT:
      if (PaintMinimised()) return 0;
      return CBkDialogST::WindowProc(msg, wp, lp);
    case WM_QUERYDRAGICON: return reinterpret_cast<LRESULT>(icon_.Get());
    case WM_INITMENUPOPUP: skin_.OnInitMenuPopup(reinterpret_cast<HMENU>(wp), HIWORD(lp) != 0); return Default();
    case WM_MEASUREITEM:
      if (skin_.OnMeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lp))) return TRUE;
      return CBkDialogST::WindowProc(msg, wp, lp);
    case WM_DRAWITEM:
      if (skin_.OnDrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lp))) return TRUE;
      return CBkDialogST::WindowProc(msg, wp, lp);
    case WM_MENUCHAR: {
      LRESULT r = 0;
      if (skin_.OnMenuChar(LOWORD(wp), reinterpret_cast<HMENU>(lp), r)) return r;
      return Default();
    }
    default: return CBkDialogST::WindowProc(msg, wp, lp);
  }
}
