// Start-up of the real program in separate processes: single instance and
// hand-over, the password at start, the sibling check, the stored path.
#include <gtest/gtest.h>

#include "app/Messages.h"
#include "app/QX5App.h"
#include "common/DialogDriver.h"
#include "common/TestSupport.h"
#include "resource.h"
#include "settings/Settings.h"

using namespace testsupport;

namespace {

struct FindCtx {
  DWORD pid;
  const char* title;
  HWND found;
};

HWND FindProcessWindow(DWORD pid, const char* title) {
  FindCtx ctx{pid, title, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM lp) -> BOOL {
        auto* c = reinterpret_cast<FindCtx*>(lp);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        char text[256] = {};
        GetWindowTextA(hwnd, text, sizeof text);
        if (owner == c->pid && strcmp(text, c->title) == 0) {
          c->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.found;
}

// Waits until the window is shown: a dialog becomes visible only after its
// controls exist and its initialisation has run.
HWND WaitForWindow(DWORD pid, const char* title, DWORD timeoutMs = 20000) {
  HWND hwnd = nullptr;
  PumpUntil([&] { return (hwnd = FindProcessWindow(pid, title)) != nullptr && IsWindowVisible(hwnd); }, timeoutMs);
  return hwnd;
}

std::string ReadExePath() {
  HKEY key;
  char buf[MAX_PATH] = {};
  DWORD size = sizeof buf;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
  RegQueryValueExA(key, "regStrExePath", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(key);
  return buf;
}

struct StartupFixture : testing::Test {
  void SetUp() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey); }
  void TearDown() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey); }

  // Ends a running instance the way the user does: the tray menu's Exit,
  // which asks for the password when one is set.
  static void Exit(Process& p, HWND mainWindow, const char* password = nullptr) {
    PostMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(ID_TRAY_EXIT, 0), 0);
    if (password) {
      HWND dlg = WaitForWindow(p.id, "Password");
      ASSERT_NE(nullptr, dlg);
      DialogDriver::SetItemText(dlg, IDC_PWD_NEW, password);
      DialogDriver::Click(dlg, IDOK);
    }
    EXPECT_EQ(0u, p.Wait(30000));
  }
};

}  // namespace

TEST_F(StartupFixture, ASecondStartHandsOverToTheFirstAndEnds) {
  Process first;
  ASSERT_TRUE(StartHelper(first, "Varnokel.exe", ""));
  HWND main = WaitForWindow(first.id, "Varnokel");
  ASSERT_NE(nullptr, main);
  EXPECT_EQ(ExeDir() + "\\Varnokel.exe", ReadExePath());

  ShowWindow(main, SW_HIDE);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(main); }, 5000));
  // A dialog with the same class and title, as the first instance's message
  // boxes have, in front of the hidden main window.
  HWND lookalike = CreateWindowExA(0, WC_DIALOG, "Varnokel", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(nullptr, lookalike);

  Process second;
  ASSERT_TRUE(StartHelper(second, "Varnokel.exe", ""));
  // Messages run meanwhile, so that whatever the second start sends here is
  // answered.
  EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(second.process, 0) == WAIT_OBJECT_0; }, 30000));
  EXPECT_EQ(0u, second.Wait(0));
  DestroyWindow(lookalike);
  // The first instance came back and is the only one.
  EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(main) != FALSE; }, 5000));
  EXPECT_EQ(main, GetForegroundWindow());
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(first.process, 0));
  Exit(first, main);
}

TEST_F(StartupFixture, AWrongPasswordEndsTheProgramWithoutAWindow) {
  WritePassword("Abc1");
  Process p;
  ASSERT_TRUE(StartHelper(p, "Varnokel.exe", ""));
  HWND dlg = WaitForWindow(p.id, "Password");
  ASSERT_NE(nullptr, dlg);
  DialogDriver::SetItemText(dlg, IDC_PWD_NEW, "abc1");  // letter case matters
  DialogDriver::Click(dlg, IDOK);
  HWND box = WaitForWindow(p.id, "Varnokel");
  ASSERT_NE(nullptr, box);
  EXPECT_EQ("Invalid New Password", DialogDriver::MessageBoxText(box));
  DialogDriver::Click(box, IDOK);
  EXPECT_EQ(0u, p.Wait(20000));
}

TEST_F(StartupFixture, ACancelledPasswordEndsSilentlyAndTheRightOneStarts) {
  WritePassword("Abc1");
  {
    Process p;
    ASSERT_TRUE(StartHelper(p, "Varnokel.exe", ""));
    HWND dlg = WaitForWindow(p.id, "Password");
    ASSERT_NE(nullptr, dlg);
    DialogDriver::Click(dlg, IDCANCEL);
    EXPECT_EQ(0u, p.Wait(20000));
  }
  Process p;
  ASSERT_TRUE(StartHelper(p, "Varnokel.exe", ""));
  HWND dlg = WaitForWindow(p.id, "Password");
  ASSERT_NE(nullptr, dlg);
  DialogDriver::SetItemText(dlg, IDC_PWD_NEW, "Abc1");
  DialogDriver::Click(dlg, IDOK);
  HWND main = WaitForWindow(p.id, "Varnokel");
  ASSERT_NE(nullptr, main);
  char cls[64] = {};
  GetClassNameA(main, cls, sizeof cls);
  EXPECT_STREQ("#32770", cls);
  EXPECT_NE(nullptr, GetMenu(main));  // the main window, not a message box
  // The plain value of an older version was replaced once it matched; the
  // tray's Exit checks against its new form.
  EXPECT_EQ(std::string::npos, ReadPassword().find("Abc1")) << ReadPassword();
  Exit(p, main, "Abc1");
}

TEST_F(StartupFixture, ARunningSiblingProgramIsReportedBeforeThePassword) {
  WritePassword("Abc1");
  HANDLE sibling = CreateMutexA(nullptr, FALSE, CQX5App::kSiblingMutexes[1]);
  Process p;
  ASSERT_TRUE(StartHelper(p, "Varnokel.exe", ""));
  // The message box has the system's default caption; find it by its text.
  HWND box = nullptr;
  ASSERT_TRUE(PumpUntil(
      [&] {
        for (const char* caption : {"Error", ""}) {
          HWND w = FindProcessWindow(p.id, caption);
          if (w && DialogDriver::MessageBoxText(w).find("can't be run at the same time") != std::string::npos) {
            box = w;
            return true;
          }
        }
        return false;
      },
      20000));
  EXPECT_EQ(nullptr, FindProcessWindow(p.id, "Password"));
  EXPECT_EQ("The two software can't be run at the same time!\nPlease Exit another Quorvex Product!",
            DialogDriver::MessageBoxText(box));
  DialogDriver::Click(box, IDOK);
  EXPECT_EQ(0u, p.Wait(20000));
  CloseHandle(sibling);
}
