// The tab control with pages: page visibility, selection by the mouse with
// disabled tabs, page sizing and the tab text colours.
#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "framework/Handle.h"
#include "ui/XTabCtrl.h"

namespace {

// A top-level host window whose CWindow object reflects the tab control's
// notifications back to it, as the main dialog does.
class TabHost : public ::testing::Test {
 protected:
  void SetUp() override {
    HWND top = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(top);
    ASSERT_TRUE(host.Attach(top));
    HWND tab = CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 5, 6, 400, 300, top,
                               reinterpret_cast<HMENU>(1011), GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(tab);
    ASSERT_TRUE(tabs.Attach(tab));
    tabs.SetPageOrigin(2, 22);
    for (int i = 0; i < 3; ++i) {
      pages[i] = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 100 + i, 50 + i, tab, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
      ASSERT_TRUE(pages[i]);
    }
  }
  void TearDown() override {
    HWND top = host.m_hWnd;
    host.Detach();
    if (top) DestroyWindow(top);
  }

  void AppendAll() {
    const char* titles[] = {"Files", "Log", "Options"};
    for (int i = 0; i < 3; ++i) ASSERT_EQ(i, tabs.AppendPage(pages[i], titles[i], i));
  }
  bool Visible(int i) const { return (GetWindowLongA(pages[i], GWL_STYLE) & WS_VISIBLE) != 0; }
  RECT PageRect(int i) const {
    RECT rc{};
    GetWindowRect(pages[i], &rc);
    MapWindowPoints(nullptr, tabs.m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
  }
  // Clicks the middle of a tab as the user would.
  void ClickTab(int i) {
    RECT rc{};
    tabs.Send(TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&rc));
    LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    tabs.Send(WM_LBUTTONDOWN, MK_LBUTTON, at);
    tabs.Send(WM_LBUTTONUP, 0, at);
  }
  POINT TabCentre(int i) const {
    RECT rc{};
    tabs.Send(TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&rc));
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  }

  CWindow host;
  CXTabCtrl tabs;
  HWND pages[3] = {};
};

TEST_F(TabHost, AttachSwitchesToOwnerDrawnTabs) {
  EXPECT_TRUE(GetWindowLongA(tabs.m_hWnd, GWL_STYLE) & TCS_OWNERDRAWFIXED);
}

TEST_F(TabHost, FirstPageShownOthersHiddenAtOriginWithTheirSize) {
  AppendAll();
  EXPECT_EQ(3, tabs.PageCount());
  EXPECT_TRUE(Visible(0));
  EXPECT_FALSE(Visible(1));
  EXPECT_FALSE(Visible(2));
  for (int i = 0; i < 3; ++i) {
    RECT rc = PageRect(i);
    EXPECT_EQ(2, rc.left) << i;
    EXPECT_EQ(22, rc.top) << i;
    EXPECT_EQ(100 + i, rc.right - rc.left) << i;
    EXPECT_EQ(50 + i, rc.bottom - rc.top) << i;
    EXPECT_TRUE(tabs.IsPageEnabled(i));
    EXPECT_EQ(pages[i], tabs.PageWindow(i));
  }
  EXPECT_FALSE(tabs.IsPageEnabled(3));
  EXPECT_FALSE(tabs.IsPageEnabled(-1));
}

TEST_F(TabHost, ShowPageResults) {
  AppendAll();
  EXPECT_EQ(1, tabs.ShowPage(0));  // already selected
  EXPECT_EQ(1, tabs.ShowPage(2));
  EXPECT_EQ(2, tabs.CurrentSelection());
  EXPECT_FALSE(Visible(0));
  EXPECT_TRUE(Visible(2));

  ASSERT_TRUE(tabs.EnablePage(1, false));
  EXPECT_FALSE(tabs.IsPageEnabled(1));
  EXPECT_EQ(0, tabs.ShowPage(1));
  EXPECT_EQ(2, tabs.CurrentSelection());
  EXPECT_TRUE(Visible(2));
  EXPECT_FALSE(Visible(1));
  EXPECT_EQ(0, tabs.ShowPage(7));
  EXPECT_FALSE(tabs.EnablePage(7, true));

  ASSERT_TRUE(tabs.EnablePage(1, true));
  EXPECT_EQ(1, tabs.ShowPage(1));
  EXPECT_TRUE(Visible(1));
  EXPECT_FALSE(Visible(2));
}

TEST_F(TabHost, MouseSelectionSwitchesPagesAndDisabledTabSnapsBack) {
  AppendAll();
  ClickTab(1);
  ASSERT_EQ(1, tabs.CurrentSelection());
  EXPECT_TRUE(Visible(1));
  EXPECT_FALSE(Visible(0));

  tabs.EnablePage(2, false);
  ClickTab(2);
  EXPECT_EQ(1, tabs.CurrentSelection());
  EXPECT_TRUE(Visible(1));
  EXPECT_FALSE(Visible(2));
  EXPECT_FALSE(Visible(0));
}

TEST_F(TabHost, EveryPageFillsTheClientAreaAfterGrowth) {
  AppendAll();
  MoveWindow(tabs.m_hWnd, 5, 6, 560, 420, TRUE);
  RECT client = tabs.ClientRect();
  for (int i = 0; i < 3; ++i) {
    RECT rc = PageRect(i);
    EXPECT_EQ(2, rc.left) << i;
    EXPECT_EQ(22, rc.top) << i;
    EXPECT_EQ(client.right - 2 - 3, rc.right - rc.left) << i;
    EXPECT_EQ(client.bottom - 22 - 3, rc.bottom - rc.top) << i;
  }
  // Hidden pages are sized too, and stay hidden.
  EXPECT_FALSE(Visible(1));
}

