// Byte format of the activity log written by the access engine, the record in
// memory, the reader's walk and the writer's append. Win32-free: the log file
// class maps the view and holds the mutexes; these routines work on the bytes
// they are given and never touch anything outside the view.
//
// Wrap rule shared by writer and reader. Positions are byte offsets from the
// read base (file offset 38). A position is in the reserve zone when
// 38 + position + 512 >= maxSize.
//  - The writer appends at its position (never in the reserve zone), cutting
//    the text so that the record ends within the file, and stores a zero type
//    word right after the record when it fits.
//  - When the position after a record is in the reserve zone, the writer
//    stores a zero type word at position 0 as well and continues at 0. A
//    reader that wraps there finds that end marker, not the previous lap.
//  - The reader takes records until an invalid one (-3) or until its
//    position reaches the reserve zone (-4). On -4 it continues at position 0
//    only when the writer has begun a new lap there: position 0 holds the
//    zero word, or a record other than the one the reader took at position 0
//    when its own lap began. A chain that simply runs up to the reserve (a
//    writer that stops there, a restored old file) is thus taken once, and
//    the reader waits at the reserve instead of taking that lap again.
// A reader that stays less than one lap behind the writer thus sees every
// record once, in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

inline constexpr uint32_t LOG_FILE_SIZE = 0x500000;
inline constexpr uint32_t LOG_HEADER_SIZE = 38;
inline constexpr uint32_t LOG_RESERVE = 512;
// Size of the text buffers of the reader: a record text is 1..779 bytes.
inline constexpr uint32_t LOG_TEXT_BUFFER = 780;
inline constexpr uint32_t LOG_MAX_TEXT = LOG_TEXT_BUFFER - 1;
// Fixed part of a record: type, action, length.
inline constexpr uint32_t LOG_RECORD_FIXED_SIZE = 12;
inline constexpr char LOG_FILE_MAGIC[] = "QuorvexFirewallLogFile";
inline constexpr size_t LOG_FILE_MAGIC_LEN = sizeof(LOG_FILE_MAGIC) - 1;  // 22
inline constexpr uint32_t LOG_FILE_VERSION = 0x00000700;

// Fills the 38-byte header: magic, the version word 0x700 at offset 22, zeros.
void BuildLogFileHeader(uint8_t out[LOG_HEADER_SIZE]);

// True when view is not null, holds at least the magic and begins with it.
bool IsValidLogHeader(const uint8_t* view, size_t viewSize);

// One log record.
struct LOGFILE_ITEM {
  uint32_t type = 0;
  uint32_t action = 0;
  uint32_t length = 0;  // 0 when the record was invalid
  std::string text;     // length bytes

  // Resets the item and decodes the record at p, reading at most avail bytes.
  // True for a valid record: type != 0, 1 <= length <= 779 and the text
  // within avail. An invalid record leaves length 0 and the text empty.
  bool BuildFromBuffer(const uint8_t* p, size_t avail);
};

using LogItemList = std::vector<std::unique_ptr<LOGFILE_ITEM>>;

// True when a record at position may not be read or written.
bool IsInLogReserve(uint64_t position, uint32_t maxSize);

// Walks the records of a log view of maxSize bytes from readBase (= view +
// 38). The list is cleared first. count: in the maximum to read (0 = no
// limit), out the number read. position: in and out, the offset of the next
// record. Returns 0 (maximum reached), -3 (no valid record at the position;
// the position is not moved past it), -4 (the position is in the reserve
// zone; the caller continues at 0) or -1 (readBase null). *pauseHint (when
// given) is set when -3 came without any record read: the caller pauses
// 10 ms before the next poll.
int ParseLogRecords(const uint8_t* readBase, uint32_t maxSize, LogItemList& list, uint32_t& count, uint32_t& position,
                    bool* pauseHint = nullptr);

// For a reader whose position reached the reserve zone: true when the writer
// has begun a new lap at position 0, that is, position 0 holds the zero word
// that closes a lap, or a valid record that differs from lapFirst (the record
// the reader took at position 0 when its lap began; null when position 0
// held no record then). An invalid record at position 0 is no new lap.
bool LogNewLapStarted(const uint8_t* readBase, uint32_t maxSize, const LOGFILE_ITEM* lapFirst);

// The position after the last valid record of the chain that starts at 0
// (it may lie in the reserve zone when the chain runs up to it).
uint32_t LogChainEnd(const uint8_t* readBase, uint32_t maxSize);

// Where a writer continues in an existing log: LogChainEnd, or 0 when that
// position is in the reserve zone.
uint32_t FindLogWritePosition(const uint8_t* readBase, uint32_t maxSize);

// Appends one record at position (0 is used instead of a position in the
// reserve zone) following the wrap rule above; the text is cut to 779 bytes
// and to what fits before the end of the file. Returns the next write
// position. A record with type 0 or an empty text would read as the end, so
// none is written and position comes back unchanged; so does a view too small
// for any record.
uint32_t AppendLogRecord(uint8_t* readBase, uint32_t maxSize, uint32_t position, uint32_t type, uint32_t action,
                         std::string_view text);
