#include "app/SystemRules.h"

#include <shlobj.h>

#include <algorithm>
#include <utility>

#include "app/Messages.h"
#include "framework/Module.h"
#include "framework/RegKey.h"
#include "resource.h"
#include "rules/DlgFilePage.h"

namespace {

std::function<void(HWND, const std::string&)> g_notice;

const char* const kSetA[] = {"*.dll", "*.exe", "*.bat", "*.ocx", "*.pif", "*.scr", "*.vbs", "*.hta", "*.ini", "*.inf"};
const char* const kSetB[] = {"*.dll", "*.exe", "*.bat", "*.ocx", "*.pif", "*.scr", "*.vbs", "*.ini", "*.inf"};
const char* const kSetC[] = {"*.dll", "*.exe", "*.bat", "*.ocx", "*.pif", "*.scr",
                             "*.vbs", "*.hta", "*.js",  "*.jar", "*.ini", "*.inf"};

const char* const kWindowsTails[] = {"\\*.dll",
                                     "\\*.exe",
                                     "\\*.bat",
                                     "\\*.ocx",
                                     "\\*.pif",
                                     "\\*.scr",
                                     "\\*.vbs",
                                     "\\system.ini",
                                     "\\win.ini",
                                     "\\wininit.ini",
                                     "\\drivers\\etc\\hosts"};
const char* const kSystemTails[] = {"\\*.dll", "\\*.exe",      "\\*.bat",   "\\*.ocx",       "\\*.pif",   "\\*.scr",
                                    "\\*.vbs", "\\system.ini", "\\win.ini", "\\wininit.ini", "\\Tasks\\*"};

const char* const kRegistryKeys[] = {
    "hkey_current_user\\Software\\Microsoft\\Windows\\CurrentVersion\\Run*",
    "hkey_local_machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Run*",
    "hkey_current_user\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon*",
    "hkey_local_machine\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon*",
    "hkey_current_user\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run*",
    "hkey_local_machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run*",
    "hkey_classes_root\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run*",
    "hkey_local_machine\\Software\\Microsoft\\Windows NT\\CurrentVersion\\WOW\\boot*",
    "hkey_local_machine\\Software\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping*",
    "hkey_local_machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved*",
    "hkey_local_machine\\Software\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad*",
    "hkey_local_machine\\Software\\Microsoft\\Active Setup\\Installed Components*",
    "hkey_local_machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects*",
    "hkey_current_user\\Software\\Microsoft\\Command Processor*",
    "hkey_local_machine\\Software\\Microsoft\\Command Processor*",
    "hkey_current_user\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows*",
    "hkey_local_machine\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows*",
    "hkey_local_machine\\System\\ControlSet*\\Control\\Session Manager\\Environment",
    "hkey_current_user\\Software\\Classes\\exefile\\shell\\open\\command",
    "hkey_local_machine\\Software\\Classes\\exefile\\shell\\open\\command",
    "hkey_current_user\\Software\\Classes\\exefile\\shell\\runas\\command",
    "hkey_local_machine\\Software\\Classes\\exefile\\shell\\runas\\command",
    "hkey_current_user\\Software\\Classes\\Folder\\shell\\open\\command",
    "hkey_local_machine\\Software\\Classes\\Folder\\shell\\open\\command",
    "hkey_current_user\\Software\\Classes\\Folder\\shell\\explore\\command",
    "hkey_local_machine\\Software\\Classes\\Folder\\shell\\explore\\command",
    "hkey_current_user\\Software\\Classes\\batfile\\shell\\open\\command",
    "hkey_local_machine\\Software\\Classes\\batfile\\shell\\open\\command",
    "hkey_current_user\\Software\\Classes\\comfile\\shell\\open\\command",
    "hkey_local_machine\\Software\\Classes\\comfile\\shell\\open\\command",
    "hkey_current_user\\Software\\Classes\\cmdfile\\shell\\open\\command",
    "hkey_local_machine\\Software\\Classes\\cmdfile\\shell\\open\\command",
    "hkey_current_user\\Software\\Classes\\.exe",
    "hkey_local_machine\\Software\\Classes\\.exe",
    "hkey_current_user\\Software\\Classes\\.Folder",
    "hkey_local_machine\\Software\\Classes\\.Folder",
    "hkey_current_user\\Software\\Classes\\.bat",
    "hkey_local_machine\\Software\\Classes\\.bat",
    "hkey_current_user\\Software\\Classes\\.com",
    "hkey_local_machine\\Software\\Classes\\.com",
    "hkey_current_user\\Software\\Classes\\.cmd",
    "hkey_local_machine\\Software\\Classes\\.cmd",
    "hkey_current_user\\Software\\Classes\\.reg",
    "hkey_local_machine\\Software\\Classes\\.reg",
    "hkey_current_user\\Software\\Classes\\.scr",
    "hkey_local_machine\\Software\\Classes\\.scr",
    "hkey_current_user\\Software\\Classes\\.vbs",
    "hkey_local_machine\\Software\\Classes\\.vbs",
    "hkey_current_user\\Software\\Classes\\.js",
    "hkey_local_machine\\Software\\Classes\\.js",
    "hkey_current_user\\Software\\Classes\\.jar",
    "hkey_local_machine\\Software\\Classes\\.jar",
    "hkey_current_user\\Software\\Classes\\.pif",
    "hkey_local_machine\\Software\\Classes\\.pif",
    "hkey_current_user\\Software\\Classes\\.hta",
    "hkey_local_machine\\Software\\Classes\\.hta",
    "hkey_current_user\\*Control Panel\\Desktop",
};

template <size_t N>
std::vector<std::string> Patterns(const char* const (&set)[N]) {
  return std::vector<std::string>(set, set + N);
}

template <size_t N>
void AppendTails(std::vector<std::string>& dests, const std::string& dir, const char* const (&tails)[N]) {
  for (const char* tail : tails) dests.push_back(dir + tail);
}

std::string SpecialFolder(int csidl) {
  char path[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE) || !path[0]) return {};
  return path;
}

