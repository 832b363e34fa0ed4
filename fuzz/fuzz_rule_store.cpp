// Drives the rule store's save with arbitrary bytes: they are the rule file
// as another writer left it (any size, damaged or not), and they steer how
// the rules last seen and the pending change differ from it. The save never
// touches a byte outside the view, leaves the view alone when it refuses,
// and what it writes reads back whole and fits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "rules/RuleStoreCore.h"

namespace {

std::set<std::string> Keys(const RuleList& rules) {
  std::set<std::string> keys;
  for (const auto& r : rules) {
    std::string key = std::to_string(r->Type) + ':';
    for (char c : r->Source + '\1' + r->Dest) key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    keys.insert(key);
  }
  return keys;
}

// Changes a copy of rules as the steering bytes say: drop, widen, narrow
// or add rules.
RuleList Steer(const RuleList& rules, const uint8_t* steer, size_t n, char tag) {
  RuleList out = CopyRules(rules);
  size_t i = 0;
  for (auto it = out.begin(); it != out.end() && i < n; ++i) {
    switch (steer[i] & 3) {
      case 0: it = out.erase(it); continue;
      case 1: (*it)->Kinds |= steer[i] >> 2 & KIND_ALL; break;
      case 2: (*it)->Kinds &= ~(steer[i] >> 2 & KIND_ALL); break;
      default: break;
    }
    ++it;
  }
  for (; i < n; ++i) {
    auto item = MakeRule("*", std::string(1 + steer[i] % 7, tag), steer[i] & 0x80 ? TYPE_FILE | TYPE_SYSTEM : TYPE_FILE,
                         steer[i] & KIND_ALL, RULE_MODE_NORMAL);
    MergeRule(out, item, true);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t steerLength = data[0] % 16;
  if (size < 1 + steerLength) return 0;
  const uint8_t* steer = data + 1;
  // The file as the other writer left it: exactly the remaining bytes.
  std::vector<uint8_t> view(data + 1 + steerLength, data + size);
  if (view.size() < RULE_FILE_HEADER_SIZE || view.size() > 0xFFFFFFFFu) return 0;
  const uint32_t maxSize = static_cast<uint32_t>(view.size());
  uint8_t* dataArea = view.data() + RULE_FILE_HEADER_SIZE;

  RuleList theirs;
  uint32_t count = 0, offset = 0;
  const int read = ParseRuleRecords(dataArea, maxSize, theirs, count, offset);
  const RuleList base = Steer(theirs, steer, steerLength / 2, 'b');
  const RuleList mine = Steer(base, steer + steerLength / 2, steerLength - steerLength / 2, 'm');

  // Nothing pending: the rules of the file stay as they are.
  Check(SameRules(MergePendingChange(base, base, theirs), theirs));
  // Nobody else wrote: the result holds the rules of mine.
  Check(Keys(MergePendingChange(base, mine, base)) == Keys(mine));

  const std::vector<uint8_t> before = view;
  const RuleSaveOutcome out = SaveRulesOntoView(dataArea, maxSize, maxSize, &base, mine);
  Check(out.fileRules == theirs.size());
  switch (out.result) {
    case RuleSaveResult::Damaged: Check(read == -1 && view == before); break;
    case RuleSaveResult::Full: Check(view == before); break;
    case RuleSaveResult::Written:
    case RuleSaveResult::Merged: {
      RuleList saved;
      uint32_t n = 0, at = 0;
      const int again = ParseRuleRecords(dataArea, maxSize, saved, n, at);
      Check((again == -3 || again == -4) && saved.size() == out.savedRules && at == out.usedSize);
      Check(RuleSetFits(saved, maxSize));
      Check(out.result == RuleSaveResult::Merged || SameRules(saved, mine));
      break;
    }
  }
  return 0;
}
