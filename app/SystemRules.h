// The built-in system rules (Advanced > Add System Rule): twelve requests,
// sent one after the other to the Files page, that protect the autostart
// places, the system's executables and scripts, the autostart registry keys
// and the folders of three internet programs. Every rule they make is a
// system rule: it goes to the back of the rule set and cannot be edited.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "rules/RuleSet.h"

// The places the requests are built from, as the system names them.
struct SystemPaths {
  std::string programFiles;  // empty when the shell cannot name it
  std::string qqDir;         // the QQ "Install" value as stored; may be empty
  std::string windowsDir;
  std::string systemDir;
  // The start-up folders that the shell can name, in the order common,
  // common alternate, user, user alternate.
  std::vector<std::string> startupFolders;
};

// The key under HKEY_LOCAL_MACHINE (32-bit view) whose "Install" value names
// the QQ folder.
const char* const kQQInstallKey = "SOFTWARE\\TENCENT\\QQ";

// Reads the places from the shell, the registry and the system; the QQ
// folder from qqKey.
SystemPaths QuerySystemPaths(const char* qqKey = kQQInstallKey);

// The twelve requests in the order in which they are sent. A directory that
// is unknown (program files, QQ) makes the program sources start with "*"
// ("*\QQ.exe"), so that they name the program wherever it is installed
// instead of a path at the root of the current drive.
std::vector<RULE_REQUEST> BuildSystemRuleRequests(const SystemPaths& paths);

// Sends the requests to the Files page, each one synchronously, with the
// main window as owner. On a nearly full rule file the page adds what fits,
// in order.
void SendSystemRuleRequests(HWND mainWindow, HWND filePage, std::vector<RULE_REQUEST> requests);

// The menu command: shows the hint how to remove system rules, then sends
// the twelve requests; when the rule file could not take them all, the
// Files page tells the user how many did not fit.
void AddSystemRules(HWND mainWindow, HWND filePage);

// Replaces the hint's message box (tests); an empty function restores it.
void SetSystemRulesNotice(std::function<void(HWND owner, const std::string& text)> notice);
