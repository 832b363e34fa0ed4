#include "ui/colour/ColourPopup.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>

#include "framework/Handle.h"
#include "framework/Module.h"
#include "framework/Profile.h"
#include "ui/Paint.h"

const ColourTableEntry kColourTable[kColourCount] = {
    {RGB(0, 0, 0), "Black"},
    {RGB(165, 42, 0), "Brown"},
    {RGB(0, 64, 64), "Dark Olive Green"},
    {RGB(0, 85, 0), "Dark Green"},
    {RGB(0, 0, 94), "Dark Teal"},
    {RGB(0, 0, 139), "Dark blue"},
    {RGB(75, 0, 130), "Indigo"},
    {RGB(40, 40, 40), "Dark grey"},
    {RGB(139, 0, 0), "Dark red"},
    {RGB(255, 104, 32), "Orange"},
    {RGB(139, 139, 0), "Dark yellow"},
    {RGB(0, 147, 0), "Green"},
    {RGB(56, 142, 142), "Teal"},
    {RGB(0, 0, 255), "Blue"},
    {RGB(123, 123, 192), "Blue-grey"},
    {RGB(102, 102, 102), "Grey - 40"},
    {RGB(255, 0, 0), "Red"},
    {RGB(255, 173, 91), "Light orange"},
    {RGB(50, 205, 50), "Lime"},
    {RGB(60, 179, 113), "Sea green"},
    {RGB(127, 255, 212), "Aqua"},
    {RGB(125, 158, 192), "Light blue"},
    {RGB(128, 0, 128), "Violet"},
    {RGB(128, 128, 128), "Grey - 50"},
    {RGB(255, 192, 203), "Pink"},
    {RGB(255, 215, 0), "Gold"},
    {RGB(255, 255, 0), "Yellow"},
    {RGB(0, 255, 0), "Bright green"},
    {RGB(64, 224, 208), "Turquoise"},
    {RGB(192, 255, 255), "Skyblue"},
    {RGB(72, 0, 72), "Plum"},
    {RGB(192, 192, 192), "Light grey"},
    {RGB(255, 228, 225), "Rose"},
    {RGB(210, 180, 140), "Tan"},
    {RGB(255, 255, 224), "Light yellow"},
    {RGB(152, 251, 152), "Pale green "},
    {RGB(175, 238, 238), "Pale turquoise"},
    {RGB(104, 131, 139), "Pale blue"},
    {RGB(230, 230, 250), "Lavender"},
    {RGB(255, 255, 255), "White"},
};

int FindColourEntry(COLORREF colour) {
  for (int i = 0; i < kColourCount; ++i)
    if (kColourTable[i].colour == colour) return i;
  return -1;
}

CColourPopup::ChooseColourFn CColourPopup::chooseColour = &ChooseColorA;

namespace {

constexpr int kRows = (kColourCount + CColourPopup::kColumns - 1) / CColourPopup::kColumns;
CColourPopup* g_current = nullptr;  // the user-interface thread's open palette

bool SystemFlag(UINT action) {
  BOOL on = FALSE;
  return SystemParametersInfoA(action, 0, &on, 0) && on;
}

}  // namespace

bool SystemHasFlatMenus() { return !WindowsOlderThanXp() && SystemFlag(SPI_GETFLATMENU); }

namespace {

const char* ClassName(bool shadow) { return shadow ? "VarnokelColourPopupShadow" : CColourPopup::kClassName; }

bool RegisterPopupClass(bool shadow, WNDPROC proc) {
  WNDCLASSA wc{};
  if (GetClassInfoA(AppInstance(), ClassName(shadow), &wc)) return true;
  wc.style = CS_SAVEBITS | CS_CLASSDC | CS_HREDRAW | CS_VREDRAW | (shadow ? CS_DROPSHADOW : 0);
  wc.lpfnWndProc = proc;
  wc.hInstance = AppInstance();
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = ClassName(shadow);
  return RegisterClassA(&wc) != 0;
}

RECT ScreenOf(const RECT& rc) {
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (GetMonitorInfoA(MonitorFromRect(&rc, MONITOR_DEFAULTTONEAREST), &mi)) return mi.rcWork;
  RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  return screen;
}

}  // namespace

