#include "rules/DlgFilePage.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <iterator>

#include "app/DlgNotify.h"
#include "app/Messages.h"
#include "framework/Module.h"
#include "resource.h"
#include "rules/NoCopyPaths.h"
#include "rules/RuleEditDlg.h"

namespace {

constexpr int kRowHeight = 17;

// The kind columns, left to right, with the kind each one shows.
struct KindColumn {
  int id;
  uint32_t kind;
};
constexpr KindColumn kKindColumns[] = {
    {CDlgFilePage::COL_RUN, KIND_RUN},       {CDlgFilePage::COL_COPY, KIND_COPY},
    {CDlgFilePage::COL_OPEN, KIND_OPEN},     {CDlgFilePage::COL_MODIFY, KIND_MODIFY},
    {CDlgFilePage::COL_DELETE, KIND_DELETE}, {CDlgFilePage::COL_FIND, KIND_FIND},
    {CDlgFilePage::COL_PRINT, KIND_PRINT},
};

uint32_t KindOfColumn(int id) {
  for (const KindColumn& c : kKindColumns)
    if (c.id == id) return c.kind;
  return 0;
}

// The type image of a rule; the later tests win.
int TypeImage(uint32_t type) {
  int image = CDlgFilePage::IMG_FILE;
  if (type & TYPE_FILE) image = CDlgFilePage::IMG_FILE;
  if (type & TYPE_REGISTRY) image = CDlgFilePage::IMG_REGISTRY;
  if (type & TYPE_NET) image = CDlgFilePage::IMG_NET;
  return image;
}

const char kApproved[] = "Approved";
const char kDenied[] = "Denied";

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
  if (!list_.Attach(Item(IDC_FILE_LIST))) return;
  SendMessageA(list_.m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  images_ = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 0, 4);
  if (images_) {
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(AppInstance(), MAKEINTRESOURCEA(IDB_FILE_IMAGES), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (bitmap) {
      ImageList_AddMasked(images_, bitmap, RGB(255, 0, 255));
      DeleteObject(bitmap);
    }
    list_.SetImageList(images_);
  }

  list_.CreateColumnManager();
  list_.DefineColumn(COL_ICON, LoadStr(IDS_COL_ICON), "", LVCFMT_CENTER, 30, 0x70);
  list_.DefineColumn(COL_FILENAME, LoadStr(IDS_COL_FILENAME), "", LVCFMT_LEFT, 320, 0x20);
  const UINT kindTitles[] = {IDS_COL_RUN, IDS_COL_COPY, IDS_COL_OPEN, IDS_COL_MODIFY,
                             IDS_COL_DELETE, IDS_COL_FIND, IDS_COL_PRINT};
  int id = COL_RUN;
  for (UINT title : kindTitles) list_.DefineColumn(id++, LoadStr(title), "", LVCFMT_CENTER, 64, 0x61);
  const int order[] = {COL_ICON, COL_FILENAME, COL_RUN, COL_COPY, COL_OPEN, COL_MODIFY, COL_DELETE, COL_FIND, COL_PRINT};
  list_.SetDefaultOrder(static_cast<int>(std::size(order)), order);
  list_.LoadColumns(LoadStr(IDS_FILE_LIST_LAYOUT));
  list_.ModifyListStyle(0, GFXS_HGRID | GFXS_VGRID | GFXS_FULLROWSELECT);
  list_.ApplyColumns();
  list_.SetRowHeight(kRowHeight);
  // Before the first rows exist, so that no row is ever drawn unstyled.
  list_.SetOwnerCallback([this](HWND, GfxListQuery* query) { return query ? OnListQuery(*query) : 0; });
}

void CDlgFilePage::SaveListLayout() {
  if (!list_.m_hWnd) return;
  list_.EndEdit(false);
  list_.ReadBackColumns();
  list_.SaveColumns(LoadStr(IDS_FILE_LIST_LAYOUT));
}

LRESULT CDlgFilePage::OnListQuery(GfxListQuery& query) {
  const auto* rule = reinterpret_cast<const RULEFILE_ITEM*>(query.itemData);
  const bool system = rule && (rule->Type & TYPE_SYSTEM);
  switch (query.kind) {
    case GFXQ_FORMAT:
      if (system) {
        query.format = GFXF_BOLD | GFXF_UNDERLINE | GFXF_TEXTCOLOUR;
        query.textColour = kSystemRuleColour;
      }
      return 1;
    case GFXQ_CHOICES:
      if (rule && !system) {
        query.choices.push_back(kApproved);
        query.choices.push_back(kDenied);
      }
      return 1;
    case GFXQ_VALUE:
      // A system rule keeps its cells as they are; nothing changes while
      // a request is being carried out.
      if (!rule || system || busy_) return 0;
      OnCellValueChosen(query);
      return 1;
    case GFXQ_ROWDRAWN:
      return 1;
    default:
      return 0;
  }
}

void CDlgFilePage::OnCellValueChosen(GfxListQuery& query) {
  auto* rule = reinterpret_cast<RULEFILE_ITEM*>(query.itemData);
  const uint32_t kind = KindOfColumn(query.column);
  if (query.text == kApproved) {
    query.text = std::to_string(IMG_APPROVED);
    rule->Kinds &= ~kind;
  } else {
    query.text = std::to_string(IMG_DENIED);
    rule->Kinds |= kind;
  }
  // The reload frees the rule: it is not touched after this.
  busy_ = true;
  SaveRules(false);
  LoadRules();
  busy_ = false;
}

void CDlgFilePage::ResizeList() {
  if (!list_.m_hWnd) return;
  RECT rc = ClientRect();
  MoveWindow(list_.m_hWnd, 0, 0, rc.right - rc.left, rc.bottom - rc.top, TRUE);
}

void CDlgFilePage::RebuildRows() {
  if (!list_.m_hWnd) return;
  list_.DeleteAllRows();
  SendMessageA(list_.m_hWnd, WM_SETREDRAW, FALSE, 0);
  int row = 0;
  for (const auto& rule : rules_) {
    const int at = list_.InsertRow(row, rule->Dest, reinterpret_cast<LPARAM>(rule.get()));
    list_.SetCellText(at, COL_FILENAME, rule->Dest);
    for (const KindColumn& c : kKindColumns) list_.SetCellImage(at, c.id, IMG_APPROVED);
    list_.SetCellImage(at, COL_ICON, TypeImage(rule->Type));
    for (const KindColumn& c : kKindColumns)
      if (rule->Kinds & c.kind) list_.SetCellImage(at, c.id, IMG_DENIED);
    ++row;
  }
  SendMessageA(list_.m_hWnd, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_.m_hWnd, nullptr, TRUE);
}

void CDlgFilePage::RunFilePass(uint32_t operations, CRuleFile& file, RuleList& rules, UINT messageId) {
  NOTIFY_JOB job{};
  job.owner = m_hWnd;
  job.operations = operations;
  job.ruleFile = &file;
  job.rules = &rules;
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
  RunFilePass(NOTIFY_WRITE_RULES, ruleFile_, rules_, IDS_WRITING_RULES);
  if (final) {
    list_.DeleteAllRows();
    rules_.clear();
    ruleFile_.CloseAfterWrite();
  }
}

void CDlgFilePage::LoadRules() {
  // Read into a list of its own: the rows keep pointing at the current rules
  // (and can be painted) while the progress window runs; they are replaced
  // together below.
  RuleList loaded;
  {
    CRuleFile file;
    if (file.Open(rulePath_.c_str(), mappingName_.empty() ? nullptr : mappingName_.c_str(), RULE_FILE_SIZE,
                  CMappedFile::kAccessRead, false) == 0)
      RunFilePass(NOTIFY_LOAD_RULES, file, loaded, IDS_LOADING_RULES);
    file.CloseAfterWrite();
  }
  list_.DeleteAllRows();
  rules_ = std::move(loaded);
  NoCopyPaths::Clear();
  RebuildRows();
  NoCopyPaths::Replace(CollectNoCopyPaths(rules_));
}

std::vector<RULEFILE_ITEM*> CDlgFilePage::SelectedRules() const {
  std::vector<RULEFILE_ITEM*> selected;
  for (int row : list_.SelectedRows())
    if (LPARAM data = list_.RowData(row)) selected.push_back(reinterpret_cast<RULEFILE_ITEM*>(data));
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
  // A request that arrives while another one is being carried out (from a
  // message dispatched by a progress window's loop) waits for it to end:
  // the rule set is in the worker's hands until then.
  if (busy_) {
    deferred_.push_back(req ? std::optional<RULE_REQUEST>(*req) : std::nullopt);
    return;
  }
  busy_ = true;
  ApplyRequest(req);
  while (!deferred_.empty()) {
    std::optional<RULE_REQUEST> next = std::move(deferred_.front());
    deferred_.erase(deferred_.begin());
    ApplyRequest(next ? &*next : nullptr);
  }
  busy_ = false;
}

void CDlgFilePage::ApplyRequest(const RULE_REQUEST* req) {
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
  if (header->hwndFrom == list_.m_hWnd && header->code == NM_DBLCLK) {
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
  SaveListLayout();
  SaveRules(true);
  if (list_.m_hWnd) list_.SetImageList(nullptr);
  if (images_) ImageList_Destroy(images_);
  images_ = nullptr;
}

LRESULT CDlgFilePage::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_RULE_REQUEST:
      HandleRequest(reinterpret_cast<const RULE_REQUEST*>(wp));
      return 0;
    case WM_DROPFILES:
      // Drops count only on the main window's buttons; the page takes them
      // so they go nowhere else, and gives the drop's memory back.
      DragFinish(reinterpret_cast<HDROP>(wp));
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
