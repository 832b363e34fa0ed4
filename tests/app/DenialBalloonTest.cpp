// Denial balloons: the Log page's reader on a private log, a tray icon whose
// shell calls are recorded, and a clock the test moves. Denials reach the
// shell as balloon texts; the backlog, the program's own records and other
// results never do; a click selects the denial's row; nothing is shown
// while the icon is not in the notification area or the switch is off.
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
using namespace logtest;

namespace {

constexpr DWORD kWaitMs = 30000;
constexpr UINT kIconId = 130;

struct ShellCall {
  DWORD message;
  UINT flags;
  DWORD size;
  DWORD infoFlags;
  std::string title;
  std::string text;
};
std::vector<ShellCall> g_calls;
BOOL g_shellAnswer = TRUE;

BOOL WINAPI RecordShell(DWORD message, NOTIFYICONDATAA* d) {
  g_calls.push_back({message, d->uFlags, d->cbSize, d->dwInfoFlags, d->szInfoTitle, d->szInfo});
  return g_shellAnswer;
}

std::vector<ShellCall> Balloons() {
  std::vector<ShellCall> b;
  for (const auto& c : g_calls)
    if (c.flags & NIF_INFO) b.push_back(c);
  return b;
}

uint64_t g_now = 100000;
uint64_t FakeClock() { return g_now; }

// A writer in this process: appends in one pass under both mutexes.
void Append(const TempLog& t, const std::vector<std::string>& texts, uint32_t action = KIND_COPY) {
  CLogFile& w = *new CLogFile(t.event.c_str());  // kept: its end would drop the signal
  ASSERT_EQ(0, w.Open(t.path.c_str(), t.mapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  {
    MutexLock wl(w.WriteMutex());
    MutexLock rl(w.ReadMutex());
    uint32_t pos = FindLogWritePosition(w.GetReadBase(), w.GetMaxSize());
    for (const auto& text : texts) pos = AppendLogRecord(w.GetReadBase(), w.GetMaxSize(), pos, TYPE_FILE, action, text);
  }
  SetEvent(w.WrittenEvent());
  w.CloseLog(0);
}

std::string Denied(const std::string& process, const std::string& object, const char* time = "2026-12-07 10:15:02") {
  return std::string(time) + "," + process + ",Denied : " + object;
}

class DenialBalloonTest : public testing::Test {
 protected:
  void SetUp() override {
    g_calls.clear();
    g_shellAnswer = TRUE;
    g_bNotifyDenied = 1;
    g_bLogIntoFile = 0;
    CDlgNotify::SetTickPeriod(100);
    CSystemTray::s_shellNotify = &RecordShell;
    frame = CreateWindowExA(0, "STATIC", "frame", WS_POPUP | WS_VISIBLE, 0, 0, 1000, 600, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(
        tray.CreateTrayIcon(nullptr, WM_TRAY_NOTIFY, "Varnokel", LoadIconA(nullptr, IDI_APPLICATION), kIconId) ||
        tray.Present());
    ASSERT_TRUE(balloon.Create());
    balloon.SetClock(&FakeClock);
    balloon.SetClickHandler(
        [this](const CDenialBalloon::Target& t) { clicked = SelectLogRow(page->List(), t.row, t.record); });
  }
  void TearDown() override {
    page.reset();
    DestroyWindow(frame);
    CSystemTray::s_shellNotify = &Shell_NotifyIconA;
    CDlgNotify::SetTickPeriod(0);
    g_bNotifyDenied = 1;
    g_bLogIntoFile = 1;
  }
  void Start() {
    page = std::make_unique<CDlgPageLog>();
    page->SetLogSource(log.path, log.mapping, log.event);
    page->Reader().SetObserver(&balloon);
    ASSERT_TRUE(page->Create(frame));
  }
  int Rows() { return page->List().RowCount(); }
  bool WaitRows(int n) {
    return PumpUntil([&] { return Rows() >= n; }, kWaitMs);
  }
  bool WaitBalloons(size_t n) {
    return PumpUntil([&] { return Balloons().size() >= n; }, kWaitMs);
  }
  int Selected() { return ListView_GetNextItem(page->List(), -1, LVNI_SELECTED); }
  void ClickBalloon() { SendMessageA(tray.m_hWnd, WM_TRAY_NOTIFY, kIconId, NIN_BALLOONUSERCLICK); }

  TempLog log;
  HWND frame = nullptr;
  CSystemTray tray;
  CDenialBalloon balloon{tray};
  std::unique_ptr<CDlgPageLog> page;
  int clicked = -2;
};

}  // namespace

TEST_F(DenialBalloonTest, DenialsReachTheShellAndAClickSelectsTheirRow) {
  Append(log, {Denied("C:\\Tools\\old.exe", "C:\\d\\backlog.txt")});
  Start();
  ASSERT_TRUE(WaitRows(1));
  // The program's own denial and an approved access: rows or not, no balloon.
  std::string own = ModulePath();
  std::transform(own.begin(), own.end(), own.begin(), ::toupper);
  Append(log, {Denied(own, "C:\\d\\own.txt"), "2026-12-07 10:15:03,C:\\Tools\\ok.exe,Approved : C:\\d\\ok.txt"});
  ASSERT_TRUE(WaitRows(2));
  Append(log, {Denied("C:\\Tools\\first.exe", "C:\\d\\first.txt", "2026-12-07 10:15:04")});
  ASSERT_TRUE(WaitBalloons(1));
  auto b = Balloons();
  ASSERT_EQ(1u, b.size()) << "nothing for the backlog or the program's own denial";
  EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), b[0].message);
  // The first version of the record has no balloon fields.
  EXPECT_GE(b[0].size, static_cast<DWORD>(NOTIFYICONDATAA_V2_SIZE));
  EXPECT_EQ(static_cast<DWORD>(NIIF_WARNING), b[0].infoFlags);
  EXPECT_EQ("Varnokel blocked first.exe", b[0].title);
  EXPECT_EQ("Copy C:\\d\\first.txt", b[0].text);
  EXPECT_EQ(2, balloon.Shown().row);

  // Two more within the 10 seconds are held, then summed up by the timer.
  g_now += 2000;
  Append(log, {Denied("C:\\Tools\\a.exe", "C:\\d\\a.txt", "2026-12-07 10:15:05"),
               Denied("C:\\Tools\\b.exe", "C:\\d\\b.txt", "2026-12-07 10:15:06")});
  ASSERT_TRUE(WaitRows(5));
  EXPECT_EQ(1u, Balloons().size());
  EXPECT_TRUE(balloon.SummaryPending());
  g_now += 8000;
  balloon.OnSummaryTimer();
  b = Balloons();
  ASSERT_EQ(2u, b.size());
  EXPECT_EQ("Varnokel blocked b.exe", b[1].title);
  EXPECT_EQ("2 accesses blocked; the latest: Copy C:\\d\\b.txt", b[1].text);
  EXPECT_FALSE(balloon.SummaryPending());

  // The click selects the latest denial's row, alone.
  ListView_SetItemState(page->List(), 0, LVIS_SELECTED, LVIS_SELECTED);
  ClickBalloon();
  EXPECT_EQ(4, clicked);
  EXPECT_EQ(4, Selected());
  EXPECT_EQ(-1, ListView_GetNextItem(page->List(), 4, LVNI_SELECTED));
  // Rows that moved (a purge) are found by what they show.
  EXPECT_EQ(4, SelectLogRow(page->List(), 1, balloon.Shown().record));
}

TEST_F(DenialBalloonTest, NothingIsShownWithoutTheIconOrWithTheSwitchOff) {
  Start();
  tray.HideTrayIcon();  // the main window is open
  // An empty log at start has no backlog: this is a new denial.
  Append(log, {Denied("C:\\Tools\\a.exe", "C:\\d\\a.txt")});
  ASSERT_TRUE(WaitRows(1));
  EXPECT_EQ(0, balloon.Shown().row) << "taken as a new denial";
  EXPECT_TRUE(Balloons().empty());

  // The shell refuses the icon: still nothing, and nothing breaks.
  g_shellAnswer = FALSE;
  tray.ShowTrayIcon();
  ASSERT_FALSE(tray.Present());
  g_now += 20000;
  Append(log, {Denied("C:\\Tools\\b.exe", "C:\\d\\b.txt")});
  ASSERT_TRUE(WaitRows(2));
  EXPECT_TRUE(Balloons().empty());

  // The switch off: held denials go too.
  g_shellAnswer = TRUE;
  tray.HideTrayIcon();
  tray.ShowTrayIcon();
  ASSERT_TRUE(tray.Present());
  g_now += 20000;
  Append(log, {Denied("C:\\Tools\\c.exe", "C:\\d\\c.txt"), Denied("C:\\Tools\\d.exe", "C:\\d\\d.txt")});
  ASSERT_TRUE(WaitBalloons(1));
  EXPECT_TRUE(balloon.SummaryPending());
  g_bNotifyDenied = 0;
  g_now += 20000;
  balloon.OnSummaryTimer();
  Append(log, {Denied("C:\\Tools\\e.exe", "C:\\d\\e.txt")});
  ASSERT_TRUE(WaitRows(5));
  EXPECT_EQ(1u, Balloons().size());
  EXPECT_FALSE(balloon.SummaryPending());
}
