// CLogFile: the activity log QX5.log in the system directory, appended by the
// access engine and read by the Log page's reader thread. The front end only
// reads records; it rewrites the header whenever it opens the file.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "log/LogRecord.h"
#include "rules/MappedFile.h"

class CLogFile : public CMappedFile {
 public:
  static constexpr char kWrittenEventName[] = "LogFileEventWritten";

  // eventName: the event the writer signals after every append; tests give
  // their own so that they never meet a real writer.
  explicit CLogFile(const char* eventName = kWrittenEventName);
  // A log object that neither opens nor resets the written event: for
  // readers other than the Log page's (vkctl) and for writers in tests. The
  // event is auto-reset and its signal belongs to the Log page's reader;
  // such an object never takes it and never drops it.
  struct NoEvent {};
  static constexpr NoEvent kNoEvent{};
  explicit CLogFile(NoEvent);
  ~CLogFile() override;

  // Full path of the log: the system directory + "\QX5.log".
  static std::string DefaultPath();

  // 0 success, -1 failure (traced), -2 when path is null. The file is
  // created when missing and always set to exactly maxSize bytes; its
  // records survive. A read-only open of a file without the magic fails and
  // leaves the object closed.
  int Open(const char* path, const char* mappingName, uint32_t maxSize, uint32_t access, bool endMarker);
  // Replaces the list by at most *count records (0 = no limit) from
  // *position on, under the Read mutex. *count = records read, *position =
  // where the next record starts. 0 (maximum reached), -3 (no valid record
  // at the position), -4 (the position reached the reserve zone; the reader
  // continues at 0 once the writer has, see NewLapStarted), -1 (not open, or
  // the wait was cancelled; then *count is 0 and the list empty).
  int ReadItems(LogItemList& list, uint32_t* count, uint32_t* position);
  // After a -3 without records: when *position holds neither an end marker
  // nor (by now) a valid record, the reader is not on the chain of records (damaged data, or a
  // writer that went a whole lap ahead and wrote across it). Moves
  // *position to the end of the chain that starts at the read base, where
  // the writer continues, and returns 1; 0 when *position is at the end
  // marker; -1 when not open or the wait was cancelled.
  int Resync(uint32_t* position);
  // For a reader whose position reached the reserve zone: 1 when the writer
  // has begun a new lap at position 0 (see LogNewLapStarted; lapFirst is the
  // record the reader took at position 0 when its lap began, or null), 0
  // when not, -1 when not open or the wait was cancelled.
  int NewLapStarted(const LOGFILE_ITEM* lapFirst);
  // The valid record at position 0 into item: 1, 0 when there is none, -1
  // when not open or the wait was cancelled.
  int FirstItem(LOGFILE_ITEM& item);
  // Runs fn on the view (read base and max size) under the Read mutex and
  // returns its result; -1 when not open or the wait was cancelled.
  int WithReadLock(const std::function<int(const uint8_t* readBase, uint32_t maxSize)>& fn);
  // Cuts nothing (the log is not opened with the end-marker flag by the
  // front end), closes everything; keeps the event unless dropEvent is set.
  int CloseLog(int dropEvent);
  // Closes view, mapping, file and mutexes and clears every field. flag 0:
  // makes sure the written event is held; flag 1: drops a pending signal
  // and lets the event go.
  void Reset(int flag);

  HANDLE WrittenEvent() const { return event_; }
  const std::string& EventName() const { return eventName_; }
  // When a shared object of the log (its mapping, a mutex or the written
  // event) exists but could not be opened or created: the object and the
  // reason, for the user; empty otherwise (also when the file itself
  // failed, which the Log page does not report).
  std::string SharedObjectProblem() const;

 private:
  std::string eventName_;
  bool holdEvent_ = true;
  HANDLE event_ = nullptr;
  std::string eventProblem_;
  std::unique_ptr<char[]> scratch_;
};
