#include "ui/SkinMenu.h"

#include <algorithm>
#include <cctype>

#include "ui/Paint.h"

namespace {

struct ThreadSkin {
  bool on = false;
  DWORD style = 0;
  DWORD padding = 0;
};
thread_local ThreadSkin t_skin;

const int kSeparatorHeight = 7;
const int kMinItemHeight = 18;
const int kTextGap = 8;
const int kBackgroundWidth = 1024;
// Menus have a small margin above and below their items.
const int kMenuMargin = 3;

// The text before and after the tab that separates an accelerator.
void SplitAtTab(const std::string& text, std::string& label, std::string& accel) {
  size_t tab = text.find('\t');
  label = text.substr(0, tab);
  accel = tab == std::string::npos ? std::string() : text.substr(tab + 1);
}

}  // namespace

void CSkinMenu::Enable(DWORD style, DWORD padding) { t_skin = ThreadSkin{true, style, padding}; }

void CSkinMenu::Disable() { t_skin = ThreadSkin{}; }

bool CSkinMenu::Enabled() { return t_skin.on; }

DWORD CSkinMenu::Style() { return t_skin.on ? t_skin.style : 0; }

CSkinMenu::CSkinMenu() = default;

CSkinMenu::~CSkinMenu() = default;

void CSkinMenu::SetColour(int index, COLORREF colour) {
  if (index < 0 || index >= 31) return;
  colours_[index] = colour;
  colourSet_[index] = true;
}

COLORREF CSkinMenu::Colour(int index) const {
  if (index < 0 || index >= 31) return 0;
  return colourSet_[index] ? colours_[index] : GetSysColor(index);
}

HFONT CSkinMenu::MenuFont(bool bold) {
  if (!font_) {
    NONCLIENTMETRICSA ncm{};
    ncm.cbSize = sizeof ncm;
    LOGFONTA lf{};
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0))
      lf = ncm.lfMenuFont;
    else
      GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    font_.Reset(CreateFontIndirectA(&lf));
    lf.lfWeight = FW_BOLD;
    boldFont_.Reset(CreateFontIndirectA(&lf));
  }
  return bold ? boldFont_.Get() : font_.Get();
}

CSkinMenu::Item* CSkinMenu::ItemOf(HMENU menu, UINT position) const {
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_FTYPE | MIIM_DATA;
  if (!GetMenuItemInfoA(menu, position, TRUE, &info) || !(info.fType & MFT_OWNERDRAW)) return nullptr;
  auto* item = reinterpret_cast<Item*>(info.dwItemData);
  for (const auto& own : items_)
    if (own.get() == item) return item;
  return nullptr;
}

bool CSkinMenu::IsSkinned(HMENU menu, UINT position) const { return ItemOf(menu, position) != nullptr; }

SIZE CSkinMenu::MeasureItem(const Item& item, bool isDefault) {
  if (item.separator) return SIZE{kColumnWidth + 2 * kTextGap, kSeparatorHeight};
  HDC dc = GetDC(nullptr);
  SelectGuard font(dc, MenuFont(isDefault));
  std::string label, accel;
  SplitAtTab(item.text, label, accel);
  RECT rc{};
  DrawTextA(dc, label.c_str(), -1, &rc, DT_SINGLELINE | DT_CALCRECT);
  int width = kColumnWidth + kTextGap + (rc.right - rc.left) + 20;
  int height = rc.bottom - rc.top;
  if (!accel.empty()) {
    RECT ra{};
    DrawTextA(dc, accel.c_str(), -1, &ra, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
    width += 24 + (ra.right - ra.left);
  }
  ReleaseDC(nullptr, dc);
  height = std::max<int>(height + static_cast<int>(t_skin.padding), kMinItemHeight);
  return SIZE{width, height};
}

int CSkinMenu::MenuHeight(HMENU menu) {
  int height = 0;
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    if (Item* item = ItemOf(menu, i)) height += MeasureItem(*item, GetMenuDefaultItem(menu, TRUE, 0) == UINT(i)).cy;
  }
  return height;
}

