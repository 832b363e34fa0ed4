// The clipboard guard of the Options page against content that a second
// process (clip_set) puts on the clipboard: keyword texts are replaced by
// the notice, file-drop lists naming protected files get notice files, the
// chain keeps working for the viewers behind the page, and a busy
// clipboard, a vanished viewer and overlong paths do no harm.
#include <gtest/gtest.h>

#include <memory>

#include "common/TestSupport.h"
#include "framework/Module.h"
#include "resource.h"
#include "rules/NoCopyPaths.h"
#include "settings/DlgPageOptions.h"
#include "settings/OptionsTestUtil.h"
#include "settings/Settings.h"

using namespace testsupport;

namespace {

std::string ClipboardText(HWND opener = nullptr) {
  std::string text;
  if (!OpenClipboard(opener)) return "<busy>";
  if (HANDLE h = GetClipboardData(CF_TEXT)) {
    if (const char* p = static_cast<const char*>(GlobalLock(h))) {
      text = p;
      GlobalUnlock(h);
    }
  }
  CloseClipboard();
  return text;
}

bool ClipboardHasFiles() { return IsClipboardFormatAvailable(CF_HDROP) != FALSE; }

// A window in the chain in front of which the page joins, counting what
// reaches it.
class Viewer : public CWindow {
 public:
  Viewer() {
    HWND hwnd = CreateWindowExA(0, "STATIC", "viewer", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    Attach(hwnd);
    next = SetClipboardViewer(hwnd);
    notifications = 0;  // the one that joining brings
  }
  ~Viewer() override { Leave(); }
  void Leave() {
    if (!m_hWnd) return;
    HWND hwnd = m_hWnd;
    ChangeClipboardChain(hwnd, next);
    Detach();
    DestroyWindow(hwnd);
  }
  // Goes without leaving the chain, as a crashed program would.
  void Vanish() {
    HWND hwnd = m_hWnd;
    Detach();
    DestroyWindow(hwnd);
  }
  int notifications = 0;
  HWND next = nullptr;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_DRAWCLIPBOARD) {
      ++notifications;
      if (next) SendMessageA(next, msg, wp, lp);
      return 0;
    }
    if (msg == WM_CHANGECBCHAIN) {
      if (reinterpret_cast<HWND>(wp) == next)
        next = reinterpret_cast<HWND>(lp);
      else if (next)
        SendMessageA(next, msg, wp, lp);
      return 0;
    }
    return CWindow::WindowProc(msg, wp, lp);
  }
};

class Guard : public testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
    SettingsDefaults();
    NoCopyPaths::Clear();
    dir = MakeTempDir("clip");
    frame = CreateWindowExA(0, "STATIC", "frame", WS_POPUP, 0, 0, 700, 600, nullptr, nullptr, GetModuleHandleA(nullptr),
                            nullptr);
  }
  void TearDown() override {
    page.reset();
    DestroyWindow(frame);
    NoCopyPaths::Clear();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
    SettingsDefaults();
  }
  void OpenPage(const char* keywords) {
    page = std::make_unique<CDlgPageOptions>();
    ASSERT_TRUE(page->Create(frame));
    TypeKeywords(*page, keywords);
  }
  // Runs clip_set and waits until the guard has looked at what it placed.
  void Copy(const std::string& args) {
    const int before = page->Guard().Checks();
    Process p;
    ASSERT_TRUE(StartHelper(p, "clip_set.exe", args));
    // The page's window answers the clipboard's notifications while the
    // helper runs, as a user's desktop does.
    ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(p.process, 0) == WAIT_OBJECT_0; }, 30000)) << args;
    ASSERT_EQ(0u, p.Wait());
    EXPECT_TRUE(PumpUntil([&] { return page->Guard().Checks() > before; }, 30000)) << args;
    PumpUntil([] { return false; }, 50);  // whatever the check set off
  }
  std::string MakeFile(const std::string& name) {
    const std::string path = dir + "\\" + name;
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(f);
    return path;
  }
  static bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

  std::string dir;
  HWND frame = nullptr;
  std::unique_ptr<CDlgPageOptions> page;
};

}  // namespace

