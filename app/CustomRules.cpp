#include "app/CustomRules.h"

#include "app/Messages.h"
#include "framework/Module.h"
#include "resource.h"
#include "rules/RuleEditDlg.h"

void AddCustomRule(HWND mainWindow, HWND filePage, int mode) {
  CRuleEditDlg dlg(mainWindow, nullptr, static_cast<DWORD>(mode));
  if (AppMessageBox(mainWindow, LoadStr(IDS_CAUTION_HAND_RULE), MB_YESNO | MB_ICONEXCLAMATION) != IDYES) return;
  if (dlg.DoModal() != IDOK) return;

  RULE_REQUEST& req = dlg.m_request;
  if (req.Source.empty() || req.Dests.empty()) {
    AppMessageBox(mainWindow, LoadStr(IDS_SOURCE_DEST_EMPTY), MB_OK | MB_ICONINFORMATION);
    return;
  }
  req.Owner = mainWindow;
  req.System = 0;
  req.AltMode = 0;
  req.Type = static_cast<uint32_t>(mode);
  SendMessageA(filePage, WM_RULE_REQUEST, reinterpret_cast<WPARAM>(&req), 0);

  // The engine sees programs under either form of their path, so the rules
  // exist for the short (8.3) form too.
  char shortPath[520] = {};
  DWORD n = GetShortPathNameA(req.Source.c_str(), shortPath, sizeof shortPath);
  if (n > 0 && n < sizeof shortPath) {
    req.Source = shortPath;
    SendMessageA(filePage, WM_RULE_REQUEST, reinterpret_cast<WPARAM>(&req), 0);
  }
}
