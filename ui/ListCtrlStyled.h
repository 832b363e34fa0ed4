// CListCtrlStyled: a report-view list whose rows, cells and columns carry
// styles (bold, italic, underline, strike-out, text colour, background), with
// a separate style for the selected state. The list view still draws text,
// images and grid; the styles go in through its custom-draw notification,
// which the parent reflects to the control.
//
// Every row's item data is a pointer to its main record (the style of the
// first cell, with the records of the other cells). The records are changed
// and read only on the thread that owns the window: calls from another
// thread (the log reader) wait in a locked queue of this control and a sent
// message only tells the window's thread to run what is queued, so a paint
// never sees a record or font half-changed. The message carries nothing:
// whoever else sends it (any program can) makes the window run only calls
// that this process queued.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/Window.h"

class CListCtrlStyled : public CWindow {
 public:
  // Style flags.
  static constexpr uint32_t kBold = 0x01;
  static constexpr uint32_t kItalic = 0x02;
  static constexpr uint32_t kUnderline = 0x04;
  static constexpr uint32_t kStrikeOut = 0x08;
  static constexpr uint32_t kFontMask = 0x0F;
  static constexpr uint32_t kTextColour = 0x10;
  static constexpr uint32_t kBackColour = 0x20;
  static constexpr uint32_t kNoColumnStyle = 0x40;  // column styles do not apply
  static constexpr uint32_t kNoRowStyle = 0x80;     // row styles do not apply

  struct StyleRecord {
    StyleRecord();
    ~StyleRecord();
    StyleRecord(const StyleRecord&) = delete;
    StyleRecord& operator=(const StyleRecord&) = delete;

    LPARAM userData = 0;
    bool hasUserData = false;
    uint32_t flags = 0;
    bool fontFlag = false;
    COLORREF textColour = 0;
    COLORREF backColour = 0;
    // Main record only: the cells of the columns after the first, and the
    // style of the whole row.
    std::vector<std::unique_ptr<StyleRecord>> cells;
    std::unique_ptr<StyleRecord> row;
    std::unique_ptr<StyleRecord> selected;
    // This record's own font (made from its flags) and the font merged from
    // several levels for this cell, with the levels' flags it was made for.
    HFONT font = nullptr;
    bool ownsFont = false;
    HFONT combined = nullptr;
    uint32_t combinedKey = 0;

    void SetFlags(uint32_t newFlags);
    void FreeFonts();
  };

  // What a cell is drawn with.
  struct CellLook {
    COLORREF text;
    COLORREF back;
    HFONT font;  // null: the list's own font
  };

  CListCtrlStyled();
  ~CListCtrlStyled() override;

  // Inserts a row with that text; returns its index or -1.
  int InsertRow(int index, const char* text);
  // The same with the caller's item data, kept inside the row's record.
  int InsertRow(int index, const char* text, LPARAM userData);
  void SetRowStyle(int row, uint32_t flags, bool redraw = true);
  void SetRowBackground(int row, COLORREF colour, bool redraw = true);
  void SetRowTextColour(int row, COLORREF colour, bool redraw = true);
  bool SetCellImage(int row, int column, int image);
  bool SetCellText(int row, int column, const char* text);
  // A cell's text (of this list, or of any report-view list).
  std::string CellText(int row, int column) const { return CellText(m_hWnd, row, column); }
  static std::string CellText(HWND list, int row, int column);
  // Styles that the Log page does not use, complete for other users.
  void SetCellStyle(int row, int column, uint32_t flags, COLORREF text, COLORREF back, bool redraw = true);
  void SetColumnStyle(int column, uint32_t flags, COLORREF text, COLORREF back);
  // The selected style of a row's style record (column -1) or of a cell.
  void SetSelectedStyle(int row, int column, uint32_t flags, COLORREF text, COLORREF back);
  bool DeleteRow(int row);
  // lockRedraw false: the caller has locked the list's drawing itself and
  // keeps it locked (no frame shows the empty list).
  void DeleteAllRows(bool lockRedraw = true);
  // Inserts a column; -1 (and nothing else changed) when the list refuses.
  int InsertStyledColumn(int index, const LVCOLUMNA& column);

  int RowCount() const;
  int ColumnCount() const;
  // The caller's item data of a row (0 when none was given).
  LPARAM GetRowData(int row) const;
  // The main record of a row, or null.
  StyleRecord* MainRecord(int row) const;

  // The font and colours of one cell as they would be painted now. Makes
  // and caches fonts as painting does; owner thread only.
  CellLook ResolveCell(int row, int column, bool selected);

  // Runs fn on the window's thread, directly when already there: several
  // calls made inside fn then cost one round trip between the threads.
  void OnOwnerThread(const std::function<void()>& fn) const;
  // The message that makes the window's thread run the queued calls.
  static UINT RunQueuedMessage();
  // Round trips to the window's thread made so far (for measurements).
  static long CrossThreadCalls();

  // Records alive in the process (for leak checks).
  static long LiveRecords();

  // The font that styles are made from (set at the first paint, or here).
  void SetBaseFont(const LOGFONTA& font);

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
  bool OnReflectedMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  int InsertRowWithData(int index, const char* text, LPARAM userData, bool hasUserData);
  LRESULT OnCustomDraw(NMLVCUSTOMDRAW* cd);
  // The look of a cell of the row whose main record is given.
  CellLook Resolve(StyleRecord* main, int column, bool selected, COLORREF defaultText, COLORREF defaultBack);
  // A call from another thread waiting for the window's thread.
  struct QueuedCall {
    const std::function<void()>* fn;
    bool running = false;
    bool done = false;
  };
  // Runs the queued calls; on the window's thread.
  void RunQueued() const;
  StyleRecord* RowRecord(int row, bool create) const;
  StyleRecord* CellRecord(int row, int column) const;
  StyleRecord* ColumnRecord(int column, bool create);
  void RedrawRow(int row) const;
  HFONT RecordFont(StyleRecord* record, bool& madeNew);
  COLORREF DefaultText(bool selected) const;
  COLORREF DefaultBack(bool selected) const;

  std::vector<std::unique_ptr<StyleRecord>> columns_;
  LOGFONTA listFont_{};
  bool haveListFont_ = false;
  COLORREF highlightText_;
  COLORREF highlight_;
  // State of the row being painted.
  bool paintSelected_ = false;
  HGDIOBJ rowOldFont_ = nullptr;
  HGDIOBJ cellOldFont_ = nullptr;
  StyleRecord* paintRecord_ = nullptr;
  // Text and background, normal and selected, read at the start of a paint.
  COLORREF paintColours_[4] = {};

  mutable std::mutex queueLock_;
  mutable std::condition_variable queueDone_;
  mutable std::deque<QueuedCall*> queue_;
};
