// The mark-up drawer and static with real GDI: text and its messages,
// margins, alignment and wrapping width, painted pixels (background, text
// colour, table colours, disabled drawing), images from the resources,
// links (hover notifications, clicks of both kinds), the body style from a
// new font and the animation timer; and the tree combo box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "framework/Dialog.h"
#include "framework/Module.h"
#include "resource.h"
#include "ui/TreeComboBox.h"
#include "ui/markup/MarkupDrawer.h"
#include "ui/markup/MarkupStatic.h"

namespace {

constexpr UINT kHoverMsg = WM_APP + 11;
constexpr UINT kLinkMsg = WM_APP + 12;

// A plain parent window that records the drawer's notifications.
struct Parent {
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Parent*>(GetWindowLongPtrA(h, GWLP_USERDATA));
    if (self && m == kHoverMsg) self->hovers.emplace_back(static_cast<int>(wp), lp);
    if (self && m == kLinkMsg) self->links.emplace_back(reinterpret_cast<const char*>(wp), lp);
    return DefWindowProcA(h, m, wp, lp);
  }
  Parent() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MarkupTestParent";
    RegisterClassA(&wc);
    hwnd = CreateWindowA("MarkupTestParent", "p", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 500, 400, nullptr, nullptr,
                         wc.hInstance, nullptr);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Parent() { DestroyWindow(hwnd); }
  HWND hwnd;
  std::vector<std::pair<int, LPARAM>> hovers;
  std::vector<std::pair<std::string, LPARAM>> links;
};

