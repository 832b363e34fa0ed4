#include "rules/RuleEditDlg.h"

#include "framework/FileDialog.h"
#include "framework/Module.h"
#include "resource.h"
#include "rules/ShortcutResolver.h"
#include "rules/ValueDlg.h"

namespace {

// Each kind box with the stored kind flag and the request bit it stands for.
struct KindBox {
  int id;
  uint32_t kind;
  uint32_t request;
  UINT text;
};
const KindBox kKindBoxes[] = {
    {IDC_RULE_NORUN, KIND_RUN, REQ_RUN, IDS_RULE_NORUN},
    {IDC_RULE_NOCOPY, KIND_COPY, REQ_COPY, IDS_RULE_NOCOPY},
    {IDC_RULE_NOOPEN, KIND_OPEN, REQ_OPEN, IDS_RULE_NOOPEN},
    {IDC_RULE_NOMODIFY, KIND_MODIFY, REQ_MODIFY, IDS_RULE_NOMODIFY},
    {IDC_RULE_NODELETE, KIND_DELETE, REQ_DELETE, IDS_RULE_NODELETE},
    {IDC_RULE_NOFIND, KIND_FIND, REQ_FIND, IDS_RULE_NOFIND},
    {IDC_RULE_NOPRINT, KIND_PRINT, REQ_PRINT, IDS_RULE_NOPRINT},
};

std::string Trim(const std::string& s) {
  const char* ws = " \t\r\n\v\f";
  size_t b = s.find_first_not_of(ws);
  if (b == std::string::npos) return std::string();
  return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

}  // namespace

CRuleEditDlg::CRuleEditDlg(HWND parent, const std::vector<RULEFILE_ITEM*>* rules, DWORD mode)
    : CDialogBase(IDD_RULE_EDIT, parent), rules_(rules), mode_(mode) {
  m_request.Source.clear();
}

BOOL CRuleEditDlg::OnInitDialog() {
  const struct {
    int id;
    UINT text;
  } texts[] = {{IDC_RULE_SOURCE_LABEL, IDS_RULE_SOURCE},
               {IDC_RULE_DEST_LABEL, IDS_RULE_DEST},
               {IDC_RULE_BROWSE, IDS_RULE_BROWSE},
               {IDC_RULE_ADD, IDS_RULE_ADD},
               {IDC_RULE_DELETE, IDS_RULE_DELETE},
               {IDC_RULE_MODIFY, IDS_RULE_MODIFY},
               {IDOK, IDS_RULE_OK},
               {IDCANCEL, IDS_RULE_CANCEL}};
  for (const auto& t : texts) SetDlgItemTextA(m_hWnd, t.id, LoadStr(t.text).c_str());
  for (const auto& k : kKindBoxes) SetDlgItemTextA(m_hWnd, k.id, LoadStr(k.text).c_str());

  if (mode_ & MODE_SYSTEM) {
    EnableWindow(Item(IDOK), FALSE);
    for (const auto& k : kKindBoxes) EnableWindow(Item(k.id), FALSE);
  }
  if (mode_ & MODE_REGISTRY) {
    // The engine guards registry keys against opening, changing and
    // deleting only.
    for (int id : {IDC_RULE_NORUN, IDC_RULE_NOPRINT, IDC_RULE_NOFIND, IDC_RULE_NOCOPY}) EnableWindow(Item(id), FALSE);
  }

  if (rules_) {
    for (const RULEFILE_ITEM* rule : *rules_) {
      SetDlgItemTextA(m_hWnd, IDC_RULE_SOURCE, rule->Source.c_str());
      AppendDest(rule->Dest);
      // Boxes are only ever checked: they show the union of the kinds.
      for (const auto& k : kKindBoxes)
        if (rule->Kinds & k.kind) CheckDlgButton(m_hWnd, k.id, BST_CHECKED);
    }
  } else {
    for (int id : {IDC_RULE_BROWSE, IDC_RULE_ADD, IDC_RULE_MODIFY, IDC_RULE_DELETE}) EnableWindow(Item(id), TRUE);
  }
  // Start where the user acts: the kinds for existing rules, Browse for a
  // new one, Cancel when nothing else is possible (the read-only source box
  // would only show its text selected).
  int focus = rules_ ? IDOK : IDC_RULE_BROWSE;
  if (mode_ & MODE_SYSTEM) focus = IDCANCEL;
  SetFocus(Item(focus));
  return FALSE;
}

void CRuleEditDlg::SetSource(const std::string& path) {
  m_request.Source = path;
  SetDlgItemTextA(m_hWnd, IDC_RULE_SOURCE, path.c_str());
}

void CRuleEditDlg::AppendDest(const std::string& text) {
  SendDlgItemMessageA(m_hWnd, IDC_RULE_DESTS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::vector<std::string> CRuleEditDlg::DestLines() const {
  std::vector<std::string> lines;
  HWND list = Item(IDC_RULE_DESTS);
  const int n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    const LRESULT len = SendMessageA(list, LB_GETTEXTLEN, i, 0);
    if (len == LB_ERR) continue;
    std::string line(static_cast<size_t>(len) + 1, '\0');
    SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()));
    line.resize(static_cast<size_t>(len));
    lines.push_back(line);
  }
  return lines;
}

