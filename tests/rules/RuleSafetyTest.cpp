// The Files page never loses the user's rules: a read that was given up or
// failed keeps the set and writes nothing over the file; failures are told
// to the user once; a damaged file is copied beside it before anything is
// written; rows never point at freed rules; requests that arrive during a
// pass run once, right after it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <random>
#include <set>

#include "common/DialogDriver.h"
#include "common/TestSupport.h"
#include "core/FullRuleSet.h"
#include "rules/FilePageFixture.h"
#include "rules/RuleFileCheck.h"
#include "rules/SharedNames.h"

using namespace testsupport;
using namespace filepagetest;

namespace {

// Answers the page's message boxes (caption "Varnokel") and keeps their texts.
struct BoxWatcher {
  DialogDriver driver;
  BoxWatcher() {
    driver.On("Varnokel", [this](HWND box) { driver.Answer(box, IDOK); });
  }
  const std::vector<std::string>& Texts() const { return driver.MessageTexts(); }
  std::string First() const { return Texts().empty() ? std::string() : Texts()[0]; }
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  HANDLE f =
      CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD n = 0;
  const BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(f);
  return ok && n == bytes.size();
}

// A second process that holds the rule file's Read mutex, as the engine does
// while it reads the rules, until Release (or a minute has passed).
struct ReadMutexHolder {
  std::string ready = UniqueMapping("held");
  std::string release = UniqueMapping("release");
  HANDLE readyEvent = CreateEventA(nullptr, TRUE, FALSE, ready.c_str());
  HANDLE releaseEvent = CreateEventA(nullptr, TRUE, FALSE, release.c_str());
  Process process;
  bool Start(const std::string& mapping) {
    if (!StartHelper(process, "mutex_holder.exe",
                     "\"" + SharedObjectName(mapping + " Read") + "\" 60000 " + ready + " " + release))
      return false;
    return WaitForSingleObject(readyEvent, 20000) == WAIT_OBJECT_0;
  }
  // Lets go of the mutex; the helper's exit code (0: held and let go).
  DWORD Release() {
    SetEvent(releaseEvent);
    return process.Wait(20000);
  }
  ~ReadMutexHolder() {
    SetEvent(releaseEvent);
    CloseHandle(readyEvent);
    CloseHandle(releaseEvent);
  }
};

}  // namespace

// At start the engine holds the Read mutex past the progress window's limit:
// the load is given up, the user is told once, nothing is written while the
// file's rules are unknown (a rule added meanwhile waits in memory), and once
// the engine lets go the page reads the file by itself and writes the whole
// set; after the end every rule is still in the file.
TEST(RuleSafety, AGivenUpLoadNeverWritesOverTheFilesRules) {
  PageFixture f;
  ASSERT_TRUE(f.SeedRules(NumberedRules(3)));
  const std::vector<uint8_t> before = ReadFileBytes(f.path);
  ReadMutexHolder holder;
  // With 10 ms ticks a pass is given up after about 0.2 s.
  ASSERT_TRUE(holder.Start(f.mapping));
  BoxWatcher boxes;
  ASSERT_TRUE(f.Create());
  EXPECT_TRUE(f.page->Rules().empty());
  EXPECT_EQ(1u, boxes.Texts().size());
  EXPECT_TRUE(Contains(boxes.First(), f.path)) << boxes.First();
  EXPECT_TRUE(Contains(boxes.First(), SystemErrorText(ERROR_TIMEOUT))) << boxes.First();

  EXPECT_FALSE(f.page->HasLoaded());
  f.Add(REQ_RUN, {"C:\\added.exe"});
  EXPECT_TRUE(f.page->HasUnsavedChanges());
  EXPECT_EQ(1u, boxes.Texts().size());  // the same episode: not told again
  EXPECT_EQ(1, f.RowCount());
  EXPECT_EQ("C:\\added.exe", f.RowText(0));
  EXPECT_EQ(before, ReadFileBytes(f.path));

  EXPECT_EQ(0u, holder.Release());
  ASSERT_TRUE(PumpUntil([&] { return f.page->Rules().size() == 4; }, 8000));
  EXPECT_EQ(
      (std::vector<std::string>{"C:\\added.exe", "C:\\data\\file0.txt", "C:\\data\\file1.txt", "C:\\data\\file2.txt"}),
      Dests(f.page->Rules()));
  ExpectInSync(f);
  EXPECT_TRUE(f.page->HasLoaded());
  EXPECT_FALSE(f.page->HasUnsavedChanges());
  f.Destroy();
  EXPECT_EQ(4u, f.FileRules().size());
  EXPECT_EQ(1u, boxes.Texts().size());
}