TEST_F(Guard, TextWithAKeywordBecomesTheNoticeAndOtherTextStays) {
  OpenPage("secret\r\nplan");
  EXPECT_EQ("secret|plan", regStrNoCpyText);
  const std::string notice = LoadStr(IDS_NOTICE_TEXT);
  const std::pair<const char*, bool> cases[] = {
      {"\"Top SECRET stuff\"", true}, {"\"the planet\"", true}, {"\"nothing here\"", false}, {"\"Secret\"", true}};
  for (const auto& [text, replaced] : cases) {
    Copy(std::string("text ") + text);
    std::string original(text + 1);
    original.pop_back();
    EXPECT_EQ(replaced ? notice : original, ClipboardText()) << text;
  }
}

TEST_F(Guard, EmptyKeywordsBetweenBarsAreSkipped) {
  OpenPage("|secret||plan|");
  EXPECT_EQ("|secret||plan|", regStrNoCpyText);
  const std::string notice = LoadStr(IDS_NOTICE_TEXT);
  Copy("text \"a||b and |\"");
  EXPECT_EQ("a||b and |", ClipboardText());
  Copy("text \"my PLAN\"");
  EXPECT_EQ(notice, ClipboardText());
}

TEST_F(Guard, AKeywordInsideTheNoticeDoesNotLoop) {
  const std::string notice = LoadStr(IDS_NOTICE_TEXT);
  ASSERT_NE(std::string::npos, notice.find("protected"));
  ASSERT_NE(std::string::npos, notice.find("copied"));
  OpenPage("protected\r\ncopied");
  Copy("text \"protected data\"");
  PumpUntil([] { return false; }, 700);
  EXPECT_EQ(notice, ClipboardText());
  EXPECT_EQ(1, page->Guard().Replacements());
  EXPECT_LE(page->Guard().Checks(), 3);  // the copy and the guard's own replacement, no more
}

TEST_F(Guard, AProtectedFileGetsANoticeFileAndStaysOnTheClipboard) {
  OpenPage("secret");
  const std::string protectedFile = MakeFile("Budget.doc");
  const std::string other = MakeFile("other.doc");
  const std::string inside = MakeFile("inner.doc");
  std::string upper = protectedFile;
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  NoCopyPaths::Replace({upper, dir});  // letter case differs; the directory protects no file in it
  Copy("files \"" + protectedFile + "\" \"" + other + "\" \"" + inside + "\"");
  EXPECT_EQ(1, page->Guard().NoticeFiles());
  const std::vector<uint8_t> written = ReadFileBytes(protectedFile + ".txt");
  EXPECT_EQ(LoadStr(IDS_NOTICE_FILE), std::string(written.begin(), written.end()));
  EXPECT_FALSE(Exists(other + ".txt"));
  EXPECT_FALSE(Exists(inside + ".txt"));
  EXPECT_TRUE(ClipboardHasFiles());

  // Copied again, the earlier notice stays as it is.
  Copy("files \"" + protectedFile + "\"");
  EXPECT_EQ(written, ReadFileBytes(protectedFile + ".txt"));
}

TEST_F(Guard, AFileOrLinkAlreadyAtTheNoticesNameIsLeftAlone) {
  OpenPage("secret");
  auto write = [](const std::string& path, const std::string& text) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
    CloseHandle(f);
  };
  auto text = [](const std::string& path) {
    const auto bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
  };
  // The user's own document that happens to carry the notice's name.
  const std::string plan = MakeFile("plan.doc");
  write(plan + ".txt", "my own notes");
  // A link planted at the notice's name, pointing at another file.
  const std::string budget = MakeFile("budget.xls");
  const std::string target = dir + "\\system.ini";
  write(target, "[boot]");
  ASSERT_TRUE(CreateHardLinkA((budget + ".txt").c_str(), target.c_str(), nullptr));
  const std::string fresh = MakeFile("fresh.doc");
  NoCopyPaths::Replace({plan, budget, fresh});
  Copy("files \"" + plan + "\" \"" + budget + "\" \"" + fresh + "\"");
  EXPECT_EQ("my own notes", text(plan + ".txt"));
  EXPECT_EQ("[boot]", text(target));
  EXPECT_EQ("[boot]", text(budget + ".txt"));
  // A protected file without one still gets its notice.
  EXPECT_EQ(LoadStr(IDS_NOTICE_FILE), text(fresh + ".txt"));
  EXPECT_EQ(1, page->Guard().NoticeFiles());
}

