// The Log page with its reader thread against a private log file: records
// written by the engine stand-in (a second process) appear in the list,
// coloured by action; backlogs become a summary row; the plain-text copy
// holds one exact line per record; the reader follows the writer across
// wraps of the file; the program's own records are dropped; damaged logs
// do no harm; stopping while the writer floods is prompt and clean.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <sstream>

#include "LogTestUtil.h"

#include <commctrl.h>
#include <shellapi.h>
#include "app/DlgNotify.h"
#include "common/DialogDriver.h"
#include "framework/Module.h"
#include "log/DlgPageLog.h"
#include "log/LogHistory.h"
#include "log/LogText.h"
#include "resource.h"
#include "rules/SharedNames.h"
#include "settings/Settings.h"

using namespace testsupport;
using namespace logtest;

namespace {

constexpr COLORREF kRun = RGB(250, 220, 120), kRead = RGB(200, 230, 255), kWrite = RGB(255, 190, 190);
// How long a wait for rows or text lines may take on a busy machine; it
// ends as soon as they are there.
constexpr DWORD kWaitMs = 30000;

// A Log page on a private log, inside a top-level frame, with its own text
// log. The progress window ticks quickly so that stops are quick.
class PageHost {
 public:
  PageHost() {
    g_bLogIntoFile = 1;
    g_clrRun = kRun;
    g_clrRead = kRead;
    g_clrWrite = kWrite;
    CDlgNotify::SetTickPeriod(100);
    textLog = log.dir + "\\Varnokel.exe.log";
    frame = CreateWindowExA(0, "STATIC", "frame", WS_POPUP | WS_VISIBLE, 0, 0, 1000, 600, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  }
  ~PageHost() {
    page.reset();
    DestroyWindow(frame);
    CDlgNotify::SetTickPeriod(0);
  }
  void Start() {
    page = std::make_unique<CDlgPageLog>();
    page->SetLogSource(log.path, log.mapping, log.event);
    page->Reader().SetTextLogPath(textLog);
    ASSERT_TRUE(page->Create(frame));
    SetWindowPos(*page, nullptr, 0, 0, 1000, 600, SWP_NOZORDER | SWP_SHOWWINDOW);
  }
  CListCtrlStyled& List() { return page->List(); }
  int Rows() { return List().RowCount(); }
  std::string Cell(int row, int column) {
    char buf[1024] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buf;
    item.cchTextMax = sizeof buf;
    SendMessageA(List(), LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return buf;
  }
  int Image(int row) {
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    ListView_GetItem(List(), &item);
    return item.iImage;
  }
  COLORREF Back(int row) { return List().ResolveCell(row, 2, false).back; }
  bool WaitRows(int n, DWORD ms) {
    return PumpUntil([&] { return Rows() >= n; }, ms);
  }
  // The text log is flushed after each pass, once its rows are complete.
  bool WaitLines(size_t n, DWORD ms) {
    return PumpUntil([&] { return TextLines().size() >= n; }, ms);
  }
  // The text log's lines without their line ends.
  std::vector<std::string> TextLines() {
    std::vector<std::string> lines;
    std::istringstream in(ReadText(textLog));
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    return lines;
  }
  DWORD Sim(const std::string& args) { return RunSim("log " + log.SimArgs() + " " + args, log.dir + "\\sim.txt"); }
  DWORD SimRecord(int type, int action, const std::string& text) {
    return Sim("--type " + std::to_string(type) + " --action " + std::to_string(action) + " --text \"" + text + "\"");
  }

  TempLog log;
  std::string textLog;
  HWND frame;
  std::unique_ptr<CDlgPageLog> page;
};

// A writer in this process: appends in one pass under both mutexes.
void AppendRecords(const TempLog& t, const std::vector<std::string>& texts, uint32_t type = TYPE_FILE,
                   uint32_t action = KIND_OPEN) {
  CLogFile& w = *new CLogFile(t.event.c_str());  // kept: its end would drop the signal
  ASSERT_EQ(0, w.Open(t.path.c_str(), t.mapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  {
    MutexLock wl(w.WriteMutex());
    MutexLock rl(w.ReadMutex());
    uint32_t pos = FindLogWritePosition(w.GetReadBase(), w.GetMaxSize());
    for (const auto& text : texts) pos = AppendLogRecord(w.GetReadBase(), w.GetMaxSize(), pos, type, action, text);
  }
  SetEvent(w.WrittenEvent());
  w.CloseLog(0);
}

std::string Rec(int i) {
  return "2026-12-07 10:15:02,C:\\Tools\\t" + std::to_string(i % 7) + ".exe,Denied : C:\\d\\f" + std::to_string(i) +
         ".txt";
}

}  // namespace

TEST(LogPage, RecordsAppearQuicklyColouredByTheirActionAndGoToTheTextLog) {
  PageHost h;
  h.Start();
  ASSERT_EQ(5, h.List().ColumnCount());
  const std::string base = "2026-12-07 10:15:02,C:\\Program Files\\App\\app.exe,Denied : C:\\Users\\bob\\plan.doc";
  ASSERT_EQ(0u, h.SimRecord(TYPE_FILE, KIND_OPEN | KIND_MODIFY, base + " -1"));
  ASSERT_TRUE(h.WaitRows(1, kWaitMs));  // first signal: 200 ms settle, then the poll

  struct Case {
    uint32_t action;
    COLORREF colour;
    const char* actionText;
  } cases[] = {
      {KIND_RUN | KIND_OPEN, kRun, "Denied Read Run"},
      {KIND_OPEN, kRead, "Denied Read"},
      {KIND_COPY, RGB(255, 255, 255), "Denied Copy"},
      {KIND_MODIFY | KIND_RUN, kWrite, "Denied Modify Run"},
  };
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(0u, h.SimRecord(TYPE_FILE, static_cast<int>(cases[i].action), base + " -" + std::to_string(i + 2)));
    const DWORD start = GetTickCount();
    ASSERT_TRUE(h.WaitRows(i + 2, kWaitMs)) << i << " rows " << h.Rows();
    EXPECT_LT(GetTickCount() - start, 750u) << i;  // polled every 66 ms
    ASSERT_TRUE(h.WaitLines(i + 2, kWaitMs));
  }
  EXPECT_EQ(kWrite, h.Back(0));
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(cases[i].colour, h.Back(i + 1)) << i;
    EXPECT_EQ(cases[i].actionText, h.Cell(i + 1, 3)) << i;
  }
  EXPECT_EQ("2026-12-07 10:15:02", h.Cell(0, 0));
  EXPECT_EQ("File", h.Cell(0, 1));
  EXPECT_EQ("C:\\Program Files\\App\\app.exe", h.Cell(0, 2));
  EXPECT_EQ("Denied Read Modify", h.Cell(0, 3));
  EXPECT_EQ("C:\\Users\\bob\\plan.doc -1", h.Cell(0, 4));

  // The text log holds one exact line per record, on disk after each pass.
  auto lines = h.TextLines();
  ASSERT_EQ(5u, lines.size());
  EXPECT_EQ(5, h.Rows());
  EXPECT_EQ("File, Read Modify," + base + " -1", lines[0]);
  EXPECT_EQ("File, Read Run," + base + " -2", lines[1]);
  EXPECT_EQ("File, Read," + base + " -3", lines[2]);
  EXPECT_EQ("File, Copy," + base + " -4", lines[3]);
  EXPECT_TRUE(h.page->StopReader());
}

TEST(LogPage, ABacklogBecomesASummaryRowAndTheLastPartialBatchIsShown) {
  PageHost h;
  std::vector<std::string> backlog;
  for (int i = 0; i < 250; ++i) backlog.push_back(Rec(i));
  AppendRecords(h.log, backlog);
  h.Start();
  ASSERT_TRUE(h.WaitRows(51, kWaitMs));
  PumpUntil([] { return false; }, 300);
  ASSERT_EQ(51, h.Rows());
  EXPECT_EQ("Items Saved", h.Cell(0, 0));
  EXPECT_EQ("200 Items Not Displayed, Saved in This Log File", h.Cell(0, 2));
  EXPECT_EQ(h.textLog, h.Cell(0, 4));
  EXPECT_EQ(RGB(200, 40, 80), h.Back(0));
  EXPECT_EQ("C:\\d\\f200.txt", h.Cell(1, 4));
  EXPECT_EQ("C:\\d\\f249.txt", h.Cell(50, 4));
  auto lines = h.TextLines();
  ASSERT_EQ(250u, lines.size());
  for (int i = 0; i < 250; ++i) ASSERT_EQ("File, Read," + Rec(i), lines[i]);

  // Exactly 100 arriving together: one more summary row, nothing else.
  std::vector<std::string> hundred;
  for (int i = 250; i < 350; ++i) hundred.push_back(Rec(i));
  AppendRecords(h.log, hundred);
  ASSERT_TRUE(h.WaitRows(52, kWaitMs));
  PumpUntil([] { return false; }, 300);
  EXPECT_EQ(52, h.Rows());
  EXPECT_EQ("100 Items Not Displayed, Saved in This Log File", h.Cell(51, 2));
  EXPECT_EQ(350u, h.TextLines().size());

  // Double-clicking a summary row and answering No selects the text log.
  std::vector<std::string> launched;
  h.page->SetExplorerLauncher([&](const std::string& p) { launched.push_back(p); });
  ListView_SetItemState(h.List(), 0, LVIS_SELECTED, LVIS_SELECTED);
  DialogDriver driver;
  driver.On(AppName(), [&](HWND box) { driver.Answer(box, IDNO); });
  NMITEMACTIVATE n{};
  n.hdr.hwndFrom = h.List();
  n.hdr.idFrom = IDC_LOG_LIST;
  n.hdr.code = NM_DBLCLK;
  SendMessageA(*h.page, WM_NOTIFY, IDC_LOG_LIST, reinterpret_cast<LPARAM>(&n));
  ASSERT_EQ(1u, launched.size());
  EXPECT_EQ("/select," + h.textLog, launched[0]);
}

TEST(LogPage, TheProgramsOwnRecordsAreNeitherShownNorWritten) {
  PageHost h;
  h.Start();
  std::string own = ModulePath();
  std::transform(own.begin(), own.end(), own.begin(), ::toupper);  // compared without case
  ASSERT_EQ(0u, h.SimRecord(TYPE_FILE, KIND_OPEN, "2026-12-07 10:15:02," + own + ",Denied : C:\\x.txt"));
  ASSERT_EQ(0u, h.SimRecord(TYPE_FILE, KIND_OPEN, "2026-12-07 10:15:03,C:\\other.exe,Denied : C:\\y.txt"));
  // The other program's row comes after both records were taken (and after
  // its text line); then no row of the program's own may follow.
  ASSERT_TRUE(h.WaitRows(1, kWaitMs));
  PumpUntil([] { return false; }, 300);
  EXPECT_EQ(1, h.Rows());
  EXPECT_EQ("C:\\other.exe", h.Cell(0, 2));
  auto lines = h.TextLines();
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ("File, Read,2026-12-07 10:15:03,C:\\other.exe,Denied : C:\\y.txt", lines[0]);
}

TEST(LogPage, MalformedTextsShowWhatCanBeSplit) {
  PageHost h;
  h.Start();
  AppendRecords(h.log, {"no comma at all", "12:00,C:\\p.exe no second comma", "12:01,C:\\q.exe,no separator"},
                TYPE_REGISTRY | TYPE_SYSTEM, KIND_MODIFY);
  // The rows come after the text log's lines: wait for the rows.
  ASSERT_TRUE(h.WaitRows(3, kWaitMs)) << h.Rows();
  ASSERT_EQ(3, h.Rows());
  EXPECT_EQ("Tirelmo", h.Cell(0, 0));
  EXPECT_EQ("Registry System", h.Cell(0, 1));
  EXPECT_EQ("", h.Cell(0, 2));
  EXPECT_EQ("12:00", h.Cell(1, 0));
  EXPECT_EQ("", h.Cell(1, 2));
  EXPECT_EQ("12:01", h.Cell(2, 0));
  EXPECT_EQ("C:\\q.exe", h.Cell(2, 2));
  EXPECT_EQ("", h.Cell(2, 3));
  // No action part: no row colour either.
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), h.Back(2));
}

