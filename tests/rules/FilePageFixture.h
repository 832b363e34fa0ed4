// The Files page on a hidden top-level window, working on a rule file and
// mapping of its own, with helpers that compare the page, its rows and the
// file.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "app/DlgNotify.h"
#include "app/Messages.h"
#include "common/TestSupport.h"
#include "rules/DlgFilePage.h"
#include "rules/RuleFile.h"
#include "rules/RuleSet.h"

namespace filepagetest {

using testsupport::MakeTempDir;
using testsupport::UniqueMapping;

// A page on a hidden top-level window, working on its own rule file.
struct PageFixture {
  std::string dir = MakeTempDir("filepage");
  std::string path = dir + "\\QX5Rule.rle";
  std::string mapping = UniqueMapping("page");
  HWND parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  std::unique_ptr<CDlgFilePage> page = std::make_unique<CDlgFilePage>();

  PageFixture() {
    // Every pass shows the progress window for one tick: keep it short.
    CDlgNotify::SetTickPeriod(10);
    page->SetRuleFilePath(path, mapping);
  }
  ~PageFixture() {
    Destroy();
    DestroyWindow(parent);
    CDlgNotify::SetTickPeriod(CDlgNotify::kDefaultTickMs);
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

  // Writes rules into the file the way another writer would.
  bool SeedRules(const RuleList& rules) const {
    CRuleFile file;
    if (file.Open(path.c_str(), mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false) != 0)
      return false;
    const bool ok = file.WriteRules(rules) == 0;
    file.CloseAfterWrite();
    return ok;
  }

  // The rules as the file holds them now, read by a separate object.
  RuleList FileRules() const { return testsupport::ReadRuleFile(path, mapping); }
  int RowCount() const { return ListView_GetItemCount(page->ListWindow()); }
  std::string RowText(int row) const { return page->List().CellText(row, CDlgFilePage::COL_FILENAME); }
  std::string Cell(int row, int column) const { return page->List().CellText(row, column); }
  void Select(std::initializer_list<int> rows) {
    ListView_SetItemState(page->ListWindow(), -1, 0, LVIS_SELECTED);
    for (int r : rows) ListView_SetItemState(page->ListWindow(), r, LVIS_SELECTED, LVIS_SELECTED);
  }
};

// The page's list, its rows and the rule file all hold the same rules in
// the same order.
inline void ExpectInSync(const PageFixture& f) {
  RuleList onDisk = f.FileRules();
  const RuleList& rules = f.page->Rules();
  ASSERT_EQ(rules.size(), onDisk.size());
  ASSERT_EQ(static_cast<int>(rules.size()), f.RowCount());
  auto disk = onDisk.begin();
  int row = 0;
  for (const auto& rule : rules) {
    const RULEFILE_ITEM& d = **disk++;
    EXPECT_EQ(rule->Type, d.Type);
    EXPECT_EQ(rule->Kinds, d.Kinds);
    EXPECT_EQ(rule->Mode, d.Mode);
    EXPECT_EQ(rule->Source, d.Source);
    EXPECT_EQ(rule->Dest, d.Dest);
    EXPECT_EQ(rule->Dest, f.RowText(row));
    ++row;
  }
}

// n ordinary rules "C:\\data\\<tag><i>.txt" with KIND_OPEN.
inline RuleList NumberedRules(int n, const std::string& tag = "file") {
  RuleList rules;
  for (int i = 0; i < n; ++i)
    rules.push_back(
        MakeRule("*", "C:\\data\\" + tag + std::to_string(i) + ".txt", TYPE_FILE, KIND_OPEN, RULE_MODE_NORMAL));
  return rules;
}

inline std::vector<std::string> Dests(const RuleList& rules) {
  std::vector<std::string> out;
  for (const auto& r : rules) out.push_back(r->Dest);
  return out;
}

inline const RULEFILE_ITEM* Find(const RuleList& rules, const std::string& dest) {
  for (const auto& r : rules)
    if (r->Dest == dest) return r.get();
  return nullptr;
}

}  // namespace filepagetest
