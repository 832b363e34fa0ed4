// MarkupStatic: a static control that shows one mark-up text (MarkupDrawer)
// over a painted background, with margins, alignment, an optional frame and
// rounded region, clickable links, disabled drawing and an animation timer
// for animated images. Painting is double-buffered.
#pragma once

#include <string>

#include "framework/Window.h"
#include "ui/markup/MarkupDrawer.h"

class MarkupStatic : public CWindow {
 public:
  // Alignment bits; 0 takes them from the static control's own style.
  enum : UINT {
    kAlignLeft = 1,
    kAlignRight = 2,
    kAlignCentre = 3,
    kAlignTop = 4,
    kAlignBottom = 8,
    kAlignVCentre = 12,
  };
  enum BackgroundMode { kBackgroundParent = 1, kBackgroundPainted = 2 };
  static constexpr UINT_PTR kTimerId = 260;
  static constexpr COLORREF kNoTextColour = kMarkupNoColour;

  MarkupStatic();
  ~MarkupStatic() override;

  // Subclasses the static and takes over the text it already has.
  bool AttachStatic(HWND hwnd);

  void SetMargins(int horizontal, int vertical);
  void SetAlignment(UINT bits);
  UINT Alignment() const { return align_; }
  // The colour that wraps the whole text, or kNoTextColour.
  void SetTextColour(COLORREF c);
  void SetBackgroundMode(int mode);
  void SetBackgroundColours(COLORREF begin, COLORREF middle, COLORREF end);
  void SetBackgroundEffect(int effect, int granularity = 5);
  void SetFrame(HBRUSH brush, int width, int height);  // brush stays the caller's
  void SetRoundedCorners(int radius);                  // 0 removes the region
  // Interval of the animation timer in milliseconds; 0 stops it.
  void SetAnimationInterval(UINT ms);
  UINT AnimationInterval() const { return interval_; }
  void SetLinkColours(COLORREF link, COLORREF hover, bool linkUnderline, bool hoverUnderline);

  MarkupDrawer& Drawer() { return drawer_; }
  const std::string& Text() const { return text_; }
  // Where the text's box went in the last paint (client coordinates).
  RECT TextBox() const { return box_; }
  // The mark-up that the drawer gets: the text, wrapped in the text colour.
  std::string DrawnText() const;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Paint(HDC dc);
  void PaintBackground(HDC dc, const RECT& rc);
  void Redraw();
  void ApplyLinkStyles();
  void OnFont(HFONT font);

  MarkupDrawer drawer_;
  std::string text_;
  int marginX_ = 0, marginY_ = 0;
  UINT align_ = 0;
  COLORREF textColour_;
  int bkMode_ = kBackgroundPainted;
  COLORREF bk_[3];
  int effect_ = 0;
  int granularity_ = 5;
  HBRUSH frame_ = nullptr;
  int frameW_ = 1, frameH_ = 1;
  HRGN region_ = nullptr;  // the window owns the one it was given; this is a copy for the frame
  UINT interval_ = 0;
  COLORREF linkColour_ = 0xFF0000, hoverColour_ = 0xFF0000;
  bool linkUnderline_ = false, hoverUnderline_ = true;
  HBITMAP bkCache_ = nullptr;  // the painted background, kept while size and settings stay
  SIZE bkSize_{};
  bool tracking_ = false;
  int pressed_ = MarkupDrawer::kNoArea;
  RECT box_{};
};
