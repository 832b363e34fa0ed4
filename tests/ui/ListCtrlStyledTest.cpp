// The styled list: style resolution (levels, colours, selected state, merged
// fonts), its record bookkeeping when rows and columns come and go, real
// custom-draw passes through a list in a dialog, and calls from a second
// thread.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "common/TestSupport.h"
#include "framework/Dialog.h"
#include "framework/Handle.h"
#include "resource.h"
#include "ui/ListCtrlStyled.h"

using namespace testsupport;
using L = CListCtrlStyled;

namespace {

// A top-level window holding the Log page template (a dialog with one list
// view) so that the list's notifications are reflected as in the program.
template <class ListT>
class ListHostOf {
 public:
  explicit ListHostOf(int columns = 5) {
    frame_ = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 0, 0, 900, 500, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    page_.Create(frame_);
    HWND list = page_.Item(IDC_LOG_LIST);
    SetWindowPos(page_, nullptr, 0, 0, 900, 500, SWP_NOZORDER | SWP_SHOWWINDOW);
    SetWindowPos(list, nullptr, 0, 0, 900, 500, SWP_NOZORDER);
    list_.Attach(list);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (int c = 0; c < columns; ++c) AddColumn(c);
    LOGFONTA lf{};
    lf.lfHeight = -12;
    lf.lfWeight = FW_NORMAL;
    lstrcpyA(lf.lfFaceName, "Tahoma");
    list_.SetBaseFont(lf);
  }
  // Destroying the frame takes the page and the list with it.
  ~ListHostOf() { DestroyWindow(frame_); }
  int AddColumn(int index) {
    std::string title = "C" + std::to_string(index);
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    col.fmt = LVCFMT_LEFT;
    col.cx = 150;
    col.pszText = title.data();
    return list_.InsertStyledColumn(index, col);
  }
  // Paints the list into a memory bitmap (custom draw included) and returns
  // the colour at a point of a cell, away from its text.
  COLORREF PaintedCellColour(int row, int column) {
    RECT rc{};
    ListView_GetSubItemRect(list_, row, column, LVIR_BOUNDS, &rc);
    if (column == 0) rc.right = rc.left + 150;
    RECT client = list_.ClientRect();
    HDC screen = GetDC(list_);
    MemoryDC mem(screen, client.right, client.bottom);
    ReleaseDC(list_, screen);
    HBRUSH white = CreateSolidBrush(RGB(1, 2, 3));
    FillRect(mem.Get(), &client, white);
    DeleteObject(white);
    SendMessageA(list_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem.Get()), PRF_CLIENT | PRF_ERASEBKGND);
    return GetPixel(mem.Get(), rc.right - 6, (rc.top + rc.bottom) / 2);
  }

  class Page : public CDialogBase {
   public:
    Page() : CDialogBase(IDD_PAGE_LOG) {}
  };
  HWND frame_;
  Page page_;
  ListT list_;
};
using ListHost = ListHostOf<L>;

LOGFONTA FontOf(HFONT font) {
  LOGFONTA lf{};
  GetObjectA(font, sizeof lf, &lf);
  return lf;
}

COLORREF WindowColour() { return GetSysColor(COLOR_WINDOW); }

}  // namespace

TEST(ListCtrlStyled, RowBackgroundIsDrawnOnlyWithItsFlag) {
  ListHost host;
  L& list = host.list_;
  ASSERT_EQ(0, list.InsertRow(0, "first"));
  ASSERT_EQ(1, list.InsertRow(1, "second"));
  list.SetCellText(0, 3, "some action");

  list.SetRowBackground(0, RGB(200, 40, 80));
  for (int c : {0, 3}) EXPECT_EQ(WindowColour(), list.ResolveCell(0, c, false).back) << c;
  const COLORREF before = host.PaintedCellColour(0, 3);
  EXPECT_NE(RGB(200, 40, 80), before);

  list.SetRowStyle(0, L::kBackColour);
  for (int c : {0, 1, 4}) EXPECT_EQ(RGB(200, 40, 80), list.ResolveCell(0, c, false).back) << c;
  EXPECT_EQ(WindowColour(), list.ResolveCell(1, 0, false).back);  // other rows keep theirs
  EXPECT_EQ(RGB(200, 40, 80), host.PaintedCellColour(0, 3));
  EXPECT_EQ(RGB(200, 40, 80), host.PaintedCellColour(0, 0));
  EXPECT_NE(RGB(200, 40, 80), host.PaintedCellColour(1, 3));
  // The text colour is its own flag.
  list.SetRowTextColour(0, RGB(0, 0, 255));
  EXPECT_NE(RGB(0, 0, 255), list.ResolveCell(0, 2, false).text);
  list.SetRowStyle(0, L::kBackColour | L::kTextColour);
  EXPECT_EQ(RGB(0, 0, 255), list.ResolveCell(0, 2, false).text);
}

