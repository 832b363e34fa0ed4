// The Files page against a real rule file in a temporary directory: every
// request is merged, written and read back, and the file always matches
// the list.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

#include "app/DlgNotify.h"
#include "app/Messages.h"
#include "common/DialogDriver.h"
#include "common/TestSupport.h"
#include "framework/Module.h"
#include "framework/Profile.h"
#include "resource.h"
#include "rules/DlgFilePage.h"
#include "rules/FilePageFixture.h"
#include "rules/NoCopyPaths.h"
#include "rules/RuleFile.h"

using namespace testsupport;
using namespace filepagetest;

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

TEST(FilePage, SourceTypeAndSystemFlagKeepRulesApart) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_OPEN, {"C:\\x.doc"}, "*");
  f.Add(REQ_OPEN, {"C:\\x.doc"}, "C:\\Program Files\\Word\\word.exe");
  f.Add(REQ_OPEN, {"C:\\x.doc"}, "*", /*system=*/true);
  f.Add(REQ_OPEN, {"C:\\x.doc"}, "*", false, TYPE_REGISTRY);
  EXPECT_EQ(4u, f.page->Rules().size());
  ExpectInSync(f);
}

TEST(FilePage, DestsDifferingInCaseMergeAndKeepTheFirstText) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_DELETE, {"C:\\Secret\\Plan.TXT"});
  f.Add(REQ_FIND, {"c:\\secret\\plan.txt"}, "");  // an empty source means "*"
  ASSERT_EQ(1u, f.page->Rules().size());
  EXPECT_EQ("C:\\Secret\\Plan.TXT", f.page->Rules().front()->Dest);
  EXPECT_EQ("*", f.page->Rules().front()->Source);
  EXPECT_EQ(KIND_DELETE | KIND_FIND, f.page->Rules().front()->Kinds);
  ExpectInSync(f);
}

TEST(FilePage, OrdinaryRulesGoToTheFrontSystemRulesToTheBack) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_RUN, {"a"});
  f.Add(REQ_MODIFY, {"sys1"}, "*", true);
  f.Add(REQ_RUN, {"b"});
  f.Add(REQ_MODIFY, {"sys2"}, "*", true);
  RULE_REQUEST alt;
  alt.Code = REQ_RUN;
  alt.Source = "*";
  alt.Dests = {"c", "d"};
  alt.AltMode = 1;
  f.Send(&alt);
  EXPECT_EQ((std::vector<std::string>{"d", "c", "b", "a", "sys1", "sys2"}), Dests(f.page->Rules()));
  EXPECT_EQ(RULE_MODE_ALT, Find(f.page->Rules(), "c")->Mode);
  EXPECT_EQ(RULE_MODE_NORMAL, Find(f.page->Rules(), "a")->Mode);
  EXPECT_EQ(TYPE_FILE | TYPE_SYSTEM, Find(f.page->Rules(), "sys2")->Type);
  ExpectInSync(f);
}

TEST(FilePage, RemovingSelectedRowsRemovesExactlyThoseAndKeepsTheOrder) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_RUN, {"r1", "r2", "r3", "r4", "r5", "r6"});
  ASSERT_EQ((std::vector<std::string>{"r6", "r5", "r4", "r3", "r2", "r1"}), Dests(f.page->Rules()));
  f.Select({0, 2, 3});
  RULE_REQUEST remove;
  remove.Code = REQ_REMOVE_SELECTED;
  f.Send(&remove);
  EXPECT_EQ((std::vector<std::string>{"r5", "r2", "r1"}), Dests(f.page->Rules()));
  ExpectInSync(f);
  // Nothing selected (a rebuild clears the selection): nothing happens.
  auto bytes = ReadFileBytes(f.path);
  f.Send(&remove);
  EXPECT_EQ(3u, f.page->Rules().size());
  EXPECT_EQ(bytes, ReadFileBytes(f.path));
}

