// CQX5Dlg: the program's main window, a resizable dialog on the bitmap
// background with the tab control of the three pages (Files, Log, Options)
// and a column of eleven buttons on its right. Seven buttons stand for the
// rule kinds: a click asks for files, a drop of shell files makes the rules
// at once. The window never changes rules itself: every change is a
// RULE_REQUEST sent to the Files page. Closing or minimising hides the
// window into the notification area; only the tray menu's Exit ends it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/DenialBalloon.h"
#include "framework/Handle.h"
#include "rules/RuleSet.h"
#include "ui/BkDialogST.h"
#include "ui/ButtonST.h"
#include "ui/SkinMenu.h"
#include "ui/SystemTray.h"
#include "ui/XTabCtrl.h"

class CDlgTips;

class CQX5Dlg : public CBkDialogST, public ISkinMenuPainter {
 public:
  static constexpr int kButtonCount = 11;
  static constexpr int kPageCount = 3;
  // The product page opened by Help > Go to web.
  static constexpr const char* kWebPage = "https://www.quorvexsoftware.com/varnokel/";
  // How long the end of the session lets the log reader take to stop: the
  // system gives a program a few seconds after WM_ENDSESSION.
  static constexpr DWORD kEndSessionReaderWaitMs = 2000;

  CQX5Dlg();
  ~CQX5Dlg() override;

  // The tips window's automatic display for a category, and Help > Tips.
  void OpenTipsCategory(int category);
  void ShowTipsWindow();

  CXTabCtrl& Tabs() { return tab_; }
  CButtonST& Button(int index) { return buttons_[index]; }
  CSkinMenu& Skin() { return skin_; }
  CSystemTray& Tray() { return tray_; }
  CDenialBalloon& DenialBalloon() { return balloon_; }
  CDlgTips* Tips() { return tips_.get(); }
  HWND Page(int index) const;
  // The request code that a drop at this screen point makes: the kind bit
  // of the rule-kind button there, otherwise REQ_EDIT_NEW.
  uint32_t DropCodeAt(POINT screen) const;

 protected:
  void DoDataExchange() override;
  BOOL OnInitDialog() override;
  // Enter and Escape never end the main window.
  void OnOK() override {}
  void OnCancel() override {}
  bool OnCommand(UINT id, UINT code, HWND control) override;
  void OnDestroy() override;
  void AfterBackgroundPainted(HDC dc) override;
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

  // Menu painting for the skin.
  bool SkinDrawBorder(HDC dc, const RECT& menu) override;
  void SkinDrawLeftColumn(HDC dc, const RECT& column, const RECT& menu) override;
  void SkinDrawItemBackground(HDC dc, const RECT& item, const RECT& menu) override;
  void SkinDrawMenuBackground(HDC dc, const RECT& menu) override;

  // Makes the page object of tab index (0 Files, 1 Log, 2 Options); the
  // window creates it as a child of the tab control.
  virtual std::unique_ptr<CBkDialogST> MakePage(int index);
  // Asks for files with the system's open-file dialog; false when cancelled.
  virtual bool AskForFiles(const char* filter, std::vector<std::string>& paths);
  // The Remove confirmation; true for Yes.
  virtual bool ConfirmRemove();
  // The settings password check of the tray's Open and Exit.
  virtual bool CheckPassword();

 private:
  void RuleButton(uint32_t code, const char* filter, bool skipFileDialog);
  void SendRuleRequest(RULE_REQUEST* request);
  void OnDropFiles(HDROP drop);
  void NextPage();
  void HideToTray();
  void ShowFromTray();
  // A click on a denial balloon: the Log page with the denial's row.
  void ShowDenial(const CDenialBalloon::Target& target);
  void OnSysCommand(UINT command);
  void OnEndSession();
  void Layout(int width, int height);
  void LimitSize(UINT edge, RECT* proposed) const;
  void FixMaximisedPlacement(MINMAXINFO* info) const;
  bool PaintMinimised();
  void SetUpButtons();
  void SetUpTabs();
  void SetUpMenuSkin();
  void SetUpTray();
  void CentreTips();

  CButtonST buttons_[kButtonCount];
  CXTabCtrl tab_;
  UniqueImageList tabImages_;
  std::unique_ptr<CBkDialogST> pages_[kPageCount];
  CSystemTray tray_;
  // Told by the Log page's reader; outlives the pages (they go first).
  CDenialBalloon balloon_{tray_};
  CSkinMenu skin_;
  std::unique_ptr<CDlgTips> tips_;
  UniqueIcon icon_;
  UniqueIcon smallIcon_;
  RECT initialClient_{};
  RECT removeRect_{};
};
