#include "log/DlgPageLog.h"

#include <shellapi.h>
#include <windowsx.h>

#include <cstdio>

#include "app/DlgNotify.h"
#include "framework/Module.h"
#include "log/LogText.h"
#include "resource.h"
#include "rules/RuleFileCheck.h"

namespace {

struct ColumnDef {
  UINT title;
  int width;
};
constexpr ColumnDef kColumns[] = {
    {IDS_LOGCOL_TIME, 130},   {IDS_LOGCOL_TYPE, 90},    {IDS_LOGCOL_PROCESS, 270},
    {IDS_LOGCOL_ACTION, 130}, {IDS_LOGCOL_DETAIL, 400},
};

void StartExplorer(const std::string& parameters) {
  ShellExecuteA(nullptr, "Open", "Explorer.exe", parameters.c_str(), nullptr, SW_SHOWNORMAL);
}

}  // namespace

CDlgPageLog::CDlgPageLog() : CBkDialogST(IDD_PAGE_LOG), launcher_(&StartExplorer) {}

CDlgPageLog::~CDlgPageLog() {
  // The window may be destroyed after this object has let go of it, so the
  // reader is stopped here too, while the list still exists.
  StopReader();
}

void CDlgPageLog::SetLogSource(const std::string& path, const std::string& mappingName, const std::string& eventName) {
  logPath_ = path;
  mappingName_ = mappingName;
  logFile_ = std::make_unique<CLogFile>(eventName.c_str());
}

void CDlgPageLog::InitColumns() {
  for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
    std::string title = LoadStr(kColumns[i].title);
    LVCOLUMNA col{};
    col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    col.fmt = LVCFMT_LEFT;
    col.cx = kColumns[i].width;
    col.pszText = title.data();
    col.iSubItem = i;
    list_.InsertStyledColumn(i, col);
  }
}

