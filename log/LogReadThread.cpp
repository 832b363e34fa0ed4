#include "log/LogReadThread.h"

#include <objbase.h>
#include <shellapi.h>

#include <exception>

#include "crash/ExceptionGuard.h"
#include "framework/Module.h"
#include "framework/Trace.h"
#include "log/LogFile.h"
#include "log/LogText.h"
#include "resource.h"
#include "settings/Settings.h"
#include "ui/ListCtrlStyled.h"

namespace {

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// Locks the list's window updates while a batch of rows goes in.
class RedrawLock {
 public:
  explicit RedrawLock(HWND list) : list_(list) {
    if (list_) SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
  }
  ~RedrawLock() {
    if (!list_) return;
    SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, FALSE);
  }
  RedrawLock(const RedrawLock&) = delete;
  RedrawLock& operator=(const RedrawLock&) = delete;

 private:
  HWND list_;
};

}  // namespace

CLogReadThread::CLogReadThread()
    : quit_(CreateEventA(nullptr, TRUE, FALSE, nullptr)), stop_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

CLogReadThread::~CLogReadThread() {
  // The owner stops the thread before destroying it; a thread that is still
  // running here would use freed memory, so ask it to end and wait.
  if (m_hThread && !WaitForEnd(0)) {
    RequestStop();
    WaitForEndDispatching();
  }
}

