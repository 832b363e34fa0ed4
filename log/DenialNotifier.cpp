#include "log/DenialNotifier.h"

std::optional<CDenialNotifier::Balloon> CDenialNotifier::Take(const LogRecordFields& record, bool own, bool backlog,
                                                              uint64_t tag, uint64_t nowMs) {
  if (own || backlog || !IsDeniedResult(record.result)) return std::nullopt;
  ++held_;
  latest_ = record;
  latestTag_ = tag;
  return Poll(nowMs);
}

std::optional<CDenialNotifier::Balloon> CDenialNotifier::Poll(uint64_t nowMs) {
  if (held_ == 0 || !Due(nowMs)) return std::nullopt;
  return Show(nowMs);
}

CDenialNotifier::Balloon CDenialNotifier::Show(uint64_t nowMs) {
  Balloon b;
  b.count = held_;
  b.tag = latestTag_;
  b.title = "Varnokel blocked " + std::string(ProcessFileName(latest_.process));
  const std::string action = LogActionText(latest_.action);
  const std::string what = action.empty() ? latest_.object : action + " " + latest_.object;
  b.text = held_ == 1 ? what : std::to_string(held_) + " accesses blocked; the latest: " + what;
  shownOnce_ = true;
  lastShown_ = nowMs;
  held_ = 0;
  return b;
}
