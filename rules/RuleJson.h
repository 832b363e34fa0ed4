// Rules as JSON, for backups, reviews and deployment from scripts:
//
//   {"format": "varnokel-rules", "version": 1, "rules": [
//     {"type": "file", "system": false, "deny": ["open", "copy"],
//      "mode": 10, "source": "*", "dest": "C:\\data\\plan.doc"}]}
//
// "type" is "file", "registry" or "net"; "deny" names kinds (see
// kKindNames); "system" defaults to false, "mode" to 10 and "source" to "*".
// Strings are UTF-8 here; the caller converts them from and to the
// system's code page. Win32-free; the JSON library stays behind this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "rules/RuleRecord.h"

// Longest source or dest, in bytes of the system code page: the engine and
// the front end keep paths in buffers of 260 characters.
inline constexpr size_t kMaxRuleTextLength = 259;

// Why an input was refused: a position in the text (line and column from 1
// of the last character read, the end of the offending token)
// or a rule (index from 1), or neither.
struct RuleInputError {
  std::string message;
  size_t line = 0;
  size_t column = 0;
  size_t rule = 0;
  // "NAME:LINE:COLUMN: message", "NAME: rule N: message" or "NAME: message".
  std::string Describe(std::string_view name) const;
};

// Reads rules from JSON text into rules (appended in the text's order).
// Everything is checked before anything is kept: on false, rules is
// unchanged and error says why.
bool ParseRulesJson(std::string_view text, RuleList& rules, RuleInputError& error);

// Writes the rules as JSON (two-space indent, ends with a newline). False
// when a rule cannot be written so that it reads back the same: type bits
// other than one of file, registry and net (plus system), kind bits outside
// the seven kinds, or text that is not UTF-8.
bool RulesToJson(const RuleList& rules, std::string& out, RuleInputError& error);

// Every source and dest non-empty and at most kMaxRuleTextLength bytes.
bool CheckRuleLengths(const RuleList& rules, RuleInputError& error);

// Bytes that the rules take in the data area of a rule file (records only).
uint64_t RuleSetBytes(const RuleList& rules);
// True when all rules fit before the reserve of a rule file of maxSize bytes.
bool RuleSetFits(const RuleList& rules, uint32_t maxSize = RULE_FILE_SIZE);

// Brings imported rules into the current set. Merge: every rule goes in as
// through the front end's merge (an equal rule gains the kinds, a new
// ordinary rule goes to the front, a new system rule to the back); new
// rules keep their order among themselves. Replace: the set becomes the
// imported rules in their order, equal rules among them folded into the
// first one. Returns how many rules were added (merge) or kept (replace).
size_t ImportRules(RuleList& current, RuleList incoming, bool replace);
