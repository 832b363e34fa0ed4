// The mark-up layout: runs, styles, wrapping, breaks and tabs, alignment,
// links, images, strings, tables and bad mark-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "demo/MarkupShowcase.h"
#include "ui/markup/MarkupLayout.h"

namespace {

// Every character is half the font height wide; ascent is 3/4 of it.
class FakeHost : public IMarkupHost {
 public:
  void MeasureText(const MarkupFont& font, std::string_view text, std::vector<int>& prefix) override {
    ++measures;
    for (size_t i = 0; i < text.size(); ++i) prefix.push_back(static_cast<int>(i + 1) * (font.height / 2));
  }
  void FontMetrics(const MarkupFont& font, int& height, int& ascent) override {
    height = font.height;
    ascent = font.height * 3 / 4;
  }
  bool ImageSize(const MarkupImageRef& image, int& w, int& h) override {
    if (image.Number("idres", 0) == 0) return false;
    w = image.kind == MarkupImageKind::Icon ? 16 : 40;
    h = image.kind == MarkupImageKind::Icon ? 16 : 30;
    return true;
  }
  std::string StringResource(unsigned id) override { return id == 7 ? "<b>seven</b>" : id == 8 ? "<string id=8>" : ""; }
  MarkupColour SystemColour(int) override { return 0x0A0B0C; }
  int PixelsPerInch() override { return 72; }  // 1 pt = 1 px
  int measures = 0;
};

MarkupLayout Lay(std::string_view text, int maxWidth = 0, int hover = -1) {
  static MarkupStyleSheet sheet;
  FakeHost host;
  MarkupLayoutOptions o;
  o.maxWidth = maxWidth;
  o.hoverLink = hover;
  return LayoutMarkup(text, sheet, o, host);
}

std::vector<const MarkupItem*> Texts(const MarkupLayout& l) {
  std::vector<const MarkupItem*> r;
  for (const auto& i : l.items)
    if (i.kind == MarkupItem::Text) r.push_back(&i);
  return r;
}

std::string Joined(const MarkupLayout& l) {
  std::string s;
  for (const auto* t : Texts(l)) s += t->text + "|";
  return s;
}

TEST(MarkupLayout, EscapedBoldIsTextInTheBodyFont) {
  const MarkupLayout l = Lay("&lt;b&gt;x&lt;/b&gt;");
  const auto t = Texts(l);
  ASSERT_EQ(1u, t.size());
  EXPECT_EQ("<b>x</b>", t[0]->text);
  EXPECT_EQ(400, l.fonts[t[0]->font].weight);
  EXPECT_EQ("Verdana", l.fonts[t[0]->font].face);
  EXPECT_EQ(10, l.fonts[t[0]->font].height);  // body 10pt at 72 ppi
  EXPECT_EQ(0u, t[0]->colour);
}

TEST(MarkupLayout, TagsChangeTheStyleUntilTheyAreClosed) {
  const MarkupLayout l =
      Lay("a<b>b<i>c</b>d</i><u>e</u><s>f</s><font color=#00ff00 size=7 face=Arial>g</font>"
          "<h2>h</h2><span class=cpp-comment>k</span><font bkgnd=red>m</font>");
  const auto t = Texts(l);
  ASSERT_EQ(10u, t.size());
  auto font = [&](int i) { return l.fonts[t[i]->font]; };
  EXPECT_EQ(400, font(0).weight);
  EXPECT_EQ(700, font(1).weight);
  EXPECT_TRUE(font(2).italic && font(2).weight == 700);
  // </b> closes the <i> opened inside it as well.
  EXPECT_FALSE(font(3).italic);
  EXPECT_EQ(400, font(3).weight);
  EXPECT_TRUE(font(4).underline);
  EXPECT_TRUE(font(5).strike);
  EXPECT_EQ(0x00FF00u, t[6]->colour);
  EXPECT_EQ(36, font(6).height);
  EXPECT_EQ("Arial", font(6).face);
  EXPECT_EQ(0x0099FFu, t[7]->colour);
  EXPECT_EQ(13, font(7).height);
  EXPECT_EQ(0x008000u, t[8]->colour);
  EXPECT_TRUE(font(8).italic);
  // The background fill comes right before its text.
  const MarkupItem* fill = t[9] - 1;
  EXPECT_EQ(MarkupItem::Fill, fill->kind);
  EXPECT_EQ(0x0000FFu, fill->colour);
  EXPECT_EQ(t[9]->x, fill->x);
  EXPECT_EQ(t[9]->w, fill->w);
}

TEST(MarkupLayout, LongWordIsCutInsideOnlyWhenItStartsALine) {
  // 5 px a character, 40 px a line.
  MarkupLayout l = Lay("ab abcdefghijkl", 40);
  EXPECT_EQ("ab |abcdefgh|ijkl|", Joined(l));
  const auto t = Texts(l);
  EXPECT_EQ(0, t[1]->x);
  EXPECT_GT(t[1]->y, t[0]->y);
  l = Lay("abcdefghij", 40);
  EXPECT_EQ("abcdefgh|ij|", Joined(l));
  l = Lay("one two three four", 40);
  EXPECT_EQ("one two |three |four|", Joined(l));
  EXPECT_EQ(40, l.width);
}

TEST(MarkupLayout, BreaksLineFeedsTabsAndRules) {
  MarkupLayout l = Lay("a<br>b\nc<br><br>d");
  auto t = Texts(l);
  ASSERT_EQ(4u, t.size());
  EXPECT_EQ(0, t[0]->y);
  EXPECT_EQ(10, t[1]->y);
  EXPECT_EQ(20, t[2]->y);
  EXPECT_EQ(40, t[3]->y);  // an empty line is one font high
  EXPECT_EQ(50, l.height);
  l = Lay("a\tb<t>c");
  t = Texts(l);
  EXPECT_EQ(32, t[1]->x);
  EXPECT_EQ(64, t[2]->x);
  l = Lay("wide text<hr>x");
  ASSERT_EQ(MarkupItem::Rule, l.items[1].kind);
  EXPECT_EQ(45, l.items[1].w);  // as wide as the text
  EXPECT_GT(Texts(l)[1]->y, l.items[1].y);
}

TEST(MarkupLayout, AlignmentPlacesLinesInTheWidth) {
  MarkupLayout l = Lay("<center>ab</center><br><right>cd</right><br>ef", 100);
  auto t = Texts(l);
  ASSERT_EQ(3u, t.size());
  EXPECT_EQ(45, t[0]->x);
  EXPECT_EQ(90, t[1]->x);
  EXPECT_EQ(0, t[2]->x);
  EXPECT_EQ(100, l.width);
  // Without a width the longest line sets it.
  l = Lay("<right>x</right><br>abcd");
  EXPECT_EQ(15, Texts(l)[0]->x);
}

TEST(MarkupLayout, VerticalAlignmentInALine) {
  const MarkupLayout l = Lay("<font size=20>A</font><top>t</top><bottom>b</bottom><sub>s</sub>x");
  const auto t = Texts(l);
  ASSERT_EQ(5u, t.size());
  EXPECT_EQ(0, t[0]->y);
  EXPECT_EQ(0, t[1]->y);
  EXPECT_EQ(20 - 10, t[2]->y);
  EXPECT_EQ(20 - l.fonts[t[3]->font].height, t[3]->y);
  EXPECT_EQ(15 - 7, t[4]->y);  // baseline: ascent 15 against 7
}

TEST(MarkupLayout, LinksGetAreasKindsAndTheHoverStyle) {
  const std::string text = "go <a href=\"http://x/\">here</a> or <a msg=\"m1\">there now</a>";
  MarkupLayout l = Lay(text, 0);
  ASSERT_EQ(2u, l.links.size());
  EXPECT_EQ(1, l.links[0].kind);
  EXPECT_EQ("http://x/", l.links[0].target);
  EXPECT_EQ(0, l.links[0].link);
  EXPECT_EQ(15, l.links[0].x);
  EXPECT_EQ(20, l.links[0].w);
  EXPECT_EQ(2, l.links[1].kind);
  EXPECT_EQ("m1", l.links[1].target);
  auto t = Texts(l);
  EXPECT_EQ(0xFF0000u, t[1]->colour);
  EXPECT_FALSE(l.fonts[t[1]->font].underline);
  l = Lay(text, 0, 1);
  t = Texts(l);
  EXPECT_FALSE(l.fonts[t[1]->font].underline);
  EXPECT_TRUE(l.fonts[t[3]->font].underline);
  // A link wrapped over two lines has one area on each, with one number.
  l = Lay("<a href=x>aaaa bbbb</a>", 30);
  ASSERT_EQ(2u, l.links.size());
  EXPECT_EQ(l.links[0].link, l.links[1].link);
  EXPECT_GT(l.links[1].y, l.links[0].y);
}

TEST(MarkupLayout, ImagesStringsAndUnknownTags) {
  MarkupLayout l = Lay("a<bmp idres=132>b<icon idres=207 width=8 height=9><ilst idres=1 index=2><bmp idres=0><zz>c");
  ASSERT_EQ(3u, l.images.size());
  std::vector<const MarkupItem*> img;
  for (const auto& i : l.items)
    if (i.kind == MarkupItem::Image) img.push_back(&i);
  ASSERT_EQ(3u, img.size());
  EXPECT_EQ(5, img[0]->x);
  EXPECT_EQ(40, img[0]->w);
  EXPECT_EQ(8, img[1]->w);
  EXPECT_EQ(9, img[1]->h);
  EXPECT_EQ(MarkupImageKind::ImageList, l.images[img[2]->image].kind);
  EXPECT_EQ(2, l.images[img[2]->image].Number("index", 0));
  EXPECT_EQ(30 + 3, l.height);  // images stand on the text's baseline
  EXPECT_EQ("a|b|c|", Joined(l));
  l = Lay("x<string idres=7>y<string id=8>");
  const auto t = Texts(l);
  ASSERT_EQ(3u, t.size());
  EXPECT_EQ("seven", t[1]->text);
  EXPECT_EQ(700, l.fonts[t[1]->font].weight);
}

TEST(MarkupLayout, TablesWithRowsCellsPaddingSpacingBorderAndColours) {
  const MarkupLayout l =
      Lay("<table border=1 cellpadding=2 cellspacing=3 bgcolor=#000080>"
          "<tr bgcolor=red><td>ab</td><td bgcolor=lime>abcd</td></tr>"
          "<tr><td colspan=2 align=right>x</td></tr></table>after");
  const auto t = Texts(l);
  ASSERT_EQ(4u, t.size());
  // Column 0: 10 + 4 padding; column 1: 20 + 4; border 1, spacing 3.
  EXPECT_EQ(1 + 3 + 2, t[0]->x);
  EXPECT_EQ(1 + 3 + 14 + 3 + 2, t[1]->x);
  EXPECT_EQ(1 + 3 + 14 + 3 + 24 + 3 + 1, l.width);
  // Right-aligned in a cell spanning both columns.
  EXPECT_EQ(1 + 3 + 14 + 3 + 24 - 2 - 5, t[2]->x);
  EXPECT_EQ(0, t[3]->x);
  EXPECT_EQ(l.items.front().kind, MarkupItem::Fill);
  EXPECT_EQ(0x800000u, l.items.front().colour);
  int frames = 0, fills = 0;
  for (const auto& i : l.items) {
    frames += i.kind == MarkupItem::Frame;
    fills += i.kind == MarkupItem::Fill;
  }
  EXPECT_EQ(1 + 3, frames);
  EXPECT_EQ(3, fills);
  EXPECT_GT(t[3]->y, t[2]->y);
}

TEST(MarkupLayout, WideTablesShrinkToTheWidthAndWrapTheirCells) {
  const MarkupLayout l =
      Lay("<table cellspacing=0 cellpadding=0><tr><td>aaaa bbbb cccc</td><td>dddd eeee</td></tr></table>", 60);
  EXPECT_LE(l.width, 60);
  for (const auto* t : Texts(l)) EXPECT_LE(t->x + t->w, 60 + 5) << t->text;
  EXPECT_GT(l.height, 10);
}

TEST(MarkupLayout, BadMarkupEndsAndDrawsTheText) {
  const char* inputs[] = {
      "<b><i><u>unclosed",
      "</b></td></tr></table>stray closers",
      "<table><td>no row<td>two",
      "<table><tr><td><table><tr><td><table><tr><td><table><tr><td><table><tr><td>deep",
      "<font size=99999999999999 color=0x7fffffffffff>huge</font>",
      "<font size=-3 face=>neg</font><td>cell outside",
      "<a>no target</a><a href>empty</a>",
      "<t><t><t><t><t><t><t><t>tabs beyond the width",
      "<bmp idres=1 width=999999999 height=-5>",
  };
  for (const char* in : inputs) {
    const MarkupLayout l = Lay(in, 50);
    EXPECT_GE(l.height, 0) << in;
    EXPECT_LT(l.height, 100000) << in;
  }
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "<span>";
  deep += "x";
  EXPECT_EQ("x|", Joined(Lay(deep)));
  std::string tables;
  for (int i = 0; i < 50; ++i) tables += "<table><tr><td>";
  tables += "y";
  EXPECT_EQ("y|", Joined(Lay(tables)));  // beyond the nesting limit the content flows as text
  EXPECT_EQ("y|", Joined(Lay("<table><tr><td><table><tr><td>y")));
}

TEST(MarkupLayout, ShowcaseUsesEveryTagWithATableLinksAndImages) {
  std::vector<std::string> seen;
  for (const auto& t : TokenizeMarkup(PrepareMarkup(kMarkupShowcase, true)))
    if (t.type == MarkupToken::Open) seen.push_back(t.text);
  for (const auto& tag : MarkupTagTable())
    EXPECT_NE(seen.end(), std::find(seen.begin(), seen.end(), tag.name)) << tag.name;
  const MarkupLayout l = Lay(kMarkupShowcase, 780);
  EXPECT_EQ(2u, l.links.size());
  EXPECT_EQ(5u, l.images.size());
  int frames = 0;
  for (const auto& i : l.items) frames += i.kind == MarkupItem::Frame;
  EXPECT_GT(frames, 6);
  EXPECT_LE(l.width, 780);
}

}  // namespace
