// The colour picker button and its palette: the palette table, placement,
// the keyboard cycle, choosing with mouse and keys, cancelling (Escape,
// a click outside, the application losing activation), the messages to the
// parent in their order, "More Colors..." with and without a registry
// section, and what the button draws.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <vector>

#include "framework/Handle.h"
#include "framework/Profile.h"
#include "ui/colour/ColourPickerXP.h"

namespace {

struct Note {
  UINT msg;
  COLORREF colour;
  LPARAM id;
};

// A top-level window that records the picker's messages.
class Parent : public CWindow {
 public:
  std::vector<Note> notes;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg >= CPN_SELCHANGE && msg <= CPN_SELENDCANCEL) {
      notes.push_back({msg, static_cast<COLORREF>(wp), lp});
      return 0;
    }
    return CWindow::WindowProc(msg, wp, lp);
  }
};

class Picker : public testing::Test {
 protected:
  void SetUp() override { Make(100, 100); }
  void TearDown() override {
    if (CColourPopup* p = CColourPopup::Current()) DestroyWindow(p->Window());
    HWND top = parent.m_hWnd;
    parent.Detach();
    DestroyWindow(top);
    CColourPopup::chooseColour = &ChooseColorA;
  }
  void Make(int x, int y) {
    HWND top = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, x, y, 200, 60, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(top && parent.Attach(top));
    HWND b = CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 75, 26, top,
                             reinterpret_cast<HMENU>(1029), GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(b && button.Attach(b));
  }
  CColourPopup* Drop() {
    SendMessageA(button, BM_CLICK, 0, 0);
    return CColourPopup::Current();
  }
  static void Move(CColourPopup* p, int item) {
    RECT rc = p->ItemRect(item);
    SendMessageA(p->Window(), WM_MOUSEMOVE, 0, MAKELPARAM(rc.left + 4, rc.top + 4));
  }
  static void Key(CColourPopup* p, UINT key) { SendMessageA(p->Window(), WM_KEYDOWN, key, 0); }
  std::vector<UINT> Messages() const {
    std::vector<UINT> m;
    for (const auto& n : parent.notes) m.push_back(n.msg);
    return m;
  }

  Parent parent;
  CColourPickerXP button;
};

}  // namespace

TEST(ColourTable, HoldsTheFortyNamedColoursInOrder) {
  const std::pair<int, ColourTableEntry> samples[] = {
      {0, {RGB(0, 0, 0), "Black"}},
      {1, {RGB(165, 42, 0), "Brown"}},
      {9, {RGB(255, 104, 32), "Orange"}},
      {16, {RGB(255, 0, 0), "Red"}},
      {20, {RGB(127, 255, 212), "Aqua"}},
      {23, {RGB(128, 128, 128), "Grey - 50"}},
      {30, {RGB(72, 0, 72), "Plum"}},
      {35, {RGB(152, 251, 152), "Pale green "}},
      {37, {RGB(104, 131, 139), "Pale blue"}},
      {39, {RGB(255, 255, 255), "White"}},
  };
  for (const auto& [i, e] : samples) {
    EXPECT_EQ(e.colour, kColourTable[i].colour) << i;
    EXPECT_STREQ(e.name, kColourTable[i].name) << i;
  }
  EXPECT_EQ(16, FindColourEntry(RGB(255, 0, 0)));
  EXPECT_EQ(-1, FindColourEntry(RGB(1, 2, 3)));
  EXPECT_EQ(-1, FindColourEntry(CLR_AUTOMATIC));
}

TEST(ColourPopupPlace, AtTheLowerLeftCornerAndInsideTheScreen) {
  const RECT screen{0, 0, 1000, 800};
  const SIZE size{150, 160};
  struct Case {
    RECT button;
    POINT expected;
  } cases[] = {
      {{100, 100, 180, 120}, {100, 120}},  // below, left edges aligned
      {{900, 100, 980, 120}, {850, 120}},  // moved left to stay inside the right edge
      {{-40, 100, 40, 120}, {0, 120}},     // moved right to stay inside the left edge
      {{100, 700, 180, 720}, {100, 540}},  // above the button near the bottom
      {{950, 700, 990, 720}, {850, 540}},
  };
  for (const auto& c : cases) {
    POINT p = CColourPopup::Place(c.button, size, screen);
    EXPECT_EQ(c.expected.x, p.x);
    EXPECT_EQ(c.expected.y, p.y);
  }
}