CColourPopup::CColourPopup(HWND button, COLORREF initial, COLORREF defaultColour, const std::string& defaultText,
                           const std::string& customText, const std::string& section)
    : button_(button), initial_(initial), defaultColour_(defaultColour), defaultText_(defaultText),
      customText_(customText), section_(section), chosen_(initial) {
  NONCLIENTMETRICSA ncm{};
  ncm.cbSize = sizeof ncm;
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) font_ = CreateFontIndirectA(&ncm.lfMenuFont);
  flatMenus_ = SystemHasFlatMenus();
  margin_ = GetSystemMetrics(SM_CXEDGE);
  if (margin_ <= 0) margin_ = 2;

  const int entry = FindColourEntry(initial);
  if (entry >= 0)
    selected_ = entry;
  else if (initial == CLR_AUTOMATIC && !defaultText_.empty())
    selected_ = kDefaultBox;
  else if (!customText_.empty())
    selected_ = kCustomBox;
  Measure();
}

CColourPopup::~CColourPopup() {
  if (g_current == this) g_current = nullptr;
  if (font_) DeleteObject(font_);
}

CColourPopup* CColourPopup::Current() { return g_current; }

void CColourPopup::Measure() {
  HDC dc = GetDC(nullptr);
  SelectGuard useFont(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
  auto textSize = [&](const std::string& s) {
    SIZE sz{0, 0};
    if (!s.empty()) GetTextExtentPoint32A(dc, s.c_str(), static_cast<int>(s.size()), &sz);
    return sz;
  };
  const SIZE d = textSize(defaultText_), c = textSize(customText_);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  ReleaseDC(nullptr, dc);

  const int m = margin_;
  const int gridW = kColumns * kCellSize, gridH = kRows * kCellSize;
  // The default box carries a small swatch of the default colour before
  // its text; both boxes are as wide as the grid or their text.
  const int swatch = kCellSize;
  int inner = gridW;
  if (!defaultText_.empty()) inner = std::max<int>(inner, d.cx + swatch + 4 * m);
  if (!customText_.empty()) inner = std::max<int>(inner, c.cx + 2 * m);
  const int boxH = tm.tmHeight + 4 * m + 2;

  int y = m;
  if (!defaultText_.empty()) {
    defaultBox_ = RECT{m, y, m + inner, y + boxH};
    y += boxH + m;
  }
  gridOrigin_ = POINT{m + (inner - gridW) / 2, y};
  y += gridH;
  if (!customText_.empty()) {
    y += m;
    customBox_ = RECT{m, y, m + inner, y + boxH};
    y += boxH;
  }
  size_ = SIZE{inner + 2 * m, y + m};
}

POINT CColourPopup::Place(const RECT& button, SIZE size, const RECT& screen) {
  POINT p{button.left, button.bottom};
  if (p.x + size.cx > screen.right) p.x = screen.right - size.cx;
  if (p.x < screen.left) p.x = screen.left;
  if (p.y + size.cy > screen.bottom) p.y = button.top - size.cy;
  return p;
}

CColourPopup* CColourPopup::Open(HWND button, COLORREF initial, COLORREF defaultColour, const std::string& defaultText,
                                 const std::string& customText, const std::string& section) {
  if (!button || g_current) return nullptr;
  const bool shadow = SystemFlag(SPI_GETDROPSHADOW);
  if (!RegisterPopupClass(shadow, &CColourPopup::Proc)) return nullptr;
  auto* popup = new CColourPopup(button, initial, defaultColour, defaultText, customText, section);

  RECT rc{};
  GetWindowRect(button, &rc);
  const POINT at = Place(rc, popup->size_, ScreenOf(rc));
  HWND parent = GetParent(button);
  HWND owner = GetAncestor(button, GA_ROOT);
  // The dialog under the palette must not repaint while the palette comes
  // up, and its caption stays active although the palette takes the focus.
  if (parent) SendMessageA(parent, WM_SETREDRAW, FALSE, 0);
  HWND hwnd = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, ClassName(shadow), "", WS_POPUP, at.x, at.y,
                              popup->size_.cx, popup->size_.cy, owner, nullptr, AppInstance(), popup);
  if (parent) {
    SendMessageA(parent, WM_SETREDRAW, TRUE, 0);
    // Repaints that fell into the pause (a button losing its focus, say)
    // would be lost otherwise.
    RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }
  if (!hwnd) {
    delete popup;
    return nullptr;
  }
  g_current = popup;
  popup->CreateTooltips();
  ShowWindow(hwnd, SW_SHOW);
  SetFocus(hwnd);
  if (owner) SendMessageA(owner, WM_NCACTIVATE, TRUE, 0);
  SetCapture(hwnd);
  return popup;
}

