// Everything a log view holds, oldest record first: for exports and for
// `vkctl log`, which show the whole log rather than following it.
//
// The writer's lap rule (log/LogRecord.h) leaves the view as
//   [this lap: records from 0 up to the write position][zero word]
//   [rest of the previous lap: the tail of a record the lap cut into, then
//    whole records up to the reserve zone]
// so the oldest records are those behind the write position. Where they
// begin is not written down: the reader looks for the first place behind
// the write position from which whole records run, one after another, up
// to the reserve zone, the way the previous lap ended.
//
// Damaged places (a record with a type but an impossible length) are
// skipped the same way: the walk goes on at the first place behind them
// from which records run to the end of their lap (the zero word at the
// write position, or the reserve zone). In the previous lap, the records
// between the write position and a damaged place are lost with it. Only records that look like the
// writer's (known type and action bits, no NUL byte in the text) are
// trusted to begin such a run, so the text of a damaged or cut record is
// never taken for records. Records are never read outside the view.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "log/LogRecord.h"

struct LogHistory {
  LogItemList items;  // oldest first
  // Where each item lies (its position), and how many of the items, from
  // the front, belong to the previous lap.
  std::vector<uint32_t> positions;
  size_t olderLapItems = 0;
  // Where the writer appends next (the position of the zero word that ends
  // this lap; a position in the reserve zone when the lap ran up to it), and
  // so where a reader that follows the log goes on.
  uint32_t writePosition = 0;
  // The record at position 0, which a follower needs for the lap rule
  // (LogNewLapStarted); absent when position 0 holds none.
  bool haveLapFirst = false;
  LOGFILE_ITEM lapFirst;
  // Damaged places that were skipped.
  size_t damaged = 0;
};

// Reads the log view of maxSize bytes whose data area begins at readBase
// (view + 38). A null readBase or a view too small for any record gives an
// empty history.
LogHistory ReadLogHistory(const uint8_t* readBase, uint32_t maxSize);

// True when the bytes at position hold a record as the writer makes them:
// a type of known bits (0x01..0x08), action bits within 0x7F, a length of
// 1..779 whose text ends inside the view and holds no NUL byte.
bool LooksLikeWrittenRecord(const uint8_t* readBase, uint32_t maxSize, uint32_t position);

// True when records of a previous lap lie behind the write position: a run
// of written records from behind it up to the reserve zone. A log that has
// not gone round yet has none.
bool LogHasOlderLap(const uint8_t* readBase, uint32_t maxSize);

// For a follower that stands at position in the lap that began with
// lapFirst (the record at position 0 when that lap began; null when
// position 0 held none): true when the writer has gone past it, that is,
// it began a later lap (LogNewLapStarted) and its write position has
// reached the follower's. The records the follower stands on are then the
// writer's later ones and what it has not taken lies elsewhere: the rest of
// its own lap behind the write position, then the later lap from 0
// (ReadLogHistory). Without lapFirst a later lap shows only at position 0,
// as records of a previous lap behind the write position; olderLapKnown
// tells that the log held such records already when the follower's lap
// began, and then no lap can be told.
bool LogFollowerLapped(const uint8_t* readBase, uint32_t maxSize, uint32_t position, const LOGFILE_ITEM* lapFirst,
                       bool olderLapKnown);
