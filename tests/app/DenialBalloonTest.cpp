// Denial balloons: the Log page's reader on a private log, a tray icon whose
// shell calls are recorded, and a clock the test moves.
#include <gtest/gtest.h>

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <algorithm>

#include "app/DenialBalloon.h"
#include "app/DlgNotify.h"
#include "app/Messages.h"
#include "framework/Module.h"
#include "log/DlgPageLog.h"
#include "log/LogTestUtil.h"
#include "settings/Settings.h"
#include "ui/SystemTray.h"

using namespace testsupport;

namespace {

std::vector<std::pair<std::string, std::string>> g_balloons;  // title, text
BOOL WINAPI RecordShell(DWORD, NOTIFYICONDATAA* d) {
  if (d->uFlags & NIF_INFO) g_balloons.emplace_back(d->szInfoTitle, d->szInfo);
  return TRUE;
}
uint64_t g_now = 100000;
uint64_t FakeClock() { return g_now; }

std::string Denied(const std::string& process, const std::string& object, int second = 2) {
  return "2026-12-07 10:15:0" + std::to_string(second) + "," + process + ",Denied : " + object;
}

class DenialBalloonTest : public testing::Test {
 protected:
  void SetUp() override {
    g_balloons.clear();
    g_bLogIntoFile = 0;
    CDlgNotify::SetTickPeriod(100);
    CSystemTray::s_shellNotify = &RecordShell;
    frame = CreateWindowExA(0, "STATIC", "frame", WS_POPUP, 0, 0, 1000, 600, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(tray.CreateTrayIcon(nullptr, WM_TRAY_NOTIFY, "Varnokel", nullptr, 130) || tray.Present());
    ASSERT_TRUE(balloon.Create());
    balloon.SetClock(&FakeClock);
    balloon.SetClickHandler([this](const CDenialBalloon::Target& t) { SelectLogRow(page->List(), t.row, t.record); });
    page->SetLogSource(log.path, log.mapping, log.event);
    page->Reader().SetObserver(&balloon);
  }
  void TearDown() override {
    page.reset();
    DestroyWindow(frame);
    CSystemTray::s_shellNotify = &Shell_NotifyIconA;
    CDlgNotify::SetTickPeriod(0);
    g_bNotifyDenied = 1;
    g_bLogIntoFile = 1;
  }
  // Appends records as the engine does and waits for the page's rows.
  void Write(const std::vector<std::string>& texts, int rows) {
    CLogFile& w = *new CLogFile(log.event.c_str());  // kept: its end would drop the signal
    ASSERT_EQ(0, w.Open(log.path.c_str(), log.mapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
    {
      MutexLock wl(w.WriteMutex());
      MutexLock rl(w.ReadMutex());
      uint32_t pos = FindLogWritePosition(w.GetReadBase(), w.GetMaxSize());
      for (const auto& t : texts) pos = AppendLogRecord(w.GetReadBase(), w.GetMaxSize(), pos, TYPE_FILE, KIND_COPY, t);
    }
    SetEvent(w.WrittenEvent());
    w.CloseLog(0);
    ASSERT_TRUE(PumpUntil([&] { return page->List().RowCount() >= rows; }, 30000));
  }

  logtest::TempLog log;
  HWND frame = nullptr;
  CSystemTray tray;
  CDenialBalloon balloon{tray};
  std::unique_ptr<CDlgPageLog> page = std::make_unique<CDlgPageLog>();
};

}  // namespace

TEST_F(DenialBalloonTest, DenialsReachTheShellAndAClickSelectsTheirRow) {
  Write({Denied("C:\\Tools\\old.exe", "C:\\d\\backlog.txt")}, 0);
  ASSERT_TRUE(page->Create(frame));
  ASSERT_TRUE(PumpUntil([&] { return page->List().RowCount() == 1; }, 30000));
  // The program's own denial and an approved access: no balloon.
  std::string own = ModulePath();
  std::transform(own.begin(), own.end(), own.begin(), ::toupper);
  Write({Denied(own, "C:\\d\\own.txt"), "2026-12-07 10:15:03,C:\\Tools\\ok.exe,Approved : C:\\d\\ok.txt"}, 2);
  Write({Denied("C:\\Tools\\first.exe", "C:\\d\\first.txt", 4)}, 3);
  ASSERT_TRUE(PumpUntil([] { return !g_balloons.empty(); }, 30000));
  ASSERT_EQ(1u, g_balloons.size()) << "nothing for the backlog or the program's own denial";
  EXPECT_EQ("Varnokel blocked first.exe", g_balloons[0].first);
  EXPECT_EQ("Copy C:\\d\\first.txt", g_balloons[0].second);

  // Two more within the 10 seconds are held, then summed up by the timer.
  g_now += 2000;
  Write({Denied("C:\\Tools\\a.exe", "C:\\d\\a.txt", 5), Denied("C:\\Tools\\b.exe", "C:\\d\\b.txt", 6)}, 5);
  EXPECT_EQ(1u, g_balloons.size());
  EXPECT_TRUE(balloon.SummaryPending());
  g_now += 8000;
  balloon.OnSummaryTimer();
  ASSERT_EQ(2u, g_balloons.size());
  EXPECT_EQ("Varnokel blocked b.exe", g_balloons[1].first);
  EXPECT_EQ("2 accesses blocked; the latest: Copy C:\\d\\b.txt", g_balloons[1].second);
  EXPECT_FALSE(balloon.SummaryPending());

  // The click (the shell's callback) selects the latest denial's row alone;
  // a row that moved (a purge) is found by what it shows.
  ListView_SetItemState(page->List(), 0, LVIS_SELECTED, LVIS_SELECTED);
  SendMessageA(tray.m_hWnd, WM_TRAY_NOTIFY, 130, NIN_BALLOONUSERCLICK);
  EXPECT_EQ(4, ListView_GetNextItem(page->List(), -1, LVNI_SELECTED));
  EXPECT_EQ(-1, ListView_GetNextItem(page->List(), 4, LVNI_SELECTED));
  EXPECT_EQ(4, SelectLogRow(page->List(), 1, balloon.Shown().record));
}

TEST_F(DenialBalloonTest, NothingIsShownWithoutTheIconOrWithTheSwitchOff) {
  ASSERT_TRUE(page->Create(frame));
  tray.HideTrayIcon();  // the main window is open
  // An empty log at start has no backlog: this is a new denial.
  ASSERT_TRUE(PumpUntil([&] { return page->Reader().BacklogNoted(); }, 30000));
  Write({Denied("C:\\Tools\\a.exe", "C:\\d\\a.txt")}, 1);
  EXPECT_EQ(0, balloon.Shown().row) << "taken as a new denial";
  EXPECT_TRUE(g_balloons.empty());

  tray.ShowTrayIcon();
  g_now += 20000;
  Write({Denied("C:\\Tools\\c.exe", "C:\\d\\c.txt"), Denied("C:\\Tools\\d.exe", "C:\\d\\d.txt")}, 3);
  ASSERT_EQ(1u, g_balloons.size());
  EXPECT_TRUE(balloon.SummaryPending());
  // Switched off: the held denial goes too, and no new one is shown.
  g_bNotifyDenied = 0;
  g_now += 20000;
  balloon.OnSummaryTimer();
  Write({Denied("C:\\Tools\\e.exe", "C:\\d\\e.txt")}, 4);
  EXPECT_EQ(1u, g_balloons.size());
  EXPECT_FALSE(balloon.SummaryPending());
}
