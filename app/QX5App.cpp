#include "app/QX5App.h"

#include <commctrl.h>

#include "app/MainWindowFinder.h"
#include "app/Messages.h"
#include "app/QX5Dlg.h"
#include "app/SingleInstance.h"
#include "framework/Module.h"
#include "resource.h"
#include "settings/DlgPassword.h"
#include "settings/Settings.h"
#include "ui/SkinMenu.h"

const char* const CQX5App::kSiblingMutexes[3] = {
    "Quorvex Registry Firewall by Tirelmo",
    "Quorvex Net Firewall by Tirelmo",
    "Quorvex Process Guard by Tirelmo",
};

namespace {
bool g_anotherInstance = false;
}

void SetAnotherInstanceRunning(bool running) { g_anotherInstance = running; }

bool CQX5App::InitInstance() {
  const std::string siblingMessage = LoadStr(IDS_SIBLING_RUNNING);

  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_TAB_CLASSES |
                                           ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);

  // The path is written on every start, before any check.
  WriteExePath(ModulePath());

  bool sibling = false;
  for (const char* name : kSiblingMutexes) {
    CLimitSingleInstance guard(name);
    sibling = sibling || guard.IsAnotherInstanceRunning();
  }
  if (sibling) {
    MessageBoxA(nullptr, siblingMessage.c_str(), nullptr, MB_ICONEXCLAMATION);
    return false;
  }

  regStrPass = ReadPassword();
  if (!CDlgPassword::Check(nullptr)) return false;

  if (g_anotherInstance) {
    // Hand over to the first instance: it shows itself without asking for
    // the password again (it was asked for above).
    const std::string title = LoadStr(IDS_APP_TITLE);
    if (HWND first = FindMainWindow(title)) SendMessageA(first, WM_QX5_ACTIVATE, 0, 0);
    return false;
  }

  // Owner-drawn menus for this thread (gradient backgrounds and the left
  // column, 10 pixels of item padding).
  CSkinMenu::Enable(CSkinMenu::kStyleGradient | CSkinMenu::kStyleLeftColumn, 10);

  CQX5Dlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  return false;
}
