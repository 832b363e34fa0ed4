#include "ui/ButtonST.h"

#include <commctrl.h>

#include "framework/Module.h"
#include "ui/Paint.h"

namespace {

const int kIconSize = 32;
const int kRadius = 9;

// Look of the glass panel behind icon and caption, by state.
struct PanelLook {
  COLORREF top, bottom, border;
  BYTE alpha;
};
const PanelLook kNormal{RGB(255, 255, 255), RGB(214, 232, 248), RGB(140, 170, 200), 120};
const PanelLook kHot{RGB(255, 255, 255), RGB(190, 225, 255), RGB(0, 120, 215), 225};
const PanelLook kPressed{RGB(176, 210, 240), RGB(222, 238, 255), RGB(0, 84, 160), 240};
const PanelLook kDisabled{RGB(245, 245, 245), RGB(225, 225, 225), RGB(170, 170, 170), 90};

}  // namespace

CButtonST::~CButtonST() {
  if (tooltip_) DestroyWindow(tooltip_);
  FreeIcons();
}

bool CButtonST::Attach(HWND hwnd) {
  if (!hwnd) return false;
  LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_STYLE);
  if ((style & BS_TYPEMASK) != BS_OWNERDRAW) SetWindowLongPtrA(hwnd, GWL_STYLE, (style & ~BS_TYPEMASK) | BS_OWNERDRAW);
  return CWindow::Attach(hwnd);
}

void CButtonST::FreeIcons() {
  if (hotIcon_) DestroyIcon(hotIcon_);
  if (normalIcon_) DestroyIcon(normalIcon_);
  hotIcon_ = normalIcon_ = nullptr;
}

bool CButtonST::SetIcon(UINT hotIcon, UINT normalIcon) {
  FreeIcons();
  auto load = [](UINT id) {
    return static_cast<HICON>(LoadImageA(AppInstance(), MAKEINTRESOURCEA(id), IMAGE_ICON, kIconSize, kIconSize, 0));
  };
  hotIcon_ = load(hotIcon);
  normalIcon_ = load(normalIcon);
  if (m_hWnd) InvalidateRect(m_hWnd, nullptr, FALSE);
  return hotIcon_ && normalIcon_;
}

void CButtonST::SetTooltipText(const std::string& text, bool activate) {
  if (!m_hWnd) return;
  tipText_ = text;
  TTTOOLINFOA info{};
  info.cbSize = sizeof info;
  info.hwnd = GetParent(m_hWnd);
  info.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
  if (!tooltip_) {
    tooltip_ =
        CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr, AppInstance(), nullptr);
    if (!tooltip_) return;
    // The texts have two lines; a width limit makes the tooltip honour them.
    SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, 360);
    SendMessageA(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, 15000);
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.lpszText = tipText_.data();
    SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
  } else {
    info.lpszText = tipText_.data();
    SendMessageA(tooltip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&info));
  }
  ActivateTooltip(activate);
}

void CButtonST::ActivateTooltip(bool activate) {
  if (tooltip_) SendMessageA(tooltip_, TTM_ACTIVATE, activate ? TRUE : FALSE, 0);
}

void CButtonST::DrawTransparent(bool on) {
  transparent_ = on;
  if (m_hWnd) InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CButtonST::SetBk(HDC parentBackground) {
  if (!m_hWnd || !parentBackground) return;
  RECT rc{};
  GetWindowRect(m_hWnd, &rc);
  MapWindowPoints(nullptr, GetParent(m_hWnd), reinterpret_cast<POINT*>(&rc), 2);
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  if (w <= 0 || h <= 0) return;
  HDC copy = CreateCompatibleDC(parentBackground);
  background_.Reset(CreateCompatibleBitmap(parentBackground, w, h));
  HGDIOBJ old = SelectObject(copy, background_.Get());
  BitBlt(copy, 0, 0, w, h, parentBackground, rc.left, rc.top, SRCCOPY);
  SelectObject(copy, old);
  DeleteDC(copy);
  backgroundSize_ = SIZE{w, h};
  InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CButtonST::SetHot(bool hot) {
  if (hot_ == hot) return;
  hot_ = hot;
  if (hot) {
    TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, m_hWnd, 0};
    TrackMouseEvent(&tme);
  }
  InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CButtonST::PaintPanel(HDC dc, const RECT& rc, UINT state) const {
  const bool pressed = state & ODS_SELECTED;
  const bool disabled = state & ODS_DISABLED;
  const PanelLook& look = disabled ? kDisabled : pressed ? kPressed : hot_ ? kHot : kNormal;
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;

  GdiObject<HRGN> round(CreateRoundRectRgn(rc.left, rc.top, rc.right + 1, rc.bottom + 1, kRadius, kRadius));
  SelectClipRgn(dc, round.Get());
  {
    MemoryDC panel(dc, w, h);
    RECT local{0, 0, w, h};
    FillGradient(panel.Get(), local, look.top, look.bottom, true);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, look.alpha, 0};
    AlphaBlend(dc, rc.left, rc.top, w, h, panel.Get(), 0, 0, w, h, blend);
  }
  SelectClipRgn(dc, nullptr);

  GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, look.border));
  SelectGuard usePen(dc, pen.Get());
  SelectGuard noFill(dc, GetStockObject(NULL_BRUSH));
  RoundRect(dc, rc.left, rc.top, rc.right, rc.bottom, kRadius, kRadius);
  if (hot_ && !pressed && !disabled) {
    // A soft inner highlight makes the hot button look lifted.
    GdiObject<HPEN> shine(CreatePen(PS_SOLID, 1, RGB(255, 255, 255)));
    SelectGuard useShine(dc, shine.Get());
    RoundRect(dc, rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1, kRadius - 2, kRadius - 2);
  }
}