// The rule file cannot be opened at start (another program holds it without
// sharing it): the user is told once, the rules added meanwhile stay in the
// list, nothing is written; when the file can be opened again the next
// change writes the file's rules and every added one.
TEST(RuleSafety, AFileThatCannotBeOpenedLosesNothing) {
  PageFixture f;
  ASSERT_TRUE(f.SeedRules(NumberedRules(2)));
  HANDLE blocker = CreateFileA(f.path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, blocker);
  // A notifier of its own takes the place of the message box.
  std::vector<std::string> told;
  f.page->SetNotifier([&](HWND owner, const std::string& text) {
    EXPECT_EQ(f.page->m_hWnd, owner);
    told.push_back(text);
  });
  BoxWatcher boxes;
  ASSERT_TRUE(f.Create());
  ASSERT_EQ(1u, told.size());
  EXPECT_TRUE(Contains(told[0], f.path)) << told[0];
  EXPECT_TRUE(Contains(told[0], SystemErrorText(ERROR_SHARING_VIOLATION))) << told[0];
  f.Add(REQ_COPY, {"C:\\first.doc"});
  EXPECT_EQ(1, f.RowCount());
  EXPECT_EQ(1u, told.size());
  CloseHandle(blocker);

  f.Add(REQ_COPY, {"C:\\second.doc"});
  EXPECT_EQ((std::vector<std::string>{"C:\\second.doc", "C:\\first.doc", "C:\\data\\file0.txt", "C:\\data\\file1.txt"}),
            Dests(f.page->Rules()));
  ExpectInSync(f);
  EXPECT_EQ(1u, told.size());
  EXPECT_TRUE(boxes.Texts().empty());
  f.page->SetNotifier(nullptr);  // told goes before the page
}

// After a good start the engine holds the Read mutex past the limit while a
// rule is added: the write is given up, the user is told once (not again for
// the next change), the list keeps the new rules, the file is untouched; once
// the engine lets go the next change writes the whole set.
TEST(RuleSafety, AWriteThatFailsKeepsTheListAndTheNextChangeWritesTheWholeSet) {
  PageFixture f;
  ASSERT_TRUE(f.SeedRules(NumberedRules(2)));
  BoxWatcher boxes;
  ASSERT_TRUE(f.Create());
  ASSERT_EQ(2u, f.page->Rules().size());
  const std::vector<uint8_t> before = ReadFileBytes(f.path);
  ReadMutexHolder holder;
  ASSERT_TRUE(holder.Start(f.mapping));

  f.Add(REQ_RUN, {"C:\\third.exe"});
  EXPECT_EQ(1u, boxes.Texts().size());
  EXPECT_TRUE(Contains(boxes.First(), f.path)) << boxes.First();
  EXPECT_TRUE(Contains(boxes.First(), SystemErrorText(ERROR_TIMEOUT))) << boxes.First();
  f.Add(REQ_RUN, {"C:\\fourth.exe"});
  EXPECT_EQ(1u, boxes.Texts().size());
  EXPECT_EQ(4, f.RowCount());
  EXPECT_EQ("C:\\fourth.exe", f.RowText(0));
  EXPECT_EQ(before, ReadFileBytes(f.path));

  EXPECT_EQ(0u, holder.Release());
  f.Add(REQ_RUN, {"C:\\fifth.exe"});
  EXPECT_EQ((std::vector<std::string>{"C:\\fifth.exe", "C:\\fourth.exe", "C:\\third.exe", "C:\\data\\file0.txt",
                                      "C:\\data\\file1.txt"}),
            Dests(f.page->Rules()));
  ExpectInSync(f);
  EXPECT_EQ(1u, boxes.Texts().size());
  // A later failure is a new episode and is told again.
  ReadMutexHolder again;
  ASSERT_TRUE(again.Start(f.mapping));
  f.Add(REQ_RUN, {"C:\\sixth.exe"});
  EXPECT_EQ(2u, boxes.Texts().size());
  EXPECT_EQ(0u, again.Release());
}

