// Operations on the rule set that do not need a window: the request kind
// bits, rule equality, the merge rule, building rules from a request and the
// list of copy-protected paths. The Files page calls these from its
// request handler and after every reload.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rules/RuleRecord.h"

// Request kind bits: the order of the main window's kind buttons.
inline constexpr uint32_t REQ_RUN = 0x01;
inline constexpr uint32_t REQ_COPY = 0x02;
inline constexpr uint32_t REQ_OPEN = 0x04;
inline constexpr uint32_t REQ_MODIFY = 0x08;
inline constexpr uint32_t REQ_DELETE = 0x10;
inline constexpr uint32_t REQ_FIND = 0x20;
inline constexpr uint32_t REQ_PRINT = 0x40;
// Request codes that are not kind masks.
inline constexpr uint32_t REQ_EDIT_NEW = 0;
inline constexpr uint32_t REQ_EDIT_SELECTED = 128;
inline constexpr uint32_t REQ_REMOVE_SELECTED = 256;

// Converts request kind bits to stored kind flags; other bits are dropped.
uint32_t RequestBitsToKinds(uint32_t req);
// Converts stored kind flags to request kind bits; other bits are dropped.
uint32_t KindsToRequestBits(uint32_t kinds);

// What a window asks the Files page to do with the rules.
struct RULE_REQUEST {
  uint32_t Code = 0;
  void* Owner = nullptr;  // the sending window; not used by the handler
  std::string Source;     // empty means "*"
  std::vector<std::string> Dests;
  int System = 0;   // non-zero: new rules get TYPE_SYSTEM
  int AltMode = 0;  // non-zero: new rules get Mode 9, else 10
  uint32_t Type = TYPE_FILE;
  // REQ_EDIT_NEW (Type and the other fields above do not count there): the
  // new rules' type (0: file rules) and the kinds (stored kind flags)
  // checked when the dialog opens.
  uint32_t EditNewType = 0;
  uint32_t EditNewKinds = 0;
};

// Two rules are equal when their Type (TYPE_SYSTEM included) and DestLen are
// identical and Dest and Source match ignoring ASCII case, compared as
// NUL-terminated strings. Kinds and Mode do not count.
bool RulesEqual(const RULEFILE_ITEM& a, const RULEFILE_ITEM& b);

// Case-insensitive comparison of two NUL-terminated byte strings in the "C"
// locale: only A-Z fold; the strings end at their first NUL byte.
bool EqualsNoCaseC(std::string_view a, std::string_view b);

// A new rule; an empty source becomes "*".
std::unique_ptr<RULEFILE_ITEM> MakeRule(std::string_view source, std::string_view dest, uint32_t type, uint32_t kinds,
                                        uint32_t mode);

// Merges item into the rule set; returns 0, or -2 when item is null.
// add: the first equal rule gains item's kinds (the caller keeps item), or,
// without one, item is inserted (TYPE_SYSTEM rules at the back, others at the
// front) and moved from. !add: the first equal rule is removed and item is
// reset; without one nothing changes.
int MergeRule(RuleList& rules, std::unique_ptr<RULEFILE_ITEM>& item, bool add);

// Removes a rule that the rule set itself holds (a selected row's item):
// the element owning exactly that item, or, when the set does not hold it,
// the first rule equal to it. Selecting by identity first keeps a second
// equal rule (one with other kinds, from a file written elsewhere) from being
// removed in its place. Returns whether a rule was removed; item is dangling
// afterwards when it was the set's own.
bool RemoveRuleItem(RuleList& rules, const RULEFILE_ITEM* item);

// Applies a kind-bit request: one rule per dest with Type = req.Type (plus
// TYPE_SYSTEM when req.System), the converted kinds and Mode 9 or 10, merged
// with add set. Returns whether there were dests (the caller then saves and
// reloads).
bool AddRequestRules(RuleList& rules, const RULE_REQUEST& req);

// The new rules of an edit-new request, for the Rule Edit dialog: one per
// dest, TYPE_FILE, no kinds, Mode 10, the request's source (or "*").
RuleList MakeEditNewItems(const RULE_REQUEST& req);

// The dest of every rule that has TYPE_FILE or KIND_COPY, in list order.
std::vector<std::string> CollectNoCopyPaths(const RuleList& rules);

// True when path equals one of the paths, ignoring ASCII case. An empty path
// never matches.
bool IsNoCopyPath(const std::vector<std::string>& paths, std::string_view path);
