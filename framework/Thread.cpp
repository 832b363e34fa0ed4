#include "framework/Thread.h"

CThread::~CThread() {
  if (m_hThread) CloseHandle(m_hThread);
}

bool CThread::CreateThread(DWORD creationFlags, UINT stackSize, LPSECURITY_ATTRIBUTES security) {
  if (m_hThread) return false;
  m_hThread = ::CreateThread(security, stackSize, &CThread::ThreadProc, this, creationFlags, &m_nThreadID);
  return m_hThread != nullptr;
}

DWORD WINAPI CThread::ThreadProc(LPVOID param) {
  auto* self = static_cast<CThread*>(param);
  if (self->InitInstance()) self->m_exitCode = static_cast<DWORD>(self->Run());
  DWORD code = static_cast<DWORD>(self->ExitInstance());
  if (self->m_bAutoDelete) delete self;
  return code;
}