TEST(ColourPopupKeys, CycleThroughBoxesAndCells) {
  const int D = CColourPopup::kDefaultBox, C = CColourPopup::kCustomBox, N = CColourPopup::kNoItem;
  struct Case {
    int from;
    UINT key;
    bool hasDefault, hasCustom;
    int to;
  } cases[] = {
      {5, VK_RIGHT, true, true, 6},   {39, VK_RIGHT, true, true, C},   {C, VK_RIGHT, true, true, D},
      {D, VK_RIGHT, true, true, 0},   {0, VK_LEFT, true, true, D},     {D, VK_LEFT, true, true, C},
      {C, VK_LEFT, true, true, 39},   {39, VK_RIGHT, false, false, 0}, {0, VK_LEFT, false, false, 39},
      {39, VK_RIGHT, true, false, D}, {N, VK_RIGHT, true, true, D},    {N, VK_LEFT, true, true, C},
      {12, VK_UP, true, true, 4},     {4, VK_UP, true, true, D},       {D, VK_UP, true, true, C},
      {C, VK_UP, true, true, 39},     {4, VK_UP, false, true, C},      {4, VK_UP, false, false, 39},
      {D, VK_UP, true, false, 39},    {4, VK_DOWN, true, true, 12},    {35, VK_DOWN, true, true, C},
      {C, VK_DOWN, true, true, D},    {D, VK_DOWN, true, true, 0},     {35, VK_DOWN, true, false, D},
      {35, VK_DOWN, false, false, 0}, {C, VK_DOWN, false, true, 0},    {N, VK_DOWN, true, true, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.to, CColourPopup::Step(c.from, c.key, c.hasDefault, c.hasCustom))
        << c.from << " key " << c.key << " " << c.hasDefault << c.hasCustom;
}

TEST_F(Picker, OpensBelowTheButtonWithTheCurrentColourSelectedAndTooltipsPerCell) {
  button.SetColour(RGB(255, 0, 0));
  CColourPopup* p = Drop();
  ASSERT_TRUE(p);
  EXPECT_TRUE(button.IsActive());
  EXPECT_EQ(16, p->Selected());
  RECT b{}, w{};
  GetWindowRect(button, &b);
  GetWindowRect(p->Window(), &w);
  EXPECT_EQ(b.left, w.left);
  EXPECT_EQ(b.bottom, w.top);
  EXPECT_EQ(p->Window(), GetCapture());
  ASSERT_EQ(1u, parent.notes.size());
  EXPECT_EQ(CPN_DROPDOWN, parent.notes[0].msg);
  EXPECT_EQ(RGB(255, 0, 0), parent.notes[0].colour);
  EXPECT_EQ(1029, parent.notes[0].id);

  ASSERT_TRUE(p->Tooltip());
  EXPECT_EQ(40, SendMessageA(p->Tooltip(), TTM_GETTOOLCOUNT, 0, 0));
  char text[80] = {};
  TTTOOLINFOA info{};
  info.cbSize = sizeof info;
  info.hwnd = p->Window();
  info.uId = 35;
  info.lpszText = text;
  SendMessageA(p->Tooltip(), TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&info));
  EXPECT_STREQ("Pale green ", text);
  // Cells are 18 pixels square in 8 columns.
  RECT c0 = p->ItemRect(0), c9 = p->ItemRect(9);
  EXPECT_EQ(18, c0.right - c0.left);
  EXPECT_EQ(c0.left + 18, c9.left);
  EXPECT_EQ(c0.top + 18, c9.top);
  Key(p, VK_ESCAPE);
}

