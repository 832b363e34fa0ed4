// CGfxListCtrl: an owner-drawn report-view list whose columns come from
// definitions kept by a column manager (stored per layout name in the
// application's profile). Cells can be drawn as images of the list's small
// image list, the owner can give each cell a font and a text colour, a click
// on a header sorts the rows, and a click on a cell of a selected row opens an
// in-place editor whose choices and result go through the owner.
//
// The list draws its rows from the WM_DRAWITEM and sizes them from the
// WM_MEASUREITEM that its parent reflects to it (see CWindow), so the parent
// must be a CWindow-based window (a CDialogBase in the program).
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Handle.h"
#include "framework/Window.h"
#include "ui/gfxlist/GfxColumnManager.h"

// Kinds of owner query.
constexpr int GFXQ_FORMAT = 0;     // font and colour of a cell (drawing or editor)
constexpr int GFXQ_CHOICES = 1;    // choices of a drop-down editor
constexpr int GFXQ_VALUE = 2;      // the editor closed with a value
constexpr int GFXQ_GRIDLINES = 3;  // about to draw a row's grid lines (unhandled: the list draws them)
constexpr int GFXQ_ROWDRAWN = 4;   // a row has been drawn

// Format flags of a GFXQ_FORMAT answer.
constexpr UINT GFXF_BOLD = 0x01;
constexpr UINT GFXF_ITALIC = 0x02;
constexpr UINT GFXF_UNDERLINE = 0x04;
constexpr UINT GFXF_FONT = 0x08;        // font holds a font handle
constexpr UINT GFXF_TEXTCOLOUR = 0x10;  // textColour holds the colour

// List style bits.
constexpr DWORD GFXS_HGRID = 0x01;          // horizontal grid lines
constexpr DWORD GFXS_VGRID = 0x02;          // vertical grid lines
constexpr DWORD GFXS_FULLROWSELECT = 0x04;  // the selection covers the whole row (else the first column)
constexpr DWORD GFXS_SORTONCLICK = 0x08;    // header-click sorting
constexpr DWORD GFXS_OWNERFORMAT = 0x10;    // ask the owner for fonts and colours
constexpr DWORD GFXS_IMAGECELLS = 0x20;     // image cells
constexpr DWORD GFXS_MULTIEDIT = 0x40;      // an edit value goes to every selected row
constexpr DWORD GFXS_DEFAULT = 0x793F;

// Without a callback the query goes to the parent as this message, with
// the record's address as lParam.
constexpr UINT WM_GFX_OWNERQUERY = WM_USER + 1;
// The in-place editor's control identifier.
constexpr int GFX_EDITOR_ID = 0x800D;

// The record of one owner query.
struct GfxListQuery {
  int kind = 0;
  UINT controlId = 0;
  int item = -1;    // row index
  int column = -1;  // column identifier
  LPARAM itemData = 0;
  UINT mask = 0;    // what is asked (format flags the list can use)
  UINT format = 0;  // GFXF_*
  COLORREF textColour = 0;
  COLORREF backColour = 0;
  HFONT font = nullptr;
  std::string text;                  // cell text; for GFXQ_VALUE the chosen value, replaceable
  std::vector<std::string> choices;  // filled by the owner for GFXQ_CHOICES
};

// Called with the list's parent and the record; non-zero means handled.
using GfxOwnerCallback = std::function<LRESULT(HWND parent, GfxListQuery* query)>;

class CGfxCellEditor;

class CGfxListCtrl : public CWindow {
 public:
  CGfxListCtrl();
  ~CGfxListCtrl() override;

  // Creates a report-view owner-drawn list as a child of parent and attaches
  // to it (a list from a dialog template is bound with Attach instead).
  bool Create(HWND parent, const RECT& rect, int id, DWORD extraStyle = 0);

  // Column definitions.
  CGfxColumnManager* CreateColumnManager();
  CGfxColumnManager* ColumnManager() { return columns_.get(); }
  int DefineColumn(int id, const std::string& text, const std::string& secondText, int format, int width, DWORD flags,
                   int image = -1, const std::string& description = "");
  void SetDefaultOrder(int count, const int* ids);
  bool LoadColumns(const std::string& name);
  void ApplyColumns();
  void ReadBackColumns();
  bool SaveColumns(const std::string& name) const;

