// Which rules of a rule list deny an access. The access engine and every
// tool that answers "would this be denied?" decide with the same function,
// so a "Denied" row in the log can be traced back to its rules.
//
// Matching is textual: nothing is looked up on the machine that decides.
//  - Comparisons ignore ASCII letter case.
//  - "*" in a source or dest matches any run of characters, backslashes
//    included; a source of "*" (or an empty one) covers every program.
//  - A dest without "*" covers the object itself and everything below it:
//    "C:\data", "C:\data\" and "C:\" cover "C:\data\a.doc", while "C:\data"
//    does not cover "C:\database\a.doc". Trailing backslashes of the dest
//    and the object do not count ("C:\data\" also covers "C:\data").
//  - File rules (TYPE_FILE) match file-system objects, registry rules
//    (TYPE_REGISTRY) registry keys; TYPE_SYSTEM does not change this.
//    Net rules match neither. Registry roots may be written in full as the
//    system rules write them ("hkey_local_machine\...") or shortened
//    ("HKLM\..."); both forms mean the same key.
//  - A rule matches when it denies the kind asked for (any of the bits).
//  - Rules are tried in list order and every match is reported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "rules/RuleRecord.h"

// What an access is made on.
enum class AccessObject { File, Registry };

struct AccessQuery {
  std::string_view process;  // full path of the program making the access
  std::string_view object;   // file-system path or registry key
  uint32_t kinds = 0;        // KIND_* bits asked for
  AccessObject type = AccessObject::File;
};

// Zero-based positions, in list order, of the rules that deny the access.
std::vector<size_t> MatchRules(const RuleList& rules, const AccessQuery& query);
// True when this one rule denies the access.
bool RuleDenies(const RULEFILE_ITEM& rule, const AccessQuery& query);

// "*" matches any run of characters (also none); everything else matches
// itself ignoring ASCII case. The whole text must match the whole pattern.
bool WildcardMatch(std::string_view pattern, std::string_view text);
// The dest rule above for one dest and one object (no type or kind check).
bool DestCovers(std::string_view dest, std::string_view object, AccessObject type);

// The kind names used on command lines and in rule exports, in bit order:
// open, modify, run, copy, delete, find, print.
struct KindName {
  uint32_t bit;
  const char* name;
};
inline constexpr KindName kKindNames[] = {
    {KIND_OPEN, "open"},     {KIND_MODIFY, "modify"}, {KIND_RUN, "run"},     {KIND_COPY, "copy"},
    {KIND_DELETE, "delete"}, {KIND_FIND, "find"},     {KIND_PRINT, "print"},
};
// The bit of one kind name (ignoring case), or 0 for an unknown name.
uint32_t KindFromName(std::string_view name);
// Parses "open,copy" (names separated by commas); false on an empty list or
// an unknown name, which is then given in badName.
bool ParseKindList(std::string_view text, uint32_t& kinds, std::string* badName = nullptr);
// "open,copy" for the bits set, in bit order; "-" when none is.
std::string KindListText(uint32_t kinds);
