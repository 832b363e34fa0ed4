// vkctl run as a process on a rule file of the test's own: its answers
// against the engine stand-in's, JSON round trips, refused input, the
// password, and the smaller commands.
#include <gtest/gtest.h>

#include <fstream>

#include "VkctlTestUtil.h"
#include "app/DlgNotify.h"
#include "app/Messages.h"
#include "core/MatchCases.h"
#include "log/LogFile.h"
#include "log/LogText.h"
#include "rules/DlgFilePage.h"
#include "rules/RuleMatch.h"
#include "rules/RuleSet.h"
#include "settings/PasswordCheck.h"
#include "settings/Settings.h"

using namespace testsupport;
using namespace vktest;

namespace {

// Quoted for the command line: backslashes in front of the closing quote
// are doubled, or they would escape it.
std::string Quote(const std::string& s) {
  const size_t trailing = s.size() - (s.find_last_not_of('\\') + 1);
  return "\"" + s + std::string(trailing, '\\') + "\"";
}

const char* KindWord(uint32_t bit) {
  for (const KindName& k : kKindNames)
    if (k.bit == bit) return k.name;
  return "?";
}

TEST(VkctlTest, AgreesWithTheEngineStandInOnTheTableOfCases) {
  TempRules t("vkmatch");
  t.Write(matchcases::CaseRules());
  const std::string logPath = t.dir + "\\QX5.log";
  const std::string logMapping = UniqueMapping("vkmatchlog");
  const std::string event = UniqueMapping("vkmatchevent");
  CLogFile log(event.c_str());
  ASSERT_EQ(0, log.Open(logPath.c_str(), logMapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessReadWrite, false));

  for (const auto& c : matchcases::kCases) {
    const std::string query = std::string("--process ") + Quote(c.process) + " --kind " + KindWord(c.kind) +
                              (c.registry ? " --registry " : " ") + Quote(c.object);
    const std::string what = query + " expecting " + std::to_string(c.denying.size()) + " rules";
    std::string vkExpected, simRules;
    for (size_t i : c.denying) {
      vkExpected += "denied by rule " + std::to_string(i + 1) + ":";
      simRules += (simRules.empty() ? " (rule " : ", ") + std::to_string(i + 1);
    }
    const RunResult vk = t.Vk("test " + query);
    EXPECT_EQ(c.denying.empty() ? 0u : 1u, vk.code) << what << "\n" << vk.out;
    std::string vkSeen;
    for (const std::string& line : vk.Lines())
      if (line.rfind("denied by rule ", 0) == 0) vkSeen += line.substr(0, line.find(':') + 1);
    EXPECT_EQ(vkExpected, vkSeen) << what << "\n" << vk.out;

    const RunResult sim = RunProgram("engine-sim.exe",
                                     "access " + query + " " + t.Args() + " --log-path " + Quote(logPath) +
                                         " --log-mapping " + logMapping + " --event " + event,
                                     t.dir + "\\sim-out.txt");
    EXPECT_EQ(vk.code, sim.code) << what << "\n" << sim.out;
    const std::string decision = std::string(c.denying.empty() ? "Approved" : "Denied") + " : " + c.object;
    EXPECT_EQ(decision + (simRules.empty() ? "" : simRules + ")") + "\n", sim.out) << what;
  }

  // One record per decision, as the engine writes them.
  LogItemList items;
  uint32_t count = 0, pos = 0;
  log.ReadItems(items, &count, &pos);
  ASSERT_EQ(matchcases::kCases.size(), items.size());
  const RuleList rules = matchcases::CaseRules();
  for (size_t i = 0; i < items.size(); ++i) {
    const auto& c = matchcases::kCases[i];
    const LogTextParts parts = SplitLogText(items[i]->text);
    EXPECT_EQ(c.process, parts.process);
    EXPECT_EQ(c.denying.empty() ? "Approved" : "Denied", parts.actionPrefix);
    EXPECT_EQ(c.object, parts.detail);
    EXPECT_EQ(c.kind, items[i]->action);
    uint32_t type = c.registry ? TYPE_REGISTRY : TYPE_FILE;
    if (!c.denying.empty()) type = std::next(rules.begin(), static_cast<long>(c.denying.front()))->get()->Type;
    EXPECT_EQ(type, items[i]->type) << items[i]->text;
  }
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(log.WrittenEvent(), 0));
}

