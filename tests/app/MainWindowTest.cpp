// The main window: pages, layout and minimum size, keys that must not end
// it, page switching, rule requests from buttons and shell drops, hiding and
// showing, and the owner-drawn menus.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <shobjidl.h>
#include "framework/FileDialog.h"

#include <fstream>
#include <string>
#include <vector>

#include "app/Messages.h"
#include "app/QX5Dlg.h"
#include "common/NotificationArea.h"
#include "common/TestSupport.h"
#include "framework/Handle.h"
#include "resource.h"
#include "settings/Settings.h"

namespace {

struct SeenRequest {
  bool null = false;
  uint32_t code = 0;
  std::string source;
  std::vector<std::string> dests;
  uint32_t type = 0;
  HWND owner = nullptr;
};

// A page on the real template that records the rule requests it receives.
class RecordingPage : public CBkDialogST {
 public:
  RecordingPage(UINT templateId, std::vector<SeenRequest>* seen) : CBkDialogST(templateId), seen_(seen) {}

 protected:
  void OnOK() override {}
  void OnCancel() override {}
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_RULE_REQUEST) {
      SeenRequest r;
      auto* req = reinterpret_cast<RULE_REQUEST*>(wp);
      r.null = req == nullptr;
      if (req) {
        r.code = req->Code;
        r.source = req->Source;
        r.dests = req->Dests;
        r.type = req->Type;
        r.owner = static_cast<HWND>(req->Owner);
      }
      seen_->push_back(r);
      return 0;
    }
    return CBkDialogST::WindowProc(msg, wp, lp);
  }

 private:
  std::vector<SeenRequest>* seen_;
};

class TestMainWindow : public CQX5Dlg {
 public:
  std::vector<SeenRequest> requests;
  std::vector<std::string> picked;
  bool pickOk = true;
  int asked = 0;
  std::string lastFilter;
  bool confirm = true;
  bool password = true;

  void Command(int id, UINT code = BN_CLICKED) {
    Send(WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Item(id)));
  }
  void Menu(int id) { Send(WM_COMMAND, MAKEWPARAM(id, 0), 0); }

 protected:
  std::unique_ptr<CBkDialogST> MakePage(int index) override {
    const UINT templates[3] = {IDD_PAGE_FILES, IDD_PAGE_LOG, IDD_PAGE_OPTIONS};
    return std::make_unique<RecordingPage>(templates[index], &requests);
  }
  bool AskForFiles(const char* filter, std::vector<std::string>& paths) override {
    ++asked;
    lastFilter = filter ? filter : "";
    if (pickOk) paths = picked;
    return pickOk;
  }
  bool ConfirmRemove() override { return confirm; }
  bool CheckPassword() override { return password; }
};

bool Visible(HWND w) { return (GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE) != 0; }

RECT ClientRectOf(HWND child, HWND parent) {
  RECT rc{};
  GetWindowRect(child, &rc);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

// A shell drop of the given paths, as the shell hands it to a window.
HDROP MakeDrop(const std::vector<std::string>& paths) {
  size_t chars = 1;
  for (const auto& p : paths) chars += p.size() + 1;
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars);
  auto* df = static_cast<DROPFILES*>(GlobalLock(mem));
  df->pFiles = sizeof(DROPFILES);
  df->fWide = FALSE;
  char* out = reinterpret_cast<char*>(df) + sizeof(DROPFILES);
  for (const auto& p : paths) {
    memcpy(out, p.c_str(), p.size());
    out += p.size() + 1;
  }
  GlobalUnlock(mem);
  return static_cast<HDROP>(mem);
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dlg.Create(nullptr));
    SetWindowPos(dlg.m_hWnd, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(dlg.m_hWnd, SW_SHOW);
    UpdateWindow(dlg.m_hWnd);
  }
  void TearDown() override {
    CSkinMenu::Disable();
    if (dlg.m_hWnd) DestroyWindow(dlg.m_hWnd);
  }
  // Puts the cursor over a control of the window and drops the paths.
  void DropOn(HWND target, const std::vector<std::string>& paths) {
    RECT rc{};
    GetWindowRect(target, &rc);
    SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    dlg.Send(WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)));
  }

  AcceptingNotificationArea tray;
  TestMainWindow dlg;
};

