// Lays out arbitrary mark-up with a measuring stand-in and checks that the
// layout stays inside sane bounds: every item has a non-negative size and
// refers to fonts and images that exist, and every link area has a kind.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "ui/markup/MarkupLayout.h"

namespace {

class Host : public IMarkupHost {
 public:
  void MeasureText(const MarkupFont& font, std::string_view text, std::vector<int>& prefix) override {
    int w = 0;
    for (char c : text) prefix.push_back(w += (static_cast<unsigned char>(c) % 7 + 1) * font.height / 8);
  }
  void FontMetrics(const MarkupFont& font, int& height, int& ascent) override {
    height = font.height;
    ascent = font.height * 4 / 5;
  }
  bool ImageSize(const MarkupImageRef& image, int& w, int& h) override {
    const long id = image.Number("idres", 0);
    if (id <= 0) return false;
    w = static_cast<int>(id % 97);
    h = static_cast<int>(id % 61);
    return true;
  }
  std::string StringResource(unsigned id) override { return id % 2 ? "<b>s</b><string idres=1>" : "plain"; }
  MarkupColour SystemColour(int index) override { return static_cast<MarkupColour>(index); }
  int PixelsPerInch() override { return 96; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;  // keeps each run quick; nesting limits are tested at that size too
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  static MarkupStyleSheet sheet;
  Host host;
  MarkupLayoutOptions o;
  o.maxWidth = size ? data[0] % 200 : 0;
  o.hoverLink = size > 1 ? data[1] % 4 - 1 : -1;
  const MarkupLayout l = LayoutMarkup(input, sheet, o, host);
  Check(l.width >= 0 && l.height >= 0);
  for (const auto& it : l.items) {
    Check(it.w >= 0 && it.h >= 0);
    if (it.kind == MarkupItem::Text)
      Check(it.font >= 0 && static_cast<size_t>(it.font) < l.fonts.size() && !it.text.empty());
    if (it.kind == MarkupItem::Image) Check(it.image >= 0 && static_cast<size_t>(it.image) < l.images.size());
  }
  for (const auto& a : l.links) Check(a.link >= 0 && a.w >= 0 && a.h >= 0 && (a.kind == 1 || a.kind == 2));
  // The style sheet parser gets the same bytes.
  MarkupStyleSheet extra;
  extra.Add(input);
  return 0;
}
