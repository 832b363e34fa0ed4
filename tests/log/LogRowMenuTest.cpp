// The Log page's row commands on a real Log page beside a real Files page:
// which rule decided a row, protect and allow through the Files page, copy,
// find and export.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "LogTestUtil.h"
#include "log/DlgPageLog.h"
#include "log/LogCsv.h"
#include "resource.h"
#include "rules/FilePageFixture.h"
#include "rules/SharedObjects.h"

using namespace testsupport;
using namespace logtest;
using filepagetest::PageFixture;

namespace {

constexpr DWORD kWaitMs = 30000;

struct Record {
  uint32_t type, action;
  std::string text;
};

// A Log page on a private log and a Files page on a private rule file; the
// row commands act on that Files page, and their dialogs answer from here.
struct RowMenuHost {
  TempLog log;
  PageFixture files;
  HWND frame = CreateWindowExA(0, "STATIC", "frame", WS_POPUP | WS_VISIBLE, 0, 0, 900, 500, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  std::unique_ptr<CDlgPageLog> page = std::make_unique<CDlgPageLog>();
  std::vector<std::string> messages;
  int answer = IDYES;
  int shown = 0;  // times the Files page was brought forward
  std::string findText;

  explicit RowMenuHost(const RuleList& rules) {
    CDlgNotify::SetTickPeriod(10);
    EXPECT_TRUE(files.SeedRules(rules));
    EXPECT_TRUE(files.Create());
    page->SetLogSource(log.path, log.mapping, log.event);
    EXPECT_TRUE(page->Create(frame));
    SetWindowPos(*page, nullptr, 0, 0, 900, 500, SWP_NOZORDER | SWP_SHOWWINDOW);
    Menu().SetRulePages({[this] { return files.page.get(); }, [this] { ++shown; }});
    auto& d = Menu().UiDialogs();
    d.message = [this](HWND, const std::string& text, UINT) {
      messages.push_back(text);
      return answer;
    };
    d.askFindText = [this](HWND, std::string& text) {
      text = findText;
      return true;
    };
  }
  ~RowMenuHost() {
    page.reset();
    DestroyWindow(frame);
  }
  CLogRowMenu& Menu() { return page->RowMenu(); }
  HWND List() { return page->List().GetSafeHwnd(); }

  // Appends the records as the engine does and waits for their rows.
  void Write(const std::vector<Record>& records) {
    {
      CLogFile w(CLogFile::kNoEvent);
      ASSERT_EQ(0, w.Open(log.path.c_str(), log.mapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
      MutexLock wl(w.WriteMutex());
      MutexLock rl(w.ReadMutex());
      uint32_t pos = FindLogWritePosition(w.GetReadBase(), w.GetMaxSize());
      for (const Record& r : records)
        pos = AppendLogRecord(w.GetReadBase(), w.GetMaxSize(), pos, r.type, r.action, r.text);
      w.CloseLog(0);
    }
    const int before = ListView_GetItemCount(List());
    if (HANDLE e = OpenSharedEvent(log.event).handle) {
      SetEvent(e);
      CloseHandle(e);
    }
    ASSERT_TRUE(
        PumpUntil([&] { return ListView_GetItemCount(List()) >= before + static_cast<int>(records.size()); }, kWaitMs));
  }
  void Select(std::initializer_list<int> rows) {
    ListView_SetItemState(List(), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int r : rows) ListView_SetItemState(List(), r, LVIS_SELECTED, LVIS_SELECTED);
  }
  std::vector<int> Selected(HWND list) {
    std::vector<int> rows;
    for (int r = -1; (r = ListView_GetNextItem(list, r, LVNI_SELECTED)) >= 0;) rows.push_back(r);
    return rows;
  }
};

std::unique_ptr<RULEFILE_ITEM> Rule(const std::string& source, const std::string& dest, uint32_t kinds) {
  return MakeRule(source, dest, TYPE_FILE, kinds, RULE_MODE_NORMAL);
}

template <typename... Items>
RuleList Rules(Items... items) {
  RuleList rules;
  (rules.push_back(std::move(items)), ...);
  return rules;
}

const std::vector<Record> kRecords = {
    {TYPE_FILE, KIND_OPEN, "2026-12-07 10:00:01,C:\\Tools\\word.exe,Denied : C:\\d\\plan.doc"},
    {TYPE_FILE, KIND_COPY, "2026-12-07 10:00:02,C:\\Tools\\zip.exe,Approved : C:\\d\\budget.xls"},
    {TYPE_NET, KIND_OPEN, "2026-12-07 10:00:03,C:\\Tools\\web.exe,Denied : 10.1.2.3:80"},
    {TYPE_FILE, KIND_OPEN, "no fields at all"},
    {TYPE_FILE, KIND_OPEN | KIND_MODIFY, "2026-12-07 10:00:04,C:\\Tools\\Word.exe,Denied : C:\\d\\plan.doc - more"},
};

}  // namespace

// Which commands apply to which row, and the copied text of rows.
TEST(LogRowMenu, CommandsApplyWhereTheRowNamesAnAccessAndCopyGivesTabSeparatedRows) {
  RowMenuHost h(RuleList{});
  h.Write(kRecords);
  struct Case {
    int row;
    bool rules, allow;
  } const cases[] = {{0, true, true}, {1, true, false}, {2, false, false}, {3, false, false}, {4, true, true}};
  for (const Case& c : cases) {
    h.Select({c.row});
    EXPECT_EQ(c.rules, h.Menu().Applies(ID_LOGROW_WHICH_RULE)) << c.row;
    EXPECT_EQ(c.rules, h.Menu().Applies(ID_LOGROW_PROTECT)) << c.row;
    EXPECT_EQ(c.allow, h.Menu().Applies(ID_LOGROW_ALLOW)) << c.row;
    EXPECT_TRUE(h.Menu().Applies(ID_LOGROW_COPY)) << c.row;
  }
  h.Select({});
  EXPECT_FALSE(h.Menu().Applies(ID_LOGROW_COPY));
  h.Select({0, 4});
  EXPECT_EQ(
      "2026-12-07 10:00:01\tFile\tC:\\Tools\\word.exe\tDenied Read\tC:\\d\\plan.doc\r\n"
      "2026-12-07 10:00:04\tFile\tC:\\Tools\\Word.exe\tDenied Read Modify\tC:\\d\\plan.doc - more\r\n",
      h.Menu().CopyText());
}

// The rules that match the row are selected on the Files page, which comes
// forward; a row no rule matches says so.
TEST(LogRowMenu, WhichRuleSelectsTheMatchingRulesOnTheFilesPage) {
  RowMenuHost h(Rules(Rule("*", "C:\\other.txt", KIND_OPEN), Rule("*", "C:\\d\\plan.doc", KIND_OPEN),
                      Rule("C:\\Tools\\zip.exe", "C:\\d\\*", KIND_OPEN), Rule("*", "C:\\d", KIND_OPEN)));
  h.Write(kRecords);
  h.Select({0});
  h.Menu().Run(ID_LOGROW_WHICH_RULE);
  EXPECT_EQ(1, h.shown);
  EXPECT_TRUE(h.messages.empty());
  std::vector<std::string> selected;
  for (int row : h.Selected(h.files.page->ListWindow())) selected.push_back(h.files.RowText(row));
  std::sort(selected.begin(), selected.end());
  EXPECT_EQ((std::vector<std::string>{"C:\\d", "C:\\d\\plan.doc"}), selected);

  h.Select({1});  // zip.exe copying: the zip rule denies only opening
  h.Menu().Run(ID_LOGROW_WHICH_RULE);
  EXPECT_EQ(1, h.shown);
  ASSERT_EQ(1u, h.messages.size());
  EXPECT_EQ("No rule of yours covers this access.", h.messages[0]);
}

// Allow takes exactly the row's kinds out of the rules that matched, after
// the question, and saves through the Files page onto what another program
// wrote meanwhile.
TEST(LogRowMenu, AllowRemovesExactlyTheRowsKindsAndKeepsAnotherProgramsChange) {
  RowMenuHost h(Rules(Rule("*", "C:\\d\\plan.doc", KIND_OPEN | KIND_MODIFY | KIND_DELETE),
                      Rule("*", "C:\\other.txt", KIND_OPEN), Rule("*", "C:\\d", KIND_OPEN | KIND_COPY)));
  h.Write(kRecords);
  // Another program adds a rule; the page has not read it yet.
  ASSERT_TRUE(h.files.SeedRules(Rules(Rule("*", "C:\\d\\plan.doc", KIND_OPEN | KIND_MODIFY | KIND_DELETE),
                                      Rule("*", "C:\\other.txt", KIND_OPEN), Rule("*", "C:\\d", KIND_OPEN | KIND_COPY),
                                      Rule("*", "C:\\new", KIND_RUN))));
  h.answer = IDNO;
  h.Select({4});
  h.Menu().Run(ID_LOGROW_ALLOW);
  ASSERT_EQ(1u, h.messages.size());
  EXPECT_NE(std::string::npos, h.messages[0].find("C:\\d\\plan.doc  (every program; denies Read Modify Delete)"));
  EXPECT_NE(std::string::npos, h.messages[0].find("C:\\d  (every program; denies Read Copy)"));
  EXPECT_EQ(std::string::npos, h.messages[0].find("other.txt"));
  EXPECT_EQ(KIND_OPEN | KIND_MODIFY | KIND_DELETE, h.files.page->Rules().front()->Kinds);  // No: nothing changed

  h.answer = IDYES;
  h.Menu().Run(ID_LOGROW_ALLOW);
  const RuleList onDisk = h.files.FileRules();
  ASSERT_EQ(4u, onDisk.size());
  EXPECT_EQ(KIND_DELETE, filepagetest::Find(onDisk, "C:\\d\\plan.doc")->Kinds);
  EXPECT_EQ(KIND_OPEN, filepagetest::Find(onDisk, "C:\\other.txt")->Kinds);
  EXPECT_EQ(KIND_COPY, filepagetest::Find(onDisk, "C:\\d")->Kinds);
  EXPECT_EQ(KIND_RUN, filepagetest::Find(onDisk, "C:\\new")->Kinds);
  filepagetest::ExpectInSync(h.files);
}

// Protect opens the Rule Edit dialog on a new rule for the row's object
// with its kinds; OK adds it.
TEST(LogRowMenu, ProtectOffersTheRowsObjectAndKindsAndAddsTheRule) {
  RowMenuHost h(RuleList{});
  h.Write(kRecords);
  std::string dest, source;
  uint32_t kinds = 0, type = 0;
  h.files.page->SetEditRunner([&](HWND, std::vector<RULEFILE_ITEM*>& rules, uint32_t) -> INT_PTR {
    if (rules.size() != 1) return IDCANCEL;
    dest = rules[0]->Dest;
    source = rules[0]->Source;
    kinds = rules[0]->Kinds;
    type = rules[0]->Type;
    rules[0]->Source = "C:\\Tools\\Word.exe";  // narrowed to a program, as Browse does
    rules[0]->SourceLen = static_cast<uint32_t>(rules[0]->Source.size());
    return IDOK;
  });
  h.Select({4});
  h.Menu().Run(ID_LOGROW_PROTECT);
  EXPECT_EQ("C:\\d\\plan.doc", dest);
  EXPECT_EQ("*", source);
  EXPECT_EQ(KIND_OPEN | KIND_MODIFY, kinds);
  EXPECT_EQ(TYPE_FILE, type);
  const RuleList onDisk = h.files.FileRules();
  ASSERT_EQ(1u, onDisk.size());
  EXPECT_EQ("C:\\Tools\\Word.exe", onDisk.front()->Source);
  EXPECT_EQ(KIND_OPEN | KIND_MODIFY, onDisk.front()->Kinds);
}

// Find looks in every column ignoring case, from after the focused row and
// round; F3 goes on with the same text.
TEST(LogRowMenu, FindAndF3SelectTheNextMatchingRowAndGoRound) {
  RowMenuHost h(RuleList{});
  h.Write(kRecords);
  h.Select({});
  h.findText = "WORD.exe";
  EXPECT_TRUE(h.Menu().OnKey('F', true));
  EXPECT_EQ(std::vector<int>{0}, h.Selected(h.List()));
  EXPECT_TRUE(h.Menu().OnKey(VK_F3, false));
  EXPECT_EQ(std::vector<int>{4}, h.Selected(h.List()));
  h.Menu().OnKey(VK_F3, false);
  EXPECT_EQ(std::vector<int>{0}, h.Selected(h.List()));
  h.findText = "registry";  // in no row
  h.Menu().Run(ID_LOGROW_FIND);
  EXPECT_EQ(std::vector<int>{0}, h.Selected(h.List()));
  ASSERT_EQ(1u, h.messages.size());
  EXPECT_EQ("\"registry\" was not found in the log's rows.", h.messages[0]);
}

// Export writes every record the log file holds, oldest first, as CSV.
TEST(LogRowMenu, ExportWritesTheLogFileAsCsv) {
  RowMenuHost h(RuleList{});
  h.Write(kRecords);
  const std::string target = h.log.dir + "\\export.csv";
  h.Menu().UiDialogs().askExportPath = [&](HWND, std::string& path) {
    path = target;
    return true;
  };
  h.Menu().Run(ID_LOGROW_EXPORT);
  EXPECT_TRUE(h.messages.empty());
  std::string expected = LogCsvHeader();
  for (const Record& r : kRecords) {
    LOGFILE_ITEM item;
    item.type = r.type;
    item.action = r.action;
    item.text = r.text;
    item.length = static_cast<uint32_t>(r.text.size());
    expected += LogCsvLine(SplitLogRecord(item), nullptr);
  }
  EXPECT_EQ(expected, ReadText(target));
}