TEST_F(MainWindow, InitialisationBuildsTabsButtonsAndTitle) {
  EXPECT_EQ("Varnokel", dlg.GetText());
  ASSERT_EQ(3, dlg.Tabs().PageCount());
  EXPECT_TRUE(Visible(dlg.Page(0)));
  EXPECT_FALSE(Visible(dlg.Page(1)));
  EXPECT_FALSE(Visible(dlg.Page(2)));
  EXPECT_EQ(GetParent(dlg.Page(0)), dlg.Tabs().m_hWnd);
  EXPECT_EQ(2, dlg.Tabs().PageOrigin().x);
  EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), dlg.Tabs().PageOrigin().y);
  EXPECT_EQ("Optio&ns", dlg.ItemText(IDC_BTN_OPTIONS));
  EXPECT_EQ("No &Print", dlg.ItemText(IDC_BTN_NOPRINT));
  EXPECT_EQ(RGB(0, 0, 255), dlg.Tabs().TextColourOf(0));
  EXPECT_TRUE(GetWindowLongA(dlg.m_hWnd, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  EXPECT_TRUE(dlg.Background() != nullptr);

  HMENU sys = GetSystemMenu(dlg.m_hWnd, FALSE);
  char text[64] = {};
  GetMenuStringA(sys, ID_HELP_ABOUT, text, sizeof text, MF_BYCOMMAND);
  EXPECT_STREQ("About Varnokel...", text);
  for (int i = 0; i < CQX5Dlg::kButtonCount; ++i) {
    EXPECT_TRUE(dlg.Button(i).CurrentIcon() != nullptr) << i;
    EXPECT_TRUE(dlg.Button(i).Tooltip() != nullptr) << i;
  }
}

TEST_F(MainWindow, ButtonsTouchTheRightEdgeAfterAResize) {
  const int removeWidth = ClientRectOf(dlg.Item(IDC_BTN_REMOVE), dlg.m_hWnd).right -
                          ClientRectOf(dlg.Item(IDC_BTN_REMOVE), dlg.m_hWnd).left;
  const RECT topBefore = ClientRectOf(dlg.Item(IDC_BTN_NOCOPY), dlg.m_hWnd);
  RECT win{};
  GetWindowRect(dlg.m_hWnd, &win);
  SetWindowPos(dlg.m_hWnd, nullptr, 0, 0, win.right - win.left + 200, win.bottom - win.top + 100,
               SWP_NOMOVE | SWP_NOZORDER);
  const RECT client = dlg.ClientRect();
  const int ids[] = {IDC_BTN_NORUN, IDC_BTN_NOCOPY, IDC_BTN_NOPRINT, IDC_BTN_VIEW, IDC_BTN_REMOVE};
  for (int id : ids) {
    RECT rc = ClientRectOf(dlg.Item(id), dlg.m_hWnd);
    EXPECT_EQ(client.right, rc.right) << id;
    EXPECT_EQ(removeWidth, rc.right - rc.left) << id;
  }
  RECT copy = ClientRectOf(dlg.Item(IDC_BTN_NOCOPY), dlg.m_hWnd);
  EXPECT_EQ(topBefore.top, copy.top);
  EXPECT_EQ(topBefore.bottom, copy.bottom);
  RECT tab = ClientRectOf(dlg.Tabs().m_hWnd, dlg.m_hWnd);
  EXPECT_EQ(5, tab.left);
  EXPECT_EQ(6, tab.top);
  EXPECT_EQ(client.right - removeWidth - 11, tab.right - tab.left);
  EXPECT_EQ(client.bottom - 6, tab.bottom - tab.top);
  // The pages follow the tab control.
  RECT tabClient = dlg.Tabs().ClientRect();
  RECT page = ClientRectOf(dlg.Page(1), dlg.Tabs().m_hWnd);
  EXPECT_EQ(tabClient.right - 2 - 3, page.right - page.left);
}

TEST_F(MainWindow, MinimumSizeMovesTheDraggedEdgeOnly) {
  const RECT client = dlg.ClientRect();
  RECT proposed{300, 200, 400, 260};  // far below the minimum
  dlg.Send(WM_SIZING, WMSZ_LEFT, reinterpret_cast<LPARAM>(&proposed));
  EXPECT_EQ(400, proposed.right);  // the right edge stays
  EXPECT_EQ(client.right, proposed.right - proposed.left);
  EXPECT_EQ(200, proposed.top);
  EXPECT_EQ(client.bottom, proposed.bottom - proposed.top);

  RECT right{300, 200, 400, 260};
  dlg.Send(WM_SIZING, WMSZ_TOPRIGHT, reinterpret_cast<LPARAM>(&right));
  EXPECT_EQ(300, right.left);
  EXPECT_EQ(client.right, right.right - right.left);
  EXPECT_EQ(260, right.bottom);  // the top moved
  EXPECT_EQ(client.bottom, right.bottom - right.top);

  RECT big{0, 0, 2000, 1500};
  dlg.Send(WM_SIZING, WMSZ_BOTTOMLEFT, reinterpret_cast<LPARAM>(&big));
  EXPECT_EQ(0, big.left);
  EXPECT_EQ(2000, big.right);
  EXPECT_EQ(1500, big.bottom);
}

TEST_F(MainWindow, MaximisedTheCaptionStaysOnTheScreen) {
  // Only the sizing frame lies beyond the work area, whatever the menu bar.
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(dlg.m_hWnd, GWL_STYLE));
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, style & ~WS_BORDER, FALSE, static_cast<DWORD>(GetWindowLongPtrA(dlg.m_hWnd, GWL_EXSTYLE)));
  ASSERT_LT(frame.top, 0);
  ASSERT_NE(nullptr, GetMenu(dlg.m_hWnd));
  MINMAXINFO info{};
  dlg.Send(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(frame.left, info.ptMaxPosition.x);
  EXPECT_EQ(frame.top, info.ptMaxPosition.y);
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(work.bottom - work.top + frame.bottom - frame.top, info.ptMaxSize.y);

  ShowWindow(dlg.m_hWnd, SW_MAXIMIZE);
  RECT win{}, client{};
  GetWindowRect(dlg.m_hWnd, &win);
  EXPECT_EQ(work.top + frame.top, win.top);
  EXPECT_EQ(work.bottom + frame.bottom, win.bottom);
  // The client area, below caption and menu, is on the screen and the
  // buttons still reach its right edge.
  GetClientRect(dlg.m_hWnd, &client);
  POINT origin{0, 0};
  ClientToScreen(dlg.m_hWnd, &origin);
  EXPECT_GE(origin.y, work.top + GetSystemMetrics(SM_CYCAPTION));
  EXPECT_EQ(client.right, ClientRectOf(dlg.Item(IDC_BTN_REMOVE), dlg.m_hWnd).right);
  ShowWindow(dlg.m_hWnd, SW_RESTORE);
}

