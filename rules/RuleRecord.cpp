#include "rules/RuleRecord.h"

#include <algorithm>
#include <cstring>

#include "framework/ByteOrder.h"
#include "framework/Trace.h"

namespace {

// True when a record of recordSize bytes at data offset off stays clear of
// the reserve at the end of a file of maxSize bytes.
bool FitsBeforeReserve(uint64_t off, uint64_t recordSize, uint32_t maxSize) {
  return RULE_FILE_HEADER_SIZE + off + recordSize + RULE_FILE_RESERVE <= maxSize;
}

const char kEmptySourceReplacement[] = "*";

// The walk is the body of the rule file's read; its one failure line names it.
const char kDamagedTrace[] = "CRuleFile::ReadRules:Damaged Record.\n";

}  // namespace

void BuildRuleFileHeader(uint8_t out[RULE_FILE_HEADER_SIZE]) {
  std::memset(out, 0, RULE_FILE_HEADER_SIZE);
  std::memcpy(out, RULE_FILE_MAGIC, RULE_FILE_MAGIC_LEN);
  Store32(out + RULE_FILE_MAGIC_LEN, RULE_FILE_VERSION);
}

bool IsValidRuleHeader(const uint8_t* view, size_t viewSize) {
  return view != nullptr && viewSize >= RULE_FILE_MAGIC_LEN &&
         std::memcmp(view, RULE_FILE_MAGIC, RULE_FILE_MAGIC_LEN) == 0;
}

RuleRecordStatus RULEFILE_ITEM::BuildFromBuffer(const uint8_t* p, size_t avail) {
  *this = RULEFILE_ITEM{};
  if (p == nullptr) {
    Trace("RULEFILE_ITEM::BuildFromBuffer:Bad Input Parameter!");
    return RuleRecordStatus::BadInput;
  }
  auto damaged = [this] {
    *this = RULEFILE_ITEM{};
    return RuleRecordStatus::Damaged;
  };
  if (avail < 4) return damaged();
  Type = Load32(p);
  if (Type == 0) return RuleRecordStatus::EndMarker;
  if (avail < 16) return damaged();
  Kinds = Load32(p + 4);
  Mode = Load32(p + 8);
  SourceLen = Load32(p + 12);
  if (SourceLen == 0) {
    Trace("RULEFILE_ITEM::BuildFromBuffer:Reach File End\n");
    return RuleRecordStatus::EmptySource;
  }
  // 64-bit sums: each length may be anything up to 0xFFFFFFFF.
  const uint64_t destLenAt = uint64_t{16} + SourceLen;
  if (destLenAt + 4 > avail) return damaged();
  const uint32_t destLen = Load32(p + destLenAt);
  if (destLenAt + 4 + destLen > avail) return damaged();
  Source.assign(reinterpret_cast<const char*>(p + 16), SourceLen);
  DestLen = destLen;
  Dest.assign(reinterpret_cast<const char*>(p + destLenAt + 4), DestLen);
  return RuleRecordStatus::Record;
}

namespace {

// The walk of the records; viewEnd is where the readable bytes end (file
// offset), at most maxSize.
int WalkRuleRecords(const uint8_t* dataArea, uint32_t maxSize, uint64_t viewEnd, RuleList& rules, uint32_t& count,
                    uint32_t& offset, bool* pauseHint) {
  if (pauseHint) *pauseHint = false;
  rules.clear();
  const uint32_t wanted = count;
  count = 0;
  if (dataArea == nullptr) return -1;
  if (viewEnd > maxSize) viewEnd = maxSize;
  for (;;) {
    if (wanted != 0 && count == wanted) return 0;
    if (uint64_t{RULE_FILE_HEADER_SIZE} + offset + RULE_FILE_RESERVE >= maxSize) return -4;
    const uint64_t at = uint64_t{RULE_FILE_HEADER_SIZE} + offset;
    const size_t avail = at < viewEnd ? static_cast<size_t>(viewEnd - at) : 0;
    auto item = std::make_unique<RULEFILE_ITEM>();
    switch (item->BuildFromBuffer(dataArea + offset, avail)) {
      case RuleRecordStatus::Record:
        // The writer never lets a record reach the reserve; one that does
        // was not written by it.
        if (!FitsBeforeReserve(offset, item->RecordSize(), maxSize)) {
          Trace(kDamagedTrace);
          return -1;
        }
        offset += static_cast<uint32_t>(item->RecordSize());
        rules.push_back(std::move(item));
        ++count;
        break;
      case RuleRecordStatus::EndMarker:
      case RuleRecordStatus::EmptySource:
        if (pauseHint) *pauseHint = (count == 0);
        return -3;
      case RuleRecordStatus::Damaged: Trace(kDamagedTrace); return -1;
      case RuleRecordStatus::BadInput: return -1;
    }
  }
}

}  // namespace

