// The tray icon against a recorded shell: the exact notification-area calls,
// the animation (with a controllable clock) and the mouse notifications.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Messages.h"
#include "common/TestSupport.h"
#include "framework/Module.h"
#include "resource.h"
#include "ui/SystemTray.h"

namespace {

struct ShellCall {
  DWORD message;
  NOTIFYICONDATAA data;
};

std::vector<ShellCall> g_calls;
BOOL g_shellResult = TRUE;
ULONGLONG g_now = 0;
struct MenuCall {
  HMENU menu;
  HWND owner;
  UINT defaultItem;
};
std::vector<MenuCall> g_menus;

BOOL WINAPI RecordShell(DWORD message, NOTIFYICONDATAA* data) {
  ShellCall c{message, {}};
  memcpy(&c.data, data, data->cbSize <= sizeof c.data ? data->cbSize : sizeof c.data);
  g_calls.push_back(c);
  return g_shellResult;
}
BOOL WINAPI RecordMenu(HMENU menu, UINT, int, int, int, HWND owner, const RECT*) {
  g_menus.push_back({menu, owner, GetMenuDefaultItem(menu, FALSE, 0)});
  return TRUE;
}
ULONGLONG WINAPI FakeTicks() { return g_now; }

// A window that records the commands it receives.
class CommandTarget : public CWindow {
 public:
  CommandTarget() {
    Attach(CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr));
  }
  ~CommandTarget() override {
    HWND h = m_hWnd;
    Detach();
    DestroyWindow(h);
  }
  std::vector<WPARAM> commands;
  std::vector<LPARAM> commandSources;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_COMMAND) {
      commands.push_back(wp);
      commandSources.push_back(lp);
      return 0;
    }
    return Default();
  }
};

class SystemTrayTest : public testing::Test {
 protected:
  void SetUp() override {
    g_calls.clear();
    g_menus.clear();
    g_shellResult = TRUE;
    g_now = 100000;
    CSystemTray::s_shellNotify = &RecordShell;
    CSystemTray::s_trackMenu = &RecordMenu;
    CSystemTray::s_tickCount = &FakeTicks;
    mainIcon = LoadIconA(AppInstance(), MAKEINTRESOURCEA(IDI_MAIN));
  }
  void TearDown() override {
    CSystemTray::s_shellNotify = &Shell_NotifyIconA;
    CSystemTray::s_trackMenu = &TrackPopupMenu;
    CSystemTray::s_tickCount = &GetTickCount64;
  }
  bool Create(CSystemTray& tray, const char* tip = "Varnokel", HWND parent = nullptr) {
    return tray.CreateTrayIcon(parent, WM_TRAY_NOTIFY, tip, mainIcon, IDR_TRAYMENU);
  }
  HICON mainIcon = nullptr;
};