TEST(LogPage, TheReaderFollowsTheWriterAcrossWrapsWithoutLossOrRepeats) {
  PageHost h;
  h.Start();
  // One lap of the 5 MB file is about 43 000 of these records; at 10 000 a
  // second the reader (below normal priority, on a busy machine) has four
  // seconds before the writer could catch up with it.
  const int total = 140000;
  Process sim;  // a second process, while this thread keeps the page running
  ASSERT_TRUE(StartHelper(sim, "engine-sim.exe",
                          "log " + h.log.SimArgs() + " --generate " + std::to_string(total) + " --rate 10000 --seq 0",
                          h.log.dir + "\\sim.txt"));
  // The writer's pace is what a busy machine allows: wait for its end, then
  // for the reader to take what it wrote.
  ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(sim.process, 0) == WAIT_OBJECT_0; }, 240000));
  ASSERT_TRUE(PumpUntil([&] { return h.page->Reader().RecordsTaken() >= static_cast<uint64_t>(total); }, 60000))
      << h.page->Reader().RecordsTaken();
  EXPECT_GE(h.page->Reader().Wraps(), 3u);
  EXPECT_EQ(0u, h.page->Reader().Resyncs());
  EXPECT_EQ(0u, sim.Wait(10000));
  PumpUntil([] { return false; }, 200);
  EXPECT_TRUE(h.page->StopReader());

  auto lines = h.TextLines();
  ASSERT_EQ(static_cast<size_t>(total), lines.size());
  for (int i = 0; i < total; ++i) {
    const std::string& line = lines[i];
    const size_t at = line.rfind(" -seq ");
    ASSERT_NE(std::string::npos, at) << i << ": " << line;
    ASSERT_EQ(std::to_string(i), line.substr(at + 6)) << line;
    // Type, actions, then the record text split into all its columns.
    const size_t c1 = line.find(','), c2 = line.find(',', c1 + 1);
    ASSERT_NE(std::string::npos, c2) << line;
    ASSERT_EQ(3, SplitLogText(line.substr(c2 + 1)).fields) << line;
  }
  EXPECT_LE(h.Rows(), 1001 + 100);
}

