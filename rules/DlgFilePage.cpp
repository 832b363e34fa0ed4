#include "rules/DlgFilePage.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <functional>
#include <iterator>

#include "app/DlgNotify.h"
#include "app/Messages.h"
#include "framework/MessageFilter.h"
#include "framework/Module.h"
#include "framework/Trace.h"
#include "resource.h"
#include "rules/NoCopyPaths.h"
#include "rules/RuleEditDlg.h"
#include "rules/RuleFileCheck.h"

namespace {

constexpr int kRowHeight = 17;
// While the last read failed, the page tries again this often.
constexpr UINT_PTR kRetryTimerId = 0x5246;
constexpr UINT kRetryMs = 2000;
// A pass whose worker never reported a result.
constexpr int kPassNotRun = 1;

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
  RunOperation([this] {
    Synchronise(false);
    // The long-lived file only once the set has been read: every open
    // rewrites the header and the length of whatever the file holds. A
    // failure here shows at the first write.
    DWORD error = 0;
    if (loaded_) OpenRuleFile(error);
  });
  ResizeList();
  DragAcceptFiles(m_hWnd, TRUE);
  AllowShellDrops(m_hWnd);
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
  const UINT kindTitles[] = {IDS_COL_RUN,    IDS_COL_COPY, IDS_COL_OPEN, IDS_COL_MODIFY,
                             IDS_COL_DELETE, IDS_COL_FIND, IDS_COL_PRINT};
  int id = COL_RUN;
  for (UINT title : kindTitles) list_.DefineColumn(id++, LoadStr(title), "", LVCFMT_CENTER, 64, 0x61);
  const int order[] = {COL_ICON,   COL_FILENAME, COL_RUN,  COL_COPY, COL_OPEN,
                       COL_MODIFY, COL_DELETE,   COL_FIND, COL_PRINT};
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
    case GFXQ_ROWDRAWN: return 1;
    default: return 0;
  }
}

void CDlgFilePage::OnCellValueChosen(GfxListQuery& query) {
  auto* rule = reinterpret_cast<RULEFILE_ITEM*>(query.itemData);
  const uint32_t kind = KindOfColumn(query.column);
  if (query.text == kApproved) {
    rule->Kinds &= ~kind;
  } else {
    rule->Kinds |= kind;
  }
  // The reload frees the rule: it is not touched after this. Requests that
  // arrive during the passes run right after them, as for any request.
  RunOperation([this] { Synchronise(true); });
  // The rows were rebuilt (and queued requests may have changed them): the
  // list puts back what the row at this place shows now.
  query.text = query.item >= 0 && query.item < list_.RowCount() ? list_.CellText(query.item, query.column) : "";
}

void CDlgFilePage::ResizeList() {
  if (!list_.m_hWnd) return;
  RECT rc = ClientRect();
  MoveWindow(list_.m_hWnd, 0, 0, rc.right - rc.left, rc.bottom - rc.top, TRUE);
}

void CDlgFilePage::RebuildRows() {
  if (!list_.m_hWnd) return;
  // Nothing is drawn until every row is in, so the list never shows itself
  // empty or half filled; the rows' storage is made once for all of them.
  SendMessageA(list_.m_hWnd, WM_SETREDRAW, FALSE, 0);
  list_.DeleteAllRows();
  ListView_SetItemCount(list_.m_hWnd, static_cast<int>(rules_.size()));
  int row = 0;
  for (const auto& rule : rules_) {
    const int at = list_.InsertRow(row, rule->Dest, reinterpret_cast<LPARAM>(rule.get()));
    list_.SetCellText(at, COL_FILENAME, rule->Dest);
    list_.SetCellImage(at, COL_ICON, TypeImage(rule->Type));
    // A cross under every kind the rule denies, a tick under the others.
    for (const KindColumn& c : kKindColumns)
      list_.SetCellImage(at, c.id, (rule->Kinds & c.kind) ? IMG_DENIED : IMG_APPROVED);
    ++row;
  }
  SendMessageA(list_.m_hWnd, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_.m_hWnd, nullptr, TRUE);
}