std::string QQInstallDir(const char* keyPath) {
  // QQ is a 32-bit program: its key lives in the 32-bit view of the registry.
  const RegKey key(HKEY_LOCAL_MACHINE, keyPath, false, KEY_WOW64_32KEY);
  if (!key) return {};
  char value[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH;  // leaves room for a terminator the value may lack
  DWORD type = 0;
  std::string dir;
  if (RegQueryValueExA(key.Get(), "Install", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS) {
    if (type == REG_SZ) {
      dir = value;
    } else if (type == REG_EXPAND_SZ) {
      char expanded[MAX_PATH] = {};
      DWORD n = ExpandEnvironmentStringsA(value, expanded, MAX_PATH);
      if (n > 0 && n <= MAX_PATH) dir = expanded;
    }
  }
  return dir;
}

RULE_REQUEST Request(std::string source, uint32_t code, std::vector<std::string> dests) {
  RULE_REQUEST req;
  req.Code = code;
  req.Source = std::move(source);
  req.Dests = std::move(dests);
  req.System = 1;
  req.AltMode = 0;
  req.Type = TYPE_FILE;
  return req;
}

}  // namespace

SystemPaths QuerySystemPaths(const char* qqKey) {
  SystemPaths paths;
  paths.programFiles = SpecialFolder(CSIDL_PROGRAM_FILES);
  paths.qqDir = QQInstallDir(qqKey);
  paths.windowsDir = WindowsDir();
  paths.systemDir = SystemDir();
  for (int csidl : {CSIDL_COMMON_STARTUP, CSIDL_COMMON_ALTSTARTUP, CSIDL_STARTUP, CSIDL_ALTSTARTUP}) {
    std::string folder = SpecialFolder(csidl);
    if (!folder.empty()) paths.startupFolders.push_back(folder);
  }
  return paths;
}

std::vector<RULE_REQUEST> BuildSystemRuleRequests(const SystemPaths& paths) {
  // Program sources: an unknown directory becomes "*", so the rule names the
  // program wherever it is rather than a path at the root of the drive.
  const std::string programFiles = paths.programFiles.empty() ? "*" : paths.programFiles;
  const std::string iexplore = programFiles + "\\Internet Explorer\\iexplore.exe";
  const std::string msn = programFiles + "\\MSN Messenger\\msnmsgr.exe";
  std::string qqDir = paths.qqDir;
  if (qqDir.empty() || qqDir.back() != '\\') qqDir += '\\';
  const std::string qq = (paths.qqDir.empty() ? "*\\" : qqDir) + "QQ.exe";
  // The QQ folders stay rooted where the value says (a bare backslash when
  // it is missing): a wildcard there would make request 9 lock every folder
  // called "AD" on the machine.
  const std::vector<std::string> qqFolders = {qqDir + "AD\\*", qqDir + "flashshow\\*"};

  std::vector<RULE_REQUEST> requests;
  requests.push_back(Request(iexplore, REQ_MODIFY, Patterns(kSetA)));
  requests.push_back(Request(iexplore, REQ_RUN, {"*"}));
  requests.push_back(Request(msn, REQ_MODIFY, Patterns(kSetB)));
  requests.push_back(Request(msn, REQ_RUN, {"*"}));
  requests.push_back(Request(qq, REQ_MODIFY, Patterns(kSetA)));
  requests.push_back(Request(qq, REQ_RUN, {"*"}));
  requests.push_back(Request(qq, REQ_MODIFY, qqFolders));
  requests.push_back(Request(qq, REQ_OPEN, qqFolders));

  // Request 9 starts with the destinations of request 8.
  std::vector<std::string> readOnly = qqFolders;
  for (const std::string& folder : paths.startupFolders) readOnly.push_back(folder + "\\*");
  AppendTails(readOnly, paths.windowsDir, kWindowsTails);
  AppendTails(readOnly, paths.systemDir, kSystemTails);
  readOnly.push_back("*\\desktop.ini");
  readOnly.push_back("*\\AutoRun.inf");
  requests.push_back(Request("*", REQ_MODIFY, std::move(readOnly)));

  RULE_REQUEST anyRun = Request("*", REQ_RUN, {"*"});
  anyRun.AltMode = 1;
  requests.push_back(std::move(anyRun));
  RULE_REQUEST anyModify = Request("*", REQ_MODIFY, Patterns(kSetC));
  anyModify.AltMode = 1;
  requests.push_back(std::move(anyModify));

  RULE_REQUEST registry = Request("*", REQ_MODIFY, Patterns(kRegistryKeys));
  registry.Type = TYPE_REGISTRY;
  requests.push_back(std::move(registry));
  return requests;
}

void SendSystemRuleRequests(HWND mainWindow, HWND filePage, std::vector<RULE_REQUEST> requests) {
  for (RULE_REQUEST& req : requests) {
    req.Owner = mainWindow;
    SendMessageA(filePage, WM_RULE_REQUEST, reinterpret_cast<WPARAM>(&req), 0);
  }
}

void SetSystemRulesNotice(std::function<void(HWND, const std::string&)> notice) { g_notice = std::move(notice); }

void AddSystemRules(HWND mainWindow, HWND filePage) {
  const std::string text = LoadStr(IDS_SYSTEM_RULE_TIP);
  if (g_notice)
    g_notice(mainWindow, text);
  else
    AppMessageBox(mainWindow, text, MB_ICONINFORMATION);
  std::vector<RULE_REQUEST> requests = BuildSystemRuleRequests(QuerySystemPaths());
  RuleList wanted;
  for (const RULE_REQUEST& req : requests) AddRequestRules(wanted, req);
  SendSystemRuleRequests(mainWindow, filePage, std::move(requests));
  // The rules that a full file had no room for, each counted once.
  auto* page = dynamic_cast<CDlgFilePage*>(CWindow::FromHandle(filePage));
  if (!page) return;
  size_t missing = 0;
  for (const auto& rule : wanted) {
    const RuleList& have = page->Rules();
    if (std::none_of(have.begin(), have.end(), [&](const auto& r) { return r && RulesEqual(*r, *rule); })) ++missing;
  }
  if (missing) page->TellSystemRulesLeftOut(missing);
}
