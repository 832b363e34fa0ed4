#include "log/LogRowMenu.h"
#include "framework/CodePage.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <set>

#include "app/Messages.h"
#include "framework/Module.h"
#include "log/LogCsv.h"
#include "log/LogFile.h"
#include "log/LogFollower.h"
#include "log/LogText.h"
#include "resource.h"
#include "rules/DlgFilePage.h"
#include "rules/RuleFileCheck.h"
#include "rules/RuleSet.h"
#include "ui/ListCtrlStyled.h"

namespace {

constexpr int kRowColumns = 5;
constexpr int kProcessColumn = 2;
constexpr int kActionColumn = 3;
constexpr int kDetailColumn = 4;

std::string Lower(std::string text) {
  if (!text.empty()) CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

INT_PTR CALLBACK FindDialogProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lp);
      const auto* text = reinterpret_cast<const std::string*>(lp);
      SetDlgItemTextA(dialog, IDC_LOG_FIND_TEXT, text->c_str());
      SendDlgItemMessageA(dialog, IDC_LOG_FIND_TEXT, EM_SETSEL, 0, -1);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK) {
        auto* text = reinterpret_cast<std::string*>(GetWindowLongPtrA(dialog, DWLP_USER));
        const HWND edit = GetDlgItem(dialog, IDC_LOG_FIND_TEXT);
        text->assign(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1, '\0');
        text->resize(static_cast<size_t>(GetWindowTextA(edit, text->data(), static_cast<int>(text->size()))));
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wp) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
    default: break;
  }
  return FALSE;
}

bool AskFindText(HWND owner, std::string& text) {
  std::string edited = text;
  if (DialogBoxParamA(AppInstance(), MAKEINTRESOURCEA(IDD_LOG_FIND), owner, &FindDialogProc,
                      reinterpret_cast<LPARAM>(&edited)) != IDOK)
    return false;
  text = std::move(edited);
  return true;
}

bool AskExportPath(HWND owner, std::string& path) {
  char file[MAX_PATH] = "Varnokel log.csv";
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = "CSV files (*.csv)\0*.csv\0All files (*.*)\0*.*\0";
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrDefExt = "csv";
  ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameA(&ofn)) return false;
  path = file;
  return true;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes, DWORD& error) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    return false;
  }
  size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    DWORD wrote = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
    ok = WriteFile(f, bytes.data() + done, chunk, &wrote, nullptr) && wrote > 0;
    done += wrote;
  }
  if (!ok) error = GetLastError();
  CloseHandle(f);
  return ok;
}

}  // namespace

CLogRowMenu::CLogRowMenu(HWND page, CListCtrlStyled& list) : page_(page), list_(list) {
  dialogs_.message = [](HWND owner, const std::string& text, UINT style) { return AppMessageBox(owner, text, style); };
  dialogs_.askFindText = &AskFindText;
  dialogs_.askExportPath = &AskExportPath;
}

void CLogRowMenu::SetLogSource(const std::string& path, const std::string& mapping) {
  logPath_ = path;
  logMapping_ = mapping;
}

int CLogRowMenu::Message(const std::string& text, UINT style) const { return dialogs_.message(page_, text, style); }

std::vector<int> CLogRowMenu::SelectedRows() const {
  std::vector<int> rows;
  const HWND list = list_.GetSafeHwnd();
  if (!list) return rows;
  for (int row = -1; (row = ListView_GetNextItem(list, row, LVNI_SELECTED)) >= 0;) rows.push_back(row);
  return rows;
}

std::string CLogRowMenu::Cell(int row, int column) const { return list_.CellText(row, column); }

bool CLogRowMenu::RecordOf(int row, LogRecordFields& record) const {
  const LPARAM data = list_.GetRowData(row);
  if (!(data & 0x40000000)) return false;
  record = LogRecordFields{};
  record.type = static_cast<uint32_t>(data >> 8) & 0xFF;
  record.action = static_cast<uint32_t>(data) & 0xFF;
  record.system = (record.type & TYPE_SYSTEM) != 0;
  record.time = Cell(row, 0);
  record.process = Cell(row, kProcessColumn);
  record.object = Cell(row, kDetailColumn);
  // The action column is the result followed by the action's words.
  const std::string actionText = Cell(row, kActionColumn);
  std::string_view action = actionText;
  const std::string words = ActionText("", record.action);
  if (action.size() >= words.size() && action.substr(action.size() - words.size()) == words)
    action.remove_suffix(words.size());
  record.result = std::string(Trim(action));
  return true;
}

