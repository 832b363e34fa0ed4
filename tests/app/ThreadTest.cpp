// The worker thread and the progress window: done-event semantics, the
// three kinds of job, the tick display and the time limit that gives up a
// rule-file job without leaving the file or its mutexes in a bad state.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <string>
#include <thread>

#include "app/DlgNotify.h"
#include "common/TestSupport.h"
#include "rules/RuleFile.h"
#include "rules/RuleSet.h"
#include "rules/SharedNames.h"

using namespace testsupport;

namespace {

// Shortens the progress window's timer for one test.
struct TickPeriod {
  explicit TickPeriod(UINT ms) { CDlgNotify::SetTickPeriod(ms); }
  ~TickPeriod() { CDlgNotify::SetTickPeriod(CDlgNotify::kDefaultTickMs); }
};

struct RuleFileOnDisk {
  std::string dir = MakeTempDir("notify");
  std::string path = dir + "\\QX5Rule.rle";
  std::string mapping = UniqueMapping("notify");
  CRuleFile file;
  int Open(uint32_t access) { return file.Open(path.c_str(), mapping.c_str(), RULE_FILE_SIZE, access, false); }
};

RuleList SomeRules(int n) {
  RuleList rules;
  for (int i = 0; i < n; ++i)
    rules.push_back(
        MakeRule("*", "C:\\data\\file" + std::to_string(i) + ".txt", TYPE_FILE, KIND_OPEN, RULE_MODE_NORMAL));
  return rules;
}

// Holds a named mutex on a thread of its own until told to let go.
class MutexHolder {
 public:
  explicit MutexHolder(const std::string& name) : release_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, name, ready] {
      HANDLE m = CreateMutexA(nullptr, FALSE, SharedObjectName(name).c_str());
      WaitForSingleObject(m, INFINITE);
      SetEvent(ready);
      WaitForSingleObject(release_, INFINITE);
      ReleaseMutex(m);
      CloseHandle(m);
    });
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
  }
  ~MutexHolder() {
    Release();
    CloseHandle(release_);
  }
  void Release() {
    SetEvent(release_);
    if (thread_.joinable()) thread_.join();
  }

 private:
  HANDLE release_;
  std::thread thread_;
};

// A progress window that lets the holder go once it has shown the given
// number of ticks: the job then surely took that long, however busy the
// machine.
class ReleasingAfterTicks : public CDlgNotify {
 public:
  ReleasingAfterTicks(NOTIFY_JOB* job, std::string message, MutexHolder& holder, int ticks)
      : CDlgNotify(nullptr, job, std::move(message)), holder_(holder), ticks_(ticks) {}

 protected:
  void OnTimer(UINT_PTR id) override {
    if (TicksShown() >= ticks_) holder_.Release();
    CDlgNotify::OnTimer(id);
  }

 private:
  MutexHolder& holder_;
  int ticks_;
};

// True when the named mutex can be taken at once and was released properly
// by its last owner (not abandoned).
bool MutexIsFree(const std::string& name) {
  HANDLE m = CreateMutexA(nullptr, FALSE, SharedObjectName(name).c_str());
  DWORD r = WaitForSingleObject(m, 0);
  if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) ReleaseMutex(m);
  CloseHandle(m);
  return r == WAIT_OBJECT_0;
}

}  // namespace

TEST(BaseThread, DoneEventStaysSetForEveryLaterTest) {
  CBaseThread thread;
  EXPECT_FALSE(thread.m_bAutoDelete);
  EXPECT_FALSE(thread.IsDone());
  SetEvent(thread.DoneEvent());
  EXPECT_TRUE(thread.IsDone());
  EXPECT_TRUE(thread.IsDone());  // the successful test set it again
  // Automatically resetting: a plain wait consumes it.
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.DoneEvent(), 0));
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(thread.DoneEvent(), 0));
}

TEST(BaseThread, CreateThreadRunsWithTheGivenPriorityAndOutlivesItsThread) {
  struct Probe : CBaseThread {
    std::atomic<int> priority{-100};
    int Run() override {
      priority = GetThreadPriority(GetCurrentThread());
      SetEvent(m_hDone);
      return 7;
    }
  } probe;
  ASSERT_TRUE(probe.CreateThread(THREAD_PRIORITY_BELOW_NORMAL));
  ASSERT_TRUE(probe.WaitForEnd(5000));
  EXPECT_EQ(THREAD_PRIORITY_BELOW_NORMAL, probe.priority.load());
  DWORD code = 0;
  GetExitCodeThread(probe.m_hThread, &code);
  EXPECT_EQ(7u, code);  // ExitInstance hands on Run's result
  EXPECT_TRUE(probe.IsDone());
  EXPECT_FALSE(probe.CreateThread());  // one thread per object
}

