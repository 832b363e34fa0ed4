// CBaseThread: the base of the program's worker threads. It adds a done
// event (automatically resetting, not signalled at the start) that the
// thread sets when its work is finished, and it never deletes itself: the
// owner keeps the object until the thread has ended.
#pragma once

#include "framework/Thread.h"

class CBaseThread : public CThread {
 public:
  CBaseThread();
  ~CBaseThread() override;

  // Creates the thread with the given creation flags, stack size and
  // security attributes, then gives it the priority. True when the thread
  // was created.
  virtual bool CreateThread(int priority = THREAD_PRIORITY_NORMAL, DWORD creationFlags = 0, UINT stackSize = 0,
                            LPSECURITY_ATTRIBUTES security = nullptr);

  HANDLE DoneEvent() const { return m_hDone; }
  // Tests the done event without waiting. The event resets itself when a
  // test succeeds, so a successful test sets it again: it stays signalled
  // for every later test.
  bool IsDone() const;
  // Waits for the thread itself to end; true when it has (or never ran).
  bool WaitForEnd(DWORD ms) const;

 protected:
  bool InitInstance() override { return true; }
  int ExitInstance() override { return static_cast<int>(m_exitCode); }

  HANDLE m_hDone = nullptr;
};