TEST(ListCtrlStyled, SelectedRowsUseTheSelectedStyleOrTheHighlight) {
  ListHost host;
  L& list = host.list_;
  list.InsertRow(0, "row");
  list.SetRowBackground(0, RGB(10, 200, 10));
  list.SetRowStyle(0, L::kBackColour);
  ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);

  const COLORREF hiBack = GetSysColor(COLOR_HIGHLIGHT), hiText = GetSysColor(COLOR_HIGHLIGHTTEXT);
  L::CellLook look = list.ResolveCell(0, 2, true);
  EXPECT_EQ(hiBack, look.back);
  EXPECT_EQ(hiText, look.text);
  EXPECT_EQ(hiBack, host.PaintedCellColour(0, 2));

  list.SetSelectedStyle(0, -1, L::kBackColour | L::kTextColour, RGB(255, 255, 0), RGB(0, 0, 128));
  look = list.ResolveCell(0, 2, true);
  EXPECT_EQ(RGB(0, 0, 128), look.back);
  EXPECT_EQ(RGB(255, 255, 0), look.text);
  EXPECT_EQ(RGB(0, 0, 128), host.PaintedCellColour(0, 2));
  // Not selected: the normal row style again.
  ListView_SetItemState(list, 0, 0, LVIS_SELECTED);
  EXPECT_EQ(RGB(10, 200, 10), host.PaintedCellColour(0, 2));
}

TEST(ListCtrlStyled, LevelsApplyByTheirFlagsAndTheRowIsConsultedFirst) {
  ListHost host;
  L& list = host.list_;
  list.InsertRow(0, "r");
  list.SetColumnStyle(2, L::kBackColour, 0, RGB(1, 1, 1));
  list.SetRowBackground(0, RGB(2, 2, 2), false);
  list.SetRowStyle(0, L::kBackColour);
  // Cell beats row beats column.
  EXPECT_EQ(RGB(2, 2, 2), list.ResolveCell(0, 2, false).back);
  list.SetCellStyle(0, 2, L::kBackColour, 0, RGB(3, 3, 3));
  EXPECT_EQ(RGB(3, 3, 3), list.ResolveCell(0, 2, false).back);
  // A cell that refuses the row level sees the column.
  list.SetCellStyle(0, 2, L::kNoRowStyle, 0, 0);
  EXPECT_EQ(RGB(1, 1, 1), list.ResolveCell(0, 2, false).back);
  // A cell that refuses both sees the list's colour.
  list.SetCellStyle(0, 2, L::kNoRowStyle | L::kNoColumnStyle, 0, 0);
  EXPECT_EQ(WindowColour(), list.ResolveCell(0, 2, false).back);
  // A column that refuses row styles wins over a row without objections...
  list.SetCellStyle(0, 2, 0, 0, 0);
  list.SetColumnStyle(2, L::kBackColour | L::kNoRowStyle, 0, RGB(1, 1, 1));
  EXPECT_EQ(RGB(1, 1, 1), list.ResolveCell(0, 2, false).back);
  // ...but a row that refuses column styles is consulted first.
  list.SetRowStyle(0, L::kBackColour | L::kNoColumnStyle);
  EXPECT_EQ(RGB(2, 2, 2), list.ResolveCell(0, 2, false).back);
  EXPECT_EQ(RGB(2, 2, 2), list.ResolveCell(0, 4, false).back);
}