TEST_F(MainWindow, EnterEscapeAndCloseDoNotEndTheWindow) {
  MSG key{dlg.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
  IsDialogMessageA(dlg.m_hWnd, &key);
  key.wParam = VK_RETURN;
  IsDialogMessageA(dlg.m_hWnd, &key);
  dlg.Send(WM_COMMAND, IDOK, 0);
  dlg.Send(WM_COMMAND, IDCANCEL, 0);
  dlg.Send(WM_CLOSE);
  ASSERT_TRUE(IsWindow(dlg.m_hWnd));
  EXPECT_TRUE(IsWindowVisible(dlg.m_hWnd));
  EXPECT_TRUE(dlg.requests.empty());
  EXPECT_EQ(0, dlg.Tabs().CurrentSelection());
}

TEST_F(MainWindow, ViewCyclesThePagesAndOptionsJumpsToTheLast) {
  dlg.Command(IDC_BTN_VIEW);
  EXPECT_EQ(1, dlg.Tabs().CurrentSelection());
  EXPECT_TRUE(Visible(dlg.Page(1)));
  EXPECT_FALSE(Visible(dlg.Page(0)));
  dlg.Command(IDC_BTN_VIEW);
  EXPECT_EQ(2, dlg.Tabs().CurrentSelection());
  dlg.Command(IDC_BTN_VIEW);  // from the last back to Files
  EXPECT_EQ(0, dlg.Tabs().CurrentSelection());
  EXPECT_TRUE(Visible(dlg.Page(0)));
  EXPECT_FALSE(Visible(dlg.Page(2)));

  dlg.Command(IDC_BTN_OPTIONS);
  EXPECT_EQ(2, dlg.Tabs().CurrentSelection());
  EXPECT_TRUE(Visible(dlg.Page(2)));
  EXPECT_FALSE(Visible(dlg.Page(0)));
}

TEST_F(MainWindow, DropOfThreeFilesOnNoCopyMakesOneCopyRequest) {
  const std::vector<std::string> files = {"C:\\docs\\a.txt", "C:\\docs\\b.doc", "D:\\"};
  DropOn(dlg.Item(IDC_BTN_NOCOPY), files);
  ASSERT_EQ(1u, dlg.requests.size());
  const SeenRequest& r = dlg.requests[0];
  EXPECT_EQ(REQ_COPY, r.code);
  EXPECT_EQ("*", r.source);
  EXPECT_EQ(files, r.dests);
  EXPECT_EQ(1u, r.type);
  EXPECT_EQ(dlg.m_hWnd, r.owner);
}

TEST_F(MainWindow, DropsOnEachKindButtonAndElsewhere) {
  struct Case {
    int id;
    uint32_t code;
  };
  const Case cases[] = {{IDC_BTN_NORUN, REQ_RUN},       {IDC_BTN_NOOPEN, REQ_OPEN},     {IDC_BTN_NOMODIFY, REQ_MODIFY},
                        {IDC_BTN_NODEL, REQ_DELETE},    {IDC_BTN_NOFIND, REQ_FIND},     {IDC_BTN_NOPRINT, REQ_PRINT},
                        {IDC_BTN_EDIT, REQ_EDIT_NEW},   {IDC_BTN_REMOVE, REQ_EDIT_NEW}, {IDC_BTN_VIEW, REQ_EDIT_NEW},
                        {IDC_BTN_OPTIONS, REQ_EDIT_NEW}};
  for (const Case& c : cases) {
    dlg.requests.clear();
    DropOn(dlg.Item(c.id), {"C:\\x.exe"});
    ASSERT_EQ(1u, dlg.requests.size()) << c.id;
    EXPECT_EQ(c.code, dlg.requests[0].code) << c.id;
  }
  dlg.requests.clear();
  DropOn(dlg.Page(0), {"C:\\x.exe"});
  ASSERT_EQ(1u, dlg.requests.size());
  EXPECT_EQ(REQ_EDIT_NEW, dlg.requests[0].code);
  EXPECT_EQ(std::vector<std::string>{"C:\\x.exe"}, dlg.requests[0].dests);
}

TEST_F(MainWindow, DroppedShortcutBecomesItsTarget) {
  const std::string dir = testsupport::MakeTempDir("maindrop");
  const std::string target = dir + "\\target.txt";
  std::ofstream(target) << "x";
  const std::string link = dir + "\\target.lnk";
  IShellLinkA* sl = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&sl)));
  sl->SetPath(target.c_str());
  IPersistFile* pf = nullptr;
  ASSERT_EQ(S_OK, sl->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pf)));
  std::wstring wlink(link.begin(), link.end());
  ASSERT_EQ(S_OK, pf->Save(wlink.c_str(), TRUE));
  pf->Release();
  sl->Release();

  DropOn(dlg.Item(IDC_BTN_NODEL), {link, dir + "\\plain.txt"});
  ASSERT_EQ(1u, dlg.requests.size());
  EXPECT_EQ(REQ_DELETE, dlg.requests[0].code);
  ASSERT_EQ(2u, dlg.requests[0].dests.size());
  EXPECT_EQ(0, lstrcmpiA(target.c_str(), dlg.requests[0].dests[0].c_str())) << dlg.requests[0].dests[0];
  EXPECT_EQ(dir + "\\plain.txt", dlg.requests[0].dests[1]);
}