// Damaged files found at start: the original bytes go to "QX5Rule.rle.damaged"
// (replacing an older copy), the user is told how many rules were read and
// where the copy is, and the page goes on with those rules, written back.
TEST(RuleSafety, ADamagedFileIsCopiedBesideItBeforeAnythingIsWritten) {
  RuleList forty = NumberedRules(40);
  std::vector<uint8_t> sound(RULE_FILE_SIZE, 0);
  BuildRuleFileHeader(sound.data());
  uint32_t used = 0;
  ASSERT_EQ(0, SerializeRuleRecords(sound.data() + RULE_FILE_HEADER_SIZE, RULE_FILE_SIZE, forty, used));

  std::vector<uint8_t> random(RULE_FILE_SIZE);
  std::mt19937 rng(8);
  for (auto& b : random) b = static_cast<uint8_t>(rng());
  std::vector<uint8_t> cut(sound.begin(), sound.begin() + 1000);
  // A record in the middle whose source length runs past the file.
  std::vector<uint8_t> brokenRecord = sound;
  const size_t eleventh = RULE_FILE_HEADER_SIZE + 10 * 38;  // ten 38-byte records before it
  for (size_t i = 12; i < 15; ++i) brokenRecord[eleventh + i] = 0xFF;

  struct Case {
    const char* name;
    const std::vector<uint8_t>* bytes;
    size_t rulesKept;
  } cases[] = {
      {"random bytes", &random, 0},
      {"cut to 1000 bytes", &cut, 24},
      {"a damaged record", &brokenRecord, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PageFixture f;
    ASSERT_TRUE(WriteBytes(f.path, *c.bytes));
    const std::string copy = f.path + ".damaged";
    ASSERT_TRUE(WriteBytes(copy, {1, 2, 3}));
    BoxWatcher boxes;
    ASSERT_TRUE(f.Create());
    EXPECT_EQ(*c.bytes, ReadFileBytes(copy));
    EXPECT_EQ(1u, boxes.Texts().size());
    EXPECT_TRUE(Contains(boxes.First(), f.path));
    EXPECT_TRUE(Contains(boxes.First(), copy));
    EXPECT_TRUE(Contains(boxes.First(), " " + std::to_string(c.rulesKept) + " rules")) << boxes.First();
    ASSERT_EQ(c.rulesKept, f.page->Rules().size());
    size_t i = 0;
    for (const auto& r : f.page->Rules()) EXPECT_EQ("C:\\data\\file" + std::to_string(i++) + ".txt", r->Dest);
    ExpectInSync(f);
    // The copy stays as it was through the changes that follow.
    f.Add(REQ_RUN, {"C:\\after.exe"});
    EXPECT_EQ(*c.bytes, ReadFileBytes(copy));
    EXPECT_EQ(1u, boxes.Texts().size());
  }
}

namespace {
struct RepaintProbe {
  CDlgFilePage* page = nullptr;
  int checks = 0;
  int dangling = 0;
} g_repaint;
}  // namespace

// During both passes of a removal the progress window's loop repaints the
// list: every row it paints belongs to a rule that is still in the set.
TEST(RuleSafety, RemoveLeavesNoRowOnAFreedRule) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  ShowWindow(f.parent, SW_SHOWNOACTIVATE);
  f.Add(REQ_RUN, {"r1", "r2", "r3", "r4", "r5", "r6"});
  f.Select({0, 2, 3, 5});
  g_repaint = {f.page.get(), 0, 0};
  UINT_PTR timer = SetTimer(nullptr, 0, 1, [](HWND, UINT, UINT_PTR, DWORD) {
    CDlgFilePage* page = g_repaint.page;
    std::set<LPARAM> live;
    for (const auto& r : page->Rules()) live.insert(reinterpret_cast<LPARAM>(r.get()));
    CGfxListCtrl& list = page->List();
    for (int row = 0; row < list.RowCount(); ++row)
      if (!live.count(list.RowData(row))) ++g_repaint.dangling;
    ++g_repaint.checks;
    RedrawWindow(page->ListWindow(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  });
  RULE_REQUEST remove;
  remove.Code = REQ_REMOVE_SELECTED;
  f.Send(&remove);
  KillTimer(nullptr, timer);
  EXPECT_GT(g_repaint.checks, 0);
  EXPECT_EQ(0, g_repaint.dangling);
  EXPECT_EQ((std::vector<std::string>{"r5", "r2"}), Dests(f.page->Rules()));
  ExpectInSync(f);
}

namespace {
struct LateRequest {
  HWND page = nullptr;
  bool sent = false;
  bool ranDuringPass = false;
} g_late;

// Sends one edit-new request from inside the first modal loop it meets.
void CALLBACK SendLateRequest(HWND, UINT, UINT_PTR id, DWORD) {
  if (g_late.sent) return;
  g_late.sent = true;
  KillTimer(nullptr, id);
  RULE_REQUEST req;
  req.Code = REQ_EDIT_NEW;
  req.Dests = {"C:\\late.txt"};
  auto* page = static_cast<CDlgFilePage*>(CWindow::FromHandle(g_late.page));
  SendMessageA(g_late.page, WM_RULE_REQUEST, reinterpret_cast<WPARAM>(&req), 0);
  // A request must not run while the pass it arrived in is running.
  for (const auto& r : page->Rules())
    if (r->Dest == "C:\\late.txt") g_late.ranDuringPass = true;
}
}  // namespace

// A request that arrives during a cell edit's pass runs once, right after it.
TEST(RuleSafety, ARequestDuringACellEditsPassRunsOnceRightAfterIt) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_RUN, {"C:\\doc.txt"});
  int edits = 0;
  f.page->SetEditRunner([&](HWND, std::vector<RULEFILE_ITEM*>& rules, uint32_t) {
    ++edits;
    for (RULEFILE_ITEM* r : rules) r->Kinds = KIND_DELETE;
    return IDOK;
  });
  CGfxListCtrl& list = f.page->List();
  list.SelectRow(0);
  ASSERT_TRUE(list.BeginEdit(0, CDlgFilePage::COL_PRINT));
  g_late = {f.page->m_hWnd, false, false};
  UINT_PTR timer = SetTimer(nullptr, 0, 1, &SendLateRequest);
  ASSERT_TRUE(list.PickEditorChoice(1));  // "Denied": a write and a read pass
  KillTimer(nullptr, timer);
  ASSERT_TRUE(g_late.sent);
  EXPECT_FALSE(g_late.ranDuringPass);
  EXPECT_EQ(1, edits);
  EXPECT_EQ((std::vector<std::string>{"C:\\late.txt", "C:\\doc.txt"}), Dests(f.page->Rules()));
  EXPECT_EQ(KIND_RUN | KIND_PRINT, Find(f.page->Rules(), "C:\\doc.txt")->Kinds);
  EXPECT_FALSE(f.page->IsBusy());
  ExpectInSync(f);
  // Nothing is left waiting for a later request.
  f.Send(nullptr);
  EXPECT_EQ(1, edits);
}

