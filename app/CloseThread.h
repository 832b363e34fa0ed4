// CCloseThread: the short-lived worker behind the progress window. It runs
// one job: load the rules, write or save the rules, or wait for the log
// reader to stop; then it sets its done event.
#pragma once

#include <cstdint>

#include "app/BaseThread.h"
#include "rules/RuleRecord.h"

class CRuleFile;
struct RuleSaveOutcome;

inline constexpr uint32_t NOTIFY_LOAD_RULES = 1;
inline constexpr uint32_t NOTIFY_WRITE_RULES = 2;
inline constexpr uint32_t NOTIFY_WAIT_READER = 4;
// The rule store's write: the rules where the file held base (see
// CRuleFile::SaveRules).
inline constexpr uint32_t NOTIFY_SAVE_RULES = 8;

// One job, built by the caller on its stack and zero-initialised first.
struct NOTIFY_JOB {
  HWND owner;                // the page that runs the job; not used by the worker
  HANDLE thread;             // signalled when the log reader has stopped, or null
  uint32_t operations;       // NOTIFY_LOAD_RULES | NOTIFY_WRITE_RULES | NOTIFY_WAIT_READER
  CRuleFile* ruleFile;       // the rule file to work on
  RuleList* rules;           // the list to load into or to write from
  uint32_t count;            // ReadRules: in records to read (0 = all), out records read
  uint32_t offset;           // ReadRules: data-area offset of the next record
  uint32_t stopped;          // wait job: 1 when the reader stopped in time
  DWORD waitMs;              // wait job: how long to wait; 0 = kReaderWaitMs
  int result;                // rule-file job: what ReadRules, WriteRules or SaveRules returned
  const RuleList* base;      // save job: the rules as last seen in the file (null: overwrite)
  RuleSaveOutcome* outcome;  // save job: what the save did
};

class CCloseThread : public CBaseThread {
 public:
  // How long the wait job waits for the log reader unless it says otherwise.
  static constexpr DWORD kReaderWaitMs = 5000;

  NOTIFY_JOB* m_pJob = nullptr;  // not owned

 protected:
  int Run() override;

 private:
  void RunJob();
};