TEST(FilePage, NullRequestReloadsWithoutWriting) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_RUN, {"old"});
  {
    // Somebody else rewrites the file (another instance, say).
    CRuleFile other;
    ASSERT_EQ(0, other.Open(f.path.c_str(), f.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
    RuleList rules;
    rules.push_back(MakeRule("*", "new1", TYPE_FILE, KIND_COPY, RULE_MODE_NORMAL));
    rules.push_back(MakeRule("*", "new2", TYPE_REGISTRY, KIND_OPEN, RULE_MODE_NORMAL));
    ASSERT_EQ(0, other.WriteRules(rules));
    other.CloseAfterWrite();
  }
  auto bytes = ReadFileBytes(f.path);
  f.Send(nullptr);
  EXPECT_EQ((std::vector<std::string>{"new1", "new2"}), Dests(f.page->Rules()));
  EXPECT_EQ(bytes, ReadFileBytes(f.path));
  ExpectInSync(f);
}

TEST(FilePage, RequestsWithoutDestsWriteNothing) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_RUN, {"keep"});
  auto bytes = ReadFileBytes(f.path);
  int editorCalls = 0;
  f.page->SetEditRunner([&](HWND, std::vector<RULEFILE_ITEM*>&, uint32_t) {
    ++editorCalls;
    return IDOK;
  });
  f.Add(REQ_COPY, {});
  f.Add(REQ_EDIT_NEW, {});
  RULE_REQUEST edit;
  edit.Code = REQ_EDIT_SELECTED;
  f.Send(&edit);  // no selection
  EXPECT_EQ(0, editorCalls);
  EXPECT_EQ(bytes, ReadFileBytes(f.path));
  EXPECT_EQ(1u, f.page->Rules().size());
}

TEST(FilePage, EditNewOffersFreshFileRulesAndCancelChangesNothing) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_RUN, {"existing"});
  auto bytes = ReadFileBytes(f.path);
  std::vector<std::string> offered;
  uint32_t offeredMode = 99;
  f.page->SetEditRunner([&](HWND parent, std::vector<RULEFILE_ITEM*>& rules, uint32_t mode) {
    EXPECT_EQ(f.page->m_hWnd, parent);
    offeredMode = mode;
    for (RULEFILE_ITEM* r : rules) {
      offered.push_back(r->Dest);
      EXPECT_EQ(TYPE_FILE, r->Type);
      EXPECT_EQ(0u, r->Kinds);
      EXPECT_EQ(RULE_MODE_NORMAL, r->Mode);
      EXPECT_EQ("*", r->Source);
    }
    return IDCANCEL;
  });
  // The request's type, system and alternate-mode fields do not count here.
  RULE_REQUEST req;
  req.Code = REQ_EDIT_NEW;
  req.Dests = {"D:\\one", "D:\\two"};
  req.System = 1;
  req.AltMode = 1;
  req.Type = TYPE_REGISTRY;
  f.Send(&req);
  EXPECT_EQ((std::vector<std::string>{"D:\\one", "D:\\two"}), offered);
  EXPECT_EQ(0u, offeredMode);
  EXPECT_EQ(bytes, ReadFileBytes(f.path));
  EXPECT_EQ(1u, f.page->Rules().size());
}

TEST(FilePage, EditNewMergesTheConfirmedRules) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_RUN, {"D:\\one"});
  f.page->SetEditRunner([&](HWND, std::vector<RULEFILE_ITEM*>& rules, uint32_t) {
    for (RULEFILE_ITEM* r : rules) r->Kinds = KIND_PRINT;
    return IDOK;
  });
  f.Add(REQ_EDIT_NEW, {"D:\\ONE", "D:\\two"});
  ASSERT_EQ(2u, f.page->Rules().size());
  EXPECT_EQ(KIND_RUN | KIND_PRINT, Find(f.page->Rules(), "D:\\one")->Kinds);
  EXPECT_EQ(KIND_PRINT, Find(f.page->Rules(), "D:\\two")->Kinds);
  ExpectInSync(f);
}

