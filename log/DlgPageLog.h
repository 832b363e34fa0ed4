// CDlgPageLog: the Log page, a child dialog (template 1208) whose one list
// shows the records that the access engine appends to the log file.
#pragma once

#include "ui/BkDialogST.h"

class CDlgPageLog : public CBkDialogST {
 public:
  CDlgPageLog();
  ~CDlgPageLog() override;

  // Creates the page as a child of the tab control's owner.
  bool Create(HWND parent) { return CDialogBase::Create(parent); }

 protected:
  BOOL OnInitDialog() override;
};
