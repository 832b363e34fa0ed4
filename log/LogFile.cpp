#include "log/LogFile.h"

#include <new>

#include "framework/Handle.h"
#include "framework/Module.h"
#include "framework/QX5Exception.h"
#include "framework/Trace.h"
#include "rules/SharedObjects.h"

CLogFile::CLogFile(const char* eventName) : eventName_(eventName ? eventName : kWrittenEventName) { Reset(0); }

CLogFile::CLogFile(NoEvent) : holdEvent_(false) { Reset(0); }

CLogFile::~CLogFile() { Reset(1); }

std::string CLogFile::DefaultPath() { return SystemDir() + "\\QX5.log"; }

void CLogFile::Reset(int flag) {
  try {
    CloseAndClear();
    maxSize_ = LOG_FILE_SIZE;
    scratch_.reset();
    if (flag == 0) {
      if (!event_ && holdEvent_) {
        const SharedObject event = OpenSharedEvent(eventName_);
        event_ = event.handle;
        eventProblem_ = event_ ? std::string() : SharedObjectFailureText(event.name, event.error);
      }
    } else if (event_) {
      ResetEvent(event_);
      CloseHandle(event_);
      event_ = nullptr;
    }
  } catch (const CQX5Exception& e) {
    Trace(e.what());
  }
}

int CLogFile::CloseLog(int dropEvent) {
  try {
    usedSize_ = LOG_HEADER_SIZE;
    Reset(dropEvent);
    return 0;
  } catch (const CQX5Exception& e) {
    Trace(e.what());
  }
  return -1;
}

int CLogFile::Open(const char* path, const char* mappingName, uint32_t maxSize, uint32_t access, bool endMarker) {
  Trace("CLogFile::Open\n");
  if (!path) return -2;
  try {
    Reset(0);
    // The data area must hold at least one record before the reserve.
    if (maxSize < LOG_HEADER_SIZE + LOG_RESERVE + LOG_RECORD_FIXED_SIZE + 1) {
      Trace("Failed to create file.\n");
      Reset(0);
      return -1;
    }
    uint8_t header[LOG_HEADER_SIZE];
    BuildLogFileHeader(header);
    OpenArgs args{"CLogFile", header, LOG_HEADER_SIZE, path, mappingName, maxSize, access, endMarker};
    if (OpenMapping(args) != 0) {
      Reset(0);
      return -1;
    }
    // A reader never writes, so a file shorter than the log is no log.
    if (!IsWriteMode() && (viewSize_ < maxSize_ || !IsValidLogHeader(view_, maxSize_))) {
      Trace("CLogFile::Open:Not Valid Log File Header.\n");
      Reset(0);
      return -1;
    }
    scratch_.reset(new char[LOG_TEXT_BUFFER]);
    return 0;
  } catch (const CQX5Exception& e) {
    Trace(e.what());
  } catch (const std::bad_alloc& e) {
    Trace(e.what());
  }
  CloseLog(0);
  return -1;
}

std::string CLogFile::SharedObjectProblem() const {
  if (!failedObject_.empty()) return FailureText();
  return eventProblem_;
}

int CLogFile::ReadItems(LogItemList& list, uint32_t* count, uint32_t* position) {
  if (!count || !position) return -1;
  list.clear();
  const uint32_t wanted = *count;
  *count = 0;
  if (!readBase_) return -1;
  try {
    bool pause = false;
    int result;
    {
      MutexLock readLock(readMutex_, cancel_);
      if (!readLock.Owned()) return -1;
      *count = wanted;
      result = ParseLogRecords(readBase_, maxSize_, list, *count, *position, &pause);
    }
    // Nothing new: give the writer a moment, outside the mutex.
    if (pause) Sleep(10);
    return result;
  } catch (const CQX5Exception& e) {
    Trace(e.what());
  } catch (const std::bad_alloc& e) {
    Trace(e.what());
  }
  *count = static_cast<uint32_t>(list.size());
  return -1;
}

int CLogFile::Resync(uint32_t* position) {
  if (!position || !readBase_) return -1;
  MutexLock readLock(readMutex_, cancel_);
  if (!readLock.Owned()) return -1;
  if (IsInLogReserve(*position, maxSize_)) return 0;
  const uint8_t* p = readBase_ + *position;
  if ((p[0] | p[1] | p[2] | p[3]) == 0) return 0;
  // A writer may have appended here since the last read: a valid record
  // is simply the next one to take.
  LOGFILE_ITEM item;
  if (item.BuildFromBuffer(p, size_t{maxSize_} - LOG_HEADER_SIZE - *position)) return 0;
  *position = FindLogWritePosition(readBase_, maxSize_);
  return 1;
}

int CLogFile::NewLapStarted(const LOGFILE_ITEM* lapFirst) {
  if (!readBase_) return -1;
  MutexLock readLock(readMutex_, cancel_);
  if (!readLock.Owned()) return -1;
  return LogNewLapStarted(readBase_, maxSize_, lapFirst) ? 1 : 0;
}

int CLogFile::FirstItem(LOGFILE_ITEM& item) {
  item = LOGFILE_ITEM{};
  if (!readBase_) return -1;
  MutexLock readLock(readMutex_, cancel_);
  if (!readLock.Owned()) return -1;
  if (IsInLogReserve(0, maxSize_)) return 0;
  return item.BuildFromBuffer(readBase_, size_t{maxSize_} - LOG_HEADER_SIZE) ? 1 : 0;
}

int CLogFile::WithReadLock(const std::function<int(const uint8_t* readBase, uint32_t maxSize)>& fn) {
  if (!readBase_) return -1;
  MutexLock readLock(readMutex_, cancel_);
  if (!readLock.Owned()) return -1;
  return fn(readBase_, maxSize_);
}
