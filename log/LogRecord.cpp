#include "log/LogRecord.h"

#include <algorithm>
#include <cstring>

#include "framework/ByteOrder.h"
#include "framework/Trace.h"

namespace {

// Bytes from position to the end of the view; only called for positions
// outside the reserve zone, where this is more than 512.
size_t BytesToViewEnd(uint32_t position, uint32_t maxSize) { return size_t{maxSize} - LOG_HEADER_SIZE - position; }

// Length of the valid record at position, or 0 when there is none. Does not
// allocate: the writer uses it to find its place.
uint32_t ValidRecordLength(const uint8_t* readBase, uint32_t maxSize, uint32_t position) {
  const size_t avail = BytesToViewEnd(position, maxSize);
  const uint8_t* p = readBase + position;
  if (avail < LOG_RECORD_FIXED_SIZE || Load32(p) == 0) return 0;
  const uint32_t length = Load32(p + 8);
  if (length < 1 || length > LOG_MAX_TEXT || LOG_RECORD_FIXED_SIZE + size_t{length} > avail) return 0;
  return length;
}

void StoreEndMarker(uint8_t* readBase, uint32_t maxSize, uint64_t position) {
  if (LOG_HEADER_SIZE + position + 4 <= maxSize) Store32(readBase + position, 0);
}

}  // namespace

void BuildLogFileHeader(uint8_t out[LOG_HEADER_SIZE]) {
  std::memset(out, 0, LOG_HEADER_SIZE);
  std::memcpy(out, LOG_FILE_MAGIC, LOG_FILE_MAGIC_LEN);
  Store32(out + LOG_FILE_MAGIC_LEN, LOG_FILE_VERSION);
}

bool IsValidLogHeader(const uint8_t* view, size_t viewSize) {
  return view != nullptr && viewSize >= LOG_FILE_MAGIC_LEN &&
         std::memcmp(view, LOG_FILE_MAGIC, LOG_FILE_MAGIC_LEN) == 0;
}

bool LOGFILE_ITEM::BuildFromBuffer(const uint8_t* p, size_t avail) {
  type = action = length = 0;
  text.clear();
  if (p == nullptr) {
    Trace("LOGFILE_ITEM::BuildFromBuffer:Bad Input Parameter!\n");
    return false;
  }
  if (avail < 4) return false;
  type = Load32(p);
  if (type == 0) return false;
  if (avail < LOG_RECORD_FIXED_SIZE) {
    Trace("LOGFILE_ITEM::BuildFromBuffer:Reach File End\n");
    return false;
  }
  action = Load32(p + 4);
  const uint32_t len = Load32(p + 8);
  if (len < 1 || len > LOG_MAX_TEXT || LOG_RECORD_FIXED_SIZE + size_t{len} > avail) {
    Trace("LOGFILE_ITEM::BuildFromBuffer:Reach File End\n");
    return false;
  }
  length = len;
  text.assign(reinterpret_cast<const char*>(p + LOG_RECORD_FIXED_SIZE), length);
  return true;
}

bool IsInLogReserve(uint64_t position, uint32_t maxSize) { return LOG_HEADER_SIZE + position + LOG_RESERVE >= maxSize; }

int ParseLogRecords(const uint8_t* readBase, uint32_t maxSize, LogItemList& list, uint32_t& count, uint32_t& position,
                    bool* pauseHint) {
  if (pauseHint) *pauseHint = false;
  list.clear();
  const uint32_t wanted = count;
  count = 0;
  if (readBase == nullptr) return -1;
  for (;;) {
    if (wanted != 0 && count == wanted) return 0;
    if (IsInLogReserve(position, maxSize)) return -4;
    auto item = std::make_unique<LOGFILE_ITEM>();
    if (!item->BuildFromBuffer(readBase + position, BytesToViewEnd(position, maxSize))) {
      if (pauseHint) *pauseHint = (count == 0);
      return -3;
    }
    position += LOG_RECORD_FIXED_SIZE + item->length;
    list.push_back(std::move(item));
    ++count;
  }
}

bool LogNewLapStarted(const uint8_t* readBase, uint32_t maxSize, const LOGFILE_ITEM* lapFirst) {
  if (readBase == nullptr || IsInLogReserve(0, maxSize)) return false;
  if (Load32(readBase) == 0) return true;
  LOGFILE_ITEM first;
  if (!first.BuildFromBuffer(readBase, BytesToViewEnd(0, maxSize))) return false;
  if (lapFirst == nullptr) return true;
  return first.type != lapFirst->type || first.action != lapFirst->action || first.text != lapFirst->text;
}

uint32_t LogChainEnd(const uint8_t* readBase, uint32_t maxSize) {
  if (readBase == nullptr) return 0;
  uint32_t position = 0;
  while (!IsInLogReserve(position, maxSize)) {
    const uint32_t length = ValidRecordLength(readBase, maxSize, position);
    if (length == 0) return position;
    position += LOG_RECORD_FIXED_SIZE + length;
  }
  return position;
}

uint32_t FindLogWritePosition(const uint8_t* readBase, uint32_t maxSize) {
  const uint32_t end = LogChainEnd(readBase, maxSize);
  return IsInLogReserve(end, maxSize) ? 0 : end;
}

uint32_t AppendLogRecord(uint8_t* readBase, uint32_t maxSize, uint32_t position, uint32_t type, uint32_t action,
                         std::string_view text) {
  if (readBase == nullptr || type == 0 || text.empty()) return position;
  const uint32_t start = IsInLogReserve(position, maxSize) ? 0 : position;
  if (IsInLogReserve(start, maxSize)) return position;  // no room for any record
  // Room for the text up to the end of the file.
  int64_t room = int64_t{maxSize} - LOG_HEADER_SIZE - start - LOG_RECORD_FIXED_SIZE;
  if (start == 0) {
    // The lap's first record must end before the reserve zone: the zero word
    // that closes a lap goes to position 0 and would otherwise erase it.
    room = std::min<int64_t>(room, int64_t{maxSize} - LOG_HEADER_SIZE - LOG_RESERVE - LOG_RECORD_FIXED_SIZE - 1);
  }
  if (room < 1) return position;
  const uint32_t length =
      static_cast<uint32_t>(std::min<uint64_t>({text.size(), uint64_t{LOG_MAX_TEXT}, static_cast<uint64_t>(room)}));
  uint8_t* p = readBase + start;
  Store32(p, type);
  Store32(p + 4, action);
  Store32(p + 8, length);
  std::memcpy(p + LOG_RECORD_FIXED_SIZE, text.data(), length);
  const uint64_t next = uint64_t{start} + LOG_RECORD_FIXED_SIZE + length;
  StoreEndMarker(readBase, maxSize, next);
  if (IsInLogReserve(next, maxSize)) {
    StoreEndMarker(readBase, maxSize, 0);
    return 0;
  }
  return static_cast<uint32_t>(next);
}