bool CSkinMenu::OnInitMenuPopup(HMENU menu, bool systemMenu) {
  if (!Enabled() || systemMenu || !menu) return false;
  const int count = GetMenuItemCount(menu);
  int width = 0;
  for (int i = 0; i < count; ++i) {
    Item* item = ItemOf(menu, i);
    if (!item) {
      MENUITEMINFOA info{};
      info.cbSize = sizeof info;
      info.fMask = MIIM_FTYPE;
      if (!GetMenuItemInfoA(menu, i, TRUE, &info)) continue;
      // Bitmap items keep their standard drawing.
      if (info.fType & (MFT_BITMAP | MFT_OWNERDRAW)) continue;
      char text[256] = {};
      GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
      items_.push_back(std::make_unique<Item>(Item{this, text, (info.fType & MFT_SEPARATOR) != 0}));
      item = items_.back().get();
      info.fMask = MIIM_FTYPE | MIIM_DATA;
      info.fType |= MFT_OWNERDRAW;
      info.dwItemData = reinterpret_cast<ULONG_PTR>(item);
      if (!SetMenuItemInfoA(menu, i, TRUE, &info)) {
        items_.pop_back();
        continue;
      }
    }
    width = std::max<int>(width, MeasureItem(*item, false).cx);
  }
  UpdateBackground(menu, width, MenuHeight(menu) + 2 * kMenuMargin);
  return true;
}

void CSkinMenu::UpdateBackground(HMENU menu, int width, int height) {
  const RECT menuRect{0, 0, std::max(width, 1), std::max(height, 1)};
  menuRects_[menu] = menuRect;
  if (!painter_ || !(Style() & kStyleGradient)) return;

  // The background bitmap is taller than the menu so that a menu which
  // comes out a little higher than measured does not repeat the pattern.
  const int bmpH = menuRect.bottom + 32;
  HDC screen = GetDC(nullptr);
  HBRUSH brush = nullptr;
  {
    MemoryDC mem(screen, kBackgroundWidth, bmpH);
    RECT all{0, 0, kBackgroundWidth, bmpH};
    GdiObject<HBRUSH> white(CreateSolidBrush(RGB(255, 255, 255)));
    FillRect(mem.Get(), &all, white.Get());
    RECT wide{0, 0, kBackgroundWidth, menuRect.bottom};
    painter_->SkinDrawMenuBackground(mem.Get(), wide);
    if (Style() & kStyleLeftColumn) painter_->SkinDrawLeftColumn(mem.Get(), RECT{0, 0, kColumnWidth, bmpH}, wide);
    painter_->SkinDrawBorder(mem.Get(), menuRect);
    brush = CreatePatternBrush(mem.Bitmap());
  }
  ReleaseDC(nullptr, screen);
  if (!brush) return;

  MENUINFO mi{};
  mi.cbSize = sizeof mi;
  mi.fMask = MIM_BACKGROUND;
  mi.hbrBack = brush;
  SetMenuInfo(menu, &mi);
  backgrounds_[menu].Reset(brush);  // the previous brush of this menu goes
}

bool CSkinMenu::OnMeasureItem(MEASUREITEMSTRUCT* mis) {
  if (!mis || mis->CtlType != ODT_MENU) return false;
  auto* item = reinterpret_cast<Item*>(mis->itemData);
  if (!item || std::none_of(items_.begin(), items_.end(), [&](const auto& p) { return p.get() == item; })) return false;
  SIZE size = MeasureItem(*item, false);
  mis->itemWidth = size.cx;
  mis->itemHeight = size.cy;
  return true;
}

bool CSkinMenu::OnDrawItem(const DRAWITEMSTRUCT* dis) {
  if (!dis || dis->CtlType != ODT_MENU) return false;
  auto* item = reinterpret_cast<Item*>(dis->itemData);
  if (!item || std::none_of(items_.begin(), items_.end(), [&](const auto& p) { return p.get() == item; })) return false;
  DrawItem(*dis, *item);
  return true;
}

