#include "log/LogFollower.h"

#include <algorithm>
#include <cstring>

int TakeLogHistory(CLogFile& log, LogHistory& history) {
  std::vector<uint8_t> view;
  uint32_t maxSize = 0;
  const int rc = log.WithReadLock([&](const uint8_t* readBase, uint32_t size) {
    maxSize = size;
    view.assign(readBase, readBase + (size - LOG_HEADER_SIZE));
    return 0;
  });
  if (rc != 0) return -1;
  history = ReadLogHistory(view.data(), maxSize);
  return 0;
}

int CLogFollower::Begin() {
  position_ = 0;
  haveLapFirst_ = false;
  inStartLap_ = true;
  backlogEnd_ = 0;
  olderLapKnown_ = true;
  return log_.WithReadLock([this](const uint8_t* readBase, uint32_t maxSize) {
    haveLapFirst_ = lapFirst_.BuildFromBuffer(readBase, size_t{maxSize} - LOG_HEADER_SIZE);
    backlogEnd_ = LogChainEnd(readBase, maxSize);
    olderLapKnown_ = LogHasOlderLap(readBase, maxSize);
    return 0;
  });
}

void CLogFollower::BeginAfter(const LogHistory& history) {
  position_ = history.writePosition;
  haveLapFirst_ = history.haveLapFirst;
  if (haveLapFirst_) lapFirst_ = history.lapFirst;
  olderLapKnown_ = true;
  inStartLap_ = false;
}

void CLogFollower::CountBacklog(const LogItemList& list, uint32_t from) {
  if (!inStartLap_) return;
  for (const auto& item : list) {
    if (from >= backlogEnd_) break;
    ++backlogTaken_;
    from += LOG_RECORD_FIXED_SIZE + item->length;
  }
}

int CLogFollower::TakeHistory() {
  LogHistory history;
  if (TakeLogHistory(log_, history) != 0) return -1;
  ++laps_;
  pending_ = std::move(history.items);
  pendingNext_ = 0;
  // Of the start lap's rest, what lies before the backlog's end was there
  // when the follower began.
  pendingBacklog_.assign(pending_.size(), false);
  if (inStartLap_)
    for (size_t i = 0; i < history.olderLapItems && i < history.positions.size(); ++i)
      pendingBacklog_[i] = history.positions[i] < backlogEnd_;
  position_ = history.writePosition;
  haveLapFirst_ = history.haveLapFirst;
  if (haveLapFirst_) lapFirst_ = history.lapFirst;
  olderLapKnown_ = true;
  inStartLap_ = false;
  return 0;
}

int CLogFollower::Take(LogItemList& list, uint32_t max) {
  list.clear();
  backlogTaken_ = 0;
  if (pendingNext_ >= pending_.size()) {
    pending_.clear();
    pendingBacklog_.clear();
    pendingNext_ = 0;
    const int lapped = log_.WithReadLock([this](const uint8_t* readBase, uint32_t maxSize) {
      return LogFollowerLapped(readBase, maxSize, position_, haveLapFirst_ ? &lapFirst_ : nullptr, olderLapKnown_) ? 1
                                                                                                                   : 0;
    });
    if (lapped < 0) return -1;
    if (lapped == 1 && TakeHistory() != 0) return -1;
  }
  if (pendingNext_ < pending_.size()) {
    // What the history holds goes out in batches like the records read.
    const size_t left = pending_.size() - pendingNext_;
    const size_t n = max == 0 ? left : std::min<size_t>(left, max);
    for (size_t i = 0; i < n; ++i, ++pendingNext_) {
      if (pendingBacklog_[pendingNext_]) ++backlogTaken_;
      list.push_back(std::move(pending_[pendingNext_]));
    }
    return max != 0 && n == max ? 0 : -3;
  }

  uint32_t count = max;
  const uint32_t from = position_;
  const int rc = log_.ReadItems(list, &count, &position_);
  if (rc == -1) return -1;
  CountBacklog(list, from);
  if (inStartLap_ && position_ >= backlogEnd_) inStartLap_ = false;
  if (from == 0 && !list.empty()) {
    lapFirst_ = *list.front();
    haveLapFirst_ = true;
  }
  if (rc == -4) {
    // A chain that merely runs up to the reserve (a writer that stops
    // there, a restored file) is not a new lap: the follower waits here
    // instead of taking the same records again.
    const int lap = log_.NewLapStarted(haveLapFirst_ ? &lapFirst_ : nullptr);
    if (lap < 0) return -1;
    if (lap == 1) {
      position_ = 0;
      haveLapFirst_ = false;
      olderLapKnown_ = true;
      inStartLap_ = false;
      ++wraps_;
    }
  } else if (rc == -3 && count == 0) {
    const int moved = log_.Resync(&position_);
    if (moved < 0) return -1;
    if (moved == 1) {
      // The records skipped belong to the writer's lap that began at 0.
      haveLapFirst_ = log_.FirstItem(lapFirst_) == 1;
      olderLapKnown_ = true;
      inStartLap_ = false;
      ++resyncs_;
    }
  }
  return rc;
}