TEST(VkctlTest, EngineStandInAccessRefusesBadCommandLinesAndMissingFiles) {
  TempRules t("vksimbad");
  const std::string out = t.dir + "\\sim.txt";
  const std::string log = " --log-path \"" + t.dir + "\\QX5.log\" --log-mapping " + UniqueMapping("vksimlog");
  EXPECT_EQ(2u, RunProgram("engine-sim.exe", "access --kind copy C:\\x " + t.Args() + log, out).code);
  EXPECT_EQ(2u, RunProgram("engine-sim.exe", "access --process a.exe --kind read C:\\x " + t.Args() + log, out).code);
  EXPECT_EQ(2u, RunProgram("engine-sim.exe", "access --process a.exe --kind open " + t.Args() + log, out).code);
  EXPECT_EQ(5u, RunProgram("engine-sim.exe",
                           "access --process a.exe --kind open C:\\x --path \"" + t.dir +
                               "\\no\\such\\QX5Rule.rle\" --mapping " + UniqueMapping("vksimnone") + log,
                           out)
                    .code);
  EXPECT_EQ(5u, RunProgram("engine-sim.exe",
                           "access --process a.exe --kind open C:\\x " + t.Args() + " --log-path \"" + t.dir +
                               "\\no\\such\\QX5.log\" --log-mapping " + UniqueMapping("vksimnolog"),
                           out)
                    .code);
}

// A rule file written by the front end's Files page: ordinary rules from
// kind requests, a registry rule and system rules.
void WriteThroughFilesPage(const TempRules& t) {
  CDlgNotify::SetTickPeriod(10);
  HWND parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  {
    CDlgFilePage page;
    page.SetRuleFilePath(t.path, t.mapping);
    ASSERT_TRUE(page.Create(parent));
    auto send = [&](uint32_t code, std::vector<std::string> dests, std::string source, bool system, uint32_t type) {
      RULE_REQUEST req;
      req.Code = code;
      req.Source = std::move(source);
      req.Dests = std::move(dests);
      req.System = system;
      req.Type = type;
      SendMessageA(page.m_hWnd, WM_RULE_REQUEST, reinterpret_cast<WPARAM>(&req), 0);
    };
    send(REQ_COPY, {"C:\\Users\\bob\\plan.doc", "C:\\data"}, "*", false, TYPE_FILE);
    send(REQ_RUN | REQ_OPEN, {"C:\\Users\\bob\\plan.doc"}, "*", false, TYPE_FILE);
    send(REQ_MODIFY | REQ_DELETE, {"hkey_current_user\\Software\\Policies"}, "*", false, TYPE_REGISTRY);
    send(REQ_MODIFY, {"hkey_local_machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Run*"}, "*", true,
         TYPE_REGISTRY);
    send(REQ_DELETE | REQ_MODIFY, {"C:\\Windows\\win.ini"}, "*", true, TYPE_FILE);
    send(REQ_PRINT, {"*.pdf"}, "C:\\Program Files\\Mail\\mail.exe", false, TYPE_FILE);
    DestroyWindow(page.m_hWnd);
  }
  DestroyWindow(parent);
  CDlgNotify::SetTickPeriod(CDlgNotify::kDefaultTickMs);
}

