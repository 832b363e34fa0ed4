#include "ui/XTabCtrl.h"

#include <string>

CXTabCtrl::~CXTabCtrl() {
  if (m_hWnd) KillTimer(m_hWnd, kHotTimerId);
}

bool CXTabCtrl::Attach(HWND hwnd) {
  if (!hwnd) return false;
  // Every tab is drawn here, so the style must be in place before any tab
  // is painted.
  LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_STYLE);
  if (!(style & TCS_OWNERDRAWFIXED)) SetWindowLongPtrA(hwnd, GWL_STYLE, style | TCS_OWNERDRAWFIXED);
  return CWindow::Attach(hwnd);
}

int CXTabCtrl::PageCount() const { return m_hWnd ? static_cast<int>(Send(TCM_GETITEMCOUNT)) : 0; }

int CXTabCtrl::CurrentSelection() const { return m_hWnd ? static_cast<int>(Send(TCM_GETCURSEL)) : -1; }

HWND CXTabCtrl::PageWindow(int index) const {
  if (!m_hWnd || index < 0) return nullptr;
  TCITEMA item{};
  item.mask = TCIF_PARAM;
  if (!Send(TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item))) return nullptr;
  return reinterpret_cast<HWND>(item.lParam);
}

int CXTabCtrl::AppendPage(HWND page, const char* text, int image) {
  if (!m_hWnd) return -1;
  std::string title = text ? text : "";
  TCITEMA item{};
  item.mask = TCIF_TEXT | TCIF_IMAGE | TCIF_PARAM;
  item.pszText = title.data();
  item.iImage = image;
  item.lParam = reinterpret_cast<LPARAM>(page);
  const int count = PageCount();
  const int index = static_cast<int>(Send(TCM_INSERTITEMA, count, reinterpret_cast<LPARAM>(&item)));
  if (index < 0) return -1;
  if (page) {
    SetWindowPos(page, nullptr, origin_.x, origin_.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(page, index == 0 ? SW_SHOW : SW_HIDE);
  }
  enabled_.insert(enabled_.begin() + index, 1);
  return index;
}

BOOL CXTabCtrl::IsPageEnabled(int index) const {
  if (index < 0 || index >= static_cast<int>(enabled_.size())) return FALSE;
  return enabled_[index] == 1;
}

bool CXTabCtrl::EnablePage(int index, bool enable) {
  if (index < 0 || index >= static_cast<int>(enabled_.size())) return false;
  enabled_[index] = enable ? 1 : 0;
  RepaintTab(index);
  return true;
}

int CXTabCtrl::ShowPage(int index) {
  const int current = CurrentSelection();
  if (index == current) return 1;
  if (!IsPageEnabled(index)) return 0;
  if (HWND old = PageWindow(current)) ShowWindow(old, SW_HIDE);
  Send(TCM_SETCURSEL, index);
  if (HWND page = PageWindow(index)) ShowWindow(page, SW_SHOW);
  return 1;
}

void CXTabCtrl::SetPageOrigin(int x, int y) { origin_ = POINT{x, y}; }

void CXTabCtrl::SetSelectedTextColour(COLORREF colour) {
  selectedColour_ = colour;
  selectedSet_ = true;
}

void CXTabCtrl::SetHotTextColour(COLORREF colour) {
  hotColour_ = colour;
  hotSet_ = true;
}

void CXTabCtrl::SetDisabledTextColour(COLORREF colour) {
  disabledColour_ = colour;
  disabledSet_ = true;
}

void CXTabCtrl::SetNormalTextColour(COLORREF colour) {
  normalColour_ = colour;
  normalSet_ = true;
}

COLORREF CXTabCtrl::TextColourOf(int index) const {
  const COLORREF buttonText = GetSysColor(COLOR_BTNTEXT);
  if (!IsPageEnabled(index)) return disabledSet_ ? disabledColour_ : GetSysColor(COLOR_GRAYTEXT);
  if (index == CurrentSelection()) return selectedSet_ ? selectedColour_ : buttonText;
  if (hotSet_ && index == hotTab_) return hotColour_;
  return normalSet_ ? normalColour_ : buttonText;
}

RECT CXTabCtrl::TabRect(int index) const {
  RECT rc{};
  if (m_hWnd && index >= 0) Send(TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rc));
  return rc;
}

void CXTabCtrl::RepaintTab(int index) {
  if (!m_hWnd || index < 0) return;
  RECT rc = TabRect(index);
  InvalidateRect(m_hWnd, &rc, TRUE);
}

