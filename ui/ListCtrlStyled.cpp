#include "ui/ListCtrlStyled.h"

#include <atomic>

namespace {

std::atomic<long> g_liveRecords{0};
std::atomic<long> g_crossThreadCalls{0};

// The font of one level: the list font with that level's variations.
LOGFONTA FontFromFlags(const LOGFONTA& base, uint32_t flags) {
  LOGFONTA lf = base;
  lf.lfWeight = (flags & CListCtrlStyled::kBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (flags & CListCtrlStyled::kItalic) ? TRUE : FALSE;
  lf.lfUnderline = (flags & CListCtrlStyled::kUnderline) ? TRUE : FALSE;
  lf.lfStrikeOut = (flags & CListCtrlStyled::kStrikeOut) ? TRUE : FALSE;
  return lf;
}

// Which of the row and column levels apply to a cell. The row record is
// consulted first, so its "no column styles" wins over the column's "no
// row styles" when both are set.
struct Levels {
  bool row = false;
  bool column = false;
};

Levels ApplyingLevels(const CListCtrlStyled::StyleRecord* cell, const CListCtrlStyled::StyleRecord* row,
                      const CListCtrlStyled::StyleRecord* column) {
  const uint32_t cellFlags = cell ? cell->flags : 0;
  Levels l;
  l.row = row && !(cellFlags & CListCtrlStyled::kNoRowStyle);
  l.column = column && !(cellFlags & CListCtrlStyled::kNoColumnStyle) &&
             !(l.row && (row->flags & CListCtrlStyled::kNoColumnStyle));
  if (l.column && (column->flags & CListCtrlStyled::kNoRowStyle)) l.row = false;
  return l;
}

}  // namespace

CListCtrlStyled::StyleRecord::StyleRecord() { ++g_liveRecords; }

CListCtrlStyled::StyleRecord::~StyleRecord() {
  FreeFonts();
  --g_liveRecords;
}

void CListCtrlStyled::StyleRecord::SetFlags(uint32_t newFlags) {
  flags = newFlags;
  fontFlag = (flags & kFontMask) != 0;
}

void CListCtrlStyled::StyleRecord::FreeFonts() {
  if (font && ownsFont) DeleteObject(font);
  font = nullptr;
  ownsFont = false;
  if (combined) DeleteObject(combined);
  combined = nullptr;
  combinedKey = 0;
}

long CListCtrlStyled::LiveRecords() { return g_liveRecords.load(); }

CListCtrlStyled::CListCtrlStyled()
    : highlightText_(GetSysColor(COLOR_HIGHLIGHTTEXT)), highlight_(GetSysColor(COLOR_HIGHLIGHT)) {}

CListCtrlStyled::~CListCtrlStyled() {
  if (m_hWnd) DeleteAllRows();
}

UINT CListCtrlStyled::RunQueuedMessage() {
  static const UINT msg = RegisterWindowMessageA("Varnokel.StyledList.RunOnOwner");
  return msg;
}

long CListCtrlStyled::CrossThreadCalls() { return g_crossThreadCalls.load(); }

void CListCtrlStyled::OnOwnerThread(const std::function<void()>& fn) const {
  HWND hwnd = m_hWnd;
  if (!hwnd || GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) {
    fn();
    return;
  }
  ++g_crossThreadCalls;
  QueuedCall call{&fn};
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    queue_.push_back(&call);
  }
  // The window's thread runs every queued call when the message arrives,
  // ours among them (it may already have, for a message sent by someone
  // else). A window that is gone runs nothing.
  SendMessageA(hwnd, RunQueuedMessage(), 0, 0);
  std::unique_lock<std::mutex> lock(queueLock_);
  if (!call.running) {
    // Never taken: the window went away. The call is dropped.
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
      if (*it == &call) {
        queue_.erase(it);
        break;
      }
    }
    return;
  }
  queueDone_.wait(lock, [&] { return call.done; });
}

void CListCtrlStyled::RunQueued() const {
  for (;;) {
    QueuedCall* call = nullptr;
    {
      std::lock_guard<std::mutex> lock(queueLock_);
      if (queue_.empty()) return;
      call = queue_.front();
      queue_.pop_front();
      call->running = true;
    }
    try {
      (*call->fn)();
    } catch (...) {
      // The caller's function does not throw; a fault here must not leave
      // the caller waiting.
    }
    {
      std::lock_guard<std::mutex> lock(queueLock_);
      call->done = true;
    }
    queueDone_.notify_all();
  }
}

