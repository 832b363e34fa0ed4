// CDlgPageOptions: the Options page of the main window (template 1210) on
// the program's bitmap background. It shows and changes the settings: the
// tray icon and text log switches, the three row colours of the Log page,
// the security level, the password and the no-copy keywords. Its creation
// loads the settings, its destruction saves them, and it is the window in
// the clipboard viewer chain for the clipboard guard.
#pragma once

#include "settings/ClipboardGuard.h"
#include "ui/BkDialogST.h"
#include "ui/colour/ColourPickerXP.h"

class CDlgPageOptions : public CBkDialogST {
 public:
  CDlgPageOptions();
  ~CDlgPageOptions() override;

  // The colour buttons of g_clrRun, g_clrRead and g_clrWrite.
  CColourPickerXP& ColourButton(int index) { return colours_[index]; }
  CClipboardGuard& Guard() { return guard_; }

 protected:
  void DoDataExchange() override;
  BOOL OnInitDialog() override;
  // Enter and Escape inside the page must not end it.
  void OnOK() override {}
  void OnCancel() override {}
  bool OnCommand(UINT id, UINT code, HWND control) override;
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  CColourPickerXP colours_[3];
  CClipboardGuard guard_;
  bool loaded_ = false;  // the settings were loaded, so destruction saves them
};
