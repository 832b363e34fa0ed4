#include "ui/markup/MarkupStatic.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ui/markup/MarkupBackground.h"

namespace {

std::string Narrow(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n : 1, '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, text, -1, s.data(), n, nullptr, nullptr);
  s.resize(n > 0 ? n - 1 : 0);
  return s;
}

std::wstring Widen(const std::string& text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring w(n > 0 ? n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), w.data(), n);
  return w;
}

}  // namespace

MarkupStatic::MarkupStatic() : textColour_(GetSysColor(COLOR_WINDOWTEXT)) {
  bk_[0] = bk_[1] = bk_[2] = GetSysColor(COLOR_BTNFACE);
  ApplyLinkStyles();
}

MarkupStatic::~MarkupStatic() {
  if (m_hWnd) KillTimer(m_hWnd, kTimerId);
  if (bkCache_) DeleteObject(bkCache_);
  if (region_) DeleteObject(region_);
}

bool MarkupStatic::AttachStatic(HWND hwnd) {
  if (!hwnd) return false;
  const int n = GetWindowTextLengthA(hwnd);
  std::string text(n + 1, '\0');
  text.resize(GetWindowTextA(hwnd, text.data(), n + 1));
  if (!Attach(hwnd)) return false;
  // The font the dialog gave the static when it was made is not taken
  // over: the text keeps the style sheet's body font until a new font comes.
  text_ = text;
  if (interval_) SetTimer(m_hWnd, kTimerId, interval_, nullptr);
  Redraw();
  return true;
}

void MarkupStatic::Redraw() {
  if (m_hWnd) InvalidateRect(m_hWnd, nullptr, FALSE);
}

void MarkupStatic::SetMargins(int horizontal, int vertical) {
  marginX_ = std::max(0, horizontal);
  marginY_ = std::max(0, vertical);
  Redraw();
}

void MarkupStatic::SetAlignment(UINT bits) {
  align_ = bits & 15;
  Redraw();
}

void MarkupStatic::SetTextColour(COLORREF c) {
  textColour_ = c;
  Redraw();
}

void MarkupStatic::SetBackgroundMode(int mode) {
  bkMode_ = mode;
  bkSize_ = SIZE{};
  Redraw();
}

void MarkupStatic::SetBackgroundColours(COLORREF begin, COLORREF middle, COLORREF end) {
  bk_[0] = begin;
  bk_[1] = middle;
  bk_[2] = end;
  bkSize_ = SIZE{};
  Redraw();
}

void MarkupStatic::SetBackgroundEffect(int effect, int granularity) {
  effect_ = effect;
  granularity_ = std::max(1, granularity);
  bkSize_ = SIZE{};
  Redraw();
}

void MarkupStatic::SetFrame(HBRUSH brush, int width, int height) {
  frame_ = brush;
  frameW_ = std::max(1, width);
  frameH_ = std::max(1, height);
  Redraw();
}

void MarkupStatic::SetRoundedCorners(int radius) {
  if (!m_hWnd) return;
  if (region_) DeleteObject(region_);
  region_ = nullptr;
  if (radius <= 0) {
    SetWindowRgn(m_hWnd, nullptr, TRUE);
    return;
  }
  const RECT rc = ClientRect();
  region_ = CreateRoundRectRgn(0, 0, rc.right + 1, rc.bottom + 1, radius, radius);
  HRGN forWindow = CreateRectRgn(0, 0, 0, 0);
  CombineRgn(forWindow, region_, nullptr, RGN_COPY);
  SetWindowRgn(m_hWnd, forWindow, TRUE);  // the window owns this copy now
}

void MarkupStatic::SetAnimationInterval(UINT ms) {
  interval_ = ms;
  if (!m_hWnd) return;
  if (ms)
    SetTimer(m_hWnd, kTimerId, ms, nullptr);
  else
    KillTimer(m_hWnd, kTimerId);
}

void MarkupStatic::SetLinkColours(COLORREF link, COLORREF hover, bool linkUnderline, bool hoverUnderline) {
  linkColour_ = link;
  hoverColour_ = hover;
  linkUnderline_ = linkUnderline;
  hoverUnderline_ = hoverUnderline;
  ApplyLinkStyles();
  Redraw();
}