TEST(VkctlTest, ExportThenReplaceIntoAnEmptyFileIsByteIdenticalAndReimportChangesNothing) {
  TempRules a("vkexport");
  WriteThroughFilesPage(a);
  ASSERT_EQ(6u, a.Read().size());
  const std::vector<uint8_t> original = a.Bytes();
  ASSERT_EQ(RULE_FILE_SIZE, original.size());

  const std::string json = a.dir + "\\rules.json";
  RunResult r = a.Vk("export " + Quote(json));
  ASSERT_EQ(0u, r.code) << r.out;
  EXPECT_EQ(std::vector<std::string>{"exported 6 rules to " + json}, r.Lines());
  // Standard output gives the same text.
  r = a.Vk("export -");
  ASSERT_EQ(0u, r.code);
  const auto fileText = ReadFileBytes(json);
  EXPECT_EQ(std::string(fileText.begin(), fileText.end()), r.out);
  EXPECT_NE(std::string::npos, r.out.find("\"system\": true"));
  EXPECT_NE(std::string::npos, r.out.find("\"type\": \"registry\""));

  TempRules b("vkrestore");
  r = b.Vk("import --replace " + Quote(json));
  ASSERT_EQ(0u, r.code) << r.out;
  EXPECT_EQ(std::vector<std::string>{"replaced the rules with 6 rules"}, r.Lines());
  EXPECT_TRUE(original == b.Bytes());

  r = a.Vk("import " + Quote(json));
  ASSERT_EQ(0u, r.code) << r.out;
  EXPECT_EQ(std::vector<std::string>{"imported: 0 new rules, 6 rules in all"}, r.Lines());
  EXPECT_TRUE(original == a.Bytes());
  // From standard input too.
  r = b.Vk("import -", json);
  ASSERT_EQ(0u, r.code) << r.out;
  EXPECT_TRUE(original == b.Bytes());

  // And as UTF-16 with a byte order mark, as Windows PowerShell saves it.
  const std::string utf8(fileText.begin(), fileText.end());
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                      wide.data(), static_cast<int>(wide.size()))));
  std::string utf16 = "\xFF\xFE";
  utf16.append(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
  TempRules c("vkutf16");
  r = c.Vk("import --replace " + Quote(c.WriteText("rules16.json", utf16)));
  ASSERT_EQ(0u, r.code) << r.out;
  EXPECT_TRUE(original == c.Bytes());
}

// Every kind of rule the Files page holds: one whose cells were all set back
// to "Approved", a dest of 300 characters (a dropped path), a registry rule,
// a system rule, a program source, and two equal rules that a file written
// elsewhere may hold. Backed up with `vkctl export` (no FILE: standard
// output, as in the README) and restored with import --replace into an
// empty file, they come back as they were, in their order.
TEST(VkctlTest, AnExportOfEveryRuleThePageHoldsRestoresExactly) {
  TempRules a("vkall");
  RuleList rules;
  rules.push_back(MakeRule("*", "C:\\Users\\bob\\approved.doc", TYPE_FILE, 0, RULE_MODE_NORMAL));
  rules.push_back(MakeRule("*", "C:\\" + std::string(297, 'd'), TYPE_FILE, KIND_COPY, RULE_MODE_NORMAL));
  rules.push_back(MakeRule("*", "hkey_current_user\\Software\\Policies", TYPE_REGISTRY, KIND_MODIFY, RULE_MODE_NORMAL));
  rules.push_back(MakeRule("C:\\Program Files\\Mail\\mail.exe", "*.pdf", TYPE_FILE, KIND_PRINT, RULE_MODE_NORMAL));
  rules.push_back(MakeRule("*", "C:\\twin.doc", TYPE_FILE, KIND_OPEN, RULE_MODE_NORMAL));
  rules.push_back(MakeRule("*", "c:\\TWIN.doc", TYPE_FILE, KIND_RUN, RULE_MODE_ALT));
  rules.push_back(
      MakeRule("*", "C:\\Windows\\win.ini", TYPE_FILE | TYPE_SYSTEM, KIND_MODIFY | KIND_DELETE, RULE_MODE_NORMAL));
  a.Write(rules);

  const RunResult exported = a.Vk("export");
  ASSERT_EQ(0u, exported.code) << exported.out;
  TempRules b("vkallback");
  const RunResult imported = b.Vk("import --replace -", a.WriteText("backup.json", exported.out));
  ASSERT_EQ(0u, imported.code) << imported.out;
  EXPECT_EQ(std::vector<std::string>{"replaced the rules with 7 rules"}, imported.Lines());
  RuleList back = b.Read();
  ASSERT_EQ(rules.size(), back.size());
  for (auto x = rules.begin(), y = back.begin(); x != rules.end(); ++x, ++y) {
    EXPECT_EQ((*x)->Type, (*y)->Type) << (*x)->Dest;
    EXPECT_EQ((*x)->Kinds, (*y)->Kinds) << (*x)->Dest;
    EXPECT_EQ((*x)->Mode, (*y)->Mode) << (*x)->Dest;
    EXPECT_EQ((*x)->Source, (*y)->Source) << (*x)->Dest;
    EXPECT_EQ((*x)->Dest, (*y)->Dest);
  }
}

