// CDlgPassword: checks the settings password (verify mode) or changes it
// (change mode). The dialog always ends with OK when OK is pressed; a caller
// in verify mode goes on only when `verified` is 1.
#pragma once

#include "framework/Dialog.h"

class CDlgPassword : public CDialogBase {
 public:
  enum Mode : DWORD { verifyMode = 0, changeMode = 1 };

  CDlgPassword(HWND owner, DWORD mode);

  // True when no password is set or when the user typed it correctly.
  static bool Check(HWND owner);

  DWORD mode;
  DWORD verified = 0;

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
};
