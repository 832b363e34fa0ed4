// CDlgAbout: the modal About box (template 100) with the program's name and
// version, a one-line description and a read-only text about the program.
#pragma once

#include "framework/Dialog.h"

class CDlgAbout : public CDialogBase {
 public:
  explicit CDlgAbout(HWND owner);

 protected:
  BOOL OnInitDialog() override;
};
