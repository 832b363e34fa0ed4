// Log benchmark (not a test): prints how long taking a full 5 MB backlog
// costs, and how long adding 1000 rows to the styled list takes, each as a
// ratio to a baseline measured in the same run.
//
//   backlog, reader pass   ReadItems in batches of 100 plus the text-log
//                          line of every record (the reader's work for full
//                          batches), against copying the same bytes out of
//                          the view and writing them to a file.
//   backlog, Log page      a real Log page on that log: from the writer's
//                          signal until its reader has taken every record.
//   1000 rows, styled      the page's calls for one record (row, image, four
//                          texts, background, style) under a redraw lock,
//                          plus one paint, against a plain list view with the
//                          same texts and image and one paint.
// Then two limits rather than ratios, on a real Log page:
//   record to screen       from appending one record (and signalling) until
//                          its row is in the list; at most 150 ms.
//   answer under a flood   the longest wait for the page's window to answer a
//                          message while engine-sim appends 50,000 records as
//                          fast as it can; at most 100 ms.
// With --profile the styled list's time is also split by operation.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/DlgNotify.h"
#include "bench/BenchClock.h"
#include "framework/Dialog.h"
#include "framework/Handle.h"
#include "framework/Module.h"
#include "log/DlgPageLog.h"
#include "log/LogFile.h"
#include "log/LogText.h"
#include "resource.h"
#include "rules/RuleRecord.h"
#include "settings/Settings.h"
#include "ui/ListCtrlStyled.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

std::string TempDir() {
  char base[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, base);
  std::string dir = std::string(base) + "vk_bench_log_" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

std::string RecordText(uint32_t i) {
  static const char* processes[] = {"C:\\Windows\\explorer.exe", "C:\\Program Files\\Mozilla Firefox\\firefox.exe",
                                    "C:\\Windows\\System32\\svchost.exe"};
  return "2026-12-07 10:15:02," + std::string(processes[i % 3]) + ",Denied : C:\\Users\\bob\\Documents\\file" +
         std::to_string(i) + ".doc";
}

// Fills the log with one lap of records, stopping before the record that
// would close the lap; returns how many and their bytes.
uint32_t FillLog(CLogFile& log, uint64_t& bytes) {
  uint32_t pos = 0, n = 0;
  for (;;) {
    const std::string text = RecordText(n);
    if (IsInLogReserve(uint64_t{pos} + LOG_RECORD_FIXED_SIZE + text.size(), log.GetMaxSize())) break;
    pos = AppendLogRecord(log.GetReadBase(), log.GetMaxSize(), pos, TYPE_FILE,
                          KIND_OPEN | (n % 5 == 0 ? KIND_MODIFY : 0), text);
    ++n;
  }
  bytes = pos;
  return n;
}

struct Row {
  const char* what;
  double ms;
  double baseMs;
  const char* baseline;
};

void PrintTable(const std::vector<Row>& rows) {
  printf("%-28s %10s %10s %7s  %s\n", "measure", "ms", "base ms", "ratio", "baseline");
  for (const Row& r : rows)
    printf("%-28s %10.1f %10.1f %7.2f  %s\n", r.what, r.ms, r.baseMs, r.baseMs > 0 ? r.ms / r.baseMs : 0.0, r.baseline);
}

template <typename F>
double Best(int runs, F f) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) best = std::min(best, f());
  return best;
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

class Page : public CDialogBase {
 public:
  Page() : CDialogBase(IDD_PAGE_LOG) {}
};

