#include "rules/DlgFilePage.h"

#include <commctrl.h>

#include <algorithm>

#include "app/DlgNotify.h"
#include "app/Messages.h"
#include "framework/Module.h"
#include "resource.h"
#include "rules/NoCopyPaths.h"
#include "rules/RuleEditDlg.h"

namespace {

// The kind columns of the list, left to right, with their flags.
struct KindColumn {
  UINT titleId;
  uint32_t kind;
};
constexpr KindColumn kKindColumns[] = {
    {IDS_COL_RUN, KIND_RUN},       {IDS_COL_COPY, KIND_COPY},     {IDS_COL_OPEN, KIND_OPEN},
    {IDS_COL_MODIFY, KIND_MODIFY}, {IDS_COL_DELETE, KIND_DELETE}, {IDS_COL_FIND, KIND_FIND},
    {IDS_COL_PRINT, KIND_PRINT},
};
constexpr int kFirstKindColumn = 2;

}  // namespace

CDlgFilePage::CDlgFilePage() : CBkDialogST(IDD_PAGE_FILES) { rulePath_ = CRuleFile::DefaultPath(); }

CDlgFilePage::~CDlgFilePage() {
  // Destroy the window while this object is whole, so that the final write
  // of WM_DESTROY runs.
  if (m_hWnd) DestroyWindow(m_hWnd);
}

void CDlgFilePage::SetRuleFilePath(std::string path, std::string mappingName) {
  rulePath_ = std::move(path);
  mappingName_ = std::move(mappingName);
}

BOOL CDlgFilePage::OnInitDialog() {
  SetBackgroundBitmap(IDB_BACKGROUND);
  SetUpList();
  LoadRules();
  ruleFile_.Open(rulePath_.c_str(), mappingName_.empty() ? nullptr : mappingName_.c_str(), RULE_FILE_SIZE,
                 CMappedFile::kAccessReadWrite, false);
  ResizeList();
  DragAcceptFiles(m_hWnd, TRUE);
  return TRUE;
}

void CDlgFilePage::SetUpList() {
  list_ = Item(IDC_FILE_LIST);
  if (!list_) return;
  // Plain report view until the owner-drawn list takes over.
  LONG_PTR style = GetWindowLongPtrA(list_, GWL_STYLE);
  SetWindowLongPtrA(list_, GWL_STYLE, style & ~static_cast<LONG_PTR>(LVS_OWNERDRAWFIXED));
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  auto addColumn = [&](int index, const std::string& title, int width, int format) {
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    col.fmt = format;
    col.cx = width;
    col.pszText = const_cast<char*>(title.c_str());
    col.iSubItem = index;
    SendMessageA(list_, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&col));
  };
  addColumn(0, LoadStr(IDS_COL_FILENAME), 320, LVCFMT_LEFT);
  int index = 1;
  for (const KindColumn& c : kKindColumns) addColumn(index++, LoadStr(c.titleId), 64, LVCFMT_CENTER);
}

void CDlgFilePage::ResizeList() {
  if (!list_) return;
  RECT rc = ClientRect();
  MoveWindow(list_, 0, 0, rc.right - rc.left, rc.bottom - rc.top, TRUE);
}

void CDlgFilePage::RebuildRows() {
  if (!list_) return;
  SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list_);
  int row = 0;
  for (const auto& rule : rules_) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = row;
    item.pszText = const_cast<char*>(rule->Dest.c_str());
    item.lParam = reinterpret_cast<LPARAM>(rule.get());
    int at = static_cast<int>(SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    int sub = 1;
    for (const KindColumn& c : kKindColumns) {
      LVITEMA cell{};
      cell.iSubItem = sub++;
      cell.pszText = const_cast<char*>((rule->Kinds & c.kind) ? "Denied" : "Approved");
      SendMessageA(list_, LVM_SETITEMTEXTA, at, reinterpret_cast<LPARAM>(&cell));
    }
    ++row;
  }
  SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

void CDlgFilePage::RunFilePass(uint32_t operations, CRuleFile& file, UINT messageId) {
  NOTIFY_JOB job{};
  job.owner = m_hWnd;
  job.operations = operations;
  job.ruleFile = &file;
  job.rules = &rules_;
  INT_PTR result;
  {
    CDlgNotify dialog(m_hWnd, &job, LoadStr(messageId));
    result = dialog.DoModal();
  }
  // Without a progress window (it could not be created, for instance while
  // the main window is being torn down) the pass still has to happen.
  if (result == -1) {
    CCloseThread direct;
    direct.m_pJob = &job;
    if (direct.CreateThread()) direct.WaitForEnd(INFINITE);
  }
}