bool CRuleEditDlg::OnCommand(UINT id, UINT code, HWND) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDC_RULE_BROWSE: OnBrowse(); return true;
    case IDC_RULE_ADD: OnAdd(); return true;
    case IDC_RULE_DELETE: OnDelete(); return true;
    case IDC_RULE_MODIFY: OnModify(); return true;
    default: return false;
  }
}

void CRuleEditDlg::OnBrowse() {
  std::vector<std::string> picked;
  if (!PickFiles(m_hWnd, "Exe file(*.exe)\0*.exe\0", false, picked) || picked.empty()) return;
  char path[MAX_PATH] = {};
  lstrcpynA(path, picked.front().c_str(), MAX_PATH);
  ResolveShortcut(path);
  SetSource(path);
}

void CRuleEditDlg::OnAdd() {
  if (mode_ & MODE_REGISTRY) {
    CValueDlg value(m_hWnd, "");
    if (value.DoModal() == IDOK) AppendDest(value.m_value);
    return;
  }
  std::vector<std::string> picked;
  if (!PickFiles(m_hWnd, "All files(*.*)\0*.*\0", true, picked)) return;
  for (const auto& p : picked) {
    char path[MAX_PATH] = {};
    lstrcpynA(path, p.c_str(), MAX_PATH);
    ResolveShortcut(path);
    AppendDest(path);
  }
}

void CRuleEditDlg::OnDelete() {
  HWND list = Item(IDC_RULE_DESTS);
  // From the bottom, so the indexes of the lines still to go stay valid.
  for (int i = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)) - 1; i >= 0; --i)
    if (SendMessageA(list, LB_GETSEL, i, 0) > 0) SendMessageA(list, LB_DELETESTRING, i, 0);
}

void CRuleEditDlg::OnModify() {
  HWND list = Item(IDC_RULE_DESTS);
  int index = -1;
  if (SendMessageA(list, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(&index)) != 1 || index < 0) return;
  const std::vector<std::string> lines = DestLines();
  if (index >= static_cast<int>(lines.size())) return;
  CValueDlg value(m_hWnd, lines[index]);
  if (value.DoModal() != IDOK) return;
  SendMessageA(list, LB_DELETESTRING, index, 0);
  SendMessageA(list, LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(value.m_value.c_str()));
  SendMessageA(list, LB_SETSEL, TRUE, index);
}

void CRuleEditDlg::OnOK() {
  // A selection with a system rule can only be cancelled, also by Enter.
  if (mode_ & MODE_SYSTEM) return;
  uint32_t kinds = 0, requestBits = 0;
  for (const auto& k : kKindBoxes) {
    if (IsDlgButtonChecked(m_hWnd, k.id) != BST_CHECKED) continue;
    kinds |= k.kind;
    requestBits |= k.request;
  }

  m_request.Dests.clear();
  for (const auto& line : DestLines()) {
    std::string dest = Trim(line);
    if (!dest.empty()) m_request.Dests.push_back(dest);
  }

  if (rules_) {
    for (RULEFILE_ITEM* rule : *rules_) rule->Kinds = kinds;
    EndDialog(IDOK);
    return;
  }
  if (m_request.Source.empty() || m_request.Dests.empty()) {
    AppMessageBox(m_hWnd, LoadStr(IDS_SOURCE_DEST_EMPTY), MB_OK | MB_ICONINFORMATION);
    return;
  }
  // A new rule that denies nothing would come back as code 0, which means
  // "ask for the kinds" to the Files page; ask here instead.
  if (requestBits == 0) {
    AppMessageBox(m_hWnd, LoadStr(IDS_NO_KIND_CHECKED), MB_OK | MB_ICONINFORMATION);
    return;
  }
  m_request.Code = requestBits;
  EndDialog(IDOK);
}