int CListCtrlStyled::RowCount() const { return m_hWnd ? ListView_GetItemCount(m_hWnd) : 0; }

int CListCtrlStyled::ColumnCount() const {
  HWND header = m_hWnd ? ListView_GetHeader(m_hWnd) : nullptr;
  return header ? Header_GetItemCount(header) : 0;
}

CListCtrlStyled::StyleRecord* CListCtrlStyled::MainRecord(int row) const {
  if (!m_hWnd || row < 0) return nullptr;
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!ListView_GetItem(m_hWnd, &item)) return nullptr;
  return reinterpret_cast<StyleRecord*>(item.lParam);
}

LPARAM CListCtrlStyled::GetRowData(int row) const {
  LPARAM data = 0;
  OnOwnerThread([&] {
    if (StyleRecord* main = MainRecord(row)) data = main->hasUserData ? main->userData : 0;
  });
  return data;
}

CListCtrlStyled::StyleRecord* CListCtrlStyled::RowRecord(int row, bool create) const {
  StyleRecord* main = MainRecord(row);
  if (!main) return nullptr;
  if (!main->row && create) main->row = std::make_unique<StyleRecord>();
  return main->row.get();
}

CListCtrlStyled::StyleRecord* CListCtrlStyled::CellRecord(int row, int column) const {
  StyleRecord* main = MainRecord(row);
  if (!main || column < 0) return nullptr;
  if (column == 0) return main;
  const size_t at = static_cast<size_t>(column) - 1;
  return at < main->cells.size() ? main->cells[at].get() : nullptr;
}

CListCtrlStyled::StyleRecord* CListCtrlStyled::ColumnRecord(int column, bool create) {
  if (column < 0) return nullptr;
  const size_t at = static_cast<size_t>(column);
  if (at >= columns_.size()) {
    if (!create) return nullptr;
    columns_.resize(at + 1);
  }
  if (!columns_[at] && create) columns_[at] = std::make_unique<StyleRecord>();
  return columns_[at].get();
}

void CListCtrlStyled::RedrawRow(int row) const {
  if (m_hWnd) ListView_RedrawItems(m_hWnd, row, row);
}

int CListCtrlStyled::InsertRow(int index, const char* text) { return InsertRowWithData(index, text, 0, false); }

int CListCtrlStyled::InsertRow(int index, const char* text, LPARAM userData) {
  return InsertRowWithData(index, text, userData, true);
}

int CListCtrlStyled::InsertRowWithData(int index, const char* text, LPARAM userData, bool hasUserData) {
  int result = -1;
  OnOwnerThread([&] {
    if (!m_hWnd) return;
    auto main = std::make_unique<StyleRecord>();
    main->userData = userData;
    main->hasUserData = hasUserData;
    const int columns = ColumnCount();
    for (int c = 1; c < columns; ++c) main->cells.push_back(std::make_unique<StyleRecord>());
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<char*>(text ? text : "");
    item.lParam = reinterpret_cast<LPARAM>(main.get());
    result = ListView_InsertItem(m_hWnd, &item);
    if (result >= 0) main.release();
  });
  return result;
}

void CListCtrlStyled::SetRowStyle(int row, uint32_t flags, bool redraw) {
  OnOwnerThread([&] {
    StyleRecord* r = RowRecord(row, true);
    if (!r) return;
    r->SetFlags(flags);
    r->FreeFonts();
    if (redraw) RedrawRow(row);
  });
}

void CListCtrlStyled::SetRowBackground(int row, COLORREF colour, bool redraw) {
  OnOwnerThread([&] {
    StyleRecord* r = RowRecord(row, true);
    if (!r) return;
    r->backColour = colour;
    if (redraw) RedrawRow(row);
  });
}

void CListCtrlStyled::SetRowTextColour(int row, COLORREF colour, bool redraw) {
  OnOwnerThread([&] {
    StyleRecord* r = RowRecord(row, true);
    if (!r) return;
    r->textColour = colour;
    if (redraw) RedrawRow(row);
  });
}

bool CListCtrlStyled::SetCellImage(int row, int column, int image) {
  bool ok = false;
  OnOwnerThread([&] {
    if (!m_hWnd) return;
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iSubItem = column;
    item.iImage = image;
    ok = ListView_SetItem(m_hWnd, &item) != FALSE;
  });
  return ok;
}

std::string CListCtrlStyled::CellText(HWND list, int row, int column) {
  char buf[1024] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = buf;
  item.cchTextMax = sizeof buf;
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return buf;
}