TEST(FilePage, EditSelectedPassesTheLiveRulesAndLocksSystemRules) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_RUN, {"a", "b", "c"});
  f.Add(REQ_MODIFY, {"sys"}, "*", true);
  std::vector<std::string> offered;
  uint32_t offeredMode = 99;
  f.page->SetEditRunner([&](HWND, std::vector<RULEFILE_ITEM*>& rules, uint32_t mode) {
    offered.clear();
    for (RULEFILE_ITEM* r : rules) {
      offered.push_back(r->Dest);
      r->Kinds = KIND_OPEN;
    }
    offeredMode = mode;
    return mode == 8 ? IDCANCEL : IDOK;
  });
  RULE_REQUEST edit;
  edit.Code = REQ_EDIT_SELECTED;
  f.Select({0, 2});
  f.Send(&edit);
  EXPECT_EQ((std::vector<std::string>{"c", "a"}), offered);
  EXPECT_EQ(0u, offeredMode);
  EXPECT_EQ(KIND_OPEN, Find(f.page->Rules(), "a")->Kinds);
  EXPECT_EQ(KIND_RUN, Find(f.page->Rules(), "b")->Kinds);
  ExpectInSync(f);

  f.Select({1, 3});
  f.Send(&edit);
  EXPECT_EQ((std::vector<std::string>{"b", "sys"}), offered);
  EXPECT_EQ(8u, offeredMode);
}

TEST(FilePage, DoubleClickEditsOnlyWithASelection) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_RUN, {"a", "b"});
  int calls = 0;
  f.page->SetEditRunner([&](HWND, std::vector<RULEFILE_ITEM*>& rules, uint32_t) {
    ++calls;
    EXPECT_EQ(1u, rules.size());
    return IDCANCEL;
  });
  NMITEMACTIVATE click{};
  click.hdr.hwndFrom = f.page->ListWindow();
  click.hdr.idFrom = GetDlgCtrlID(f.page->ListWindow());
  click.hdr.code = NM_DBLCLK;
  click.iItem = -1;
  SendMessageA(f.page->m_hWnd, WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
  EXPECT_EQ(0, calls);
  f.Select({1});
  click.iItem = 1;
  SendMessageA(f.page->m_hWnd, WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
  EXPECT_EQ(1, calls);
}

TEST(FilePage, CopyProtectedPathsFollowEveryReload) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_OPEN, {"C:\\file.txt"});
  f.Add(REQ_COPY, {"hkey_local_machine\\Software\\X"}, "*", false, TYPE_REGISTRY);
  f.Add(REQ_OPEN, {"hkey_local_machine\\Software\\Y"}, "*", false, TYPE_REGISTRY);
  EXPECT_TRUE(NoCopyPaths::Contains("c:\\FILE.txt"));
  EXPECT_TRUE(NoCopyPaths::Contains("hkey_local_machine\\Software\\X"));
  EXPECT_FALSE(NoCopyPaths::Contains("hkey_local_machine\\Software\\Y"));
  f.Select({0, 1, 2});
  RULE_REQUEST remove;
  remove.Code = REQ_REMOVE_SELECTED;
  f.Send(&remove);
  EXPECT_TRUE(NoCopyPaths::Snapshot().empty());
}

TEST(FilePage, DestroyWritesTheRulesAndFreesTheFile) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_PRINT, {"p1", "p2"});
  f.Destroy();
  EXPECT_EQ(nullptr, f.page->m_hWnd);
  EXPECT_TRUE(f.page->Rules().empty());
  RuleList onDisk = f.FileRules();
  EXPECT_EQ((std::vector<std::string>{"p2", "p1"}), Dests(onDisk));
  // A new page finds them again.
  PageFixture g;
  g.path = f.path;
  g.mapping = f.mapping;
  g.page->SetRuleFilePath(g.path, g.mapping);
  ASSERT_TRUE(g.Create());
  EXPECT_EQ((std::vector<std::string>{"p2", "p1"}), Dests(g.page->Rules()));
}

TEST(FilePage, DeletingThePageObjectStillWritesTheRules) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_RUN, {"kept"});
  f.page.reset();
  EXPECT_EQ((std::vector<std::string>{"kept"}), Dests(f.FileRules()));
}