void CColourPopup::CreateTooltips() {
  tooltip_ =
      CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, AppInstance(), nullptr);
  if (!tooltip_) return;
  for (int i = 0; i < kColourCount; ++i) {
    TTTOOLINFOA info{};
    info.cbSize = sizeof info;
    info.hwnd = hwnd_;
    info.uId = static_cast<UINT_PTR>(i);
    info.rect = ItemRect(i);
    info.lpszText = const_cast<char*>(kColourTable[i].name);
    SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
  }
}

RECT CColourPopup::ItemRect(int item) const {
  if (item >= 0 && item < kColourCount) {
    const int x = gridOrigin_.x + (item % kColumns) * kCellSize;
    const int y = gridOrigin_.y + (item / kColumns) * kCellSize;
    return RECT{x, y, x + kCellSize, y + kCellSize};
  }
  if (item == kDefaultBox && !defaultText_.empty()) return defaultBox_;
  if (item == kCustomBox && !customText_.empty()) return customBox_;
  return RECT{};
}

int CColourPopup::ItemAt(POINT pt) const {
  for (int item : {kDefaultBox, kCustomBox}) {
    RECT rc = ItemRect(item);
    if (PtInRect(&rc, pt)) return item;
  }
  const int cx = pt.x - gridOrigin_.x, cy = pt.y - gridOrigin_.y;
  if (cx < 0 || cy < 0 || cx >= kColumns * kCellSize) return kNoItem;
  const int index = (cy / kCellSize) * kColumns + cx / kCellSize;
  return index < kColourCount ? index : kNoItem;
}

int CColourPopup::Step(int item, UINT key, bool hasDefault, bool hasCustom) {
  const int last = kColourCount - 1;
  switch (key) {
    case VK_LEFT:
    case VK_RIGHT: {
      // The cycle: default box, the cells in order, custom box.
      int order[kColourCount + 2];
      int n = 0;
      if (hasDefault) order[n++] = kDefaultBox;
      for (int i = 0; i < kColourCount; ++i) order[n++] = i;
      if (hasCustom) order[n++] = kCustomBox;
      int pos = -1;
      for (int i = 0; i < n; ++i)
        if (order[i] == item) pos = i;
      if (key == VK_RIGHT) return order[pos < 0 ? 0 : (pos + 1) % n];
      return order[pos < 0 ? n - 1 : (pos + n - 1) % n];
    }
    case VK_UP:
      if (item >= kColumns && item <= last) return item - kColumns;
      if (item >= 0 && item < kColumns && hasDefault) return kDefaultBox;
      if ((item >= 0 && item < kColumns) || item == kDefaultBox) return hasCustom ? kCustomBox : last;
      return last;  // from the custom box or from nothing
    case VK_DOWN:
      if (item >= 0 && item + kColumns <= last) return item + kColumns;
      if (item >= 0 && hasCustom) return kCustomBox;
      if ((item >= 0 || item == kCustomBox) && hasDefault) return kDefaultBox;
      return 0;  // from the default box or from nothing
    default: return item;
  }
}