TEST(LogPage, ADamagedLogNeitherCrashesNorHangsTheReader) {
  PageHost h;
  {
    // Random bytes over the whole data area, with a few plausible headers.
    std::vector<uint8_t> image(LOG_FILE_SIZE);
    std::mt19937 rng(99);
    for (auto& b : image) b = static_cast<uint8_t>(rng());
    for (int i = 0; i < 2000; ++i) {
      uint32_t at = 38 + rng() % (LOG_FILE_SIZE - 100);
      uint32_t len = rng() % 900;
      memcpy(&image[at + 8], &len, 4);
    }
    ASSERT_TRUE(WriteFileBytes(h.log.path, image));
  }
  h.Start();
  HANDLE ev = OpenEventA(EVENT_MODIFY_STATE, FALSE, SharedObjectName(h.log.event).c_str());
  ASSERT_NE(nullptr, ev);
  SetEvent(ev);
  CloseHandle(ev);
  PumpUntil([] { return false; }, 1000);
  // Still alive and following: a new record lands where the valid chain
  // ends, and the reader takes it.
  const uint64_t before = h.page->Reader().RecordsTaken();
  ASSERT_EQ(0u, h.SimRecord(TYPE_FILE, KIND_OPEN, "2026-12-07 10:15:02,C:\\after.exe,Denied : C:\\damage.txt"));
  ASSERT_TRUE(PumpUntil([&] { return h.page->Reader().RecordsTaken() > before; }, 3000));
  ASSERT_TRUE(PumpUntil(
      [&] { return h.TextLines().size() > 0 && h.TextLines().back().find("after.exe") != std::string::npos; }, 3000));
  const DWORD start = GetTickCount();
  EXPECT_TRUE(h.page->StopReader());
  EXPECT_LT(GetTickCount() - start, 3000u);
}

