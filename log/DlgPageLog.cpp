#include "log/DlgPageLog.h"

#include "resource.h"

CDlgPageLog::CDlgPageLog() : CBkDialogST(IDD_PAGE_LOG) {}

CDlgPageLog::~CDlgPageLog() = default;

BOOL CDlgPageLog::OnInitDialog() {
  CBkDialogST::OnInitDialog();
  SetBackgroundBitmap(IDB_BACKGROUND);
  return TRUE;
}