COLORREF CColourPopup::ItemColour(int item) const {
  if (item >= 0 && item < kColourCount) return kColourTable[item].colour;
  if (item == kDefaultBox) return CLR_AUTOMATIC;
  return initial_;  // the custom box and no item report the colour the palette began with
}

void CColourPopup::InvalidateItem(int item) {
  RECT rc = ItemRect(item);
  if (!IsRectEmpty(&rc)) InvalidateRect(hwnd_, &rc, FALSE);
}

void CColourPopup::SetHot(int item) {
  if (item == hot_) return;
  InvalidateItem(hot_);
  hot_ = item;
  InvalidateItem(hot_);
  chosen_ = ItemColour(item);
  SendMessageA(button_, CPN_SELCHANGE, chosen_, 0);
}

void CColourPopup::LoadCustomColours(const std::string& section, COLORREF colours[16]) {
  for (int i = 0; i < 16; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "CUSTOM_COLOR_%d", i);
    colours[i] = section.empty() ? RGB(255, 255, 255)
                                 : static_cast<COLORREF>(profile::GetInt(section, name, RGB(255, 255, 255)));
  }
}

void CColourPopup::SaveCustomColours(const std::string& section, const COLORREF colours[16]) {
  if (section.empty()) return;
  for (int i = 0; i < 16; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "CUSTOM_COLOR_%d", i);
    profile::WriteInt(section, name, static_cast<int>(colours[i]));
  }
}

bool CColourPopup::RunColourDialog() {
  COLORREF custom[16];
  LoadCustomColours(section_, custom);
  CHOOSECOLORA cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = GetAncestor(button_, GA_ROOT);
  cc.rgbResult = initial_ == CLR_AUTOMATIC ? RGB(0, 0, 0) : initial_;
  cc.lpCustColors = custom;
  cc.Flags = CC_FULLOPEN | CC_ANYCOLOR | CC_RGBINIT;
  const bool ok = chooseColour && chooseColour(&cc);
  SaveCustomColours(section_, custom);
  if (ok) chosen_ = cc.rgbResult;
  return ok;
}

void CColourPopup::End(bool confirmed, bool focusButton) {
  if (ending_) return;
  ending_ = true;
  ReleaseCapture();
  if (tooltip_) SendMessageA(tooltip_, TTM_ACTIVATE, FALSE, 0);
  if (confirmed && hot_ == kCustomBox) {
    ShowWindow(hwnd_, SW_HIDE);
    confirmed = RunColourDialog();
  }
  if (!confirmed) chosen_ = initial_;
  HWND button = button_;
  SendMessageA(button, confirmed ? CPN_SELENDOK : CPN_SELENDCANCEL, chosen_, 0);
  DestroyWindow(hwnd_);  // deletes this object
  if (focusButton && IsWindow(button)) SetFocus(button);
}

LRESULT CALLBACK CColourPopup::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<CColourPopup*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    return DefWindowProcA(hwnd, msg, wp, lp);
  }
  auto* self = reinterpret_cast<CColourPopup*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    if (self->tooltip_ && IsWindow(self->tooltip_)) DestroyWindow(self->tooltip_);
    delete self;
    return DefWindowProcA(hwnd, msg, wp, lp);
  }
  return self->Handle(msg, wp, lp);
}

void CColourPopup::PaintItemBack(HDC dc, RECT rc, int item) const {
  const bool hot = item == hot_, selected = item == selected_;
  if (!hot && !selected) return;
  const COLORREF menu = GetSysColor(COLOR_MENU);
  const COLORREF highlight = GetSysColor(flatMenus_ ? COLOR_MENUHILIGHT : COLOR_HIGHLIGHT);
  GdiObject<HBRUSH> fill(CreateSolidBrush(MixColour(menu, highlight, hot ? 45 : 22)));
  FillRect(dc, &rc, fill.Get());
  if (flatMenus_ || hot) {
    GdiObject<HBRUSH> frame(CreateSolidBrush(highlight));
    FrameRect(dc, &rc, frame.Get());
  }
  if (selected && !flatMenus_) DrawEdge(dc, &rc, BDR_SUNKENOUTER, BF_RECT);
}