CDlgFilePage::PassOutcome CDlgFilePage::RunFilePass(uint32_t operations, CRuleFile& file, RuleList& rules,
                                                    UINT messageId) {
  NOTIFY_JOB job{};
  job.owner = m_hWnd;
  job.operations = operations;
  job.ruleFile = &file;
  job.rules = &rules;
  job.result = kPassNotRun;
  INT_PTR result;
  bool gaveUp;
  {
    CDlgNotify dialog(m_hWnd, &job, LoadStr(messageId));
    result = dialog.DoModal();
    gaveUp = dialog.GaveUp();
  }
  // Without a progress window (it could not be created, for instance while
  // the main window is being torn down) the pass still has to happen.
  if (result == -1) {
    CCloseThread direct;
    direct.m_pJob = &job;
    if (direct.CreateThread()) direct.WaitForEnd(INFINITE);
    gaveUp = false;
  }
  return {!gaveUp && job.result != kPassNotRun, job.result};
}

bool CDlgFilePage::OpenRuleFile(DWORD& error) {
  if (ruleFile_.IsOpen() && ruleFile_.IsWriteMode()) return true;
  if (ruleFile_.Open(rulePath_.c_str(), mappingName_.empty() ? nullptr : mappingName_.c_str(), RULE_FILE_SIZE,
                     CMappedFile::kAccessReadWrite, false) == 0)
    return true;
  error = ruleFile_.LastError() ? ruleFile_.LastError() : ERROR_OPEN_FAILED;
  return false;
}

bool CDlgFilePage::SaveRules(bool final) {
  bool written = false;
  // Only a set based on a complete read may replace the file's rules.
  if (loaded_) {
    DWORD error = 0;
    if (OpenRuleFile(error)) {
      const PassOutcome pass = RunFilePass(NOTIFY_WRITE_RULES, ruleFile_, rules_, IDS_WRITING_RULES);
      // -4: the reserve was reached; the rules that fitted are written.
      written = pass.completed && (pass.result == 0 || pass.result == -4);
      if (!written) error = ruleFile_.LastError() ? ruleFile_.LastError() : ERROR_TIMEOUT;
    }
    if (written) {
      dirty_ = false;
      writeFailureTold_ = false;
    } else {
      // The set stays in memory and is written again at the next change
      // and at the end; the user must not believe it protects anything yet.
      dirty_ = true;
      if (!writeFailureTold_) {
        writeFailureTold_ = true;
        Notify(RulesNotWrittenText(rulePath_, error));
      }
    }
  }
  if (final) ReleaseRules();
  return written;
}

void CDlgFilePage::ReleaseRules() {
  list_.DeleteAllRows();
  rules_.clear();
  ruleFile_.CloseAfterWrite();
}

bool CDlgFilePage::ReadFromFile(RuleList& loaded, bool& repaired, DWORD& error) {
  repaired = false;
  error = 0;
  // The file as it is now, before an open rewrites its header and length.
  std::vector<uint8_t> found;
  if (!ReadWholeFile(rulePath_, found, error)) return false;
  if (CheckRuleFileShape(found.data(), found.size()) == RuleFileShape::Damaged) {
    // Cut short or not a rule file at all: its bytes go beside it first,
    // then the records that can be read from them are taken.
    Trace("CDlgFilePage::LoadRules:Damaged Rule File.\n");
    if (!SaveDamagedCopy(rulePath_, found, error)) return false;
    ParseRuleFileImage(found.data(), found.size(), loaded);
    repaired = true;
    return true;
  }
  CRuleFile file;
  if (file.Open(rulePath_.c_str(), mappingName_.empty() ? nullptr : mappingName_.c_str(), RULE_FILE_SIZE,
                CMappedFile::kAccessRead, false) != 0) {
    error = file.LastError() ? file.LastError() : ERROR_OPEN_FAILED;
    return false;
  }
  const PassOutcome pass = RunFilePass(NOTIFY_LOAD_RULES, file, loaded, IDS_LOADING_RULES);
  file.CloseAfterWrite();
  if (!pass.completed) {
    // Given up behind the progress window: whatever was read is partial.
    error = ERROR_TIMEOUT;
    return false;
  }
  if (pass.result != -1) return true;
  // The walk met a damaged record; the records before it are kept, and the
  // file's bytes go beside it before anything is written over them.
  Trace("CDlgFilePage::LoadRules:Damaged Rule File.\n");
  if (!ReadWholeFile(rulePath_, found, error) || !SaveDamagedCopy(rulePath_, found, error)) return false;
  repaired = true;
  return true;
}