TEST(FilePage, EditNewOpensTheRuleEditDialogWithClearBoxes) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  DialogDriver driver;
  int lines = 0;
  bool anyChecked = true;
  int round = 0;
  driver.On("Rule Edit", [&](HWND dlg) {
    lines = static_cast<int>(SendDlgItemMessageA(dlg, IDC_RULE_DESTS, LB_GETCOUNT, 0, 0));
    anyChecked = false;
    for (int id = IDC_RULE_NORUN; id <= IDC_RULE_NOMODIFY; ++id) anyChecked |= IsDlgButtonChecked(dlg, id) != 0;
    if (round++ == 0) {
      DialogDriver::Click(dlg, IDCANCEL);
    } else {
      CheckDlgButton(dlg, IDC_RULE_NOCOPY, BST_CHECKED);
      DialogDriver::Click(dlg, IDOK);
    }
  });
  auto bytes = ReadFileBytes(f.path);
  f.Add(REQ_EDIT_NEW, {"E:\\dropped1", "E:\\dropped2"});
  EXPECT_EQ(2, lines);
  EXPECT_FALSE(anyChecked);
  EXPECT_TRUE(f.page->Rules().empty());
  EXPECT_EQ(bytes, ReadFileBytes(f.path));

  f.Add(REQ_EDIT_NEW, {"E:\\dropped1", "E:\\dropped2"});
  ASSERT_EQ(2u, f.page->Rules().size());
  for (const auto& r : f.page->Rules()) EXPECT_EQ(KIND_COPY, r->Kinds);
  ExpectInSync(f);
}

TEST(FilePage, RowsShowTheTypeImageAndACrossUnderEveryDeniedKind) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_RUN | REQ_OPEN, {"C:\\both.txt"});
  f.Add(REQ_MODIFY, {"hkey_local_machine\\Software\\K"}, "*", false, TYPE_REGISTRY);
  ASSERT_EQ(2, f.RowCount());
  // Row 0 is the newest rule: the registry one.
  EXPECT_EQ("3", f.Cell(0, CDlgFilePage::COL_ICON));
  EXPECT_EQ("0", f.Cell(0, CDlgFilePage::COL_MODIFY));
  EXPECT_EQ("5", f.Cell(1, CDlgFilePage::COL_ICON));
  EXPECT_EQ("C:\\both.txt", f.Cell(1, CDlgFilePage::COL_FILENAME));
  const char* expected[] = {"0", "1", "0", "1", "1", "1", "1"};  // Run Copy Open Modify Delete Find Print
  for (int c = CDlgFilePage::COL_RUN; c <= CDlgFilePage::COL_PRINT; ++c)
    EXPECT_EQ(expected[c - CDlgFilePage::COL_RUN], f.Cell(1, c)) << c;
  EXPECT_EQ(reinterpret_cast<LPARAM>(f.page->Rules().back().get()), f.page->List().RowData(1));
}

TEST(FilePage, ChoosingDeniedOrApprovedInACellRewritesTheRule) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_RUN, {"C:\\doc.txt"});
  CGfxListCtrl& list = f.page->List();
  list.SelectRow(0);
  ASSERT_TRUE(list.BeginEdit(0, CDlgFilePage::COL_PRINT));
  ASSERT_EQ(2, SendMessageA(list.EditorWindow(), CB_GETCOUNT, 0, 0));
  ASSERT_TRUE(list.PickEditorChoice(1));  // "Denied"
  ASSERT_EQ(1u, f.page->Rules().size());
  EXPECT_EQ(KIND_RUN | KIND_PRINT, f.page->Rules().front()->Kinds);
  EXPECT_EQ("0", f.Cell(0, CDlgFilePage::COL_PRINT));
  ExpectInSync(f);

  list.SelectRow(0);
  ASSERT_TRUE(list.BeginEdit(0, CDlgFilePage::COL_RUN));
  ASSERT_TRUE(list.PickEditorChoice(0));  // "Approved"
  EXPECT_EQ(KIND_PRINT, f.page->Rules().front()->Kinds);
  EXPECT_EQ("1", f.Cell(0, CDlgFilePage::COL_RUN));
  ExpectInSync(f);
}

