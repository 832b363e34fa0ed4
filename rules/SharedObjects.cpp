#include "rules/SharedObjects.h"

#include <atomic>

#include "rules/RuleFileCheck.h"
#include "rules/SharedNames.h"

namespace {

const SharedObjectCalls kSystemCalls = {&OpenMutexA,   &CreateMutexA,     &OpenEventA,
                                        &CreateEventA, &OpenFileMappingA, &CreateFileMappingA};
std::atomic<const SharedObjectCalls*> g_calls{&kSystemCalls};

const SharedObjectCalls& Calls() { return *g_calls.load(); }

// Opens with open, else (not there) creates with create.
template <typename Open, typename Create>
SharedObject OpenOrCreate(const std::string& plainName, bool readOnly, Open open, Create create) {
  SharedObject object;
  object.name = SharedObjectName(plainName);
  object.handle = open(object.name.c_str());
  if (object.handle) return object;
  object.error = GetLastError();
  if (object.error != ERROR_FILE_NOT_FOUND) return object;
  object.handle = create(object.name.c_str());
  object.error = object.handle ? 0 : GetLastError();
  if (!object.handle && readOnly && object.error == ERROR_ACCESS_DENIED) object.error = ERROR_FILE_NOT_FOUND;
  return object;
}

}  // namespace

const SharedObjectCalls& SystemSharedObjectCalls() { return kSystemCalls; }

void SetSharedObjectCalls(const SharedObjectCalls* calls) { g_calls = calls ? calls : &kSystemCalls; }

SharedObject OpenSharedMutex(const std::string& plainName, bool readOnly) {
  return OpenOrCreate(
      plainName, readOnly,
      [](const char* name) { return Calls().openMutex(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name); },
      [](const char* name) { return Calls().createMutex(nullptr, FALSE, name); });
}

SharedObject OpenSharedEvent(const std::string& plainName, bool readOnly) {
  return OpenOrCreate(
      plainName, readOnly,
      [](const char* name) { return Calls().openEvent(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, name); },
      [](const char* name) { return Calls().createEvent(nullptr, FALSE, FALSE, name); });
}

SharedObject OpenSharedMapping(const std::string& plainName, bool write) {
  SharedObject object;
  object.name = SharedObjectName(plainName);
  object.handle =
      Calls().openFileMapping(write ? (FILE_MAP_READ | FILE_MAP_WRITE) : FILE_MAP_READ, TRUE, object.name.c_str());
  if (!object.handle) object.error = GetLastError();
  return object;
}

SharedObject CreateSharedMapping(HANDLE file, bool write, DWORD size, const std::string& plainName) {
  SharedObject object;
  object.name = SharedObjectName(plainName);
  object.handle =
      Calls().createFileMapping(file, nullptr, write ? PAGE_READWRITE : PAGE_READONLY, 0, size, object.name.c_str());
  if (!object.handle) object.error = GetLastError();
  return object;
}

std::string SharedObjectFailureText(const std::string& name, DWORD error) {
  // Creating or opening an object whose name another kind of object has
  // fails with "invalid handle", which says nothing to anybody.
  const std::string reason =
      error == ERROR_INVALID_HANDLE ? "another kind of object has this name" : SystemErrorText(error);
  return "Shared object \"" + name + "\": " + reason;
}