TEST(LogPage, StoppingWhileTheWriterFloodsIsPromptAndLeavesNothingHeld) {
  PageHost h;
  h.Start();
  Process sim;
  ASSERT_TRUE(StartHelper(sim, "engine-sim.exe",
                          "log " + h.log.SimArgs() + " --generate 100000000 --rate 10000 --seq 0",
                          h.log.dir + "\\flood.txt"));
  ASSERT_TRUE(PumpUntil([&] { return h.page->Reader().RecordsTaken() > 20000; }, 20000));
  const DWORD start = GetTickCount();
  EXPECT_TRUE(h.page->StopReader());
  EXPECT_LT(GetTickCount() - start, 2000u);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h.page->Reader().m_hThread, 0));
  EXPECT_FALSE(h.page->LogFile()->IsOpen());

  // The reader does not hold the log's Read mutex: this thread gets it (the
  // flooding writer takes it in turns).
  HANDLE readMutex =
      OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, SharedObjectName(h.log.mapping + " Read").c_str());
  ASSERT_NE(nullptr, readMutex);
  DWORD got = WaitForSingleObject(readMutex, 5000);
  EXPECT_TRUE(got == WAIT_OBJECT_0) << got;  // not abandoned, not timed out
  if (got == WAIT_OBJECT_0 || got == WAIT_ABANDONED) ReleaseMutex(readMutex);
  CloseHandle(readMutex);
  TerminateProcess(sim.process, 0);
  sim.Wait(5000);

  // The heaps are whole and no lock of theirs was left behind by the stop:
  // every heap validates, and another thread can still allocate (a heap
  // lock held by a vanished thread would keep it waiting, not crash).
  {
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    ASSERT_GT(count, 0u);
    for (DWORD i = 0; i < count && i < 64; ++i) EXPECT_TRUE(HeapValidate(heaps[i], 0, nullptr)) << i;
    HANDLE allocator = CreateThread(
        nullptr, 0,
        [](void*) -> DWORD {
          std::vector<std::unique_ptr<char[]>> blocks;
          for (int i = 0; i < 64; ++i) blocks.emplace_back(new char[64 * 1024]);
          return 0;
        },
        nullptr, 0, nullptr);
    ASSERT_NE(nullptr, allocator);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(allocator, 5000)) << "allocation blocked after the stop";
    CloseHandle(allocator);
  }
  for (int i = 0; i < 200; ++i) h.List().InsertRow(h.Rows(), "after stop");
  h.List().DeleteAllRows();
  EXPECT_EQ(0, h.Rows());
  // Every line the reader took is in the text log, whole.
  auto lines = h.TextLines();
  EXPECT_GE(lines.size(), 20000u);
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t at = lines[i].rfind(" -seq ");
    ASSERT_NE(std::string::npos, at) << lines[i];
    ASSERT_EQ(std::to_string(i), lines[i].substr(at + 6));
  }
}