// A painted copy of a window's client area.
struct Snapshot {
  explicit Snapshot(HWND w) {
    GetClientRect(w, &rc);
    HDC screen = GetDC(nullptr);
    dc = CreateCompatibleDC(screen);
    bmp = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    ReleaseDC(nullptr, screen);
    old = SelectObject(dc, bmp);
    SendMessageA(w, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  }
  ~Snapshot() {
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
  int Count(const RECT& r, COLORREF c) const {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += At(x, y) == c;
    return n;
  }
  RECT rc{};
  HDC dc;
  HBITMAP bmp;
  HGDIOBJ old;
};

class MarkupStaticTest : public ::testing::Test {
 protected:
  void Make(DWORD style = SS_LEFT | SS_NOTIFY, const char* text = "start") {
    hwnd = CreateWindowA("STATIC", text, WS_CHILD | WS_VISIBLE | style, 10, 10, 300, 120, parent.hwnd, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(ctl.AttachStatic(hwnd));
  }
  void TearDown() override {
    if (hwnd) DestroyWindow(hwnd);
  }
  Parent parent;
  MarkupStatic ctl;
  HWND hwnd = nullptr;
};

TEST_F(MarkupStaticTest, TextMessagesReplaceAndReturnTheText) {
  Make();
  EXPECT_EQ("start", ctl.Text());
  SetWindowTextA(hwnd, "<b>bold</b> text");
  EXPECT_EQ("<b>bold</b> text", ctl.Text());
  char buf[64] = {};
  EXPECT_EQ(16, GetWindowTextA(hwnd, buf, sizeof buf));
  EXPECT_STREQ("<b>bold</b> text", buf);
  EXPECT_EQ(16, GetWindowTextLengthA(hwnd));
  char small[5] = {};
  EXPECT_EQ(4, SendMessageA(hwnd, WM_GETTEXT, sizeof small, reinterpret_cast<LPARAM>(small)));
  EXPECT_STREQ("<b>b", small);
  // The default text colour is the window-text colour, wrapped around it.
  char open[32];
  snprintf(open, sizeof open, "<font color=0x%06lX>", GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(std::string(open) + "<b>bold</b> text</font>", ctl.DrawnText());
  ctl.SetTextColour(MarkupStatic::kNoTextColour);
  EXPECT_EQ("<b>bold</b> text", ctl.DrawnText());
}

TEST_F(MarkupStaticTest, MarginsAlignmentAndWrappingWidth) {
  Make();
  ctl.SetMargins(5, 7);
  SetWindowTextA(hwnd, "short");
  struct Case {
    UINT align;
    DWORD style;
    int expectLeft, expectTop;  // -1: centred, -2: at the far margin
  } cases[] = {
      {0, SS_LEFT, 5, 7},
      {MarkupStatic::kAlignRight | MarkupStatic::kAlignBottom, SS_LEFT, -2, -2},
      {MarkupStatic::kAlignCentre | MarkupStatic::kAlignVCentre, SS_LEFT, -1, -1},
      {0, SS_CENTER | SS_CENTERIMAGE, -1, -1},
      {0, SS_RIGHT, -2, 7},
  };
  for (const auto& c : cases) {
    SetWindowLongA(hwnd, GWL_STYLE, (GetWindowLongA(hwnd, GWL_STYLE) & ~0xFFFL) | c.style);
    ctl.SetAlignment(c.align);
    Snapshot snap(hwnd);
    const RECT b = ctl.TextBox();
    const int w = b.right - b.left, h = b.bottom - b.top;
    ASSERT_GT(w, 10);
    ASSERT_GT(h, 5);
    EXPECT_EQ(c.expectLeft == -1 ? (300 - w) / 2 : c.expectLeft == -2 ? 300 - 5 - w : c.expectLeft, b.left) << c.align;
    EXPECT_EQ(c.expectTop == -1 ? (120 - h) / 2 : c.expectTop == -2 ? 120 - 7 - h : c.expectTop, b.top) << c.align;
    EXPECT_EQ(300 - 2 * 5 - 1, ctl.Drawer().MaxWidth());
  }
  // The no-word-wrap style keeps lines whole.
  SetWindowLongA(hwnd, GWL_STYLE, (GetWindowLongA(hwnd, GWL_STYLE) & ~0xFFFL) | SS_LEFTNOWORDWRAP);
  SetWindowTextA(hwnd, "a very long line of text that is much wider than the three hundred pixels of the control");
  { Snapshot snap(hwnd); }
  EXPECT_EQ(0, ctl.Drawer().MaxWidth());
  EXPECT_GT(ctl.TextBox().right - ctl.TextBox().left, 300);
}

TEST_F(MarkupStaticTest, BackgroundTextColourAndDisabledDrawing) {
  Make();
  ctl.SetMargins(5, 5);
  ctl.SetBackgroundColours(RGB(0, 0, 0), RGB(0, 0, 0), RGB(0, 0, 0));
  ctl.SetTextColour(RGB(0, 255, 0));
  SetWindowTextA(hwnd, "<font size=6>WWWW</font>\nsecond <font color=red>line</font>");
  {
    Snapshot snap(hwnd);
    EXPECT_EQ(RGB(0, 0, 0), snap.At(1, 1));
    EXPECT_EQ(RGB(0, 0, 0), snap.At(299, 119));
    const RECT b = ctl.TextBox();
    EXPECT_GT(snap.Count(b, RGB(0, 255, 0)), 20);
    EXPECT_GT(snap.Count(b, RGB(255, 0, 0)), 5);
    EXPECT_EQ(0, snap.Count(RECT{0, 0, 5, 120}, RGB(0, 255, 0)));  // nothing in the margin
  }
  EnableWindow(hwnd, FALSE);
  Snapshot snap(hwnd);
  const RECT b = ctl.TextBox();
  EXPECT_EQ(0, snap.Count(b, RGB(0, 255, 0)));
  EXPECT_GT(snap.Count(b, GetSysColor(COLOR_BTNSHADOW)), 20);
  EXPECT_GT(snap.Count(b, GetSysColor(COLOR_BTNHIGHLIGHT)), 5);
}

TEST_F(MarkupStaticTest, GradientBackgroundRunsFromBeginToEnd) {
  Make();
  ctl.SetBackgroundColours(RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255));
  SetWindowTextA(hwnd, "");
  const struct {
    int effect;
    COLORREF left, mid, right;
  } cases[] = {
      {0, RGB(255, 0, 0), RGB(255, 0, 0), RGB(255, 0, 0)},
      {1, RGB(255, 0, 0), 0, RGB(0, 0, 255)},
      {5, RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)},
  };
  for (const auto& c : cases) {
    ctl.SetBackgroundEffect(c.effect, 1);
    Snapshot snap(hwnd);
    auto alike = [](COLORREF a, COLORREF b) {
      return abs(GetRValue(a) - GetRValue(b)) < 12 && abs(GetGValue(a) - GetGValue(b)) < 12 &&
             abs(GetBValue(a) - GetBValue(b)) < 12;
    };
    EXPECT_TRUE(alike(c.left, snap.At(0, 60))) << c.effect;
    EXPECT_TRUE(alike(c.right, snap.At(299, 60))) << c.effect;
    if (c.mid) {
      EXPECT_TRUE(alike(c.mid, snap.At(150, 60))) << c.effect;
    }
  }
}

TEST_F(MarkupStaticTest, TablesImagesAndRulesArePainted) {
  Make();
  ctl.SetTextColour(MarkupStatic::kNoTextColour);
  SetWindowTextA(hwnd,
                 "<table border=1 cellpadding=4><tr><td bgcolor=#ff00ff>cell</td></tr></table>"
                 "<bmp idres=132><icon idres=207><hr>");
  Snapshot snap(hwnd);
  EXPECT_GT(snap.Count(ctl.TextBox(), RGB(255, 0, 255)), 50);
  const MarkupLayout& l = ctl.Drawer().Layout();
  BITMAP bm{};
  HBITMAP bg = LoadBitmapA(AppInstance(), MAKEINTRESOURCEA(IDB_BACKGROUND));
  ASSERT_TRUE(GetObjectA(bg, sizeof bm, &bm));
  DeleteObject(bg);
  std::vector<const MarkupItem*> images;
  for (const auto& it : l.items)
    if (it.kind == MarkupItem::Image) images.push_back(&it);
  ASSERT_EQ(2u, images.size());
  EXPECT_EQ(bm.bmWidth, images[0]->w);
  EXPECT_EQ(bm.bmHeight, images[0]->h);
  EXPECT_EQ(16, images[1]->w);
  EXPECT_EQ(16, images[1]->h);
}

TEST_F(MarkupStaticTest, LinksNotifyHoverSendMessagesAndOpenTargets) {
  Make();
  ctl.SetTextColour(MarkupStatic::kNoTextColour);
  ctl.Drawer().SetHoverNotify(parent.hwnd, kHoverMsg, 77);
  ctl.Drawer().SetLinkNotify(parent.hwnd, kLinkMsg, 88);
  std::vector<std::string> opened;
  ctl.Drawer().SetOpener([&](const std::string& t) { opened.push_back(t); });
  SetWindowTextA(hwnd, "see <a href=\"http://example.invalid/\">the page</a> or <a msg=\"do-it\">this</a>");
  { Snapshot snap(hwnd); }
  const auto areas = ctl.Drawer().LinkAreas();
  ASSERT_EQ(2u, areas.size());
  auto centre = [](const MarkupLinkArea& a) { return MAKELPARAM(a.x + a.w / 2, a.y + a.h / 2); };

  SendMessageA(hwnd, WM_MOUSEMOVE, 0, centre(areas[0]));
  SendMessageA(hwnd, WM_MOUSEMOVE, 0, centre(areas[0]));  // no change, no second notice
  SendMessageA(hwnd, WM_MOUSEMOVE, 0, centre(areas[1]));
  SendMessageA(hwnd, WM_MOUSELEAVE, 0, 0);
  const std::vector<std::pair<int, LPARAM>> expected = {{0, 77}, {1, 77}, {-2, 77}};
  EXPECT_EQ(expected, parent.hovers);

  // The hovered link is drawn with the hover style.
  SendMessageA(hwnd, WM_MOUSEMOVE, 0, centre(areas[0]));
  { Snapshot snap(hwnd); }
  EXPECT_EQ(0, ctl.Drawer().HoverLink());
  bool underlined = false;
  for (const auto& it : ctl.Drawer().Layout().items)
    if (it.kind == MarkupItem::Text && it.link == 0) underlined = ctl.Drawer().Layout().fonts[it.font].underline;
  EXPECT_TRUE(underlined);

  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, centre(areas[0]));
  SendMessageA(hwnd, WM_LBUTTONUP, 0, centre(areas[0]));
  ASSERT_EQ(1u, opened.size());
  EXPECT_EQ("http://example.invalid/", opened[0]);
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, centre(areas[1]));
  SendMessageA(hwnd, WM_LBUTTONUP, 0, centre(areas[1]));
  ASSERT_EQ(1u, parent.links.size());
  EXPECT_EQ("do-it", parent.links[0].first);
  EXPECT_EQ(88, parent.links[0].second);
  // Pressed on one link and released on the other: no click.
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, centre(areas[0]));
  SendMessageA(hwnd, WM_LBUTTONUP, 0, centre(areas[1]));
  EXPECT_EQ(1u, opened.size());
  EXPECT_EQ(1u, parent.links.size());
  EXPECT_TRUE(MarkupDrawer::HandCursor() != nullptr);
}

