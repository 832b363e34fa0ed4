#include "app/BaseThread.h"

#include "crash/ExceptionGuard.h"

CBaseThread::CBaseThread() {
  m_hDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (m_hDone) ResetEvent(m_hDone);
  m_bAutoDelete = false;
}

CBaseThread::~CBaseThread() {
  if (m_hDone) CloseHandle(m_hDone);
}

bool CBaseThread::CreateThread(int priority, DWORD creationFlags, UINT stackSize, LPSECURITY_ATTRIBUTES security) {
  // After a crash report the result stands as far as it was obtained
  // (false when the fault came before the thread was created).
  volatile bool created = false;
  RunGuarded("BaseThread - CBaseThread::CreateThread", [&] {
    created = CThread::CreateThread(creationFlags, stackSize, security);
    if (created) SetThreadPriority(priority);
  });
  return created;
}

bool CBaseThread::IsDone() const {
  if (!m_hDone || WaitForSingleObject(m_hDone, 0) != WAIT_OBJECT_0) return false;
  SetEvent(m_hDone);
  return true;
}

bool CBaseThread::WaitForEnd(DWORD ms) const {
  return !m_hThread || WaitForSingleObject(m_hThread, ms) == WAIT_OBJECT_0;
}