TEST(LogPage, DestroyingTheWindowStopsTheReaderFirst) {
  // As when the main window closes: the page's window goes with its parent
  // while the page object still exists.
  PageHost h;
  h.Start();
  ASSERT_EQ(0u, h.SimRecord(TYPE_FILE, KIND_RUN, "2026-12-07 10:15:02,C:\\a.exe,Denied : C:\\b.exe"));
  ASSERT_TRUE(h.WaitLines(1, kWaitMs));
  SHFILEINFOA info{};
  auto systemImages =
      reinterpret_cast<HIMAGELIST>(SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  ASSERT_NE(nullptr, systemImages);
  const DWORD start = GetTickCount();
  DestroyWindow(h.frame);
  EXPECT_LT(GetTickCount() - start, 2000u);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h.page->Reader().m_hThread, 0));
  EXPECT_FALSE(h.page->LogFile()->IsOpen());
  EXPECT_EQ(nullptr, h.page->GetSafeHwnd());
  EXPECT_TRUE(h.page->StopReader());  // already done: nothing more to do
  // The list let the process's system image list live.
  EXPECT_GT(ImageList_GetImageCount(systemImages), 0);
}

TEST(LogPage, WithoutTheTextLogRecordsAreShownAndBacklogsStillSummed) {
  PageHost h;
  std::vector<std::string> backlog;
  for (int i = 0; i < 130; ++i) backlog.push_back(Rec(i));
  AppendRecords(h.log, backlog);
  g_bLogIntoFile = 0;
  h.page = std::make_unique<CDlgPageLog>();
  h.page->SetLogSource(h.log.path, h.log.mapping, h.log.event);
  h.page->Reader().SetTextLogPath(h.textLog);
  ASSERT_TRUE(h.page->Create(h.frame));
  ASSERT_TRUE(h.WaitRows(31, kWaitMs));
  AppendRecords(h.log, {Rec(500)});
  ASSERT_TRUE(h.WaitRows(32, kWaitMs));
  PumpUntil([] { return false; }, 200);
  EXPECT_EQ("100 Items Not Displayed, Saved in This Log File", h.Cell(0, 2));
  EXPECT_EQ("C:\\d\\f129.txt", h.Cell(30, 4));
  EXPECT_EQ("C:\\d\\f500.txt", h.Cell(31, 4));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(h.textLog.c_str()));
  g_bLogIntoFile = 1;
}