std::string Doc(const std::string& rules) {
  return "{\"format\": \"varnokel-rules\", \"version\": 1, \"rules\": [" + rules + "]}";
}

std::string Rule(const std::string& dest, const std::string& deny = "\"open\"") {
  return "{\"type\": \"file\", \"deny\": [" + deny + "], \"dest\": \"" + dest + "\"}";
}

TEST(VkctlTest, BadInputGivesExitTwoOneLineAndAnUnchangedFile) {
  TempRules t("vkbad");
  RuleList start;
  start.push_back(MakeRule("*", "C:\\kept", TYPE_FILE, KIND_COPY, 10));
  t.Write(start);
  const std::vector<uint8_t> before = t.Bytes();

  std::string many;
  for (int i = 0; i < 5000; ++i) many += (i ? "," : "") + Rule("C:\\\\deploy\\\\file" + std::to_string(i) + ".doc");
  const std::string longPath(260, 'x');
  struct Case {
    std::string args;
    std::string file, text;  // input file written first, when given
    std::string fragment;
  } cases[] = {
      {"import", "a.json", "{\"format\": \"varnokel-rules\",\n \"version\": 1,\n \"rules\": [\n  {\"type\" \"file\"}]}",
       "a.json:4:16: syntax error"},
      {"import", "b.json", Doc(Rule("C:\\\\a") + ", {\"type\": \"file\", \"deny\": \"open\", \"dest\": \"C:\\\\b\"}"),
       "b.json: rule 2: \"deny\" must be an array"},
      {"import", "c.json", Doc("{\"type\": \"file\", \"deny\": [\"open\"], \"dest\": 5}"),
       "c.json: rule 1: \"dest\" must be a string"},
      {"import", "d.json", Doc(Rule("C:\\\\a", "\"open\", \"read\"")), "d.json: rule 1: unknown kind \"read\""},
      {"import", "e.json", Doc(Rule("C:\\\\a") + "," + Rule(std::string(102000, 'x'))),
       "e.json: rule 2: source and dest are 102001 characters long, more than the rule file holds"},
      {"import", "f.json", Doc(many), "the rules would take"},
      {"import", "g.json", Doc("{\"type\": \"file\", \"deny\": [], \"dest\": \"a\", \"source\": \"\"}"),
       "g.json: rule 1: \"source\" is empty"},
      {"import " + Quote(t.dir + "\\missing.json"), "", "", "missing.json: cannot read it"},
      {"add --deny open,read C:\\x", "", "", "unknown kind \"read\""},
      {"add --deny open C:\\" + longPath, "", "", "263 characters long (at most 259)"},
      {"add --deny open", "", "", "at least one DEST"},
      {"add --deny open --bogus C:\\x", "", "", "unknown option --bogus"},
      {"frobnicate", "", "", "unknown command"},
      {"test --kind open C:\\x", "", "", "--process P is missing"},
  };
  for (const auto& c : cases) {
    std::string args = c.args;
    if (!c.file.empty()) args += " " + Quote(t.WriteText(c.file, c.text));
    const RunResult r = t.Vk(args);
    EXPECT_EQ(2u, r.code) << args << "\n" << r.out;
    const auto lines = r.Lines();
    // One line, except that an unknown command also shows the usage.
    ASSERT_FALSE(lines.empty()) << args;
    if (c.args != "frobnicate") {
      EXPECT_EQ(1u, lines.size()) << args << "\n" << r.out;
    }
    EXPECT_EQ(0u, lines[0].rfind("vkctl: ", 0)) << lines[0];
    EXPECT_NE(std::string::npos, lines[0].find(c.fragment)) << args << "\n" << lines[0];
    EXPECT_TRUE(before == t.Bytes()) << args;
  }
}