void CSkinMenu::DrawItem(const DRAWITEMSTRUCT& dis, const Item& item) {
  HDC dc = dis.hDC;
  const RECT rc = dis.rcItem;
  HMENU menu = reinterpret_cast<HMENU>(dis.hwndItem);
  auto found = menuRects_.find(menu);
  RECT menuRect = found != menuRects_.end() ? found->second : rc;
  menuRect.left = 0;
  menuRect.right = std::max<LONG>(menuRect.right, rc.right);

  const bool styled = painter_ && (Style() & kStyleGradient);
  if (styled) {
    painter_->SkinDrawItemBackground(dc, rc, menuRect);
  } else {
    GdiObject<HBRUSH> back(CreateSolidBrush(Colour(COLOR_MENU)));
    FillRect(dc, &rc, back.Get());
  }
  RECT column{rc.left, rc.top, rc.left + kColumnWidth, rc.bottom};
  if (painter_ && (Style() & kStyleLeftColumn)) painter_->SkinDrawLeftColumn(dc, column, menuRect);

  const COLORREF shadow = Colour(COLOR_BTNSHADOW);
  if (item.separator) {
    const int y = (rc.top + rc.bottom) / 2;
    GdiObject<HPEN> dark(CreatePen(PS_SOLID, 1, MixColour(shadow, RGB(255, 255, 255), 40)));
    GdiObject<HPEN> light(CreatePen(PS_SOLID, 1, RGB(255, 255, 255)));
    {
      SelectGuard pen(dc, dark.Get());
      MoveToEx(dc, column.right + 4, y - 1, nullptr);
      LineTo(dc, rc.right - 4, y - 1);
    }
    SelectGuard pen(dc, light.Get());
    MoveToEx(dc, column.right + 4, y, nullptr);
    LineTo(dc, rc.right - 4, y);
    return;
  }

  const bool selected = dis.itemState & ODS_SELECTED;
  const bool disabled = dis.itemState & (ODS_GRAYED | ODS_DISABLED);
  if (selected) {
    RECT hi{rc.left + 2, rc.top + 1, rc.right - 2, rc.bottom - 1};
    GdiObject<HRGN> round(CreateRoundRectRgn(hi.left, hi.top, hi.right + 1, hi.bottom + 1, 6, 6));
    if (disabled) {
      GdiObject<HBRUSH> frame(CreateSolidBrush(MixColour(shadow, RGB(255, 255, 255), 50)));
      FrameRgn(dc, round.Get(), frame.Get(), 1, 1);
    } else {
      SelectClipRgn(dc, round.Get());
      FillGradient(dc, hi, MixColour(shadow, RGB(255, 255, 255), 25), shadow, true);
      SelectClipRgn(dc, nullptr);
    }
  }

  if (dis.itemState & ODS_CHECKED) {
    // A tick in the column.
    const int cx = (column.left + column.right) / 2, cy = (column.top + column.bottom) / 2;
    GdiObject<HPEN> tick(CreatePen(PS_SOLID, 2, Colour(COLOR_HIGHLIGHTTEXT)));
    SelectGuard pen(dc, tick.Get());
    POINT pts[3] = {{cx - 5, cy}, {cx - 2, cy + 3}, {cx + 5, cy - 4}};
    Polyline(dc, pts, 3);
  }

  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STATE;
  GetMenuItemInfoA(menu, dis.itemID, FALSE, &info);
  SelectGuard font(dc, MenuFont((info.fState & MFS_DEFAULT) != 0));
  SetBkMode(dc, TRANSPARENT);
  COLORREF textColour = Colour(COLOR_WINDOWTEXT);
  if (disabled)
    textColour = RGB(150, 150, 150);
  else if (selected)
    textColour = Colour(COLOR_HIGHLIGHTTEXT);
  SetTextColor(dc, textColour);

  std::string label, accel;
  SplitAtTab(item.text, label, accel);
  RECT text{column.right + kTextGap, rc.top, rc.right - 12, rc.bottom};
  UINT format = DT_SINGLELINE | DT_VCENTER;
  if (dis.itemState & ODS_NOACCEL) format |= DT_HIDEPREFIX;
  DrawTextA(dc, label.c_str(), -1, &text, format | DT_LEFT);
  if (!accel.empty()) DrawTextA(dc, accel.c_str(), -1, &text, format | DT_RIGHT | DT_NOPREFIX);
}

bool CSkinMenu::OnMenuChar(UINT ch, HMENU menu, LRESULT& result) {
  if (!menu) return false;
  const int wanted = std::tolower(static_cast<unsigned char>(ch));
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    Item* item = ItemOf(menu, i);
    if (!item || item->separator) continue;
    const std::string& t = item->text;
    for (size_t k = 0; k + 1 < t.size(); ++k) {
      if (t[k] != '&') continue;
      if (t[k + 1] == '&') {
        ++k;  // "&&" is a literal ampersand
        continue;
      }
      if (std::tolower(static_cast<unsigned char>(t[k + 1])) == wanted) {
        result = MAKELRESULT(i, MNC_EXECUTE);
        return true;
      }
      break;
    }
  }
  return false;
}
