// The elevated program's windows against programs of lower integrity. Wine
// filters nothing, so the filter that each window sets up is read through
// the seam of framework/MessageFilter.h; and what another program can send
// anyway (WM_COPYDATA) must change nothing. The real main window with the
// real Files and Options pages, on a rule file of the test's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "common/FrontWindow.h"
#include "common/TestSupport.h"
#include "framework/MessageFilter.h"
#include "resource.h"
#include "rules/DlgFilePage.h"
#include "settings/DlgPageOptions.h"

using namespace testsupport;

namespace {

using FilterCall = std::tuple<HWND, UINT, DWORD>;
std::vector<FilterCall> g_filterCalls;

BOOL WINAPI RecordFilter(HWND window, UINT message, DWORD action, void*) {
  g_filterCalls.emplace_back(window, message, action);
  return TRUE;
}

struct ElevatedWindow : FrontWindow {
  ElevatedWindow() { realOptions = true; }
};

class ElevatedWindows : public testing::Test {
 protected:
  void SetUp() override {
    g_filterCalls.clear();
    SetChangeMessageFilter(&RecordFilter);
    const std::string dir = MakeTempDir("uipi");
    dlg.rulePath = dir + "\\QX5Rule.rle";
    dlg.mapping = UniqueMapping("uipi");
    ASSERT_TRUE(dlg.Create(nullptr));
    ShowWindow(dlg.m_hWnd, SW_SHOW);
  }
  void TearDown() override {
    if (dlg.m_hWnd) DestroyWindow(dlg.m_hWnd);
    SetChangeMessageFilter(nullptr);
  }
  ElevatedWindow dlg;
};

TEST_F(ElevatedWindows, LetThroughExactlyWhatDropsTheTaskbarAndTheClipboardChainNeed) {
  constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW
  const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  std::vector<FilterCall> expected;
  for (HWND dropTarget : {dlg.m_hWnd, dlg.Page(0)})
    for (UINT message : {static_cast<UINT>(WM_DROPFILES), static_cast<UINT>(WM_COPYDATA), 0x0049u})
      expected.emplace_back(dropTarget, message, kAllow);
  expected.emplace_back(dlg.Tray().m_hWnd, taskbarCreated, kAllow);
  expected.emplace_back(dlg.Page(2), static_cast<UINT>(WM_DRAWCLIPBOARD), kAllow);
  expected.emplace_back(dlg.Page(2), static_cast<UINT>(WM_CHANGECBCHAIN), kAllow);
  std::vector<FilterCall> seen = g_filterCalls;
  std::sort(expected.begin(), expected.end());
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(expected, seen);
}

TEST_F(ElevatedWindows, ACopyDataOfAnotherProgramChangesNothing) {
  ASSERT_NE(nullptr, dlg.files);
  const bool trayHidden = dlg.Tray().Hidden();
  for (HWND target : {dlg.m_hWnd, dlg.Page(0), dlg.Page(2), dlg.Tray().m_hWnd}) {
    // Numbers that this program's own messages use, with a path as data.
    for (const char* number : {"0", "4097", "4099"}) {
      Process sim;
      const std::string args = std::string("send --copydata C:\\Users\\bob\\plan.doc --wparam ") + number +
                               " --window " + std::to_string(reinterpret_cast<uintptr_t>(target));
      ASSERT_TRUE(StartHelper(sim, "engine-sim.exe", args));
      // This thread answers the message while the sender waits.
      ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(sim.process, 0) == WAIT_OBJECT_0; }, 30000)) << args;
      EXPECT_EQ(0u, sim.Wait(0)) << args;
    }
  }
  PumpUntil([] { return false; }, 100);
  EXPECT_TRUE(dlg.files->Rules().empty());
  EXPECT_TRUE(ReadRuleFile(dlg.rulePath, dlg.mapping).empty());
  EXPECT_TRUE(IsWindowVisible(dlg.m_hWnd));
  EXPECT_EQ(trayHidden, dlg.Tray().Hidden());
}

}  // namespace
