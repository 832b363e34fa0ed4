#include "log/LogHistory.h"

#include <cstring>
#include <vector>

#include "framework/ByteOrder.h"

namespace {

constexpr uint32_t kKnownTypeBits = 0x0F;
constexpr uint32_t kKnownActionBits = 0x7F;

// How a run of records that starts at a position ends.
enum class RunEnd : uint8_t { Unknown, EndMarker, Reserve, Broken };

// Finds runs of records in the bytes behind a stop. Each position's run is
// worked out once (a run that passes through a position ends where the
// run from that position ends), so a search over the whole view is linear.
class RunFinder {
 public:
  RunFinder(const uint8_t* base, uint32_t maxSize, uint32_t limit) : base_(base), maxSize_(maxSize), limit_(limit) {}

  // The first position from `from` on where a written record begins a run
  // that ends at the reserve zone, or at a zero word when endMarkerToo.
  // passedDamage: records were passed over whose run ends at a damaged place.
  bool Find(uint32_t from, bool endMarkerToo, uint32_t& start, RunEnd& end, bool& passedDamage) {
    passedDamage = false;
    for (uint32_t q = from; q < limit_; ++q) {
      if (!LooksLikeWrittenRecord(base_, maxSize_, q)) continue;
      const RunEnd e = EndOf(q);
      passedDamage |= e == RunEnd::Broken;
      if (e == RunEnd::Reserve || (endMarkerToo && e == RunEnd::EndMarker)) {
        start = q;
        end = e;
        return true;
      }
    }
    return false;
  }

 private:
  RunEnd EndOf(uint32_t q) {
    if (memo_.empty()) memo_.assign(limit_, RunEnd::Unknown);
    path_.clear();
    RunEnd end;
    for (uint32_t p = q;;) {
      if (p >= limit_) {
        end = RunEnd::Reserve;
        break;
      }
      if (memo_[p] != RunEnd::Unknown) {
        end = memo_[p];
        break;
      }
      if (Load32(base_ + p) == 0) {
        end = RunEnd::EndMarker;
        break;
      }
      if (!LooksLikeWrittenRecord(base_, maxSize_, p)) {
        end = RunEnd::Broken;
        break;
      }
      path_.push_back(p);
      p += LOG_RECORD_FIXED_SIZE + Load32(base_ + p + 8);
    }
    for (uint32_t p : path_) memo_[p] = end;
    return end;
  }

  const uint8_t* base_;
  uint32_t maxSize_;
  uint32_t limit_;
  std::vector<RunEnd> memo_;
  std::vector<uint32_t> path_;
};

// Items and where they lie.
struct Placed {
  LogItemList items;
  std::vector<uint32_t> positions;

  void Take(LogItemList& batch, uint32_t from) {
    for (auto& item : batch) {
      positions.push_back(from);
      from += LOG_RECORD_FIXED_SIZE + item->length;
      items.push_back(std::move(item));
    }
    batch.clear();
  }
  void MoveTo(LogHistory& history) {
    for (auto& item : items) history.items.push_back(std::move(item));
    history.positions.insert(history.positions.end(), positions.begin(), positions.end());
  }
};

}  // namespace

bool LooksLikeWrittenRecord(const uint8_t* readBase, uint32_t maxSize, uint32_t position) {
  if (readBase == nullptr || IsInLogReserve(position, maxSize)) return false;
  const size_t avail = size_t{maxSize} - LOG_HEADER_SIZE - position;  // more than 512 here
  const uint8_t* p = readBase + position;
  const uint32_t type = Load32(p);
  const uint32_t action = Load32(p + 4);
  const uint32_t length = Load32(p + 8);
  if (type == 0 || (type & ~kKnownTypeBits) != 0 || (action & ~kKnownActionBits) != 0) return false;
  if (length < 1 || length > LOG_MAX_TEXT || LOG_RECORD_FIXED_SIZE + size_t{length} > avail) return false;
  return std::memchr(p + LOG_RECORD_FIXED_SIZE, 0, length) == nullptr;
}

LogHistory ReadLogHistory(const uint8_t* readBase, uint32_t maxSize) {
  LogHistory history;
  if (readBase == nullptr || IsInLogReserve(0, maxSize)) return history;
  // Positions from limit on are in the reserve zone.
  const uint32_t limit = maxSize - LOG_HEADER_SIZE - LOG_RESERVE;
  history.haveLapFirst = history.lapFirst.BuildFromBuffer(readBase, size_t{maxSize} - LOG_HEADER_SIZE);

  RunFinder finder(readBase, maxSize, limit);
  Placed thisLap, olderLap;
  LogItemList batch;
  bool inOlderLap = false;
  bool writePositionFound = false;
  uint32_t position = 0;
  for (;;) {
    uint32_t count = 0;  // no limit
    const uint32_t from = position;
    const int rc = ParseLogRecords(readBase, maxSize, batch, count, position);
    (inOlderLap ? olderLap : thisLap).Take(batch, from);
    if (rc == -4) {
      if (!inOlderLap) history.writePosition = position;
      break;
    }
    // No valid record at position (rc -3): the zero word at the write
    // position, or a damaged place.
    const bool endMarker = Load32(readBase + position) == 0;
    if (!endMarker) ++history.damaged;
    if (!inOlderLap && (endMarker || !writePositionFound)) {
      // A writer that looks for its place stops here too.
      history.writePosition = position;
      writePositionFound = endMarker;
    }
    uint32_t next = 0;
    RunEnd end = RunEnd::Unknown;
    bool passedDamage = false;
    const bool found = finder.Find(position + 1, !inOlderLap, next, end, passedDamage);
    // Records that lead only to a damaged place are lost with it.
    if (passedDamage) ++history.damaged;
    if (!found) break;
    if (end == RunEnd::EndMarker) {
      // More of this lap follows: the stop was a damaged place (a record
      // whose type word was wiped reads like the zero word).
      if (endMarker) ++history.damaged;
      writePositionFound = false;
    } else {
      inOlderLap = true;
    }
    position = next;
  }
  history.olderLapItems = olderLap.items.size();
  olderLap.MoveTo(history);
  thisLap.MoveTo(history);
  return history;
}

bool LogHasOlderLap(const uint8_t* readBase, uint32_t maxSize) {
  if (readBase == nullptr || IsInLogReserve(0, maxSize)) return false;
  const uint32_t end = LogChainEnd(readBase, maxSize);
  // A chain up to the reserve leaves no place behind the write position.
  if (IsInLogReserve(end, maxSize)) return false;
  RunFinder finder(readBase, maxSize, maxSize - LOG_HEADER_SIZE - LOG_RESERVE);
  uint32_t start = 0;
  RunEnd runEnd = RunEnd::Unknown;
  bool passedDamage = false;
  return finder.Find(end + 1, false, start, runEnd, passedDamage);
}

bool LogFollowerLapped(const uint8_t* readBase, uint32_t maxSize, uint32_t position, const LOGFILE_ITEM* lapFirst,
                       bool olderLapKnown) {
  if (readBase == nullptr || IsInLogReserve(0, maxSize)) return false;
  if (lapFirst != nullptr)
    return LogNewLapStarted(readBase, maxSize, lapFirst) && LogChainEnd(readBase, maxSize) >= position;
  // A follower that has taken nothing of its lap stands at 0; the writer's
  // first lap leaves nothing behind its write position.
  return position == 0 && !olderLapKnown && LogChainEnd(readBase, maxSize) > 0 && LogHasOlderLap(readBase, maxSize);
}
