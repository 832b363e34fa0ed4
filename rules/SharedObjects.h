// Opening the named objects shared with the access engine (the mappings of
// the rule file and the log, their mutexes, the log's written event) under
// their names in the global namespace (rules/SharedNames.h).
//
// Creating an object in the global namespace needs a privilege that
// administrators have; opening an existing one needs only the access its
// owner grants. So each object is opened first and created only when it
// does not exist yet. The plain name (without a namespace) is never used:
// that would be an object of the user's session alone, which the engine in
// session 0 never sees.
#pragma once

#include <windows.h>

#include <string>

// The system calls through which the objects are opened and created. Tests
// put their own in place to see the names that are actually passed (under
// Wine the global and the plain name reach the same object).
struct SharedObjectCalls {
  HANDLE(WINAPI* openMutex)(DWORD access, BOOL inherit, LPCSTR name);
  HANDLE(WINAPI* createMutex)(LPSECURITY_ATTRIBUTES attributes, BOOL owned, LPCSTR name);
  HANDLE(WINAPI* openEvent)(DWORD access, BOOL inherit, LPCSTR name);
  HANDLE(WINAPI* createEvent)(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL signalled, LPCSTR name);
  HANDLE(WINAPI* openFileMapping)(DWORD access, BOOL inherit, LPCSTR name);
  HANDLE(WINAPI* createFileMapping)
  (HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect, DWORD sizeHigh, DWORD sizeLow, LPCSTR name);
};
// The system's own calls.
const SharedObjectCalls& SystemSharedObjectCalls();
// Replaces the calls for the whole process; null puts the system's back.
void SetSharedObjectCalls(const SharedObjectCalls* calls);

// The outcome of opening one shared object.
struct SharedObject {
  HANDLE handle = nullptr;
  // The system error when there is no handle: ERROR_FILE_NOT_FOUND when
  // it does not exist and may not be created.
  DWORD error = 0;
  std::string name;  // the name passed to the system
};

// A mutex (not owned) by its plain name, created when it does not exist.
// readOnly: the caller only reads. When the mutex does not exist and the
// caller is refused its creation (it lacks the privilege), it gets no
// handle and ERROR_FILE_NOT_FOUND: nobody has the object, so nobody else is
// using the file, and the reader goes on without it.
SharedObject OpenSharedMutex(const std::string& plainName, bool readOnly = false);
// An automatically resetting event, not signalled when created; readOnly as
// for the mutex.
SharedObject OpenSharedEvent(const std::string& plainName, bool readOnly = false);
// An existing file mapping, for reading or for reading and writing; no
// handle (ERROR_FILE_NOT_FOUND) when there is none.
SharedObject OpenSharedMapping(const std::string& plainName, bool write);
// A new file mapping of size bytes on file (or the one that another
// program has made meanwhile).
SharedObject CreateSharedMapping(HANDLE file, bool write, DWORD size, const std::string& plainName);

// The reason a shared object could not be had, for the user: the object's
// name and what went wrong ('Shared object "Global\QX5Rule.rle Read":
// another kind of object has this name', or the system's text).
std::string SharedObjectFailureText(const std::string& name, DWORD error);
