#include "app/DlgNotify.h"

#include <commctrl.h>

#include <atomic>
#include <cstdio>

#include "framework/Handle.h"
#include "framework/Module.h"
#include "resource.h"
#include "rules/RuleFile.h"

namespace {
std::atomic<UINT> g_tickPeriod{CDlgNotify::kDefaultTickMs};
}  // namespace

// The message field: the text centred both ways in the sunken box (a
// static control only centres horizontally, which leaves a one-line
// message stuck to the top of the box).
class CDlgNotify::CMessageField : public CWindow {
 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_ERASEBKGND: return 1;
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(m_hWnd, &ps);
        Paint(dc);
        EndPaint(m_hWnd, &ps);
        return 0;
      }
      case WM_SETTEXT: {
        LRESULT r = Default();
        InvalidateRect(m_hWnd, nullptr, TRUE);
        return r;
      }
      default: return CWindow::WindowProc(msg, wp, lp);
    }
  }

 private:
  void Paint(HDC dc) {
    RECT rc = ClientRect();
    FillRect(dc, &rc, GetSysColorBrush(COLOR_3DFACE));
    const std::string text = GetText();
    auto* font = reinterpret_cast<HFONT>(Send(WM_GETFONT));
    SelectGuard useFont(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    const UINT format = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;
    RECT box = rc;
    InflateRect(&box, -4, -2);
    RECT need = box;
    DrawTextA(dc, text.c_str(), -1, &need, format | DT_CALCRECT);
    const int spare = (box.bottom - box.top) - (need.bottom - need.top);
    if (spare > 0) box.top += spare / 2;
    DrawTextA(dc, text.c_str(), -1, &box, format);
  }
};

void CDlgNotify::SetTickPeriod(UINT ms) { g_tickPeriod = ms ? ms : kDefaultTickMs; }

UINT CDlgNotify::TickPeriod() { return g_tickPeriod; }

CDlgNotify::CDlgNotify(HWND parent, NOTIFY_JOB* job, std::string message)
    : CDialogBase(IDD_NOTIFY, parent), message_(std::move(message)), job_(job),
      cancel_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  thread_.m_pJob = job_;
}

CDlgNotify::~CDlgNotify() {
  // The worker works on the caller's job and on this object's thread
  // record: it must be gone before either goes away.
  StopWorker();
}

void CDlgNotify::StopWorker() {
  if (thread_.m_hThread) {
    if (!thread_.WaitForEnd(0)) {
      if (cancel_) SetEvent(cancel_.Get());
      thread_.WaitForEnd(INFINITE);
    }
  }
  if (cancelInstalled_ && job_ && job_->ruleFile) job_->ruleFile->SetCancelEvent(previousCancel_);
  cancelInstalled_ = false;
}

BOOL CDlgNotify::OnInitDialog() {
  text_ = Item(IDC_NOTIFY_TEXT);
  bar_ = Item(IDC_NOTIFY_PROGRESS);
  field_ = std::make_unique<CMessageField>();
  field_->Attach(text_);
  SetWindowTextA(text_, message_.c_str());
  SendMessageA(bar_, PBM_SETRANGE32, 0, 100);
  const bool waitJob = job_ && (job_->operations & NOTIFY_WAIT_READER);
  SendMessageA(bar_, PBM_SETSTEP, waitJob ? 10 : 5, 0);

  if (job_ && job_->ruleFile && cancel_) {
    previousCancel_ = job_->ruleFile->CancelEvent();
    job_->ruleFile->SetCancelEvent(cancel_.Get());
    cancelInstalled_ = true;
  }
  // A wait for a reader that is not there has nothing to run.
  const bool nothingToRun = !job_ || (job_->operations == NOTIFY_WAIT_READER && !job_->thread);
  if (nothingToRun || !thread_.CreateThread(THREAD_PRIORITY_NORMAL, 0, 0, nullptr)) {
    // Nothing will ever set the done event: let the first tick find it set.
    SetEvent(thread_.DoneEvent());
  }
  SetTimer(m_hWnd, kTimerId, TickPeriod(), nullptr);
  SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return TRUE;
}

void CDlgNotify::Finish(INT_PTR result) {
  // The worker has set its done event (or was stopped): let it return and
  // give the rule file back to the caller as it was.
  StopWorker();
  SendMessageA(bar_, PBM_SETPOS, 100, 0);
  KillTimer(m_hWnd, kTimerId);
  closingPosition_ = static_cast<int>(SendMessageA(bar_, PBM_GETPOS, 0, 0));
  EndDialog(result);
}

void CDlgNotify::OnTimer(UINT_PTR id) {
  if (id != kTimerId || closingPosition_ >= 0) return;
  ++ticksShown_;
  const std::string format = LoadStr(IDS_NOTIFY_FORMAT);
  SendMessageA(bar_, PBM_STEPIT, 0, 0);

  if (job_ && (job_->operations & NOTIFY_WAIT_READER)) {
    if (thread_.IsDone()) Finish(job_->stopped == 1 ? IDOK : IDCANCEL);
    return;
  }

  char text[512];
  snprintf(text, sizeof text, format.empty() ? "%s\nFinish %d%%" : format.c_str(), message_.c_str(), tick_ * 5);
  lastText_ = text;
  SetWindowTextA(text_, text);

  if (thread_.IsDone()) {
    Finish(IDOK);
    return;
  }
  if (tick_ >= kTickLimit) {
    tick_ = 0;
    gaveUp_ = true;
    // Give up the job without killing the worker: the cancel event ends
    // its mutex waits, and its copy into the view is short and bounded.
    if (cancel_) SetEvent(cancel_.Get());
    thread_.WaitForEnd(INFINITE);
    SetEvent(thread_.DoneEvent());
    Finish(IDOK);
    return;
  }
  ++tick_;
}

void CDlgNotify::OnDestroy() { KillTimer(m_hWnd, kTimerId); }
