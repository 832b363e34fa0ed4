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
#include "rules/RuleTipText.h"

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
    std::string reason;
    if (loaded_) OpenRuleFile(reason);
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
  // The row shows neither the program nor whether the rule is built in:
  // its tip says everything.
  list_.EnableRowTips([this](int row) {
    const auto* rule = reinterpret_cast<const RULEFILE_ITEM*>(list_.RowData(row));
    return rule ? RuleTipText(*rule) : std::string();
  });
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

CDlgFilePage::PassOutcome CDlgFilePage::RunFilePass(NOTIFY_JOB& job, UINT messageId) {
  job.owner = m_hWnd;
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

bool CDlgFilePage::OpenRuleFile(std::string& reason) {
  if (ruleFile_.IsOpen() && ruleFile_.IsWriteMode()) return true;
  if (ruleFile_.Open(rulePath_.c_str(), mappingName_.empty() ? nullptr : mappingName_.c_str(), RULE_FILE_SIZE,
                     CMappedFile::kAccessReadWrite, false) == 0)
    return true;
  reason = ruleFile_.LastError() ? ruleFile_.FailureText() : SystemErrorText(ERROR_OPEN_FAILED);
  return false;
}

CDlgFilePage::WriteResult CDlgFilePage::WriteSet() {
  std::string reason;
  if (OpenRuleFile(reason)) {
    RuleSaveOutcome outcome;
    NOTIFY_JOB job{};
    job.operations = NOTIFY_SAVE_RULES;
    job.ruleFile = &ruleFile_;
    job.rules = &rules_;
    job.base = overwrite_ ? nullptr : &base_;
    job.outcome = &outcome;
    const PassOutcome pass = RunFilePass(job, IDS_WRITING_RULES);
    if (pass.completed && pass.result == 0) {
      switch (outcome.result) {
        case RuleSaveResult::Written:
        case RuleSaveResult::Merged:
          overwrite_ = false;
          dirty_ = false;
          writeFailureTold_ = false;
          return WriteResult::Written;
        case RuleSaveResult::Full:
          // Not made: the set goes back to what the file holds.
          dirty_ = false;
          TellFull(outcome.fileRules);
          return WriteResult::Refused;
        case RuleSaveResult::Damaged:
          // Another program left a damaged file since it was read: it is
          // read again (and copied beside it) before anything is written.
          loaded_ = false;
          StartRetry();
          return WriteResult::Failed;
      }
    }
    reason = pass.completed ? ruleFile_.FailureText() : SystemErrorText(ERROR_TIMEOUT);
  }
  // The set stays in memory and is written again at the next change and
  // at the end; the user must not believe it protects anything yet.
  dirty_ = true;
  lastFailure_ = reason;
  if (!writeFailureTold_) {
    writeFailureTold_ = true;
    Notify(RulesNotWrittenText(rulePath_, reason));
  }
  return WriteResult::Failed;
}

bool CDlgFilePage::SaveRules(bool final) {
  bool written = false;
  // Only a set based on a complete read may replace the file's rules.
  if (loaded_) {
    const WriteResult result = WriteSet();
    written = result == WriteResult::Written;
    if (result == WriteResult::Refused && !final) LoadRules();
  }
  if (final) ReleaseRules();
  return written;
}

void CDlgFilePage::ReleaseRules() {
  list_.DeleteAllRows();
  rules_.clear();
  base_.clear();
  ruleFile_.CloseAfterWrite();
}

bool CDlgFilePage::ReadFromFile(RuleList& loaded, bool& repaired, std::string& reason) {
  repaired = false;
  DWORD error = 0;
  // The file as it is now, before anything opens it.
  std::vector<uint8_t> found;
  if (!ReadWholeFile(rulePath_, found, error)) {
    reason = SystemErrorText(error);
    return false;
  }
  switch (CheckRuleFileShape(found.data(), found.size())) {
    case RuleFileShape::Missing:
    case RuleFileShape::Empty:
      // A new rule file (the engine may have made it, all zeros): no rule
      // yet; the first write gives it the header.
      return true;
    case RuleFileShape::Damaged:
      // Cut short or not a rule file at all: its bytes go beside it first,
      // then the records that can be read from them are taken.
      Trace("CDlgFilePage::LoadRules:Damaged Rule File.\n");
      if (!SaveDamagedCopy(rulePath_, found, error)) {
        reason = SystemErrorText(error);
        return false;
      }
      ParseRuleFileImage(found.data(), found.size(), loaded);
      repaired = true;
      return true;
    case RuleFileShape::AsWritten: break;
  }
  CRuleFile file;
  if (file.Open(rulePath_.c_str(), mappingName_.empty() ? nullptr : mappingName_.c_str(), RULE_FILE_SIZE,
                CMappedFile::kAccessRead, false) != 0) {
    reason = file.LastError() ? file.FailureText() : SystemErrorText(ERROR_OPEN_FAILED);
    return false;
  }
  NOTIFY_JOB job{};
  job.operations = NOTIFY_LOAD_RULES;
  job.ruleFile = &file;
  job.rules = &loaded;
  const PassOutcome pass = RunFilePass(job, IDS_LOADING_RULES);
  file.CloseAfterWrite();
  if (!pass.completed) {
    // Given up behind the progress window: whatever was read is partial.
    reason = SystemErrorText(ERROR_TIMEOUT);
    return false;
  }
  if (pass.result != -1) return true;
  // The walk met a damaged record; the records before it are kept, and the
  // file's bytes go beside it before anything is written over them.
  Trace("CDlgFilePage::LoadRules:Damaged Rule File.\n");
  if (!ReadWholeFile(rulePath_, found, error) || !SaveDamagedCopy(rulePath_, found, error)) {
    reason = SystemErrorText(error);
    return false;
  }
  repaired = true;
  return true;
}

CDlgFilePage::LoadResult CDlgFilePage::LoadRules() {
  // Read into a list of its own: the rows keep pointing at the current rules
  // (and can be painted) while the progress window runs; they are replaced
  // together below, and only by a complete read.
  RuleList loaded;
  bool repaired = false;
  std::string reason;
  if (!ReadFromFile(loaded, repaired, reason)) {
    lastFailure_ = reason;
    Refresh();
    StartRetry();
    if (!readFailureTold_) {
      readFailureTold_ = true;
      Notify(RulesNotReadText(rulePath_, reason));
    }
    return LoadResult::Failed;
  }
  readFailureTold_ = false;
  StopRetry();
  const size_t read = loaded.size();
  RuleList seen = CopyRules(loaded);
  // Changes that are not in the file yet (rules added while it could not
  // be read, say) go onto the rules read now.
  if (dirty_) loaded = MergePendingChange(base_, rules_, loaded);
  // The rows go before their rules. Drawing stays off until RebuildRows has
  // put the new ones in: a list emptied on screen loses its scroll bars and
  // shows itself blank for as long as the rebuild takes.
  SendMessageA(list_.m_hWnd, WM_SETREDRAW, FALSE, 0);
  list_.DeleteAllRows();
  rules_ = std::move(loaded);
  base_ = std::move(seen);
  loaded_ = true;
  if (repaired) {
    dirty_ = true;
    overwrite_ = true;
  }
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
  // A set that was never read completely is read first (the changes made
  // meanwhile go onto it); an unchanged one is simply read again. A set
  // with changes that are not in the file is written first: the write
  // itself puts them onto whatever the file holds by then.
  if (!loaded_ || !dirty_) {
    if (LoadRules() == LoadResult::Failed) return;
  }
  if (!dirty_) return;
  switch (WriteSet()) {
    case WriteResult::Failed: Refresh(); return;
    case WriteResult::Written:
    case WriteResult::Refused: LoadRules(); return;
  }
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

void CDlgFilePage::TellFull(size_t fileRules) { Notify(RulesFullText(rulePath_, fileRules)); }

void CDlgFilePage::TellSystemRulesLeftOut(size_t leftOut) {
  Notify(SystemRulesLeftOutText(rulePath_, leftOut, rules_.size()));
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

bool CDlgFilePage::ReadyToRead() const {
  std::vector<uint8_t> found;
  DWORD error = 0;
  if (!ReadWholeFile(rulePath_, found, error)) return false;
  if (CheckRuleFileShape(found.data(), found.size()) != RuleFileShape::AsWritten) return true;
  CRuleFile probe;
  if (probe.Open(rulePath_.c_str(), mappingName_.empty() ? nullptr : mappingName_.c_str(), RULE_FILE_SIZE,
                 CMappedFile::kAccessRead, false) != 0)
    return false;
  // A read now would only wait behind the progress window again.
  if (HANDLE mutex = probe.ReadMutex()) {
    const DWORD r = WaitForSingleObject(mutex, 0);
    if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) ReleaseMutex(mutex);
    if (r == WAIT_TIMEOUT) return false;
  }
  return true;
}

void CDlgFilePage::OnTimer(UINT_PTR id) {
  if (id != kRetryTimerId) {
    CBkDialogST::OnTimer(id);
    return;
  }
  if (busy_ || !retrying_) return;
  // Quietly, until the cause has gone: no progress window comes up for a
  // read that would fail or wait again.
  if (!ReadyToRead()) return;
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
  RuleList next = CopyRules(rules_);
  for (const auto& item : items) {
    auto copy = std::make_unique<RULEFILE_ITEM>(*item);
    MergeRule(next, copy, true);
  }
  if (!RuleSetFits(next)) {
    TellFull(rules_.size());
    return;
  }
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

int CDlgFilePage::SelectRules(const std::vector<size_t>& positions) {
  std::vector<const RULEFILE_ITEM*> wanted;
  size_t at = 0;
  for (const auto& rule : rules_) {
    if (std::find(positions.begin(), positions.end(), at) != positions.end()) wanted.push_back(rule.get());
    ++at;
  }
  int found = 0, first = -1;
  const int rows = static_cast<int>(SendMessageA(list_.m_hWnd, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) {
    const auto* rule = reinterpret_cast<const RULEFILE_ITEM*>(list_.RowData(row));
    const bool select = rule && std::find(wanted.begin(), wanted.end(), rule) != wanted.end();
    list_.SelectRow(row, select);
    if (!select) continue;
    if (first < 0) first = row;
    ++found;
  }
  if (first >= 0) {
    ListView_SetItemState(list_.m_hWnd, first, LVIS_FOCUSED, LVIS_FOCUSED);
    ListView_EnsureVisible(list_.m_hWnd, first, FALSE);
  }
  return found;
}

bool CDlgFilePage::ChangeRules(const std::function<void(RuleList& rules)>& change) {
  if (busy_ || !loaded_) return false;
  RunOperation([&] {
    change(rules_);
    Synchronise(true);
  });
  return true;
}

LRESULT CDlgFilePage::HandleRequest(const RULE_REQUEST* req) {
  // A request that arrives while a pass runs or a dialog is open (from a
  // message dispatched by its modal loop) only queues up: the set and the
  // rows are in the worker's or the dialog's hands until then. It runs
  // right after that operation.
  if (busy_) {
    queued_.push_back(req ? std::optional<RULE_REQUEST>(*req) : std::nullopt);
    return kRequestQueued;
  }
  RunOperation([&] { ApplyRequest(req); });
  return 0;
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
    default: break;
  }
  if (req->Dests.empty()) return;
  if (req->System) {
    // The built-in rules go in as far as they fit, in order; the menu
    // command says how many did not, once for all its requests.
    if (AddRequestRulesThatFit(rules_, *req) < req->Dests.size()) Synchronise(true);
    return;
  }
  // A change that does not fit is not made at all.
  RuleList next = CopyRules(rules_);
  AddRequestRules(next, *req);
  if (!RuleSetFits(next)) {
    TellFull(rules_.size());
    return;
  }
  AddRequestRules(rules_, *req);
  Synchronise(true);
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
    // What is still not in the file goes with the program: say so while
    // there is time.
    if (dirty_) Notify(RulesLostText(rulePath_, lastFailure_, !loaded_, rules_.size()));
  });
  ReleaseRules();
  if (list_.m_hWnd) list_.SetImageList(nullptr);
  if (images_) ImageList_Destroy(images_);
  images_ = nullptr;
}

LRESULT CDlgFilePage::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_RULE_REQUEST: return HandleRequest(reinterpret_cast<const RULE_REQUEST*>(wp));
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