TEST_F(Picker, WhatIsSelectedWhenItOpens) {
  struct Case {
    COLORREF colour;
    const char* defaultText;
    const char* customText;
    int selected;
  } cases[] = {
      {RGB(1, 2, 3), "Automatic", "More Colors...", CColourPopup::kCustomBox},  // not in the palette: no cell
      {RGB(1, 2, 3), "Automatic", "", CColourPopup::kNoItem},
      {CLR_AUTOMATIC, "Automatic", "More Colors...", CColourPopup::kDefaultBox},
      {CLR_AUTOMATIC, "", "More Colors...", CColourPopup::kCustomBox},
      {RGB(255, 255, 255), "Automatic", "More Colors...", 39},
  };
  for (const auto& c : cases) {
    button.SetColour(c.colour);
    button.SetDefaultText(c.defaultText);
    button.SetCustomText(c.customText);
    CColourPopup* p = Drop();
    ASSERT_TRUE(p);
    EXPECT_EQ(c.selected, p->Selected()) << c.colour << c.defaultText << c.customText;
    const RECT box = p->ItemRect(CColourPopup::kDefaultBox);
    if (!*c.defaultText) {
      EXPECT_TRUE(IsRectEmpty(&box));
    }
    Key(p, VK_ESCAPE);
  }
}

TEST_F(Picker, EscapeAfterFollowingTheMouseGivesBackTheColourFromBefore) {
  button.SetColour(RGB(255, 0, 0));
  button.SetFollowMouse(true);
  CColourPopup* p = Drop();
  ASSERT_TRUE(p);
  for (int cell : {0, 13, 26}) {
    Move(p, cell);
    EXPECT_EQ(kColourTable[cell].colour, button.GetColour()) << cell;  // the button shows it at once
  }
  Move(p, CColourPopup::kDefaultBox);
  EXPECT_EQ(CLR_AUTOMATIC, button.GetColour());
  EXPECT_EQ(button.GetDefaultColour(), button.GetColour(true));
  Key(p, VK_ESCAPE);
  EXPECT_FALSE(CColourPopup::Current());
  EXPECT_FALSE(button.IsActive());
  EXPECT_EQ(RGB(255, 0, 0), button.GetColour());
  EXPECT_EQ((std::vector<UINT>{CPN_DROPDOWN, CPN_SELCHANGE, CPN_SELCHANGE, CPN_SELCHANGE, CPN_SELCHANGE, CPN_CLOSEUP,
                               CPN_SELENDCANCEL}),
            Messages());
  EXPECT_EQ(RGB(255, 0, 0), parent.notes.back().colour);
  EXPECT_EQ(RGB(255, 0, 0), parent.notes[parent.notes.size() - 2].colour);
}

TEST_F(Picker, WithoutFollowingTheButtonKeepsItsColourWhileTheMouseMoves) {
  button.SetColour(RGB(255, 0, 0));
  CColourPopup* p = Drop();
  Move(p, 3);
  EXPECT_EQ(RGB(255, 0, 0), button.GetColour());
  EXPECT_EQ(kColourTable[3].colour, parent.notes.back().colour);  // the parent hears of it all the same
  Key(p, VK_ESCAPE);
}

TEST_F(Picker, KeysChooseAndConfirmWithTheMessagesInOrder) {
  button.SetColour(RGB(255, 0, 0));  // cell 16
  CColourPopup* p = Drop();
  for (UINT k : {VK_UP, VK_RIGHT}) Key(p, k);  // 8, then 9
  EXPECT_EQ(9, p->Hot());
  Key(p, VK_SPACE);
  EXPECT_FALSE(CColourPopup::Current());
  EXPECT_EQ(RGB(255, 104, 32), button.GetColour());
  EXPECT_EQ((std::vector<UINT>{CPN_DROPDOWN, CPN_SELCHANGE, CPN_SELCHANGE, CPN_CLOSEUP, CPN_SELENDOK, CPN_SELCHANGE}),
            Messages());
  EXPECT_EQ(RGB(255, 104, 32), parent.notes.back().colour);

  // Choosing the colour it had already: no selection change at the end.
  parent.notes.clear();
  p = Drop();
  Key(p, VK_RETURN);
  EXPECT_EQ((std::vector<UINT>{CPN_DROPDOWN, CPN_CLOSEUP, CPN_SELENDOK}), Messages());
  EXPECT_EQ(RGB(255, 104, 32), button.GetColour());
}

