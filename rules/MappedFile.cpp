#include "rules/MappedFile.h"

#include <cstring>
#include <string>

#include "framework/Trace.h"

CMappedFile::~CMappedFile() { CMappedFile::Close(nullptr); }

bool CMappedFile::CreateNamedMutex(HANDLE& handle, const std::string& name) {
  if (handle) {
    ReleaseMutex(handle);
    CloseHandle(handle);
  }
  handle = CreateMutexA(nullptr, FALSE, name.c_str());
  return handle != nullptr;
}

int CMappedFile::Close(const char* newName) {
  if (view_) UnmapViewOfFile(view_);
  view_ = nullptr;
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
  const std::string cls = a.traceClass;
  lastError_ = 0;
  path_ = a.path;
  endMarker_ = a.endMarker;
  if (a.mappingName) {
    mappingName_ = a.mappingName;
  } else {
    size_t slash = path_.find_last_of('\\');
    mappingName_ = slash == std::string::npos ? path_ : path_.substr(slash + 1);
  }
  maxSize_ = a.maxSize;
  access_ = a.access;

  // Every open rewrites the header and sets the file to exactly maxSize
  // bytes, creating it when missing; the data area is left as it is.
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
  if (file_ == INVALID_HANDLE_VALUE) {
    lastError_ = GetLastError();
    Trace("Failed to create file.\n");
    return -1;
  }

  const bool write = IsWriteMode();
  const DWORD mapAccess = write ? (FILE_MAP_READ | FILE_MAP_WRITE) : FILE_MAP_READ;
  mapping_ = OpenFileMappingA(mapAccess, TRUE, mappingName_.c_str());
  if (!mapping_) {
    mapping_ =
        CreateFileMappingA(file_, nullptr, write ? PAGE_READWRITE : PAGE_READONLY, 0, maxSize_, mappingName_.c_str());
  }
  if (!mapping_) {
    lastError_ = GetLastError();
    Trace("Could not create file mapping object.");
    CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    return -1;
  }

  // A mapping created earlier by the other side may be smaller than the
  // size we expect; never let a reader walk past what is really mapped.
  view_ = static_cast<uint8_t*>(MapViewOfFile(mapping_, mapAccess, 0, 0, 0));
  MEMORY_BASIC_INFORMATION info{};
  if (view_ && VirtualQuery(view_, &info, sizeof info) && info.RegionSize < maxSize_) {
    UnmapViewOfFile(view_);
    view_ = nullptr;
  }
  if (!view_) {
    lastError_ = GetLastError();
    if (lastError_ == 0) lastError_ = ERROR_NOT_ENOUGH_MEMORY;
    Trace("Could not map view of file.");
    CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    CloseHandle(mapping_);
    mapping_ = nullptr;
    return -1;
  }

  readMutexName_ = mappingName_ + " Read";
  writeMutexName_ = mappingName_ + " Write";
  CreateNamedMutex(readMutex_, readMutexName_);
  CreateNamedMutex(writeMutex_, writeMutexName_);

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
