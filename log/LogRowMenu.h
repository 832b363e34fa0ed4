// CLogRowMenu: the Log page's commands on its selected rows, from the
// context menu (right click, Shift+F10, the menu key) and the keys Ctrl+C,
// Ctrl+F and F3: which rule decided a row, protect or allow what a row
// records (both through the Files page, so that every change of the rules
// is saved the one safe way), copy the rows, find text in them, and export
// the whole log as CSV.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "log/LogFields.h"
#include "log/LogRowRules.h"

class CDlgFilePage;
class CListCtrlStyled;

// The item data of a record's row: its type and action bits, and a mark
// that tells it from the summary row (whose data is 0).
inline constexpr LPARAM LogRowData(uint32_t type, uint32_t action) {
  return static_cast<LPARAM>(0x40000000u | ((type & 0xFFu) << 8) | (action & 0xFFu));
}

class CLogRowMenu {
 public:
  // Where the rule commands go: the Files page, and how to bring it to
  // the front.
  struct RulePages {
    std::function<CDlgFilePage*()> filePage;
    std::function<void()> showFilePage;
  };
  // The dialogs the commands open; tests replace them.
  struct Dialogs {
    std::function<int(HWND owner, const std::string& text, UINT style)> message;
    // The text to look for (in: the last one); false when cancelled.
    std::function<bool(HWND owner, std::string& text)> askFindText;
    // Where to export to; false when cancelled.
    std::function<bool(HWND owner, std::string& path)> askExportPath;
  };

  CLogRowMenu(HWND page, CListCtrlStyled& list);

  // The page window: the owner of the menu and the dialogs.
  void SetOwner(HWND page) { page_ = page; }
  void SetRulePages(RulePages pages) { pages_ = std::move(pages); }
  Dialogs& UiDialogs() { return dialogs_; }
  // The log that Export reads (its path, and its mapping's name or "").
  void SetLogSource(const std::string& path, const std::string& mapping);

  // Opens the menu at a screen point; (-1, -1): from the keyboard, below
  // the focused row. Runs the command chosen.
  void Show(POINT screen);
  // Ctrl+C, Ctrl+F and F3 on the list; true when the key was one of them.
  bool OnKey(UINT key, bool ctrl);

  // False for a command that does not apply to the selected rows (it is
  // greyed in the menu).
  bool Applies(UINT command) const;
  void Run(UINT command);

  // The selected rows as tab-separated lines, columns in order.
  std::string CopyText() const;
  // Selects and shows the next row (after the focused one, going round)
  // with the text in any column, case ignored; false when there is none.
  bool FindNext(const std::string& text);

 private:
  struct RowAccess {
    LogRecordFields record;
    LogAccess access;
  };
  std::vector<int> SelectedRows() const;
  std::string Cell(int row, int column) const;
  // The record a row shows; false for the summary row.
  bool RecordOf(int row, LogRecordFields& record) const;
  // The selected rows that record an access a rule can decide (denied
  // ones only, when asked).
  std::vector<RowAccess> SelectedAccesses(bool deniedOnly) const;
  int Message(const std::string& text, UINT style) const;

  void WhichRule();
  void Protect();
  void Allow();
  void Copy();
  void Find(bool again);
  void Export();

  HWND page_;
  CListCtrlStyled& list_;
  RulePages pages_;
  Dialogs dialogs_;
  std::string findText_;
  std::string logPath_;
  std::string logMapping_;
};