TEST(VkctlTest, ImportRefusesAWholeSetThatWouldReachTheReserve) {
  TempRules t("vkfull");
  // 1018 records of 100 bytes leave 49 bytes before the reserve.
  RuleList rules;
  for (int i = 0; i < 1018; ++i) {
    std::string dest = "C:\\" + std::to_string(100000 + i);
    dest.resize(79, 'x');
    rules.push_back(MakeRule("*", dest, TYPE_FILE, KIND_OPEN, 10));
  }
  t.Write(rules);
  const auto before = t.Bytes();
  RunResult r =
      t.Vk("import " + Quote(t.WriteText("one.json", Doc(Rule(std::string(29, 'y')) + "," + Rule("C:\\\\x")))));
  EXPECT_EQ(2u, r.code) << r.out;
  EXPECT_TRUE(before == t.Bytes());
  r = t.Vk("import " + Quote(t.WriteText("fits.json", Doc(Rule(std::string(28, 'y'))))));
  EXPECT_EQ(0u, r.code) << r.out;
  EXPECT_EQ(1019u, t.Read().size());
}

TEST(VkctlTest, ADamagedRuleFileIsNeverOverwritten) {
  // Writing back only the rules before the damage would lose the rest.
  TempRules t("vkdamaged");
  RuleList start;
  start.push_back(MakeRule("*", "C:\\first", TYPE_FILE, KIND_COPY, 10));
  start.push_back(MakeRule("*", "C:\\second", TYPE_FILE, KIND_COPY, 10));
  t.Write(start);
  {
    // The second record's source length runs past the end of the file.
    std::vector<uint8_t> bytes = t.Bytes();
    const size_t second = RULE_FILE_HEADER_SIZE + 20 + 1 + 8;
    bytes[second + 12] = 0xFF;
    bytes[second + 13] = 0xFF;
    bytes[second + 14] = 0xFF;
    std::ofstream(t.path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  const auto before = t.Bytes();
  for (const char* args : {"add --deny open C:\\x", "remove C:\\first", "list", "export -"}) {
    const RunResult r = t.Vk(args);
    EXPECT_EQ(2u, r.code) << args;
    ASSERT_EQ(1u, r.Lines().size()) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("damaged record at data offset 29 (after rule 1)")) << r.out;
    EXPECT_TRUE(before == t.Bytes()) << args;
  }
}

struct PasswordGuard {
  std::string previous = ReadPassword();
  ~PasswordGuard() { WritePassword(previous); }
};

TEST(VkctlTest, ASettingsPasswordGuardsEveryChangeButNotReading) {
  PasswordGuard guard;
  std::string stored;
  ASSERT_TRUE(MakeStoredPassword("S3cret", stored));
  WritePassword(stored);
  TempRules t("vkpass");
  RuleList start;
  start.push_back(MakeRule("*", "C:\\kept", TYPE_FILE, KIND_COPY, 10));
  t.Write(start);
  const auto before = t.Bytes();
  const std::string json = t.WriteText("r.json", Doc(Rule("C:\\\\new")));
  struct Case {
    std::string args, fragment;
  } cases[] = {
      {"add --deny open C:\\x", "give it with --password"},
      {"add --deny open C:\\x --password s3cret", "wrong password"},
      {"import " + Quote(json) + " --password wrong", "wrong password"},
      {"remove C:\\kept", "give it with --password"},
  };
  for (const auto& c : cases) {
    const RunResult r = t.Vk(c.args);
    EXPECT_EQ(2u, r.code) << c.args;
    ASSERT_EQ(1u, r.Lines().size()) << r.out;
    EXPECT_NE(std::string::npos, r.out.find(c.fragment)) << r.out;
    EXPECT_TRUE(before == t.Bytes()) << c.args;
  }
  EXPECT_EQ(0u, t.Vk("list").code);
  EXPECT_EQ(1u, t.Vk("test --process a.exe --kind copy C:\\kept\\x").code);
  RunResult r = t.Vk("remove C:\\KEPT --password S3cret");
  EXPECT_EQ(0u, r.code) << r.out;
  EXPECT_TRUE(t.Read().empty());

  // A damaged stored value refuses every change, with the reason, but
  // reading still needs no password.
  WritePassword("pbkdf2-sha256$1$00$00");
  r = t.Vk("add --deny open C:\\x --password S3cret");
  EXPECT_EQ(2u, r.code);
  EXPECT_NE(std::string::npos, r.out.find("stored settings password is damaged")) << r.out;
  EXPECT_TRUE(t.Read().empty());
  EXPECT_EQ(0u, t.Vk("list").code);
}

TEST(VkctlTest, AddRemoveListAndHelp) {
  TempRules t("vkcmds");
  RunResult r = t.Vk("add --deny copy,open C:\\data \"C:\\My Files\\b.doc\"");
  ASSERT_EQ(0u, r.code) << r.out;
  r = t.Vk("add --deny run --source C:\\app.exe --registry --system HKLM\\Software\\Run");
  ASSERT_EQ(0u, r.code) << r.out;
  EXPECT_EQ(std::vector<std::string>{"added 1 new rules, 3 rules in all"}, r.Lines());
  r = t.Vk("add --deny delete c:\\DATA");  // equal rule: gains the kind
  ASSERT_EQ(0u, r.code) << r.out;
  EXPECT_EQ(std::vector<std::string>{"added 0 new rules, 3 rules in all"}, r.Lines());
  RuleList rules = t.Read();
  ASSERT_EQ(3u, rules.size());
  auto it = rules.begin();
  EXPECT_EQ("C:\\My Files\\b.doc", (*it)->Dest);  // merged in order, each new one to the front
  EXPECT_EQ("C:\\data", (*++it)->Dest);
  EXPECT_EQ(KIND_COPY | KIND_OPEN | KIND_DELETE, (*it)->Kinds);
  EXPECT_EQ(TYPE_REGISTRY | TYPE_SYSTEM, (*++it)->Type);
  EXPECT_EQ("C:\\app.exe", (*it)->Source);

  r = t.Vk("list");
  ASSERT_EQ(0u, r.code);
  EXPECT_EQ((std::vector<std::string>{
                "#  type             deny              mode  source      dest",
                "1  file             open,copy           10  *           C:\\My Files\\b.doc",
                "2  file             open,copy,delete    10  *           C:\\data",
                "3  system registry  run                 10  C:\\app.exe  HKLM\\Software\\Run",
                "3 rules",
            }),
            r.Lines());
  r = t.Vk("list --json");
  ASSERT_EQ(0u, r.code);
  EXPECT_EQ(0u, r.out.find("{\n  \"format\": \"varnokel-rules\",\n  \"version\": 1,"));

  r = t.Vk("remove C:\\DATA c:\\my files\\B.DOC");
  EXPECT_EQ(std::vector<std::string>{"removed 1 rules"}, r.Lines());  // the second DEST was split in two words
  r = t.Vk("remove \"c:\\my files\\B.DOC\" HKLM\\Software\\Run");     // the registry rule has another source
  EXPECT_EQ(std::vector<std::string>{"removed 1 rules"}, r.Lines());
  r = t.Vk("remove --source C:\\APP.EXE HKLM\\software\\run");
  EXPECT_EQ(std::vector<std::string>{"removed 1 rules"}, r.Lines());
  EXPECT_TRUE(t.Read().empty());

  for (const char* command : {"list", "export", "import", "add", "remove", "test"}) {
    r = t.Vk(std::string(command) + " --help");
    EXPECT_EQ(0u, r.code) << command;
    EXPECT_EQ(0u, r.out.find(std::string("usage: vkctl ") + command)) << r.out;
  }
  EXPECT_EQ(2u, RunProgram("vkctl.exe", "", t.dir + "\\o.txt").code);
}

}  // namespace
