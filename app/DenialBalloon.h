// CDenialBalloon: tells the user through the tray icon's balloon that an
// access was blocked. The Log page's reader hands it every record it takes
// (ILogRecordObserver); CDenialNotifier decides what to show and when: at
// most one balloon every 10 seconds, the denials in between summed up in
// the next one. Denials that arrive after a balloon and are followed by no
// other are shown by a timer once their 10 seconds are over, so that no
// denial waits for the next one to be told.
//
// Balloons appear only while the icon is in the notification area (the main
// window hidden into it); nothing is shown, and nothing fails, when the
// shell does not hold the icon. The switch g_bNotifyDenied (Options page)
// turns them off at once, held denials included.
//
// A click on a balloon calls the click handler with the record it named and
// that record's row in the Log page's list (the main window shows the page
// and selects the row after the password check).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "framework/Window.h"
#include "log/DenialNotifier.h"
#include "log/LogReadThread.h"

class CSystemTray;

class CDenialBalloon : public CWindow, public ILogRecordObserver {
 public:
  static constexpr UINT_PTR kSummaryTimerId = 1;
  // How long the shell is asked to show a balloon.
  static constexpr UINT kBalloonTimeoutMs = 10000;

  // What a balloon names: the latest denial it stands for, and its row in
  // the Log page's list (-1: it has none, taken in a batch that was not
  // shown).
  struct Target {
    int row = -1;
    LogRecordFields record;
  };
  using ClickHandler = std::function<void(const Target&)>;
  // Milliseconds that only grow (GetTickCount64 unless a test sets one).
  using Clock = uint64_t (*)();

  explicit CDenialBalloon(CSystemTray& tray);
  ~CDenialBalloon() override;

  // Makes the message-only window that carries the summary timer.
  bool Create();
  void SetClock(Clock clock) { clock_ = clock; }
  void SetClickHandler(ClickHandler handler) { onClick_ = std::move(handler); }

  // The reader's records (on the list's thread, which is this one's).
  void OnRecordsTaken(const std::vector<TakenRecord>& records) override;
  // The user clicked the balloon (the tray's callback).
  void OnBalloonClick();

  // Whether held denials wait for the summary timer.
  bool SummaryPending() const { return timerArmed_; }
  // What the last balloon shown named.
  const Target& Shown() const { return shown_; }
  // Runs the summary timer's work now (tests).
  void OnSummaryTimer();

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Show(const CDenialNotifier::Balloon& balloon);
  // Sets the timer for the held denials, or stops it when none are held.
  void ArmTimer();
  uint64_t Now() const { return clock_ ? clock_() : GetTickCount64(); }

  CSystemTray& tray_;
  CDenialNotifier notifier_;
  Clock clock_ = nullptr;
  ClickHandler onClick_;
  Target latest_;  // the latest denial taken
  Target shown_;   // what the balloon on screen names
  bool timerArmed_ = false;
};

// Selects, alone, the row of the Log page's list that shows record: row when
// it still does (rows go when the list is purged), otherwise the newest row
// that does. Scrolls it into view and gives it the focus. Returns the row,
// or -1 when no row shows the record (nothing is selected then).
int SelectLogRow(HWND list, int row, const LogRecordFields& record);