TEST_F(MainWindow, LongDroppedPathsArriveWhole) {
  const std::string longPath = "C:\\" + std::string(300, 'x') + ".txt";
  const std::string edge = "C:\\" + std::string(255, 'y');  // 259 characters
  DropOn(dlg.Item(IDC_BTN_NOOPEN), {longPath, edge});
  ASSERT_EQ(1u, dlg.requests.size());
  EXPECT_EQ((std::vector<std::string>{longPath, edge}), dlg.requests[0].dests);
}

TEST_F(MainWindow, KindButtonsAskForFilesAndSendThem) {
  dlg.picked = {"C:\\a.exe", "C:\\b.exe"};
  dlg.Command(IDC_BTN_NORUN);
  ASSERT_EQ(1u, dlg.requests.size());
  EXPECT_EQ(REQ_RUN, dlg.requests[0].code);
  EXPECT_EQ(dlg.picked, dlg.requests[0].dests);
  EXPECT_EQ("*", dlg.requests[0].source);
  EXPECT_EQ("Exe file(*.exe)", dlg.lastFilter);

  dlg.Command(IDC_BTN_NOPRINT);
  ASSERT_EQ(2u, dlg.requests.size());
  EXPECT_EQ(REQ_PRINT, dlg.requests[1].code);
  EXPECT_EQ("All files(*.*)", dlg.lastFilter);

  // Cancelled: the request still goes, without paths.
  dlg.pickOk = false;
  dlg.Command(IDC_BTN_NOFIND);
  ASSERT_EQ(3u, dlg.requests.size());
  EXPECT_EQ(REQ_FIND, dlg.requests[2].code);
  EXPECT_TRUE(dlg.requests[2].dests.empty());
  EXPECT_EQ(3, dlg.asked);

  // A double-click on No Run does nothing.
  dlg.Command(IDC_BTN_NORUN, BN_DOUBLECLICKED);
  EXPECT_EQ(3u, dlg.requests.size());
  EXPECT_EQ(3, dlg.asked);
}

