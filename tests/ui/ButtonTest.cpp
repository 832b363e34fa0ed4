// The icon push button: owner-drawn style, hot icon while the mouse is over
// it, its tooltip, and drawing over the copy of the parent's background.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "framework/Handle.h"
#include "resource.h"
#include "ui/ButtonST.h"

namespace {

class ButtonHost : public ::testing::Test {
 protected:
  void SetUp() override {
    HWND top = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(top && host.Attach(top));
    HWND b = CreateWindowExA(0, "BUTTON", "No &Copy", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 40, 30, 120, 44, top,
                             reinterpret_cast<HMENU>(1001), GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(b && button.Attach(b));
  }
  void TearDown() override {
    HWND top = host.m_hWnd;
    host.Detach();
    DestroyWindow(top);
  }
  void Draw(HDC dc, UINT state) { button.Paint(dc, RECT{0, 0, 120, 44}, state); }

  CWindow host;
  CButtonST button;
};

TEST_F(ButtonHost, IsOwnerDrawnAndSwapsIconsWithTheMouse) {
  EXPECT_EQ(BS_OWNERDRAW, GetWindowLongA(button.m_hWnd, GWL_STYLE) & BS_TYPEMASK);
  ASSERT_TRUE(button.SetIcon(IDI_COPY_HOT, IDI_COPY));
  HICON normal = button.CurrentIcon();
  ASSERT_TRUE(normal);
  button.Send(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_TRUE(button.IsHot());
  EXPECT_NE(normal, button.CurrentIcon());
  button.Send(WM_MOUSELEAVE);
  EXPECT_FALSE(button.IsHot());
  EXPECT_EQ(normal, button.CurrentIcon());
  EXPECT_FALSE(button.SetIcon(IDI_COPY_HOT, 9999));  // an unknown icon is reported
}

TEST_F(ButtonHost, TooltipCarriesTheTextAndFollowsChanges) {
  button.SetTooltipText("first line\nsecond line");
  ASSERT_TRUE(button.Tooltip());
  char text[128] = {};
  TTTOOLINFOA info{};
  info.cbSize = sizeof info;
  info.hwnd = host.m_hWnd;
  info.uId = reinterpret_cast<UINT_PTR>(button.m_hWnd);
  info.lpszText = text;
  SendMessageA(button.Tooltip(), TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&info));
  EXPECT_STREQ("first line\nsecond line", text);
  button.SetTooltipText("other");
  SendMessageA(button.Tooltip(), TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&info));
  EXPECT_STREQ("other", text);
  EXPECT_EQ(1, SendMessageA(button.Tooltip(), TTM_GETTOOLCOUNT, 0, 0));
}

TEST_F(ButtonHost, TransparentButtonShowsTheBackgroundUnderIt) {
  HDC screen = GetDC(nullptr);
  MemoryDC parent(screen, 300, 200);
  MemoryDC out(screen, 120, 44);
  ReleaseDC(nullptr, screen);
  // A parent background with a distinct colour at every point.
  for (int y = 0; y < 200; y += 1)
    for (int x = 0; x < 300; x += 1) SetPixel(parent.Get(), x, y, RGB(x % 256, y, 77));

  button.DrawTransparent(true);
  Draw(out.Get(), 0);
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), GetPixel(out.Get(), 0, 0));  // no copy yet

  button.SetBk(parent.Get());
  ASSERT_TRUE(button.HasBackgroundCopy());
  Draw(out.Get(), 0);
  // The corners lie outside the rounded panel: they are the parent's
  // background at the button's place (40, 30).
  EXPECT_EQ(RGB(40, 30, 77), GetPixel(out.Get(), 0, 0));
  EXPECT_EQ(RGB(40 + 119, 30 + 43, 77), GetPixel(out.Get(), 119, 43));

  button.DrawTransparent(false);
  Draw(out.Get(), 0);
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), GetPixel(out.Get(), 0, 0));
}

int CountColour(HDC dc, COLORREF c) {
  int n = 0;
  for (int y = 0; y < 44; ++y)
    for (int x = 0; x < 120; ++x)
      if (GetPixel(dc, x, y) == c) ++n;
  return n;
}

TEST_F(ButtonHost, StatesAreDrawnDifferently) {
  button.SetIcon(IDI_COPY_HOT, IDI_COPY);
  HDC screen = GetDC(nullptr);
  MemoryDC normal(screen, 120, 44), pressed(screen, 120, 44), disabled(screen, 120, 44);
  ReleaseDC(nullptr, screen);
  Draw(normal.Get(), 0);
  Draw(pressed.Get(), ODS_SELECTED);
  Draw(disabled.Get(), ODS_DISABLED);
  int differ = 0;
  for (int y = 0; y < 44; ++y)
    for (int x = 0; x < 120; ++x)
      if (GetPixel(normal.Get(), x, y) != GetPixel(pressed.Get(), x, y)) ++differ;
  EXPECT_GT(differ, 500);
  // The caption: dark text normally, grey text when disabled.
  EXPECT_GT(CountColour(normal.Get(), RGB(16, 42, 72)), 10);
  EXPECT_EQ(0, CountColour(disabled.Get(), RGB(16, 42, 72)));
  EXPECT_GT(CountColour(disabled.Get(), GetSysColor(COLOR_GRAYTEXT)), 10);
}

}  // namespace
