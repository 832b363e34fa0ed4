#include "ui/gfxlist/GfxCellEditor.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>

#include "framework/Module.h"
#include "ui/gfxlist/GfxListCtrl.h"

UINT GfxEndEditMessage() {
  static const UINT msg = RegisterWindowMessageA("Varnokel.GfxList.EndEdit");
  return msg;
}

CGfxCellEditor::~CGfxCellEditor() {
  inner_.reset();
  if (m_hWnd) {
    HWND hwnd = m_hWnd;
    Detach();
    DestroyWindow(hwnd);
  }
}

LRESULT CGfxCellEditor::WindowProc(UINT msg, WPARAM wp, LPARAM) {
  switch (msg) {
    case WM_GETDLGCODE: return Default() | DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
      if (wp == VK_RETURN || wp == VK_ESCAPE) {
        PostMessageA(list_->m_hWnd, GfxEndEditMessage(), wp == VK_RETURN, session_);
        // A combo box still closes its open list itself.
        return type_ == GFXCOL_EDITBOX ? 0 : Default();
      }
      break;
    case WM_CHAR:
      if (wp == VK_RETURN || wp == VK_ESCAPE) return 0;
      break;
    case WM_LBUTTONUP: {
      // The release of the click that opened the editor.
      LRESULT r = Default();
      list_->OpenPendingDropDown();
      return r;
    }
  }
  return Default();
}

// --- the list's editing, started by a click on a selected row --------------

HWND CGfxListCtrl::EditorWindow() const { return editor_ ? editor_->m_hWnd : nullptr; }

RECT CGfxListCtrl::CellRect(int row, int listColumn) const {
  RECT r{};
  ListView_GetItemRect(m_hWnd, row, &r, LVIR_BOUNDS);
  RECT bounds = r;
  HWND header = ListView_GetHeader(m_hWnd);
  RECT h{};
  if (header && Header_GetItemRect(header, listColumn, &h)) {
    // The row's left edge is where the header's first column starts.
    r.left = bounds.left + h.left;
    r.right = bounds.left + h.right;
  }
  return r;
}

bool CGfxListCtrl::BeginEdit(int row, int columnId) {
  EndEdit(true);
  const int column = ListColumnOf(columnId);
  const GfxColumnDef* def = columns_ ? columns_->Find(columnId) : nullptr;
  if (!m_hWnd || column < 0 || !def || row < 0 || row >= RowCount()) return false;
  DWORD type;
  if (def->flags & GFXCOL_EDITBOX)
    type = GFXCOL_EDITBOX;
  else if (def->flags & GFXCOL_EDITDROPLIST)
    type = GFXCOL_EDITDROPLIST;
  else if (def->flags & GFXCOL_EDITDROPDOWN)
    type = GFXCOL_EDITDROPDOWN;
  else
    return false;

  const std::string current = CellText(row, columnId);
  std::vector<std::string> choices;
  if (type != GFXCOL_EDITBOX) {
    GfxListQuery q;
    FillQuery(q, GFXQ_CHOICES, row, columnId);
    AskOwner(q);
    choices = std::move(q.choices);
    // A list without choices has nothing to pick from.
    if (type == GFXCOL_EDITDROPLIST && choices.empty()) return false;
  }

  HFONT font = NormalFont();
  if (listStyle_ & GFXS_OWNERFORMAT) {
    GfxListQuery q;
    FillQuery(q, GFXQ_FORMAT, row, columnId);
    q.mask = GFXF_BOLD | GFXF_ITALIC | GFXF_UNDERLINE | GFXF_FONT;
    if (AskOwner(q)) font = ((q.format & GFXF_FONT) && q.font) ? q.font : StyledFont(q.format);
  }

  ListView_EnsureVisible(m_hWnd, row, FALSE);
  RECT cell = CellRect(row, column);
  RECT client = ClientRect();
  cell.right = std::min(cell.right, client.right);
  const int cellHeight = cell.bottom - cell.top;
  HWND hwnd;
  static unsigned sessions = 0;
  const unsigned session = ++sessions;
  if (type == GFXCOL_EDITBOX) {
    hwnd = CreateWindowExA(0, "EDIT", current.c_str(), WS_CHILD | WS_BORDER | ES_AUTOHSCROLL, cell.left, cell.top,
                           cell.right - cell.left, cellHeight, m_hWnd,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(GFX_EDITOR_ID)), AppInstance(), nullptr);
  } else {
    DWORD style =
        WS_CHILD | WS_VSCROLL | CBS_AUTOHSCROLL | (type == GFXCOL_EDITDROPLIST ? CBS_DROPDOWNLIST : CBS_DROPDOWN);
    int dropped = cellHeight + 4 + static_cast<int>(std::min<size_t>(choices.size(), 12)) * (cellHeight + 2);
    hwnd = CreateWindowExA(0, "COMBOBOX", "", style, cell.left, cell.top, cell.right - cell.left, dropped, m_hWnd,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(GFX_EDITOR_ID)), AppInstance(), nullptr);
  }
  if (!hwnd) return false;
  SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

  auto editor = std::make_unique<CGfxCellEditor>(this, type, session);
  editor->Attach(hwnd);
  if (type == GFXCOL_EDITBOX) {
    SendMessageA(hwnd, EM_SETSEL, 0, -1);
  } else {
    for (const auto& choice : choices) SendMessageA(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.c_str()));
    // The selection field fits the row.
    if (cellHeight > 8) SendMessageA(hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), cellHeight - 6);
    LRESULT match =
        SendMessageA(hwnd, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(current.c_str()));
    if (match != CB_ERR) SendMessageA(hwnd, CB_SETCURSEL, match, 0);
    if (type == GFXCOL_EDITDROPDOWN) {
      SetWindowTextA(hwnd, current.c_str());
      COMBOBOXINFO info{};
      info.cbSize = sizeof info;
      if (GetComboBoxInfo(hwnd, &info) && info.hwndItem) {
        editor->inner_ = std::make_unique<CGfxCellEditor>(this, type, session);
        editor->inner_->Attach(info.hwndItem);
      }
    }
  }
  editor_ = std::move(editor);
  editRow_ = row;
  editColumn_ = columnId;
  ShowWindow(hwnd, SW_SHOW);
  SetFocus(hwnd);
  // A drop-down list opens at once, unless the mouse button of the click
  // that started the edit is still down: then it opens when the button is
  // released (over the list or over the editor that now covers the cell).
  dropPending_ = type == GFXCOL_EDITDROPLIST;
  if (dropPending_ && !(GetKeyState(VK_LBUTTON) & 0x8000)) OpenPendingDropDown();
  return true;
}

