// Walks arbitrary bytes as a whole rule file found on disk and as a rule file
// view of the input's size, then writes what was read into a fresh view and
// checks that it reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "rules/RuleRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xFFFFFFFFu) return 0;
  // Own copy of exactly size bytes, so that any read beyond it is reported.
  std::vector<uint8_t> view(data, data + size);
  const uint32_t maxSize = static_cast<uint32_t>(size);
  IsValidRuleHeader(view.data(), view.size());
  // The same bytes as a whole file found on disk: never read past them.
  {
    RuleList found;
    const int rc = ParseRuleFileImage(view.data(), view.size(), found);
    Check(rc == -1 || rc == -3 || rc == -4);
    Check(CheckRuleFileShape(view.data(), view.size()) != RuleFileShape::AsWritten || size == RULE_FILE_SIZE);
    uint64_t end = RULE_FILE_HEADER_SIZE;
    for (const auto& r : found) end += r->RecordSize();
    Check(found.empty() || end <= size);
  }
  if (size < RULE_FILE_HEADER_SIZE) {
    if (size == 0) return 0;
    RuleList none;
    uint32_t count = 0, offset = 0;
    Check(ParseRuleRecords(view.data(), maxSize, none, count, offset) == -4);
    return 0;
  }
  const uint8_t* dataArea = view.data() + RULE_FILE_HEADER_SIZE;

  RuleList rules;
  uint32_t count = 0, offset = 0;
  bool pause = false;
  const int rc = ParseRuleRecords(dataArea, maxSize, rules, count, offset, &pause);
  Check(rc == -1 || rc == -3 || rc == -4);
  Check(count == rules.size());
  Check(!pause || (rc == -3 && count == 0));
  uint64_t sum = 0;
  for (const auto& r : rules) {
    Check(r->Type != 0 && r->SourceLen != 0);
    Check(r->Source.size() == r->SourceLen && r->Dest.size() == r->DestLen);
    sum += r->RecordSize();
  }
  Check(sum == offset);

  // A batch walk from the start sees the same first records.
  if (count > 1) {
    RuleList part;
    uint32_t some = count - 1, at = 0;
    Check(ParseRuleRecords(dataArea, maxSize, part, some, at) == 0 && some == count - 1);
  }

  // Round trip: the records read fit in a view of the same size and come
  // back unchanged.
  std::vector<uint8_t> copy(size, 0xCD);
  BuildRuleFileHeader(copy.data());
  uint32_t used = 0;
  const int wrc = SerializeRuleRecords(copy.data() + RULE_FILE_HEADER_SIZE, maxSize, rules, used);
  if (size < RULE_FILE_HEADER_SIZE + 4) {
    Check(wrc == -1);
    return 0;
  }
  Check(wrc == 0 && used == offset);
  RuleList again;
  uint32_t count2 = 0, offset2 = 0;
  const int rc2 = ParseRuleRecords(copy.data() + RULE_FILE_HEADER_SIZE, maxSize, again, count2, offset2);
  Check(count2 == count && offset2 == offset);
  // The copy ends at its end marker, or at the reserve if the records fill it.
  Check(rc2 == -3 || rc2 == -4);
  auto a = rules.begin();
  for (auto b = again.begin(); b != again.end(); ++a, ++b) {
    Check((*a)->Type == (*b)->Type && (*a)->Kinds == (*b)->Kinds && (*a)->Mode == (*b)->Mode);
    Check((*a)->Source == (*b)->Source && (*a)->Dest == (*b)->Dest);
  }
  return 0;
}