TEST(LogPage, DoubleClickOffersProcessOrObjectInExplorer) {
  PageHost h;
  h.Start();
  std::vector<std::string> launched;
  h.page->SetExplorerLauncher([&](const std::string& p) { launched.push_back(p); });
  CListCtrlStyled& list = h.List();
  list.InsertRow(0, "12:00");
  list.SetCellText(0, 2, "C:\\Program Files\\App\\app.exe");
  list.SetCellText(0, 4, "C:\\Users\\bob\\plan.doc - opened by user");

  auto doubleClick = [&] {
    NMITEMACTIVATE n{};
    n.hdr.hwndFrom = list;
    n.hdr.idFrom = IDC_LOG_LIST;
    n.hdr.code = NM_DBLCLK;
    n.iItem = 0;
    SendMessageA(*h.page, WM_NOTIFY, IDC_LOG_LIST, reinterpret_cast<LPARAM>(&n));
  };
  doubleClick();  // nothing selected: nothing asked
  EXPECT_TRUE(launched.empty());

  ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
  int answer = IDYES;
  DialogDriver driver;
  driver.On(AppName(), [&](HWND box) { driver.Answer(box, answer); });
  doubleClick();
  ASSERT_EQ(1u, launched.size());
  EXPECT_EQ("/select,C:\\Program Files\\App\\app.exe", launched[0]);
  ASSERT_EQ(1u, driver.MessageTexts().size());
  EXPECT_EQ(
      "Press Yes to select file C:\\Program Files\\App\\app.exe in explorer,\nPress No to select "
      "C:\\Users\\bob\\plan.doc",
      driver.MessageTexts()[0]);
  answer = IDNO;
  doubleClick();
  ASSERT_EQ(2u, launched.size());
  EXPECT_EQ("/select,C:\\Users\\bob\\plan.doc", launched[1]);
  answer = IDCANCEL;
  doubleClick();
  EXPECT_EQ(2u, launched.size());
}

// A log whose records run from position 0 up to the reserve zone with no
// wrap (a writer that stopped there, a restored old file): every record
// reaches the text log exactly once and the reader then waits at the reserve
// instead of taking the lap again; a writer that starts over at 0 without
// the zero word is followed from there, again once.
TEST(LogPage, AChainUpToTheReserveWithoutAWrapIsTakenOnce) {
  PageHost h;
  std::vector<uint8_t> image(LOG_FILE_SIZE, 0);
  BuildLogFileHeader(image.data());
  std::vector<std::string> texts;
  uint32_t pos = 0;
  while (!IsInLogReserve(pos, LOG_FILE_SIZE)) {
    std::string text = Rec(static_cast<int>(texts.size())) + " -" + std::string(640, 'p');
    text.resize(std::min<size_t>(text.size(), LOG_FILE_SIZE - LOG_HEADER_SIZE - pos - LOG_RECORD_FIXED_SIZE));
    std::vector<uint8_t> record;
    PutRecord(record, TYPE_FILE, KIND_OPEN, text);
    memcpy(&image[LOG_HEADER_SIZE + pos], record.data(), record.size());
    pos += static_cast<uint32_t>(record.size());
    texts.push_back(text);
  }
  ASSERT_TRUE(WriteFileBytes(h.log.path, image));
  h.Start();
  HANDLE ev = OpenEventA(EVENT_MODIFY_STATE, FALSE, SharedObjectName(h.log.event).c_str());
  ASSERT_NE(nullptr, ev);
  SetEvent(ev);
  CloseHandle(ev);
  ASSERT_TRUE(h.WaitLines(texts.size(), kWaitMs)) << h.TextLines().size();
  // Many polls later the lap has not been taken again.
  PumpUntil([] { return false; }, 1500);
  EXPECT_EQ(texts.size(), h.page->Reader().RecordsTaken());
  EXPECT_EQ(0u, h.page->Reader().Wraps());
  auto lines = h.TextLines();
  ASSERT_EQ(texts.size(), lines.size());
  for (size_t i = 0; i < texts.size(); ++i) ASSERT_EQ("File, Read," + texts[i], lines[i]) << i;

  // The stand-in's writer finds no end before the reserve and starts again
  // at 0, over the old records and without a zero word ahead of them.
  AppendRecords(h.log, {Rec(100000), Rec(100001)});
  ASSERT_TRUE(h.WaitLines(texts.size() + 2, kWaitMs));
  PumpUntil([] { return false; }, 700);
  lines = h.TextLines();
  ASSERT_EQ(texts.size() + 2, lines.size());
  EXPECT_EQ("File, Read," + Rec(100000), lines[texts.size()]);
  EXPECT_EQ("File, Read," + Rec(100001), lines[texts.size() + 1]);
  EXPECT_EQ(1u, h.page->Reader().Wraps());
  EXPECT_TRUE(h.page->StopReader());
}

namespace {

struct StuckIcons {
  StuckIcons() {
    g_stuckLookups = 0;
    CLogReadThread::SetIconLookup(&StuckLookup);
  }
  ~StuckIcons() { CLogReadThread::SetIconLookup(nullptr); }
};

}  // namespace

