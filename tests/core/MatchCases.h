// One rule list and a table of accesses with the rules that deny them. The
// native test checks the matching function against it; the Windows tests
// check that `vkctl test` and `engine-sim access` give the same answers.
#pragma once

#include <cstdint>
#include <vector>

#include "rules/RuleRecord.h"
#include "rules/RuleSet.h"

namespace matchcases {

struct CaseRule {
  uint32_t type;
  uint32_t kinds;
  const char* source;
  const char* dest;
};

// Index: position in the list (from 0).
inline const CaseRule kRules[] = {
    /* 0 */ {TYPE_FILE, KIND_COPY, "*", "C:\\data"},
    /* 1 */ {TYPE_FILE, KIND_FIND, "*", "*\\desktop.ini"},
    /* 2 */ {TYPE_FILE, KIND_DELETE, "*", "D:\\Projects\\"},
    /* 3 */ {TYPE_FILE, KIND_MODIFY, "*", "E:\\"},
    /* 4 */ {TYPE_FILE, KIND_OPEN, "C:\\Program Files\\Mail\\mail.exe", "C:\\Users\\bob\\Documents"},
    // A custom rule as the front end stores it: long and short source.
    /* 5 */ {TYPE_FILE, KIND_RUN | KIND_COPY, "C:\\Program Files\\Backup Tool\\backup.exe", "C:\\secret\\plan.doc"},
    /* 6 */ {TYPE_FILE, KIND_RUN | KIND_COPY, "C:\\PROGRA~1\\BACKUP~1\\backup.exe", "C:\\secret\\plan.doc"},
    /* 7 */ {TYPE_FILE, KIND_PRINT, "*", "C:\\DOCUME~1\\bob\\report.doc"},
    /* 8 */ {TYPE_FILE, KIND_RUN, "*\\cmd.exe", "C:\\Windows\\System32\\*.bat"},
    /* 9 */
    {TYPE_REGISTRY | TYPE_SYSTEM, KIND_MODIFY, "*",
     "hkey_local_machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Run*"},
    /* 10 */ {TYPE_REGISTRY, KIND_MODIFY | KIND_DELETE, "*", "hkey_current_user\\Software\\Policies"},
    /* 11 */ {TYPE_NET, KIND_OPEN, "*", "192.0.2.17:80"},
    /* 12 */ {TYPE_FILE | TYPE_SYSTEM, KIND_COPY | KIND_DELETE, "*", "C:\\data\\a.doc"},
    /* 13 */ {TYPE_FILE, KIND_OPEN, "*", "C:\\"},
};

// kRules as a rule list.
inline RuleList CaseRules() {
  RuleList rules;
  for (const auto& r : kRules) rules.push_back(MakeRule(r.source, r.dest, r.type, r.kinds, RULE_MODE_NORMAL));
  return rules;
}

struct Case {
  const char* process;
  const char* object;
  uint32_t kind;
  bool registry;
  std::vector<size_t> denying;  // indices into kRules, in list order
};

inline const char kAnyProgram[] = "C:\\Windows\\explorer.exe";

inline const std::vector<Case> kCases = {
    // A directory covers what is below it, in any letter case, and itself.
    {kAnyProgram, "C:\\data\\a.doc", KIND_COPY, false, {0, 12}},
    {kAnyProgram, "c:\\DATA\\sub\\x.txt", KIND_COPY, false, {0}},
    {kAnyProgram, "C:\\data", KIND_COPY, false, {0}},
    {kAnyProgram, "C:\\data\\", KIND_COPY, false, {0}},
    {kAnyProgram, "C:\\database\\a.doc", KIND_COPY, false, {}},
    {kAnyProgram, "C:\\dat", KIND_COPY, false, {}},
    {kAnyProgram, "C:\\data\\a.doc", KIND_DELETE, false, {12}},
    {kAnyProgram, "C:\\data\\a.doc", KIND_OPEN, false, {13}},
    // A dest written with a trailing backslash, and a disk.
    {kAnyProgram, "D:\\Projects\\secret\\design.pdf", KIND_DELETE, false, {2}},
    {kAnyProgram, "D:\\Projects", KIND_DELETE, false, {2}},
    {kAnyProgram, "D:\\ProjectsOld\\x", KIND_DELETE, false, {}},
    {kAnyProgram, "E:\\notes.txt", KIND_MODIFY, false, {3}},
    {kAnyProgram, "E:\\", KIND_MODIFY, false, {3}},
    {kAnyProgram, "F:\\notes.txt", KIND_MODIFY, false, {}},
    // "*" runs over backslashes.
    {kAnyProgram, "C:\\Users\\bob\\Desktop\\desktop.ini", KIND_FIND, false, {1}},
    {kAnyProgram, "C:\\Users\\bob\\Desktop\\desktop.ini.bak", KIND_FIND, false, {}},
    {kAnyProgram, "C:\\Users\\bob\\mydesktop.ini", KIND_FIND, false, {}},
    // A program named in the rule; others are not affected.
    {"C:\\Program Files\\Mail\\mail.exe", "C:\\Users\\bob\\Documents\\plan.doc", KIND_OPEN, false, {4, 13}},
    {"c:\\program files\\mail\\MAIL.EXE", "C:\\Users\\bob\\Documents", KIND_OPEN, false, {4, 13}},
    {"C:\\Program Files\\Mail\\mailer.exe", "D:\\Users\\bob\\Documents\\plan.doc", KIND_OPEN, false, {}},
    // 8.3 forms: each stored form covers the program as written in it.
    {"C:\\Program Files\\Backup Tool\\backup.exe", "C:\\secret\\plan.doc", KIND_COPY, false, {5}},
    {"C:\\PROGRA~1\\BACKUP~1\\BACKUP.EXE", "C:\\secret\\plan.doc", KIND_RUN, false, {6}},
    {"C:\\Program Files\\Other\\backup.exe", "C:\\secret\\plan.doc", KIND_COPY, false, {}},
    {kAnyProgram, "C:\\DOCUME~1\\bob\\report.doc", KIND_PRINT, false, {7}},
    {kAnyProgram, "C:\\Documents and Settings\\bob\\report.doc", KIND_PRINT, false, {}},
    // A wildcard source and a wildcard dest together.
    {"C:\\Windows\\System32\\cmd.exe", "C:\\Windows\\System32\\setup.bat", KIND_RUN, false, {8}},
    {"C:\\Windows\\System32\\cmd.exe", "C:\\Windows\\System32\\tools\\x.bat", KIND_RUN, false, {8}},
    {"C:\\Windows\\explorer.exe", "C:\\Windows\\System32\\setup.bat", KIND_RUN, false, {}},
    // Registry keys: full and short root names, keys below a key.
    {kAnyProgram, "hkey_local_machine\\software\\microsoft\\windows\\currentversion\\run", KIND_MODIFY, true, {9}},
    {kAnyProgram, "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", KIND_MODIFY, true, {9}},
    {kAnyProgram, "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer", KIND_MODIFY, true, {}},
    {kAnyProgram, "HKCU\\Software\\Policies\\Microsoft", KIND_DELETE, true, {10}},
    {kAnyProgram, "hkey_current_user\\Software\\PoliciesX", KIND_DELETE, true, {}},
    {kAnyProgram, "hkey_current_user\\Software\\Policies", KIND_OPEN, true, {}},
    // File rules never match registry keys, nor registry rules files; net
    // rules match neither.
    {kAnyProgram, "C:\\data\\a.doc", KIND_COPY, true, {}},
    {kAnyProgram, "hkey_current_user\\Software\\Policies", KIND_DELETE, false, {}},
    {kAnyProgram, "192.0.2.17:80", KIND_OPEN, false, {}},
};

}  // namespace matchcases
