// CLimitSingleInstance: a named mutex whose creation tells whether another
// process already holds one of the same name.
#pragma once

#include <windows.h>

class CLimitSingleInstance {
 public:
  explicit CLimitSingleInstance(const char* name);
  CLimitSingleInstance(const CLimitSingleInstance&) = delete;
  CLimitSingleInstance& operator=(const CLimitSingleInstance&) = delete;
  ~CLimitSingleInstance() { Close(); }

  bool IsAnotherInstanceRunning() const { return lastError_ == ERROR_ALREADY_EXISTS; }
  void Close();

 private:
  DWORD lastError_;  // read right after the mutex was created
  HANDLE mutex_;
};