TEST(DlgNotify, FastLoadStillShowsOneTickAndClosesAtFullBar) {
  TickPeriod tick(150);
  RuleFileOnDisk disk;
  ASSERT_EQ(0, disk.Open(CMappedFile::kAccessReadWrite));
  RuleList written = SomeRules(3);
  ASSERT_EQ(0, disk.file.WriteRules(written));

  RuleList loaded;
  NOTIFY_JOB job{};
  job.operations = NOTIFY_LOAD_RULES;
  job.ruleFile = &disk.file;
  job.rules = &loaded;
  CDlgNotify dlg(nullptr, &job, "Loading Rule File...");
  DWORD start = GetTickCount();
  EXPECT_EQ(IDOK, dlg.DoModal());
  DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 140u);
  EXPECT_EQ(1, dlg.TicksShown());
  EXPECT_EQ("Loading Rule File...\nFinish 0%", dlg.LastText());
  EXPECT_EQ(100, dlg.ClosingPosition());
  EXPECT_FALSE(dlg.GaveUp());
  EXPECT_EQ(3u, job.count);
  ASSERT_EQ(3u, loaded.size());
  EXPECT_EQ("C:\\data\\file2.txt", loaded.back()->Dest);
  // The job's own cancel event is gone from the file again.
  EXPECT_EQ(nullptr, disk.file.CancelEvent());
}

TEST(DlgNotify, PercentRisesByFivePerTickWhileTheJobRuns) {
  TickPeriod tick(30);
  RuleFileOnDisk disk;
  ASSERT_EQ(0, disk.Open(CMappedFile::kAccessReadWrite));
  RuleList rules = SomeRules(2);
  // The write waits behind a held Read mutex for a few ticks, then goes on.
  MutexHolder holder(disk.mapping + " Read");
  NOTIFY_JOB job{};
  job.operations = NOTIFY_WRITE_RULES;
  job.ruleFile = &disk.file;
  job.rules = &rules;
  ReleasingAfterTicks dlg(&job, "Writting Rule File...", holder, 3);
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_FALSE(dlg.GaveUp());
  EXPECT_GE(dlg.TicksShown(), 3);
  const std::string expected = "Writting Rule File...\nFinish " + std::to_string((dlg.TicksShown() - 1) * 5) + "%";
  EXPECT_EQ(expected, dlg.LastText());
  EXPECT_EQ(100, dlg.ClosingPosition());
  RuleList back;
  uint32_t count = 0, offset = 0;
  disk.file.ReadRules(back, &count, &offset);
  EXPECT_EQ(2u, back.size());
}

TEST(DlgNotify, TimeLimitDuringAWriteLeavesFileAndMutexesIntact) {
  TickPeriod tick(15);
  RuleFileOnDisk disk;
  ASSERT_EQ(0, disk.Open(CMappedFile::kAccessReadWrite));
  RuleList before = SomeRules(4);
  ASSERT_EQ(0, disk.file.WriteRules(before));
  const std::vector<uint8_t> bytesBefore = ReadFileBytes(disk.path);

  // Somebody (the engine, say) holds the Read mutex for longer than the
  // window's limit.
  MutexHolder holder(disk.mapping + " Read");
  RuleList changed = SomeRules(9);
  NOTIFY_JOB job{};
  job.operations = NOTIFY_WRITE_RULES;
  job.ruleFile = &disk.file;
  job.rules = &changed;
  CDlgNotify dlg(nullptr, &job, "Writting Rule File...");
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_TRUE(dlg.GaveUp());
  EXPECT_EQ(CDlgNotify::kTickLimit + 1, dlg.TicksShown());
  EXPECT_EQ(100, dlg.ClosingPosition());

  // The worker let go of the Write mutex although the Read mutex was never
  // free, and wrote nothing.
  EXPECT_TRUE(MutexIsFree(disk.mapping + " Write"));
  EXPECT_EQ(bytesBefore, ReadFileBytes(disk.path));
  holder.Release();
  EXPECT_TRUE(MutexIsFree(disk.mapping + " Read"));

  // The file object works normally afterwards.
  EXPECT_EQ(nullptr, disk.file.CancelEvent());
  EXPECT_EQ(0, disk.file.WriteRules(changed));
  RuleList back;
  uint32_t count = 0, offset = 0;
  disk.file.ReadRules(back, &count, &offset);
  EXPECT_EQ(9u, back.size());
}