TEST_F(MainWindow, EditAndRemoveWorkOnTheSelectionRemoveAsksFirst) {
  dlg.Command(IDC_BTN_EDIT);
  ASSERT_EQ(1u, dlg.requests.size());
  EXPECT_EQ(REQ_EDIT_SELECTED, dlg.requests[0].code);
  EXPECT_TRUE(dlg.requests[0].dests.empty());

  dlg.confirm = false;
  dlg.Command(IDC_BTN_REMOVE);
  EXPECT_EQ(1u, dlg.requests.size());
  dlg.confirm = true;
  dlg.Command(IDC_BTN_REMOVE);
  ASSERT_EQ(2u, dlg.requests.size());
  EXPECT_EQ(REQ_REMOVE_SELECTED, dlg.requests[1].code);
  EXPECT_EQ(0, dlg.asked);
}

TEST_F(MainWindow, HidingAndShowingAgain) {
  dlg.Send(WM_SYSCOMMAND, SC_CLOSE);
  ASSERT_TRUE(IsWindow(dlg.m_hWnd));
  EXPECT_FALSE(IsWindowVisible(dlg.m_hWnd));

  dlg.password = false;
  dlg.Menu(ID_TRAY_OPEN);
  EXPECT_FALSE(IsWindowVisible(dlg.m_hWnd));
  dlg.Menu(ID_TRAY_EXIT);
  EXPECT_TRUE(IsWindow(dlg.m_hWnd));

  dlg.password = true;
  dlg.Menu(ID_TRAY_OPEN);
  EXPECT_TRUE(IsWindowVisible(dlg.m_hWnd));

  dlg.Menu(ID_FILE_CLOSE);
  EXPECT_FALSE(IsWindowVisible(dlg.m_hWnd));
  // A second start brings the window back without a password.
  dlg.password = false;
  EXPECT_EQ(0, dlg.Send(WM_QX5_ACTIVATE, 0, 0));
  EXPECT_TRUE(IsWindowVisible(dlg.m_hWnd));
  EXPECT_TRUE(dlg.requests.empty());
}