int CXTabCtrl::TabFromPoint(POINT clientPt) const {
  TCHITTESTINFO hit{};
  hit.pt = clientPt;
  return static_cast<int>(Send(TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

void CXTabCtrl::OnSelChanging() { previous_ = CurrentSelection(); }

void CXTabCtrl::OnSelChange() {
  const int now = CurrentSelection();
  if (IsPageEnabled(now)) {
    if (HWND old = PageWindow(previous_); old && now != previous_) ShowWindow(old, SW_HIDE);
    if (HWND page = PageWindow(now)) ShowWindow(page, SW_SHOW);
  } else {
    // A disabled tab was clicked: the selection goes back and the page that
    // was shown stays.
    Send(TCM_SETCURSEL, previous_);
  }
}

void CXTabCtrl::OnSize(int width, int height) {
  const int w = width - origin_.x - 3;
  const int h = height - origin_.y - 3;
  const int count = PageCount();
  for (int i = 0; i < count; ++i) {
    if (HWND page = PageWindow(i))
      SetWindowPos(page, nullptr, origin_.x, origin_.y, w > 0 ? w : 0, h > 0 ? h : 0, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void CXTabCtrl::OnMouseMove(POINT pt) {
  SetTimer(m_hWnd, kHotTimerId, 10, nullptr);
  if (hotTab_ >= 0) {
    RECT rc = TabRect(hotTab_);
    if (!PtInRect(&rc, pt)) {
      const int old = hotTab_;
      hotTab_ = -1;
      RepaintTab(old);
      return;
    }
  }
  if (!tracking_) {
    tracking_ = true;
    const int tab = TabFromPoint(pt);
    if (tab >= 0 && IsPageEnabled(tab)) {
      hotTab_ = tab;
      RepaintTab(tab);
    }
  }
}

void CXTabCtrl::OnHotTimer() {
  POINT cursor{};
  GetCursorPos(&cursor);
  RECT rc = TabRect(hotTab_);
  MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&rc), 2);
  if (hotTab_ < 0 || !PtInRect(&rc, cursor)) {
    KillTimer(m_hWnd, kHotTimerId);
    tracking_ = false;
    const int old = hotTab_;
    hotTab_ = -1;
    RepaintTab(old);
  }
}

void CXTabCtrl::DrawTab(const DRAWITEMSTRUCT& dis) {
  HDC dc = dis.hDC;
  const int index = static_cast<int>(dis.itemID);
  RECT rc = dis.rcItem;
  const int edge = GetSystemMetrics(SM_CYEDGE);
  rc.top += edge;

  char text[256] = {};
  TCITEMA item{};
  item.mask = TCIF_TEXT | TCIF_IMAGE;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  Send(TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item));

  POINT cursor{};
  GetCursorPos(&cursor);
  ScreenToClient(m_hWnd, &cursor);
  if (PtInRect(&dis.rcItem, cursor)) hotTab_ = index;

  FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
  const int oldMode = SetBkMode(dc, TRANSPARENT);

  HIMAGELIST images = reinterpret_cast<HIMAGELIST>(Send(TCM_GETIMAGELIST));
  if (images && item.iImage >= 0) {
    SIZE blank{};
    GetTextExtentPoint32A(dc, " ", 1, &blank);
    rc.left += blank.cx;
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    const int y = rc.top + (rc.bottom - rc.top - cy) / 2;
    ImageList_Draw(images, item.iImage, dc, rc.left, y, ILD_TRANSPARENT);
    rc.left += cx;
  }

  const COLORREF oldColour = SetTextColor(dc, TextColourOf(index));
  rc.top -= edge;
  DrawTextA(dc, text, -1, &rc, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  SetTextColor(dc, oldColour);
  SetBkMode(dc, oldMode);
}

bool CXTabCtrl::OnReflectedMessage(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
  if (msg == WM_DRAWITEM) {
    auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
    if (dis->CtlType != ODT_TAB) return false;
    DrawTab(*dis);
    result = TRUE;
    return true;
  }
  if (msg == WM_NOTIFY) {
    auto* header = reinterpret_cast<NMHDR*>(lp);
    if (header->code == TCN_SELCHANGING) {
      OnSelChanging();
      result = FALSE;  // allow the change
      return true;
    }
    if (header->code == TCN_SELCHANGE) {
      OnSelChange();
      result = 0;
      return true;
    }
  }
  return false;
}

LRESULT CXTabCtrl::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE: {
      LRESULT r = Default();
      OnSize(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
      return r;
    }
    case WM_MOUSEMOVE:
      if (hotSet_) {
        POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        const int hotBefore = hotTab_;
        OnMouseMove(pt);
        // Leaving the hot tab ends the handling of this move.
        if (hotBefore >= 0 && hotTab_ < 0) return 0;
      }
      return Default();
    case WM_TIMER:
      if (wp == kHotTimerId && hotSet_) OnHotTimer();
      return Default();
    case WM_DESTROY: KillTimer(m_hWnd, kHotTimerId); return Default();
    default: return CWindow::WindowProc(msg, wp, lp);
  }
}