  void ModifyListStyle(DWORD remove, DWORD add, UINT swpFlags = 0);
  DWORD ListStyle() const { return listStyle_; }
  void SetRowHeight(int pixels);
  int RowHeight() const { return rowHeight_; }
  void SetOwnerCallback(GfxOwnerCallback callback) { callback_ = std::move(callback); }
  // The image list whose images image cells show; the caller keeps it.
  HIMAGELIST SetImageList(HIMAGELIST images);
  HIMAGELIST ImageList() const;

  // Rows. Cells are addressed by column identifier.
  int InsertRow(int index, const std::string& text, LPARAM data);
  bool SetCellText(int row, int columnId, const std::string& text);
  bool SetCellImage(int row, int columnId, int image);
  std::string CellText(int row, int columnId) const;
  LPARAM RowData(int row) const;
  bool SetRowData(int row, LPARAM data);
  int RowCount() const;
  void DeleteAllRows();
  std::vector<int> SelectedRows() const;
  bool SelectRow(int row, bool select = true);

  // The list column that shows a column identifier (-1 when not shown), and back.
  int ListColumnOf(int columnId) const;
  int ColumnIdAt(int listColumn) const;
  bool ColumnHasFlag(int columnId, DWORD flag) const;

  // Sorting by a column, as a header click does (without the click checks).
  void SortByColumn(int columnId, bool ascending);

  // The in-place editor.
  bool IsEditing() const { return editor_ != nullptr; }
  HWND EditorWindow() const;
  // Ends an edit in progress; with commit the editor's value is reported.
  void EndEdit(bool commit);
  // Opens the editor of a cell as a click would on a selected row; false
  // when the column has no editor or a drop-down list has no choices.
  bool BeginEdit(int row, int columnId);
  // Testing seam and keyboard helper: selects a choice of the open drop-down
  // editor and closes it with that value.
  bool PickEditorChoice(int index);

  // Sort keys (see SortByColumn): a cell text read as a signed 32-bit
  // decimal number, optionally after removing every ".".
  static int NumberKey(const std::string& text, bool removeDots);
  // The image an image cell shows: its text read as a number, 0 when the
  // text is not a number.
  static int ImageIndexOf(const std::string& text);

  // Fonts the list draws with (for tests and owners).
  HFONT NormalFont() const;
  // Pixels that one click on a horizontal scroll arrow moves the view: two
  // average characters of the list's font, at least 8.
  int HorizontalLineStep() const;
  HFONT StyledFont(UINT formatFlags);

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
  bool OnReflectedMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

  // Owner queries: the callback, or WM_GFX_OWNERQUERY to the parent.
  LRESULT AskOwner(GfxListQuery& query);

 private:
  friend class CGfxCellEditor;

  void PaintBuffered();
  void DrawRow(const DRAWITEMSTRUCT& dis);
  void DrawCell(HDC dc, const RECT& cell, int row, LPARAM data, int listColumn, const GfxColumnDef* def,
                HIMAGELIST images);
  void OnHeaderClick(int listColumn);
  void ShowSortArrow(int listColumn, int direction);
  bool OnLButtonDown(WPARAM wp, LPARAM lp);
  RECT CellRect(int row, int listColumn) const;
  void ApplyValue(int row, int columnId, const std::string& value);
  void OpenPendingDropDown();
  void RemeasureRows();
  void ResetFonts();
  void FillQuery(GfxListQuery& q, int kind, int row, int columnId) const;
  // The same for drawing, with the row's data and the cell's text at hand.
  void FillDrawQuery(GfxListQuery& q, int kind, int row, int columnId, LPARAM data, std::string text) const;

  std::unique_ptr<CGfxColumnManager> columns_;
  std::vector<int> listColumnIds_;  // list column index -> column identifier
  DWORD flagMasks_[32] = {};        // per flag bit: the columns that have it
  DWORD listStyle_ = GFXS_DEFAULT;
  int rowHeight_ = 0;
  // Whether the list has the keyboard focus, kept from its focus messages:
  // asking the system for every row drawn costs a server round trip each.
  // -1 until the first focus message (then asked once).
  int hasFocus_ = -1;
  // Drawing switched off with WM_SETREDRAW.
  bool redrawOff_ = false;
  GfxOwnerCallback callback_;
  GdiObject<HFONT> boldFont_, italicFont_, underlineFont_;

  std::unique_ptr<CGfxCellEditor> editor_;
  int editRow_ = -1;
  int editColumn_ = -1;
  bool dropPending_ = false;
};