TEST_F(MainWindow, ActivateWithNonZeroAsksTheFilesPageToReload) {
  EXPECT_EQ(kReloadDone, dlg.Send(WM_QX5_ACTIVATE, 1, 0));  // a page that was not busy
  ASSERT_EQ(1u, dlg.requests.size());
  EXPECT_TRUE(dlg.requests[0].null);
}

// The shell's notification-area calls, recorded instead of made.
std::vector<DWORD> g_shellCalls;
BOOL g_shellAccepts = TRUE;
BOOL WINAPI FakeShellNotify(DWORD message, NOTIFYICONDATAA*) {
  g_shellCalls.push_back(message);
  return g_shellAccepts;
}

class MainWindowWithTray : public ::testing::Test {
 protected:
  void SetUp() override {
    saved = CSystemTray::s_shellNotify;
    CSystemTray::s_shellNotify = &FakeShellNotify;
    g_shellCalls.clear();
    g_shellAccepts = TRUE;
    ASSERT_TRUE(dlg.Create(nullptr));
    ShowWindow(dlg.m_hWnd, SW_SHOW);
  }
  void TearDown() override {
    if (dlg.m_hWnd) DestroyWindow(dlg.m_hWnd);
    CSystemTray::s_shellNotify = saved;
    g_bTrayIcon = savedSetting;
  }
  CSystemTray::ShellNotifyFn saved = nullptr;
  uint32_t savedSetting = g_bTrayIcon;
  TestMainWindow dlg;
};

TEST_F(MainWindowWithTray, IconIsAddedThenHiddenWhileTheWindowShows) {
  ASSERT_EQ((std::vector<DWORD>{NIM_ADD, NIM_DELETE}), g_shellCalls);
  EXPECT_TRUE(dlg.Tray().Enabled());
  EXPECT_TRUE(dlg.Tray().Hidden());
  EXPECT_EQ(16u, dlg.Tray().AnimationIconCount());
  EXPECT_STREQ("Varnokel", dlg.Tray().NotifyData().szTip);
  EXPECT_EQ(UINT(IDR_TRAYMENU), dlg.Tray().NotifyData().uID);
  EXPECT_EQ(UINT(WM_TRAY_NOTIFY), dlg.Tray().NotifyData().uCallbackMessage);
}

TEST_F(MainWindowWithTray, MinimiseShowsTheAnimatedIconOnlyWithTheSetting) {
  g_bTrayIcon = 1;
  dlg.Send(WM_SYSCOMMAND, SC_MINIMIZE);
  EXPECT_FALSE(IsWindowVisible(dlg.m_hWnd));
  EXPECT_FALSE(dlg.Tray().Hidden());
  EXPECT_TRUE(dlg.Tray().Animating());

  dlg.Menu(ID_TRAY_OPEN);
  EXPECT_TRUE(IsWindowVisible(dlg.m_hWnd));
  EXPECT_TRUE(dlg.Tray().Hidden());
  // Shown again, the window that was minimised stays minimised.
  EXPECT_TRUE(IsIconic(dlg.m_hWnd));

  g_bTrayIcon = 0;
  ShowWindow(dlg.m_hWnd, SW_RESTORE);
  const size_t calls = g_shellCalls.size();
  dlg.Send(WM_SYSCOMMAND, SC_CLOSE);
  EXPECT_FALSE(IsWindowVisible(dlg.m_hWnd));
  EXPECT_TRUE(dlg.Tray().Hidden());
  EXPECT_EQ(calls, g_shellCalls.size());
}

