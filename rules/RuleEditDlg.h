// CRuleEditDlg: shows existing rules and sets the kinds they deny, or
// composes a new rule (one source program, any number of dests, the kinds)
// into its request.
#pragma once

#include <string>
#include <vector>

#include "framework/Dialog.h"
#include "rules/RuleSet.h"

class CRuleEditDlg : public CDialogBase {
 public:
  // Mode bits.
  static constexpr DWORD MODE_CUSTOM = 0x01;    // a new file rule
  static constexpr DWORD MODE_REGISTRY = 0x02;  // a new registry rule: dests are typed keys
  static constexpr DWORD MODE_SYSTEM = 0x08;    // the rules include a system rule: only Cancel

  // rules: the rules to edit (not owned), or null to compose a new rule.
  CRuleEditDlg(HWND parent, const std::vector<RULEFILE_ITEM*>* rules, DWORD mode);

  // Sets the source program of a new rule (what Browse does).
  void SetSource(const std::string& path);

  // The new rule as composed: Code (request kind bits), Source, Dests.
  RULE_REQUEST m_request;

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  bool OnCommand(UINT id, UINT code, HWND control) override;

 private:
  void OnBrowse();
  void OnAdd();
  void OnDelete();
  void OnModify();
  void AppendDest(const std::string& text);
  std::vector<std::string> DestLines() const;

  const std::vector<RULEFILE_ITEM*>* rules_;
  DWORD mode_;
};