TEST_F(MarkupStaticTest, NewFontBecomesTheBodyStyle) {
  Make();
  HFONT font = CreateFontA(-16, 0, 0, 0, FW_BOLD, TRUE, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
  SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  const std::string* body = ctl.Drawer().StyleSheet().Find("body");
  ASSERT_NE(nullptr, body);
  HDC screen = GetDC(nullptr);
  const int pt = (16 * 72 + GetDeviceCaps(screen, LOGPIXELSY) / 2) / GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  char expected[160];
  snprintf(expected, sizeof expected,
           "font-size:%dpt; color:0x%06lX; font-family:Arial; font-weight:700; font-style:italic", pt,
           GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(expected, *body);
  SetWindowTextA(hwnd, "x");
  { Snapshot snap(hwnd); }
  const auto& l = ctl.Drawer().Layout();
  ASSERT_FALSE(l.fonts.empty());
  EXPECT_EQ("Arial", l.fonts[0].face);
  EXPECT_TRUE(l.fonts[0].italic);
  SendMessageA(hwnd, WM_SETFONT, 0, FALSE);
  DeleteObject(font);
}

TEST_F(MarkupStaticTest, FrameAndRoundedCorners) {
  Make();
  ctl.SetBackgroundColours(RGB(0, 0, 0), RGB(0, 0, 0), RGB(0, 0, 0));
  SetWindowTextA(hwnd, "");
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  ctl.SetFrame(red, 2, 3);
  {
    Snapshot snap(hwnd);
    EXPECT_EQ(RGB(255, 0, 0), snap.At(1, 60));
    EXPECT_EQ(RGB(0, 0, 0), snap.At(2, 60));
    EXPECT_EQ(RGB(255, 0, 0), snap.At(150, 2));
    EXPECT_EQ(RGB(0, 0, 0), snap.At(150, 3));
  }
  ctl.SetRoundedCorners(30);
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_EQ(COMPLEXREGION, GetWindowRgn(hwnd, rgn));
  EXPECT_FALSE(PtInRegion(rgn, 0, 0));
  EXPECT_TRUE(PtInRegion(rgn, 150, 60));
  {
    // The frame follows the rounded outline: the middle of the left edge
    // is framed, the cut-off corner is not.
    Snapshot snap(hwnd);
    EXPECT_EQ(RGB(255, 0, 0), snap.At(0, 60));
    EXPECT_NE(RGB(255, 0, 0), snap.At(0, 0));
  }
  ctl.SetRoundedCorners(0);
  EXPECT_EQ(ERROR, GetWindowRgn(hwnd, rgn));
  DeleteObject(rgn);
  ctl.SetFrame(nullptr, 1, 1);
  DeleteObject(red);
}

TEST_F(MarkupStaticTest, AnimationTimerRunsOnlyWhileAnIntervalIsSet) {
  Make();
  EXPECT_FALSE(KillTimer(hwnd, MarkupStatic::kTimerId));
  ctl.SetAnimationInterval(30);
  EXPECT_TRUE(KillTimer(hwnd, MarkupStatic::kTimerId));
  ctl.SetAnimationInterval(30);
  ctl.SetAnimationInterval(0);
  EXPECT_FALSE(KillTimer(hwnd, MarkupStatic::kTimerId));
}

// ---- Tree combo box ---------------------------------------------------------

class TreeCombo : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dlg.Create(nullptr));
    ASSERT_TRUE(combo.Attach(dlg.Item(IDC_TIPS_CATEGORY)));
    HIMAGELIST il = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 0);
    for (UINT id : {IDI_TIPS_RULES, IDI_TIPS_LOG}) {
      HICON icon = static_cast<HICON>(LoadImageA(AppInstance(), MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0));
      ImageList_AddIcon(il, icon);
      DestroyIcon(icon);
    }
    combo.SetImageList(il, true);
    combo.SetOnConfirm([this](int i) { confirmed.push_back(i); });
  }
  void TearDown() override { DestroyWindow(dlg.m_hWnd); }
  void Notify(WORD code) {
    SendMessageA(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_TIPS_CATEGORY, code), reinterpret_cast<LPARAM>(combo.m_hWnd));
  }
  CDialogBase dlg{IDD_TIPS};
  CTreeComboBox combo;
  std::vector<int> confirmed;
};