std::vector<CLogRowMenu::RowAccess> CLogRowMenu::SelectedAccesses(bool deniedOnly) const {
  std::vector<RowAccess> accesses;
  for (int row : SelectedRows()) {
    RowAccess a;
    if (!RecordOf(row, a.record)) continue;
    a.access = LogAccessOf(a.record);
    if (!a.access.valid || (deniedOnly && !IsDeniedResult(a.record.result))) continue;
    accesses.push_back(std::move(a));
  }
  return accesses;
}

bool CLogRowMenu::Applies(UINT command) const {
  switch (command) {
    case ID_LOGROW_WHICH_RULE:
    case ID_LOGROW_PROTECT: return !SelectedAccesses(false).empty();
    case ID_LOGROW_ALLOW: return !SelectedAccesses(true).empty();
    case ID_LOGROW_COPY: return !SelectedRows().empty();
    case ID_LOGROW_FIND:
    case ID_LOGROW_EXPORT: return true;
    default: return false;
  }
}

void CLogRowMenu::Show(POINT screen) {
  const HWND list = list_.GetSafeHwnd();
  if (!list) return;
  if (screen.x == -1 && screen.y == -1) {
    // From the keyboard: below the focused (or first selected) row.
    int row = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
    if (row < 0) row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    RECT r{};
    if (row >= 0 && ListView_GetItemRect(list, row, &r, LVIR_LABEL)) {
      screen = {r.left + 8, r.bottom};
    } else {
      GetClientRect(list, &r);
      screen = {r.left + 8, r.top + 8};
    }
    ClientToScreen(list, &screen);
  }
  HMENU menu = LoadMenuA(AppInstance(), MAKEINTRESOURCEA(IDR_LOG_ROW_MENU));
  if (!menu) return;
  HMENU popup = GetSubMenu(menu, 0);
  for (UINT id :
       {ID_LOGROW_WHICH_RULE, ID_LOGROW_PROTECT, ID_LOGROW_ALLOW, ID_LOGROW_COPY, ID_LOGROW_FIND, ID_LOGROW_EXPORT})
    EnableMenuItem(popup, id, MF_BYCOMMAND | (Applies(id) ? MF_ENABLED : MF_GRAYED));
  const UINT command = static_cast<UINT>(
      TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN, screen.x, screen.y, 0, page_, nullptr));
  DestroyMenu(menu);
  if (command != 0) Run(command);
}

bool CLogRowMenu::OnKey(UINT key, bool ctrl) {
  if (ctrl && key == 'C') {
    Copy();
  } else if (ctrl && key == 'F') {
    Find(false);
  } else if (!ctrl && key == VK_F3) {
    Find(true);
  } else {
    return false;
  }
  return true;
}

void CLogRowMenu::Run(UINT command) {
  if (!Applies(command)) return;
  switch (command) {
    case ID_LOGROW_WHICH_RULE: WhichRule(); break;
    case ID_LOGROW_PROTECT: Protect(); break;
    case ID_LOGROW_ALLOW: Allow(); break;
    case ID_LOGROW_COPY: Copy(); break;
    case ID_LOGROW_FIND: Find(false); break;
    case ID_LOGROW_EXPORT: Export(); break;
    default: break;
  }
}

