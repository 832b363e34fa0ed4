#include "ui/colour/ColourPickerXP.h"

#include <algorithm>
#include <cstdio>

#include "framework/Handle.h"
#include "ui/Paint.h"

namespace {

const int kArrowWidth = 12;  // the area of the drop-down arrow in colour mode

void DrawArrow(HDC dc, const RECT& area, COLORREF colour) {
  // A small downward triangle, 7 pixels wide and 4 high, centred.
  const int cx = (area.left + area.right) / 2, cy = (area.top + area.bottom) / 2;
  GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, colour));
  SelectGuard usePen(dc, pen.Get());
  for (int row = 0; row < 4; ++row) {
    MoveToEx(dc, cx - 3 + row, cy - 2 + row, nullptr);
    LineTo(dc, cx + 4 - row, cy - 2 + row);
  }
}

void FillSolid(HDC dc, const RECT& rc, COLORREF colour) {
  GdiObject<HBRUSH> brush(CreateSolidBrush(colour));
  FillRect(dc, &rc, brush.Get());
}

}  // namespace

CColourPickerXP::CColourPickerXP()
    : colour_(CLR_AUTOMATIC), defaultColour_(GetSysColor(COLOR_APPWORKSPACE)), defaultText_("Automatic"),
      customText_("More Colors..."), flatMenus_(SystemHasFlatMenus()), beforeDropDown_(CLR_AUTOMATIC) {}

bool CColourPickerXP::Attach(HWND hwnd) {
  if (!hwnd) return false;
  LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_STYLE);
  if ((style & BS_TYPEMASK) != BS_OWNERDRAW) SetWindowLongPtrA(hwnd, GWL_STYLE, (style & ~BS_TYPEMASK) | BS_OWNERDRAW);
  return CWindow::Attach(hwnd);
}

COLORREF CColourPickerXP::GetColour(bool defaultWhenAutomatic) const {
  return defaultWhenAutomatic && colour_ == CLR_AUTOMATIC ? defaultColour_ : colour_;
}