CDlgFilePage::LoadResult CDlgFilePage::LoadRules() {
  // Read into a list of its own: the rows keep pointing at the current rules
  // (and can be painted) while the progress window runs; they are replaced
  // together below, and only by a complete read.
  RuleList loaded;
  bool repaired = false;
  DWORD error = 0;
  if (!ReadFromFile(loaded, repaired, error)) {
    Refresh();
    StartRetry();
    if (!readFailureTold_) {
      readFailureTold_ = true;
      Notify(RulesNotReadText(rulePath_, error));
    }
    return LoadResult::Failed;
  }
  readFailureTold_ = false;
  StopRetry();
  const size_t read = loaded.size();
  if (!loaded_ && !rules_.empty()) {
    // Rules added while the file could not be read join the rules read
    // now, where new rules go: ordinary ones in front in their order,
    // system ones at the back.
    for (auto it = rules_.rbegin(); it != rules_.rend(); ++it)
      if (*it && !((*it)->Type & TYPE_SYSTEM)) MergeRule(loaded, *it, true);
    for (auto& rule : rules_)
      if (rule && (rule->Type & TYPE_SYSTEM)) MergeRule(loaded, rule, true);
    dirty_ = true;
  }
  // The rows go before their rules. Drawing stays off until RebuildRows has
  // put the new ones in: a list emptied on screen loses its scroll bars and
  // shows itself blank for as long as the rebuild takes.
  SendMessageA(list_.m_hWnd, WM_SETREDRAW, FALSE, 0);
  list_.DeleteAllRows();
  rules_ = std::move(loaded);
  loaded_ = true;
  if (repaired) dirty_ = true;
  Refresh();
  if (repaired) Notify(RulesDamagedText(rulePath_, read));
  return repaired ? LoadResult::Repaired : LoadResult::Loaded;
}

void CDlgFilePage::Refresh() {
  NoCopyPaths::Clear();
  RebuildRows();
  NoCopyPaths::Replace(CollectNoCopyPaths(rules_));
}

void CDlgFilePage::Synchronise(bool changed) {
  if (changed) dirty_ = true;
  // A set that was never read completely is read first (the rules added
  // meanwhile join it); an unchanged one is simply read again. A set with
  // changes that are not in the file is not replaced by the file's.
  if (!loaded_ || !dirty_) {
    if (LoadRules() == LoadResult::Failed) return;
  }
  if (!dirty_) return;
  if (!SaveRules(false)) {
    Refresh();
    return;
  }
  LoadRules();
}

void CDlgFilePage::Notify(const std::string& text) {
  if (notifier_) {
    notifier_(m_hWnd, text);
    return;
  }
  std::string caption = LoadStr(IDS_APP_TITLE);
  if (caption.empty()) caption = "Varnokel";
  MessageBoxA(m_hWnd, text.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void CDlgFilePage::StartRetry() {
  if (retrying_ || !m_hWnd) return;
  retrying_ = SetTimer(m_hWnd, kRetryTimerId, kRetryMs, nullptr) != 0;
}

void CDlgFilePage::StopRetry() {
  if (!retrying_) return;
  if (m_hWnd) KillTimer(m_hWnd, kRetryTimerId);
  retrying_ = false;
}

void CDlgFilePage::OnTimer(UINT_PTR id) {
  if (id != kRetryTimerId) {
    CBkDialogST::OnTimer(id);
    return;
  }
  if (busy_ || !retrying_) return;
  // Only when nobody holds the rule file's Read mutex: a read now would only
  // wait behind the progress window again.
  std::string mapping = mappingName_;
  if (mapping.empty()) mapping = rulePath_.substr(rulePath_.find_last_of('\\') + 1);
  if (HANDLE mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, (mapping + " Read").c_str())) {
    const DWORD r = WaitForSingleObject(mutex, 0);
    if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) ReleaseMutex(mutex);
    CloseHandle(mutex);
    if (r == WAIT_TIMEOUT) return;
  }
  RunOperation([this] { Synchronise(false); });
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
  Synchronise(true);
}

