// CValueDlg: a one-line text dialog, used for registry keys and for
// changing one dest of the Rule Edit dialog.
#pragma once

#include <string>

#include "framework/Dialog.h"

class CValueDlg : public CDialogBase {
 public:
  CValueDlg(HWND parent, const std::string& value);
  // The text: shown when the dialog opens, the edited text after OK.
  std::string m_value;

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
};
