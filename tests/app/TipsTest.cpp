// The Tips window: its categories, hints and check box, hiding instead of
// closing; and the main window's automatic display (start, add buttons,
// Edit, Remove after its confirmation, drops), Help > Tips, and hiding with
// the main window.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "app/DlgTips.h"
#include "app/Messages.h"
#include "app/QX5Dlg.h"
#include "common/NotificationArea.h"
#include "common/TestSupport.h"
#include "framework/Module.h"
#include "resource.h"
#include "settings/Settings.h"

namespace {

bool Visible(HWND w) { return (GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE) != 0; }

// Keeps the tips switch as the test found it.
class ShowTipsGuard {
 public:
  ShowTipsGuard() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
      DWORD size = sizeof value_;
      had_ = RegQueryValueExA(key, "regDWShowTipDlg", nullptr, nullptr, reinterpret_cast<BYTE*>(&value_), &size) ==
             ERROR_SUCCESS;
      RegCloseKey(key);
    }
  }
  ~ShowTipsGuard() {
    if (had_) {
      WriteShowTips(value_);
      return;
    }
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      RegDeleteValueA(key, "regDWShowTipDlg");
      RegCloseKey(key);
    }
  }

 private:
  bool had_ = false;
  DWORD value_ = 0;
};

bool Ticked(CDlgTips& tips) { return SendMessageA(tips.Item(IDC_TIPS_DONTSHOW), BM_GETCHECK, 0, 0) == BST_CHECKED; }

class TipsWindow : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(tips.Create(nullptr)); }
  void TearDown() override { DestroyWindow(tips.m_hWnd); }
  ShowTipsGuard guard;
  CDlgTips tips;
};

TEST_F(TipsWindow, InitialisationFillsTheCategoriesAndShowsTheOverallHint) {
  EXPECT_FALSE(Visible(tips.m_hWnd));  // created hidden
  EXPECT_EQ("Tips", tips.GetText());
  EXPECT_EQ("&Category:", tips.ItemText(IDC_TIPS_CATEGORY_LABEL));
  EXPECT_EQ("&Don't show this again", tips.ItemText(IDC_TIPS_DONTSHOW));
  EXPECT_TRUE(tips.Background() != nullptr);
  CTreeComboBox& list = tips.Categories();
  ASSERT_EQ(9, list.Count());
  const char* names[] = {"Overall", "Rule Management", "Add rules", "Edit rules",         "Delete rules",
                         "Log",     "View log",        "Save log",  "Jump to src or dest"};
  const int levels[] = {0, 0, 1, 1, 1, 0, 1, 1, 1};
  const int images[] = {0, 0, 0, 0, 0, 1, 1, 1, 1};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(names[i], list.ItemText(i)) << i;
    EXPECT_EQ(levels[i], list.Level(i)) << i;
    EXPECT_EQ(images[i], list.Image(i)) << i;
  }
  EXPECT_EQ(2, ImageList_GetImageCount(list.ImageList()));
  EXPECT_EQ(0, list.Selected());
  EXPECT_EQ(0, tips.CurrentCategory());
  EXPECT_EQ(LoadStr(IDS_TIPTEXT_OVERALL), tips.Hint().Text());
  EXPECT_EQ("<font color=0x00FF00>" + LoadStr(IDS_TIPTEXT_OVERALL) + "</font>", tips.Hint().DrawnText());
  EXPECT_EQ(0u, tips.Hint().AnimationInterval());
  // The line feed of the overall hint is a line break: two lines of text.
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 600, 400);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(mem, bmp);
  SendMessageA(tips.Hint().m_hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  int firstY = -1, lastY = -1;
  for (const auto& it : tips.Hint().Drawer().Layout().items)
    if (it.kind == MarkupItem::Text) {
      if (firstY < 0) firstY = it.y;
      lastY = it.y;
    }
  EXPECT_GT(lastY, firstY);
  EXPECT_EQ(5, tips.Hint().TextBox().left);
  EXPECT_EQ(5, tips.Hint().TextBox().top);
}

