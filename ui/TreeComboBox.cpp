#include "ui/TreeComboBox.h"

#include <algorithm>

namespace {

// Item data: image in the low word, level in the high word.
LPARAM Pack(int image, int level) { return static_cast<LPARAM>(MAKELONG(image & 0xFFFF, level & 0xFFFF)); }

}  // namespace

CTreeComboBox::~CTreeComboBox() {
  if (ownsImages_ && images_) ImageList_Destroy(images_);
}

void CTreeComboBox::SetImageList(HIMAGELIST images, bool owned) {
  if (ownsImages_ && images_ && images_ != images) ImageList_Destroy(images_);
  images_ = images;
  ownsImages_ = owned;
  if (m_hWnd) {
    int cy = 0, cx = 0;
    if (images_) ImageList_GetIconSize(images_, &cx, &cy);
    const LRESULT h = Send(CB_GETITEMHEIGHT, 0);
    if (cy + 2 > h) Send(CB_SETITEMHEIGHT, 0, cy + 2);
    if (cy + 2 > Send(CB_GETITEMHEIGHT, static_cast<WPARAM>(-1)))
      Send(CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), cy + 2);
  }
}

int CTreeComboBox::Count() const {
  const LRESULT n = m_hWnd ? Send(CB_GETCOUNT) : 0;
  return n > 0 ? static_cast<int>(n) : 0;
}

int CTreeComboBox::Level(int index) const {
  const LRESULT d = Send(CB_GETITEMDATA, index);
  return d == CB_ERR ? -1 : HIWORD(d);
}

int CTreeComboBox::Image(int index) const {
  const LRESULT d = Send(CB_GETITEMDATA, index);
  return d == CB_ERR ? -1 : static_cast<short>(LOWORD(d));
}

std::string CTreeComboBox::ItemText(int index) const {
  const LRESULT n = Send(CB_GETLBTEXTLEN, index);
  if (n == CB_ERR || n < 0) return std::string();
  std::string text(static_cast<size_t>(n) + 1, '\0');
  const LRESULT got = Send(CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

int CTreeComboBox::AddItem(const std::string& text, int image, int parent) {
  if (!m_hWnd) return -1;
  const int count = Count();
  int at = count, level = 0;
  if (parent >= 0) {
    if (parent >= count) return -1;
    level = Level(parent) + 1;
    // After the parent's last descendant.
    at = parent + 1;
    while (at < count && Level(at) >= level) ++at;
  }
  const LRESULT index = Send(CB_INSERTSTRING, at, reinterpret_cast<LPARAM>(text.c_str()));
  if (index == CB_ERR || index == CB_ERRSPACE) return -1;
  Send(CB_SETITEMDATA, index, Pack(image, level));
  return static_cast<int>(index);
}

bool CTreeComboBox::SelectItem(int index) {
  if (index < 0 || index >= Count()) return false;
  Send(CB_SETCURSEL, index);
  lastConfirmed_ = index;
  return true;
}

int CTreeComboBox::Selected() const {
  const LRESULT s = Send(CB_GETCURSEL);
  return s == CB_ERR ? -1 : static_cast<int>(s);
}

void CTreeComboBox::Confirm() {
  const int index = Selected();
  if (index < 0 || index == lastConfirmed_) return;
  lastConfirmed_ = index;
  if (onConfirm_) onConfirm_(index);
}

void CTreeComboBox::DrawItem(const DRAWITEMSTRUCT& dis) {
  HDC dc = dis.hDC;
  RECT rc = dis.rcItem;
  const bool selected = (dis.itemState & ODS_SELECTED) != 0;
  const bool inEdit = (dis.itemState & ODS_COMBOBOXEDIT) != 0;
  FillRect(dc, &rc, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  if (static_cast<int>(dis.itemID) < 0) return;
  const int index = static_cast<int>(dis.itemID);
  const int level = std::max(0, Level(index));
  int x = rc.left + 2 + (inEdit ? 0 : level * kIndent);
  int cx = 0, cy = 0;
  if (images_) ImageList_GetIconSize(images_, &cx, &cy);
  if (!inEdit && level > 0) {
    // A short branch line from the group to the child.
    HPEN pen = CreatePen(PS_DOT, 1, GetSysColor(COLOR_GRAYTEXT));
    HGDIOBJ old = SelectObject(dc, pen);
    const int mid = (rc.top + rc.bottom) / 2;
    MoveToEx(dc, x - kIndent / 2, rc.top, nullptr);
    LineTo(dc, x - kIndent / 2, mid);
    LineTo(dc, x - 1, mid);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
  const int image = Image(index);
  if (images_ && image >= 0) {
    ImageList_Draw(images_, image, dc, x, rc.top + (rc.bottom - rc.top - cy) / 2, ILD_TRANSPARENT);
    x += cx + 3;
  }
  const std::string text = ItemText(index);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  RECT tr{x, rc.top, rc.right, rc.bottom};
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &tr, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  if (dis.itemState & ODS_FOCUS) DrawFocusRect(dc, &rc);
}

bool CTreeComboBox::OnReflectedMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_DRAWITEM:
      DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
      result = TRUE;
      return true;
    case WM_MEASUREITEM: {
      auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      int cx = 0, cy = 16;
      if (images_) ImageList_GetIconSize(images_, &cx, &cy);
      mis->itemHeight = std::max<UINT>(mis->itemHeight, static_cast<UINT>(cy + 2));
      result = TRUE;
      return true;
    }
    case WM_COMMAND:
      // A click or Enter in the open list confirms; so does moving through
      // the closed list with the arrow keys.
      if (HIWORD(wp) == CBN_SELENDOK || (HIWORD(wp) == CBN_SELCHANGE && !Send(CB_GETDROPPEDSTATE))) {
        Confirm();
      }
      return false;  // the parent still sees its notification
    default: return false;
  }
}