BOOL CDlgPageLog::OnInitDialog() {
  CBkDialogST::OnInitDialog();
  Bind(list_, IDC_LOG_LIST);
  // The system's image list is shared with the whole process: the list
  // must never destroy it.
  SetWindowLongPtrA(list_, GWL_STYLE, GetWindowLongPtrA(list_, GWL_STYLE) | LVS_SHAREIMAGELISTS);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  InitColumns();
  SHFILEINFOA info{};
  systemImages_ =
      reinterpret_cast<HIMAGELIST>(SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  if (systemImages_) ListView_SetImageList(list_, systemImages_, LVSIL_SMALL);
  SetBackgroundBitmap(IDB_BACKGROUND);

  if (!logFile_) logFile_ = std::make_unique<CLogFile>();
  const std::string path = logPath_.empty() ? CLogFile::DefaultPath() : logPath_;
  // A log that cannot be opened leaves a reader that finds nothing. When the
  // engine's shared objects are there but cannot be opened (its security
  // refuses them, say), the user learns why the page stays empty.
  logFile_->Open(path.c_str(), mappingName_.empty() ? nullptr : mappingName_.c_str(), LOG_FILE_SIZE,
                 CMappedFile::kAccessReadWrite, false);
  const std::string problem = logFile_->SharedObjectProblem();
  if (!problem.empty()) {
    const std::string text = FillStringFormat(IDS_LOG_NOT_FOLLOWED,
                                              "The activity log %1 cannot be followed:\n%2\n\nThe Log page shows no "
                                              "records of the access engine until Varnokel is started again.",
                                              path, problem);
    MessageBoxA(m_hWnd, text.c_str(), LoadStr(IDS_APP_TITLE).c_str(), MB_OK | MB_ICONEXCLAMATION);
  }

  rowMenu_.SetOwner(m_hWnd);
  rowMenu_.SetLogSource(path, mappingName_);

  params_ = ReaderParams{this, logFile_.get(), &list_, &batchCount_, &readPos_, &itemList_, 0};
  reader_.m_pParams = &params_;
  if (reader_.CreateThread(THREAD_PRIORITY_BELOW_NORMAL, 0, 0, nullptr)) Sleep(100);
  return TRUE;
}

bool CDlgPageLog::StopReader() {
  if (readerDone_) return true;
  readerDone_ = true;
  bool inTime = true;
  if (reader_.m_hThread) {
    reader_.RequestStop();
    // The progress window waits for the thread itself; its modal loop keeps
    // dispatching the reader's calls into the list meanwhile.
    HANDLE ended = nullptr;
    DuplicateHandle(GetCurrentProcess(), reader_.m_hThread, GetCurrentProcess(), &ended, SYNCHRONIZE, FALSE, 0);
    NOTIFY_JOB job{};
    job.owner = m_hWnd;
    job.thread = ended;
    job.operations = NOTIFY_WAIT_READER;
    // With a limit, half of it for the progress window's wait, the rest
    // for the grace below.
    job.waitMs = stopWaitMs_ ? (stopWaitMs_ + 1) / 2 : 0;
    {
      CDlgNotify notify(m_hWnd, &job, LoadStr(IDS_STOPPING_LOG_READER));
      inTime = notify.DoModal() == IDOK;
    }
    // Not killed: a reader that is late still ends at its next wait, and
    // what it sends is dispatched until then. One that is stuck where the
    // quit event cannot reach it is given up after the limit, so that the
    // program's end (with its rules and settings saved) never waits on it.
    const DWORD grace = stopWaitMs_ ? stopWaitMs_ / 2 : CLogReadThread::kStopLimitMs;
    if (!reader_.WaitForEndDispatching(grace)) {
      reader_.Abandon();
      inTime = false;
    }
    if (ended) CloseHandle(ended);
  }
  if (logFile_) {
    logFile_->SetCancelEvent(nullptr);
    logFile_->CloseLog(0);
  }
  if (list_.GetSafeHwnd() && systemImages_) ListView_SetImageList(list_, nullptr, LVSIL_SMALL);
  systemImages_ = nullptr;
  return inTime;
}

void CDlgPageLog::OnDestroy() { StopReader(); }

LRESULT CDlgPageLog::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SIZE && list_.GetSafeHwnd()) {
    MoveWindow(list_, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
  }
  // Right click, Shift+F10 and the menu key on the list.
  if (msg == WM_CONTEXTMENU && list_.GetSafeHwnd() && reinterpret_cast<HWND>(wp) == list_.GetSafeHwnd()) {
    rowMenu_.Show({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
    return 0;
  }
  return CBkDialogST::WindowProc(msg, wp, lp);
}

bool CDlgPageLog::OnNotify(NMHDR* header, LRESULT& result) {
  if (header->idFrom == IDC_LOG_LIST && header->code == NM_DBLCLK) {
    OnDoubleClick();
    result = 0;
    return true;
  }
  if (header->idFrom == IDC_LOG_LIST && header->code == LVN_KEYDOWN) {
    const auto* key = reinterpret_cast<NMLVKEYDOWN*>(header);
    rowMenu_.OnKey(key->wVKey, GetKeyState(VK_CONTROL) < 0);
    result = 0;
    return true;
  }
  return false;
}

void CDlgPageLog::OnDoubleClick() {
  const int row = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
  if (row < 0) return;
  const std::string process = list_.CellText(row, 2);
  const std::string detail = ExplorerSelectPath(list_.CellText(row, 4));
  std::string format = LoadStr(IDS_SELECT_IN_EXPLORER);
  if (format.empty()) format = "Press Yes to select file %s in explorer,\nPress No to select %s";
  std::string text(format.size() + process.size() + detail.size() + 16, '\0');
  const int n = snprintf(text.data(), text.size(), format.c_str(), process.c_str(), detail.c_str());
  text.resize(n > 0 ? static_cast<size_t>(n) : 0);
  const int answer = AppMessageBox(m_hWnd, text, MB_YESNOCANCEL | MB_ICONQUESTION);
  if (answer == IDYES) {
    launcher_("/select," + process);
  } else if (answer == IDNO) {
    launcher_("/select," + detail);
  }
}