void CDlgFilePage::SaveRules(bool final) {
  RunFilePass(NOTIFY_WRITE_RULES, ruleFile_, IDS_WRITING_RULES);
  if (final) {
    rules_.clear();
    ruleFile_.CloseAfterWrite();
  }
}

void CDlgFilePage::LoadRules() {
  rules_.clear();
  if (list_) ListView_DeleteAllItems(list_);
  {
    CRuleFile file;
    if (file.Open(rulePath_.c_str(), mappingName_.empty() ? nullptr : mappingName_.c_str(), RULE_FILE_SIZE,
                  CMappedFile::kAccessRead, false) == 0)
      RunFilePass(NOTIFY_LOAD_RULES, file, IDS_LOADING_RULES);
    file.CloseAfterWrite();
  }
  NoCopyPaths::Clear();
  RebuildRows();
  NoCopyPaths::Replace(CollectNoCopyPaths(rules_));
}

std::vector<RULEFILE_ITEM*> CDlgFilePage::SelectedRules() const {
  std::vector<RULEFILE_ITEM*> selected;
  if (!list_) return selected;
  int row = -1;
  while ((row = ListView_GetNextItem(list_, row, LVNI_SELECTED)) != -1) {
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (SendMessageA(list_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) && item.lParam)
      selected.push_back(reinterpret_cast<RULEFILE_ITEM*>(item.lParam));
  }
  return selected;
}

INT_PTR CDlgFilePage::RunEditor(std::vector<RULEFILE_ITEM*>& rules, uint32_t mode) {
  if (editRunner_) return editRunner_(m_hWnd, rules, mode);
  CRuleEditDlg dialog(m_hWnd, &rules, mode);
  return dialog.DoModal();
}

void CDlgFilePage::EditNew(const RULE_REQUEST& req) {
  RuleList items = MakeEditNewItems(req);
  if (items.empty()) return;
  std::vector<RULEFILE_ITEM*> view;
  for (auto& item : items) view.push_back(item.get());
  if (RunEditor(view, 0) != IDOK) return;
  for (auto& item : items) MergeRule(rules_, item, true);
  SaveRules(false);
  LoadRules();
}

void CDlgFilePage::EditSelected() {
  std::vector<RULEFILE_ITEM*> selected = SelectedRules();
  if (selected.empty()) return;
  const bool system = std::any_of(selected.begin(), selected.end(),
                                  [](const RULEFILE_ITEM* r) { return (r->Type & TYPE_SYSTEM) != 0; });
  if (RunEditor(selected, system ? 8 : 0) != IDOK) return;
  SaveRules(false);
  LoadRules();
}

void CDlgFilePage::RemoveSelected() {
  std::vector<RULEFILE_ITEM*> selected = SelectedRules();
  if (selected.empty()) return;
  for (const RULEFILE_ITEM* item : selected) RemoveRuleItem(rules_, item);
  SaveRules(false);
  LoadRules();
}

void CDlgFilePage::HandleRequest(const RULE_REQUEST* req) {
  if (!req) {
    LoadRules();
    return;
  }
  switch (req->Code) {
    case REQ_EDIT_NEW:
      EditNew(*req);
      return;
    case REQ_EDIT_SELECTED:
      EditSelected();
      return;
    case REQ_REMOVE_SELECTED:
      RemoveSelected();
      return;
    default:
      if (AddRequestRules(rules_, *req)) {
        SaveRules(false);
        LoadRules();
      }
      return;
  }
}

bool CDlgFilePage::OnNotify(NMHDR* header, LRESULT& result) {
  if (header->hwndFrom == list_ && header->code == NM_DBLCLK) {
    if (!SelectedRules().empty()) {
      RULE_REQUEST req;
      req.Code = REQ_EDIT_SELECTED;
      req.Source = "*";
      req.Type = TYPE_FILE;
      SendMessageA(m_hWnd, WM_RULE_REQUEST, reinterpret_cast<WPARAM>(&req), 0);
    }
    result = 0;
    return true;
  }
  return false;
}

void CDlgFilePage::OnDestroy() {
  SaveRules(true);
}

LRESULT CDlgFilePage::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_RULE_REQUEST:
      HandleRequest(reinterpret_cast<const RULE_REQUEST*>(wp));
      return 0;
    case WM_SIZE: {
      LRESULT r = CBkDialogST::WindowProc(msg, wp, lp);
      ResizeList();
      return r;
    }
    default:
      return CBkDialogST::WindowProc(msg, wp, lp);
  }
}