TEST_F(SystemTrayTest, CreateAddsOneIconWithTheFirstVersionRecord) {
  CSystemTray tray;
  EXPECT_FALSE(tray.Enabled());
  ASSERT_TRUE(Create(tray));
  ASSERT_NE(tray.m_hWnd, nullptr);
  EXPECT_FALSE(IsWindowVisible(tray.m_hWnd));
  RECT rc;
  GetWindowRect(tray.m_hWnd, &rc);
  EXPECT_EQ(rc.right - rc.left, 10);
  EXPECT_EQ(rc.bottom - rc.top, 10);
  EXPECT_EQ(GetWindowLongA(tray.m_hWnd, GWL_STYLE) & WS_POPUP, WS_POPUP);

  ASSERT_EQ(g_calls.size(), 1u);
  const auto& c = g_calls[0];
  EXPECT_EQ(c.message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(c.data.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
  EXPECT_EQ(c.data.hWnd,
            tray.m_hWnd);  // no parent: notifications come to the tray
  EXPECT_EQ(c.data.uID, static_cast<UINT>(IDR_TRAYMENU));
  EXPECT_EQ(c.data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  EXPECT_EQ(c.data.uCallbackMessage, WM_TRAY_NOTIFY);
  EXPECT_EQ(c.data.hIcon, mainIcon);
  EXPECT_STREQ(c.data.szTip, "Varnokel");
  EXPECT_TRUE(tray.Enabled());
  EXPECT_FALSE(tray.Hidden());
  EXPECT_EQ(tray.CurrentIcon(), mainIcon);
  ASSERT_NE(tray.Menu(), nullptr);
  EXPECT_EQ(GetMenuItemID(GetSubMenu(tray.Menu(), 0), 0), static_cast<UINT>(ID_TRAY_OPEN));
}

TEST_F(SystemTrayTest, ParentWindowOwnsTheIconAndLongTooltipIsCut) {
  CommandTarget parent;
  CSystemTray tray;
  std::string tip(100, 'x');
  for (size_t i = 0; i < tip.size(); ++i) tip[i] = static_cast<char>('a' + i % 26);
  ASSERT_TRUE(Create(tray, tip.c_str(), parent.m_hWnd));
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].data.hWnd, parent.m_hWnd);
  EXPECT_EQ(std::string(g_calls[0].data.szTip), tip.substr(0, 63));
}

TEST_F(SystemTrayTest, AnIconTheShellRefusesIsAddedOnceTheShellTakesIt) {
  // No notification area yet (log-on before Explorer): the add fails.
  g_shellResult = FALSE;
  CSystemTray tray;
  EXPECT_FALSE(Create(tray));
  EXPECT_TRUE(tray.Enabled());
  EXPECT_FALSE(tray.Present());
  EXPECT_TRUE(tray.Retrying());
  g_calls.clear();
  // The animation changes no icon that is not there.
  EXPECT_FALSE(tray.ChangeIcon(mainIcon));
  EXPECT_TRUE(g_calls.empty());
  tray.Send(WM_TIMER, CSystemTray::kRetryTimerId);
  ASSERT_EQ(1u, g_calls.size());
  EXPECT_FALSE(tray.Present());

  // The shell takes it on the next try, and the tries stop.
  g_shellResult = TRUE;
  tray.Send(WM_TIMER, CSystemTray::kRetryTimerId);
  ASSERT_EQ(2u, g_calls.size());
  EXPECT_EQ(static_cast<DWORD>(NIM_ADD), g_calls[1].message);
  EXPECT_EQ(mainIcon, g_calls[1].data.hIcon);
  EXPECT_TRUE(tray.Present());
  EXPECT_FALSE(tray.Retrying());
  tray.Send(WM_TIMER, CSystemTray::kRetryTimerId);
  EXPECT_EQ(2u, g_calls.size());

  // A refused show is tried again as well; hiding ends the tries, and a
  // hidden icon that was never added needs no shell call.
  EXPECT_TRUE(tray.HideTrayIcon());
  g_shellResult = FALSE;
  EXPECT_FALSE(tray.ShowTrayIcon());
  EXPECT_TRUE(tray.Retrying());
  g_calls.clear();
  EXPECT_TRUE(tray.HideTrayIcon());
  EXPECT_FALSE(tray.Retrying());
  EXPECT_TRUE(g_calls.empty());
}

TEST_F(SystemTrayTest, HideShowAndDeleteCallTheShellOnlyWhenNeeded) {
  CSystemTray tray;
  ASSERT_TRUE(Create(tray));
  g_calls.clear();

  // Showing an icon that is not hidden adds no second icon.
  EXPECT_FALSE(tray.ShowTrayIcon());
  EXPECT_TRUE(g_calls.empty());

  EXPECT_TRUE(tray.HideTrayIcon());
  EXPECT_TRUE(tray.HideTrayIcon());
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(g_calls[0].data.uFlags, static_cast<UINT>(NIF_ICON));
  EXPECT_TRUE(tray.Hidden());
  EXPECT_TRUE(tray.Enabled());

  EXPECT_TRUE(tray.ShowTrayIcon());
  ASSERT_EQ(g_calls.size(), 2u);
  EXPECT_EQ(g_calls[1].message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(g_calls[1].data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  EXPECT_FALSE(tray.Hidden());

  // The shell's answer is passed on.
  g_shellResult = FALSE;
  EXPECT_FALSE(tray.HideTrayIcon());
  g_shellResult = TRUE;
  EXPECT_TRUE(tray.ShowTrayIcon());

  tray.DeleteTrayIcon();
  ASSERT_EQ(g_calls.size(), 5u);
  EXPECT_EQ(g_calls[4].message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(g_calls[4].data.uFlags, 0u);
  EXPECT_FALSE(tray.Enabled());
  tray.DeleteTrayIcon();
  EXPECT_EQ(g_calls.size(), 5u);
}

TEST_F(SystemTrayTest, DestructionRemovesTheIconAndTheWindow) {
  HWND own;
  {
    CSystemTray tray;
    ASSERT_TRUE(Create(tray));
    own = tray.m_hWnd;
    g_calls.clear();
  }
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_FALSE(IsWindow(own));
}

TEST_F(SystemTrayTest, AnimationIconsLoadInOrderAndBadRangeKeepsTheList) {
  CSystemTray tray;
  ASSERT_TRUE(tray.LoadAnimationIcons(IDI_ANIM_FIRST, IDI_ANIM_FIRST + 15));
  ASSERT_EQ(tray.AnimationIconCount(), 16u);
  for (size_t i = 0; i < 16; ++i) EXPECT_NE(tray.AnimationIcon(i), nullptr) << i;
  EXPECT_NE(tray.AnimationIcon(0), tray.AnimationIcon(1));
  HICON first = tray.AnimationIcon(0);
  EXPECT_FALSE(tray.LoadAnimationIcons(IDI_ANIM_FIRST + 3, IDI_ANIM_FIRST));
  EXPECT_EQ(tray.AnimationIconCount(), 16u);
  EXPECT_EQ(tray.AnimationIcon(0), first);
  EXPECT_TRUE(tray.LoadAnimationIcons(IDI_ANIM_FIRST + 1, IDI_ANIM_FIRST + 2));
  EXPECT_EQ(tray.AnimationIconCount(), 2u);
}

TEST_F(SystemTrayTest, AnimationStepsWrapsAndRestoresTheSavedIcon) {
  CSystemTray tray;
  ASSERT_TRUE(Create(tray));
  EXPECT_FALSE(tray.NextAnimationFrame());  // no icons yet
  ASSERT_TRUE(tray.LoadAnimationIcons(IDI_ANIM_FIRST, IDI_ANIM_FIRST + 2));
  g_calls.clear();
  ASSERT_TRUE(tray.StartAnimation(40, 2));
  EXPECT_TRUE(tray.Animating());

  // The first step shows the second icon; the fourth wraps to the first.
  for (size_t expect : {1u, 2u, 0u}) {
    ASSERT_TRUE(tray.NextAnimationFrame());
    EXPECT_EQ(tray.CurrentAnimationIcon(), expect);
    EXPECT_EQ(g_calls.back().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(g_calls.back().data.uFlags, static_cast<UINT>(NIF_ICON));
    EXPECT_EQ(g_calls.back().data.hIcon, tray.AnimationIcon(expect));
  }

  EXPECT_TRUE(tray.EndAnimation());
  EXPECT_FALSE(tray.Animating());
  EXPECT_EQ(g_calls.back().data.hIcon, mainIcon);
  EXPECT_EQ(tray.CurrentIcon(), mainIcon);
  size_t n = g_calls.size();
  EXPECT_FALSE(tray.EndAnimation());  // nothing runs, nothing to restore
  EXPECT_EQ(g_calls.size(), n);
}

TEST_F(SystemTrayTest, TimerEndsAfterThePeriodInWholeSeconds) {
  CSystemTray tray;
  ASSERT_TRUE(Create(tray));
  ASSERT_TRUE(tray.LoadAnimationIcons(IDI_ANIM_FIRST, IDI_ANIM_FIRST + 15));
  ASSERT_TRUE(tray.StartAnimation(40, 2));
  g_now += 2999;  // two whole seconds: not above the period yet
  tray.Send(WM_TIMER, CSystemTray::kAnimationTimerId);
  EXPECT_TRUE(tray.Animating());
  EXPECT_EQ(tray.CurrentAnimationIcon(), 1u);
  g_now += 1;  // three whole seconds
  tray.Send(WM_TIMER, CSystemTray::kAnimationTimerId);
  EXPECT_FALSE(tray.Animating());
  EXPECT_EQ(tray.CurrentIcon(), mainIcon);
}

TEST_F(SystemTrayTest, PeriodZeroRunsUntilEndAnimation) {
  CSystemTray tray;
  ASSERT_TRUE(Create(tray));
  ASSERT_TRUE(tray.LoadAnimationIcons(IDI_ANIM_FIRST, IDI_ANIM_FIRST + 15));
  ASSERT_TRUE(tray.StartAnimation(40, 0));
  for (int i = 0; i < 5; ++i) {
    g_now += 3600 * 1000;
    tray.Send(WM_TIMER, CSystemTray::kAnimationTimerId);
    EXPECT_TRUE(tray.Animating());
  }
  EXPECT_EQ(tray.CurrentAnimationIcon(), 5u);
  EXPECT_NE(tray.CurrentIcon(), mainIcon);
  tray.EndAnimation();
  EXPECT_EQ(tray.CurrentIcon(), mainIcon);
}

TEST_F(SystemTrayTest, RestartingAnimationRestoresTheSavedIconFirst) {
  CSystemTray tray;
  ASSERT_TRUE(Create(tray));
  ASSERT_TRUE(tray.LoadAnimationIcons(IDI_ANIM_FIRST, IDI_ANIM_FIRST + 15));
  ASSERT_TRUE(tray.StartAnimation(40, 0));
  tray.NextAnimationFrame();
  tray.NextAnimationFrame();
  ASSERT_EQ(tray.CurrentIcon(), tray.AnimationIcon(2));
  g_calls.clear();
  ASSERT_TRUE(tray.StartAnimation(40, 0));
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].data.hIcon, mainIcon);
  EXPECT_EQ(tray.CurrentAnimationIcon(), 0u);
  tray.NextAnimationFrame();
  tray.EndAnimation();
  // The second animation saved the original icon, not a frame.
  EXPECT_EQ(tray.CurrentIcon(), mainIcon);
}

TEST_F(SystemTrayTest, RealTimerDrivesFramesThroughTheOwnWindow) {
  CSystemTray::s_tickCount = &GetTickCount64;
  CSystemTray tray;
  ASSERT_TRUE(Create(tray));
  ASSERT_TRUE(tray.LoadAnimationIcons(IDI_ANIM_FIRST, IDI_ANIM_FIRST + 15));
  g_calls.clear();
  ASSERT_TRUE(tray.StartAnimation(10, 0));
  EXPECT_TRUE(testsupport::PumpUntil([] { return g_calls.size() >= 3; }, 30000));
  tray.EndAnimation();
}

TEST_F(SystemTrayTest, NotificationsForAnotherIconAreIgnored) {
  CommandTarget target;
  CSystemTray tray;
  ASSERT_TRUE(Create(tray));
  tray.SetTargetWindow(target.m_hWnd);
  EXPECT_EQ(tray.Send(WM_TRAY_NOTIFY, IDR_TRAYMENU + 1, WM_LBUTTONDBLCLK), 0);
  EXPECT_EQ(tray.Send(WM_TRAY_NOTIFY, IDR_TRAYMENU + 1, WM_RBUTTONUP), 0);
  EXPECT_TRUE(target.commands.empty());
  EXPECT_TRUE(g_menus.empty());
  // Other mouse messages for our icon are handled without effect.
  EXPECT_EQ(tray.Send(WM_TRAY_NOTIFY, IDR_TRAYMENU, WM_MOUSEMOVE), 1);
  EXPECT_TRUE(target.commands.empty());
}

TEST_F(SystemTrayTest, DoubleClickSendsTheDefaultItemsCommand) {
  CommandTarget target;
  CSystemTray tray;
  ASSERT_TRUE(Create(tray));
  tray.SetTargetWindow(target.m_hWnd);
  EXPECT_TRUE(tray.SetDefaultMenuItem(0, true));  // unchanged: true
  EXPECT_EQ(tray.Send(WM_TRAY_NOTIFY, IDR_TRAYMENU, WM_LBUTTONDBLCLK), 1);
  ASSERT_EQ(target.commands.size(), 1u);
  EXPECT_EQ(target.commands[0], MAKEWPARAM(ID_TRAY_OPEN, 0));
  EXPECT_EQ(target.commandSources[0], 0);

  ASSERT_TRUE(tray.SetDefaultMenuItem(ID_TRAY_EXIT, false));
  tray.Send(WM_TRAY_NOTIFY, IDR_TRAYMENU, WM_LBUTTONDBLCLK);
  ASSERT_EQ(target.commands.size(), 2u);
  EXPECT_EQ(target.commands[1], MAKEWPARAM(ID_TRAY_EXIT, 0));

  ASSERT_TRUE(tray.SetDefaultMenuItem(1, true));  // "&Hide" by position
  tray.Send(WM_TRAY_NOTIFY, IDR_TRAYMENU, WM_LBUTTONDBLCLK);
  ASSERT_EQ(target.commands.size(), 3u);
  EXPECT_EQ(target.commands[2], MAKEWPARAM(ID_TRAY_HIDE, 0));
}

TEST_F(SystemTrayTest, RightClickShowsTheTrayMenuWithItsDefaultForTheTarget) {
  CommandTarget target;
  CSystemTray tray;
  ASSERT_TRUE(Create(tray));
  tray.SetTargetWindow(target.m_hWnd);
  ASSERT_TRUE(tray.SetDefaultMenuItem(ID_TRAY_HIDE, false));
  EXPECT_EQ(tray.Send(WM_TRAY_NOTIFY, IDR_TRAYMENU, WM_RBUTTONUP), 1);
  ASSERT_EQ(g_menus.size(), 1u);
  EXPECT_EQ(g_menus[0].menu, GetSubMenu(tray.Menu(), 0));
  EXPECT_EQ(g_menus[0].owner, target.m_hWnd);
  EXPECT_EQ(g_menus[0].defaultItem, static_cast<UINT>(ID_TRAY_HIDE));
  EXPECT_TRUE(target.commands.empty());
}

TEST_F(SystemTrayTest, DefaultItemWithoutMenuFails) {
  CSystemTray tray;
  // Identifier without a menu resource: the icon is added, the result is false.
  EXPECT_FALSE(tray.CreateTrayIcon(nullptr, WM_TRAY_NOTIFY, "x", mainIcon, 4242));
  EXPECT_TRUE(tray.Enabled());
  EXPECT_FALSE(tray.SetDefaultMenuItem(2, true));
  EXPECT_EQ(tray.Send(WM_TRAY_NOTIFY, 4242, WM_RBUTTONUP), 0);
}

}  // namespace

namespace {

TEST_F(SystemTrayTest, TaskbarRestartAddsTheVisibleIconAgain) {
  CSystemTray tray;
  ASSERT_TRUE(Create(tray));
  UINT restarted = RegisterWindowMessageA("TaskbarCreated");
  g_calls.clear();
  tray.Send(restarted);
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(g_calls[0].data.hIcon, mainIcon);
  // A hidden icon stays off the new taskbar.
  ASSERT_TRUE(tray.HideTrayIcon());
  g_calls.clear();
  tray.Send(restarted);
  EXPECT_TRUE(g_calls.empty());
}

}  // namespace

TEST_F(SystemTrayTest, BalloonsGoWithTheSecondVersionRecordCutToTheirFieldsOnlyWhileTheIconIsThere) {
  CSystemTray tray;
  ASSERT_TRUE(Create(tray));
  ASSERT_TRUE(tray.ShowBalloon(std::string(70, 't'), std::string(300, 'x'), NIIF_WARNING, 10000));
  const auto& c = g_calls.back();
  EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), c.message);
  EXPECT_EQ(static_cast<UINT>(NIF_INFO), c.data.uFlags);
  EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAA_V2_SIZE), c.data.cbSize);
  EXPECT_EQ(std::string(60, 't') + "...", c.data.szInfoTitle);
  EXPECT_EQ(std::string(252, 'x') + "...", c.data.szInfo);
  EXPECT_EQ(static_cast<DWORD>(NIIF_WARNING), c.data.dwInfoFlags);
  // Other calls keep the first version's record.
  tray.HideTrayIcon();
  EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE), g_calls.back().data.cbSize);
  const size_t calls = g_calls.size();
  EXPECT_FALSE(tray.ShowBalloon("a", "b", NIIF_INFO, 1000));
  EXPECT_EQ(calls, g_calls.size()) << "no balloon on an icon that is not there";
}
