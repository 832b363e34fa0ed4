// The rule store's decisions, free of Windows: whether the rule file still
// holds the rules a writer last saw, how a change made from those rules goes
// onto the rules the file holds now, and whether a set fits the file. The
// rule file class and the Files page supply the view and the locking;
// vkctl and the Files page both save through SaveRulesOntoView.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rules/RuleRecord.h"
#include "rules/RuleSet.h"

// True when both lists hold the same rules in the same order with every
// field (Type, Kinds, Mode, Source, Dest) equal.
bool SameRules(const RuleList& a, const RuleList& b);

// A deep copy.
RuleList CopyRules(const RuleList& rules);

// The pending change that turned base (the rules as last seen in the file)
// into mine, applied to theirs (the rules the file holds now). Rules are
// matched as the merge rule matches them (type, source and dest, ignoring
// case); equal rules within one list are matched by their order among
// themselves.
//  - A rule of base that mine no longer has is removed from theirs.
//  - A rule whose kinds mine changed gets in theirs the kinds that mine
//    added and loses those that mine took away; kinds that theirs added
//    stay. A rule that theirs no longer has stays removed.
//  - A rule that only mine has is merged into theirs as a new rule is:
//    ordinary rules in front (in mine's order), system rules at the back,
//    an equal rule of theirs gains its kinds.
// Everything else keeps theirs' order and fields.
RuleList MergePendingChange(const RuleList& base, const RuleList& mine, const RuleList& theirs);

// A kind-bit request as AddRequestRules applies it, but one dest at a time
// and only while the set still fits a rule file of maxSize bytes; a dest
// that would not fit is left out (an equal rule gains its kinds anyway).
// Returns how many were left out.
size_t AddRequestRulesThatFit(RuleList& rules, const RULE_REQUEST& req, uint32_t maxSize = RULE_FILE_SIZE);

// What a save into the rule file did.
enum class RuleSaveResult {
  Written,  // the file held the rules last seen: mine was written
  Merged,   // another writer had changed the file: mine's change went onto its rules
  Full,     // the result would not fit before the reserve: nothing written
  Damaged,  // the file holds a damaged record now: nothing written
};
struct RuleSaveOutcome {
  RuleSaveResult result = RuleSaveResult::Full;
  size_t fileRules = 0;   // the rules the file held before the save
  size_t savedRules = 0;  // the rules it holds after it
  uint32_t usedSize = 0;  // data-area bytes of the written records
};

// Saves mine into a rule file view (dataArea = view + 39, maxSize bytes,
// viewEnd: where the view's bytes end) whose writer holds the Write and the
// Read mutex. base: the rules as last seen in the file; when the view holds
// others, the change from base to mine is merged onto them
// (MergePendingChange). A null base overwrites whatever the view holds (the
// caller has kept a copy of a damaged file). A result that does not fit is
// not written at all.
RuleSaveOutcome SaveRulesOntoView(uint8_t* dataArea, uint32_t maxSize, uint64_t viewEnd, const RuleList* base,
                                  const RuleList& mine);