// A request that arrives during the final write runs once after that pass,
// not during it, and its rule is in the file when the page has gone.
TEST(RuleSafety, ARequestDuringTheFinalWriteRunsOnceAfterIt) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_RUN, {"C:\\kept.exe"});
  int edits = 0;
  f.page->SetEditRunner([&](HWND, std::vector<RULEFILE_ITEM*>& rules, uint32_t) {
    ++edits;
    for (RULEFILE_ITEM* r : rules) r->Kinds = KIND_OPEN;
    return IDOK;
  });
  g_late = {f.page->m_hWnd, false, false};
  UINT_PTR timer = SetTimer(nullptr, 0, 1, &SendLateRequest);
  f.Destroy();
  KillTimer(nullptr, timer);
  ASSERT_TRUE(g_late.sent);
  EXPECT_FALSE(g_late.ranDuringPass);
  EXPECT_EQ(1, edits);
  EXPECT_TRUE(f.page->Rules().empty());
  EXPECT_EQ((std::vector<std::string>{"C:\\late.txt", "C:\\kept.exe"}), Dests(f.FileRules()));
}

namespace {

// Counts the progress windows that come up over a page.
struct ProgressWindows {
  static inline HWND page = nullptr;
  static inline int count = 0;
  HHOOK hook;
  explicit ProgressWindows(HWND watched) : hook(SetWindowsHookExA(WH_CBT, &Watch, nullptr, GetCurrentThreadId())) {
    page = watched;
    count = 0;
  }
  ~ProgressWindows() { UnhookWindowsHookEx(hook); }
  static LRESULT CALLBACK Watch(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND) {
      const CREATESTRUCTA* cs = reinterpret_cast<CBT_CREATEWNDA*>(lp)->lpcs;
      if (page && cs->hwndParent == page && cs->lpszClass == MAKEINTATOM(32770)) ++count;
    }
    return CallNextHookEx(nullptr, code, wp, lp);
  }
};

}  // namespace

