// CXTabCtrl: a tab control whose tabs each carry one page window. It shows
// the page of the selected tab and hides the others, keeps every page sized
// to its own client area, refuses the selection of a disabled tab and draws
// the tab texts itself, coloured for the selected tab, the tab under the
// mouse and disabled tabs.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "framework/Window.h"

class CXTabCtrl : public CWindow {
 public:
  // The timer that notices the mouse leaving the hot tab.
  static constexpr UINT_PTR kHotTimerId = 1;

  CXTabCtrl() = default;
  ~CXTabCtrl() override;

  // Subclasses the tab control; it is switched to owner-drawn tabs first.
  bool Attach(HWND hwnd);

  // Appends a tab for the page (the page goes to the page origin, keeps its
  // size and is shown only when it is the first tab). Returns the tab index
  // or -1.
  int AppendPage(HWND page, const char* text, int image);
  BOOL IsPageEnabled(int index) const;
  // Enables or disables a tab; a disabled tab cannot be selected. Returns
  // false for an unknown index.
  bool EnablePage(int index, bool enable);
  // Selects a tab and shows its page: 1 done (or already selected), 0 when
  // the tab is disabled (or unknown).
  int ShowPage(int index);
  void SetPageOrigin(int x, int y);
  POINT PageOrigin() const { return origin_; }

  void SetSelectedTextColour(COLORREF colour);
  void SetHotTextColour(COLORREF colour);
  void SetDisabledTextColour(COLORREF colour);
  void SetNormalTextColour(COLORREF colour);

  int PageCount() const;
  int CurrentSelection() const;
  HWND PageWindow(int index) const;
  int HotTab() const { return hotTab_; }
  bool Tracking() const { return tracking_; }
  // The colour that the tab's text is drawn in now.
  COLORREF TextColourOf(int index) const;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
  bool OnReflectedMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  void OnSelChanging();
  void OnSelChange();
  void OnSize(int width, int height);
  void OnMouseMove(POINT pt);
  void OnHotTimer();
  void DrawTab(const DRAWITEMSTRUCT& dis);
  RECT TabRect(int index) const;
  void RepaintTab(int index);
  int TabFromPoint(POINT clientPt) const;

  std::vector<DWORD> enabled_;
  int previous_ = 0;
  POINT origin_{4, 28};
  COLORREF selectedColour_ = 0;
  bool selectedSet_ = false;
  COLORREF disabledColour_ = 0;
  bool disabledSet_ = false;
  COLORREF normalColour_ = 0;
  bool normalSet_ = false;
  COLORREF hotColour_ = 0;
  bool hotSet_ = false;
  int hotTab_ = -1;
  bool tracking_ = false;
};