// A real Log page on a log of its own, in a visible frame.
struct LivePage {
  std::string path, mapping, event;
  HWND frame = nullptr;
  std::unique_ptr<CDlgPageLog> page;
  LivePage(const std::string& dir, const std::string& name) {
    path = dir + "\\" + name + ".log";
    DeleteFileA(path.c_str());
    const std::string tag = name + "." + std::to_string(GetCurrentProcessId());
    mapping = "VkBench.live." + tag;
    event = "VkBench.liveEvent." + tag;
    frame = CreateWindowExA(0, "STATIC", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 1000, 600, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
    page = std::make_unique<CDlgPageLog>();
    page->SetLogSource(path, mapping, event);
    page->Reader().SetTextLogPath(dir + "\\" + name + ".txt");
    page->Create(frame);
    SetWindowPos(page->m_hWnd, nullptr, 0, 0, 1000, 600, SWP_NOZORDER | SWP_SHOWWINDOW);
  }
  ~LivePage() {
    page.reset();
    DestroyWindow(frame);
  }
};

// Pumps this thread's messages until done() or ms have passed.
template <typename F>
bool PumpUntil(F done, double ms) {
  const auto t0 = Clock::now();
  while (!done()) {
    if (Ms(t0, Clock::now()) > ms) return false;
    Pump();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
  }
  return true;
}

// Appends one record the way the engine does (under both mutexes of the
// log) and signals it; returns the new end.
uint32_t WriteOne(CLogFile& log, const std::string& mapping, uint32_t pos, uint32_t n) {
  HANDLE write = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, (mapping + " Write").c_str());
  HANDLE read = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, (mapping + " Read").c_str());
  if (write) WaitForSingleObject(write, INFINITE);
  if (read) WaitForSingleObject(read, INFINITE);
  pos = AppendLogRecord(log.GetReadBase(), log.GetMaxSize(), pos, TYPE_FILE, KIND_OPEN, RecordText(n));
  if (read) ReleaseMutex(read), CloseHandle(read);
  if (write) ReleaseMutex(write), CloseHandle(write);
  SetEvent(log.WrittenEvent());
  return pos;
}

std::string BenchDir() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir = path;
  return dir.substr(0, dir.find_last_of('\\'));
}

}  // namespace

