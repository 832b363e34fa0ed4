#include "ui/gfxlist/GfxListCtrl.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "framework/Module.h"
#include "ui/gfxlist/GfxCellEditor.h"

namespace {

// Colours of the rows.
const COLORREF kSelectedFill = RGB(204, 228, 247);
const COLORREF kSelectedBorder = RGB(153, 201, 239);
const COLORREF kInactiveSelectedFill = RGB(228, 228, 228);
const COLORREF kGridLine = RGB(226, 226, 226);
const int kTextMargin = 6;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a decimal number like the C library's atoi (leading blanks, a sign,
// digits, anything after them ignored) but clamps to the 32-bit range.
// Returns false when there are no digits.
bool ParseDecimal(const char* s, int& out) {
  while (*s == ' ' || *s == '\t') ++s;
  bool negative = false;
  if (*s == '+' || *s == '-') negative = *s++ == '-';
  if (!IsDigit(*s)) return false;
  long long v = 0;
  for (; IsDigit(*s); ++s) {
    v = v * 10 + (*s - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) v = -v;
  out = static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
  return true;
}

struct SortContext {
  const std::vector<int>* numbers;
  const std::vector<std::string>* texts;
  bool ascending;
};

int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM ctxParam) {
  const auto* ctx = reinterpret_cast<const SortContext*>(ctxParam);
  size_t i = static_cast<size_t>(a), j = static_cast<size_t>(b);
  int r;
  if (ctx->numbers) {
    int x = (*ctx->numbers)[i], y = (*ctx->numbers)[j];
    r = x < y ? -1 : (x > y ? 1 : 0);
  } else {
    // Case-blind and aware of multi-byte characters of the code page.
    r = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, (*ctx->texts)[i].c_str(), -1, (*ctx->texts)[j].c_str(),
                       -1) -
        CSTR_EQUAL;
  }
  if (!ctx->ascending) r = -r;
  // Equal keys keep their previous order.
  if (r == 0) r = i < j ? -1 : (i > j ? 1 : 0);
  return r;
}

}  // namespace

CGfxListCtrl::CGfxListCtrl() = default;

CGfxListCtrl::~CGfxListCtrl() {
  editor_.reset();
  if (m_hWnd) Detach();
}

bool CGfxListCtrl::Create(HWND parent, const RECT& rect, int id, DWORD extraStyle) {
  HWND hwnd = CreateWindowExA(
      WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDRAWFIXED | extraStyle, rect.left,
      rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), AppInstance(), nullptr);
  if (!hwnd) return false;
  if (!Attach(hwnd)) {
    DestroyWindow(hwnd);
    return false;
  }
  SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return true;
}

// --- columns ---------------------------------------------------------------

CGfxColumnManager* CGfxListCtrl::CreateColumnManager() {
  columns_ = std::make_unique<CGfxColumnManager>();
  return columns_.get();
}

int CGfxListCtrl::DefineColumn(int id, const std::string& text, const std::string& secondText, int format, int width,
                               DWORD flags, int image, const std::string& description) {
  if (!columns_) CreateColumnManager();
  return columns_->DefineColumn(id, text, secondText, format, width, flags, image, description);
}

void CGfxListCtrl::SetDefaultOrder(int count, const int* ids) {
  if (!columns_) CreateColumnManager();
  columns_->SetDefaultOrder(count, ids);
}

bool CGfxListCtrl::LoadColumns(const std::string& name) { return columns_ && columns_->LoadColumns(name); }

bool CGfxListCtrl::SaveColumns(const std::string& name) const { return columns_ && columns_->SaveColumns(name); }

