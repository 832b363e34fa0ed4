// CDlgPageOptions: the Options page of the main window (template 1210) on
// the program's bitmap background. This version shows the page's controls
// with their texts; the settings are loaded and saved by the main window.
#pragma once

#include "ui/BkDialogST.h"

class CDlgPageOptions : public CBkDialogST {
 public:
  CDlgPageOptions();
  ~CDlgPageOptions() override;

 protected:
  BOOL OnInitDialog() override;
  // Enter and Escape inside the page must not end it.
  void OnOK() override {}
  void OnCancel() override {}
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
};
