// CDlgFilePage: the Files page of the main window. It owns the rule set and
// the long-lived rule file, shows one row per rule and receives every
// WM_RULE_REQUEST: it applies the request, writes the whole set into the
// rule file and reads it back, each pass behind the progress window.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/CloseThread.h"
#include "rules/RowTipList.h"
#include "rules/RuleFile.h"
#include "rules/RuleSet.h"
#include "ui/BkDialogST.h"
#include "ui/gfxlist/GfxListCtrl.h"

class CDlgFilePage : public CBkDialogST {
 public:
  CDlgFilePage();
  ~CDlgFilePage() override;

  // Where the rules live: by default CRuleFile::DefaultPath(), with the
  // mapping named after the file. Set before Create (tests use their own
  // file and mapping name).
  void SetRuleFilePath(std::string path, std::string mappingName = {});
  const std::string& RuleFilePath() const { return rulePath_; }

  // Writes the rule set into the long-lived rule file (opening it first when
  // it is not open) and returns whether all of it got there. A set that was
  // never read completely from the file is not written at all: it would
  // replace rules the page has not seen. When another program has changed
  // the file since the page last read or wrote it, the page's change goes
  // onto the rules the file holds now (nothing of either is lost). A change
  // that does not fit the file is not made: the set goes back to the
  // file's rules and the user is told. A failed write keeps the set (it
  // goes again with the next change) and is told once per run of failures.
  // final (only when the page goes away): then also frees the set and
  // closes the file.
  bool SaveRules(bool final);
  enum class LoadResult { Failed, Loaded, Repaired };
  // Reads the rule set from the rule file into a list of its own. Only a
  // complete read replaces the set and rebuilds the rows and the
  // copy-protected path list; a failed or given-up read keeps both as they
  // were, is told once per run of failures and is tried again once a quiet
  // look every few seconds finds the file readable. Changes not yet in the
  // file go onto the rules read. A missing file or one of zeros (made by
  // the engine) holds no rules. A damaged file is copied beside it first
  // and the records that could be read are taken (Repaired: the set then
  // still has to be written).
  LoadResult LoadRules();

  // WM_RULE_REQUEST's answer when the page was busy (a dialog or a pass
  // was open): the request runs when that operation ends. Otherwise the
  // answer is 0.
  static constexpr LRESULT kRequestQueued = -1;
  // Tells the user, once for a whole set of system-rule requests, how many
  // of their rules did not fit the rule file (a system-rule request adds
  // what fits, in order, and says nothing itself).
  void TellSystemRulesLeftOut(size_t leftOut);

  const RuleList& Rules() const { return rules_; }
  // True while a request or a cell change is being carried out.
  bool IsBusy() const { return busy_; }
  // True once the set has been read completely from the rule file.
  bool HasLoaded() const { return loaded_; }
  // True while the set in memory holds changes that are not in the file.
  bool HasUnsavedChanges() const { return dirty_; }

  // How the page tells the user about a rule file that cannot be read or
  // written or was damaged: by default a message box with the caption
  // "Varnokel". Tests replace it.
  using Notifier = std::function<void(HWND owner, const std::string& text)>;
  void SetNotifier(Notifier notifier) { notifier_ = std::move(notifier); }

  // Selects exactly the rows of the rules at these positions of the set
  // (and shows the first); returns how many were found.
  int SelectRules(const std::vector<size_t>& positions);
  // A change of the set made by another window: runs change on the set and
  // saves it the usual way (onto what the file holds by then). False, with
  // nothing changed, while the page is busy or the set was never read.
  bool ChangeRules(const std::function<void(RuleList& rules)>& change);

  HWND ListWindow() const { return list_.m_hWnd; }
  CRowTipList& List() { return list_; }

  // The list's column identifiers: the type image, the dest, then one
  // column per kind of access.
  enum Column { COL_ICON = 0, COL_FILENAME, COL_RUN, COL_COPY, COL_OPEN, COL_MODIFY, COL_DELETE, COL_FIND, COL_PRINT };
  // Images of the page's image list.
  enum Image { IMG_DENIED = 0, IMG_APPROVED = 1, IMG_REGISTRY = 3, IMG_NET = 4, IMG_FILE = 5 };
  static constexpr COLORREF kSystemRuleColour = 0x008000FF;