void CGfxListCtrl::ApplyColumns() {
  if (!columns_ || !m_hWnd) return;
  EndEdit(false);

  // Rows are kept by column identifier across the change: the list view
  // cannot move cell texts between columns, and deleting its first column
  // leaves the item texts behind.
  struct SavedRow {
    LPARAM data;
    UINT state;
    std::vector<std::pair<int, std::string>> cells;
  };
  std::vector<SavedRow> rows;
  const int rowCount = RowCount();
  for (int r = 0; r < rowCount; ++r) {
    SavedRow row{RowData(r), ListView_GetItemState(m_hWnd, r, LVIS_SELECTED | LVIS_FOCUSED), {}};
    for (int id : listColumnIds_) row.cells.emplace_back(id, CellText(r, id));
    rows.push_back(std::move(row));
  }
  SendMessageA(m_hWnd, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(m_hWnd);

  // The new columns go after the old ones, then the old ones are removed.
  HWND header = ListView_GetHeader(m_hWnd);
  const int oldCount = header ? Header_GetItemCount(header) : 0;
  std::vector<int> ids;
  for (auto& def : columns_->Definitions()) def.listIndex = -1;
  for (int id : columns_->Order()) {
    GfxColumnDef* def = columns_->Find(id);
    if (!def || def->listIndex >= 0) continue;
    LVCOLUMNA col{};
    col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    col.fmt = def->format & LVCFMT_JUSTIFYMASK;
    if ((def->flags & GFXCOL_HEADERIMAGE) && def->image >= 0) {
      col.mask |= LVCF_IMAGE;
      col.fmt |= LVCFMT_IMAGE;
      col.iImage = def->image;
    }
    col.cx = def->width;
    col.pszText = const_cast<char*>(def->text.c_str());
    int at = oldCount + static_cast<int>(ids.size());
    if (SendMessageA(m_hWnd, LVM_INSERTCOLUMNA, at, reinterpret_cast<LPARAM>(&col)) < 0) continue;
    def->listIndex = static_cast<int>(ids.size());
    def->sortDirection = 0;
    ids.push_back(id);
  }
  for (int i = 0; i < oldCount; ++i) ListView_DeleteColumn(m_hWnd, 0);
  listColumnIds_ = ids;

  std::fill(std::begin(flagMasks_), std::end(flagMasks_), 0);
  for (const auto& def : columns_->Definitions()) {
    if (def.id < 0 || def.id >= 32) continue;
    for (int bit = 0; bit < 32; ++bit)
      if (def.flags & (1u << bit)) flagMasks_[bit] |= 1u << def.id;
  }

  for (size_t r = 0; r < rows.size(); ++r) {
    int at = InsertRow(static_cast<int>(r), "", rows[r].data);
    if (at < 0) continue;
    for (const auto& [id, text] : rows[r].cells) SetCellText(at, id, text);
    ListView_SetItemState(m_hWnd, at, rows[r].state, LVIS_SELECTED | LVIS_FOCUSED);
  }

  DWORD ex = LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP;
  ListView_SetExtendedListViewStyleEx(m_hWnd, ex, ex);
  SendMessageA(m_hWnd, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(m_hWnd, nullptr, TRUE);
  if (header) InvalidateRect(header, nullptr, TRUE);
}

void CGfxListCtrl::ReadBackColumns() {
  if (!columns_ || !m_hWnd) return;
  const int n = static_cast<int>(listColumnIds_.size());
  for (int c = 0; c < n; ++c) {
    if (GfxColumnDef* def = columns_->Find(listColumnIds_[c])) def->width = ListView_GetColumnWidth(m_hWnd, c);
  }
  std::vector<int> order(n);
  if (n > 0 && ListView_GetColumnOrderArray(m_hWnd, n, order.data())) {
    std::vector<int> ids;
    for (int c : order)
      if (c >= 0 && c < n) ids.push_back(listColumnIds_[c]);
    columns_->Order() = ids;
  }
}

int CGfxListCtrl::ListColumnOf(int columnId) const {
  for (size_t i = 0; i < listColumnIds_.size(); ++i)
    if (listColumnIds_[i] == columnId) return static_cast<int>(i);
  return -1;
}

int CGfxListCtrl::ColumnIdAt(int listColumn) const {
  return listColumn >= 0 && listColumn < static_cast<int>(listColumnIds_.size()) ? listColumnIds_[listColumn] : -1;
}

bool CGfxListCtrl::ColumnHasFlag(int columnId, DWORD flag) const {
  if (columnId >= 0 && columnId < 32) {
    for (int bit = 0; bit < 32; ++bit)
      if ((flag & (1u << bit)) && (flagMasks_[bit] & (1u << columnId))) return true;
    return false;
  }
  const GfxColumnDef* def = columns_ ? columns_->Find(columnId) : nullptr;
  return def && (def->flags & flag);
}

// --- style, rows height, images -----------------------------------------------

void CGfxListCtrl::ModifyListStyle(DWORD remove, DWORD add, UINT swpFlags) {
  listStyle_ = (listStyle_ & ~remove) | add;
  if (!m_hWnd) return;
  if (swpFlags)
    SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                 swpFlags | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CGfxListCtrl::SetRowHeight(int pixels) {
  rowHeight_ = pixels;
  RemeasureRows();
}

// An owner-drawn list view asks its parent for the row height when its
// window position changes; a size change by one pixel and back makes it
// ask again.
void CGfxListCtrl::RemeasureRows() {
  if (!m_hWnd || rowHeight_ <= 0) return;
  RECT rc{};
  GetWindowRect(m_hWnd, &rc);
  int w = rc.right - rc.left, h = rc.bottom - rc.top;
  const UINT flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
  SetWindowPos(m_hWnd, nullptr, 0, 0, w, h + 1, flags);
  SetWindowPos(m_hWnd, nullptr, 0, 0, w, h, flags);
  InvalidateRect(m_hWnd, nullptr, TRUE);
}

HIMAGELIST CGfxListCtrl::SetImageList(HIMAGELIST images) {
  HIMAGELIST old = m_hWnd ? ListView_SetImageList(m_hWnd, images, LVSIL_SMALL) : nullptr;
  RemeasureRows();  // the list view works out a new row height from the images
  return old;
}

HIMAGELIST CGfxListCtrl::ImageList() const { return m_hWnd ? ListView_GetImageList(m_hWnd, LVSIL_SMALL) : nullptr; }

// --- rows --------------------------------------------------------------------

int CGfxListCtrl::InsertRow(int index, const std::string& text, LPARAM data) {
  if (!m_hWnd) return -1;
  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = index;
  item.pszText = const_cast<char*>(text.c_str());
  item.lParam = data;
  return static_cast<int>(SendMessageA(m_hWnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

bool CGfxListCtrl::SetCellText(int row, int columnId, const std::string& text) {
  // The list view refuses a row that it does not hold.
  int column = ListColumnOf(columnId);
  if (!m_hWnd || column < 0 || row < 0) return false;
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text.c_str());
  return SendMessageA(m_hWnd, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)) != 0;
}

bool CGfxListCtrl::SetCellImage(int row, int columnId, int image) {
  return SetCellText(row, columnId, std::to_string(image));
}

std::string CGfxListCtrl::CellText(int row, int columnId) const {
  int column = ListColumnOf(columnId);
  if (column < 0 || row < 0 || row >= RowCount()) return {};
  std::string buf(1024, '\0');
  for (;;) {
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buf.data();
    item.cchTextMax = static_cast<int>(buf.size());
    int n = static_cast<int>(SendMessageA(m_hWnd, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
    if (n < static_cast<int>(buf.size()) - 1 || buf.size() >= 65536) {
      buf.resize(std::max(n, 0));
      return buf;
    }
    buf.assign(buf.size() * 4, '\0');
  }
}

LPARAM CGfxListCtrl::RowData(int row) const {
  if (!m_hWnd) return 0;
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  return SendMessageA(m_hWnd, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : 0;
}

bool CGfxListCtrl::SetRowData(int row, LPARAM data) {
  if (!m_hWnd) return false;
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  item.lParam = data;
  return SendMessageA(m_hWnd, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

int CGfxListCtrl::RowCount() const { return m_hWnd ? ListView_GetItemCount(m_hWnd) : 0; }

void CGfxListCtrl::DeleteAllRows() {
  EndEdit(false);
  if (m_hWnd) ListView_DeleteAllItems(m_hWnd);
}

std::vector<int> CGfxListCtrl::SelectedRows() const {
  std::vector<int> rows;
  if (!m_hWnd) return rows;
  for (int i = ListView_GetNextItem(m_hWnd, -1, LVNI_SELECTED); i >= 0;
       i = ListView_GetNextItem(m_hWnd, i, LVNI_SELECTED))
    rows.push_back(i);
  return rows;
}

bool CGfxListCtrl::SelectRow(int row, bool select) {
  if (row < 0 || row >= RowCount()) return false;
  UINT state = select ? LVIS_SELECTED | LVIS_FOCUSED : 0;
  ListView_SetItemState(m_hWnd, row, state, LVIS_SELECTED | LVIS_FOCUSED);
  return true;
}

// --- keys and fonts ----------------------------------------------------------

int CGfxListCtrl::NumberKey(const std::string& text, bool removeDots) {
  std::string s;
  if (removeDots) {
    for (char c : text) {
      if (s.size() >= 255) break;
      if (c != '.') s += c;
    }
  } else {
    s = text;
  }
  int v = 0;
  return ParseDecimal(s.c_str(), v) ? v : 0;
}

int CGfxListCtrl::ImageIndexOf(const std::string& text) {
  int v = 0;
  return ParseDecimal(text.c_str(), v) ? v : 0;
}

HFONT CGfxListCtrl::NormalFont() const {
  HFONT font = m_hWnd ? reinterpret_cast<HFONT>(SendMessageA(m_hWnd, WM_GETFONT, 0, 0)) : nullptr;
  return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

HFONT CGfxListCtrl::StyledFont(UINT formatFlags) {
  GdiObject<HFONT>* slot = nullptr;
  if (formatFlags & GFXF_BOLD)
    slot = &boldFont_;
  else if (formatFlags & GFXF_ITALIC)
    slot = &italicFont_;
  else if (formatFlags & GFXF_UNDERLINE)
    slot = &underlineFont_;
  if (!slot) return NormalFont();
  if (!*slot) {
    LOGFONTA lf{};
    GetObjectA(NormalFont(), sizeof lf, &lf);
    if (slot == &boldFont_) lf.lfWeight = FW_BOLD;
    if (slot == &italicFont_) lf.lfItalic = TRUE;
    if (slot == &underlineFont_) lf.lfUnderline = TRUE;
    slot->Reset(CreateFontIndirectA(&lf));
  }
  return *slot ? slot->Get() : NormalFont();
}

int CGfxListCtrl::HorizontalLineStep() const {
  TEXTMETRICA tm{};
  HDC dc = GetDC(m_hWnd);
  {
    SelectGuard font(dc, NormalFont());
    GetTextMetricsA(dc, &tm);
  }
  ReleaseDC(m_hWnd, dc);
  return std::max<int>(8, 2 * tm.tmAveCharWidth);
}

void CGfxListCtrl::ResetFonts() {
  boldFont_.Reset();
  italicFont_.Reset();
  underlineFont_.Reset();
}

// --- owner queries -----------------------------------------------------------

void CGfxListCtrl::FillQuery(GfxListQuery& q, int kind, int row, int columnId) const {
  FillDrawQuery(q, kind, row, columnId, row >= 0 ? RowData(row) : 0,
                row >= 0 && columnId >= 0 ? CellText(row, columnId) : std::string());
}

void CGfxListCtrl::FillDrawQuery(GfxListQuery& q, int kind, int row, int columnId, LPARAM data,
                                 std::string text) const {
  q.kind = kind;
  q.controlId = m_hWnd ? static_cast<UINT>(GetDlgCtrlID(m_hWnd)) : 0;
  q.item = row;
  q.column = columnId;
  q.itemData = data;
  q.textColour = GetSysColor(COLOR_WINDOWTEXT);
  q.backColour = GetSysColor(COLOR_WINDOW);
  q.text = std::move(text);
}

LRESULT CGfxListCtrl::AskOwner(GfxListQuery& query) {
  HWND parent = m_hWnd ? GetParent(m_hWnd) : nullptr;
  if (callback_) return callback_(parent, &query);
  HWND owner = m_hWnd ? GetWindow(m_hWnd, GW_OWNER) : nullptr;
  if (!owner) owner = parent;
  return owner ? SendMessageA(owner, WM_GFX_OWNERQUERY, 0, reinterpret_cast<LPARAM>(&query)) : 0;
}

// --- drawing -----------------------------------------------------------------

void CGfxListCtrl::PaintBuffered() {
  // The whole update is drawn off screen (background, rows, grid) and shown
  // with one copy: drawn onto the window itself, a list whose paint takes a
  // while shows an empty area that fills row by row.
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hWnd, &ps);
  const RECT rc = ps.rcPaint;
  const int width = rc.right - rc.left, height = rc.bottom - rc.top;
  if (dc && width > 0 && height > 0) {
    MemoryDC mem(dc, width, height);
    SetViewportOrgEx(mem.Get(), -rc.left, -rc.top, nullptr);
    IntersectClipRect(mem.Get(), rc.left, rc.top, rc.right, rc.bottom);
    SendMessageA(m_hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem.Get()), PRF_ERASEBKGND | PRF_CLIENT);
    SetViewportOrgEx(mem.Get(), 0, 0, nullptr);
    // The header and an open editor are windows of their own and draw
    // themselves.
    for (HWND child = GetWindow(m_hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      if (!IsWindowVisible(child)) continue;
      RECT cr{};
      GetWindowRect(child, &cr);
      MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&cr), 2);
      ExcludeClipRect(dc, cr.left, cr.top, cr.right, cr.bottom);
    }
    BitBlt(dc, rc.left, rc.top, width, height, mem.Get(), 0, 0, SRCCOPY);
  }
  EndPaint(m_hWnd, &ps);
}

void CGfxListCtrl::DrawRow(const DRAWITEMSTRUCT& dis) {
  const int row = static_cast<int>(dis.itemID);
  const RECT& rc = dis.rcItem;
  const int width = rc.right - rc.left, height = rc.bottom - rc.top;
  if (width <= 0 || height <= 0) return;

  // The row is drawn off screen and copied in one go, so it never flickers.
  MemoryDC mem(dis.hDC, width, height);
  HDC dc = mem.Get();
  SetBkMode(dc, TRANSPARENT);
  HBRUSH windowBrush = GetSysColorBrush(COLOR_WINDOW);
  RECT all{0, 0, width, height};
  FillRect(dc, &all, windowBrush);

  HWND header = ListView_GetHeader(m_hWnd);
  const int columns = static_cast<int>(listColumnIds_.size());
  std::vector<RECT> cells(columns);
  // Each cell lies exactly under its header item. The header scrolls with
  // the rows, so its origin is normally the row's left edge; it is taken
  // from the header itself so that the two always line up.
  int headerLeft = rc.left;
  if (header) {
    RECT hw{};
    GetWindowRect(header, &hw);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&hw), 2);
    headerLeft = hw.left;
  }
  const int shift = headerLeft - rc.left;
  int rightmost = 0;
  for (int c = 0; c < columns; ++c) {
    RECT h{};
    if (header) Header_GetItemRect(header, c, &h);
    cells[c] = RECT{h.left + shift, 0, h.right + shift, height};
    rightmost = std::max(rightmost, static_cast<int>(h.right) + shift);
  }

  const bool selected = (dis.itemState & ODS_SELECTED) != 0;
  if (hasFocus_ < 0) hasFocus_ = GetFocus() == m_hWnd;
  const bool focused = hasFocus_ > 0 || (editor_ && IsChild(m_hWnd, GetFocus()));
  RECT selection{};
  if (selected) {
    RECT sel{0, 0, std::min(width, rightmost), height};
    if (!(listStyle_ & GFXS_FULLROWSELECT) && columns > 0) {
      // Only the column shown first carries the highlight.
      int first = 0;
      std::vector<int> order(columns);
      if (ListView_GetColumnOrderArray(m_hWnd, columns, order.data())) first = order[0];
      sel = cells[first];
    }
    GdiObject<HBRUSH> fill(CreateSolidBrush(focused ? kSelectedFill : kInactiveSelectedFill));
    FillRect(dc, &sel, fill.Get());
    selection = sel;
  }

  // The row's data comes with the drawing request: the owner's queries
  // need no further request to the list.
  const LPARAM data = static_cast<LPARAM>(dis.itemData);
  HIMAGELIST images = (listStyle_ & GFXS_IMAGECELLS) ? ImageList() : nullptr;
  for (int c = 0; c < columns; ++c) {
    const GfxColumnDef* def = columns_ ? columns_->Find(listColumnIds_[c]) : nullptr;
    DrawCell(dc, cells[c], row, data, c, def, images);
  }

  GfxListQuery grid;
  FillDrawQuery(grid, GFXQ_GRIDLINES, row, -1, data, {});
  if (!AskOwner(grid) && (listStyle_ & (GFXS_HGRID | GFXS_VGRID))) {
    GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, kGridLine));
    SelectGuard usePen(dc, pen.Get());
    if (listStyle_ & GFXS_HGRID) {
      MoveToEx(dc, 0, height - 1, nullptr);
      LineTo(dc, width, height - 1);
    }
    if (listStyle_ & GFXS_VGRID) {
      for (const RECT& cell : cells) {
        MoveToEx(dc, cell.right - 1, 0, nullptr);
        LineTo(dc, cell.right - 1, height);
      }
    }
  }
  // The border of the selection goes over the grid lines.
  if (selected && focused) {
    GdiObject<HBRUSH> border(CreateSolidBrush(kSelectedBorder));
    FrameRect(dc, &selection, border.Get());
  }
  if ((dis.itemState & ODS_FOCUS) && focused && !selected) DrawFocusRect(dc, &all);

  BitBlt(dis.hDC, rc.left, rc.top, width, height, dc, 0, 0, SRCCOPY);

  GfxListQuery drawn;
  FillDrawQuery(drawn, GFXQ_ROWDRAWN, row, -1, data, {});
  AskOwner(drawn);
}

void CGfxListCtrl::DrawCell(HDC dc, const RECT& cell, int row, LPARAM data, int listColumn, const GfxColumnDef* def,
                            HIMAGELIST images) {
  if (cell.right <= cell.left) return;
  const int columnId = ColumnIdAt(listColumn);
  std::string text = CellText(row, columnId);
  const DWORD flags = def ? def->flags : 0;

  int saved = SaveDC(dc);
  IntersectClipRect(dc, cell.left, cell.top, cell.right, cell.bottom);

  if (images && (flags & GFXCOL_IMAGECELL)) {
    int iw = 0, ih = 0;
    ImageList_GetIconSize(images, &iw, &ih);
    int x = cell.left + (cell.right - cell.left - iw) / 2;
    int y = cell.top + (cell.bottom - cell.top - ih) / 2;
    ImageList_Draw(images, ImageIndexOf(text), dc, x, y, ILD_TRANSPARENT);
  } else {
    HFONT font = NormalFont();
    COLORREF colour = GetSysColor(COLOR_WINDOWTEXT);
    if (listStyle_ & GFXS_OWNERFORMAT) {
      GfxListQuery q;
      FillDrawQuery(q, GFXQ_FORMAT, row, columnId, data, text);
      q.mask = GFXF_BOLD | GFXF_ITALIC | GFXF_UNDERLINE | GFXF_FONT | GFXF_TEXTCOLOUR;
      if (AskOwner(q)) {
        if ((q.format & GFXF_FONT) && q.font)
          font = q.font;
        else
          font = StyledFont(q.format);
        if (q.format & GFXF_TEXTCOLOUR) colour = q.textColour;
      }
    }
    SelectGuard useFont(dc, font);
    SetTextColor(dc, colour);
    RECT r{cell.left + kTextMargin, cell.top, cell.right - kTextMargin, cell.bottom};
    UINT align = DT_LEFT;
    int fmt = def ? (def->format & LVCFMT_JUSTIFYMASK) : LVCFMT_LEFT;
    if (fmt == LVCFMT_CENTER)
      align = DT_CENTER;
    else if (fmt == LVCFMT_RIGHT)
      align = DT_RIGHT;
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r,
              align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  }
  RestoreDC(dc, saved);
}

// --- sorting -------------------------------------------------------------------

void CGfxListCtrl::SortByColumn(int columnId, bool ascending) {
  const int column = ListColumnOf(columnId);
  if (column < 0) return;
  EndEdit(true);
  const int n = RowCount();
  const GfxColumnDef* def = columns_ ? columns_->Find(columnId) : nullptr;
  const DWORD flags = def ? def->flags : 0;
  const bool numeric = (flags & (GFXCOL_SORTDOTTEDNUMBER | GFXCOL_SORTNUMBER)) != 0;

  // The rows' own data is set aside while the list sorts by position.
  std::vector<LPARAM> saved(n);
  std::vector<int> numbers;
  std::vector<std::string> texts;
  for (int i = 0; i < n; ++i) {
    saved[i] = RowData(i);
    std::string text = CellText(i, columnId);
    if (numeric)
      numbers.push_back(NumberKey(text, (flags & GFXCOL_SORTDOTTEDNUMBER) != 0));
    else
      texts.push_back(std::move(text));
    SetRowData(i, i);
  }
  SortContext ctx{numeric ? &numbers : nullptr, &texts, ascending};
  ListView_SortItems(m_hWnd, CompareRows, reinterpret_cast<LPARAM>(&ctx));
  for (int i = 0; i < n; ++i) {
    LPARAM from = RowData(i);
    if (from >= 0 && from < n) SetRowData(i, saved[static_cast<size_t>(from)]);
  }
}

void CGfxListCtrl::ShowSortArrow(int listColumn, int direction) {
  HWND header = ListView_GetHeader(m_hWnd);
  if (!header) return;
  const int count = Header_GetItemCount(header);
  for (int c = 0; c < count; ++c) {
    HDITEMA item{};
    item.mask = HDI_FORMAT;
    if (!Header_GetItem(header, c, &item)) continue;
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (c == listColumn) item.fmt |= direction > 0 ? HDF_SORTUP : HDF_SORTDOWN;
    Header_SetItem(header, c, &item);
  }
}

void CGfxListCtrl::OnHeaderClick(int listColumn) {
  if (!(listStyle_ & GFXS_SORTONCLICK) || !columns_) return;
  const int columnId = ColumnIdAt(listColumn);
  GfxColumnDef* def = columns_->Find(columnId);
  if (!def || !(def->flags & GFXCOL_SORTABLE)) return;
  const int direction = def->sortDirection > 0 ? -1 : 1;
  for (auto& d : columns_->Definitions()) d.sortDirection = 0;
  def->sortDirection = direction;
  ShowSortArrow(listColumn, direction);

  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  SortByColumn(columnId, direction > 0);
  SetCursor(previous);
  int first = ListView_GetNextItem(m_hWnd, -1, LVNI_SELECTED);
  if (first >= 0) ListView_EnsureVisible(m_hWnd, first, FALSE);
}

// --- messages --------------------------------------------------------------------

LRESULT CGfxListCtrl::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == GfxEndEditMessage()) {
    if (editor_ && editor_->Session() == static_cast<unsigned>(lp)) EndEdit(wp != 0);
    return 0;
  }
  switch (msg) {
    case WM_LBUTTONDOWN: OnLButtonDown(wp, lp); return 0;
    case WM_LBUTTONUP: {
      LRESULT r = Default();
      OpenPendingDropDown();
      return r;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == GFX_EDITOR_ID && editor_ && reinterpret_cast<HWND>(lp) == editor_->m_hWnd) {
        const UINT code = HIWORD(wp);
        const DWORD type = editor_->Type();
        const unsigned session = editor_->Session();
        bool end = false, commit = false;
        if (type == GFXCOL_EDITBOX && code == EN_KILLFOCUS) end = commit = true;
        if (type != GFXCOL_EDITBOX && code == CBN_KILLFOCUS) {
          end = true;
          commit = type == GFXCOL_EDITDROPDOWN;
        }
        if (type == GFXCOL_EDITDROPLIST && code == CBN_SELENDOK) end = commit = true;
        if (end) PostMessageA(m_hWnd, GfxEndEditMessage(), commit, session);
        return 0;
      }
      break;
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (hdr && hdr->hwndFrom == ListView_GetHeader(m_hWnd)) {
        if (hdr->code == HDN_BEGINTRACKA || hdr->code == HDN_BEGINTRACKW || hdr->code == HDN_BEGINDRAG) EndEdit(true);
        if (hdr->code == HDN_ENDTRACKA || hdr->code == HDN_ENDTRACKW || hdr->code == HDN_ITEMCHANGEDA ||
            hdr->code == HDN_ITEMCHANGEDW)
          InvalidateRect(m_hWnd, nullptr, FALSE);
      }
      break;
    }
    case WM_HSCROLL:
      EndEdit(true);
      // The list view's own arrow step is a single pixel in report view;
      // an arrow click moves by a few characters instead.
      if (LOWORD(wp) == SB_LINELEFT || LOWORD(wp) == SB_LINERIGHT) {
        const int step = HorizontalLineStep();
        ListView_Scroll(m_hWnd, LOWORD(wp) == SB_LINELEFT ? -step : step, 0);
        return 0;
      }
      break;
    case WM_VSCROLL:
    case WM_MOUSEWHEEL:
    case WM_SIZE: EndEdit(true); break;
    case WM_SETFONT: ResetFonts(); break;
    case WM_SETREDRAW: redrawOff_ = wp == FALSE; break;
    case WM_ERASEBKGND:
      // Erased off screen with the rest of the paint (see PaintBuffered).
      if (!redrawOff_) return 1;
      break;
    case WM_PAINT:
      if (wp == 0 && !redrawOff_) {
        PaintBuffered();
        return 0;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      hasFocus_ = msg == WM_SETFOCUS ? 1 : 0;
      // The selection is drawn differently with and without the focus.
      InvalidateRect(m_hWnd, nullptr, FALSE);
      break;
    case WM_DESTROY: EndEdit(false); break;
  }
  return CWindow::WindowProc(msg, wp, lp);
}

bool CGfxListCtrl::OnReflectedMessage(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_MEASUREITEM: {
      auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      if (rowHeight_ <= 0) return false;
      mis->itemHeight = static_cast<UINT>(rowHeight_);
      result = TRUE;
      return true;
    }
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      if (dis->CtlType != ODT_LISTVIEW) return false;
      DrawRow(*dis);
      result = TRUE;
      return true;
    }
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (hdr->code == LVN_COLUMNCLICK) OnHeaderClick(reinterpret_cast<NMLISTVIEW*>(lp)->iSubItem);
      // The parent still sees the notification.
      return false;
    }
  }
  return false;
}