void CColourPopup::Paint(HDC dc) {
  RECT client{0, 0, size_.cx, size_.cy};
  FillRect(dc, &client, GetSysColorBrush(COLOR_MENU));
  if (flatMenus_)
    FrameRect(dc, &client, GetSysColorBrush(COLOR_3DSHADOW));
  else
    DrawEdge(dc, &client, EDGE_RAISED, BF_RECT);

  SelectGuard useFont(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_MENUTEXT));
  auto swatch = [&](RECT rc, COLORREF colour) {
    GdiObject<HBRUSH> fill(CreateSolidBrush(colour));
    FillRect(dc, &rc, fill.Get());
    FrameRect(dc, &rc, GetSysColorBrush(COLOR_3DSHADOW));
  };

  for (int i = 0; i < kColourCount; ++i) {
    RECT rc = ItemRect(i);
    PaintItemBack(dc, rc, i);
    InflateRect(&rc, -3, -3);
    swatch(rc, kColourTable[i].colour);
  }
  if (!defaultText_.empty()) {
    RECT rc = defaultBox_;
    PaintItemBack(dc, rc, kDefaultBox);
    const COLORREF def = defaultColour_;
    RECT sw{rc.left + 2 * margin_, rc.top + 3, rc.left + 2 * margin_ + kCellSize - 6, rc.bottom - 3};
    if (sw.bottom - sw.top > kCellSize - 6) {
      sw.top = rc.top + (rc.bottom - rc.top - (kCellSize - 6)) / 2;
      sw.bottom = sw.top + kCellSize - 6;
    }
    swatch(sw, def);
    RECT text = rc;
    text.left = sw.right;
    DrawTextA(dc, defaultText_.c_str(), -1, &text, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
  }
  if (!customText_.empty()) {
    RECT rc = customBox_;
    PaintItemBack(dc, rc, kCustomBox);
    DrawTextA(dc, customText_.c_str(), -1, &rc, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
  }
}

LRESULT CColourPopup::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      MemoryDC mem(dc, size_.cx, size_.cy);
      Paint(mem.Get());
      BitBlt(dc, 0, 0, size_.cx, size_.cy, mem.Get(), 0, 0, SRCCOPY);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_ERASEBKGND: return TRUE;
    case WM_MOUSEMOVE: {
      if (tooltip_) {
        MSG m{hwnd_, msg, wp, lp, 0, {}};
        SendMessageA(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
      }
      POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
      SetHot(ItemAt(pt));
      return 0;
    }
    case WM_LBUTTONUP: {
      POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
      RECT client{0, 0, size_.cx, size_.cy};
      if (PtInRect(&client, pt)) {
        SetHot(ItemAt(pt));
        End(true, true);
      } else {
        End(false, true);
      }
      return 0;
    }
    case WM_KEYDOWN:
      switch (wp) {
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
          SetHot(Step(hot_ == kNoItem ? selected_ : hot_, static_cast<UINT>(wp), !defaultText_.empty(),
                      !customText_.empty()));
          return 0;
        case VK_RETURN:
        case VK_SPACE: End(true, true); return 0;
        case VK_ESCAPE: End(false, true); return 0;
        default: return DefWindowProcA(hwnd_, msg, wp, lp);
      }
    case WM_ACTIVATEAPP:
      // The application losing activation cancels.
      if (!wp) End(false, false);
      return 0;
    case WM_CANCELMODE: End(false, false); return 0;
    case WM_DESTROY:
      if (g_current == this) g_current = nullptr;
      return DefWindowProcA(hwnd_, msg, wp, lp);
    default: return DefWindowProcA(hwnd_, msg, wp, lp);
  }
}
