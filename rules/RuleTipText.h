// The text that the Files page shows when the pointer rests on a rule's row:
// the rule in full, including what its row does not show (the program it
// applies to), so that two rules with the same destination can be told
// apart. Win32-free.
#pragma once

#include <string>

#include "rules/RuleRecord.h"

// Lines, separated by "\r\n" (a tooltip breaks lines there):
//   Destination: <Dest>
//   Program: <Source>, or "every program" for "*" (and for an empty source)
//   Denies: the kinds in the order of the page's columns ("Run, Copy,
//           Open"), or "nothing"
//   Type: File, Registry key or Network (the last set bit of these wins, as
//         for the row's image); "Unknown" when none is set
//   "Built-in system rule (cannot be changed)" or "Your rule"
std::string RuleTipText(const RULEFILE_ITEM& rule);
