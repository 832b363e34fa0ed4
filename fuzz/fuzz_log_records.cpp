// Walks arbitrary bytes as a log view of the input's size the way the log
// reader does, then appends records as the writer does and checks that the
// reader finds them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "log/LogRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < LOG_HEADER_SIZE || size > 0xFFFFFFFFu) return 0;
  std::vector<uint8_t> view(data, data + size);
  const uint32_t maxSize = static_cast<uint32_t>(size);
  IsValidLogHeader(view.data(), view.size());
  uint8_t* base = view.data() + LOG_HEADER_SIZE;

  // The reader's loop: batches of 100 until a batch comes back short.
  LogItemList list;
  uint32_t position = 0;
  uint64_t total = 0;
  for (int polls = 0; polls < 100000; ++polls) {
    uint32_t count = 100;
    const uint32_t before = position;
    const int rc = ParseLogRecords(base, maxSize, list, count, position, nullptr);
    Check(rc == 0 || rc == -3 || rc == -4);
    Check(count == list.size());
    uint64_t sum = 0;
    for (const auto& item : list) {
      Check(item->type != 0 && item->length >= 1 && item->length <= LOG_MAX_TEXT);
      Check(item->text.size() == item->length);
      sum += LOG_RECORD_FIXED_SIZE + item->length;
    }
    Check(before + sum == position);
    total += count;
    if (rc != 0) break;
  }
  // The lap rule reads position 0 of any bytes without leaving the view; the
  // record that began the walk never counts as a new lap.
  {
    LogItemList first;
    uint32_t one = 1, at = 0;
    ParseLogRecords(base, maxSize, first, one, at, nullptr);
    const bool lap = LogNewLapStarted(base, maxSize, first.empty() ? nullptr : first.front().get());
    Check(first.empty() || !lap);
  }

  // The writer resumes at the end of the chain; its records are read back.
  uint32_t w = FindLogWritePosition(base, maxSize);
  Check(!IsInLogReserve(w, maxSize) || w == 0);
  const std::string text(data + LOG_HEADER_SIZE, data + std::min<size_t>(size, LOG_HEADER_SIZE + 900));
  for (int i = 0; i < 3; ++i) {
    const uint32_t start = IsInLogReserve(w, maxSize) ? 0 : w;
    const uint32_t next = AppendLogRecord(base, maxSize, w, 1 + i, i, text);
    if (next == w && start == w) break;  // nothing written
    uint32_t count = 1, at = start;
    const int rc = ParseLogRecords(base, maxSize, list, count, at, nullptr);
    // The record just written is there, unless it closed the lap.
    if (next != 0) {
      Check(rc == 0 && count == 1 && at == next);
      Check(list.front()->type == uint32_t(1 + i));
      Check(text.compare(0, list.front()->length, list.front()->text) == 0);
      count = 1;
      Check(ParseLogRecords(base, maxSize, list, count, at, nullptr) == -3 || IsInLogReserve(at, maxSize));
    } else {
      uint32_t zeroCount = 0, zero = 0;
      Check(ParseLogRecords(base, maxSize, list, zeroCount, zero, nullptr) == -3 && zeroCount == 0);
    }
    w = next;
  }
  (void)total;
  return 0;
}
