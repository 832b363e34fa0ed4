#include "rules/MappedFile.h"

#include <cstring>
#include <string>

#include "framework/Trace.h"
#include "rules/RuleFileCheck.h"
#include "rules/SharedNames.h"
#include "rules/SharedObjects.h"

CMappedFile::~CMappedFile() { CMappedFile::Close(nullptr); }

bool CMappedFile::OpenNamedMutex(HANDLE& handle, const std::string& plainName, bool readOnly) {
  if (handle) {
    ReleaseMutex(handle);
    CloseHandle(handle);
    handle = nullptr;
  }
  SharedObject mutex = OpenSharedMutex(plainName, readOnly);
  handle = mutex.handle;
  if (handle || (readOnly && mutex.error == ERROR_FILE_NOT_FOUND)) return true;
  lastError_ = mutex.error;
  failedObject_ = mutex.name;
  return false;
}

std::string CMappedFile::FailureText() const {
  if (!failedObject_.empty()) return SharedObjectFailureText(failedObject_, lastError_);
  return SystemErrorText(lastError_);
}

int CMappedFile::Close(const char* newName) {
  if (view_) UnmapViewOfFile(view_);
  view_ = nullptr;
  viewSize_ = 0;
  if (mapping_) CloseHandle(mapping_);
  mapping_ = nullptr;
  if (file_ != INVALID_HANDLE_VALUE) {
    if (IsWriteMode() && endMarker_) {
      LONG high = 0;
      SetFilePointer(file_, static_cast<LONG>(usedSize_), &high, FILE_BEGIN);
      SetEndOfFile(file_);
    }
    CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
  }
  for (HANDLE* m : {&readMutex_, &writeMutex_}) {
    if (*m) {
      ReleaseMutex(*m);
      CloseHandle(*m);
      *m = nullptr;
    }
  }
  if (newName && *newName && !path_.empty()) MoveFileA(path_.c_str(), newName);
  counter_ = 0;
  usedSize_ = 0;
  path_.clear();
  mappingName_.clear();
  readMutexName_.clear();
  writeMutexName_.clear();
  access_ = 0;
  maxSize_ = 0;
  endMarker_ = false;
  return 0;
}

void CMappedFile::CloseAndClear() {
  CMappedFile::Close(nullptr);
  readBase_ = nullptr;
  writeBase_ = nullptr;
}

int CMappedFile::OpenMapping(const OpenArgs& a) {
  lastError_ = 0;
  failedObject_.clear();
  path_ = a.path;
  endMarker_ = a.endMarker;
  mappingName_ = a.mappingName ? std::string(a.mappingName) : MappingNameOfPath(path_);
  maxSize_ = a.maxSize;
  access_ = a.access;
  const bool write = IsWriteMode();

  if (write) {
    // Every open for writing rewrites the header and sets the file to
    // exactly maxSize bytes, creating it when missing; the data area is
    // left as it is.
    HANDLE f = CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
      lastError_ = GetLastError();
      Trace("Failed to create file for writting.\n");
      return -1;
    }
    DWORD written = 0;
    WriteFile(f, a.header, a.headerSize, &written, nullptr);
    LONG high = 0;
    SetFilePointer(f, static_cast<LONG>(maxSize_), &high, FILE_BEGIN);
    SetEndOfFile(f);
    CloseHandle(f);
    file_ = CreateFileA(path_.c_str(), access_, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  } else {
    // A reader changes nothing: not the header, not the length, and a
    // missing file stays missing. It lets writers in beside it.
    file_ = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (file_ == INVALID_HANDLE_VALUE) {
    lastError_ = GetLastError();
    Trace("Failed to create file.\n");
    return -1;
  }

  SharedObject mapping = OpenSharedMapping(mappingName_, write);
  bool shared = true;
  if (!mapping.handle && mapping.error == ERROR_FILE_NOT_FOUND) {
    if (write) {
      mapping = CreateSharedMapping(file_, true, maxSize_, mappingName_);
    } else {
      // Nobody has the file mapped: map it as it is, under no name. A
      // shared mapping made by a reader would be read-only for everyone,
      // and the next writer could not map it for writing.
      LARGE_INTEGER size{};
      GetFileSizeEx(file_, &size);
      if (size.QuadPart == 0) {
        lastError_ = ERROR_HANDLE_EOF;
        Trace("Could not create file mapping object.");
        return -1;
      }
      viewSize_ = size.QuadPart < maxSize_ ? static_cast<uint32_t>(size.QuadPart) : maxSize_;
      mapping.handle = CreateFileMappingA(file_, nullptr, PAGE_READONLY, 0, 0, nullptr);
      mapping.error = mapping.handle ? 0 : GetLastError();
      shared = false;
    }
  }
  mapping_ = mapping.handle;
  if (!mapping_) {
    lastError_ = mapping.error;
    if (shared) failedObject_ = mapping.name;
    Trace("Could not create file mapping object.");
    return -1;
  }

  const DWORD mapAccess = write ? (FILE_MAP_READ | FILE_MAP_WRITE) : FILE_MAP_READ;
  view_ = static_cast<uint8_t*>(MapViewOfFile(mapping_, mapAccess, 0, 0, 0));
  if (shared) {
    // A mapping created earlier by the other side may be smaller than the
    // size we expect; never let a reader walk past what is really mapped.
    MEMORY_BASIC_INFORMATION info{};
    if (view_ && VirtualQuery(view_, &info, sizeof info) && info.RegionSize < maxSize_) {
      UnmapViewOfFile(view_);
      view_ = nullptr;
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    viewSize_ = maxSize_;
  }
  if (!view_) {
    lastError_ = GetLastError();
    if (lastError_ == 0) lastError_ = ERROR_NOT_ENOUGH_MEMORY;
    viewSize_ = 0;
    Trace("Could not map view of file.");
    return -1;
  }

  readMutexName_ = mappingName_ + " Read";
  writeMutexName_ = mappingName_ + " Write";
  // A reader needs only the Read mutex.
  if (!OpenNamedMutex(readMutex_, readMutexName_, !write) ||
      (write && !OpenNamedMutex(writeMutex_, writeMutexName_, false))) {
    Trace("Could not create mutex.\n");
    return -1;
  }

  if (write) {
    memcpy(view_, a.header, a.headerSize);
    writeBase_ = view_ + a.headerSize;
    if (endMarker_) memset(writeBase_, 0, 4);
  } else {
    writeBase_ = view_;
  }
  readBase_ = view_ + a.headerSize;
  return 0;
}