TEST_F(TipsWindow, ShowCategoryAndPicksInTheList) {
  tips.ShowCategory(5);
  EXPECT_EQ(LoadStr(209), tips.Hint().Text());
  EXPECT_EQ(5, tips.Categories().Selected());
  tips.ShowCategory(42);  // no hint: the text stays
  EXPECT_EQ(42, tips.CurrentCategory());
  EXPECT_EQ(LoadStr(209), tips.Hint().Text());
  EXPECT_EQ(5, tips.Categories().Selected());
  tips.ShowCategory(-1);
  EXPECT_EQ(LoadStr(209), tips.Hint().Text());

  // The user picks "View log", then "Log" with the keyboard.
  HWND list = tips.Item(IDC_TIPS_CATEGORY);
  SendMessageA(list, CB_SETCURSEL, 6, 0);
  SendMessageA(tips.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_TIPS_CATEGORY, CBN_SELENDOK), reinterpret_cast<LPARAM>(list));
  EXPECT_EQ(LoadStr(210), tips.Hint().Text());
  EXPECT_EQ(6, tips.CurrentCategory());
  SendMessageA(list, WM_KEYDOWN, VK_UP, 0);
  EXPECT_EQ(LoadStr(209), tips.Hint().Text());
  EXPECT_EQ(5, tips.CurrentCategory());
  for (int i = 0; i < 9; ++i) EXPECT_NE(0u, CDlgTips::HintString(i));
  EXPECT_EQ(0u, CDlgTips::HintString(9));
}

TEST_F(TipsWindow, CheckBoxWritesTheSwitchAndOkCancelCloseOnlyHide) {
  WriteShowTips(1);
  HWND box = tips.Item(IDC_TIPS_DONTSHOW);
  SendMessageA(box, BM_CLICK, 0, 0);
  EXPECT_EQ(0u, ReadShowTips());
  SendMessageA(box, BM_CLICK, 0, 0);
  EXPECT_EQ(1u, ReadShowTips());
  tips.SetCheckFromSetting(0);
  EXPECT_TRUE(Ticked(tips));
  tips.SetCheckFromSetting(7);
  EXPECT_FALSE(Ticked(tips));

  for (UINT how : {0u, 1u, 2u}) {
    ShowWindow(tips.m_hWnd, SW_SHOW);
    if (how == 0) SendMessageA(tips.m_hWnd, WM_COMMAND, IDOK, 0);
    if (how == 1) SendMessageA(tips.m_hWnd, WM_COMMAND, IDCANCEL, 0);
    if (how == 2) {
      SendMessageA(tips.m_hWnd, WM_CLOSE, 0, 0);  // the close box posts Cancel
      testsupport::PumpUntil([&] { return !Visible(tips.m_hWnd); }, 2000);
    }
    EXPECT_TRUE(IsWindow(tips.m_hWnd)) << how;
    EXPECT_FALSE(Visible(tips.m_hWnd)) << how;
  }
}

// ---- With the main window ---------------------------------------------------

// Pages on the real templates; the Files page keeps the last request code.
uint32_t g_lastCode = 0xFFFFFFFF;

class PlainPage : public CBkDialogST {
 public:
  explicit PlainPage(UINT t) : CBkDialogST(t) {}

 protected:
  void OnOK() override {}
  void OnCancel() override {}
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_RULE_REQUEST && wp) {
      g_lastCode = reinterpret_cast<RULE_REQUEST*>(wp)->Code;
      return 0;
    }
    return CBkDialogST::WindowProc(msg, wp, lp);
  }
};

class Main : public CQX5Dlg {
 public:
  int asked = 0;
  bool confirm = true;
  bool tipsVisibleWhenAsked = false;

 protected:
  std::unique_ptr<CBkDialogST> MakePage(int index) override {
    const UINT templates[3] = {IDD_PAGE_FILES, IDD_PAGE_LOG, IDD_PAGE_OPTIONS};
    return std::make_unique<PlainPage>(templates[index]);
  }
  bool AskForFiles(const char*, std::vector<std::string>&) override {
    ++asked;
    tipsVisibleWhenAsked = Tips() && Visible(Tips()->m_hWnd);
    return false;
  }
  bool ConfirmRemove() override { return confirm; }
  bool CheckPassword() override { return true; }
};

