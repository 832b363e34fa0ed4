// CThread: a thread that runs InitInstance, Run and ExitInstance of an
// object. The object owns the thread handle; it never waits for the thread
// on destruction, so owners stop their threads before destroying them.
#pragma once

#include <windows.h>

class CThread {
 public:
  CThread() = default;
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;
  virtual ~CThread();

  // Starts the thread; returns false when it could not be created.
  bool CreateThread(DWORD creationFlags = 0, UINT stackSize = 0, LPSECURITY_ATTRIBUTES security = nullptr);
  BOOL SetThreadPriority(int priority) { return ::SetThreadPriority(m_hThread, priority); }
  DWORD ResumeThread() { return ::ResumeThread(m_hThread); }

  HANDLE m_hThread = nullptr;
  DWORD m_nThreadID = 0;
  // When set, the object deletes itself once its thread has ended.
  bool m_bAutoDelete = true;

 protected:
  virtual bool InitInstance() { return true; }
  virtual int Run() { return 0; }
  virtual int ExitInstance() { return static_cast<int>(m_exitCode); }

  DWORD m_exitCode = 0;

 private:
  static DWORD WINAPI ThreadProc(LPVOID param);
};
