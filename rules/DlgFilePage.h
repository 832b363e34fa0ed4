// CDlgFilePage: the Files page of the main window. It owns the rule set and
// the long-lived rule file, shows one row per rule and receives every
// WM_RULE_REQUEST: it applies the request, writes the whole set into the
// rule file and reads it back, each pass behind the progress window.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "rules/RuleFile.h"
#include "rules/RuleSet.h"
#include "ui/BkDialogST.h"
#include "ui/GfxListCtrl.h"

class CDlgFilePage : public CBkDialogST {
 public:
  CDlgFilePage();
  ~CDlgFilePage() override;

  // Where the rules live: by default CRuleFile::DefaultPath(), with the
  // mapping named after the file. Set before Create (tests use their own
  // file and mapping name).
  void SetRuleFilePath(std::string path, std::string mappingName = {});
  const std::string& RuleFilePath() const { return rulePath_; }

  // Writes the rule set into the long-lived rule file. final (only when the
  // page goes away): then also frees the set and closes the file.
  void SaveRules(bool final);
  // Frees the rule set, reads it back from the rule file, rebuilds the rows
  // and refreshes the copy-protected path list.
  void LoadRules();

  const RuleList& Rules() const { return rules_; }
  // True while a request or a cell change is being carried out.
  bool IsBusy() const { return busy_; }
  HWND ListWindow() const { return list_.m_hWnd; }
  CGfxListCtrl& List() { return list_; }

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
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void HandleRequest(const RULE_REQUEST* req);
  void ApplyRequest(const RULE_REQUEST* req);
  void EditNew(const RULE_REQUEST& req);
  void EditSelected();
  void RemoveSelected();
  std::vector<RULEFILE_ITEM*> SelectedRules() const;
  INT_PTR RunEditor(std::vector<RULEFILE_ITEM*>& rules, uint32_t mode);
  // One pass over a rule file on the worker behind the progress window.
  void RunFilePass(uint32_t operations, CRuleFile& file, RuleList& rules, UINT messageId);

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
  CGfxListCtrl list_;
  HIMAGELIST images_ = nullptr;
  EditRunner editRunner_;
  bool busy_ = false;
  std::vector<std::optional<RULE_REQUEST>> deferred_;
};