TEST_F(TreeCombo, ChildrenGoAfterTheLastDescendantOfTheirGroup) {
  // Parents are given by their index at the time of the call.
  EXPECT_EQ(0, combo.AddItem("A", 0));
  EXPECT_EQ(1, combo.AddItem("a1", 0, 0));
  EXPECT_EQ(2, combo.AddItem("a2", 0, 0));
  EXPECT_EQ(3, combo.AddItem("B", 1));
  EXPECT_EQ(4, combo.AddItem("b1", 1, 3));
  EXPECT_EQ(2, combo.AddItem("a1x", 0, 1));  // a grandchild, under a1
  EXPECT_EQ(4, combo.AddItem("a3", 0, 0));   // after a2, the group's last descendant
  ASSERT_EQ(7, combo.Count());
  const char* texts[] = {"A", "a1", "a1x", "a2", "a3", "B", "b1"};
  const int levels[] = {0, 1, 2, 1, 1, 0, 1};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(texts[i], combo.ItemText(i)) << i;
    EXPECT_EQ(levels[i], combo.Level(i)) << i;
  }
  EXPECT_EQ(1, combo.Image(6));
  EXPECT_EQ(-1, combo.AddItem("bad", 0, 99));
  EXPECT_GE(SendMessageA(combo.m_hWnd, CB_GETITEMHEIGHT, 0, 0), 18);
}

TEST_F(TreeCombo, SelectionByIndexAndConfirmedChoices) {
  for (const char* t : {"A", "B", "C"}) combo.AddItem(t, 0);
  EXPECT_TRUE(combo.SelectItem(1));
  EXPECT_EQ(1, combo.Selected());
  EXPECT_FALSE(combo.SelectItem(3));
  EXPECT_FALSE(combo.SelectItem(-1));
  EXPECT_TRUE(confirmed.empty());  // selecting in code tells nobody
  // A choice in the open list.
  SendMessageA(combo.m_hWnd, CB_SETCURSEL, 2, 0);
  Notify(CBN_SELENDOK);
  // The arrow keys in the closed list.
  SendMessageA(combo.m_hWnd, WM_KEYDOWN, VK_UP, 0);
  EXPECT_EQ(1, combo.Selected());
  // The same index again is no new choice.
  Notify(CBN_SELENDOK);
  const std::vector<int> expected = {2, 1};
  EXPECT_EQ(expected, confirmed);
  // Items are drawn with their images (owner drawing reaches the control).
  RedrawWindow(combo.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

}  // namespace