TEST_F(MainWindowWithTray, WithoutANotificationAreaTheWindowStaysOnTheTaskbarUntilTheIconIsThere) {
  g_bTrayIcon = 1;
  g_shellAccepts = FALSE;  // Explorer not running (yet)
  for (WPARAM command : {SC_MINIMIZE, SC_CLOSE}) {
    dlg.Send(WM_SYSCOMMAND, command);
    EXPECT_TRUE(IsWindowVisible(dlg.m_hWnd)) << command;
    EXPECT_TRUE(IsIconic(dlg.m_hWnd)) << command;
    EXPECT_TRUE(dlg.Tray().Retrying()) << command;
  }
  // The icon appears as soon as the shell takes it.
  g_shellAccepts = TRUE;
  dlg.Tray().Send(WM_TIMER, CSystemTray::kRetryTimerId);
  EXPECT_TRUE(dlg.Tray().Present());
  // Restored from the taskbar, the window needs no icon any more.
  ShowWindow(dlg.m_hWnd, SW_RESTORE);
  EXPECT_TRUE(dlg.Tray().Hidden());
  EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), g_shellCalls.back());
  // With the icon there, closing hides the window into it.
  dlg.Send(WM_SYSCOMMAND, SC_CLOSE);
  EXPECT_FALSE(IsWindowVisible(dlg.m_hWnd));
  EXPECT_TRUE(dlg.Tray().Present());
}

TEST_F(MainWindowWithTray, ExitNeedsThePasswordAndRemovesTheIcon) {
  g_bTrayIcon = 1;
  dlg.Menu(ID_FILE_CLOSE);
  ASSERT_FALSE(dlg.Tray().Hidden());
  dlg.password = false;
  dlg.Menu(ID_TRAY_EXIT);
  EXPECT_FALSE(dlg.Tray().Hidden());
  dlg.Menu(ID_TRAY_HIDE);
  EXPECT_TRUE(dlg.Tray().Hidden());
  EXPECT_FALSE(IsWindowVisible(dlg.m_hWnd));  // Hide leaves the window as it was
  dlg.Menu(ID_FILE_CLOSE);
  dlg.password = true;
  dlg.Menu(ID_TRAY_EXIT);
  EXPECT_TRUE(dlg.Tray().Hidden());
}

TEST(OpenFileList, SingleAndMultipleSelections) {
  EXPECT_EQ(std::vector<std::string>{"C:\\dir\\one.exe"}, SplitPickedFiles("C:\\dir\\one.exe\0\0"));
  EXPECT_EQ((std::vector<std::string>{"C:\\dir\\a.txt", "C:\\dir\\b c.txt"}),
            SplitPickedFiles("C:\\dir\0a.txt\0b c.txt\0\0"));
  // A selection in a drive's root: the directory already ends in a backslash.
  EXPECT_EQ((std::vector<std::string>{"C:\\a", "C:\\b"}), SplitPickedFiles("C:\\\0a\0b\0\0"));
  EXPECT_TRUE(SplitPickedFiles("\0\0").empty());
}

// ---- Owner-drawn menus ------------------------------------------------------

int CountNear(HDC dc, const RECT& rc, COLORREF c, int tolerance) {
  int n = 0;
  for (int y = rc.top; y < rc.bottom; ++y)
    for (int x = rc.left; x < rc.right; ++x) {
      COLORREF p = GetPixel(dc, x, y);
      if (abs(GetRValue(p) - GetRValue(c)) <= tolerance && abs(GetGValue(p) - GetGValue(c)) <= tolerance &&
          abs(GetBValue(p) - GetBValue(c)) <= tolerance)
        ++n;
    }
  return n;
}

TEST_F(MainWindow, MenusStayStandardWhileTheSkinIsOff) {
  HMENU help = GetSubMenu(GetMenu(dlg.m_hWnd), 2);
  dlg.Send(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(help), MAKELPARAM(2, FALSE));
  EXPECT_FALSE(dlg.Skin().IsSkinned(help, 0));
}