int main(int argc, char** argv) {
  const bool profile = argc > 1 && std::string(argv[1]) == "--profile";
  SetAppInstance(GetModuleHandleA(nullptr));
  OleInitialize(nullptr);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  const std::string dir = TempDir();
  const std::string path = dir + "\\QX5.log";
  const std::string tag = std::to_string(GetCurrentProcessId());
  const std::string mapping = "VkBench.log." + tag, event = "VkBench.event." + tag;
  std::vector<Row> rows;

  CLogFile writer(event.c_str());
  if (writer.Open(path.c_str(), mapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessReadWrite, false) != 0) {
    fprintf(stderr, "cannot open %s\n", path.c_str());
    return 1;
  }
  uint64_t bytes = 0;
  const uint32_t records = FillLog(writer, bytes);
  printf("backlog: %u records, %.2f MB\n\n", records, bytes / 1048576.0);

  // Reader pass: batches of 100 and one text-log line per record.
  const std::string textPath = dir + "\\text.log";
  uint32_t taken = 0;
  const double readerMs = Best(5, [&] {
    DeleteFileA(textPath.c_str());
    CLogFile reader(event.c_str());
    reader.Open(path.c_str(), mapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessReadWrite, false);
    FILE* text = fopen(textPath.c_str(), "a");
    auto t0 = Clock::now();
    LogItemList items;
    uint32_t pos = 0;
    taken = 0;
    for (;;) {
      uint32_t count = 100;
      const int r = reader.ReadItems(items, &count, &pos);
      for (const auto& item : items) {
        const std::string line = TextLogLine(*item);
        fwrite(line.data(), 1, line.size(), text);
      }
      fflush(text);
      taken += count;
      if (r != 0) break;
    }
    fclose(text);
    auto t1 = Clock::now();
    reader.CloseLog(0);
    return Ms(t0, t1);
  });
  // Baseline: the same bytes copied out of the view and written.
  const double copyMs = Best(5, [&] {
    DeleteFileA(textPath.c_str());
    auto t0 = Clock::now();
    std::vector<char> copy(bytes);
    memcpy(copy.data(), writer.GetReadBase(), bytes);
    FILE* text = fopen(textPath.c_str(), "a");
    fwrite(copy.data(), 1, copy.size(), text);
    fflush(text);
    fclose(text);
    return Ms(t0, Clock::now());
  });
  if (taken != records) printf("warning: the reader took %u of %u records\n", taken, records);
  rows.push_back({"backlog, reader pass", readerMs, copyMs, "copy + write the bytes"});

  // The Log page end to end: a top-level frame, the page, one signal.
  g_bLogIntoFile = 1;
  CDlgNotify::SetTickPeriod(50);
  const double pageMs = Best(3, [&] {
    DeleteFileA(textPath.c_str());
    HWND frame = CreateWindowExA(0, "STATIC", "bench", WS_POPUP, 0, 0, 1000, 600, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    auto page = std::make_unique<CDlgPageLog>();
    page->SetLogSource(path, mapping, event);
    page->Reader().SetTextLogPath(textPath);
    page->Create(frame);
    auto t0 = Clock::now();
    SetEvent(writer.WrittenEvent());
    while (page->Reader().RecordsTaken() < records) {
      Pump();
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
      if (Ms(t0, Clock::now()) > 60000) break;
    }
    auto t1 = Clock::now();
    page.reset();
    DestroyWindow(frame);
    // The first signal is followed by a fixed 200 ms pause before reading.
    return Ms(t0, t1) - 200.0;
  });
  rows.push_back({"backlog, Log page (-200ms)", pageMs, copyMs, "copy + write the bytes"});

  // 1000 rows: styled list as the page fills it, against a plain list.
  HWND frame = CreateWindowExA(0, "STATIC", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 1000, 600, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  Page host;
  host.Create(frame);
  SetWindowPos(host, nullptr, 0, 0, 1000, 600, SWP_NOZORDER | SWP_SHOWWINDOW);
  HWND list = host.Item(IDC_LOG_LIST);
  SetWindowPos(list, nullptr, 0, 0, 1000, 600, SWP_NOZORDER);
  ListView_SetExtendedListViewStyle(list, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  for (int c = 0; c < 5; ++c) {
    LVCOLUMNA col{};
    col.mask = LVCF_WIDTH;
    col.cx = 150;
    ListView_InsertColumn(list, c, &col);
  }
  const char* texts[4] = {"File", "C:\\Windows\\explorer.exe", "Denied Read", "C:\\Users\\bob\\plan.doc"};
  auto paint = [&] {
    HDC screen = GetDC(list);
    MemoryDC mem(screen, 1000, 600);
    ReleaseDC(list, screen);
    SendMessageA(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem.Get()), PRF_CLIENT | PRF_ERASEBKGND);
  };
  const double plainMs = Best(3, [&] {
    ListView_DeleteAllItems(list);
    auto t0 = Clock::now();
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    for (int r = 0; r < 1000; ++r) {
      LVITEMA item{};
      item.mask = LVIF_TEXT | LVIF_IMAGE;
      item.iItem = r;
      item.pszText = const_cast<char*>("2026-12-07 10:15:02");
      const int row = ListView_InsertItem(list, &item);
      for (int c = 1; c < 5; ++c) {
        LVITEMA sub{};
        sub.iSubItem = c;
        sub.pszText = const_cast<char*>(texts[c - 1]);
        SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&sub));
      }
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    paint();
    auto t1 = Clock::now();
    ListView_DeleteAllItems(list);
    return Ms(t0, t1);
  });
  CListCtrlStyled styled;
  styled.Attach(list);
  const double styledMs = Best(3, [&] {
    styled.DeleteAllRows();
    auto t0 = Clock::now();
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    for (int r = 0; r < 1000; ++r) {
      const int row = styled.InsertRow(r, "2026-12-07 10:15:02");
      styled.SetCellImage(row, 0, 0);
      for (int c = 1; c < 5; ++c) styled.SetCellText(row, c, texts[c - 1]);
      styled.SetRowBackground(row, r % 2 ? RGB(200, 230, 255) : RGB(255, 190, 190), false);
      styled.SetRowStyle(row, CListCtrlStyled::kBackColour, true);
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    paint();
    auto t1 = Clock::now();
    return Ms(t0, t1);
  });
  styled.DeleteAllRows();
  rows.push_back({"1000 rows, styled list", styledMs, plainMs, "plain list view, same texts"});
  if (profile) {
    double t[6] = {};
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    for (int r = 0; r < 1000; ++r) {
      auto a = Clock::now();
      const int row = styled.InsertRow(r, "2026-12-07 10:15:02");
      auto b = Clock::now();
      styled.SetCellImage(row, 0, 0);
      auto c = Clock::now();
      for (int k = 1; k < 5; ++k) styled.SetCellText(row, k, texts[k - 1]);
      auto d = Clock::now();
      styled.SetRowBackground(row, RGB(200, 230, 255), false);
      auto e = Clock::now();
      styled.SetRowStyle(row, CListCtrlStyled::kBackColour, true);
      auto f = Clock::now();
      t[0] += Ms(a, b);
      t[1] += Ms(b, c);
      t[2] += Ms(c, d);
      t[3] += Ms(d, e);
      t[4] += Ms(e, f);
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    auto g = Clock::now();
    paint();
    t[5] = Ms(g, Clock::now());
    printf("insert %.1f image %.1f texts %.1f back %.1f style %.1f paint %.1f\n", t[0], t[1], t[2], t[3], t[4], t[5]);
    styled.DeleteAllRows();
  }
  DestroyWindow(frame);

  PrintTable(rows);

  // Record to screen: one record at a time, each waited for.
  {
    LivePage live(dir, "latency");
    CLogFile log(live.event.c_str());
    log.Open(live.path.c_str(), live.mapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessReadWrite, false);
    uint32_t pos = WriteOne(log, live.mapping, 0, 0);
    CListCtrlStyled& list = live.page->List();
    PumpUntil([&] { return list.RowCount() >= 1; }, 10000);
    std::vector<double> waits;
    for (uint32_t n = 1; n <= 30; ++n) {
      const int before = list.RowCount();
      // Records arrive at any point of the reader's 66 ms cycle.
      PumpUntil([] { return false; }, 7 + (n * 37) % 60);
      const auto t0 = Clock::now();
      pos = WriteOne(log, live.mapping, pos, n);
      if (!PumpUntil([&] { return list.RowCount() > before; }, 5000)) break;
      waits.push_back(Ms(t0, Clock::now()));
    }
    log.CloseLog(0);
    if (!waits.empty())
      printf("\nrecord to screen (%zu records)   median %.1f ms, longest %.1f ms (limit 150 ms)\n", waits.size(),
             bench::Median(waits), *std::max_element(waits.begin(), waits.end()));
  }

  // Answers under a flood: a second thread sends the page's window a
  // message every 10 ms and keeps the longest answer.
  {
    LivePage live(dir, "flood");
    const std::string sim = BenchDir() + "\\engine-sim.exe";
    std::string cmd = "\"" + sim + "\" log --path \"" + live.path + "\" --mapping " + live.mapping + " --event " +
                      live.event + " --generate 50000";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
      struct Probe {
        HWND target;
        std::atomic<bool> stop{false}, done{false};
        double longest = 0;
        int answers = 0;
      } probe{live.page->m_hWnd};
      std::thread thread([&probe] {
        while (!probe.stop) {
          const auto t0 = Clock::now();
          DWORD_PTR r = 0;
          SendMessageTimeoutA(probe.target, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &r);
          probe.longest = std::max(probe.longest, Ms(t0, Clock::now()));
          ++probe.answers;
          Sleep(10);
        }
        probe.done = true;
      });
      const auto t0 = Clock::now();
      PumpUntil([&] { return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; }, 120000);
      const double writeMs = Ms(t0, Clock::now());
      // The reader catches up with the last records.
      PumpUntil([&] { return live.page->Reader().RecordsTaken() >= 50000; }, 10000);
      probe.stop = true;
      // The probe may be waiting for an answer from this thread.
      PumpUntil([&] { return probe.done.load(); }, 20000);
      thread.join();
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
      printf(
          "answer under a flood              longest %.1f ms of %d answers (limit 100 ms); 50,000 records "
          "written in %.0f ms, %llu taken\n",
          probe.longest, probe.answers, writeMs, static_cast<unsigned long long>(live.page->Reader().RecordsTaken()));
    } else {
      printf("answer under a flood              engine-sim.exe not found beside the benchmark\n");
    }
  }
  writer.CloseLog(0);
  DeleteFileA(textPath.c_str());
  OleUninitialize();
  return 0;
}
