// The built-in system rules: the twelve requests as built, and what they
// do to a real Files page and its rule file.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include "app/DlgNotify.h"
#include "app/SystemRules.h"
#include "common/TestSupport.h"
#include "rules/DlgFilePage.h"

using namespace testsupport;

namespace {

SystemPaths FullPaths() {
  SystemPaths p;
  p.programFiles = "C:\\Program Files";
  p.qqDir = "D:\\Apps\\QQ";
  p.windowsDir = "C:\\WINDOWS";
  p.systemDir = "C:\\WINDOWS\\system32";
  p.startupFolders = {"C:\\All Users\\Startup", "C:\\All Users\\AltStartup", "C:\\Me\\Startup", "C:\\Me\\AltStartup"};
  return p;
}

struct Page {
  std::string dir = MakeTempDir("sysrules");
  std::string path = dir + "\\QX5Rule.rle";
  std::string mapping;
  HWND main = CreateWindowExA(0, "STATIC", "main", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  CDlgFilePage page;
  Page() {
    static std::atomic<int> n{0};
    mapping = "VkTest.sys." + std::to_string(GetCurrentProcessId()) + "." + std::to_string(GetTickCount()) + "." +
              std::to_string(n++);
    CDlgNotify::SetTickPeriod(5);
    page.SetRuleFilePath(path, mapping);
    page.Create(main);
  }
  ~Page() {
    DestroyWindow(page.m_hWnd);
    DestroyWindow(main);
    CDlgNotify::SetTickPeriod(CDlgNotify::kDefaultTickMs);
  }
  void AddOrdinary(const std::string& dest) {
    RULE_REQUEST req;
    req.Code = REQ_RUN;
    req.Source = "*";
    req.Dests = {dest};
    SendMessageA(page.m_hWnd, WM_USER + 4097, reinterpret_cast<WPARAM>(&req), 0);
  }
};

}  // namespace

TEST(SystemRules, TwelveRequestsInOrderWithTheirFields) {
  auto reqs = BuildSystemRuleRequests(FullPaths());
  ASSERT_EQ(12u, reqs.size());
  const uint32_t codes[12] = {REQ_MODIFY, REQ_RUN,  REQ_MODIFY, REQ_RUN, REQ_MODIFY, REQ_RUN,
                              REQ_MODIFY, REQ_OPEN, REQ_MODIFY, REQ_RUN, REQ_MODIFY, REQ_MODIFY};
  const size_t destCounts[12] = {10, 1, 9, 1, 10, 1, 2, 2, 30, 1, 12, 57};
  for (size_t i = 0; i < 12; ++i) {
    SCOPED_TRACE(i + 1);
    EXPECT_EQ(codes[i], reqs[i].Code);
    EXPECT_EQ(destCounts[i], reqs[i].Dests.size());
    EXPECT_EQ(1, reqs[i].System);
    EXPECT_EQ((i == 9 || i == 10) ? 1 : 0, reqs[i].AltMode);
    EXPECT_EQ(i == 11 ? TYPE_REGISTRY : TYPE_FILE, reqs[i].Type);
  }
  EXPECT_EQ("C:\\Program Files\\Internet Explorer\\iexplore.exe", reqs[0].Source);
  EXPECT_EQ(reqs[0].Source, reqs[1].Source);
  EXPECT_EQ("C:\\Program Files\\MSN Messenger\\msnmsgr.exe", reqs[2].Source);
  for (int i = 4; i < 8; ++i) EXPECT_EQ("D:\\Apps\\QQ\\QQ.exe", reqs[i].Source);
  for (int i = 8; i < 12; ++i) EXPECT_EQ("*", reqs[i].Source);
  EXPECT_EQ("*.hta", reqs[0].Dests[7]);
  EXPECT_EQ("*.ini", reqs[2].Dests[7]);  // set B has no "*.hta"
  EXPECT_EQ("*.js", reqs[10].Dests[8]);
  EXPECT_EQ((std::vector<std::string>{"*"}), reqs[1].Dests);
  EXPECT_EQ((std::vector<std::string>{"D:\\Apps\\QQ\\AD\\*", "D:\\Apps\\QQ\\flashshow\\*"}), reqs[6].Dests);
  EXPECT_EQ(reqs[6].Dests, reqs[7].Dests);
  EXPECT_EQ("hkey_current_user\\Software\\Microsoft\\Windows\\CurrentVersion\\Run*", reqs[11].Dests.front());
  EXPECT_EQ("hkey_local_machine\\System\\ControlSet*\\Control\\Session Manager\\Environment", reqs[11].Dests[17]);
  EXPECT_EQ("hkey_current_user\\*Control Panel\\Desktop", reqs[11].Dests.back());
}

TEST(SystemRules, RequestNineHoldsThirtyDestinationsInOrder) {
  auto reqs = BuildSystemRuleRequests(FullPaths());
  const auto& d = reqs[8].Dests;
  ASSERT_EQ(30u, d.size());
  EXPECT_EQ("D:\\Apps\\QQ\\AD\\*", d[0]);
  EXPECT_EQ("D:\\Apps\\QQ\\flashshow\\*", d[1]);
  EXPECT_EQ("C:\\All Users\\Startup\\*", d[2]);
  EXPECT_EQ("C:\\All Users\\AltStartup\\*", d[3]);
  EXPECT_EQ("C:\\Me\\Startup\\*", d[4]);
  EXPECT_EQ("C:\\Me\\AltStartup\\*", d[5]);
  EXPECT_EQ("C:\\WINDOWS\\*.dll", d[6]);
  EXPECT_EQ("C:\\WINDOWS\\drivers\\etc\\hosts", d[16]);
  EXPECT_EQ("C:\\WINDOWS\\system32\\*.dll", d[17]);
  EXPECT_EQ("C:\\WINDOWS\\system32\\Tasks\\*", d[27]);
  EXPECT_EQ("*\\desktop.ini", d[28]);
  EXPECT_EQ("*\\AutoRun.inf", d[29]);
}

TEST(SystemRules, MissingFoldersAndInstallation) {
  SystemPaths p = FullPaths();
  p.startupFolders = {"C:\\Me\\Startup"};
  p.programFiles.clear();
  p.qqDir.clear();
  auto reqs = BuildSystemRuleRequests(p);
  ASSERT_EQ(12u, reqs.size());
  EXPECT_EQ(27u, reqs[8].Dests.size());
  EXPECT_EQ("C:\\Me\\Startup\\*", reqs[8].Dests[2]);
  EXPECT_EQ("C:\\WINDOWS\\*.dll", reqs[8].Dests[3]);
  // Unknown directories: the programs are named wherever they are.
  EXPECT_EQ("*\\Internet Explorer\\iexplore.exe", reqs[0].Source);
  EXPECT_EQ("*\\MSN Messenger\\msnmsgr.exe", reqs[3].Source);
  EXPECT_EQ("*\\QQ.exe", reqs[5].Source);
  // The QQ folders stay rooted, never a wildcard that would match any "AD".
  EXPECT_EQ((std::vector<std::string>{"\\AD\\*", "\\flashshow\\*"}), reqs[7].Dests);
  EXPECT_EQ("\\AD\\*", reqs[8].Dests[0]);

  // An install value with its own trailing backslash gets no second one.
  p.qqDir = "E:\\QQ\\";
  reqs = BuildSystemRuleRequests(p);
  EXPECT_EQ("E:\\QQ\\QQ.exe", reqs[4].Source);
  EXPECT_EQ("E:\\QQ\\AD\\*", reqs[6].Dests[0]);
}

TEST(SystemRules, QueryReadsTheInstallValueAndTheNamedFolders) {
  // A key of this test's own, in the 32-bit view like QQ's; the machine's
  // real QQ key is never touched.
  const std::string parent = "SOFTWARE\\VarnokelTest" + std::to_string(GetCurrentProcessId());
  const std::string keyPath = parent + "\\TENCENT\\QQ";
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0,
                                           KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key, nullptr));
  const char value[] = "F:\\Tencent\\QQ";
  RegSetValueExA(key, "Install", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
  SystemPaths p = QuerySystemPaths(keyPath.c_str());
  EXPECT_EQ("F:\\Tencent\\QQ", p.qqDir);
  // A value with variables names the folder they stand for.
  const char withVariable[] = "%SystemRoot%\\QQ";
  RegSetValueExA(key, "Install", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(withVariable), sizeof withVariable);
  EXPECT_EQ(QuerySystemPaths(keyPath.c_str()).qqDir, p.windowsDir + "\\QQ");
  // A key without the value names no folder.
  RegDeleteValueA(key, "Install");
  EXPECT_EQ("", QuerySystemPaths(keyPath.c_str()).qqDir);
  RegCloseKey(key);
  HKEY root = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &root));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeA(root, parent.substr(9).c_str()));
  RegCloseKey(root);
  EXPECT_EQ("", QuerySystemPaths(keyPath.c_str()).qqDir);

  EXPECT_FALSE(p.windowsDir.empty());
  EXPECT_FALSE(p.systemDir.empty());
  EXPECT_FALSE(p.programFiles.empty());
  // The start-up folders the shell knows, common before the user's, each
  // without a trailing backslash (the rules append "\\*").
  char common[MAX_PATH] = {}, user[MAX_PATH] = {};
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, common, CSIDL_COMMON_STARTUP, FALSE));
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, user, CSIDL_STARTUP, FALSE));
  ASSERT_GE(p.startupFolders.size(), 2u);
  ASSERT_LE(p.startupFolders.size(), 4u);
  EXPECT_EQ(common, p.startupFolders.front());
  const auto userAt = std::find(p.startupFolders.begin(), p.startupFolders.end(), std::string(user));
  ASSERT_NE(p.startupFolders.end(), userAt);
  EXPECT_GE(userAt - p.startupFolders.begin(), 1);
  for (const std::string& folder : p.startupFolders) {
    ASSERT_FALSE(folder.empty());
    EXPECT_NE('\\', folder.back()) << folder;
  }
}

