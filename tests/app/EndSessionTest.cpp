// Log-off and shutdown: Windows ends the process right after WM_ENDSESSION
// without destroying its windows, so the main window keeps at that moment
// what Exit would keep. The real main window with its real pages, on a rule
// file and a log of the test's own.
#include <gtest/gtest.h>

#include "app/Messages.h"
#include "common/FrontWindow.h"
#include "common/TestSupport.h"
#include "log/DlgPageLog.h"
#include "log/LogTestUtil.h"
#include "resource.h"
#include "rules/DlgFilePage.h"
#include "settings/DlgPageOptions.h"
#include "settings/OptionsTestUtil.h"
#include "settings/Settings.h"

using namespace testsupport;

namespace {

// The real pages, with a log of the test's own.
struct SessionWindow : FrontWindow {
  logtest::TempLog log;
  SessionWindow() {
    logPath = log.path;
    logMapping = log.mapping;
    logEvent = log.event;
    realOptions = true;
  }
};

bool ReadValue(const char* name, std::vector<uint8_t>& data) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  bool ok = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
  data.assign(size, 0);
  ok = ok && RegQueryValueExA(key, name, nullptr, nullptr, data.data(), &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

struct EndSession : testing::Test {
  void SetUp() override {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
    SettingsDefaults();
  }
  void TearDown() override {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
    SettingsDefaults();
  }
};

TEST_F(EndSession, TheEndOfTheSessionKeepsSettingsAndRulesAndStopsTheReader) {
  const std::string dir = MakeTempDir("session");
  SessionWindow dlg;
  dlg.rulePath = dir + "\\QX5Rule.rle";
  dlg.mapping = UniqueMapping("session");
  ASSERT_TRUE(dlg.Create(nullptr));
  ASSERT_NE(nullptr, dlg.logPage);
  // Tough and two keywords on the Options page, then the window goes to
  // the tray, as the user leaves it at the end of the day.
  HWND options = dlg.Page(2);
  SendMessageA(options, WM_COMMAND, MAKEWPARAM(IDC_OPT_TOUGH, BN_CLICKED), 0);
  TypeKeywords(options, "secret\r\nplan");
  RULE_REQUEST req;
  req.Code = REQ_COPY;
  req.Source = "*";
  req.Dests = {"C:\\Users\\bob\\plan.doc"};
  SendMessageA(dlg.Page(0), WM_RULE_REQUEST, reinterpret_cast<WPARAM>(&req), 0);
  dlg.Send(WM_SYSCOMMAND, SC_CLOSE);
  std::vector<uint8_t> value;
  ASSERT_FALSE(ReadValue("g_bToughHook", value)) << "nothing is written before the end";

  // The session may end, and when it does the window keeps what Exit keeps.
  EXPECT_EQ(TRUE, dlg.Send(WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
  dlg.Send(WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  for (const char* name : {"g_bTrayIcon", "g_bLogIntoFile", "g_clrRun", "g_clrRead", "g_clrWrite", "g_bToughHook",
                           "regStrPass", "regStrNoCpyText"})
    EXPECT_TRUE(ReadValue(name, value)) << name;
  ASSERT_TRUE(ReadValue("g_bToughHook", value));
  EXPECT_EQ(1u, value[0]);
  ASSERT_TRUE(ReadValue("regStrNoCpyText", value));
  EXPECT_STREQ("secret|plan", reinterpret_cast<const char*>(value.data()));
  const RuleList rules = ReadRuleFile(dlg.rulePath, dlg.mapping);
  ASSERT_EQ(1u, rules.size());
  EXPECT_EQ("C:\\Users\\bob\\plan.doc", rules.front()->Dest);
  EXPECT_TRUE(dlg.logPage->Reader().WaitForEnd(0)) << "the log reader has stopped";
  EXPECT_FALSE(IsWindow(dlg.m_hWnd));
}

}  // namespace