TEST(LogPage, AReaderStuckWhereTheQuitEventCannotReachIsGivenUpInTime) {
  StuckIcons stuck;
  PageHost h;
  h.Start();
  ASSERT_EQ(0u, h.SimRecord(TYPE_FILE, KIND_RUN, "2026-12-07 10:15:02,\\\\server\\share\\a.exe,Denied : C:\\b.exe"));
  ASSERT_TRUE(PumpUntil([] { return g_stuckLookups > 0; }, 5000));
  const DWORD start = GetTickCount();
  EXPECT_FALSE(h.page->StopReader());
  const DWORD took = GetTickCount() - start;
  EXPECT_LT(took, 9000u);
  EXPECT_TRUE(h.page->Reader().Abandoned());
  EXPECT_FALSE(h.page->LogFile()->IsOpen());
  // The record the reader took is in the text log, though it never got its row.
  EXPECT_EQ(1u, h.TextLines().size());
  EXPECT_EQ(0, h.Rows());
  // The page and the list go without waiting again, and this thread's list
  // work goes on.
  const DWORD before = GetTickCount();
  h.page.reset();
  EXPECT_LT(GetTickCount() - before, 1000u);
}

TEST(LogPage, AfterThePurgeTheNewestRowsStayInViewAndNoFrameIsEmpty) {
  PageHost h;
  h.Start();
  // Paints of the list while it is empty, once it has had rows.
  static int emptyPaints;
  static bool hadRows;
  emptyPaints = 0;
  hadRows = false;
  SetWindowSubclass(
      h.List(),
      [](HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) -> LRESULT {
        if (msg == WM_PAINT) {
          const int n = ListView_GetItemCount(wnd);
          if (n > 0) hadRows = true;
          if (n == 0 && hadRows) ++emptyPaints;
        }
        return DefSubclassProc(wnd, msg, wp, lp);
      },
      1, 0);
  auto inView = [&] {
    const int top = ListView_GetTopIndex(h.List());
    const int perPage = ListView_GetCountPerPage(h.List());
    return top + perPage >= h.Rows();
  };
  int sent = 0;
  for (int batch = 0; batch < 11; ++batch) {
    std::vector<std::string> texts;
    for (int i = 0; i < 95; ++i) texts.push_back(Rec(sent++));
    AppendRecords(h.log, texts);
    ASSERT_TRUE(h.WaitRows(sent, kWaitMs)) << batch;
    UpdateWindow(h.List());
    EXPECT_TRUE(inView()) << batch;
  }
  ASSERT_GT(h.Rows(), CLogReadThread::kMaxRows);
  std::vector<std::string> texts;
  for (int i = 0; i < 60; ++i) texts.push_back(Rec(sent++));
  AppendRecords(h.log, texts);
  ASSERT_TRUE(PumpUntil([&] { return h.Rows() == 60; }, 5000));
  UpdateWindow(h.List());
  EXPECT_GT(ListView_GetTopIndex(h.List()), 0);
  EXPECT_TRUE(inView());
  // More rows keep the end in view.
  AppendRecords(h.log, {Rec(sent++), Rec(sent++)});
  ASSERT_TRUE(h.WaitRows(62, kWaitMs));
  EXPECT_TRUE(inView());
  EXPECT_EQ("C:\\d\\f" + std::to_string(sent - 1) + ".txt", h.Cell(61, 4));
  EXPECT_EQ(0, emptyPaints);
  RemoveWindowSubclass(h.List(), nullptr, 1);
}

TEST(LogPage, EachPassReachesTheListsThreadOnceForAllItsRows) {
  PageHost h;
  h.Start();
  std::vector<std::string> texts;
  for (int i = 0; i < 80; ++i) texts.push_back(Rec(i));
  const long before = CListCtrlStyled::CrossThreadCalls();
  AppendRecords(h.log, texts);
  ASSERT_TRUE(h.WaitRows(80, kWaitMs));
  PumpUntil([] { return false; }, 300);
  // One pass took the 80 records; polls that found nothing cost nothing.
  EXPECT_LE(CListCtrlStyled::CrossThreadCalls() - before, 2);
}

