// When the tray icon tells the user that an access was blocked. The log
// reader hands over every record it takes; this decides which balloon to
// show and when, on a clock that the caller supplies (milliseconds that
// only grow, such as GetTickCount64), so the rule can be tried without
// waiting:
//  - only "Denied" records count, never the program's own and never the
//    backlog that the reader takes at start;
//  - at most one balloon every 10 seconds: the first denial after a quiet
//    spell is shown at once, the ones that follow within the 10 seconds are
//    held and shown together once the 10 seconds are over, as one balloon
//    that counts them and names the latest.
// Balloon texts: title "Varnokel blocked <process file name>", text
// "<action> <object>", or "12 accesses blocked; the latest: <action>
// <object>" for a summary; the title names the latest process. The texts
// are in the system code page, as the records; the caller fits them to the
// balloon's room.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "log/LogFields.h"

class CDenialNotifier {
 public:
  static constexpr uint64_t kIntervalMs = 10000;

  struct Balloon {
    std::string title;
    std::string text;
    uint32_t count = 0;  // denials it stands for
    uint64_t tag = 0;    // the caller's tag of the latest (its row, say)
  };

  // One record the reader took. own: the program's own record; backlog:
  // taken in the reader's first pass over what the log held at start. tag
  // comes back with the balloon that names this record. Returns the balloon
  // to show now, if any.
  std::optional<Balloon> Take(const LogRecordFields& record, bool own, bool backlog, uint64_t tag, uint64_t nowMs);
  // The held denials once their balloon is due (the caller asks on a timer).
  std::optional<Balloon> Poll(uint64_t nowMs);
  // When Poll next has something: held denials and their due time.
  bool HasHeld() const { return held_ > 0; }
  uint64_t DueAt() const { return lastShown_ + kIntervalMs; }
  // Forgets held denials (the user turned the notifications off).
  void DropHeld() { held_ = 0; }

 private:
  bool Due(uint64_t nowMs) const { return !shownOnce_ || nowMs - lastShown_ >= kIntervalMs; }
  Balloon Show(uint64_t nowMs);

  bool shownOnce_ = false;
  uint64_t lastShown_ = 0;
  uint32_t held_ = 0;
  LogRecordFields latest_;
  uint64_t latestTag_ = 0;
};