TEST(ListCtrlStyled, FontsMergeFieldByFieldAndAreCached) {
  ListHost host;
  L& list = host.list_;
  list.InsertRow(0, "r");
  list.InsertRow(1, "s");
  EXPECT_EQ(nullptr, list.ResolveCell(0, 1, false).font);  // no styles: the list's font

  list.SetColumnStyle(1, L::kBold, 0, 0);
  HFONT columnOnly = list.ResolveCell(0, 1, false).font;
  ASSERT_NE(nullptr, columnOnly);
  EXPECT_EQ(FW_BOLD, FontOf(columnOnly).lfWeight);
  EXPECT_FALSE(FontOf(columnOnly).lfItalic);

  list.SetRowStyle(0, L::kItalic);
  list.SetCellStyle(0, 1, L::kUnderline, 0, 0);
  HFONT merged = list.ResolveCell(0, 1, false).font;
  ASSERT_NE(nullptr, merged);
  LOGFONTA lf = FontOf(merged);
  EXPECT_EQ(FW_BOLD, lf.lfWeight);
  EXPECT_TRUE(lf.lfItalic);
  EXPECT_TRUE(lf.lfUnderline);
  EXPECT_FALSE(lf.lfStrikeOut);
  EXPECT_EQ(-12, lf.lfHeight);  // made from the list's font
  // Painting again allocates nothing.
  EXPECT_EQ(merged, list.ResolveCell(0, 1, false).font);
  EXPECT_EQ(columnOnly, list.ResolveCell(1, 1, false).font);

  // A changed row style makes the merged font anew.
  list.SetRowStyle(0, L::kStrikeOut);
  lf = FontOf(list.ResolveCell(0, 1, false).font);
  EXPECT_FALSE(lf.lfItalic);
  EXPECT_TRUE(lf.lfStrikeOut && lf.lfUnderline && lf.lfWeight == FW_BOLD);
  // A cell that refuses the column level drops the bold weight.
  list.SetCellStyle(0, 1, L::kUnderline | L::kNoColumnStyle, 0, 0);
  lf = FontOf(list.ResolveCell(0, 1, false).font);
  EXPECT_EQ(FW_NORMAL, lf.lfWeight);

  // Selected: a selected style without a font falls back to the normal one.
  list.SetSelectedStyle(0, -1, L::kBackColour, 0, RGB(9, 9, 9));
  lf = FontOf(list.ResolveCell(0, 1, true).font);
  EXPECT_TRUE(lf.lfStrikeOut && lf.lfUnderline);
  // And painting a selected, merged-font row works end to end.
  ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(RGB(9, 9, 9), host.PaintedCellColour(0, 3));
}

TEST(ListCtrlStyled, InsertedColumnsGiveEveryRowAnEmptyCellInPlace) {
  ListHost host(3);
  L& list = host.list_;
  for (int r = 0; r < 4; ++r) list.InsertRow(r, "row");
  for (int r = 0; r < 4; ++r) {
    list.SetCellStyle(r, 1, L::kTextColour, RGB(0, 0, 100 + r), 0);
    list.SetCellStyle(r, 2, L::kTextColour, RGB(0, 100 + r, 0), 0);
  }
  ASSERT_EQ(1, host.AddColumn(1));
  for (int r = 0; r < 4; ++r) {
    ASSERT_EQ(3u, list.MainRecord(r)->cells.size());
    EXPECT_EQ(0u, list.MainRecord(r)->cells[0]->flags);
    EXPECT_EQ(RGB(0, 0, 100 + r), list.ResolveCell(r, 2, false).text);
    EXPECT_EQ(RGB(0, 100 + r, 0), list.ResolveCell(r, 3, false).text);
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), list.ResolveCell(r, 1, false).text);
  }
  // A column put in front: the new cell record goes first.
  ASSERT_EQ(0, host.AddColumn(0));
  EXPECT_EQ(4u, list.MainRecord(0)->cells.size());
  EXPECT_EQ(RGB(0, 100, 0), list.MainRecord(0)->cells[3]->textColour);
  // A column the list refuses changes nothing.
  LVCOLUMNA bad{};
  bad.mask = LVCF_WIDTH;
  EXPECT_EQ(-1, list.InsertStyledColumn(-1, bad));
  EXPECT_EQ(4u, list.MainRecord(0)->cells.size());
  EXPECT_EQ(5, list.ColumnCount());
  // New rows get one cell per column after the first.
  list.InsertRow(4, "new");
  EXPECT_EQ(4u, list.MainRecord(4)->cells.size());
}

TEST(ListCtrlStyled, DeletingRowsFreesEveryRecord) {
  const long before = L::LiveRecords();
  {
    ListHost host;
    L& list = host.list_;
    list.Send(WM_SETREDRAW, FALSE);  // this test is about records, not paint
    for (int r = 0; r < 1000; ++r) {
      ASSERT_EQ(r, list.InsertRow(r, "row", r * 7));
      if (r % 3 == 0) {
        list.SetRowBackground(r, RGB(r % 256, 0, 0), false);
        list.SetRowStyle(r, L::kBackColour | L::kBold, false);
      }
      if (r % 10 == 0) list.SetSelectedStyle(r, 2, L::kItalic, 0, 0);
    }
    EXPECT_EQ(7 * 500, list.GetRowData(500));
    EXPECT_EQ(before + 1000 * 5 + 334 + 100, L::LiveRecords());
    list.ResolveCell(3, 0, false);  // fonts made, freed with their records
    EXPECT_TRUE(list.DeleteRow(999));
    list.DeleteAllRows();
    EXPECT_EQ(0, list.RowCount());
    EXPECT_EQ(before, L::LiveRecords());

    // Rows still there when the window goes are freed with it.
    for (int r = 0; r < 50; ++r) list.InsertRow(r, "again");
    list.SetColumnStyle(1, L::kBold, 0, 0);
    EXPECT_GT(L::LiveRecords(), before + 250);
  }
  EXPECT_EQ(before, L::LiveRecords());
}