TEST(LogPage, OwnRecordsAreMatchedWithTheLettersOfTheSystemCodePage) {
  // A program path with a letter beyond ASCII, written in capitals by the
  // engine (the ANSI code page of this system has the letter in both cases).
  char upper[] = "\xC4", lower[] = "\xC4";
  CharLowerBuffA(lower, 1);
  ASSERT_NE(upper[0], lower[0]) << "code page " << GetACP();
  PageHost h;
  h.page = std::make_unique<CDlgPageLog>();
  h.page->SetLogSource(h.log.path, h.log.mapping, h.log.event);
  h.page->Reader().SetTextLogPath(h.textLog);
  h.page->Reader().SetOwnerPath(std::string("C:\\Tools\\") + lower + "rger\\Varnokel.exe");
  ASSERT_TRUE(h.page->Create(h.frame));
  AppendRecords(h.log, {std::string("12:00,C:\\TOOLS\\") + upper + "RGER\\VARNOKEL.EXE,Denied : C:\\x.txt",
                        "12:01,C:\\other.exe,Denied : C:\\y.txt"});
  ASSERT_TRUE(h.WaitRows(1, kWaitMs));
  PumpUntil([] { return false; }, 300);
  EXPECT_EQ(1, h.Rows());
  EXPECT_EQ("C:\\other.exe", h.Cell(0, 2));
  EXPECT_EQ(1u, h.TextLines().size());
}

namespace {

// An icon lookup that holds the reader until the test lets it go.
HANDLE g_lookupGate = nullptr;
int HeldLookup(const std::string&) {
  WaitForSingleObject(g_lookupGate, 60000);
  return 0;
}

// Appends records in this process without signalling, as fast as memory
// allows: the writer goes round the file while the reader waits.
void Flood(const TempLog& t, int first, int count) {
  CLogFile w(CLogFile::kNoEvent);
  ASSERT_EQ(0, w.Open(t.path.c_str(), t.mapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  MutexLock wl(w.WriteMutex());
  MutexLock rl(w.ReadMutex());
  uint32_t pos = FindLogWritePosition(w.GetReadBase(), w.GetMaxSize());
  for (int i = first; i < first + count; ++i)
    pos = AppendLogRecord(w.GetReadBase(), w.GetMaxSize(), pos, TYPE_FILE, KIND_OPEN, Rec(i));
}

// The texts the log holds, oldest first.
std::vector<std::string> LogHolds(const TempLog& t) {
  const auto bytes = ReadFileBytes(t.path);
  const LogHistory history = ReadLogHistory(bytes.data() + LOG_HEADER_SIZE, static_cast<uint32_t>(bytes.size()));
  std::vector<std::string> texts;
  for (const auto& item : history.items) texts.push_back("File, Read," + item->text);
  return texts;
}

}  // namespace

// A writer that goes round the whole file before the reader gets to its
// records: what it wrote over is lost, but everything the log still holds
// is taken, oldest first, once, and the reader goes on following. Lapped
// before its first read (a flood right after the start) and in the middle
// of following (the reader held up in a shell call).
TEST(LogPage, ALappedReaderTakesWhatTheLogStillHoldsAndGoesOn) {
  for (const bool midway : {false, true}) {
    SCOPED_TRACE(midway ? "lapped while following" : "lapped before the first read");
    PageHost h;
    h.Start();
    std::vector<std::string> expected;
    if (midway) {
      g_lookupGate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
      CLogReadThread::SetIconLookup(&HeldLookup);
      AppendRecords(h.log, {Rec(0)});
      ASSERT_TRUE(PumpUntil([&] { return h.page->Reader().RecordsTaken() == 1; }, kWaitMs));
      expected.push_back("File, Read," + Rec(0));
    }
    // More than a lap of the 5 MB file, all of it before the reader looks.
    Flood(h.log, 1, 100000);
    const std::vector<std::string> holds = LogHolds(h.log);
    ASSERT_GT(holds.size(), 60000u);
    ASSERT_LT(holds.size(), 100000u);
    expected.insert(expected.end(), holds.begin(), holds.end());
    if (midway) {
      SetEvent(g_lookupGate);
    } else {
      AppendRecords(h.log, {});  // the writer's signal
    }
    ASSERT_TRUE(h.WaitLines(expected.size(), kWaitMs)) << h.TextLines().size() << " of " << expected.size();
    // And it goes on from where the writer is.
    AppendRecords(h.log, {Rec(200000)});
    expected.push_back("File, Read," + Rec(200000));
    EXPECT_TRUE(h.WaitLines(expected.size(), kWaitMs));
    PumpUntil([] { return false; }, 300);
    const std::vector<std::string> lines = h.TextLines();
    ASSERT_EQ(expected.size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i) ASSERT_EQ(expected[i], lines[i]) << i;
    EXPECT_EQ(1u, h.page->Reader().Laps());
    EXPECT_TRUE(h.page->StopReader());
    CLogReadThread::SetIconLookup(nullptr);
    if (g_lookupGate) CloseHandle(g_lookupGate);
    g_lookupGate = nullptr;
  }
}