TEST(SystemRules, AllRulesAreSystemRulesAtTheBackAndRunningTwiceChangesNothing) {
  Page page;
  page.AddOrdinary("C:\\mine.txt");
  std::vector<size_t> rulesAtNotice;
  SetSystemRulesNotice([&](HWND owner, const std::string& text) {
    EXPECT_EQ(page.main, owner);
    EXPECT_NE(std::string::npos, text.find("to remove the system rules"));
    rulesAtNotice.push_back(page.page.Rules().size());
  });
  SendSystemRuleRequests(page.main, page.page.m_hWnd, BuildSystemRuleRequests(FullPaths()));
  // 10+1+9+1+10+1+2 (+0: request 8 merges) +30+1+12+57, behind the one
  // ordinary rule.
  const RuleList& rules = page.page.Rules();
  ASSERT_EQ(1u + 134u, rules.size());
  EXPECT_EQ("C:\\mine.txt", rules.front()->Dest);
  bool first = true;
  for (const auto& r : rules) {
    if (first) {
      first = false;
      continue;
    }
    EXPECT_TRUE(r->Type & TYPE_SYSTEM) << r->Dest;
  }
  // Requests 7 and 8: two rules, each denying modifying and opening.
  int qqFolderRules = 0;
  for (const auto& r : rules) {
    if (r->Source != "D:\\Apps\\QQ\\QQ.exe" || r->Dest.find("\\AD\\*") == std::string::npos) continue;
    ++qqFolderRules;
    EXPECT_EQ(KIND_MODIFY | KIND_OPEN, r->Kinds);
  }
  for (const auto& r : rules)
    if (r->Source == "D:\\Apps\\QQ\\QQ.exe" && r->Dest == "D:\\Apps\\QQ\\flashshow\\*") {
      ++qqFolderRules;
      EXPECT_EQ(KIND_MODIFY | KIND_OPEN, r->Kinds);
    }
  EXPECT_EQ(2, qqFolderRules);
  // Alternate mode only for requests 10 and 11.
  for (const auto& r : rules) {
    const bool alt = r->Source == "*" && r->Type == (TYPE_FILE | TYPE_SYSTEM) &&
                     (r->Dest == "*" || r->Dest == "*.js" || r->Dest == "*.jar" ||
                      (r->Dest.rfind("*.", 0) == 0 && r->Dest.find('\\') == std::string::npos));
    EXPECT_EQ(alt ? RULE_MODE_ALT : RULE_MODE_NORMAL, r->Mode) << r->Dest;
  }

  const auto bytes = ReadFileBytes(page.path);
  AddSystemRules(page.main, page.page.m_hWnd);  // real folders: adds its own
  SetSystemRulesNotice({});
  ASSERT_EQ(1u, rulesAtNotice.size());
  EXPECT_EQ(1u + 134u, rulesAtNotice[0]);  // the notice comes before any request
  // Running the same requests again leaves the file as it was.
  const auto afterReal = ReadFileBytes(page.path);
  const size_t countAfterReal = page.page.Rules().size();
  SendSystemRuleRequests(page.main, page.page.m_hWnd, BuildSystemRuleRequests(FullPaths()));
  EXPECT_EQ(afterReal, ReadFileBytes(page.path));
  EXPECT_EQ(countAfterReal, page.page.Rules().size());
  SendSystemRuleRequests(page.main, page.page.m_hWnd, BuildSystemRuleRequests(QuerySystemPaths()));
  EXPECT_EQ(afterReal, ReadFileBytes(page.path));
  EXPECT_NE(bytes, afterReal);
}

