// CLogReadThread: follows the activity log for the life of the Log page. It
// waits for the writer's first signal, then polls the log every 66 ms: full
// batches of 100 records go to the plain-text copy of the log only (counted
// in one summary row), the last partial batch is also shown in the page's
// list, newest at the bottom.
//
// Stopping: the page sets the quit event (manual-reset). Every wait of the
// reader watches it: the wait for the first signal, the pauses between polls
// and the log's Read mutex (through the log file's cancel event). The reader
// then ends by itself, releasing everything. Its calls into the list are
// messages to the page's thread, which keeps dispatching them while it waits
// (behind the progress window). A reader stuck where the quit event cannot
// reach it (a shell lookup or a write on a network share that never
// returns) is given up after a bound: it is suspended, so that it never
// touches what the page frees, and left to the process's end.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/BaseThread.h"
#include "framework/Handle.h"
#include "log/LogFields.h"
#include "log/LogFollower.h"
#include "log/LogRecord.h"
#include "log/LogText.h"

class CDlgPageLog;
class CLogFile;
class CListCtrlStyled;

// What the page hands to its reader.
struct ReaderParams {
  CDlgPageLog* page;
  CLogFile* logFile;
  CListCtrlStyled* list;
  uint32_t* batchCount;
  uint32_t* readPos;
  LogItemList* itemList;
  uint32_t reserved;
};

// One record as the reader took it, for whoever watches the log.
struct TakenRecord {
  LogRecordFields fields;
  bool own = false;      // the program's own record (never shown)
  bool backlog = false;  // taken in the reader's first pass: what the log held at start
  int row = -1;          // its row in the list; -1 when not shown
};

// Told about every record the reader takes, on the list's thread, once the
// rows of a batch are in the list (so the rows named are there).
class ILogRecordObserver {
 public:
  virtual void OnRecordsTaken(const std::vector<TakenRecord>& records) = 0;

 protected:
  ~ILogRecordObserver() = default;
};

class CLogReadThread : public CBaseThread {
 public:
  static constexpr DWORD kPollMs = 66;
  static constexpr DWORD kFirstSignalSettleMs = 200;
  static constexpr uint32_t kBatch = 100;
  static constexpr int kMaxRows = 1000;
  static constexpr COLORREF kSummaryColour = LOG_SUMMARY_COLOUR;
  // How long a stop may take after the progress window has closed.
  static constexpr DWORD kStopLimitMs = 1500;

  CLogReadThread();
  ~CLogReadThread() override;

  ReaderParams* m_pParams = nullptr;  // not owned

  // Asks the reader to end; it does so at its next wait.
  void RequestStop() const { SetEvent(quit_.Get()); }
  HANDLE QuitEvent() const { return quit_.Get(); }
  // Waits for the thread to end while dispatching this thread's messages;
  // false when it has not ended within ms.
  bool WaitForEndDispatching(DWORD ms = INFINITE) const;
  // Gives up a reader that did not end: it never runs again and is not
  // waited for. The process's end takes it.
  void Abandon();
  bool Abandoned() const { return abandoned_; }

  // Finds the system icon index of a path; tests replace it (null: the
  // shell's lookup).
  using IconLookup = int (*)(const std::string& path);
  static void SetIconLookup(IconLookup lookup);
  // Set by the reader (twice, as it ends) so that a waiter sees it.
  HANDLE StopEvent() const { return stop_.Get(); }

  // Where the plain-text copy goes (default: the program file's path +
  // ".log") and whose records are the program's own (default: the program
  // file). Set before the thread starts.
  void SetTextLogPath(const std::string& path) {
    textLogPath_ = path;
    textLogPathSet_ = true;
  }
  void SetOwnerPath(const std::string& path) {
    ownerPath_ = path;
    ownerPathSet_ = true;
  }
  const std::string& TextLogPath() const { return textLogPath_; }
  // Who is told about the records taken (null: nobody). It must outlive the
  // reader or be taken away first.
  void SetObserver(ILogRecordObserver* observer) { observer_ = observer; }

  // Records taken from the log and rows added, for the page's tests.
  uint64_t RecordsTaken() const { return recordsTaken_.load(); }
  uint64_t Wraps() const { return wraps_.load(); }
  uint64_t Resyncs() const { return resyncs_.load(); }
  // Times the writer went round past the reader.
  uint64_t Laps() const { return laps_.load(); }
  // Whether the reader has noted what the log held when it started (its
  // backlog): records written from then on are new ones.
  bool BacklogNoted() const { return backlogNoted_.load(); }

 protected:
  int Run() override;

 private:
  void Body();
  bool Quit(DWORD waitMs) const;
  // One batch from the follower (the lap rule is its).
  int ReadBatch();
  void WriteTextLog(const LOGFILE_ITEM& item);
  void FlushTextLog();
  // A row as it goes into the list: the first column's text, other
  // columns' texts, the first column's image (-1: none) and the background.
  struct PreparedRow {
    std::string first;
    std::vector<std::pair<int, std::string>> texts;
    int image = -1;
    bool coloured = false;
    COLORREF back = 0;
    size_t taken = SIZE_MAX;  // its entry among the records taken, if any
    LPARAM data = 0;          // LogRowData for a record's row
  };
  PreparedRow SummaryRow(uint32_t notShown);
  PreparedRow RecordRow(const LOGFILE_ITEM& item);
  // Empties the list first when it holds more than kMaxRows rows; follows
  // the end when the user was there.
  void ShowRows(const std::vector<PreparedRow>& rows, std::vector<TakenRecord>& taken);
  // Tells the observer about records taken that have no row.
  void Report(std::vector<TakenRecord>& taken);
  int IconOf(const std::string& path);

  UniqueHandle quit_;
  UniqueHandle stop_;
  std::string textLogPath_;
  std::string ownerPath_;
  bool ownerPathSet_ = false;
  bool textLogPathSet_ = false;
  bool abandoned_ = false;

  // Reader-local state.
  std::string ownerLower_;
  std::string summaryFormat_;
  HANDLE textLog_ = INVALID_HANDLE_VALUE;
  std::string pending_;  // text-log bytes not written yet
  std::unordered_map<std::string, int> icons_;
  std::atomic<uint64_t> recordsTaken_{0};
  std::atomic<uint64_t> wraps_{0};
  std::atomic<uint64_t> resyncs_{0};
  std::atomic<ILogRecordObserver*> observer_{nullptr};
  std::atomic<uint64_t> laps_{0};
  std::atomic<bool> backlogNoted_{false};
  std::unique_ptr<CLogFollower> follower_;

  friend class CDlgPageLog;
};