  // Runs the Rule Edit dialog over rules (the items it may change) with the
  // given mode bits; returns IDOK or IDCANCEL. Tests replace it.
  using EditRunner = std::function<INT_PTR(HWND parent, std::vector<RULEFILE_ITEM*>& rules, uint32_t mode)>;
  void SetEditRunner(EditRunner runner) { editRunner_ = std::move(runner); }

 protected:
  BOOL OnInitDialog() override;
  // Enter and Escape inside the page must not end it.
  void OnOK() override {}
  void OnCancel() override {}
  bool OnNotify(NMHDR* header, LRESULT& result) override;
  void OnDestroy() override;
  void OnTimer(UINT_PTR id) override;
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  // The outcome of one pass: completed is false when the progress window
  // gave the job up; result is what ReadRules or WriteRules returned.
  struct PassOutcome {
    bool completed;
    int result;
  };

  LRESULT HandleRequest(const RULE_REQUEST* req);
  // Runs one change of the set and then, each exactly once, the requests
  // that arrived during its passes. Nothing touches the set or the rows
  // while a pass runs: requests that arrive then only queue up.
  void RunOperation(const std::function<void()>& operation);
  void ApplyRequest(const RULE_REQUEST* req);
  // After a change (changed) or on its own: writes the set when it differs
  // from the file and reads it back; reads the file first while it has never
  // been read completely.
  void Synchronise(bool changed);
  enum class WriteResult { Written, Refused, Failed };
  // The save of the set behind the progress window (see SaveRules).
  WriteResult WriteSet();
  bool OpenRuleFile(std::string& reason);
  // Frees the set (rows first) and closes the long-lived file.
  void ReleaseRules();
  bool ReadFromFile(RuleList& loaded, bool& repaired, std::string& reason);
  void Refresh();
  void Notify(const std::string& text);
  // Tells the user that a change was not made: the file is full.
  void TellFull(size_t fileRules);
  void StartRetry();
  void StopRetry();
  // The retry's quiet look: true when the file and its shared objects can
  // be opened and nobody holds the Read mutex.
  bool ReadyToRead() const;
  void EditNew(const RULE_REQUEST& req);
  void EditSelected();
  void RemoveSelected();
  std::vector<RULEFILE_ITEM*> SelectedRules() const;
  INT_PTR RunEditor(std::vector<RULEFILE_ITEM*>& rules, uint32_t mode);
  // One pass over a rule file on the worker behind the progress window.
  PassOutcome RunFilePass(NOTIFY_JOB& job, UINT messageId);

  void SetUpList();
  void RebuildRows();
  void ResizeList();
  void SaveListLayout();
  // Answers the list's owner queries (formats, choices, chosen values).
  LRESULT OnListQuery(GfxListQuery& query);
  void OnCellValueChosen(GfxListQuery& query);

  std::string rulePath_;
  std::string mappingName_;
  CRuleFile ruleFile_;
  RuleList rules_;
  // The rules as the page last read them from the file or wrote them
  // there: what another writer's change is told apart from.
  RuleList base_;
  // After a damaged file was copied beside it: the next write replaces
  // whatever the file holds.
  bool overwrite_ = false;
  // Why the last read or write failed, for the message at the end.
  std::string lastFailure_;
  // Hovering a row shows its rule in full.
  CRowTipList list_;
  HIMAGELIST images_ = nullptr;
  EditRunner editRunner_;
  Notifier notifier_;
  bool busy_ = false;
  std::deque<std::optional<RULE_REQUEST>> queued_;
  bool loaded_ = false;
  bool dirty_ = false;
  // One message per failure episode: set when told, cleared by a success.
  bool writeFailureTold_ = false;
  bool readFailureTold_ = false;
  bool retrying_ = false;
};