void MarkupStatic::ApplyLinkStyles() {
  char buf[96];
  std::snprintf(buf, sizeof buf, "text-decoration:%s; color:0x%06lX", linkUnderline_ ? "underline" : "none",
                static_cast<unsigned long>(linkColour_ & 0xFFFFFF));
  drawer_.StyleSheet().Set("a:link", buf);
  std::snprintf(buf, sizeof buf, "text-decoration:%s; color:0x%06lX", hoverUnderline_ ? "underline" : "none",
                static_cast<unsigned long>(hoverColour_ & 0xFFFFFF));
  drawer_.StyleSheet().Set("a:hover", buf);
  drawer_.SetText(drawer_.Text());  // the style sheet changed: lay out again
}

void MarkupStatic::OnFont(HFONT font) {
  LOGFONTA lf{};
  if (!font || !GetObjectA(font, sizeof lf, &lf)) return;
  // The font's height in points (a negative height is the character height
  // in pixels, a positive one the cell height).
  HDC screen = GetDC(nullptr);
  const int ppi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  const int pixels = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight * 4 / 5;
  const int points = std::max(1, (pixels * 72 + ppi / 2) / std::max(1, ppi));
  char buf[160];
  std::snprintf(buf, sizeof buf, "font-size:%dpt; color:0x%06lX; font-family:%s; font-weight:%ld%s", points,
                static_cast<unsigned long>(GetSysColor(COLOR_WINDOWTEXT) & 0xFFFFFF), lf.lfFaceName,
                static_cast<long>(lf.lfWeight), lf.lfItalic ? "; font-style:italic" : "");
  drawer_.StyleSheet().Set("body", buf);
  drawer_.SetText(drawer_.Text());
}

std::string MarkupStatic::DrawnText() const {
  if (textColour_ == kNoTextColour) return text_;
  char open[32];
  std::snprintf(open, sizeof open, "<font color=0x%06lX>", static_cast<unsigned long>(textColour_ & 0xFFFFFF));
  return open + text_ + "</font>";
}

void MarkupStatic::PaintBackground(HDC dc, const RECT& rc) {
  const SIZE size{rc.right, rc.bottom};
  if (!bkCache_ || size.cx != bkSize_.cx || size.cy != bkSize_.cy) {
    if (bkCache_) DeleteObject(bkCache_);
    bkCache_ = CreateCompatibleBitmap(dc, std::max<LONG>(1, size.cx), std::max<LONG>(1, size.cy));
    bkSize_ = size;
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bkCache_);
    if (bkMode_ == kBackgroundParent) {
      // What the screen shows behind the control.
      HWND parent = GetParent(m_hWnd);
      POINT at{0, 0};
      MapWindowPoints(m_hWnd, parent, &at, 1);
      HDC pdc = GetDC(parent);
      BitBlt(mem, 0, 0, size.cx, size.cy, pdc, at.x, at.y, SRCCOPY);
      ReleaseDC(parent, pdc);
    } else {
      const COLORREF face = GetSysColor(COLOR_BTNFACE);
      PaintMarkupEffect(mem, rc, 0, face, face, face, 1);
      PaintMarkupEffect(mem, rc, effect_, bk_[0], bk_[1], bk_[2], granularity_);
    }
    SelectObject(mem, old);
    DeleteDC(mem);
  }
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, bkCache_);
  BitBlt(dc, 0, 0, size.cx, size.cy, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
}

void MarkupStatic::Paint(HDC target) {
  const RECT rc = ClientRect();
  const int w = rc.right, h = rc.bottom;
  if (w <= 0 || h <= 0) return;
  HDC dc = CreateCompatibleDC(target);
  HBITMAP bmp = CreateCompatibleBitmap(target, w, h);
  HGDIOBJ oldBmp = SelectObject(dc, bmp);
  PaintBackground(dc, rc);

  const LONG style = GetWindowLongA(m_hWnd, GWL_STYLE);
  // SS_LEFTNOWORDWRAP and its relatives keep every line whole.
  const bool wrap = (style & 0x0C) == 0;
  drawer_.SetMaxWidth(wrap ? std::max(1, w - 2 * marginX_ - 1) : 0);
  drawer_.SetEnabled(IsWindowEnabled(m_hWnd) != FALSE);
  const std::string drawn = DrawnText();
  if (drawn != drawer_.Text()) drawer_.SetText(drawn);
  const SIZE size = drawer_.Measure(dc);

  UINT horizontal = align_ & 3, vertical = align_ & 12;
  if (align_ == 0) {
    const LONG type = style & SS_TYPEMASK;
    horizontal = type == SS_CENTER ? kAlignCentre : type == SS_RIGHT ? kAlignRight : kAlignLeft;
    vertical = (style & SS_CENTERIMAGE) ? kAlignVCentre : kAlignTop;
  }
  if (!horizontal) horizontal = kAlignLeft;
  if (!vertical) vertical = kAlignTop;
  int x = marginX_, y = marginY_;
  if (horizontal == kAlignRight)
    x = w - marginX_ - size.cx;
  else if (horizontal == kAlignCentre)
    x = (w - size.cx) / 2;
  if (vertical == kAlignBottom)
    y = h - marginY_ - size.cy;
  else if (vertical == kAlignVCentre)
    y = (h - size.cy) / 2;
  box_ = RECT{x, y, x + size.cx, y + size.cy};
  drawer_.Draw(dc, x, y);

  if (frame_) {
    if (region_) {
      FrameRgn(dc, region_, frame_, frameW_, frameH_);
    } else {
      HRGN r = CreateRectRgn(0, 0, w, h);
      FrameRgn(dc, r, frame_, frameW_, frameH_);
      DeleteObject(r);
    }
  }
  BitBlt(target, 0, 0, w, h, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldBmp);
  DeleteObject(bmp);
  DeleteDC(dc);
}