void CButtonST::Paint(HDC target, const RECT& rc, UINT state) {
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  if (w <= 0 || h <= 0) return;
  MemoryDC mem(target, w, h);
  HDC dc = mem.Get();
  RECT local{0, 0, w, h};

  if (transparent_ && background_) {
    HDC copy = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(copy, background_.Get());
    BitBlt(dc, 0, 0, w, h, copy, 0, 0, SRCCOPY);
    SelectObject(copy, old);
    DeleteDC(copy);
  } else {
    FillRect(dc, &local, GetSysColorBrush(COLOR_BTNFACE));
  }

  const bool pressed = state & ODS_SELECTED;
  const bool disabled = state & ODS_DISABLED;
  RECT panel{1, 1, w - 1, h - 1};
  PaintPanel(dc, panel, state);

  const int shift = pressed ? 1 : 0;
  RECT content{panel.left + 7 + shift, panel.top + shift, panel.right - 4 + shift, panel.bottom + shift};
  HICON icon = CurrentIcon();
  if (icon) {
    const int y = content.top + (content.bottom - content.top - kIconSize) / 2;
    if (disabled)
      DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon), 0, content.left, y, kIconSize, kIconSize,
                 DST_ICON | DSS_DISABLED);
    else
      DrawIconEx(dc, content.left, y, icon, kIconSize, kIconSize, 0, nullptr, DI_NORMAL);
    content.left += kIconSize + 6;
  }

  char text[128] = {};
  GetWindowTextA(m_hWnd, text, sizeof text);
  HFONT font = reinterpret_cast<HFONT>(Send(WM_GETFONT));
  SelectGuard useFont(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, disabled ? GetSysColor(COLOR_GRAYTEXT) : hot_ || pressed ? RGB(0, 58, 128) : RGB(16, 42, 72));
  UINT format = DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS;
  if (state & ODS_NOACCEL) format |= DT_HIDEPREFIX;
  DrawTextA(dc, text, -1, &content, format);

  if ((state & ODS_FOCUS) && !(state & ODS_NOFOCUSRECT)) {
    RECT focus{panel.left + 3, panel.top + 3, panel.right - 3, panel.bottom - 3};
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    DrawFocusRect(dc, &focus);
  }
  BitBlt(target, rc.left, rc.top, w, h, dc, 0, 0, SRCCOPY);
}

bool CButtonST::OnReflectedMessage(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
  if (msg != WM_DRAWITEM) return false;
  auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
  if (dis->CtlType != ODT_BUTTON) return false;
  Paint(dis->hDC, dis->rcItem, dis->itemState);
  result = TRUE;
  return true;
}

LRESULT CButtonST::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_MOUSEMOVE: SetHot(true); return Default();
    case WM_MOUSELEAVE: SetHot(false); return Default();
    case WM_ERASEBKGND: return TRUE;  // the whole button is painted at once
    case WM_SETTEXT: {
      LRESULT r = Default();
      InvalidateRect(m_hWnd, nullptr, FALSE);
      return r;
    }
    case WM_SIZE:
      // The copy no longer matches the area under the button; the parent's
      // next background repaint gives a new one.
      background_.Reset();
      return Default();
    default: return CWindow::WindowProc(msg, wp, lp);
  }
}
