// Exit of the whole window with a Log page whose reader is stuck where its
// quit event cannot reach it: the window still ends within a few seconds,
// and the Files and Options pages still write the rules and the settings.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include "LogTestUtil.h"

#include "app/DlgNotify.h"
#include "app/QX5Dlg.h"
#include "log/DlgPageLog.h"
#include "resource.h"
#include "rules/DlgFilePage.h"
#include "settings/Settings.h"

using namespace testsupport;
using namespace logtest;

namespace {

// The values of the settings key, put back as they were when it goes.
class SettingsSnapshot {
 public:
  SettingsSnapshot() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    existed_ = true;
    for (DWORD i = 0;; ++i) {
      char name[256];
      DWORD nameLen = sizeof name, type = 0, size = 0;
      if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
      std::vector<BYTE> data(size + 1);
      nameLen = sizeof name;
      RegEnumValueA(key, i, name, &nameLen, nullptr, &type, data.data(), &size);
      data.resize(size);
      values_.push_back({name, type, std::move(data)});
    }
    RegCloseKey(key);
  }
  ~SettingsSnapshot() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
    if (!existed_) return;
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
      return;
    for (const auto& v : values_)
      RegSetValueExA(key, v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    RegCloseKey(key);
  }

 private:
  struct Value {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
  };
  bool existed_ = false;
  std::vector<Value> values_;
};

class ExitWindow : public CQX5Dlg {
 public:
  TempLog log;
  std::string rulePath = MakeTempDir("exit-rules") + "\\QX5Rule.rle";

 protected:
  std::unique_ptr<CBkDialogST> MakePage(int index) override {
    if (index == 0) {
      auto files = std::make_unique<CDlgFilePage>();
      files->SetRuleFilePath(rulePath, "VkTest.exit.rules." + log.tag);
      return files;
    }
    if (index == 1) {
      auto page = std::make_unique<CDlgPageLog>();
      page->SetLogSource(log.path, log.mapping, log.event);
      page->Reader().SetTextLogPath(log.dir + "\\Varnokel.exe.log");
      return page;
    }
    return CQX5Dlg::MakePage(index);
  }
  bool CheckPassword() override { return true; }
};

}  // namespace

TEST(LogExit, ExitEndsInSecondsWithAStuckReaderAndWritesRulesAndSettings) {
  SettingsSnapshot snapshot;
  CDlgNotify::SetTickPeriod(100);
  g_stuckLookups = 0;
  CLogReadThread::SetIconLookup(&StuckLookup);
  const uint32_t savedColour = g_clrRun;
  const uint32_t chosen = 0x00123456;
  DWORD exitAsked = 0, ended = 0;
  bool rulesWritten = false;
  {
    ExitWindow dlg;
    std::atomic<bool> driverOk{false};
    std::thread driver([&] {
      // Once the window is up, the engine writes a record whose icon lookup
      // never returns; the user has changed a colour; then Exit.
      for (int i = 0; i < 400 && !(dlg.m_hWnd && IsWindowVisible(dlg.m_hWnd)); ++i) Sleep(50);
      if (!dlg.m_hWnd) return;
      if (RunSim("log " + dlg.log.SimArgs() +
                 " --type 1 --action 4 --text \"2026-12-07 10:15:02,\\\\server\\a.exe,Denied : C:\\b.exe\"") != 0)
        return;
      for (int i = 0; i < 200 && g_stuckLookups == 0; ++i) Sleep(50);
      if (g_stuckLookups == 0) return;
      g_clrRun = chosen;
      driverOk = true;
      exitAsked = GetTickCount();
      PostMessageA(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(ID_TRAY_EXIT, 0), 0);
    });
    dlg.DoModal();
    driver.join();
    ASSERT_TRUE(driverOk);
    // The Files page's last write went through: the rule file is whole.
    rulesWritten = RunSim("rules --path \"" + dlg.rulePath + "\"", dlg.log.dir + "\\rules.txt") == 0;
  }
  ended = GetTickCount();
  CLogReadThread::SetIconLookup(nullptr);
  CDlgNotify::SetTickPeriod(0);
  EXPECT_LT(ended - exitAsked, 10000u);
  EXPECT_TRUE(rulesWritten);
  EXPECT_EQ(chosen, CSettingDword(SettingPath("g_clrRun"), 0).Get());
  g_clrRun = savedColour;
}