LRESULT MarkupStatic::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(m_hWnd, &ps);
      Paint(dc);
      EndPaint(m_hWnd, &ps);
      return 0;
    }
    case WM_PRINTCLIENT: Paint(reinterpret_cast<HDC>(wp)); return 0;
    case WM_ERASEBKGND: return 1;
    // The subclass makes the window a Unicode one: text messages may come
    // with wide strings, which the system converts for ANSI callers.
    case WM_SETTEXT:
      text_ = !lp                       ? std::string()
              : IsWindowUnicode(m_hWnd) ? Narrow(reinterpret_cast<const wchar_t*>(lp))
                                        : std::string(reinterpret_cast<const char*>(lp));
      Default();
      Redraw();
      return TRUE;
    case WM_GETTEXT: {
      if (!wp || !lp) return 0;
      if (IsWindowUnicode(m_hWnd)) {
        const std::wstring wide = Widen(text_);
        const size_t n = std::min(wide.size(), static_cast<size_t>(wp - 1));
        std::memcpy(reinterpret_cast<wchar_t*>(lp), wide.data(), n * sizeof(wchar_t));
        reinterpret_cast<wchar_t*>(lp)[n] = L'\0';
        return static_cast<LRESULT>(n);
      }
      const size_t n = std::min(text_.size(), static_cast<size_t>(wp - 1));
      std::memcpy(reinterpret_cast<char*>(lp), text_.data(), n);
      reinterpret_cast<char*>(lp)[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(IsWindowUnicode(m_hWnd) ? Widen(text_).size() : text_.size());
    case WM_SETFONT: {
      OnFont(reinterpret_cast<HFONT>(wp));
      const LRESULT r = Default();
      if (LOWORD(lp)) Redraw();
      return r;
    }
    case WM_ENABLE: Redraw(); return Default();
    case WM_SIZE:
      bkSize_ = SIZE{};
      Redraw();
      return Default();
    case WM_NCHITTEST: return HTCLIENT;  // links need the mouse whatever the static's style
    case WM_MOUSEMOVE: {
      if (!tracking_) {
        TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, m_hWnd, 0};
        tracking_ = TrackMouseEvent(&tme) != FALSE;
      }
      if (drawer_.OnMouseMove(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)})) Redraw();
      return 0;
    }
    case WM_MOUSELEAVE:
      tracking_ = false;
      if (drawer_.OnMouseLeave()) Redraw();
      return 0;
    case WM_SETCURSOR: {
      POINT pt;
      GetCursorPos(&pt);
      ScreenToClient(m_hWnd, &pt);
      if (drawer_.OnSetCursor(pt)) return TRUE;
      return Default();
    }
    case WM_LBUTTONDOWN: pressed_ = drawer_.LinkAt(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}); return Default();
    case WM_LBUTTONUP: {
      const POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      // A click is a press and release over the same link.
      if (pressed_ != MarkupDrawer::kNoArea && drawer_.LinkAt(pt) == pressed_) drawer_.OnClick(pt);
      pressed_ = MarkupDrawer::kNoArea;
      return Default();
    }
    case WM_TIMER:
      if (wp == kTimerId) {
        drawer_.NextFrame();
        Redraw();
        return 0;
      }
      return Default();
    case WM_DESTROY: KillTimer(m_hWnd, kTimerId); return Default();
    default: return CWindow::WindowProc(msg, wp, lp);
  }
}