namespace {

// The rules that the real requests add to an empty set, in their order.
RuleList AllSystemRules() {
  RuleList all;
  for (const RULE_REQUEST& req : BuildSystemRuleRequests(QuerySystemPaths())) AddRequestRules(all, req);
  return all;
}

}  // namespace

// A rule file with room for a few system rules only: the menu command adds
// those that fit, in their order, writes them, and tells the user once how
// many did not fit (instead of cutting rules off at the end of the file).
TEST(SystemRules, OnANearlyFullFileWhatFitsIsAddedAndTheRestCounted) {
  Page page;
  // Ordinary rules that leave between 1000 and 1500 bytes before the reserve.
  RuleList fill;
  const uint64_t room = RULE_FILE_SIZE - RULE_FILE_HEADER_SIZE - RULE_FILE_RESERVE - 1000;
  for (uint64_t used = 0;;) {
    auto rule = MakeRule("*", "C:\\fill\\" + std::string(470, 'f') + std::to_string(fill.size() + 1000), TYPE_FILE,
                         KIND_OPEN, RULE_MODE_NORMAL);
    if (used + rule->RecordSize() > room) break;
    used += rule->RecordSize();
    fill.push_back(std::move(rule));
  }
  {
    CRuleFile file;
    ASSERT_EQ(0,
              file.Open(page.path.c_str(), page.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
    ASSERT_EQ(0, file.WriteRules(fill));
  }
  SendMessageA(page.page.m_hWnd, WM_USER + 4097, 0, 0);
  ASSERT_EQ(fill.size(), page.page.Rules().size());
  std::vector<std::string> told;
  page.page.SetNotifier([&](HWND, const std::string& text) { told.push_back(text); });
  SetSystemRulesNotice([](HWND, const std::string&) {});

  AddSystemRules(page.main, page.page.m_hWnd);
  SetSystemRulesNotice({});
  page.page.SetNotifier(nullptr);

  const RuleList all = AllSystemRules();
  const RuleList inFile = testsupport::ReadRuleFile(page.path, page.mapping);
  std::vector<std::string> added;
  for (const auto& r : inFile)
    if (r->Type & TYPE_SYSTEM) added.push_back(r->Dest);
  ASSERT_FALSE(added.empty());
  ASSERT_LT(added.size(), all.size());
  EXPECT_EQ(fill.size() + added.size(), inFile.size());
  // The ones added come in the order of the whole set.
  auto next = all.begin();
  for (const std::string& dest : added) {
    next = std::find_if(next, all.end(), [&](const auto& r) { return r->Dest == dest; });
    ASSERT_NE(all.end(), next) << dest;
    ++next;
  }
  ASSERT_EQ(1u, told.size());
  EXPECT_NE(std::string::npos,
            told[0].find(std::to_string(all.size() - added.size()) + " of the system rules did not fit"))
      << told[0];
}
