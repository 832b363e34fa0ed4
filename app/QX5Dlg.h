// CQX5Dlg: the program's main window, a resizable dialog with the tab
// control of the three pages and a column of eleven buttons.
#pragma once

#include "framework/Dialog.h"

class CQX5Dlg : public CDialogBase {
 public:
  CQX5Dlg();
  ~CQX5Dlg() override;

 protected:
  BOOL OnInitDialog() override;
  // Enter and Escape never end the main window.
  void OnOK() override {}
  void OnCancel() override {}
  bool OnCommand(UINT id, UINT code, HWND control) override;
  void OnDestroy() override;
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void ShowFromSecondInstance();

  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
};
