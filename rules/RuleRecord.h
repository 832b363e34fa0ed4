// Byte format of the rule file shared with the access engine, and the rule
// record in memory. Win32-free: the rule file class maps the view and holds
// the mutexes; these routines only walk and fill the bytes they are given and
// never touch anything outside them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>

// Rule kind flags: a set bit denies that kind of access. The log records use
// the same values for their action bits.
inline constexpr uint32_t KIND_OPEN = 0x01;
inline constexpr uint32_t KIND_MODIFY = 0x02;
inline constexpr uint32_t KIND_RUN = 0x04;
inline constexpr uint32_t KIND_COPY = 0x08;
inline constexpr uint32_t KIND_DELETE = 0x10;
inline constexpr uint32_t KIND_FIND = 0x20;
inline constexpr uint32_t KIND_PRINT = 0x40;
inline constexpr uint32_t KIND_ALL = 0x7F;

// Rule type flags; TYPE_SYSTEM is OR-ed onto one of the others for the
// built-in rules. The log records use the same values for their type bits.
inline constexpr uint32_t TYPE_FILE = 1;
inline constexpr uint32_t TYPE_REGISTRY = 2;
inline constexpr uint32_t TYPE_NET = 4;
inline constexpr uint32_t TYPE_SYSTEM = 8;

// Mode values: ordinary rules and rules added with the alternate-mode flag.
inline constexpr uint32_t RULE_MODE_NORMAL = 10;
inline constexpr uint32_t RULE_MODE_ALT = 9;

inline constexpr uint32_t RULE_FILE_SIZE = 102400;
inline constexpr uint32_t RULE_FILE_HEADER_SIZE = 39;
// The last bytes of the file that no record may reach.
inline constexpr uint32_t RULE_FILE_RESERVE = 512;
inline constexpr char RULE_FILE_MAGIC[] = "QuorvexFirewallRuleFile";
inline constexpr size_t RULE_FILE_MAGIC_LEN = sizeof(RULE_FILE_MAGIC) - 1;  // 23
inline constexpr uint32_t RULE_FILE_VERSION = 0x00000700;
// Fixed part of a record: Type, Kinds, Mode, SourceLen, DestLen.
inline constexpr uint32_t RULE_RECORD_FIXED_SIZE = 20;

// Fills the 39-byte header: magic, the version word 0x700 at offset 23, zeros.
void BuildRuleFileHeader(uint8_t out[RULE_FILE_HEADER_SIZE]);

// True when view is not null, holds at least the magic and begins with it.
bool IsValidRuleHeader(const uint8_t* view, size_t viewSize);

// Outcome of decoding one record.
enum class RuleRecordStatus {
  Record,       // a complete record was decoded
  EndMarker,    // Type 0: end of the records
  EmptySource,  // SourceLen 0: also the end of the records (traced)
  BadInput,     // null pointer (traced)
  Damaged,      // the lengths run past the bytes available
};

// One rule. SourceLen and DestLen always equal the byte lengths of Source and
// Dest for items built by BuildFromBuffer and MakeRule.
struct RULEFILE_ITEM {
  uint32_t Type = 0;
  uint32_t Kinds = 0;
  uint32_t Mode = 0;
  uint32_t SourceLen = 0;
  std::string Source;
  uint32_t DestLen = 0;
  std::string Dest;

  // Resets the item and decodes the record at p, reading at most avail bytes.
  // Anything but Record leaves the item all zero, except that the end cases
  // keep the fields read before the end was seen.
  RuleRecordStatus BuildFromBuffer(const uint8_t* p, size_t avail);

  // Bytes the record takes in the file: 20 + SourceLen + DestLen.
  uint64_t RecordSize() const { return uint64_t{RULE_RECORD_FIXED_SIZE} + SourceLen + DestLen; }
};

using RuleList = std::list<std::unique_ptr<RULEFILE_ITEM>>;

// Walks the records of a rule file view of maxSize bytes; dataArea is the
// view + 39. The list is cleared first. count: in the maximum number of
// records to read (0 = all), out the number read. offset: in and out, the
// data-area offset of the next record. Returns
//    0  the maximum was reached,
//   -3  end of the records (Type 0 or SourceLen 0),
//   -4  the offset reached the reserve (39 + offset + 512 >= maxSize),
//   -1  dataArea is null, or the record at offset is damaged: its lengths run
//       into the reserve or past the view (traced). The records before it
//       are kept and offset stays at the damaged record.
// *pauseHint (when given) is set when the caller should pause 10 ms before
// polling again: the walk ended at an end marker without reading a record.
// viewEnd: the file offset where the readable bytes end when the view is
// shorter than maxSize (a file mapped as it is); bytes past it count as
// missing.
int ParseRuleRecords(const uint8_t* dataArea, uint32_t maxSize, RuleList& rules, uint32_t& count, uint32_t& offset,
                     bool* pauseHint = nullptr, uint64_t viewEnd = UINT64_MAX);

// How a rule file looks on disk before the front end opens it. Every open
// rewrites the header and sets the length, so this has to be judged on the
// bytes as they were found.
enum class RuleFileShape {
  Missing,    // no bytes at all: nothing to lose
  Empty,      // zeros, or the header followed by zeros: a new file that
              // holds no rule yet (the engine creates it so)
  AsWritten,  // RULE_FILE_SIZE bytes beginning with the magic
  Damaged,    // another length (cut short, say) or a foreign header
};
RuleFileShape CheckRuleFileShape(const uint8_t* bytes, size_t size);

// True when all size bytes are zero (also for size 0).
bool IsAllZero(const uint8_t* bytes, size_t size);

// Reads every record out of a whole rule file image of size bytes as it was
// on disk (fewer or more than RULE_FILE_SIZE). The reserve is that of a
// RULE_FILE_SIZE file; bytes past size count as missing, so a record that a
// short file cuts off is damaged instead of being padded with zeros. The
// magic is not required. Returns as ParseRuleRecords walking from offset 0
// without a limit; -1 also when size cannot hold the header.
int ParseRuleFileImage(const uint8_t* bytes, size_t size, RuleList& rules);

// Writes the rules in list order into the data area of a view of maxSize
// bytes, then a 32-bit 0 as end marker; usedSize = the end marker's offset.
// Stops with -4 at the first rule that would reach the reserve; the rules
// before it and the end marker are written. Returns 0, -4, or -1 when dataArea
// is null or the view cannot even hold the end marker (nothing written).
// A rule with Type 0 is left out and a rule with an empty source is written
// with the source "*": either would otherwise read back as the end marker and
// hide every rule after it from the reader and the engine.
int SerializeRuleRecords(uint8_t* dataArea, uint32_t maxSize, const RuleList& rules, uint32_t& usedSize);

// Bytes that the rules take in the data area of a rule file (records only,
// as SerializeRuleRecords writes them).
uint64_t RuleSetBytes(const RuleList& rules);
// True when all rules fit before the reserve of a rule file of maxSize bytes.
bool RuleSetFits(const RuleList& rules, uint32_t maxSize = RULE_FILE_SIZE);
