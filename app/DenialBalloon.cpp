#include "app/DenialBalloon.h"

#include <commctrl.h>

#include <algorithm>

#include "settings/Settings.h"
#include "ui/ListCtrlStyled.h"
#include "ui/SystemTray.h"

namespace {

// The Log page's columns that identify a record's row.
bool RowShows(HWND list, int row, const LogRecordFields& record) {
  return CListCtrlStyled::CellText(list, row, 0) == record.time &&
         CListCtrlStyled::CellText(list, row, 2) == record.process &&
         CListCtrlStyled::CellText(list, row, 4) == record.object;
}

}  // namespace

CDenialBalloon::CDenialBalloon(CSystemTray& tray) : tray_(tray) {
  tray_.SetBalloonClickHandler([this] { OnBalloonClick(); });
}

CDenialBalloon::~CDenialBalloon() {
  tray_.SetBalloonClickHandler(nullptr);
  if (m_hWnd) {
    HWND hwnd = m_hWnd;
    Detach();
    DestroyWindow(hwnd);
  }
}

bool CDenialBalloon::Create() {
  if (m_hWnd) return true;
  HWND hwnd =
      CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!hwnd) return false;
  if (!Attach(hwnd)) {
    DestroyWindow(hwnd);
    return false;
  }
  return true;
}

void CDenialBalloon::OnRecordsTaken(const std::vector<TakenRecord>& records) {
  if (!g_bNotifyDenied.load()) {
    notifier_.DropHeld();
    ArmTimer();
    return;
  }
  for (const TakenRecord& r : records) {
    if (r.own || r.backlog || !IsDeniedResult(r.fields.result)) continue;
    // The notifier's balloons name the latest denial it was given.
    latest_ = Target{r.row, r.fields};
    if (auto b = notifier_.Take(r.fields, r.own, r.backlog, 0, Now())) Show(*b);
  }
  ArmTimer();
}

void CDenialBalloon::OnSummaryTimer() {
  if (!g_bNotifyDenied.load()) notifier_.DropHeld();
  if (auto b = notifier_.Poll(Now())) Show(*b);
  ArmTimer();
}

void CDenialBalloon::Show(const CDenialNotifier::Balloon& balloon) {
  shown_ = latest_;
  // Without the icon in the notification area there is nowhere to show it.
  tray_.ShowBalloon(balloon.title, balloon.text, NIIF_WARNING, kBalloonTimeoutMs);
}

void CDenialBalloon::ArmTimer() {
  if (!notifier_.HasHeld()) {
    if (timerArmed_ && m_hWnd) KillTimer(m_hWnd, kSummaryTimerId);
    timerArmed_ = false;
    return;
  }
  const uint64_t now = Now(), due = notifier_.DueAt();
  const uint64_t wait = due > now ? due - now : 0;
  // A little late rather than early: the notifier shows nothing before due.
  const UINT ms = static_cast<UINT>(std::min<uint64_t>(wait + 50, CDenialNotifier::kIntervalMs + 50));
  timerArmed_ = m_hWnd && SetTimer(m_hWnd, kSummaryTimerId, ms, nullptr) != 0;
}

void CDenialBalloon::OnBalloonClick() {
  if (onClick_) onClick_(shown_);
}

LRESULT CDenialBalloon::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER && wp == kSummaryTimerId) {
    OnSummaryTimer();
    return 0;
  }
  return CWindow::WindowProc(msg, wp, lp);
}

int SelectLogRow(HWND list, int row, const LogRecordFields& record) {
  const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  int found = -1;
  if (row >= 0 && row < count && RowShows(list, row, record)) {
    found = row;
  } else {
    for (int i = count - 1; i >= 0 && found < 0; --i)
      if (RowShows(list, i, record)) found = i;
  }
  if (found < 0) return -1;
  LVITEMA state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = 0;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(found), reinterpret_cast<LPARAM>(&state));
  SendMessageA(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(found), FALSE);
  return found;
}