// Another program (vkctl, a deployment script) changes the file between two
// writes of the page without telling it: the page's next changes go onto
// the rules the file holds then; nothing of either side is lost.
TEST(RuleSafety, AWriteFromMemoryKeepsWhatAnotherProgramWroteMeanwhile) {
  PageFixture f;
  ASSERT_TRUE(f.SeedRules(NumberedRules(3)));
  ASSERT_TRUE(f.Create());
  RuleList theirs = NumberedRules(3);
  theirs.front()->Kinds |= KIND_PRINT;
  theirs.push_front(MakeRule("*", "C:\\theirs.doc", TYPE_FILE, KIND_COPY, RULE_MODE_NORMAL));
  ASSERT_TRUE(f.SeedRules(theirs));

  f.Add(REQ_RUN, {"C:\\mine.exe"});
  EXPECT_EQ((std::vector<std::string>{"C:\\mine.exe", "C:\\theirs.doc", "C:\\data\\file0.txt", "C:\\data\\file1.txt",
                                      "C:\\data\\file2.txt"}),
            Dests(f.FileRules()));
  EXPECT_EQ(KIND_OPEN | KIND_PRINT, Find(f.FileRules(), "C:\\data\\file0.txt")->Kinds);
  ExpectInSync(f);

  // A removal from the rows it shows keeps a rule added meanwhile.
  RuleList again = f.FileRules();
  again.push_front(MakeRule("*", "C:\\later.doc", TYPE_FILE, KIND_COPY, RULE_MODE_NORMAL));
  ASSERT_TRUE(f.SeedRules(again));
  f.Select({4});  // file2
  RULE_REQUEST remove;
  remove.Code = REQ_REMOVE_SELECTED;
  f.Send(&remove);
  EXPECT_EQ((std::vector<std::string>{"C:\\later.doc", "C:\\mine.exe", "C:\\theirs.doc", "C:\\data\\file0.txt",
                                      "C:\\data\\file1.txt"}),
            Dests(f.FileRules()));
  ExpectInSync(f);
}

