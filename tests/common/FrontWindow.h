// The real main window for tests that go through its pages: the real Files
// page on a rule file of the test's own, the real Log page when the test
// gives it a log, the real Options page when asked, plain pages otherwise,
// and no password.
#pragma once

#include <memory>
#include <string>

#include "app/QX5Dlg.h"
#include "log/DlgPageLog.h"
#include "resource.h"
#include "rules/DlgFilePage.h"
#include "settings/DlgPageOptions.h"

namespace testsupport {

class FrontWindow : public CQX5Dlg {
 public:
  std::string rulePath, mapping;
  // The engine's log for a real Log page (path, mapping and event names);
  // without a path the Log page is a plain page.
  std::string logPath, logMapping, logEvent;
  bool realOptions = false;

  CDlgFilePage* files = nullptr;
  CDlgPageLog* logPage = nullptr;

 protected:
  std::unique_ptr<CBkDialogST> MakePage(int index) override {
    if (index == 0) {
      auto page = std::make_unique<CDlgFilePage>();
      page->SetRuleFilePath(rulePath, mapping);
      files = page.get();
      return page;
    }
    if (index == 1) {
      if (logPath.empty()) return std::make_unique<CBkDialogST>(IDD_PAGE_LOG);
      auto page = std::make_unique<CDlgPageLog>();
      page->SetLogSource(logPath, logMapping, logEvent);
      logPage = page.get();
      return page;
    }
    if (realOptions) return std::make_unique<CDlgPageOptions>();
    return std::make_unique<CBkDialogST>(IDD_PAGE_OPTIONS);
  }
  bool CheckPassword() override { return true; }
};

}  // namespace testsupport