TEST(FilePage, SystemRulesAreBoldPinkRedAndLocked) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_MODIFY, {"*.exe"}, "*", true);
  f.Add(REQ_MODIFY, {"C:\\mine"});
  CGfxListCtrl& list = f.page->List();
  // Ask the page what the list would ask while drawing.
  struct Probe : CGfxListCtrl {
    static LRESULT Ask(CGfxListCtrl& l, GfxListQuery& q) {
      LRESULT (CGfxListCtrl::*ask)(GfxListQuery&) = &Probe::AskOwner;
      return (l.*ask)(q);
    }
  };
  GfxListQuery sys;
  sys.kind = GFXQ_FORMAT;
  sys.item = 1;
  sys.itemData = list.RowData(1);
  ASSERT_EQ(1, Probe::Ask(list, sys));
  EXPECT_EQ(0x15u, sys.format);
  EXPECT_EQ(0x008000FFu, sys.textColour);
  // Drawn in the bold face of the list's own font.
  LOGFONTA normal{}, styled{};
  ASSERT_TRUE(GetObjectA(list.NormalFont(), sizeof normal, &normal));
  ASSERT_TRUE(GetObjectA(list.StyledFont(sys.format), sizeof styled, &styled));
  EXPECT_EQ(FW_BOLD, styled.lfWeight);
  EXPECT_NE(FW_BOLD, normal.lfWeight);
  EXPECT_STREQ(normal.lfFaceName, styled.lfFaceName);
  EXPECT_EQ(normal.lfHeight, styled.lfHeight);
  EXPECT_FALSE(styled.lfItalic);
  GfxListQuery plain;
  plain.kind = GFXQ_FORMAT;
  plain.itemData = list.RowData(0);
  ASSERT_EQ(1, Probe::Ask(list, plain));
  EXPECT_EQ(0u, plain.format);

  // No choices for the system rule's cells, and a value is refused.
  list.SelectRow(1);
  EXPECT_FALSE(list.BeginEdit(1, CDlgFilePage::COL_OPEN));
  GfxListQuery value;
  value.kind = GFXQ_VALUE;
  value.column = CDlgFilePage::COL_OPEN;
  value.itemData = list.RowData(1);
  value.text = "Denied";
  auto bytes = ReadFileBytes(f.path);
  EXPECT_EQ(0, Probe::Ask(list, value));
  EXPECT_EQ(KIND_MODIFY, f.page->Rules().back()->Kinds);
  EXPECT_EQ(bytes, ReadFileBytes(f.path));
}

