// CDlgTips: the modeless Tips window (template 205) over the bitmap
// background: a tree-style list of hint categories, the hint of the chosen
// one as mark-up text (green on black) and "Don't show this again", which
// switches the automatic display off. OK, Cancel and the close box only
// hide the window; the main window owns it and deletes it.
#pragma once

#include "framework/Window.h"
#include "ui/BkDialogST.h"
#include "ui/TreeComboBox.h"
#include "ui/markup/MarkupStatic.h"

class CDlgTips : public CBkDialogST {
 public:
  static constexpr int kCategoryCount = 9;

  CDlgTips();
  ~CDlgTips() override;

  // Shows the hint of a category (0 to 8) and selects it in the list; other
  // values only change the current category.
  void ShowCategory(int category);
  int CurrentCategory() const { return current_; }
  // Shows the window; while its owner is still hidden (at start), as soon
  // as the owner is up, so that it lies over it.
  void ShowOverOwner();
  // Drops a show that waits for the owner.
  void CancelShow();
  // Ticks "Don't show this again" when the setting is 0, else clears it.
  void SetCheckFromSetting(DWORD showTips);

  CTreeComboBox& Categories() { return categories_; }
  MarkupStatic& Hint() { return hint_; }
  // The string number of a category's hint, 0 for none.
  static UINT HintString(int category);

 protected:
  void DoDataExchange() override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  bool OnCommand(UINT id, UINT code, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  static LRESULT CALLBACK MessageFilter(int code, WPARAM wp, LPARAM lp);

  CWindow label_;
  CTreeComboBox categories_;
  MarkupStatic hint_;
  CWindow dontShow_;
  int current_ = 0;
  HHOOK filter_ = nullptr;
  int showTries_ = 0;
};
