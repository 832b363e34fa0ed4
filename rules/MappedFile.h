// CMappedFile: a file in the system directory shared with the access engine
// through a named file mapping, with a Read and a Write mutex named after
// the mapping ("<mapping> Read", "<mapping> Write"), all three in the global
// namespace (rules/SharedNames.h).
//
// A writer takes the Write mutex, then the Read mutex; a reader takes only
// the Read mutex. Waits have no time-out, but a cancel event (if set) ends
// them, so a worker can always be stopped without killing it while it holds
// a mutex or is half-way through the shared view.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class CMappedFile {
 public:
  static constexpr uint32_t kAccessRead = GENERIC_READ;
  static constexpr uint32_t kAccessReadWrite = GENERIC_READ | GENERIC_WRITE;

  CMappedFile() = default;
  CMappedFile(const CMappedFile&) = delete;
  CMappedFile& operator=(const CMappedFile&) = delete;
  virtual ~CMappedFile();

  // Releases view, mapping, file and mutexes; cuts the file to the used size
  // when it was opened for writing with the end-marker flag; renames the
  // file when a new name is given. Clears names, sizes and flags.
  virtual int Close(const char* newName = nullptr);
  virtual uint32_t GetCounter() const { return counter_; }
  virtual uint32_t GetUsedSize() const { return usedSize_; }
  virtual uint8_t* GetReadBase() const { return readBase_; }
  virtual uint8_t* GetWriteBase() const { return writeBase_; }
  virtual void SetMaxSize(uint32_t size) { maxSize_ = size; }
  virtual uint32_t GetMaxSize() const { return maxSize_; }
  virtual const char* GetPath() const { return path_.c_str(); }
  virtual const char* GetMappingName() const { return mappingName_.c_str(); }
  virtual void SetPath(const char* path) { path_ = path ? path : ""; }
  virtual void SetMappingName(const char* name) { mappingName_ = name ? name : ""; }

  bool IsWriteMode() const { return (access_ & GENERIC_WRITE) != 0; }
  bool IsOpen() const { return view_ != nullptr; }
  // The system error of the last failed Open (or of a mutex wait that was
  // given up: ERROR_TIMEOUT); 0 after a successful Open. A read-only open
  // of a missing file fails with ERROR_FILE_NOT_FOUND, one of an empty file
  // with ERROR_HANDLE_EOF: neither holds anything to read.
  DWORD LastError() const { return lastError_; }
  // The name of the shared object (mapping or mutex) that the last failed
  // Open could not open or create; empty when the file itself failed.
  const std::string& FailedObject() const { return failedObject_; }
  // Why the last Open failed, for the user: the shared object and the
  // reason, or the system's text of the error.
  std::string FailureText() const;
  // Bytes of the file that the view holds (at most the max size).
  uint32_t ViewSize() const { return viewSize_; }
  HANDLE ReadMutex() const { return readMutex_; }
  HANDLE WriteMutex() const { return writeMutex_; }

  // An event that ends the mutex waits of this object (manual-reset events
  // stay signalled, so every later wait ends too). Not owned.
  void SetCancelEvent(HANDLE event) { cancel_ = event; }
  HANDLE CancelEvent() const { return cancel_; }

 protected:
  struct OpenArgs {
    const char* traceClass;  // "CRuleFile" or "CLogFile"
    const uint8_t* header;   // written at offset 0 by every open
    uint32_t headerSize;
    const char* path;
    const char* mappingName;  // null: the file name part of the path
    uint32_t maxSize;
    uint32_t access;
    bool endMarker;
  };
  // The common open. Write mode: rewrites the header, sets the file to
  // maxSize bytes, opens or creates the shared mapping, maps it whole,
  // opens or creates both mutexes and copies the header into the view.
  // Read mode writes nothing: it opens the existing file for reading, maps
  // the shared mapping when a writer has made it (else the file as it is,
  // under no name) and opens the Read mutex (a reader that may not create
  // it and finds none goes on without it). Shared objects go by their names
  // in the global namespace. Returns 0 or -1 (traced, LastError and
  // FailedObject set); the caller validates the header in read mode.
  int OpenMapping(const OpenArgs& args);
  // Releases and closes a mutex handle, then opens or creates the shared
  // mutex of that plain name; false (error set) when there is none to be had.
  bool OpenNamedMutex(HANDLE& handle, const std::string& plainName, bool readOnly);
  // Clears everything Close clears plus the two bases.
  void CloseAndClear();

  uint32_t counter_ = 0;
  uint32_t usedSize_ = 0;
  HANDLE readMutex_ = nullptr;
  HANDLE writeMutex_ = nullptr;
  std::string path_;
  std::string mappingName_;
  std::string readMutexName_;
  std::string writeMutexName_;
  uint32_t access_ = 0;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE mapping_ = nullptr;
  uint8_t* view_ = nullptr;
  uint8_t* writeBase_ = nullptr;
  uint8_t* readBase_ = nullptr;
  uint32_t maxSize_ = 0;
  bool endMarker_ = false;
  HANDLE cancel_ = nullptr;
  DWORD lastError_ = 0;
  std::string failedObject_;
  uint32_t viewSize_ = 0;
};
