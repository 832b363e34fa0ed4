// CButtonST: an owner-drawn push button with an icon and its caption beside
// it. It shows one icon while the mouse is over it and another otherwise,
// carries a tooltip, and can draw itself over a copy of the dialog
// background under it (taken by the dialog after each background repaint),
// so that it looks transparent on a bitmap background.
#pragma once

#include <windows.h>

#include <string>

#include "framework/Handle.h"
#include "framework/Window.h"

class CButtonST : public CWindow {
 public:
  CButtonST() = default;
  ~CButtonST() override;

  // Subclasses the button and makes it owner-drawn.
  bool Attach(HWND hwnd);

  // Icons from the program's resources (32 x 32): shown while the mouse is
  // over the button, and otherwise.
  bool SetIcon(UINT hotIcon, UINT normalIcon);
  void SetTooltipText(const std::string& text, bool activate = true);
  void ActivateTooltip(bool activate);
  void DrawTransparent(bool on);
  // Copies the part of the parent's freshly painted background that lies
  // under the button; dc holds the parent's whole client area.
  void SetBk(HDC parentBackground);

  bool IsHot() const { return hot_; }
  bool HasBackgroundCopy() const { return static_cast<bool>(background_); }
  HWND Tooltip() const { return tooltip_; }
  HICON CurrentIcon() const { return hot_ ? hotIcon_ : normalIcon_; }

  // Paints the button as it looks in the given state (ODS_* flags).
  void Paint(HDC dc, const RECT& rc, UINT state);

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
  bool OnReflectedMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  void SetHot(bool hot);
  void FreeIcons();
  void PaintPanel(HDC dc, const RECT& rc, UINT state) const;

  HICON hotIcon_ = nullptr;
  HICON normalIcon_ = nullptr;
  HWND tooltip_ = nullptr;
  std::string tipText_;
  bool transparent_ = false;
  bool hot_ = false;
  GdiObject<HBITMAP> background_;
  SIZE backgroundSize_{};
};