int ParseRuleRecords(const uint8_t* dataArea, uint32_t maxSize, RuleList& rules, uint32_t& count, uint32_t& offset,
                     bool* pauseHint, uint64_t viewEnd) {
  // A whole view ends maxSize - 39 bytes after the data area.
  return WalkRuleRecords(dataArea, maxSize, viewEnd, rules, count, offset, pauseHint);
}

bool IsAllZero(const uint8_t* bytes, size_t size) {
  for (size_t i = 0; i < size; ++i)
    if (bytes[i] != 0) return false;
  return true;
}

RuleFileShape CheckRuleFileShape(const uint8_t* bytes, size_t size) {
  if (size == 0) return RuleFileShape::Missing;
  if (size == RULE_FILE_SIZE && IsValidRuleHeader(bytes, size)) return RuleFileShape::AsWritten;
  // Nothing but zeros after the header (or where it would be): no record
  // was ever written. The header may be missing too (a file of the full
  // length, or one of zeros only).
  const size_t header = size < RULE_FILE_HEADER_SIZE ? size : RULE_FILE_HEADER_SIZE;
  if (IsAllZero(bytes + header, size - header) &&
      (size == RULE_FILE_SIZE || IsAllZero(bytes, header) || IsValidRuleHeader(bytes, size)))
    return RuleFileShape::Empty;
  return RuleFileShape::Damaged;
}

int ParseRuleFileImage(const uint8_t* bytes, size_t size, RuleList& rules) {
  rules.clear();
  if (bytes == nullptr || size < RULE_FILE_HEADER_SIZE) return -1;
  uint32_t count = 0, offset = 0;
  return WalkRuleRecords(bytes + RULE_FILE_HEADER_SIZE, RULE_FILE_SIZE, size, rules, count, offset, nullptr);
}

int SerializeRuleRecords(uint8_t* dataArea, uint32_t maxSize, const RuleList& rules, uint32_t& usedSize) {
  usedSize = 0;
  if (dataArea == nullptr || uint64_t{RULE_FILE_HEADER_SIZE} + 4 > maxSize) return -1;
  uint64_t off = 0;
  int result = 0;
  for (const auto& item : rules) {
    if (!item || item->Type == 0) continue;
    const char* source = item->Source.data();
    uint64_t sourceLen = item->Source.size();
    if (sourceLen == 0) {
      source = kEmptySourceReplacement;
      sourceLen = 1;
    }
    const uint64_t destLen = item->Dest.size();
    const uint64_t size = RULE_RECORD_FIXED_SIZE + sourceLen + destLen;
    if (!FitsBeforeReserve(off, size, maxSize)) {
      result = -4;
      break;
    }
    uint8_t* p = dataArea + off;
    Store32(p, item->Type);
    Store32(p + 4, item->Kinds);
    Store32(p + 8, item->Mode);
    Store32(p + 12, static_cast<uint32_t>(sourceLen));
    std::memcpy(p + 16, source, sourceLen);
    Store32(p + 16 + sourceLen, static_cast<uint32_t>(destLen));
    if (destLen) std::memcpy(p + 20 + sourceLen, item->Dest.data(), destLen);
    off += size;
  }
  // A written record ends at least 512 bytes before the end of the view, so
  // the end marker always fits after it.
  Store32(dataArea + off, 0);
  usedSize = static_cast<uint32_t>(off);
  return result;
}

uint64_t RuleSetBytes(const RuleList& rules) {
  uint64_t bytes = 0;
  for (const auto& rule : rules)
    if (rule && rule->Type != 0)
      bytes += RULE_RECORD_FIXED_SIZE + std::max<uint64_t>(rule->Source.size(), 1) + rule->Dest.size();
  return bytes;
}

bool RuleSetFits(const RuleList& rules, uint32_t maxSize) {
  return uint64_t{RULE_FILE_HEADER_SIZE} + RuleSetBytes(rules) + RULE_FILE_RESERVE <= maxSize;
}
