#include "log/LogReadThread.h"

#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <exception>

#include "crash/ExceptionGuard.h"
#include "framework/Module.h"
#include "framework/Trace.h"
#include "log/LogFile.h"
#include "log/LogRowMenu.h"
#include "log/LogText.h"
#include "resource.h"
#include "rules/SharedObjects.h"
#include "settings/Settings.h"
#include "ui/ListCtrlStyled.h"

namespace {

// Lower-cases with the letter rules of the system's code page (a path may
// hold letters beyond ASCII). In a code page of single bytes every byte is
// lowered alone, through a table made once by the system's call; other code
// pages go through the call itself.
void LowerSystem(char* text, size_t length) {
  struct Table {
    bool singleByte = false;
    char map[256];
    Table() {
      CPINFO info{};
      singleByte = GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
      for (int i = 0; i < 256; ++i) map[i] = static_cast<char>(i);
      if (singleByte) CharLowerBuffA(map + 1, 255);
    }
  };
  static const Table table;
  if (table.singleByte) {
    for (size_t i = 0; i < length; ++i) text[i] = table.map[static_cast<unsigned char>(text[i])];
    return;
  }
  while (length > 0) {
    const DWORD part = length > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(length);
    CharLowerBuffA(text, part);
    text += part;
    length -= part;
  }
}

bool IsOwn(std::string_view text, const std::string& ownerLower) { return IsOwnRecord(text, ownerLower, &LowerSystem); }

}  // namespace

CLogReadThread::CLogReadThread()
    : quit_(CreateEventA(nullptr, TRUE, FALSE, nullptr)), stop_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

CLogReadThread::~CLogReadThread() {
  // The owner stops the thread before destroying it; a thread that is still
  // running here would use freed memory, so ask it to end and wait, within
  // the same bound as the page's stop.
  if (m_hThread && !abandoned_ && !WaitForEnd(0)) {
    RequestStop();
    if (!WaitForEndDispatching(kStopLimitMs)) Abandon();
  }
}