HDROP DropOf(const char* path) {
  const size_t n = strlen(path) + 2;
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + n);
  auto* df = static_cast<DROPFILES*>(GlobalLock(mem));
  df->pFiles = sizeof(DROPFILES);
  memcpy(reinterpret_cast<char*>(df) + sizeof(DROPFILES), path, n - 2);
  GlobalUnlock(mem);
  return static_cast<HDROP>(mem);
}

class TipsWithMainWindow : public ::testing::Test {
 protected:
  void Start(DWORD setting) {
    WriteShowTips(setting);
    ASSERT_TRUE(dlg.Create(nullptr));
    ShowWindow(dlg.m_hWnd, SW_SHOW);
    ASSERT_NE(nullptr, dlg.Tips());
    tips = dlg.Tips()->m_hWnd;
    // Made while the main window was hidden, the tips window shows once the
    // main window is up and the messages run.
    if (setting) {
      EXPECT_TRUE(testsupport::PumpUntil([&] { return Visible(tips); }, 3000));
    }
  }
  void TearDown() override {
    if (dlg.m_hWnd) DestroyWindow(dlg.m_hWnd);
  }
  void Click(int id) {
    SendMessageA(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(dlg.Item(id)));
  }
  ShowTipsGuard guard;
  AcceptingNotificationArea tray;
  Main dlg;
  HWND tips = nullptr;
};

TEST_F(TipsWithMainWindow, StartShowsTheOverallHintCentredOverTheMainWindow) {
  Start(1);
  EXPECT_TRUE(Visible(tips));
  EXPECT_EQ(dlg.m_hWnd, GetWindow(tips, GW_OWNER));
  RECT m{}, t{};
  GetWindowRect(dlg.m_hWnd, &m);
  GetWindowRect(tips, &t);
  EXPECT_NEAR((m.left + m.right) / 2, (t.left + t.right) / 2, 1);
  EXPECT_NEAR((m.top + m.bottom) / 2, (t.top + t.bottom) / 2, 1);
  EXPECT_EQ(LoadStr(IDS_TIPTEXT_OVERALL), dlg.Tips()->Hint().Text());
  EXPECT_FALSE(Ticked(*dlg.Tips()));
}

TEST_F(TipsWithMainWindow, ButtonsRemoveAndDropsShowTheirCategories) {
  Start(1);
  ShowWindow(tips, SW_HIDE);
  Click(IDC_BTN_NORUN);
  EXPECT_EQ(1, dlg.asked);
  EXPECT_TRUE(dlg.tipsVisibleWhenAsked);
  EXPECT_EQ(2, dlg.Tips()->CurrentCategory());
  Click(IDC_BTN_EDIT);
  EXPECT_EQ(3, dlg.Tips()->CurrentCategory());

  ShowWindow(tips, SW_HIDE);
  dlg.confirm = false;
  Click(IDC_BTN_REMOVE);
  EXPECT_FALSE(Visible(tips));  // answered No: no tip
  EXPECT_EQ(3, dlg.Tips()->CurrentCategory());
  dlg.confirm = true;
  Click(IDC_BTN_REMOVE);
  EXPECT_TRUE(Visible(tips));
  EXPECT_EQ(4, dlg.Tips()->CurrentCategory());
  EXPECT_EQ(LoadStr(IDS_TIPTEXT_DELETE), dlg.Tips()->Hint().Text());
  EXPECT_EQ("Delete rules", dlg.Tips()->Categories().ItemText(dlg.Tips()->Categories().Selected()));

  // A drop shows "Edit rules" whatever it lands on.
  for (int id : {IDC_BTN_NOCOPY, IDC_BTN_REMOVE, IDC_TAB}) {
    ShowWindow(tips, SW_HIDE);
    dlg.Tips()->ShowCategory(0);
    RECT rc{};
    GetWindowRect(dlg.Item(id), &rc);
    SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    dlg.Send(WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf("C:\\windows\\win.ini")));
    EXPECT_TRUE(Visible(tips)) << id;
    EXPECT_EQ(3, dlg.Tips()->CurrentCategory()) << id;
  }
  // The tips window, shown for the drop over the button it landed on, does
  // not change the kind of the rule.
  RECT rc{};
  GetWindowRect(dlg.Item(IDC_BTN_NOPRINT), &rc);
  SetWindowPos(tips, nullptr, rc.left - 50, rc.top - 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(tips, SW_HIDE);
  SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
  g_lastCode = 0xFFFFFFFF;
  dlg.Send(WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf("C:\\windows\\win.ini")));
  EXPECT_TRUE(Visible(tips));
  EXPECT_EQ(REQ_PRINT, g_lastCode);
}