// The list view's own paint: every row drawn from the rule it carries, with
// the images of its cells and the system rule's colour, after the rebuild.
TEST(FilePage, RebuiltRowsPaintTheirImagesAndTheSystemRuleColour) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  MoveWindow(f.page->m_hWnd, 0, 0, 800, 300, TRUE);
  f.Add(REQ_MODIFY, {"*.exe"}, "*", true);
  f.Add(REQ_RUN, {"C:\\mine"});
  ASSERT_EQ(2, f.RowCount());
  HWND list = f.page->ListWindow();
  RECT client{};
  GetClientRect(list, &client);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof bi.bmiHeader, client.right, -client.bottom, 1, 32, BI_RGB};
  DWORD* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
  ASSERT_TRUE(bitmap);
  HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageA(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  GdiFlush();
  // Pixels of a cell that pass a test of their colour (bits hold 0x00RRGGBB).
  auto count = [&](int row, int column, auto test) {
    RECT r{};
    ListView_GetSubItemRect(list, row, f.page->List().ListColumnOf(column), LVIR_BOUNDS, &r);
    int n = 0;
    for (int y = std::max(0L, r.top); y < std::min(r.bottom, client.bottom); ++y)
      for (int x = std::max(0L, r.left); x < std::min(r.right, client.right); ++x) {
        const DWORD p = bits[y * client.right + x];
        n += test(static_cast<int>(p >> 16 & 0xFF), static_cast<int>(p >> 8 & 0xFF), static_cast<int>(p & 0xFF));
      }
    return n;
  };
  auto red = [](int r, int g, int b) { return r > 150 && g < 90 && b < 90; };
  auto green = [](int r, int g, int b) { return g > 120 && r < 90 && b < 120; };
  auto pink = [](int r, int g, int b) { return r == 255 && g == 0 && b == 128; };
  // Row 0 is the ordinary rule: a cross under Run, a tick under Copy.
  EXPECT_GT(count(0, CDlgFilePage::COL_RUN, red), 5);
  EXPECT_EQ(0, count(0, CDlgFilePage::COL_COPY, red));
  EXPECT_GT(count(0, CDlgFilePage::COL_COPY, green), 5);
  EXPECT_EQ(0, count(0, CDlgFilePage::COL_FILENAME, pink));
  // Row 1, the system rule, is written in its colour.
  EXPECT_GT(count(1, CDlgFilePage::COL_FILENAME, pink), 10);
  EXPECT_GT(count(1, CDlgFilePage::COL_MODIFY, red), 5);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

TEST(FilePage, ListFillsThePageWhenItIsResized) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  MoveWindow(f.page->m_hWnd, 0, 0, 530, 410, TRUE);
  RECT page{}, list{};
  GetClientRect(f.page->m_hWnd, &page);
  GetWindowRect(f.page->ListWindow(), &list);
  EXPECT_EQ(page.right, list.right - list.left);
  EXPECT_EQ(page.bottom, list.bottom - list.top);
}

TEST(FilePage, ColumnLayoutIsSavedAndRestored) {
  const std::string key = std::string(profile::kRoot) + "\\GfxLists\\DlgFilePageList";
  RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
  std::string path, mapping;
  {
    PageFixture f;
    ASSERT_TRUE(f.Create());
    HWND list = f.page->ListWindow();
    const int fileColumn = f.page->List().ListColumnOf(CDlgFilePage::COL_FILENAME);
    EXPECT_EQ(320, ListView_GetColumnWidth(list, fileColumn));
    EXPECT_EQ(9, Header_GetItemCount(ListView_GetHeader(list)));
    ListView_SetColumnWidth(list, fileColumn, 211);
    // Move "Print" to the front.
    int order[9] = {8, 0, 1, 2, 3, 4, 5, 6, 7};
    ListView_SetColumnOrderArray(list, 9, order);
  }
  {
    PageFixture g;
    ASSERT_TRUE(g.Create());
    HWND list = g.page->ListWindow();
    EXPECT_EQ(211, ListView_GetColumnWidth(list, g.page->List().ListColumnOf(CDlgFilePage::COL_FILENAME)));
    EXPECT_EQ(CDlgFilePage::COL_PRINT, g.page->List().ColumnIdAt(0));
    g.Add(REQ_PRINT, {"x"});
    EXPECT_EQ("0", g.Cell(0, CDlgFilePage::COL_PRINT));
    EXPECT_EQ("x", g.RowText(0));
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
}

namespace {
struct Reentry {
  HWND page = nullptr;
  bool fired = false;
  bool pageWasBusy = false;
} g_reentry;
}  // namespace

TEST(FilePage, ARequestArrivingDuringAPassWaitsForItsEnd) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_RUN, {"first"});
  {
    // Someone else rewrites the file; the reload request for it arrives
    // from a timer while the next request's progress window runs.
    CRuleFile other;
    ASSERT_EQ(0, other.Open(f.path.c_str(), f.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
    RuleList rules;
    rules.push_back(MakeRule("*", "outside", TYPE_FILE, KIND_OPEN, RULE_MODE_NORMAL));
    other.WriteRules(rules);
    other.CloseAfterWrite();
  }
  g_reentry = {f.page->m_hWnd, false, false};
  UINT_PTR timer = SetTimer(nullptr, 0, 1, [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (g_reentry.fired) return;
    g_reentry.fired = true;
    auto* page = static_cast<CDlgFilePage*>(CWindow::FromHandle(g_reentry.page));
    g_reentry.pageWasBusy = page && page->IsBusy();
    SendMessageA(g_reentry.page, WM_RULE_REQUEST, 0, 0);
  });
  f.Add(REQ_COPY, {"second"});
  KillTimer(nullptr, timer);
  ASSERT_TRUE(g_reentry.fired);
  EXPECT_TRUE(g_reentry.pageWasBusy);
  // The copy request's change went onto the outside change (which had
  // replaced "first" by "outside"), then the deferred reload read it back.
  EXPECT_EQ((std::vector<std::string>{"second", "outside"}), Dests(f.page->Rules()));
  EXPECT_FALSE(f.page->IsBusy());
  ExpectInSync(f);
}

TEST(FilePage, FilesDroppedOnThePageAddNoRule) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  EXPECT_TRUE(GetWindowLongPtrA(f.page->m_hWnd, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  const char names[] = "C:\\dropped.txt\0";
  HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + sizeof names + 1);
  auto* df = static_cast<DROPFILES*>(GlobalLock(drop));
  df->pFiles = sizeof(DROPFILES);
  memcpy(reinterpret_cast<char*>(df) + sizeof(DROPFILES), names, sizeof names);
  GlobalUnlock(drop);
  auto bytes = ReadFileBytes(f.path);
  EXPECT_EQ(0, SendMessageA(f.page->m_hWnd, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0));
  EXPECT_TRUE(f.page->Rules().empty());
  EXPECT_EQ(bytes, ReadFileBytes(f.path));
}

TEST(FilePage, ClosingTheMainWindowWritesTheRulesLastOfAll) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_FIND, {"last"});
  // The page goes with its top-level window; the final pass runs while
  // that window is being destroyed.
  DestroyWindow(f.parent);
  f.parent = nullptr;
  EXPECT_EQ(nullptr, f.page->m_hWnd);
  EXPECT_TRUE(f.page->Rules().empty());
  RuleList onDisk = f.FileRules();
  ASSERT_EQ(1u, onDisk.size());
  EXPECT_EQ(KIND_FIND, onDisk.front()->Kinds);
}