bool CListCtrlStyled::SetCellText(int row, int column, const char* text) {
  bool ok = false;
  OnOwnerThread([&] {
    if (!m_hWnd) return;
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text ? text : "");
    ok = SendMessageA(m_hWnd, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) != FALSE;
  });
  return ok;
}

void CListCtrlStyled::SetCellStyle(int row, int column, uint32_t flags, COLORREF text, COLORREF back, bool redraw) {
  OnOwnerThread([&] {
    StyleRecord* cell = CellRecord(row, column);
    if (!cell) return;
    cell->SetFlags(flags);
    cell->textColour = text;
    cell->backColour = back;
    cell->FreeFonts();
    if (redraw) RedrawRow(row);
  });
}

void CListCtrlStyled::SetColumnStyle(int column, uint32_t flags, COLORREF text, COLORREF back) {
  OnOwnerThread([&] {
    StyleRecord* c = ColumnRecord(column, true);
    if (!c) return;
    c->SetFlags(flags);
    c->textColour = text;
    c->backColour = back;
    c->FreeFonts();
    if (m_hWnd) InvalidateRect(m_hWnd, nullptr, FALSE);
  });
}

void CListCtrlStyled::SetSelectedStyle(int row, int column, uint32_t flags, COLORREF text, COLORREF back) {
  OnOwnerThread([&] {
    StyleRecord* owner = column < 0 ? RowRecord(row, true) : CellRecord(row, column);
    if (!owner) return;
    if (!owner->selected) owner->selected = std::make_unique<StyleRecord>();
    owner->selected->SetFlags(flags);
    owner->selected->textColour = text;
    owner->selected->backColour = back;
    owner->selected->FreeFonts();
    RedrawRow(row);
  });
}

bool CListCtrlStyled::DeleteRow(int row) {
  bool ok = false;
  OnOwnerThread([&] {
    StyleRecord* main = MainRecord(row);
    ok = m_hWnd && ListView_DeleteItem(m_hWnd, row);
    if (ok) delete main;
  });
  return ok;
}

void CListCtrlStyled::DeleteAllRows(bool lockRedraw) {
  OnOwnerThread([&] {
    if (!m_hWnd) return;
    // From the top, one by one, so that every row's records go with it;
    // without redrawing in between (each deletion would scroll the rest).
    const bool visible = lockRedraw && IsWindowVisible(m_hWnd) != FALSE;
    if (visible) SendMessageA(m_hWnd, WM_SETREDRAW, FALSE, 0);
    for (int n = ListView_GetItemCount(m_hWnd); n > 0; --n) {
      StyleRecord* main = MainRecord(0);
      if (!ListView_DeleteItem(m_hWnd, 0)) break;
      delete main;
    }
    ListView_DeleteAllItems(m_hWnd);
    if (visible) {
      SendMessageA(m_hWnd, WM_SETREDRAW, TRUE, 0);
      InvalidateRect(m_hWnd, nullptr, TRUE);
    }
  });
}

int CListCtrlStyled::InsertStyledColumn(int index, const LVCOLUMNA& column) {
  int result = -1;
  OnOwnerThread([&] {
    if (!m_hWnd) return;
    LVCOLUMNA copy = column;
    result = static_cast<int>(
        SendMessageA(m_hWnd, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&copy)));
    if (result < 0) return;
    const size_t at = static_cast<size_t>(result);
    if (at <= columns_.size()) columns_.insert(columns_.begin() + static_cast<long>(at), nullptr);
    // The cells of the columns after the first: the new column's cell goes
    // at its index less one (at the front when it became the first).
    const size_t cellAt = result > 0 ? at - 1 : 0;
    for (int r = 0, n = RowCount(); r < n; ++r) {
      StyleRecord* main = MainRecord(r);
      if (!main) continue;
      const size_t pos = cellAt <= main->cells.size() ? cellAt : main->cells.size();
      main->cells.insert(main->cells.begin() + static_cast<long>(pos), std::make_unique<StyleRecord>());
    }
  });
  return result;
}

void CListCtrlStyled::SetBaseFont(const LOGFONTA& font) {
  OnOwnerThread([&] {
    listFont_ = font;
    haveListFont_ = true;
  });
}

COLORREF CListCtrlStyled::DefaultText(bool selected) const {
  if (selected) return highlightText_;
  COLORREF c = m_hWnd ? ListView_GetTextColor(m_hWnd) : CLR_DEFAULT;
  return (c == CLR_DEFAULT || c == CLR_NONE) ? GetSysColor(COLOR_WINDOWTEXT) : c;
}

