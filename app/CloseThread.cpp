#include "app/CloseThread.h"

#include <exception>
#include <string>

#include "crash/ExceptionGuard.h"
#include "framework/Trace.h"
#include "rules/RuleFile.h"

void CCloseThread::RunJob() {
  NOTIFY_JOB* job = m_pJob;
  if (!job) return;
  // The caller needs the outcome: a read or write that failed or was given
  // up must not pass for one that completed.
  if ((job->operations & NOTIFY_LOAD_RULES) && job->ruleFile && job->rules)
    job->result = job->ruleFile->ReadRules(*job->rules, &job->count, &job->offset);
  if ((job->operations & NOTIFY_WRITE_RULES) && job->ruleFile && job->rules)
    job->result = job->ruleFile->WriteRules(*job->rules);
  if ((job->operations & NOTIFY_SAVE_RULES) && job->ruleFile && job->rules && job->outcome)
    job->result = job->ruleFile->SaveRules(job->base, *job->rules, *job->outcome);
  if ((job->operations & NOTIFY_WAIT_READER) && job->thread) {
    if (WaitForSingleObject(job->thread, job->waitMs ? job->waitMs : kReaderWaitMs) == WAIT_OBJECT_0) {
      // An automatically resetting event lost its signal to this wait; give
      // it back. (A thread or process handle stays signalled anyway.)
      SetEvent(job->thread);
      job->stopped = 1;
    } else {
      job->stopped = 0;
    }
  }
}

int CCloseThread::Run() {
  RunGuarded("DlgNotify - CCloseThread::Run", [this] {
    try {
      RunJob();
    } catch (const std::exception& e) {
      Trace(std::string("DlgNotify - CCloseThread::Run:") + e.what() + "\n");
    } catch (...) {
      Trace("DlgNotify - CCloseThread::Run:unknown exception\n");
    }
  });
  // Whatever happened, also after a crash report, the progress window must
  // be able to close.
  SetEvent(m_hDone);
  return 0;
}
