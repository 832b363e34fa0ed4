// Rules from the main window's buttons and drops all the way into the rule
// file: the real main window with the real Files page on a rule file of the
// test's own.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <shobjidl.h>

#include "common/FrontWindow.h"
#include "common/TestSupport.h"
#include "resource.h"
#include "rules/DlgFilePage.h"

using namespace testsupport;

namespace {

struct FlowWindow : FrontWindow {
  std::vector<std::string> picked;

 protected:
  bool AskForFiles(const char*, std::vector<std::string>& paths) override {
    paths = picked;
    return true;
  }
};

std::string MakeFile(const std::string& dir, const std::string& name) {
  std::string path = dir + "\\" + name;
  CloseHandle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  return path;
}

class RuleFlow : public testing::Test {
 protected:
  void SetUp() override {
    dir = MakeTempDir("flow");
    dlg.rulePath = dir + "\\QX5Rule.rle";
    dlg.mapping = UniqueMapping("flow");
    ASSERT_TRUE(dlg.Create(nullptr));
    ShowWindow(dlg.m_hWnd, SW_SHOW);
  }
  void TearDown() override {
    if (dlg.m_hWnd) DestroyWindow(dlg.m_hWnd);
  }
  // What another process reading the rule file would see now.
  RuleList FileRules() { return ReadRuleFile(dlg.rulePath, dlg.mapping); }
  void Click(int id) { dlg.Send(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(dlg.Item(id))); }

  std::string dir;
  FlowWindow dlg;
};

}  // namespace

TEST_F(RuleFlow, NoCopyWithThreeChosenFilesPutsThreeCopyRulesIntoTheFile) {
  dlg.picked = {MakeFile(dir, "a.doc"), MakeFile(dir, "b.doc"), MakeFile(dir, "c.doc")};
  Click(IDC_BTN_NOCOPY);
  RuleList rules = FileRules();
  ASSERT_EQ(3u, rules.size());
  std::vector<std::string> dests;
  for (const auto& r : rules) {
    EXPECT_EQ(KIND_COPY, r->Kinds);
    EXPECT_EQ("*", r->Source);
    EXPECT_EQ(TYPE_FILE, r->Type);
    EXPECT_EQ(RULE_MODE_NORMAL, r->Mode);
    dests.push_back(r->Dest);
  }
  // Each new rule goes to the front.
  EXPECT_EQ((std::vector<std::string>{dlg.picked[2], dlg.picked[1], dlg.picked[0]}), dests);

  // The same files on No Run widen those rules instead of adding new ones.
  Click(IDC_BTN_NORUN);
  rules = FileRules();
  ASSERT_EQ(3u, rules.size());
  for (const auto& r : rules) EXPECT_EQ(KIND_COPY | KIND_RUN, r->Kinds);
}

TEST_F(RuleFlow, AShortcutDroppedOnNoRunProtectsItsTarget) {
  const std::string target = MakeFile(dir, "tool.exe");
  const std::string link = dir + "\\tool.lnk";
  IShellLinkA* sl = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&sl)));
  sl->SetPath(target.c_str());
  IPersistFile* pf = nullptr;
  sl->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pf));
  wchar_t wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
  ASSERT_EQ(S_OK, pf->Save(wide, TRUE));
  pf->Release();
  sl->Release();

  const std::string data = link + '\0';
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + data.size() + 1);
  auto* df = static_cast<DROPFILES*>(GlobalLock(mem));
  df->pFiles = sizeof(DROPFILES);
  memcpy(reinterpret_cast<char*>(df) + sizeof(DROPFILES), data.data(), data.size());
  GlobalUnlock(mem);
  RECT rc{};
  GetWindowRect(dlg.Item(IDC_BTN_NORUN), &rc);
  SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
  dlg.Send(WM_DROPFILES, reinterpret_cast<WPARAM>(mem));

  RuleList rules = FileRules();
  ASSERT_EQ(1u, rules.size());
  EXPECT_EQ(KIND_RUN, rules.front()->Kinds);
  EXPECT_EQ(0, _stricmp(target.c_str(), rules.front()->Dest.c_str())) << rules.front()->Dest;
}