COLORREF CListCtrlStyled::DefaultBack(bool selected) const {
  if (selected) return highlight_;
  COLORREF c = m_hWnd ? ListView_GetTextBkColor(m_hWnd) : CLR_DEFAULT;
  if (c == CLR_DEFAULT || c == CLR_NONE) c = m_hWnd ? ListView_GetBkColor(m_hWnd) : CLR_NONE;
  return (c == CLR_DEFAULT || c == CLR_NONE) ? GetSysColor(COLOR_WINDOW) : c;
}

HFONT CListCtrlStyled::RecordFont(StyleRecord* record, bool& madeNew) {
  if (!record->font) {
    LOGFONTA lf = FontFromFlags(listFont_, record->flags);
    record->font = CreateFontIndirectA(&lf);
    record->ownsFont = record->font != nullptr;
    madeNew = true;
  }
  return record->font;
}

CListCtrlStyled::CellLook CListCtrlStyled::ResolveCell(int row, int column, bool selected) {
  return Resolve(MainRecord(row), column, selected, DefaultText(selected), DefaultBack(selected));
}

CListCtrlStyled::CellLook CListCtrlStyled::Resolve(StyleRecord* main, int column, bool selected, COLORREF defaultText,
                                                   COLORREF defaultBack) {
  StyleRecord* cellNormal = nullptr;
  if (main && column == 0) {
    cellNormal = main;
  } else if (main && column > 0 && static_cast<size_t>(column) - 1 < main->cells.size()) {
    cellNormal = main->cells[static_cast<size_t>(column) - 1].get();
  }
  StyleRecord* rowNormal = main ? main->row.get() : nullptr;
  StyleRecord* columnNormal = ColumnRecord(column, false);
  auto stateOf = [selected](StyleRecord* r) { return selected ? (r ? r->selected.get() : nullptr) : r; };
  StyleRecord* cell = stateOf(cellNormal);
  StyleRecord* rowRec = stateOf(rowNormal);
  StyleRecord* col = stateOf(columnNormal);

  CellLook look{defaultText, defaultBack, nullptr};
  const Levels levels = ApplyingLevels(cell, rowRec, col);
  StyleRecord* order[3] = {cell, levels.row ? rowRec : nullptr, levels.column ? col : nullptr};
  for (StyleRecord* r : order) {
    if (r && (r->flags & kTextColour)) {
      look.text = r->textColour;
      break;
    }
  }
  for (StyleRecord* r : order) {
    if (r && (r->flags & kBackColour)) {
      look.back = r->backColour;
      break;
    }
  }

  // The font: in the selected state a level without a selected font falls
  // back to its normal record.
  if (selected) {
    if (!cell || !cell->fontFlag) cell = cellNormal;
    if (!rowRec || !rowRec->fontFlag) rowRec = rowNormal;
    if (!col || !col->fontFlag) col = columnNormal;
  }
  if (!haveListFont_) return look;
  const Levels fontLevels = ApplyingLevels(cell, rowRec, col);
  // Column, row, cell: later levels win in a merged font.
  StyleRecord* contributors[3] = {fontLevels.column ? col : nullptr, fontLevels.row ? rowRec : nullptr, cell};
  int count = 0;
  bool madeNew = false;
  HFONT single = nullptr;
  uint32_t key = 0;
  for (int i = 0; i < 3; ++i) {
    StyleRecord* r = contributors[i];
    if (!r || !r->fontFlag) {
      contributors[i] = nullptr;
      continue;
    }
    single = RecordFont(r, madeNew);
    key |= ((r->flags & kFontMask) | 0x10) << (5 * i);
    ++count;
  }
  if (count <= 1) {
    look.font = single;
    return look;
  }
  if (!cellNormal) {
    look.font = single;  // no record to cache a merged font on: the last level wins
    return look;
  }
  if (madeNew || cellNormal->combinedKey != key || !cellNormal->combined) {
    if (cellNormal->combined) DeleteObject(cellNormal->combined);
    LOGFONTA merged = listFont_;
    for (StyleRecord* r : contributors) {
      if (!r) continue;
      const LOGFONTA lf = FontFromFlags(listFont_, r->flags);
      if (lf.lfWeight != listFont_.lfWeight) merged.lfWeight = lf.lfWeight;
      if (lf.lfItalic != listFont_.lfItalic) merged.lfItalic = lf.lfItalic;
      if (lf.lfUnderline != listFont_.lfUnderline) merged.lfUnderline = lf.lfUnderline;
      if (lf.lfStrikeOut != listFont_.lfStrikeOut) merged.lfStrikeOut = lf.lfStrikeOut;
    }
    cellNormal->combined = CreateFontIndirectA(&merged);
    cellNormal->combinedKey = key;
  }
  look.font = cellNormal->combined;
  return look;
}

