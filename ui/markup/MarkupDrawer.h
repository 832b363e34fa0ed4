// MarkupDrawer: lays out and draws a mark-up text (tags, entities, a style
// sheet, images from the resources, tables and links) into a device
// context, and answers the mouse over its links: hover notifications, the
// hand cursor and clicks that open a target or send a message.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/markup/MarkupLayout.h"

class MarkupDrawer : private IMarkupHost {
 public:
  static constexpr int kNoArea = -2;  // the mouse is over no link

  MarkupDrawer();
  ~MarkupDrawer() override;
  MarkupDrawer(const MarkupDrawer&) = delete;
  MarkupDrawer& operator=(const MarkupDrawer&) = delete;

  void SetText(std::string_view text);
  const std::string& Text() const { return text_; }
  MarkupStyleSheet& StyleSheet() { return sheet_; }
  // Adds style-sheet entries ("sel {prop: value}"); returns how many.
  int AddStyleSheet(std::string_view sheet);

  void SetMaxWidth(int width);  // 0: no wrapping
  int MaxWidth() const { return options_.maxWidth; }
  void SetTabWidth(int width);
  void SetLinesAreMarkup(bool on);
  void SetEnabled(bool on) { enabled_ = on; }
  bool Enabled() const { return enabled_; }
  void SetShadowColour(COLORREF c) { shadow_ = c; }

  // Lays the text out for the device context (when anything changed) and
  // returns its size.
  SIZE Measure(HDC dc);
  // Draws the last layout with its top-left corner at (x, y); link areas
  // are then known in those coordinates.
  void Draw(HDC dc, int x, int y);
  const MarkupLayout& Layout() const { return layout_; }

  // Link areas of the last drawing, in drawing coordinates.
  std::vector<MarkupLinkArea> LinkAreas() const;
  // The link number under a point, or kNoArea.
  int LinkAt(POINT pt) const;
  int HoverLink() const { return hover_; }

  void SetHoverNotify(HWND wnd, UINT msg, LPARAM value);
  void SetLinkNotify(HWND wnd, UINT msg, LPARAM value);
  // Follows the mouse; true when the hovered link changed (redraw then).
  bool OnMouseMove(POINT pt);
  bool OnMouseLeave();
  // Shows the hand cursor over a link with a target; false elsewhere.
  bool OnSetCursor(POINT pt) const;
  // Opens or sends the link under the point; false when there is none.
  bool OnClick(POINT pt);
  // Replaces the shell for opening kind-1 targets (tests, demonstrations).
  void SetOpener(std::function<void(const std::string&)> opener) { opener_ = std::move(opener); }
  // Opens a target with the shell's "open" verb, else the ".htm" command.
  static bool OpenTarget(const std::string& target);

  // Animated image lists: advances their frame.
  void NextFrame() { ++frame_; }
  bool HasAnimation() const;
  // The hand cursor from the Windows directory's help program, or the
  // system's hand; loaded once.
  static HCURSOR HandCursor();

 private:
  struct Image {
    std::string key;
    HGDIOBJ handle = nullptr;
    bool owned = false;
    bool icon = false;
    int w = 0, h = 0;  // one image (frame)
    int count = 1;     // frames of an image list
    COLORREF mask = kMarkupNoColour;
  };

  void MeasureText(const MarkupFont& font, std::string_view text, std::vector<int>& prefix) override;
  void FontMetrics(const MarkupFont& font, int& height, int& ascent) override;
  bool ImageSize(const MarkupImageRef& image, int& width, int& height) override;
  std::string StringResource(unsigned id) override;
  MarkupColour SystemColour(int index) override;
  int PixelsPerInch() override;

  HFONT FontFor(const MarkupFont& font);
  const Image* ImageFor(const MarkupImageRef& ref);
  enum { kAllParts, kOtherParts, kTextParts };
  void DrawItems(HDC dc, int x, int y, int parts, COLORREF textOverride);
  void DrawImage(HDC dc, const MarkupItem& item, int x, int y);
  void Invalidate() { dirty_ = true; }

  std::string text_;
  MarkupStyleSheet sheet_;
  MarkupLayoutOptions options_;
  MarkupLayout layout_;
  bool dirty_ = true;
  HDC measureDc_ = nullptr;  // the device context of the running layout
  int ppi_ = 96;
  std::vector<std::pair<MarkupFont, HFONT>> fonts_;
  std::vector<Image> images_;
  POINT origin_{};
  int hover_ = kNoArea;
  HWND hoverWnd_ = nullptr;
  UINT hoverMsg_ = 0;
  LPARAM hoverValue_ = 0;
  HWND linkWnd_ = nullptr;
  UINT linkMsg_ = 0;
  LPARAM linkValue_ = 0;
  bool enabled_ = true;
  COLORREF shadow_;
  unsigned frame_ = 0;
  std::function<void(const std::string&)> opener_;
};