void CLogRowMenu::WhichRule() {
  CDlgFilePage* page = pages_.filePage ? pages_.filePage() : nullptr;
  if (!page) return;
  std::set<size_t> positions;
  for (const RowAccess& a : SelectedAccesses(false))
    for (size_t at : RulesDecidingAccess(page->Rules(), a.access)) positions.insert(at);
  if (positions.empty()) {
    Message(LoadStr(IDS_LOGROW_NO_RULE), MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (pages_.showFilePage) pages_.showFilePage();
  page->SelectRules({positions.begin(), positions.end()});
  SetFocus(page->ListWindow());
}

void CLogRowMenu::Protect() {
  CDlgFilePage* page = pages_.filePage ? pages_.filePage() : nullptr;
  const std::vector<RowAccess> accesses = SelectedAccesses(false);
  if (!page || accesses.empty()) return;
  // One rule at a time: the first selected row that names an access.
  const std::unique_ptr<RULEFILE_ITEM> rule = ProtectRuleFor(accesses.front().access);
  if (!rule) return;
  RULE_REQUEST request;
  request.Code = REQ_EDIT_NEW;
  request.Owner = page_;
  request.Dests = {rule->Dest};
  request.EditNewType = rule->Type;
  request.EditNewKinds = rule->Kinds;
  SendMessageA(page->m_hWnd, WM_RULE_REQUEST, reinterpret_cast<WPARAM>(&request), 0);
}

void CLogRowMenu::Allow() {
  CDlgFilePage* page = pages_.filePage ? pages_.filePage() : nullptr;
  const std::vector<RowAccess> accesses = SelectedAccesses(true);
  if (!page || accesses.empty()) return;
  std::set<size_t> positions;
  for (const RowAccess& a : accesses)
    for (size_t at : RulesDecidingAccess(page->Rules(), a.access)) positions.insert(at);
  if (positions.empty()) {
    Message(LoadStr(IDS_LOGROW_NO_RULE), MB_OK | MB_ICONINFORMATION);
    return;
  }
  std::string what;
  for (const RowAccess& a : accesses) {
    if (!what.empty()) what += ", ";
    what += LogActionText(a.access.kinds) + " of " + a.access.object + " by " +
            std::string(ProcessFileName(a.access.process));
  }
  std::string list;
  size_t at = 0;
  for (const auto& rule : page->Rules()) {
    if (positions.count(at++) == 0) continue;
    const std::string source = rule->Source.c_str();  // up to a NUL
    list += "    " + std::string(rule->Dest.c_str()) + "  (" + (source == "*" ? "every program" : source) +
            "; denies " + LogActionText(rule->Kinds & KIND_ALL) + ")\n";
  }
  const std::string question = FillStringFormat(
      IDS_LOGROW_ALLOW_ASK, "Allow %1?\n\nThese rules stop denying it:\n%2\nNothing else in them changes.", what, list);
  if (Message(question, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  // Matched again on the set as it is now: the question's modal loop may
  // have let a reload in.
  const bool done = page->ChangeRules([&](RuleList& rules) {
    for (const RowAccess& a : accesses) AllowAccess(rules, a.access);
  });
  if (!done) Message(LoadStr(IDS_LOGROW_BUSY), MB_OK | MB_ICONEXCLAMATION);
}

std::string CLogRowMenu::CopyText() const {
  std::string text;
  for (int row : SelectedRows()) {
    for (int column = 0; column < kRowColumns; ++column) {
      if (column > 0) text += '\t';
      text += Cell(row, column);
    }
    text += "\r\n";
  }
  return text;
}

void CLogRowMenu::Copy() {
  const std::string text = CopyText();
  if (text.empty() || !OpenClipboard(page_)) return;
  EmptyClipboard();
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
    if (void* bytes = GlobalLock(memory)) {
      memcpy(bytes, text.c_str(), text.size() + 1);
      GlobalUnlock(memory);
      if (!SetClipboardData(CF_TEXT, memory)) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
}

bool CLogRowMenu::FindNext(const std::string& text) {
  const HWND list = list_.GetSafeHwnd();
  if (!list || text.empty()) return false;
  const std::string wanted = Lower(text);
  const int count = list_.RowCount();
  int from = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
  if (from < 0) from = ListView_GetNextItem(list, -1, LVNI_SELECTED);
  for (int step = 1; step <= count; ++step) {
    const int row = ((from < 0 ? -1 : from) + step) % count;
    bool match = false;
    for (int column = 0; column < kRowColumns && !match; ++column)
      match = Lower(Cell(row, column)).find(wanted) != std::string::npos;
    if (!match) continue;
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list, row, FALSE);
    return true;
  }
  return false;
}

void CLogRowMenu::Find(bool again) {
  if (!again || findText_.empty()) {
    std::string text = findText_;
    if (!dialogs_.askFindText(page_, text) || text.empty()) return;
    findText_ = text;
  }
  if (!FindNext(findText_))
    Message(FillStringFormat(IDS_LOGROW_NOT_FOUND, "\"%1\" was not found in the log's rows.", findText_, ""),
            MB_OK | MB_ICONINFORMATION);
  SetFocus(list_.GetSafeHwnd());
}

void CLogRowMenu::Export() {
  std::string target;
  if (!dialogs_.askExportPath(page_, target)) return;
  const std::string path = logPath_.empty() ? CLogFile::DefaultPath() : logPath_;
  // Read only, and without the written event: exporting takes nothing from
  // the page's reader.
  CLogFile log(CLogFile::kNoEvent);
  std::string reason;
  LogHistory history;
  if (log.Open(path.c_str(), logMapping_.empty() ? nullptr : logMapping_.c_str(), LOG_FILE_SIZE,
               CMappedFile::kAccessRead, false) != 0) {
    reason = SystemErrorText(log.LastError());
  } else if (TakeLogHistory(log, history) != 0) {
    reason = SystemErrorText(ERROR_OPERATION_ABORTED);
  }
  log.CloseLog(0);
  if (reason.empty()) {
    std::string csv = LogCsvHeader();
    for (const auto& item : history.items) csv += LogCsvLine(SplitLogRecord(*item), &AnsiToUtf8);
    DWORD error = 0;
    if (!WriteWholeFile(target, csv, error)) reason = SystemErrorText(error);
  }
  if (!reason.empty())
    Message(FillStringFormat(IDS_LOGROW_EXPORT_FAILED, "The log could not be exported to %1:\n%2", target, reason),
            MB_OK | MB_ICONEXCLAMATION);
}
