// The Rule Edit dialog in its three uses, the value dialog, and the custom
// and registry rule commands, driven through their controls.
#include <gtest/gtest.h>

#include "app/CustomRules.h"
#include "app/Messages.h"
#include "common/DialogDriver.h"
#include "common/TestSupport.h"
#include "framework/Module.h"
#include "resource.h"
#include "rules/RuleEditDlg.h"
#include "rules/ValueDlg.h"

using testsupport::DialogDriver;

namespace {

bool Checked(HWND dlg, int id) { return IsDlgButtonChecked(dlg, id) == BST_CHECKED; }
bool Enabled(HWND dlg, int id) { return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE; }

void AddLine(HWND dlg, const char* text) {
  SendDlgItemMessageA(dlg, IDC_RULE_DESTS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

CRuleEditDlg* DialogObject(HWND hwnd) { return dynamic_cast<CRuleEditDlg*>(CWindow::FromHandle(hwnd)); }

// A window that records the rule requests sent to it, as the Files page
// would receive them.
class RequestSink {
 public:
  RequestSink() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VkRequestSink";
    RegisterClassA(&wc);
    hwnd = CreateWindowA("VkRequestSink", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~RequestSink() { DestroyWindow(hwnd); }
  HWND hwnd;
  std::vector<RULE_REQUEST> requests;

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_RULE_REQUEST && wp) {
      reinterpret_cast<RequestSink*>(GetWindowLongPtrA(h, GWLP_USERDATA))
          ->requests.push_back(*reinterpret_cast<RULE_REQUEST*>(wp));
      return 0;
    }
    return DefWindowProcA(h, msg, wp, lp);
  }
};

}  // namespace

TEST(RuleEdit, EditingTwoRulesShowsTheUnionAndOkGivesBothTheUnion) {
  auto a = MakeRule("*", "C:\\a.txt", TYPE_FILE, KIND_RUN, 10);
  auto b = MakeRule("C:\\p.exe", "C:\\b.txt", TYPE_FILE, KIND_COPY, 10);
  std::vector<RULEFILE_ITEM*> rules{a.get(), b.get()};
  CRuleEditDlg dlg(nullptr, &rules, 0);
  bool run = false, copy = false, open = true, browse = true;
  std::string source;
  int lines = 0;
  DialogDriver driver;
  driver.On("Rule Edit", [&](HWND h) {
    run = Checked(h, IDC_RULE_NORUN);
    copy = Checked(h, IDC_RULE_NOCOPY);
    open = Checked(h, IDC_RULE_NOOPEN);
    browse = Enabled(h, IDC_RULE_BROWSE) || Enabled(h, IDC_RULE_ADD);
    char text[260] = {};
    GetDlgItemTextA(h, IDC_RULE_SOURCE, text, sizeof text);
    source = text;
    lines = static_cast<int>(SendDlgItemMessageA(h, IDC_RULE_DESTS, LB_GETCOUNT, 0, 0));
    DialogDriver::Click(h, IDOK);
  });
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_TRUE(run);
  EXPECT_TRUE(copy);
  EXPECT_FALSE(open);
  EXPECT_FALSE(browse);
  EXPECT_EQ("C:\\p.exe", source);  // the last rule's source
  EXPECT_EQ(2, lines);
  EXPECT_EQ(KIND_RUN | KIND_COPY, a->Kinds);
  EXPECT_EQ(KIND_RUN | KIND_COPY, b->Kinds);
}

TEST(RuleEdit, UncheckingBoxesReplacesTheKindsAndCancelKeepsThem) {
  auto a = MakeRule("*", "C:\\a.txt", TYPE_FILE, KIND_RUN | KIND_PRINT, 10);
  std::vector<RULEFILE_ITEM*> rules{a.get()};
  {
    CRuleEditDlg dlg(nullptr, &rules, 0);
    DialogDriver driver;
    driver.On("Rule Edit", [](HWND h) {
      CheckDlgButton(h, IDC_RULE_NORUN, BST_UNCHECKED);
      CheckDlgButton(h, IDC_RULE_NODELETE, BST_CHECKED);
      DialogDriver::Click(h, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ(KIND_RUN | KIND_PRINT, a->Kinds);
  }
  CRuleEditDlg dlg(nullptr, &rules, 0);
  DialogDriver driver;
  driver.On("Rule Edit", [](HWND h) {
    CheckDlgButton(h, IDC_RULE_NORUN, BST_UNCHECKED);
    CheckDlgButton(h, IDC_RULE_NODELETE, BST_CHECKED);
    DialogDriver::Click(h, IDOK);
  });
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_EQ(KIND_DELETE | KIND_PRINT, a->Kinds);
}

TEST(RuleEdit, ASelectionWithASystemRuleOnlyAllowsCancel) {
  auto s = MakeRule("*", "*.exe", TYPE_FILE | TYPE_SYSTEM, KIND_MODIFY, 9);
  std::vector<RULEFILE_ITEM*> rules{s.get()};
  CRuleEditDlg dlg(nullptr, &rules, CRuleEditDlg::MODE_SYSTEM);
  bool okEnabled = true, anyKindEnabled = true, cancelEnabled = false;
  DialogDriver driver;
  driver.On("Rule Edit", [&](HWND h) {
    okEnabled = Enabled(h, IDOK);
    anyKindEnabled = false;
    for (int id = IDC_RULE_NORUN; id <= IDC_RULE_NOMODIFY; ++id) anyKindEnabled |= Enabled(h, id);
    cancelEnabled = Enabled(h, IDCANCEL);
    // Even a forced OK (Enter) changes nothing.
    CheckDlgButton(h, IDC_RULE_NOCOPY, BST_CHECKED);
    SendMessageA(h, WM_COMMAND, IDOK, 0);
    DialogDriver::Click(h, IDCANCEL);
  });
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_FALSE(okEnabled);
  EXPECT_FALSE(anyKindEnabled);
  EXPECT_TRUE(cancelEnabled);
  EXPECT_EQ(KIND_MODIFY, s->Kinds);
}

TEST(RuleEdit, ANewRegistryRuleOffersOnlyOpenModifyAndDelete) {
  CRuleEditDlg dlg(nullptr, nullptr, CRuleEditDlg::MODE_REGISTRY);
  std::vector<int> enabled;
  DialogDriver driver;
  driver.On("Rule Edit", [&](HWND h) {
    for (int id : {IDC_RULE_NORUN, IDC_RULE_NOCOPY, IDC_RULE_NOOPEN, IDC_RULE_NOMODIFY, IDC_RULE_NODELETE,
                   IDC_RULE_NOFIND, IDC_RULE_NOPRINT})
      if (Enabled(h, id)) enabled.push_back(id);
    DialogDriver::Click(h, IDCANCEL);
  });
  dlg.DoModal();
  EXPECT_EQ((std::vector<int>{IDC_RULE_NOOPEN, IDC_RULE_NOMODIFY, IDC_RULE_NODELETE}), enabled);
}

TEST(RuleEdit, ANewRuleWithOnlyBlankDestsOrNoKindIsRefusedAndTheDialogStays) {
  CRuleEditDlg dlg(nullptr, nullptr, CRuleEditDlg::MODE_CUSTOM);
  DialogDriver driver;
  int step = 0;
  driver.On("Rule Edit", [&](HWND h) {
    DialogObject(h)->SetSource("C:\\Tools\\app.exe");
    AddLine(h, "   ");
    AddLine(h, "");
    CheckDlgButton(h, IDC_RULE_NOOPEN, BST_CHECKED);
    DialogDriver::Click(h, IDOK);  // blank dests: message 228
  });
  driver.On(AppName(), [&](HWND box) {
    driver.Answer(box, IDOK);
    HWND h = FindWindowA("#32770", "Rule Edit");
    if (++step == 1) {
      // Now a dest but no kind: refused as well.
      AddLine(h, "  C:\\Data\\x.doc  ");
      CheckDlgButton(h, IDC_RULE_NOOPEN, BST_UNCHECKED);
      DialogDriver::Click(h, IDOK);
    } else {
      CheckDlgButton(h, IDC_RULE_NOPRINT, BST_CHECKED);
      DialogDriver::Click(h, IDOK);
    }
  });
  EXPECT_EQ(IDOK, dlg.DoModal());
  ASSERT_EQ(2u, driver.MessageTexts().size());
  EXPECT_EQ("Either the source file or the dest file can not be null!", driver.MessageTexts()[0]);
  EXPECT_EQ("Please check at least one kind of access to deny.", driver.MessageTexts()[1]);
  EXPECT_EQ(REQ_PRINT, dlg.m_request.Code);
  EXPECT_EQ("C:\\Tools\\app.exe", dlg.m_request.Source);
  EXPECT_EQ((std::vector<std::string>{"C:\\Data\\x.doc"}), dlg.m_request.Dests);  // trimmed, blanks dropped
}

TEST(RuleEdit, ModifyChangesTheFirstSelectedLineInPlaceAndDeleteRemovesTheSelection) {
  CRuleEditDlg dlg(nullptr, nullptr, CRuleEditDlg::MODE_REGISTRY);
  DialogDriver driver;
  std::string valueCaption;
  driver.On("Rule Edit", [&](HWND h) {
    DialogObject(h)->SetSource("C:\\app.exe");
    AddLine(h, "hkey_current_user\\one");
    AddLine(h, "hkey_current_user\\two");
    AddLine(h, "hkey_current_user\\three");
    SendDlgItemMessageA(h, IDC_RULE_DESTS, LB_SETSEL, TRUE, 1);
    DialogDriver::Click(h, IDC_RULE_MODIFY);
  });
  driver.On("Change Value", [&](HWND v) {
    valueCaption = "Change Value";
    char text[260] = {};
    GetDlgItemTextA(v, IDC_VALUE_EDIT, text, sizeof text);
    EXPECT_STREQ("hkey_current_user\\two", text);
    DialogDriver::SetItemText(v, IDC_VALUE_EDIT, "hkey_local_machine\\changed");
    DialogDriver::Click(v, IDOK);
    HWND h = FindWindowA("#32770", "Rule Edit");
    // Then delete the first line and confirm with a kind.
    PostMessageA(GetDlgItem(h, IDC_RULE_DESTS), LB_SETSEL, FALSE, -1);
    PostMessageA(GetDlgItem(h, IDC_RULE_DESTS), LB_SETSEL, TRUE, 0);
    DialogDriver::Click(h, IDC_RULE_DELETE);
    CheckDlgButton(h, IDC_RULE_NODELETE, BST_CHECKED);
    DialogDriver::Click(h, IDOK);
  });
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_EQ("Change Value", valueCaption);
  EXPECT_EQ((std::vector<std::string>{"hkey_local_machine\\changed", "hkey_current_user\\three"}), dlg.m_request.Dests);
  EXPECT_EQ(REQ_DELETE, dlg.m_request.Code);
}

TEST(ValueDialog, AnEmptyValueAsksForARegistryKey) {
  CValueDlg dlg(nullptr, "");
  DialogDriver driver;
  driver.On("Select Registry key", [](HWND v) {
    DialogDriver::SetItemText(v, IDC_VALUE_EDIT, "hkey_local_machine\\Software\\X*");
    DialogDriver::Click(v, IDOK);
  });
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_EQ("hkey_local_machine\\Software\\X*", dlg.m_value);
}

TEST(CustomRule, AProgramWithALongPathGivesRulesForTheLongAndTheShortForm) {
  const std::string dir = testsupport::MakeTempDir("custom") + "\\A Long Directory Name";
  CreateDirectoryA(dir.c_str(), nullptr);
  const std::string exe = dir + "\\Some Long Program Name.exe";
  CloseHandle(CreateFileA(exe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  char shortForm[520] = {};
  ASSERT_GT(GetShortPathNameA(exe.c_str(), shortForm, sizeof shortForm), 0u);

  RequestSink sink;
  DialogDriver driver;
  driver.On(AppName(), [&](HWND box) { driver.Answer(box, IDYES); });
  driver.On("Rule Edit", [&](HWND h) {
    DialogObject(h)->SetSource(exe);
    AddLine(h, "C:\\Secret\\*");
    CheckDlgButton(h, IDC_RULE_NOOPEN, BST_CHECKED);
    DialogDriver::Click(h, IDOK);
  });
  AddCustomRule(nullptr, sink.hwnd, 1);
  ASSERT_EQ(1u, driver.MessageTexts().size());
  EXPECT_EQ(0u, driver.MessageTexts()[0].find("Caution! You must know what you are doing!!"));
  ASSERT_EQ(2u, sink.requests.size());
  EXPECT_EQ(exe, sink.requests[0].Source);
  EXPECT_EQ(std::string(shortForm), sink.requests[1].Source);
  for (const auto& r : sink.requests) {
    EXPECT_EQ(REQ_OPEN, r.Code);
    EXPECT_EQ(TYPE_FILE, r.Type);
    EXPECT_EQ(0, r.System);
    EXPECT_EQ(0, r.AltMode);
    EXPECT_EQ((std::vector<std::string>{"C:\\Secret\\*"}), r.Dests);
  }
}

TEST(CustomRule, NoToTheWarningAndCancelInTheDialogSendNothing) {
  RequestSink sink;
  {
    DialogDriver driver;
    driver.On(AppName(), [&](HWND box) { driver.Answer(box, IDNO); });
    AddCustomRule(nullptr, sink.hwnd, 2);
  }
  {
    DialogDriver driver;
    driver.On(AppName(), [&](HWND box) { driver.Answer(box, IDYES); });
    driver.On("Rule Edit", [](HWND h) { DialogDriver::Click(h, IDCANCEL); });
    AddCustomRule(nullptr, sink.hwnd, 2);
  }
  EXPECT_TRUE(sink.requests.empty());
}

TEST(CustomRule, ARegistryRuleForAProgramWithoutAShortFormIsSentOnce) {
  RequestSink sink;
  DialogDriver driver;
  driver.On(AppName(), [&](HWND box) { driver.Answer(box, IDYES); });
  driver.On("Rule Edit", [&](HWND h) {
    DialogObject(h)->SetSource("C:\\No\\Such\\Program.exe");
    AddLine(h, "hkey_local_machine\\Software\\Run*");
    CheckDlgButton(h, IDC_RULE_NOMODIFY, BST_CHECKED);
    DialogDriver::Click(h, IDOK);
  });
  AddCustomRule(nullptr, sink.hwnd, 2);
  ASSERT_EQ(1u, sink.requests.size());
  EXPECT_EQ(TYPE_REGISTRY, sink.requests[0].Type);
  EXPECT_EQ(REQ_MODIFY, sink.requests[0].Code);
}