void CLogReadThread::WaitForEndDispatching() const {
  // The reader may be inside a call to the list, which this thread has to
  // dispatch for it to return.
  while (!WaitForEnd(0)) {
    HANDLE thread = m_hThread;
    MsgWaitForMultipleObjects(1, &thread, FALSE, 1000, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

bool CLogReadThread::Quit(DWORD waitMs) const { return WaitForSingleObject(quit_.Get(), waitMs) == WAIT_OBJECT_0; }

int CLogReadThread::Run() {
  // The whole run is guarded; after a crash report the end is signalled
  // all the same.
  RunGuarded("DlgPageLog - CLogReadThread::Run", [this] {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    try {
      Body();
    } catch (const std::exception& e) {
      Trace(std::string("DlgPageLog - CLogReadThread::Run:") + e.what() + "\n");
    } catch (...) {
      Trace("DlgPageLog - CLogReadThread::Run:unknown exception\n");
    }
    if (textLog_) {
      fclose(textLog_);
      textLog_ = nullptr;
    }
    if (m_pParams && m_pParams->logFile) m_pParams->logFile->SetCancelEvent(nullptr);
    if (SUCCEEDED(com)) CoUninitialize();
  });
  // Twice, as the stop event resets itself on every successful wait.
  SetEvent(stop_.Get());
  SetEvent(m_hDone);
  return 0;
}

int CLogReadThread::ReadBatch() {
  ReaderParams& p = *m_pParams;
  p.itemList->clear();
  *p.batchCount = kBatch;
  const uint32_t from = *p.readPos;
  const int result = p.logFile->ReadItems(*p.itemList, p.batchCount, p.readPos);
  if (from == 0 && !p.itemList->empty()) {
    lapFirst_ = *p.itemList->front();
    haveLapFirst_ = true;
  }
  if (result == -4) {
    // A chain that merely runs up to the reserve (a writer that stops
    // there, a restored file) is not a new lap: the reader waits here
    // instead of taking the same records again.
    if (p.logFile->NewLapStarted(haveLapFirst_ ? &lapFirst_ : nullptr) == 1) {
      *p.readPos = 0;
      haveLapFirst_ = false;
      ++wraps_;
    }
  } else if (result == -3 && *p.batchCount == 0 && p.logFile->Resync(p.readPos) == 1) {
    // The records skipped belong to the writer's lap that began at 0.
    haveLapFirst_ = p.logFile->FirstItem(lapFirst_) == 1;
    ++resyncs_;
  }
  recordsTaken_ += *p.batchCount;
  return result;
}

void CLogReadThread::Body() {
  summaryFormat_ = LoadStr(IDS_ITEMS_NOT_DISPLAYED);
  if (summaryFormat_.empty()) summaryFormat_ = "%d Items Not Displayed, Saved in This Log File";
  ownerLower_ = LowerAscii(ownerPathSet_ ? ownerPath_ : ModulePath());
  if (ownerLower_.size() > MAX_PATH) ownerLower_.resize(MAX_PATH);

  if (g_bLogIntoFile.load()) {
    if (!textLogPathSet_) {
      textLogPath_ = ModulePath();
      if (textLogPath_.size() > LOG_MAX_TEXT) textLogPath_.resize(LOG_MAX_TEXT);
      textLogPath_ += ".log";
    }
    textLog_ = fopen(textLogPath_.c_str(), "a");
  }
  if (!m_pParams || !m_pParams->logFile || !m_pParams->list) return;
  ReaderParams& p = *m_pParams;
  // The log's Read mutex wait ends when the page asks the reader to stop.
  p.logFile->SetCancelEvent(quit_.Get());

  // The writer's first signal; the reader polls on its own after it.
  UniqueHandle written(CreateEventA(nullptr, FALSE, FALSE, p.logFile->EventName().c_str()));
  HANDLE waits[2] = {quit_.Get(), written.Get()};
  const DWORD first = WaitForMultipleObjects(written ? 2 : 1, waits, FALSE, INFINITE);
  if (first != WAIT_OBJECT_0 + 1) return;
  if (Quit(kFirstSignalSettleMs)) return;

  uint32_t notShown = 0;
  for (;;) {
    ReadBatch();
    // Full batches mean more is waiting: they go to the text log only.
    bool quit = false;
    while (*p.batchCount == kBatch) {
      notShown += kBatch;
      for (const auto& item : *p.itemList)
        if (!IsOwnRecord(item->text, ownerLower_)) WriteTextLog(*item);
      if ((quit = Quit(0))) break;
      ReadBatch();
    }
    if (quit || Quit(0)) {
      // Records already taken still reach the text log.
      if (*p.batchCount < kBatch)
        for (const auto& item : *p.itemList)
          if (!IsOwnRecord(item->text, ownerLower_)) WriteTextLog(*item);
      break;
    }
    if (notShown > 0) {
      AddSummaryRow(notShown);
      notShown = 0;
    }
    if (*p.batchCount > 0) {
      if (p.list->RowCount() > kMaxRows) p.list->DeleteAllRows();
      // Follow the newest row only when the user was looking at the end.
      const int before = p.list->RowCount();
      const HWND listWnd = p.list->GetSafeHwnd();
      bool atEnd = before == 0;
      if (!atEnd && listWnd) {
        const int top = static_cast<int>(SendMessageA(listWnd, LVM_GETTOPINDEX, 0, 0));
        const int perPage = static_cast<int>(SendMessageA(listWnd, LVM_GETCOUNTPERPAGE, 0, 0));
        atEnd = top + perPage >= before;
      }
      {
        RedrawLock lock(listWnd);
        for (const auto& item : *p.itemList) {
          if (IsOwnRecord(item->text, ownerLower_)) continue;
          WriteTextLog(*item);
          ShowRecord(*item);
        }
      }
      if (atEnd && listWnd) {
        const int count = p.list->RowCount();
        if (count > 0) SendMessageA(listWnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(count - 1), FALSE);
      }
    }
    // Every line taken is on disk before the next pass, whatever happens
    // to the program afterwards.
    if (textLog_) fflush(textLog_);
    p.itemList->clear();
    if (Quit(kPollMs)) break;
  }
  if (textLog_) fflush(textLog_);
}

void CLogReadThread::WriteTextLog(const LOGFILE_ITEM& item) {
  if (!textLog_) return;
  const std::string line = TextLogLine(item);
  fwrite(line.data(), 1, line.size(), textLog_);
}

int CLogReadThread::IconOf(const std::string& path) {
  auto found = icons_.find(path);
  if (found != icons_.end()) return found->second;
  SHFILEINFOA info{};
  int index = 0;
  if (SHGetFileInfoA(path.c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON)) {
    index = info.iIcon;
  } else if (SHGetFileInfoA(path.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                            SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES)) {
    // A file that is not here (any more): the icon of its kind.
    index = info.iIcon;
  }
  if (icons_.size() > 512) icons_.clear();
  icons_.emplace(path, index);
  return index;
}

void CLogReadThread::AddSummaryRow(uint32_t notShown) {
  CListCtrlStyled& list = *m_pParams->list;
  const int row = list.InsertRow(list.RowCount(), "Items Saved");
  if (row < 0) return;
  list.SetCellImage(row, 0, IconOf(textLogPath_));
  list.SetCellText(row, 4, textLogPath_.c_str());
  char text[256];
  snprintf(text, sizeof text, summaryFormat_.c_str(), static_cast<int>(notShown));
  list.SetCellText(row, 2, text);
  list.SetRowBackground(row, kSummaryColour, false);
  list.SetRowStyle(row, CListCtrlStyled::kBackColour, true);
}

void CLogReadThread::ShowRecord(const LOGFILE_ITEM& item) {
  CListCtrlStyled& list = *m_pParams->list;
  const int row = list.InsertRow(list.RowCount(), LOG_ROW_PLACEHOLDER);
  if (row < 0) return;
  list.SetCellText(row, 1, TypeName(item.type).c_str());
  const LogTextParts parts = SplitLogText(item.text);
  if (parts.fields < 1) return;
  list.SetCellText(row, 0, parts.time.c_str());
  if (parts.fields < 2) return;
  list.SetCellText(row, 2, parts.process.c_str());
  list.SetCellImage(row, 0, IconOf(parts.process));
  if (parts.fields < 3) return;
  list.SetCellText(row, 3, ActionText(parts.actionPrefix, item.action).c_str());
  list.SetRowBackground(row, LogRowColour(item.action, g_clrRun.load(), g_clrRead.load(), g_clrWrite.load()), false);
  list.SetRowStyle(row, CListCtrlStyled::kBackColour, true);
  list.SetCellText(row, 4, parts.detail.c_str());
}