void CDlgFilePage::EditSelected() {
  std::vector<RULEFILE_ITEM*> selected = SelectedRules();
  if (selected.empty()) return;
  const bool system = std::any_of(selected.begin(), selected.end(),
                                  [](const RULEFILE_ITEM* r) { return (r->Type & TYPE_SYSTEM) != 0; });
  if (RunEditor(selected, system ? 8 : 0) != IDOK) return;
  Synchronise(true);
}

void CDlgFilePage::RemoveSelected() {
  std::vector<int> rows = list_.SelectedRows();
  std::vector<RULEFILE_ITEM*> selected;
  for (int row : rows)
    if (LPARAM data = list_.RowData(row)) selected.push_back(reinterpret_cast<RULEFILE_ITEM*>(data));
  if (selected.empty()) return;
  // The rows go before their rules: the progress window's loop repaints the
  // list during the passes, and no row may point at a freed rule.
  std::sort(rows.rbegin(), rows.rend());
  for (int row : rows) SendMessageA(list_.m_hWnd, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
  for (const RULEFILE_ITEM* item : selected) RemoveRuleItem(rules_, item);
  Synchronise(true);
}

void CDlgFilePage::HandleRequest(const RULE_REQUEST* req) {
  // A request that arrives while a pass runs (from a message dispatched by
  // the progress window's loop) only queues up: the set and the rows are in
  // the worker's hands until then. It runs right after that operation.
  queued_.push_back(req ? std::optional<RULE_REQUEST>(*req) : std::nullopt);
  if (busy_) return;
  RunOperation(nullptr);
}

void CDlgFilePage::RunOperation(const std::function<void()>& operation) {
  const bool outer = !busy_;
  busy_ = true;
  if (operation) operation();
  while (!queued_.empty()) {
    std::optional<RULE_REQUEST> next = std::move(queued_.front());
    queued_.pop_front();
    ApplyRequest(next ? &*next : nullptr);
  }
  if (outer) busy_ = false;
}

void CDlgFilePage::ApplyRequest(const RULE_REQUEST* req) {
  if (!req) {
    // A set with changes that are not in the file yet is written first.
    Synchronise(false);
    return;
  }
  switch (req->Code) {
    case REQ_EDIT_NEW: EditNew(*req); return;
    case REQ_EDIT_SELECTED: EditSelected(); return;
    case REQ_REMOVE_SELECTED: RemoveSelected(); return;
    default:
      if (AddRequestRules(rules_, *req)) Synchronise(true);
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
  StopRetry();
  // The final write. Requests that arrive during its pass run right after
  // it, each writing its change; then the set is freed and the file closed.
  RunOperation([this] {
    // A set that was never read completely replaces nothing; the rules
    // added meanwhile are written only if the file can be read now.
    if (!loaded_ && dirty_) LoadRules();
    StopRetry();
    SaveRules(false);
  });
  ReleaseRules();
  if (list_.m_hWnd) list_.SetImageList(nullptr);
  if (images_) ImageList_Destroy(images_);
  images_ = nullptr;
}

LRESULT CDlgFilePage::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_RULE_REQUEST: HandleRequest(reinterpret_cast<const RULE_REQUEST*>(wp)); return 0;
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
    default: return CBkDialogST::WindowProc(msg, wp, lp);
  }
}
