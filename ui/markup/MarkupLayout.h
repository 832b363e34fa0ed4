// Lays out a mark-up text into a list of positioned items (text runs,
// fills, frames, rules, images) and link areas. Win32-free: measuring,
// images, strings and system colours come from a host, so the same layout
// runs natively under the sanitizers and the fuzzer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/markup/MarkupStyle.h"
#include "ui/markup/MarkupText.h"

struct MarkupFont {
  std::string face;
  int height = 13;  // pixels
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strike = false;
  bool operator==(const MarkupFont&) const = default;
};

enum class MarkupImageKind : uint8_t { Bitmap, Icon, ImageList };

struct MarkupImageRef {
  MarkupImageKind kind = MarkupImageKind::Bitmap;
  std::vector<MarkupAttribute> attributes;
  const std::string* Attr(std::string_view name) const;
  // A numeric attribute, def when missing or not a number.
  long Number(std::string_view name, long def) const;
};

class IMarkupHost {
 public:
  virtual ~IMarkupHost() = default;
  // prefix[i] = width of the first i + 1 characters of text.
  virtual void MeasureText(const MarkupFont& font, std::string_view text, std::vector<int>& prefix) = 0;
  virtual void FontMetrics(const MarkupFont& font, int& height, int& ascent) = 0;
  // Natural size of an image; false when it cannot be loaded.
  virtual bool ImageSize(const MarkupImageRef& image, int& width, int& height) = 0;
  virtual std::string StringResource(unsigned id) = 0;
  virtual MarkupColour SystemColour(int index) = 0;
  virtual int PixelsPerInch() = 0;
};

struct MarkupItem {
  enum Kind : uint8_t { Text, Fill, Frame, Rule, Image } kind = Text;
  int x = 0, y = 0, w = 0, h = 0;
  MarkupColour colour = 0;   // text, fill (begin), frame (top-left) or rule colour
  MarkupColour colour2 = 0;  // fill: middle; frame: bottom-right
  MarkupColour colour3 = 0;  // fill: end
  int effect = 0;            // fill: background effect (0 solid)
  int thickness = 1;         // frame width
  int font = -1;             // Text: index into MarkupLayout::fonts
  int image = -1;            // Image: index into MarkupLayout::images
  int link = -1;             // link number of the run, or -1
  bool overline = false;
  std::string text;
};

struct MarkupLinkArea {
  int x = 0, y = 0, w = 0, h = 0;
  int kind = 1;  // 1 open the target, 2 send the message text
  std::string target;
  int link = 0;  // number of the link in the text (0, 1, ...)
};

struct MarkupLayout {
  int width = 0, height = 0;
  std::vector<MarkupFont> fonts;
  std::vector<MarkupImageRef> images;
  std::vector<MarkupItem> items;
  std::vector<MarkupLinkArea> links;  // in the order of the text
};

struct MarkupLayoutOptions {
  int maxWidth = 0;  // 0: no wrapping
  int tabWidth = 32;
  bool linesAreMarkup = true;
  int hoverLink = -1;  // the link drawn with the "a:hover" style
};

// Limits that keep hostile texts cheap.
constexpr size_t kMarkupMaxNesting = 200;  // open tags that change the style
constexpr int kMarkupMaxTableNesting = 4;
constexpr int kMarkupMaxStringDepth = 3;
constexpr size_t kMarkupMaxTokens = 200000;

MarkupLayout LayoutMarkup(std::string_view text, const MarkupStyleSheet& sheet, const MarkupLayoutOptions& options,
                          IMarkupHost& host);