void CColourPickerXP::Redraw() const {
  if (m_hWnd) InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CColourPickerXP::SetColour(COLORREF colour) {
  colour_ = colour;
  Redraw();
}

void CColourPickerXP::SetDefaultColour(COLORREF colour) {
  defaultColour_ = colour;
  Redraw();
}

void CColourPickerXP::SetDefaultText(const std::string& text) {
  defaultText_ = text;
  if (showText_ && colour_ == CLR_AUTOMATIC) Redraw();
}

void CColourPickerXP::SetShowText(bool on) {
  showText_ = on;
  if (on && m_hWnd) {
    // The field is as high as the button's font plus a frame.
    HDC dc = GetDC(m_hWnd);
    HFONT font = reinterpret_cast<HFONT>(Send(WM_GETFONT));
    SelectGuard useFont(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    ReleaseDC(m_hWnd, dc);
    RECT rc{};
    GetWindowRect(m_hWnd, &rc);
    SetWindowPos(m_hWnd, nullptr, 0, 0, rc.right - rc.left, tm.tmHeight + 8,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  Redraw();
}

void CColourPickerXP::SetChannelLabels(const std::string& labels) {
  labels_ = labels;
  if (labels_.size() < 3) labels_.resize(3, ' ');
  if (showText_) Redraw();
}

void CColourPickerXP::SetAddColourName(bool on) {
  addColourName_ = on;
  if (showText_) Redraw();
}

std::string CColourPickerXP::DisplayText() const {
  if (colour_ == CLR_AUTOMATIC) return defaultText_;
  char values[64];
  std::snprintf(values, sizeof values, "%c:%d %c:%d %c:%d", labels_[0], GetRValue(colour_), labels_[1],
                GetGValue(colour_), labels_[2], GetBValue(colour_));
  const int entry = FindColourEntry(colour_);
  if (entry < 0) return values;
  if (!addColourName_) return kColourTable[entry].name;
  return std::string(kColourTable[entry].name) + " (" + values + ")";
}

void CColourPickerXP::Notify(UINT msg, COLORREF colour) const {
  if (HWND parent = GetParent(m_hWnd)) SendMessageA(parent, msg, colour, static_cast<LPARAM>(GetDlgCtrlID(m_hWnd)));
}

void CColourPickerXP::DropDown() {
  if (!m_hWnd || active_) return;
  active_ = true;
  beforeDropDown_ = colour_;
  Redraw();
  if (!CColourPopup::Open(m_hWnd, colour_, defaultColour_, defaultText_, customText_, customColourSection_)) {
    active_ = false;
    Redraw();
    return;
  }
  Notify(CPN_DROPDOWN, colour_);
}

void CColourPickerXP::DrawColourMode(HDC dc, const RECT& rc, UINT state) const {
  const bool disabled = state & ODS_DISABLED;
  const bool pressed = active_ || (state & ODS_SELECTED);
  RECT frame = rc;
  DrawFrameControl(dc, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
  RECT inner = rc;
  InflateRect(&inner, -GetSystemMetrics(SM_CXEDGE), -GetSystemMetrics(SM_CYEDGE));
  if (pressed) OffsetRect(&inner, 1, 1);

  RECT arrow{inner.right - kArrowWidth, inner.top, inner.right, inner.bottom};
  if (disabled) {
    RECT shadow = arrow;
    OffsetRect(&shadow, 1, 1);
    DrawArrow(dc, shadow, GetSysColor(COLOR_3DHILIGHT));
  }
  DrawArrow(dc, arrow, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));

  // The separator between the colour and the arrow.
  const int sepX = arrow.left - 2;
  RECT sep{sepX, inner.top + 2, sepX + 2, inner.bottom - 2};
  if (flatMenus_) {
    sep.right = sep.left + 1;
    FillRect(dc, &sep, GetSysColorBrush(COLOR_3DSHADOW));
  } else {
    DrawEdge(dc, &sep, EDGE_ETCHED, BF_LEFT);
  }

  RECT field{inner.left + 3, inner.top + 3, sepX - 3, inner.bottom - 3};
  if (field.right > field.left && field.bottom > field.top) {
    COLORREF shown = GetColour(true);
    if (disabled) shown = MixColour(shown, GetSysColor(COLOR_BTNFACE), 60);
    FillSolid(dc, field, shown);
    FrameRect(dc, &field, GetSysColorBrush(disabled ? COLOR_GRAYTEXT : COLOR_WINDOWFRAME));
  }
  if ((state & ODS_FOCUS) && !(state & ODS_NOFOCUSRECT)) {
    RECT focus{inner.left + 1, inner.top + 1, inner.right - 1, inner.bottom - 1};
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    DrawFocusRect(dc, &focus);
  }
}

void CColourPickerXP::DrawTextMode(HDC dc, const RECT& rc, UINT state) const {
  const bool disabled = state & ODS_DISABLED;
  const bool focused = (state & ODS_FOCUS) && !active_;
  FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
  RECT field = rc;
  DrawEdge(dc, &field, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  FillRect(dc, &field, GetSysColorBrush(disabled ? COLOR_BTNFACE : COLOR_WINDOW));

  const int arrowW = GetSystemMetrics(SM_CXVSCROLL);
  RECT arrow{field.right - arrowW, field.top, field.right, field.bottom};
  DrawFrameControl(dc, &arrow, DFC_SCROLL,
                   DFCS_SCROLLCOMBOBOX | (active_ ? DFCS_PUSHED | DFCS_FLAT : 0) | (disabled ? DFCS_INACTIVE : 0));

  RECT body{field.left + 2, field.top + 2, arrow.left - 2, field.bottom - 2};
  const int side = body.bottom - body.top;
  if (side <= 0 || body.right <= body.left) return;
  RECT swatch{body.left, body.top, body.left + side * 3 / 2, body.bottom};
  COLORREF shown = GetColour(true);
  if (disabled) shown = MixColour(shown, GetSysColor(COLOR_BTNFACE), 60);
  FillSolid(dc, swatch, shown);
  FrameRect(dc, &swatch, GetSysColorBrush(disabled ? COLOR_GRAYTEXT : COLOR_WINDOWFRAME));

  RECT text{swatch.right + 3, body.top, body.right, body.bottom};
  const std::string label = DisplayText();
  HFONT font = reinterpret_cast<HFONT>(Send(WM_GETFONT));
  SelectGuard useFont(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
  SIZE extent{};
  GetTextExtentPoint32A(dc, label.c_str(), static_cast<int>(label.size()), &extent);
  RECT mark = text;
  mark.right = std::min<LONG>(text.right, text.left + extent.cx + 4);
  if (focused) FillRect(dc, &mark, GetSysColorBrush(COLOR_HIGHLIGHT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  RECT inset = text;
  inset.left += 2;
  DrawTextA(dc, label.c_str(), -1, &inset, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX);
  if (focused && !(state & ODS_NOFOCUSRECT)) {
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    DrawFocusRect(dc, &mark);
  }
}

void CColourPickerXP::DrawItem(HDC target, const RECT& rc, UINT state) {
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  if (w <= 0 || h <= 0) return;
  MemoryDC mem(target, w, h);
  RECT local{0, 0, w, h};
  FillRect(mem.Get(), &local, GetSysColorBrush(COLOR_BTNFACE));
  if (showText_)
    DrawTextMode(mem.Get(), local, state);
  else
    DrawColourMode(mem.Get(), local, state);
  BitBlt(target, rc.left, rc.top, w, h, mem.Get(), 0, 0, SRCCOPY);
}

bool CColourPickerXP::OnReflectedMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg == WM_DRAWITEM) {
    auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
    if (dis->CtlType != ODT_BUTTON) return false;
    DrawItem(dis->hDC, dis->rcItem, dis->itemState);
    result = TRUE;
    return true;
  }
  if (msg == WM_COMMAND && (HIWORD(wp) == BN_CLICKED || HIWORD(wp) == BN_DOUBLECLICKED)) {
    DropDown();
    result = 0;
    return true;
  }
  return false;
}

LRESULT CColourPickerXP::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case CPN_SELCHANGE:
      // The colour under the mouse or keys in the open palette.
      if (followMouse_) {
        colour_ = static_cast<COLORREF>(wp);
        Redraw();
        UpdateWindow(m_hWnd);
      }
      Notify(CPN_SELCHANGE, static_cast<COLORREF>(wp));
      return 0;
    case CPN_SELENDOK: {
      active_ = false;
      const COLORREF chosen = static_cast<COLORREF>(wp);
      SetColour(chosen);
      Notify(CPN_CLOSEUP, chosen);
      Notify(CPN_SELENDOK, chosen);
      if (chosen != beforeDropDown_) Notify(CPN_SELCHANGE, chosen);
      return 0;
    }
    case CPN_SELENDCANCEL:
      active_ = false;
      SetColour(beforeDropDown_);
      Notify(CPN_CLOSEUP, beforeDropDown_);
      Notify(CPN_SELENDCANCEL, beforeDropDown_);
      return 0;
    case WM_MOUSEMOVE:
      if (!mouseInside_) {
        mouseInside_ = true;
        TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, m_hWnd, 0};
        TrackMouseEvent(&tme);
      }
      return Default();
    case WM_MOUSELEAVE: mouseInside_ = false; return Default();
    case WM_KEYDOWN:
      // Alt+Down and F4 open the palette as a combo box does.
      if (wp == VK_F4 || (wp == VK_DOWN && (GetKeyState(VK_MENU) & 0x8000))) {
        DropDown();
        return 0;
      }
      return Default();
    case WM_SYSKEYDOWN:
      if (wp == VK_DOWN) {
        DropDown();
        return 0;
      }
      return Default();
    case WM_ERASEBKGND: return TRUE;
    default: return CWindow::WindowProc(msg, wp, lp);
  }
}