TEST_F(MainWindow, SkinnedMenuItemsAreMeasuredDrawnAndKeepTheirMnemonics) {
  CSkinMenu::Enable(CSkinMenu::kStyleGradient | CSkinMenu::kStyleLeftColumn, 10);
  HMENU help = GetSubMenu(GetMenu(dlg.m_hWnd), 2);
  ASSERT_TRUE(help);
  dlg.Send(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(help), MAKELPARAM(2, FALSE));
  ASSERT_EQ(4, GetMenuItemCount(help));
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(dlg.Skin().IsSkinned(help, i)) << i;
  // Opening it again does not wrap the items twice.
  dlg.Send(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(help), MAKELPARAM(2, FALSE));
  MENUINFO mi{sizeof mi, MIM_BACKGROUND};
  GetMenuInfo(help, &mi);
  EXPECT_TRUE(mi.hbrBack != nullptr);

  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_DATA | MIIM_ID;
  ASSERT_TRUE(GetMenuItemInfoA(help, 1, TRUE, &info));
  MEASUREITEMSTRUCT mis{ODT_MENU, 0, info.wID, 0, 0, info.dwItemData};
  ASSERT_EQ(TRUE, dlg.Send(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis)));
  EXPECT_GT(mis.itemHeight, 18u);
  EXPECT_GT(mis.itemWidth, UINT(CSkinMenu::kColumnWidth + 20));

  // Draw "About" twice into a picture: normal, then highlighted.
  const int w = static_cast<int>(mis.itemWidth) + 10, h = static_cast<int>(mis.itemHeight);
  HDC screen = GetDC(nullptr);
  MemoryDC mem(screen, w, 2 * h);
  ReleaseDC(nullptr, screen);
  DRAWITEMSTRUCT dis{};
  dis.CtlType = ODT_MENU;
  dis.itemID = info.wID;
  dis.itemAction = ODA_DRAWENTIRE;
  dis.hwndItem = reinterpret_cast<HWND>(help);
  dis.hDC = mem.Get();
  dis.rcItem = RECT{0, 0, w, h};
  dis.itemData = info.dwItemData;
  ASSERT_EQ(TRUE, dlg.Send(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis)));
  dis.rcItem = RECT{0, h, w, 2 * h};
  dis.itemState = ODS_SELECTED;
  ASSERT_EQ(TRUE, dlg.Send(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis)));

  // The left column starts in the skin's shadow colour; the item background
  // is a light blue between the menu colour and white; the normal text is
  // the skin's text colour and the highlighted text white.
  EXPECT_EQ(RGB(70, 100, 130), GetPixel(mem.Get(), 0, h / 2));
  COLORREF back = GetPixel(mem.Get(), w - 3, h / 2);
  EXPECT_GE(GetRValue(back), 200);
  EXPECT_GE(GetBValue(back), 250);
  EXPECT_LT(GetRValue(back), 255);
  const RECT textArea{CSkinMenu::kColumnWidth, 0, w, h};
  EXPECT_GT(CountNear(mem.Get(), textArea, RGB(0, 70, 100), 30), 5);
  const RECT hiText{CSkinMenu::kColumnWidth, h, w, 2 * h};
  EXPECT_GT(CountNear(mem.Get(), hiText, RGB(255, 255, 255), 10), 5);
  EXPECT_EQ(0, CountNear(mem.Get(), hiText, RGB(0, 70, 100), 10));

  // Alt-letter inside the open menu picks the item with that mnemonic.
  EXPECT_EQ(MAKELRESULT(1, MNC_EXECUTE),
            dlg.Send(WM_MENUCHAR, MAKEWPARAM('a', MF_POPUP), reinterpret_cast<LPARAM>(help)));
  EXPECT_EQ(MAKELRESULT(3, MNC_EXECUTE),
            dlg.Send(WM_MENUCHAR, MAKEWPARAM('G', MF_POPUP), reinterpret_cast<LPARAM>(help)));
  EXPECT_EQ(0, HIWORD(dlg.Send(WM_MENUCHAR, MAKEWPARAM('z', MF_POPUP), reinterpret_cast<LPARAM>(help))));
}

}  // namespace
