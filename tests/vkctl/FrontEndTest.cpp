// vkctl beside a running front end: the real main window with the real
// Files page on a rule file of the test's own. vkctl's changes must be on
// the Files page as soon as vkctl has ended, and survive the front end's
// own next change and its final write when the window goes.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include "VkctlTestUtil.h"
#include "app/DlgNotify.h"
#include "app/Messages.h"
#include "common/FrontWindow.h"
#include "resource.h"
#include "rules/DlgFilePage.h"
#include "rules/RuleSet.h"

using namespace testsupport;
using namespace vktest;

namespace {

std::vector<std::string> Rows(CDlgFilePage& page) {
  std::vector<std::string> rows;
  const int n = ListView_GetItemCount(page.ListWindow());
  for (int i = 0; i < n; ++i) rows.push_back(page.List().CellText(i, CDlgFilePage::COL_FILENAME));
  return rows;
}

std::vector<std::string> Dests(const RuleList& rules) {
  std::vector<std::string> out;
  for (const auto& r : rules) out.push_back(r->Dest);
  return out;
}

TEST(VkctlFrontEnd, ChangesShowOnTheFilesPageAndSurviveTheFrontEndsWrites) {
  CDlgNotify::SetTickPeriod(10);
  TempRules t("vkfront");
  FrontWindow dlg;
  dlg.rulePath = t.path;
  dlg.mapping = t.mapping;
  ASSERT_TRUE(dlg.Create(nullptr));
  ShowWindow(dlg.m_hWnd, SW_SHOW);
  ASSERT_NE(nullptr, dlg.files);
  char title[256] = {};
  GetWindowTextA(dlg.m_hWnd, title, sizeof title);
  const std::string window = std::string(" --window \"") + title + "\"";

  RunResult r = t.Vk("add --deny copy C:\\Users\\bob\\plan.doc" + window);
  ASSERT_EQ(0u, r.code) << r.out;
  // vkctl waits for the reload: no further message needs to run.
  EXPECT_EQ(std::vector<std::string>{"C:\\Users\\bob\\plan.doc"}, Rows(*dlg.files));

  // The front end's own next change starts from the rules vkctl wrote.
  RULE_REQUEST req;
  req.Code = REQ_RUN;
  req.Source = "*";
  req.Dests = {"C:\\Tools\\other.exe"};
  SendMessageA(dlg.files->m_hWnd, WM_RULE_REQUEST, reinterpret_cast<WPARAM>(&req), 0);
  EXPECT_EQ((std::vector<std::string>{"C:\\Tools\\other.exe", "C:\\Users\\bob\\plan.doc"}), Dests(t.Read()));

  const std::string json = t.WriteText(
      "deploy.json",
      "{\"format\": \"varnokel-rules\", \"version\": 1, \"rules\": ["
      "{\"type\": \"file\", \"deny\": [\"open\"], \"dest\": \"D:\\\\Projects\"},"
      "{\"type\": \"file\", \"deny\": [\"run\"], \"dest\": \"c:\\\\tools\\\\OTHER.exe\"},"
      "{\"type\": \"registry\", \"system\": true, \"deny\": [\"modify\"], \"dest\": \"hkey_local_machine\\\\x\"}]}");
  r = t.Vk("import \"" + json + "\"" + window);
  ASSERT_EQ(0u, r.code) << r.out;
  const std::vector<std::string> expected = {"D:\\Projects", "C:\\Tools\\other.exe", "C:\\Users\\bob\\plan.doc",
                                             "hkey_local_machine\\x"};
  EXPECT_EQ(expected, Rows(*dlg.files));

  r = t.Vk("remove C:\\users\\BOB\\plan.doc" + window);
  ASSERT_EQ(0u, r.code) << r.out;
  EXPECT_EQ(3u, Rows(*dlg.files).size());
  r = t.Vk("add --deny print C:\\Users\\bob\\plan.doc" + window);
  ASSERT_EQ(0u, r.code) << r.out;

  // The final write when the window goes keeps everything.
  DestroyWindow(dlg.m_hWnd);
  const RuleList final = t.Read();
  EXPECT_EQ((std::vector<std::string>{"C:\\Users\\bob\\plan.doc", "D:\\Projects", "C:\\Tools\\other.exe",
                                      "hkey_local_machine\\x"}),
            Dests(final));
  EXPECT_EQ(KIND_PRINT, final.front()->Kinds);
  CDlgNotify::SetTickPeriod(CDlgNotify::kDefaultTickMs);
}

// The Files page is busy with the Rule Edit dialog (opened by Edit) when
// vkctl adds a rule: vkctl says in one line after its result that the page
// shows the change later, and the user's OK keeps vkctl's rule as well as
// the edit, in the file and on the page, to the end.
TEST(VkctlFrontEnd, AnAddWhileRuleEditIsOpenIsKeptAndVkctlSaysThePageWasBusy) {
  CDlgNotify::SetTickPeriod(10);
  TempRules t("vkbusy");
  RuleList start;
  start.push_back(MakeRule("*", "C:\\Users\\bob\\report.doc", TYPE_FILE, KIND_OPEN, RULE_MODE_NORMAL));
  t.Write(start);
  FrontWindow dlg;
  dlg.rulePath = t.path;
  dlg.mapping = t.mapping;
  ASSERT_TRUE(dlg.Create(nullptr));
  ASSERT_NE(nullptr, dlg.files);
  char title[256] = {};
  GetWindowTextA(dlg.m_hWnd, title, sizeof title);
  RunResult during;
  dlg.files->SetEditRunner([&](HWND, std::vector<RULEFILE_ITEM*>& rules, uint32_t) {
    during = t.Vk("add --deny copy C:\\Users\\bob\\plan.doc --window \"" + std::string(title) + "\"");
    for (RULEFILE_ITEM* r : rules) r->Kinds |= KIND_PRINT;
    return static_cast<INT_PTR>(IDOK);
  });
  dlg.files->List().SelectRow(0);
  SendMessageA(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_BTN_EDIT, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dlg.m_hWnd, IDC_BTN_EDIT)));

  ASSERT_EQ(0u, during.code) << during.out;
  const std::vector<std::string> lines = during.Lines();
  ASSERT_EQ(2u, lines.size()) << during.out;
  EXPECT_EQ("added 1 new rules, 2 rules in all", lines[0]);
  EXPECT_NE(std::string::npos, lines[1].find("busy")) << lines[1];
  const std::vector<std::string> both = {"C:\\Users\\bob\\plan.doc", "C:\\Users\\bob\\report.doc"};
  EXPECT_EQ(both, Rows(*dlg.files));
  RuleList now = t.Read();
  EXPECT_EQ(both, Dests(now));
  EXPECT_EQ(KIND_OPEN | KIND_PRINT, now.back()->Kinds);

  DestroyWindow(dlg.m_hWnd);
  now = t.Read();
  EXPECT_EQ(both, Dests(now));
  EXPECT_EQ(KIND_COPY, now.front()->Kinds);
  CDlgNotify::SetTickPeriod(CDlgNotify::kDefaultTickMs);
}

}  // namespace