LRESULT CListCtrlStyled::OnCustomDraw(NMLVCUSTOMDRAW* cd) {
  HDC dc = cd->nmcd.hdc;
  const int row = static_cast<int>(cd->nmcd.dwItemSpec);
  switch (cd->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      // The list's colours, once per paint.
      paintColours_[0] = DefaultText(false);
      paintColours_[1] = DefaultBack(false);
      paintColours_[2] = DefaultText(true);
      paintColours_[3] = DefaultBack(true);
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
      if (!haveListFont_) {
        HGDIOBJ current = GetCurrentObject(dc, OBJ_FONT);
        if (current && GetObjectA(current, sizeof listFont_, &listFont_) == sizeof listFont_) haveListFont_ = true;
      }
      // The list view must not draw its own highlight: the selected state
      // is drawn with the selected styles instead.
      paintSelected_ = (ListView_GetItemState(m_hWnd, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
      if (paintSelected_) cd->nmcd.uItemState &= ~CDIS_SELECTED;
      paintRecord_ = reinterpret_cast<StyleRecord*>(cd->nmcd.lItemlParam);
      const CellLook look = Resolve(paintRecord_, 0, paintSelected_, paintColours_[paintSelected_ ? 2 : 0],
                                    paintColours_[paintSelected_ ? 3 : 1]);
      cd->clrText = look.text;
      cd->clrTextBk = look.back;
      rowOldFont_ = look.font ? SelectObject(dc, look.font) : nullptr;
      LRESULT answer = CDRF_NOTIFYSUBITEMDRAW;
      if (paintSelected_ || rowOldFont_) answer |= CDRF_NOTIFYPOSTPAINT;
      if (rowOldFont_) answer |= CDRF_NEWFONT;
      return answer;
    }
    case CDDS_ITEMPOSTPAINT:
      if (rowOldFont_) SelectObject(dc, rowOldFont_);
      rowOldFont_ = nullptr;
      if (paintSelected_) cd->nmcd.uItemState |= CDIS_SELECTED;
      paintSelected_ = false;
      return CDRF_DODEFAULT;
    case CDDS_SUBITEM | CDDS_ITEMPREPAINT: {
      if (paintSelected_) cd->nmcd.uItemState &= ~CDIS_SELECTED;
      const CellLook look = Resolve(reinterpret_cast<StyleRecord*>(cd->nmcd.lItemlParam), cd->iSubItem, paintSelected_,
                                    paintColours_[paintSelected_ ? 2 : 0], paintColours_[paintSelected_ ? 3 : 1]);
      cd->clrText = look.text;
      cd->clrTextBk = look.back;
      // Without a font of its own the cell gets the list's font back, so
      // that the first cell's font does not spill over.
      if (look.font) {
        cellOldFont_ = SelectObject(dc, look.font);
      } else if (rowOldFont_) {
        cellOldFont_ = SelectObject(dc, rowOldFont_);
      } else {
        cellOldFont_ = nullptr;
      }
      return cellOldFont_ ? (CDRF_NEWFONT | CDRF_NOTIFYPOSTPAINT) : CDRF_DODEFAULT;
    }
    case CDDS_SUBITEM | CDDS_ITEMPOSTPAINT:
      if (cellOldFont_) SelectObject(dc, cellOldFont_);
      cellOldFont_ = nullptr;
      return CDRF_DODEFAULT;
    default: return CDRF_DODEFAULT;
  }
}

bool CListCtrlStyled::OnReflectedMessage(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
  if (msg != WM_NOTIFY) return false;
  auto* header = reinterpret_cast<NMHDR*>(lp);
  if (header->code != NM_CUSTOMDRAW) return false;
  result = OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(lp));
  return true;
}

LRESULT CListCtrlStyled::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == RunQueuedMessage()) {
    // wParam and lParam are not looked at: the calls come from the queue,
    // which only this process fills.
    RunQueued();
    return 0;
  }
  if (msg == WM_DESTROY) DeleteAllRows();
  return CWindow::WindowProc(msg, wp, lp);
}
