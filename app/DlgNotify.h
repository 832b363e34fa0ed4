// CDlgNotify: the modal progress window. It runs one NOTIFY_JOB on a
// CCloseThread, shows the job's message with a progress bar, polls the
// worker on a timer and closes when the worker is done.
//
// Rule-file jobs are given up after the 21st tick (about 10.5 seconds).
// The worker is never killed: the window signals a cancel event that the
// job's rule file was given for the duration of the job, which ends the
// worker's mutex waits (the only waits without a bound), and then waits for
// the worker to end. The rule file is therefore never left half-written and
// none of its mutexes stays held.
#pragma once

#include <memory>
#include <string>

#include "app/CloseThread.h"
#include "framework/Dialog.h"
#include "framework/Handle.h"

class CDlgNotify : public CDialogBase {
 public:
  static constexpr UINT_PTR kTimerId = 101;
  static constexpr UINT kDefaultTickMs = 500;
  // Ticks a rule-file job may take before it is given up (the counter is
  // tested before it is advanced, so the job ends on tick kTickLimit + 1).
  static constexpr int kTickLimit = 20;

  CDlgNotify(HWND parent, NOTIFY_JOB* job, std::string message);
  ~CDlgNotify() override;

  // The timer period for every later window; tests shorten it.
  static void SetTickPeriod(UINT ms);
  static UINT TickPeriod();

  // What the window showed, for the caller and for tests.
  int TicksShown() const { return ticksShown_; }
  int ClosingPosition() const { return closingPosition_; }
  const std::string& LastText() const { return lastText_; }
  bool GaveUp() const { return gaveUp_; }

 protected:
  BOOL OnInitDialog() override;
  // Enter and Escape cannot close the window; only the timer ends it.
  void OnOK() override {}
  void OnCancel() override {}
  void OnTimer(UINT_PTR id) override;
  void OnDestroy() override;

 private:
  class CMessageField;

  void Finish(INT_PTR result);
  void StopWorker();

  HWND text_ = nullptr;
  std::unique_ptr<CMessageField> field_;
  HWND bar_ = nullptr;
  int tick_ = 0;
  std::string message_;
  NOTIFY_JOB* job_;
  CCloseThread thread_;
  UniqueHandle cancel_;
  HANDLE previousCancel_ = nullptr;
  bool cancelInstalled_ = false;

  int ticksShown_ = 0;
  int closingPosition_ = -1;
  std::string lastText_;
  bool gaveUp_ = false;
};