TEST_F(Guard, WithFilesAndTextTogetherOnlyTheFilesAreExamined) {
  OpenPage("secret");
  const std::string file = MakeFile("plan.xls");
  NoCopyPaths::Replace({file});
  Copy("both \"secret text\" \"" + file + "\"");
  EXPECT_TRUE(Exists(file + ".txt"));
  EXPECT_EQ("secret text", ClipboardText());
  EXPECT_EQ(0, page->Guard().Replacements());
}

TEST_F(Guard, OverlongPathsAndUnwritableNoticesAreSkippedSilently) {
  OpenPage("secret");
  const std::string longPath = dir + "\\" + std::string(300, 'a') + ".doc";
  const std::string cut = longPath.substr(0, 259);  // what a 260-character buffer would hold
  const std::string missingDir = dir + "\\no such folder\\x.doc";
  NoCopyPaths::Replace({cut, missingDir});
  Copy("files \"" + longPath + "\" \"" + missingDir + "\"");
  EXPECT_EQ(0, page->Guard().NoticeFiles());
  EXPECT_FALSE(Exists(cut + ".txt"));
  // The guard still works afterwards.
  Copy("text \"secret\"");
  EXPECT_EQ(LoadStr(IDS_NOTICE_TEXT), ClipboardText());
}

TEST_F(Guard, AViewerThatJoinedFirstKeepsGettingNotifications) {
  Viewer first;
  OpenPage("secret");
  EXPECT_EQ(first.m_hWnd, page->Guard().nextViewer);
  const int before = first.notifications;
  Copy("text \"hello\"");
  EXPECT_TRUE(PumpUntil([&] { return first.notifications > before; }, 30000));

  // Leaving the chain hands the place back to the viewer behind.
  page.reset();
  EXPECT_EQ(first.m_hWnd, GetClipboardViewer());
  first.Leave();
}

TEST_F(Guard, TheChainMendsWhenTheViewerBehindLeavesAndIgnoresOneThatVanished) {
  Viewer second;
  Viewer first;  // joins after second: first -> second
  OpenPage("secret");
  ASSERT_EQ(first.m_hWnd, page->Guard().nextViewer);
  first.Leave();  // ChangeClipboardChain reaches the page, whose next is first
  EXPECT_EQ(second.m_hWnd, page->Guard().nextViewer);
  const int before = second.notifications;
  Copy("text \"hello again\"");
  EXPECT_TRUE(PumpUntil([&] { return second.notifications > before; }, 30000));

  second.Vanish();  // gone without leaving
  Copy("text \"secret\"");
  EXPECT_EQ(LoadStr(IDS_NOTICE_TEXT), ClipboardText());
}

TEST_F(Guard, AClipboardHeldOpenByAnotherProgramIsLookedAtOnceItIsFree) {
  OpenPage("");
  Copy("text \"secret stuff\"");
  EXPECT_EQ("secret stuff", ClipboardText());  // no keywords yet

  Process holder;
  ASSERT_TRUE(StartHelper(holder, "clip_set.exe", "hold 600"));
  // (Wine lets two openers without a window share it, so the probe has one.)
  ASSERT_TRUE(PumpUntil([&] { return ClipboardText(frame) == "<busy>"; }, 30000));
  TypeKeywords(*page, "secret");
  const int before = page->Guard().Checks();
  SendMessageA(*page, WM_DRAWCLIPBOARD, 0, 0);  // a change announced while the other program holds it
  EXPECT_EQ(before, page->Guard().Checks());
  EXPECT_TRUE(PumpUntil([&] { return page->Guard().Checks() > before; }, 30000));
  EXPECT_EQ(0u, holder.Wait());
  EXPECT_EQ(LoadStr(IDS_NOTICE_TEXT), ClipboardText());
}
