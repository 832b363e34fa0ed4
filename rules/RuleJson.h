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

// Longest source or dest that `vkctl add` takes, in bytes of the system
// code page: a path the user types fits the system's path buffers of 260
// characters. Imports take whatever the rule file holds (the front end
// keeps dests of dropped files that are longer).
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

// Every rule one that the rule file can hold: a source that is not empty
// (the file would hold "*" instead), and a record that fits the file's data
// area on its own. A dest may be empty and a rule may deny nothing: the
// Files page keeps such rules, and a backup must restore them.
bool CheckRuleLengths(const RuleList& rules, RuleInputError& error);

// Brings imported rules into the current set. Merge: every rule goes in as
// through the front end's merge (an equal rule gains the kinds, a new
// ordinary rule goes to the front, a new system rule to the back); new
// rules keep their order among themselves. Replace: the set becomes exactly
// the imported rules in their order. Returns how many rules were added
// (merge) or taken (replace).
size_t ImportRules(RuleList& current, RuleList incoming, bool replace);