TEST_F(Picker, AReleaseInsideConfirmsAndOneOutsideCancels) {
  button.SetColour(RGB(0, 0, 0));
  CColourPopup* p = Drop();
  RECT rc = p->ItemRect(27);
  SendMessageA(p->Window(), WM_LBUTTONUP, 0, MAKELPARAM(rc.left + 3, rc.top + 3));
  EXPECT_EQ(RGB(0, 255, 0), button.GetColour());

  p = Drop();
  Move(p, 5);
  SendMessageA(p->Window(), WM_LBUTTONUP, 0, MAKELPARAM(-20, -20));
  EXPECT_FALSE(CColourPopup::Current());
  EXPECT_EQ(RGB(0, 255, 0), button.GetColour());
  EXPECT_EQ(CPN_SELENDCANCEL, parent.notes.back().msg);
}

TEST_F(Picker, LosingActivationCancels) {
  button.SetColour(RGB(0, 0, 0));
  button.SetFollowMouse(true);
  CColourPopup* p = Drop();
  Move(p, 20);
  SendMessageA(p->Window(), WM_ACTIVATEAPP, FALSE, 0);
  EXPECT_FALSE(CColourPopup::Current());
  EXPECT_EQ(RGB(0, 0, 0), button.GetColour());
  EXPECT_EQ(CPN_SELENDCANCEL, parent.notes.back().msg);
}

TEST_F(Picker, NearTheBottomOfTheScreenThePaletteOpensAboveTheButton) {
  TearDown();
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  GetMonitorInfoA(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &mi);
  Make(100, mi.rcWork.bottom - 50);
  CColourPopup* p = Drop();
  ASSERT_TRUE(p);
  RECT b{}, w{};
  GetWindowRect(button, &b);
  GetWindowRect(p->Window(), &w);
  EXPECT_EQ(b.top, w.bottom);
  EXPECT_EQ(b.left, w.left);
  Key(p, VK_ESCAPE);
}

namespace {
COLORREF g_seen[16];
COLORREF g_answer = 0;
BOOL g_confirm = TRUE;
BOOL WINAPI FakeChooseColour(CHOOSECOLORA* cc) {
  for (int i = 0; i < 16; ++i) g_seen[i] = cc->lpCustColors[i];
  EXPECT_EQ(static_cast<DWORD>(CC_FULLOPEN | CC_ANYCOLOR | CC_RGBINIT), cc->Flags);
  cc->lpCustColors[3] = RGB(7, 8, 9);  // the user adds a custom colour
  cc->rgbResult = g_answer;
  return g_confirm;
}
}  // namespace

TEST_F(Picker, MoreColoursWithoutASectionStartsAllWhiteAndWritesNothing) {
  CColourPopup::chooseColour = &FakeChooseColour;
  g_answer = RGB(10, 20, 30);
  g_confirm = TRUE;
  button.SetColour(RGB(255, 0, 0));
  CColourPopup* p = Drop();
  Key(p, VK_UP);  // from Red (third row) ...
  Key(p, VK_UP);
  Key(p, VK_UP);  // ... to the default box, then the custom box
  Key(p, VK_UP);
  EXPECT_EQ(CColourPopup::kCustomBox, p->Hot());
  EXPECT_EQ(RGB(255, 0, 0), p->Chosen()) << "the custom box reports the colour it began with";
  Key(p, VK_RETURN);
  for (COLORREF c : g_seen) EXPECT_EQ(RGB(255, 255, 255), c);
  EXPECT_EQ(RGB(10, 20, 30), button.GetColour());
  EXPECT_EQ(CPN_SELCHANGE, parent.notes.back().msg);
  EXPECT_EQ(-1, profile::GetInt("", "CUSTOM_COLOR_3", -1)) << "no section, nothing written";
}

