// CLogFollower: takes the records that the engine appends to the log, in
// order, each once, for as long as it is asked: the Log page's reader and
// `vkctl log --follow` both follow the log with it.
//
// The lap rule (log/LogRecord.h): at the reserve zone the follower goes back
// to position 0 once the writer has begun a new lap there; off the chain of
// records (damaged bytes) it goes on where the writer does. A writer that
// goes round the whole file past the follower (a flood while the follower
// was held up) overwrites records the follower had not taken yet; those are
// lost, but the rest of the follower's lap still lies behind the write
// position: the follower takes it, then the writer's new lap from 0, and
// goes on from the write position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "log/LogFile.h"
#include "log/LogHistory.h"
#include "log/LogRecord.h"

class CLogFollower {
 public:
  explicit CLogFollower(CLogFile& log) : log_(log) {}

  // Starts at position 0, as the Log page's reader does: the records the
  // log holds now up to the write position are its backlog. -1 when the log
  // is not open or the wait was cancelled (the follower still starts at 0).
  int Begin();
  // Starts behind a history that was taken already.
  void BeginAfter(const LogHistory& history);

  // Replaces the list by at most max records (0: no limit). Results as
  // CLogFile::ReadItems: 0 (max reached), -3 (nothing more now), -4 (at the
  // reserve zone, waiting for the writer's next lap), -1 (not open or
  // cancelled).
  int Take(LogItemList& list, uint32_t max);
  // How many of the records the last Take gave, from the front, the log
  // held already when Begin ran.
  size_t BacklogTaken() const { return backlogTaken_; }

  uint32_t Position() const { return position_; }
  uint64_t Wraps() const { return wraps_; }
  uint64_t Resyncs() const { return resyncs_; }
  // Times the writer went round past the follower.
  uint64_t Laps() const { return laps_; }

 private:
  // After the writer went past: everything the log holds, oldest first.
  int TakeHistory();
  void CountBacklog(const LogItemList& list, uint32_t from);

  CLogFile& log_;
  uint32_t position_ = 0;
  bool haveLapFirst_ = false;
  LOGFILE_ITEM lapFirst_;
  // The log held records of a previous lap when the follower's lap began.
  bool olderLapKnown_ = true;
  // Records taken from the history, still to be handed out, and whether
  // each was backlog.
  LogItemList pending_;
  std::vector<bool> pendingBacklog_;
  size_t pendingNext_ = 0;
  // The backlog: the records up to backlogEnd_ in the lap the follower
  // began in, for as long as it stays on that lap.
  bool inStartLap_ = false;
  uint32_t backlogEnd_ = 0;
  size_t backlogTaken_ = 0;
  uint64_t wraps_ = 0;
  uint64_t resyncs_ = 0;
  uint64_t laps_ = 0;
};

// Everything the log holds, oldest first (ReadLogHistory). The view is
// copied under the Read mutex and read afterwards, so the writer waits no
// longer than the copy takes. -1 when not open or the wait was cancelled.
int TakeLogHistory(CLogFile& log, LogHistory& history);