bool CLogReadThread::WaitForEndDispatching(DWORD ms) const {
  // The reader may be inside a call to the list, which this thread has to
  // dispatch for it to return.
  const ULONGLONG start = GetTickCount64();
  while (!WaitForEnd(0)) {
    const ULONGLONG spent = GetTickCount64() - start;
    if (ms != INFINITE && spent >= ms) return false;
    const DWORD slice = ms == INFINITE ? 1000 : static_cast<DWORD>(std::min<ULONGLONG>(ms - spent, 1000));
    HANDLE thread = m_hThread;
    MsgWaitForMultipleObjects(1, &thread, FALSE, slice, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  return true;
}

void CLogReadThread::Abandon() {
  if (!m_hThread || abandoned_) return;
  abandoned_ = true;
  // Not killed: a thread ended in the middle of a call can leave a lock of
  // the process held. Suspended where it is stuck, it never returns into
  // memory that its owner frees afterwards.
  SuspendThread(m_hThread);
  Trace("DlgPageLog - CLogReadThread: the reader did not stop in time and was left\n");
}

namespace {
std::atomic<CLogReadThread::IconLookup> g_iconLookup{nullptr};
}  // namespace

void CLogReadThread::SetIconLookup(IconLookup lookup) { g_iconLookup = lookup; }

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
    FlushTextLog();
    if (textLog_ != INVALID_HANDLE_VALUE) {
      CloseHandle(textLog_);
      textLog_ = INVALID_HANDLE_VALUE;
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
  const int result = follower_->Take(*p.itemList, kBatch);
  *p.batchCount = static_cast<uint32_t>(p.itemList->size());
  *p.readPos = follower_->Position();
  recordsTaken_ += *p.batchCount;
  wraps_ = follower_->Wraps();
  resyncs_ = follower_->Resyncs();
  laps_ = follower_->Laps();
  return result;
}

void CLogReadThread::Body() {
  summaryFormat_ = LoadStr(IDS_ITEMS_NOT_DISPLAYED);
  if (summaryFormat_.empty()) summaryFormat_ = "%d Items Not Displayed, Saved in This Log File";
  ownerLower_ = ownerPathSet_ ? ownerPath_ : ModulePath();
  LowerSystem(ownerLower_.data(), ownerLower_.size());
  if (ownerLower_.size() > MAX_PATH) ownerLower_.resize(MAX_PATH);

  if (g_bLogIntoFile.load()) {
    if (!textLogPathSet_) {
      textLogPath_ = ModulePath();
      if (textLogPath_.size() > LOG_MAX_TEXT) textLogPath_.resize(LOG_MAX_TEXT);
      textLogPath_ += ".log";
    }
    // Appended through the system's file calls, not the C library's
    // streams: a reader stuck in a write (a share that stopped answering)
    // then holds no lock that the program's end would wait for.
    textLog_ = CreateFileA(textLogPath_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (!m_pParams || !m_pParams->logFile || !m_pParams->list) return;
  ReaderParams& p = *m_pParams;
  // The log's Read mutex wait ends when the page asks the reader to stop.
  p.logFile->SetCancelEvent(quit_.Get());
  // What the log holds now is the backlog; the follower also tells when
  // the writer goes round past the reader.
  follower_ = std::make_unique<CLogFollower>(*p.logFile);
  follower_->Begin();

  // What the log holds now is its backlog, taken in the first pass; a log
  // that holds nothing yet has none.
  LOGFILE_ITEM held;
  bool backlog = p.logFile->FirstItem(held) == 1;
  backlogNoted_ = true;

  // The writer's first signal; the reader polls on its own after it.
  UniqueHandle written(OpenSharedEvent(p.logFile->EventName()).handle);
  HANDLE waits[2] = {quit_.Get(), written.Get()};
  const DWORD first = WaitForMultipleObjects(written ? 2 : 1, waits, FALSE, INFINITE);
  if (first != WAIT_OBJECT_0 + 1) return;
  if (Quit(kFirstSignalSettleMs)) return;

  uint32_t notShown = 0;
  std::vector<TakenRecord> taken;
  const auto take = [&](const LOGFILE_ITEM& item, bool own) -> size_t {
    if (!observer_.load()) return SIZE_MAX;
    taken.push_back(TakenRecord{SplitLogRecord(item), own, backlog, -1});
    return taken.size() - 1;
  };
  for (;;) {
    ReadBatch();
    // Full batches mean more is waiting: they go to the text log only.
    bool quit = false;
    while (*p.batchCount == kBatch) {
      notShown += kBatch;
      taken.clear();
      for (const auto& item : *p.itemList) {
        const bool own = IsOwn(item->text, ownerLower_);
        take(*item, own);
        if (!own) WriteTextLog(*item);
      }
      Report(taken);
      if ((quit = Quit(0))) break;
      ReadBatch();
    }
    if (quit || Quit(0)) {
      // Records already taken still reach the text log.
      if (*p.batchCount < kBatch)
        for (const auto& item : *p.itemList)
          if (!IsOwn(item->text, ownerLower_)) WriteTextLog(*item);
      break;
    }
    // Every line taken is on disk before the rows are made: their icon
    // lookups can take long (the shell, for a path on a network).
    std::vector<std::pair<const LOGFILE_ITEM*, size_t>> shown;
    taken.clear();
    if (*p.batchCount > 0) {
      for (const auto& item : *p.itemList) {
        const bool own = IsOwn(item->text, ownerLower_);
        const size_t entry = take(*item, own);
        if (own) continue;
        WriteTextLog(*item);
        shown.emplace_back(item.get(), entry);
      }
    }
    FlushTextLog();
    // The rows go into the list in one call on the list's thread.
    std::vector<PreparedRow> rows;
    if (notShown > 0) {
      rows.push_back(SummaryRow(notShown));
      notShown = 0;
    }
    for (const auto& [item, entry] : shown) {
      rows.push_back(RecordRow(*item));
      rows.back().taken = entry;
    }
    if (!rows.empty() && !Quit(0))
      ShowRows(rows, taken);
    else
      Report(taken);
    backlog = false;
    p.itemList->clear();
    if (Quit(kPollMs)) break;
  }
  FlushTextLog();
}

void CLogReadThread::WriteTextLog(const LOGFILE_ITEM& item) {
  if (textLog_ == INVALID_HANDLE_VALUE) return;
  // Text lines: every line end is written as CR LF.
  const std::string line = TextLogLine(item);
  size_t from = 0;
  for (size_t at; (at = line.find('\n', from)) != std::string::npos; from = at + 1) {
    pending_.append(line, from, at - from);
    pending_ += "\r\n";
  }
  pending_.append(line, from, std::string::npos);
  if (pending_.size() >= 64 * 1024) FlushTextLog();
}

void CLogReadThread::FlushTextLog() {
  if (textLog_ == INVALID_HANDLE_VALUE || pending_.empty()) {
    pending_.clear();
    return;
  }
  const char* data = pending_.data();
  size_t left = pending_.size();
  while (left > 0) {
    DWORD wrote = 0;
    if (!WriteFile(textLog_, data, static_cast<DWORD>(std::min<size_t>(left, 1 << 20)), &wrote, nullptr) || !wrote)
      break;
    data += wrote;
    left -= wrote;
  }
  pending_.clear();
}

int CLogReadThread::IconOf(const std::string& path) {
  auto found = icons_.find(path);
  if (found != icons_.end()) return found->second;
  if (IconLookup lookup = g_iconLookup.load()) return lookup(path);
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

CLogReadThread::PreparedRow CLogReadThread::SummaryRow(uint32_t notShown) {
  PreparedRow row;
  row.first = "Items Saved";
  row.image = IconOf(textLogPath_);
  char text[256];
  snprintf(text, sizeof text, summaryFormat_.c_str(), static_cast<int>(notShown));
  row.texts = {{4, textLogPath_}, {2, text}};
  row.coloured = true;
  row.back = kSummaryColour;
  return row;
}

CLogReadThread::PreparedRow CLogReadThread::RecordRow(const LOGFILE_ITEM& item) {
  PreparedRow row;
  row.first = LOG_ROW_PLACEHOLDER;
  row.data = LogRowData(item.type, item.action);
  row.texts.emplace_back(1, TypeName(item.type));
  const LogTextParts parts = SplitLogText(item.text);
  if (parts.fields < 1) return row;
  row.first = parts.time;
  if (parts.fields < 2) return row;
  row.texts.emplace_back(2, parts.process);
  row.image = IconOf(parts.process);
  if (parts.fields < 3) return row;
  row.texts.emplace_back(3, ActionText(parts.actionPrefix, item.action));
  row.texts.emplace_back(4, parts.detail);
  row.coloured = true;
  row.back = LogRowColour(item.action, g_clrRun.load(), g_clrRead.load(), g_clrWrite.load());
  return row;
}

void CLogReadThread::Report(std::vector<TakenRecord>& taken) {
  if (taken.empty()) return;
  m_pParams->list->OnOwnerThread([&] {
    if (ILogRecordObserver* observer = observer_.load()) observer->OnRecordsTaken(taken);
  });
  taken.clear();
}

void CLogReadThread::ShowRows(const std::vector<PreparedRow>& rows, std::vector<TakenRecord>& taken) {
  CListCtrlStyled& list = *m_pParams->list;
  list.OnOwnerThread([&] {
    const HWND wnd = list.GetSafeHwnd();
    if (!wnd) return;
    // Follow the newest row only when the user was looking at the end.
    const int before = list.RowCount();
    bool atEnd = before == 0;
    if (!atEnd) {
      const int top = static_cast<int>(SendMessageA(wnd, LVM_GETTOPINDEX, 0, 0));
      const int perPage = static_cast<int>(SendMessageA(wnd, LVM_GETCOUNTPERPAGE, 0, 0));
      atEnd = top + perPage >= before;
    }
    // Nothing is drawn until the new rows are in: the purged list is never
    // shown empty.
    SendMessageA(wnd, WM_SETREDRAW, FALSE, 0);
    if (before > kMaxRows) list.DeleteAllRows(false);
    for (const PreparedRow& r : rows) {
      const int row = list.InsertRow(list.RowCount(), r.first.c_str(), r.data);
      if (row < 0) continue;
      if (r.taken < taken.size()) taken[r.taken].row = row;
      for (const auto& [column, text] : r.texts) list.SetCellText(row, column, text.c_str());
      if (r.image >= 0) list.SetCellImage(row, 0, r.image);
      if (r.coloured) {
        list.SetRowBackground(row, r.back, false);
        list.SetRowStyle(row, CListCtrlStyled::kBackColour, false);
      }
    }
    SendMessageA(wnd, WM_SETREDRAW, TRUE, 0);
    const int count = list.RowCount();
    if (atEnd && count > 0) SendMessageA(wnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(count - 1), FALSE);
    InvalidateRect(wnd, nullptr, FALSE);
    if (ILogRecordObserver* observer = observer_.load(); observer && !taken.empty()) observer->OnRecordsTaken(taken);
  });
  taken.clear();
}
