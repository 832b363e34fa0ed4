#include "app/SingleInstance.h"

CLimitSingleInstance::CLimitSingleInstance(const char* name) {
  // A successful CreateMutex does not clear the last error, so clear it
  // first: only "already exists" may remain.
  SetLastError(ERROR_SUCCESS);
  mutex_ = CreateMutexA(nullptr, FALSE, name);
  lastError_ = GetLastError();
}

void CLimitSingleInstance::Close() {
  if (mutex_) {
    CloseHandle(mutex_);
    mutex_ = nullptr;
  }
}