TEST(DlgNotify, TimeLimitDuringALoadGivesAnEmptyListAndFreeMutex) {
  TickPeriod tick(15);
  RuleFileOnDisk disk;
  ASSERT_EQ(0, disk.Open(CMappedFile::kAccessReadWrite));
  RuleList rules = SomeRules(2);
  ASSERT_EQ(0, disk.file.WriteRules(rules));
  MutexHolder holder(disk.mapping + " Read");
  RuleList loaded = SomeRules(1);
  NOTIFY_JOB job{};
  job.operations = NOTIFY_LOAD_RULES;
  job.ruleFile = &disk.file;
  job.rules = &loaded;
  CDlgNotify dlg(nullptr, &job, "Loading Rule File...");
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_TRUE(dlg.GaveUp());
  EXPECT_TRUE(loaded.empty());
  EXPECT_EQ(0u, job.count);
  holder.Release();
  EXPECT_TRUE(MutexIsFree(disk.mapping + " Read"));
}

TEST(DlgNotify, ReaderWaitWithoutThreadEndsAtFirstTickWithCancel) {
  TickPeriod tick(40);
  NOTIFY_JOB job{};
  job.operations = NOTIFY_WAIT_READER;
  CDlgNotify dlg(nullptr, &job, "Stopping Log Read Thread...");
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_EQ(1, dlg.TicksShown());
  EXPECT_EQ(0u, job.stopped);
  EXPECT_EQ(100, dlg.ClosingPosition());
}

TEST(DlgNotify, ReaderWaitSucceedsWhenTheReaderEndsInTime) {
  TickPeriod tick(40);
  // A reader that needs a moment and, like the real one, sends a message to
  // this thread on its way out: the modal loop must keep dispatching.
  HWND sink = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  HANDLE handle = CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        Sleep(150);
        SendMessageA(static_cast<HWND>(p), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("bye"));
        return 0;
      },
      sink, 0, nullptr);
  ASSERT_TRUE(handle);
  NOTIFY_JOB job{};
  job.operations = NOTIFY_WAIT_READER;
  job.thread = handle;
  CDlgNotify dlg(nullptr, &job, "Stopping Log Read Thread...");
  EXPECT_EQ(IDOK, dlg.DoModal());
  CloseHandle(handle);
  EXPECT_EQ(1u, job.stopped);
  EXPECT_EQ(100, dlg.ClosingPosition());
  char text[8] = {};
  GetWindowTextA(sink, text, sizeof text);
  EXPECT_STREQ("bye", text);
  DestroyWindow(sink);
}

TEST(DlgNotify, ReaderWaitGivesUpAfterFiveSeconds) {
  TickPeriod tick(100);
  HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  NOTIFY_JOB job{};
  job.operations = NOTIFY_WAIT_READER;
  job.thread = never;
  job.stopped = 1;  // the worker must clear it
  CDlgNotify dlg(nullptr, &job, "Stopping Log Read Thread...");
  DWORD start = GetTickCount();
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 4900u);
  EXPECT_LT(elapsed, 9000u);
  EXPECT_EQ(0u, job.stopped);
  EXPECT_EQ(100, dlg.ClosingPosition());
  // No time limit in the window for this job: it ran well past 21 ticks.
  EXPECT_GT(dlg.TicksShown(), CDlgNotify::kTickLimit + 1);
  CloseHandle(never);
}

TEST(DlgNotify, EnterAndEscapeDoNotCloseIt) {
  TickPeriod tick(30);
  RuleFileOnDisk disk;
  ASSERT_EQ(0, disk.Open(CMappedFile::kAccessReadWrite));
  RuleList rules = SomeRules(1);
  MutexHolder holder(disk.mapping + " Read");
  struct Pressing : ReleasingAfterTicks {
    using ReleasingAfterTicks::ReleasingAfterTicks;
    BOOL OnInitDialog() override {
      BOOL r = CDlgNotify::OnInitDialog();
      // Enter and Escape arrive as IDOK and IDCANCEL commands.
      PostMessageA(m_hWnd, WM_COMMAND, IDOK, 0);
      PostMessageA(m_hWnd, WM_COMMAND, IDCANCEL, 0);
      PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return r;
    }
  };
  NOTIFY_JOB job{};
  job.operations = NOTIFY_WRITE_RULES;
  job.ruleFile = &disk.file;
  job.rules = &rules;
  Pressing dlg(&job, "Writting Rule File...", holder, 4);
  EXPECT_EQ(IDOK, dlg.DoModal());
  // It stayed until the job was done, several ticks later.
  EXPECT_GE(dlg.TicksShown(), 4);
  EXPECT_FALSE(dlg.GaveUp());
  EXPECT_EQ(100, dlg.ClosingPosition());
}