// Counts the records made while the window's thread runs the queued calls
// of other threads: every record of a call from another thread must be made
// there, never on the calling thread.
class CountingList : public L {
 public:
  long madeInQueuedRuns = 0;
  int queuedRuns = 0;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg != L::RunQueuedMessage()) return L::WindowProc(msg, wp, lp);
    ++queuedRuns;
    const long before = L::LiveRecords();
    const LRESULT r = L::WindowProc(msg, wp, lp);
    madeInQueuedRuns += L::LiveRecords() - before;
    return r;
  }
};

TEST(ListCtrlStyled, CallsFromAnotherThreadRunOnTheWindowsThread) {
  ListHostOf<CountingList> host;
  CountingList& list = host.list_;
  list.Send(WM_SETREDRAW, FALSE);
  const long before = L::LiveRecords();
  bool done = false;
  int lastIndex = -1;
  DWORD ranOn = 0;
  const long tripsBefore = L::CrossThreadCalls();
  std::thread worker([&] {
    for (int r = 0; r < 200; ++r) {
      lastIndex = list.InsertRow(list.RowCount(), "from worker");
      list.SetRowBackground(lastIndex, RGB(0, 128, 0));
      list.SetRowStyle(lastIndex, L::kBackColour);
    }
    // Several calls in one: one trip to the window's thread.
    list.OnOwnerThread([&] {
      ranOn = GetCurrentThreadId();
      for (int r = 0; r < 10; ++r) list.SetRowTextColour(list.InsertRow(list.RowCount(), "batch"), RGB(1, 1, 1));
    });
    done = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return done; }, 30000));
  worker.join();
  EXPECT_EQ(199, lastIndex);
  EXPECT_EQ(210, list.RowCount());
  EXPECT_EQ(RGB(0, 128, 0), list.ResolveCell(150, 2, false).back);
  EXPECT_EQ(GetCurrentThreadId(), ranOn);
  // 200 rows of a main record, four cells and a row style, 10 more rows
  // with a row style: all made on this thread, inside the queued runs.
  EXPECT_EQ(210 * 6, L::LiveRecords() - before);
  EXPECT_EQ(210 * 6, list.madeInQueuedRuns);
  EXPECT_EQ(200 * 3 + 1, L::CrossThreadCalls() - tripsBefore);
}

TEST(ListCtrlStyled, AnotherProgramsMessageWithAnyParametersRunsNothing) {
  // Another process sends the control's registered message with pointers
  // that mean nothing here; the control runs only calls that this process
  // queued, and goes on working.
  ListHost host;
  L& list = host.list_;
  const std::string window = std::to_string(reinterpret_cast<uintptr_t>(list.GetSafeHwnd()));
  // Besides pointers to nowhere, one that points at a function object of
  // this process (an address a sender might guess): nothing may run it.
  static bool planted = false;
  const std::function<void()> plant = [] { planted = true; };
  const std::string plantAt = std::to_string(reinterpret_cast<uintptr_t>(&plant));
  for (const std::string& lparam :
       {std::string("0x4141414141"), std::string("1"), plantAt, std::string("0xFFFFFFFFFFFFFFF0")}) {
    Process sender;
    ASSERT_TRUE(StartHelper(sender, "engine-sim.exe",
                            std::string("send --message Varnokel.StyledList.RunOnOwner --window ") + window +
                                " --wparam 7 --lparam " + lparam,
                            MakeTempDir("send") + "\\out.txt"));
    ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(sender.process, 0) == WAIT_OBJECT_0; }, 20000));
    DWORD code = 99;
    GetExitCodeProcess(sender.process, &code);
    EXPECT_EQ(0u, code) << lparam;  // answered, not crashed
  }
  EXPECT_FALSE(planted) << "the message ran what its lParam pointed at";
  // Calls from another thread still go through, while the other program
  // keeps sending.
  bool done = false;
  std::thread worker([&] {
    for (int r = 0; r < 50; ++r) list.SetRowStyle(list.InsertRow(list.RowCount(), "after"), L::kBold);
    done = true;
  });
  Process sender;
  ASSERT_TRUE(StartHelper(sender, "engine-sim.exe",
                          "send --message Varnokel.StyledList.RunOnOwner --window " + window + " --lparam 0x10",
                          MakeTempDir("send") + "\\out.txt"));
  ASSERT_TRUE(PumpUntil([&] { return done && WaitForSingleObject(sender.process, 0) == WAIT_OBJECT_0; }, 20000));
  worker.join();
  EXPECT_EQ(50, list.RowCount());
  EXPECT_EQ(L::kBold, list.MainRecord(49)->row->flags);
}