TEST(FilePage, HoveringARowShowsItsRuleWithItsProgramInATip) {
  PageFixture f;
  ASSERT_TRUE(f.Create());
  f.Add(REQ_OPEN, {"C:\\x.doc"}, "*");
  f.Add(REQ_OPEN, {"C:\\x.doc"}, "C:\\Word\\word.exe");
  const HWND list = f.page->ListWindow(), tip = f.page->List().TipWindow();
  ASSERT_TRUE(tip);
  for (int row : {1, 0}) {
    RECT rc{};
    ASSERT_TRUE(ListView_GetItemRect(list, row, &rc, LVIR_BOUNDS));
    SendMessageA(list, WM_MOUSEMOVE, 0, MAKELPARAM(rc.left + 40, (rc.top + rc.bottom) / 2));
    ASSERT_EQ(row, f.page->List().TipRow());
    EXPECT_EQ(1, SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0)) << "one tool, for the row under the pointer";
    // The text the tooltip asks for when it shows.
    NMTTDISPINFOA info{};
    info.hdr = {tip, CRowTipList::ToolId(row), TTN_GETDISPINFOA};
    SendMessageA(list, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    const auto* rule = reinterpret_cast<const RULEFILE_ITEM*>(f.page->List().RowData(row));
    ASSERT_TRUE(info.lpszText && rule);
    EXPECT_NE(nullptr, strstr(info.lpszText,
                              rule->Source == "*" ? "Program: every program\r\n" : "Program: C:\\Word\\word.exe\r\n"));
  }
  // Rebuilt rows move under the pointer: the tool goes until it moves again.
  f.Add(REQ_COPY, {"C:\\y.doc"});
  EXPECT_EQ(-1, f.page->List().TipRow());
  EXPECT_EQ(0, SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0));
}
