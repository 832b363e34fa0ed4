// The Files page against a real rule file in a temporary directory: every
// request is merged, written and read back, and the file always matches
// the list.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <memory>

#include "app/Messages.h"
#include "common/TestSupport.h"
#include "rules/DlgFilePage.h"
#include "rules/NoCopyPaths.h"
#include "rules/RuleFile.h"

using namespace testsupport;

namespace {

std::string UniqueMapping(const char* tag) {
  static std::atomic<int> counter{0};
  return std::string("VkTest.") + tag + "." + std::to_string(GetCurrentProcessId()) + "." +
         std::to_string(GetTickCount()) + "." + std::to_string(counter++);
}

// A page on a hidden top-level window, working on its own rule file.
struct PageFixture {
  std::string dir = MakeTempDir("filepage");
  std::string path = dir + "\\QX5Rule.rle";
  std::string mapping = UniqueMapping("page");
  HWND parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  std::unique_ptr<CDlgFilePage> page = std::make_unique<CDlgFilePage>();

  PageFixture() { page->SetRuleFilePath(path, mapping); }
  ~PageFixture() {
    Destroy();
    DestroyWindow(parent);
  }
  bool Create() { return page->Create(parent); }
  void Destroy() {
    if (page && page->m_hWnd) DestroyWindow(page->m_hWnd);
  }

  void Send(RULE_REQUEST* req) { SendMessageA(page->m_hWnd, WM_RULE_REQUEST, reinterpret_cast<WPARAM>(req), 0); }
  void Add(uint32_t code, std::vector<std::string> dests, std::string source = "*", bool system = false,
           uint32_t type = TYPE_FILE) {
    RULE_REQUEST req;
    req.Code = code;
    req.Source = source;
    req.Dests = std::move(dests);
    req.System = system ? 1 : 0;
    req.Type = type;
    Send(&req);
  }

  // The rules as the file holds them now, read by a separate object.
  RuleList FileRules() const {
    CRuleFile file;
    RuleList rules;
    if (file.Open(path.c_str(), mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessRead, false) != 0) return rules;
    uint32_t count = 0, offset = 0;
    file.ReadRules(rules, &count, &offset);
    file.CloseAfterWrite();
    return rules;
  }
  int RowCount() const { return ListView_GetItemCount(page->ListWindow()); }
  std::string RowText(int row) const {
    char text[260] = {};
    ListView_GetItemText(page->ListWindow(), row, 0, text, sizeof text);
    return text;
  }
  void Select(std::initializer_list<int> rows) {
    ListView_SetItemState(page->ListWindow(), -1, 0, LVIS_SELECTED);
    for (int r : rows) ListView_SetItemState(page->ListWindow(), r, LVIS_SELECTED, LVIS_SELECTED);
  }
};

}  // namespace

TEST(FilePage, CreatesAsAChildAndStartsWithAnEmptyRuleSet) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  EXPECT_TRUE(GetWindowLongPtrA(f.page->m_hWnd, GWL_STYLE) & WS_CHILD);
  EXPECT_EQ(f.parent, GetParent(f.page->m_hWnd));
  EXPECT_TRUE(f.page->Rules().empty());
  EXPECT_EQ(0, f.RowCount());
  EXPECT_EQ(102400u, ReadFileBytes(f.path).size());
}

TEST(FilePage, KindRequestsMergeIntoOneRuleAndWiden) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_RUN, {"C:\\docs\\a.txt"});
  f.Add(REQ_RUN, {"C:\\docs\\a.txt"});
  ASSERT_EQ(1u, f.page->Rules().size());
  EXPECT_EQ(KIND_RUN, f.page->Rules().front()->Kinds);
  f.Add(REQ_COPY, {"C:\\docs\\a.txt"});
  ASSERT_EQ(1u, f.page->Rules().size());
  EXPECT_EQ(KIND_RUN | KIND_COPY, f.page->Rules().front()->Kinds);
  RuleList onDisk = f.FileRules();
  ASSERT_EQ(1u, onDisk.size());
  EXPECT_EQ(KIND_RUN | KIND_COPY, onDisk.front()->Kinds);
  EXPECT_EQ(1, f.RowCount());
  EXPECT_EQ("C:\\docs\\a.txt", f.RowText(0));
}