// The engine may make the file before the front end ever writes it: zeros of
// the full length, maybe mapped by the engine already. That is a new rule
// file: no copy, no message; the first write gives it the header.
TEST(RuleSafety, AFileOfZerosIsANewEmptyRuleFile) {
  struct Case {
    const char* name;
    size_t size;
    bool engineMapping;
  } cases[] = {{"zeros of the full length", RULE_FILE_SIZE, false},
               {"mapped by the engine", RULE_FILE_SIZE, true},
               {"zeros, cut short", 2000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PageFixture f;
    ASSERT_TRUE(WriteBytes(f.path, std::vector<uint8_t>(c.size, 0)));
    HANDLE engineFile = INVALID_HANDLE_VALUE, engineMapping = nullptr;
    if (c.engineMapping) {
      engineFile = CreateFileA(f.path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
      engineMapping = CreateFileMappingA(engineFile, nullptr, PAGE_READWRITE, 0, RULE_FILE_SIZE,
                                         SharedObjectName(f.mapping).c_str());
      ASSERT_NE(nullptr, engineMapping);
    }
    BoxWatcher boxes;
    ASSERT_TRUE(f.Create());
    EXPECT_TRUE(f.page->Rules().empty());
    f.Add(REQ_COPY, {"C:\\first.doc"});
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.First();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((f.path + ".damaged").c_str()));
    const std::vector<uint8_t> bytes = ReadFileBytes(f.path);
    ASSERT_EQ(RULE_FILE_SIZE, bytes.size());
    EXPECT_TRUE(IsValidRuleHeader(bytes.data(), bytes.size()));
    EXPECT_EQ(std::vector<std::string>{"C:\\first.doc"}, Dests(f.FileRules()));
    f.Destroy();
    if (engineMapping) CloseHandle(engineMapping);
    if (engineFile != INVALID_HANDLE_VALUE) CloseHandle(engineFile);
  }
}

// A file filled up to its reserve: one more rule does not push the last one
// out. The change is not made, in the file or on the page, and the user is
// told once how full the file is.
TEST(RuleSafety, AChangeThatDoesNotFitIsNotMadeAndTheUserIsTold) {
  PageFixture f;
  ASSERT_TRUE(f.SeedRules(FullRuleSet()));
  std::vector<std::string> told;
  f.page->SetNotifier([&](HWND, const std::string& text) { told.push_back(text); });
  ASSERT_TRUE(f.Create());
  ASSERT_EQ(1018u, f.page->Rules().size());
  const std::vector<uint8_t> before = ReadFileBytes(f.path);

  f.Add(REQ_COPY, {"C:\\Users\\bob\\Documents\\one more.doc"});
  ASSERT_EQ(1u, told.size());
  EXPECT_TRUE(Contains(told[0], "is full: it holds 1018 rules")) << told[0];
  EXPECT_TRUE(Contains(told[0], "Remove rules first")) << told[0];
  EXPECT_EQ(before, ReadFileBytes(f.path));
  EXPECT_EQ(1018u, f.page->Rules().size());
  ExpectInSync(f);

  f.Destroy();
  EXPECT_EQ(before, ReadFileBytes(f.path));
  f.page->SetNotifier(nullptr);
}

// A name of the rule file's mutexes taken by another kind of object: the
// user is told once what is wrong with which object (not a time-out), the
// file is neither copied nor written, no progress window comes up while the
// name stays taken, and the page reads the file by itself once it is free.
TEST(RuleSafety, AMutexThatCannotBeHadIsNamedOnceAndTheRetryWaitsQuietly) {
  PageFixture f;
  ASSERT_TRUE(f.SeedRules(NumberedRules(2)));
  const std::vector<uint8_t> before = ReadFileBytes(f.path);
  const std::string name = SharedObjectName(f.mapping + " Read");
  HANDLE squatter = CreateEventA(nullptr, TRUE, FALSE, name.c_str());
  ASSERT_NE(nullptr, squatter);
  std::vector<std::string> told;
  f.page->SetNotifier([&](HWND, const std::string& text) { told.push_back(text); });
  ASSERT_TRUE(f.Create());
  ASSERT_EQ(1u, told.size());
  EXPECT_TRUE(Contains(told[0], "\"" + name + "\": another kind of object has this name")) << told[0];
  EXPECT_FALSE(Contains(told[0], SystemErrorText(ERROR_TIMEOUT))) << told[0];
  EXPECT_TRUE(f.page->Rules().empty());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((f.path + ".damaged").c_str()));

  {
    ProgressWindows progress(f.page->m_hWnd);
    PumpUntil([] { return false; }, 5000);  // two retries and more
    EXPECT_EQ(0, ProgressWindows::count);
  }
  EXPECT_EQ(1u, told.size());
  EXPECT_EQ(before, ReadFileBytes(f.path));

  CloseHandle(squatter);
  ASSERT_TRUE(PumpUntil([&] { return f.page->Rules().size() == 2; }, 8000));
  EXPECT_EQ(1u, told.size());
  f.page->SetNotifier(nullptr);
}

// The file cannot be read from the start to the end of the program: the
// rules added meanwhile cannot be written, and the user hears so before the
// program ends instead of losing them without a word.
TEST(RuleSafety, RulesThatCannotBeWrittenAtTheEndAreToldBeforeTheEnd) {
  PageFixture f;
  ASSERT_TRUE(f.SeedRules(NumberedRules(2)));
  const std::vector<uint8_t> before = ReadFileBytes(f.path);
  HANDLE blocker = CreateFileA(f.path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, blocker);
  std::vector<std::string> told;
  f.page->SetNotifier([&](HWND, const std::string& text) { told.push_back(text); });
  ASSERT_TRUE(f.Create());
  f.Add(REQ_COPY, {"C:\\only in memory.doc"});
  ASSERT_EQ(1u, told.size());
  f.Destroy();
  ASSERT_EQ(2u, told.size());
  EXPECT_TRUE(Contains(told[1], "The 1 rules added since Varnokel started are not in the file")) << told[1];
  EXPECT_TRUE(Contains(told[1], f.path)) << told[1];
  EXPECT_TRUE(Contains(told[1], SystemErrorText(ERROR_SHARING_VIOLATION))) << told[1];
  CloseHandle(blocker);
  EXPECT_EQ(before, ReadFileBytes(f.path));
  f.page->SetNotifier(nullptr);
}