TEST_F(Picker, MoreColoursReadsAndWritesTheSectionAndACancelledDialogCancels) {
  const std::string section = "ColourPickerTest";
  RegDeleteTreeA(HKEY_CURRENT_USER, (std::string(profile::kRoot) + "\\" + section).c_str());
  profile::WriteInt(section, "CUSTOM_COLOR_0", RGB(1, 1, 1));
  CColourPopup::chooseColour = &FakeChooseColour;
  g_confirm = FALSE;
  button.SetCustomColourKey(section);
  button.SetColour(RGB(1, 2, 3));  // not in the palette: the custom box is selected
  CColourPopup* p = Drop();
  EXPECT_EQ(CColourPopup::kCustomBox, p->Selected());
  Move(p, CColourPopup::kCustomBox);
  Key(p, VK_RETURN);
  EXPECT_EQ(RGB(1, 1, 1), g_seen[0]);
  EXPECT_EQ(RGB(255, 255, 255), g_seen[1]);
  EXPECT_EQ(RGB(7, 8, 9), static_cast<COLORREF>(profile::GetInt(section, "CUSTOM_COLOR_3", 0)));
  EXPECT_EQ(RGB(1, 2, 3), button.GetColour());
  EXPECT_EQ(CPN_SELENDCANCEL, parent.notes.back().msg);
  RegDeleteTreeA(HKEY_CURRENT_USER, (std::string(profile::kRoot) + "\\" + section).c_str());
}

TEST_F(Picker, TextModeNamesTheColour) {
  struct Case {
    COLORREF colour;
    bool addName;
    const char* labels;
    const char* text;
  } cases[] = {
      {CLR_AUTOMATIC, false, "RGB", "Automatic"},
      {RGB(255, 0, 0), false, "RGB", "Red"},
      {RGB(255, 0, 0), true, "RGB", "Red (R:255 G:0 B:0)"},
      {RGB(152, 251, 152), false, "RGB", "Pale green "},
      {RGB(1, 2, 3), false, "RGB", "R:1 G:2 B:3"},
      {RGB(1, 2, 3), true, "XY", "X:1 Y:2  :3"},  // labels padded with blanks
  };
  for (const auto& c : cases) {
    button.SetColour(c.colour);
    button.SetAddColourName(c.addName);
    button.SetChannelLabels(c.labels);
    EXPECT_EQ(c.text, button.DisplayText());
  }
  button.SetDefaultText("Default");
  button.SetColour(CLR_AUTOMATIC);
  EXPECT_EQ("Default", button.DisplayText());

  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  HDC dc = GetDC(button);
  SelectGuard use(dc, font);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  ReleaseDC(button, dc);
  button.SetShowText(true);
  RECT rc{};
  GetWindowRect(button, &rc);
  EXPECT_EQ(tm.tmHeight + 8, rc.bottom - rc.top);
}

TEST_F(Picker, DrawsTheColourOrTheDefaultInsideAFrame) {
  HDC screen = GetDC(nullptr);
  MemoryDC out(screen, 75, 26);
  ReleaseDC(nullptr, screen);
  const RECT rc{0, 0, 75, 26};
  button.SetColour(RGB(0, 0, 255));
  button.DrawItem(out.Get(), rc, 0);
  EXPECT_EQ(RGB(0, 0, 255), GetPixel(out.Get(), 25, 13));
  EXPECT_EQ(GetSysColor(COLOR_BTNTEXT), GetPixel(out.Get(), 75 - 2 - 6, 13 - 2)) << "the arrow's top row";

  button.SetDefaultColour(RGB(10, 200, 10));
  button.SetColour(CLR_AUTOMATIC);
  button.DrawItem(out.Get(), rc, 0);
  EXPECT_EQ(RGB(10, 200, 10), GetPixel(out.Get(), 25, 13));

  button.DrawItem(out.Get(), rc, ODS_DISABLED);
  EXPECT_NE(RGB(10, 200, 10), GetPixel(out.Get(), 25, 13)) << "disabled looks faded";
  EXPECT_NE(GetSysColor(COLOR_BTNTEXT), GetPixel(out.Get(), 75 - 2 - 6, 13 - 2));
}