void CGfxListCtrl::OpenPendingDropDown() {
  if (!dropPending_) return;
  dropPending_ = false;
  if (editor_ && editor_->m_hWnd && !SendMessageA(editor_->m_hWnd, CB_GETDROPPEDSTATE, 0, 0))
    SendMessageA(editor_->m_hWnd, CB_SHOWDROPDOWN, TRUE, 0);
}

void CGfxListCtrl::EndEdit(bool commit) {
  dropPending_ = false;
  if (!editor_) return;
  std::unique_ptr<CGfxCellEditor> editor = std::move(editor_);
  const int row = editRow_, columnId = editColumn_;
  editRow_ = editColumn_ = -1;
  HWND hwnd = editor->m_hWnd;

  bool hasValue = false;
  std::string value;
  if (commit && hwnd) {
    if (editor->Type() == GFXCOL_EDITDROPLIST) {
      LRESULT sel = SendMessageA(hwnd, CB_GETCURSEL, 0, 0);
      if (sel != CB_ERR) {
        LRESULT len = SendMessageA(hwnd, CB_GETLBTEXTLEN, sel, 0);
        if (len != CB_ERR) {
          value.assign(static_cast<size_t>(len) + 1, '\0');
          SendMessageA(hwnd, CB_GETLBTEXT, sel, reinterpret_cast<LPARAM>(value.data()));
          value.resize(strlen(value.c_str()));
          hasValue = true;
        }
      }
    } else {
      value = editor->GetText();
      hasValue = true;
    }
  }
  bool hadFocus = hwnd && (GetFocus() == hwnd || IsChild(hwnd, GetFocus()));
  if (hwnd && SendMessageA(hwnd, CB_GETDROPPEDSTATE, 0, 0) && editor->Type() != GFXCOL_EDITBOX)
    SendMessageA(hwnd, CB_SHOWDROPDOWN, FALSE, 0);
  if (hadFocus) SetFocus(m_hWnd);
  editor.reset();  // destroys the editor window
  // The row's selection colours depend on where the focus went.
  InvalidateRect(m_hWnd, nullptr, FALSE);

  if (!hasValue) return;
  std::vector<int> rows{row};
  if (listStyle_ & GFXS_MULTIEDIT) {
    std::vector<int> selected = SelectedRows();
    if (selected.size() > 1 && std::find(selected.begin(), selected.end(), row) != selected.end()) rows = selected;
  }
  for (int r : rows) ApplyValue(r, columnId, value);
}

void CGfxListCtrl::ApplyValue(int row, int columnId, const std::string& value) {
  if (row < 0 || row >= RowCount()) return;
  GfxListQuery q;
  FillQuery(q, GFXQ_VALUE, row, columnId);
  q.text = value;
  if (AskOwner(q) && row < RowCount()) SetCellText(row, columnId, q.text);
}

bool CGfxListCtrl::PickEditorChoice(int index) {
  if (!editor_ || editor_->Type() == GFXCOL_EDITBOX) return false;
  HWND hwnd = editor_->m_hWnd;
  if (index < 0 || index >= static_cast<int>(SendMessageA(hwnd, CB_GETCOUNT, 0, 0))) return false;
  SendMessageA(hwnd, CB_SETCURSEL, index, 0);
  if (editor_->Type() == GFXCOL_EDITDROPDOWN) {
    std::string text(static_cast<size_t>(SendMessageA(hwnd, CB_GETLBTEXTLEN, index, 0)) + 1, '\0');
    SendMessageA(hwnd, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    SetWindowTextA(hwnd, text.c_str());
  }
  EndEdit(true);
  return true;
}

bool CGfxListCtrl::OnLButtonDown(WPARAM wp, LPARAM lp) {
  EndEdit(true);
  LVHITTESTINFO hit{};
  hit.pt.x = GET_X_LPARAM(lp);
  hit.pt.y = GET_Y_LPARAM(lp);
  int row = ListView_SubItemHitTest(m_hWnd, &hit);
  const bool wasSelected = row >= 0 && (ListView_GetItemState(m_hWnd, row, LVIS_SELECTED) & LVIS_SELECTED);
  Default();
  // Only a plain click on a row that was selected before starts an edit;
  // a click on any other row just selects it.
  if (row < 0 || !wasSelected || (wp & (MK_SHIFT | MK_CONTROL))) return true;
  const int columnId = ColumnIdAt(hit.iSubItem);
  if (columnId < 0 || !ColumnHasFlag(columnId, GFXCOL_EDITBOX | GFXCOL_EDITDROPLIST | GFXCOL_EDITDROPDOWN)) return true;
  BeginEdit(row, columnId);
  return true;
}
