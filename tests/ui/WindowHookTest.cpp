// The window framework's subclass: an object sees its window's messages
// while attached, another subclass put on top of it (as a tooltip's is) keeps
// working when the object lets go first, and a window can be taken again.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "framework/Window.h"

namespace {

class Counter : public CWindow {
 public:
  int seen = 0;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_USER + 7) ++seen;
    return CWindow::WindowProc(msg, wp, lp);
  }
};

int g_outerSeen = 0;
LRESULT CALLBACK Outer(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  if (msg == WM_USER + 7) ++g_outerSeen;
  return DefSubclassProc(hwnd, msg, wp, lp);
}

std::string Text(HWND hwnd) {
  char text[64] = {};
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

TEST(WindowHook, ObjectsLetGoUnderAnotherSubclassAndTakeTheWindowAgain) {
  HWND hwnd = CreateWindowExA(0, "EDIT", "start", WS_POPUP, 0, 0, 100, 30, nullptr, nullptr, GetModuleHandleA(nullptr),
                              nullptr);
  ASSERT_TRUE(hwnd);
  Counter first;
  ASSERT_TRUE(first.Attach(hwnd));
  EXPECT_EQ(&first, CWindow::FromHandle(hwnd));
  Counter second;
  EXPECT_FALSE(second.Attach(hwnd));  // one object per window

  ASSERT_TRUE(SetWindowSubclass(hwnd, &Outer, 1, 0));
  SendMessageA(hwnd, WM_USER + 7, 0, 0);
  EXPECT_EQ(1, first.seen);
  EXPECT_EQ(1, g_outerSeen);

  // Our procedure is not on top: letting go must not cut the other one off,
  // and the window's own procedure still answers.
  first.Detach();
  EXPECT_EQ(nullptr, CWindow::FromHandle(hwnd));
  SendMessageA(hwnd, WM_USER + 7, 0, 0);
  EXPECT_EQ(1, first.seen);
  EXPECT_EQ(2, g_outerSeen);
  SetWindowTextA(hwnd, "changed");
  EXPECT_EQ("changed", Text(hwnd));

  ASSERT_TRUE(second.Attach(hwnd));
  SendMessageA(hwnd, WM_USER + 7, 0, 0);
  EXPECT_EQ(1, second.seen);
  EXPECT_EQ(3, g_outerSeen);

  // The other subclass goes first this time; ours then leaves cleanly.
  RemoveWindowSubclass(hwnd, &Outer, 1);
  second.Detach();
  SendMessageA(hwnd, WM_USER + 7, 0, 0);
  EXPECT_EQ(1, second.seen);
  EXPECT_EQ(3, g_outerSeen);
  EXPECT_EQ("changed", Text(hwnd));

  // Destroying an attached window detaches its object.
  ASSERT_TRUE(first.Attach(hwnd));
  DestroyWindow(hwnd);
  EXPECT_EQ(nullptr, first.m_hWnd);
  EXPECT_EQ(nullptr, CWindow::FromHandle(hwnd));
}

}  // namespace