TEST_F(TipsWithMainWindow, TickedBoxKeepsTipsAwayButHelpTipsStillShows) {
  Start(0);
  EXPECT_FALSE(Visible(tips));
  EXPECT_TRUE(Ticked(*dlg.Tips()));
  Click(IDC_BTN_NORUN);
  EXPECT_EQ(1, dlg.asked);
  EXPECT_FALSE(dlg.tipsVisibleWhenAsked);
  EXPECT_FALSE(Visible(tips));
  EXPECT_EQ(0, dlg.Tips()->CurrentCategory());

  // Help > Tips: shown, centred, with the box ticked and the category kept.
  SetWindowPos(tips, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SendMessageA(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(ID_HELP_TIPS, 0), 0);
  EXPECT_TRUE(Visible(tips));
  EXPECT_TRUE(Ticked(*dlg.Tips()));
  EXPECT_EQ(0, dlg.Tips()->CurrentCategory());
  RECT m{}, t{};
  GetWindowRect(dlg.m_hWnd, &m);
  GetWindowRect(tips, &t);
  EXPECT_NEAR((m.left + m.right) / 2, (t.left + t.right) / 2, 1);

  // Unticking from the window turns the automatic display on again.
  SendMessageA(dlg.Tips()->Item(IDC_TIPS_DONTSHOW), BM_CLICK, 0, 0);
  EXPECT_EQ(1u, ReadShowTips());
  ShowWindow(tips, SW_HIDE);
  Click(IDC_BTN_EDIT);
  EXPECT_TRUE(Visible(tips));
}

TEST_F(TipsWithMainWindow, WaitsForTheMainWindowAndStaysAwayWhenItGoesToTheTray) {
  WriteShowTips(1);
  ASSERT_TRUE(dlg.Create(nullptr));
  tips = dlg.Tips()->m_hWnd;
  EXPECT_FALSE(Visible(tips));  // the main window is not up yet
  testsupport::PumpUntil([] { return false; }, 200);
  EXPECT_FALSE(Visible(tips));
  ShowWindow(dlg.m_hWnd, SW_SHOW);
  EXPECT_TRUE(testsupport::PumpUntil([&] { return Visible(tips); }, 3000));
}

TEST_F(TipsWithMainWindow, AWaitingShowIsDroppedWhenTheMainWindowGoesToTheTray) {
  WriteShowTips(1);
  ASSERT_TRUE(dlg.Create(nullptr));
  tips = dlg.Tips()->m_hWnd;
  SendMessageA(dlg.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  ShowWindow(dlg.m_hWnd, SW_SHOW);  // back from the tray
  testsupport::PumpUntil([] { return false; }, 300);
  EXPECT_FALSE(Visible(tips));
}

TEST_F(TipsWithMainWindow, HiddenWithTheMainWindowAndGoneWithIt) {
  Start(1);
  ASSERT_TRUE(Visible(tips));
  SendMessageA(dlg.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(Visible(dlg.m_hWnd));
  EXPECT_FALSE(Visible(tips));
  DestroyWindow(dlg.m_hWnd);
  EXPECT_FALSE(IsWindow(tips));
}

}  // namespace