TEST_F(TabHost, TextColoursWithoutAndWithSetColours) {
  AppendAll();
  tabs.EnablePage(2, false);
  EXPECT_EQ(GetSysColor(COLOR_BTNTEXT), tabs.TextColourOf(0));
  EXPECT_EQ(GetSysColor(COLOR_BTNTEXT), tabs.TextColourOf(1));
  EXPECT_EQ(GetSysColor(COLOR_GRAYTEXT), tabs.TextColourOf(2));

  tabs.SetSelectedTextColour(RGB(0, 0, 255));
  tabs.SetDisabledTextColour(RGB(255, 0, 0));
  tabs.SetHotTextColour(RGB(255, 0, 255));
  EXPECT_EQ(RGB(0, 0, 255), tabs.TextColourOf(0));
  EXPECT_EQ(GetSysColor(COLOR_BTNTEXT), tabs.TextColourOf(1));
  EXPECT_EQ(RGB(255, 0, 0), tabs.TextColourOf(2));
}

TEST_F(TabHost, MouseOverAnUnselectedTabMakesItHotUntilTheCursorLeaves) {
  AppendAll();
  tabs.SetHotTextColour(RGB(255, 0, 255));
  POINT over = TabCentre(1);
  POINT screen = over;
  ClientToScreen(tabs.m_hWnd, &screen);
  SetCursorPos(screen.x, screen.y);
  tabs.Send(WM_MOUSEMOVE, 0, MAKELPARAM(over.x, over.y));
  EXPECT_EQ(1, tabs.HotTab());
  EXPECT_TRUE(tabs.Tracking());
  EXPECT_EQ(RGB(255, 0, 255), tabs.TextColourOf(1));

  POINT cursor{};
  GetCursorPos(&cursor);
  if (cursor.x != screen.x || cursor.y != screen.y) GTEST_SKIP() << "the cursor cannot be placed here";
  // Away from the control: the timer notices it within a few ticks.
  SetCursorPos(screen.x + 2000, screen.y + 2000);
  EXPECT_TRUE(testsupport::PumpUntil([&] { return tabs.HotTab() == -1; }, 30000));
  EXPECT_FALSE(tabs.Tracking());
  EXPECT_EQ(GetSysColor(COLOR_BTNTEXT), tabs.TextColourOf(1));
}

TEST_F(TabHost, MovingFromTheHotTabToAnotherClearsIt) {
  AppendAll();
  tabs.SetHotTextColour(RGB(255, 0, 255));
  POINT over = TabCentre(1);
  tabs.Send(WM_MOUSEMOVE, 0, MAKELPARAM(over.x, over.y));
  ASSERT_EQ(1, tabs.HotTab());
  POINT other = TabCentre(2);
  tabs.Send(WM_MOUSEMOVE, 0, MAKELPARAM(other.x, other.y));
  EXPECT_EQ(-1, tabs.HotTab());
}

TEST_F(TabHost, WithoutHotColourMouseMovesTrackNothing) {
  AppendAll();
  POINT over = TabCentre(1);
  tabs.Send(WM_MOUSEMOVE, 0, MAKELPARAM(over.x, over.y));
  EXPECT_FALSE(tabs.Tracking());
  EXPECT_EQ(GetSysColor(COLOR_BTNTEXT), tabs.TextColourOf(1));
}

// Counts pixels of one colour in a rectangle of a memory picture.
int CountColour(HDC dc, const RECT& rc, COLORREF colour) {
  int n = 0;
  for (int y = rc.top; y < rc.bottom; ++y)
    for (int x = rc.left; x < rc.right; ++x)
      if (GetPixel(dc, x, y) == colour) ++n;
  return n;
}

TEST_F(TabHost, OwnerDrawPaintsTheTextInItsColourOnButtonFace) {
  AppendAll();
  tabs.EnablePage(2, false);
  tabs.SetSelectedTextColour(RGB(0, 0, 255));
  tabs.SetDisabledTextColour(RGB(255, 0, 0));
  HDC screen = GetDC(nullptr);
  MemoryDC mem(screen, 300, 40);
  ReleaseDC(nullptr, screen);
  RECT all{0, 0, 300, 40};
  FillRect(mem.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

  const COLORREF expected[3] = {RGB(0, 0, 255), GetSysColor(COLOR_BTNTEXT), RGB(255, 0, 0)};
  for (int i = 0; i < 3; ++i) {
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_TAB;
    dis.CtlID = 1011;
    dis.itemID = i;
    dis.hwndItem = tabs.m_hWnd;
    dis.hDC = mem.Get();
    dis.rcItem = RECT{i * 100, 0, i * 100 + 100, 40};
    EXPECT_EQ(TRUE, host.Send(WM_DRAWITEM, 1011, reinterpret_cast<LPARAM>(&dis)));
    EXPECT_GT(CountColour(mem.Get(), dis.rcItem, expected[i]), 5) << i;
    EXPECT_GT(CountColour(mem.Get(), dis.rcItem, GetSysColor(COLOR_BTNFACE)), 1000) << i;
  }
  // Only the disabled tab has red text.
  EXPECT_EQ(0, CountColour(mem.Get(), RECT{0, 0, 200, 40}, RGB(255, 0, 0)));
}

}  // namespace
