// The mark-up text core: preparation, tokens, the tag, entity and colour
// tables, colour values, lengths, the style sheet and the wrapping rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/markup/MarkupStyle.h"
#include "ui/markup/MarkupText.h"

namespace {

const SystemColourFn kSys = [](int index) { return static_cast<MarkupColour>(0x010101 * index); };

std::vector<int> FixedPrefix(std::string_view s, int charWidth) {
  std::vector<int> p;
  for (size_t i = 0; i < s.size(); ++i) p.push_back(static_cast<int>(i + 1) * charWidth);
  return p;
}

TEST(MarkupPrepare, EntitiesInTableOrderSoAReplacementCanFormALaterOne) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"&amp;lt;", "<<"},  // "&amp;" first gives "&lt;", which then becomes "<<"
      {"&lt;b&gt;", "<<b>"},
      {"a&nbsp;b&quot;", "a b\""},
      {"&copy;&reg;&trade;&euro;&bull;&pound;&para;&iquest;", "\xA9\xAE\x99\x88\x95\xA3\xB6\xBF"},
      {"&unknown; &amp", "&unknown; &amp"},
      {"&gt;&amp;gt;", ">>"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, PrepareMarkup(c.in, true)) << c.in;
  EXPECT_EQ(13u, MarkupEntityTable().size());
  for (size_t i = 1; i < MarkupEntityTable().size(); ++i)
    EXPECT_LT(std::string(MarkupEntityTable()[i - 1].name), MarkupEntityTable()[i].name);
}

TEST(MarkupPrepare, LineFeedsAndTabsAreMarkupOrRemoved) {
  EXPECT_EQ("a<br>b<t>c", PrepareMarkup("a\r\nb\tc", true));
  EXPECT_EQ("abc", PrepareMarkup("a\r\nb\tc", false));
  EXPECT_EQ("ab", PrepareMarkup(std::string_view("ab\0cd", 5), true));
}

TEST(MarkupTokens, EscapedTagIsTextAndStartsNoBold) {
  const auto tokens = TokenizeMarkup(PrepareMarkup("&lt;b&gt;x", true));
  ASSERT_EQ(1u, tokens.size());
  EXPECT_EQ(MarkupToken::Text, tokens[0].type);
  EXPECT_EQ("<b>x", tokens[0].text);
  // "&amp;lt;" ends as a single less-than sign.
  const auto amp = TokenizeMarkup(PrepareMarkup("1 &amp;lt; 2", true));
  ASSERT_EQ(1u, amp.size());
  EXPECT_EQ("1 < 2", amp[0].text);
}

TEST(MarkupTokens, TagsClosingTagsAndAttributesWithAndWithoutQuotes) {
  const auto t = TokenizeMarkup("a<FONT color=red face=\"Times New Roman\" size='3' bold>b</font><br/>c<");
  ASSERT_EQ(6u, t.size());
  EXPECT_EQ("a", t[0].text);
  EXPECT_EQ(MarkupToken::Open, t[1].type);
  EXPECT_EQ("font", t[1].text);
  ASSERT_NE(nullptr, t[1].tag);
  EXPECT_EQ(MarkupTagKind::Font, t[1].tag->kind);
  ASSERT_EQ(4u, t[1].attributes.size());
  EXPECT_EQ("red", *t[1].Attr("color"));
  EXPECT_EQ("Times New Roman", *t[1].Attr("face"));
  EXPECT_EQ("3", *t[1].Attr("size"));
  EXPECT_FALSE(t[1].attributes[3].hasValue);
  EXPECT_EQ("bold", t[1].attributes[3].name);
  EXPECT_EQ(MarkupToken::Close, t[3].type);
  EXPECT_EQ("br", t[4].text);
  EXPECT_EQ("c<", t[5].text);  // a "<" without ">" stays text
}

TEST(MarkupTokens, LiteralLessThanUnknownTagsAndOddInput) {
  auto t = TokenizeMarkup("x<<y<zz a=1>z<>");
  ASSERT_EQ(3u, t.size());
  EXPECT_EQ("x<y", t[0].text);
  EXPECT_EQ(nullptr, t[1].tag);
  EXPECT_EQ("z<>", t[2].text);
  // The first ">" ends a tag, also inside an unfinished quote.
  t = TokenizeMarkup("<a href=\"unterminated>t");
  ASSERT_EQ(2u, t.size());
  EXPECT_EQ("unterminated", *t[0].Attr("href"));
  EXPECT_EQ("t", t[1].text);
}

TEST(MarkupTables, EveryTagHasItsKindAndSelector) {
  struct Case {
    const char* tag;
    MarkupTagKind kind;
    const char* selector;
  } cases[] = {
      {"b", MarkupTagKind::Bold, "bold"},
      {"em", MarkupTagKind::Italic, "italic"},
      {"u", MarkupTagKind::Underline, "underline"},
      {"strike", MarkupTagKind::Strike, "strikeout"},
      {"middle", MarkupTagKind::VAlign, "vcenter"},
      {"ilst", MarkupTagKind::ImageList, ""},
      {"h6", MarkupTagKind::Block, "h6"},
      {"sup", MarkupTagKind::Block, "sup"},
      {"span", MarkupTagKind::Span, "span"},
      {"a", MarkupTagKind::Link, "link"},
      {"td", MarkupTagKind::Cell, ""},
      {"string", MarkupTagKind::String, ""},
      {"justify", MarkupTagKind::HAlign, "justify"},
      {"t", MarkupTagKind::Tab, ""},
  };
  for (const auto& c : cases) {
    const MarkupTagDef* d = FindMarkupTag(c.tag);
    ASSERT_NE(nullptr, d) << c.tag;
    EXPECT_EQ(c.kind, d->kind) << c.tag;
    EXPECT_STREQ(c.selector, d->selector) << c.tag;
  }
  EXPECT_EQ(41u, MarkupTagTable().size());
  EXPECT_EQ(nullptr, FindMarkupTag("p"));
}

TEST(MarkupColours, WebOrderCNotationAndNames) {
  struct Case {
    const char* value;
    MarkupColour expected;
  } cases[] = {
      {"#00ff00", 0x00FF00},
      {"0x00ff00", 0x00FF00},
      {"#0000ff", 0xFF0000},
      {"0x0000ff", 0x0000FF},
      {"#FF9900", 0x0099FF},
      {"255", 0x0000FF},
      {"010", 8},
      {"0xFF0000", 0xFF0000},
      {"Red", 0x0000FF},
      {"darkseagreen", 0x8BBC8F},
      {"lightgrey", 0xD3D3D3},
      {"\"navy\"", 0x800000},
      {"windowtext", 0x080808},
      {"buttonface", 0x0F0F0F},
      {"scrollbar", 0},
      // Inherited: empty, unknown names, malformed web colours.
      {"", 0x123456},
      {"nosuch", 0x123456},
      {"#12345", 0x123456},
      {"#12345g", 0x123456},
      {"lightgray", 0x123456},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, ParseMarkupColour(c.value, 0x123456, kSys)) << c.value;
  EXPECT_EQ(0xFFFFFFu & ParseMarkupColour("99999999999999999999", 0, kSys),
            ParseMarkupColour("99999999999999999999", 0, kSys));
}

TEST(MarkupColours, TableHas140KeywordsAnd28SystemNames) {
  const auto& t = MarkupColourTable();
  ASSERT_EQ(168u, t.size());
  int system = 0;
  for (size_t i = 0; i < t.size(); ++i) {
    system += t[i].system;
    EXPECT_EQ(i >= 140, t[i].system) << t[i].name;
    for (size_t k = 0; k < i; ++k) ASSERT_STRNE(t[k].name, t[i].name);
  }
  EXPECT_EQ(28, system);
  EXPECT_STREQ("aqua", t[0].name);
  EXPECT_STREQ("yellowgreen", t[139].name);
  EXPECT_STREQ("windowtext", t[167].name);
}

TEST(MarkupLengths, UnitsPercentSignsAndFontSizes) {
  MarkupMetrics m;
  m.fontHeight = 20;
  m.xHeight = 8;
  m.pixelsPerInch = 96;
  struct Case {
    const char* value;
    double expected;
  } cases[] = {
      {"12px", 12},
      {"2em", 40},
      {"3ex", 24},
      {"1in", 96},
      {"2.54cm", 96 * 2.54 * 0.3937},
      {"10mm", 96 * 0.3937},
      {"72pt", 96},
      {"1pc", 16},
      {"50%", 50},
      {"-5px", 5},
      {"+7", 7},
      {"0x10", 16},
      {"1e999px", 1},
      {"99999999999999999999px", 1e6},
  };
  for (const auto& c : cases) {
    double v = -1;
    ASSERT_TRUE(ParseMarkupLength(c.value, 100, m, v)) << c.value;
    EXPECT_NEAR(c.expected, v, 1e-6) << c.value;
  }
  double v = 0;
  EXPECT_FALSE(ParseMarkupLength("px", 1, m, v));
  EXPECT_FALSE(ParseMarkupLength("", 1, m, v));
  const double sizes[7] = {8, 10, 12, 14, 18, 24, 36};
  for (int i = 1; i <= 7; ++i) {
    ASSERT_TRUE(ParseMarkupFontSize(std::to_string(i), 10, m, v));
    EXPECT_EQ(sizes[i - 1], v) << i;
  }
  ASSERT_TRUE(ParseMarkupFontSize("65%", 10, m, v));
  EXPECT_NEAR(6.5, v, 1e-9);
  ASSERT_TRUE(ParseMarkupFontSize("16px", 10, m, v));
  EXPECT_NEAR(12, v, 1e-9);
  ASSERT_TRUE(ParseMarkupFontSize("-11pt", 10, m, v));
  EXPECT_NEAR(11, v, 1e-9);
}

TEST(MarkupEffects, NamesAndNumbers) {
  EXPECT_EQ(-1, ParseMarkupEffect("transparent", 9));
  EXPECT_EQ(0, ParseMarkupEffect("SOLID", 9));
  EXPECT_EQ(6, ParseMarkupEffect("3vgradient", 9));
  EXPECT_EQ(15, ParseMarkupEffect("metal", 9));
  EXPECT_EQ(12, ParseMarkupEffect("12", 9));
  EXPECT_EQ(9, ParseMarkupEffect("sparkle", 9));
}

TEST(MarkupStyleSheet, DefaultSheetParsesToItsValues) {
  MarkupStyleSheet sheet;
  ASSERT_EQ(17u, sheet.Size());
  ASSERT_NE(nullptr, sheet.Find("H2"));
  EXPECT_EQ("font-size: 13pt; color:#ff9900; font-family:Verdana; font-weight:bold", *sheet.Find("h2"));
  MarkupMetrics m;
  struct Case {
    const char* selector;
    double pt;
    MarkupColour colour;
    const char* face;
    int weight;
  } cases[] = {
      {"body", 10, 0x000000, "Verdana", 400}, {"p", 10, 0x000000, "Verdana", 700},
      {"h1", 14, 0x000000, "Verdana", 700},   {"h2", 13, 0x0099FF, "Verdana", 700},
      {"h3", 12, 0x0099FF, "Arial", 700},     {"h4", 10, 0x000000, "Verdana", 700},
      {"h5", 9, 0x0099FF, "Verdana", 700},    {"h6", 6.5, 0x626262, "Verdana", 400},
      {"pre", 9, 0x111111, "Courier", 400},   {"code", 10, 0x000099, "Arial", 400},
      {"big", 12.5, 0x111111, "Face", 400},   {"small", 7.5, 0x111111, "Face", 400},
  };
  for (const auto& c : cases) {
    MarkupStyle s;
    s.sizePt = 10;
    s.colour = 0x111111;
    s.face = c.face[0] == 'F' ? "Face" : s.face;
    ApplyMarkupProperties(s, *sheet.Find(c.selector), m, kSys);
    EXPECT_NEAR(c.pt, s.sizePt, 1e-9) << c.selector;
    EXPECT_EQ(c.colour, s.colour) << c.selector;
    EXPECT_EQ(c.face, s.face) << c.selector;
    EXPECT_EQ(c.weight, s.weight) << c.selector;
  }
  MarkupStyle s;
  ApplyMarkupProperties(s, *sheet.Find("pre"), m, kSys);
  EXPECT_EQ(0xBBEDFBu, s.background);
  s = MarkupStyle();
  ApplyMarkupProperties(s, *sheet.Find("a:hover"), m, kSys);
  EXPECT_TRUE(s.underline);
  EXPECT_EQ(0xFF0000u, s.colour);
  s.underline = true;
  ApplyMarkupProperties(s, *sheet.Find("a:link"), m, kSys);
  EXPECT_FALSE(s.underline);
  ApplyMarkupProperties(s, *sheet.Find("sub"), m, kSys);
  EXPECT_EQ(MarkupVAlign::Bottom, s.valign);
  ApplyMarkupProperties(s, *sheet.Find(".cpp-comment"), m, kSys);
  EXPECT_TRUE(s.italic);
  EXPECT_EQ(0x008000u, s.colour);
}

TEST(MarkupStyleSheet, AddReplacesSelectorsAndSurvivesBrokenSheets) {
  MarkupStyleSheet sheet;
  EXPECT_EQ(3, sheet.Add(" /* note */ .warn {color:red}  h1, h2 {color:lime} "));
  EXPECT_EQ("color:red", *sheet.Find(".warn"));
  EXPECT_EQ("color:lime", *sheet.Find("h1"));
  EXPECT_EQ(18u, sheet.Size());
  EXPECT_EQ(1, sheet.Add("x {color:blue"));  // runs to the end
  EXPECT_EQ("color:blue", *sheet.Find("x"));
  EXPECT_EQ(0, sheet.Add("}}}{;:"));
  EXPECT_EQ(nullptr, sheet.Find("nothing"));
}

TEST(MarkupStyleProperties, EveryPropertyAndBadValues) {
  MarkupMetrics m;
  MarkupStyle s;
  ApplyMarkupProperties(s,
                        "font-style:oblique; font-weight:bolder; text-align:right; text-transform:capitalize;"
                        "background-color:transparent; text-decoration:line-through; vertical-align:middle;"
                        "border-color:#010203; border-width:thick; border-style:dashed; margin:4px; padding:2px;"
                        "font-size:xx; color:; unknown:1; :novalue; justname",
                        m, kSys);
  EXPECT_TRUE(s.italic);
  EXPECT_EQ(700, s.weight);
  EXPECT_EQ(MarkupAlign::Right, s.align);
  EXPECT_EQ(MarkupTransform::Capitalize, s.transform);
  EXPECT_EQ(kMarkupNoColour, s.background);
  EXPECT_TRUE(s.strike);
  EXPECT_EQ(MarkupVAlign::VCenter, s.valign);
  EXPECT_EQ(0x030201u, s.borderColour);
  EXPECT_EQ(5, s.borderWidth);
  EXPECT_EQ(3, s.borderStyle);
  EXPECT_EQ(4, s.margin);
  EXPECT_EQ(2, s.padding);
  EXPECT_EQ(10, s.sizePt);
  EXPECT_EQ(0u, s.colour);
  ApplyMarkupProperties(s, "font-weight:lighter; font-weight: 99999999999", m, kSys);
  EXPECT_EQ(1000, s.weight);
}

TEST(MarkupWrap, CutsAfterTheLastBreakCharacterThatFits) {
  struct Case {
    const char* run;
    int width;
    bool startsLine;
    size_t expected;
  } cases[] = {
      {"hello world", 100, false, 11},  // fits whole
      {"hello world", 60, false, 6},    // "hello " stays, the blank with it
      {"one,two.three", 48, true, 8},   // after the full stop
      {"a-b", 12, false, 2},
      {"(x)y", 18, false, 3},
      {"longword", 30, true, 5},    // starts the line: cut inside
      {"longword", 30, false, 0},   // does not start the line: next line
      {"x", 0, true, 1},            // always progress
      {"ab cdefgh", 12, false, 0},  // "ab " needs 18
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.expected, FitMarkupRun(c.run, FixedPrefix(c.run, 6), c.width, c.startsLine)) << c.run << " " << c.width;
  for (char c : std::string(" -.,!:;)}]?")) EXPECT_TRUE(IsMarkupBreakChar(c)) << c;
  EXPECT_FALSE(IsMarkupBreakChar('a'));
  EXPECT_FALSE(IsMarkupBreakChar('\0'));
}

TEST(MarkupLinks, HtmCommandCutBeforeThePlaceholder) {
  EXPECT_EQ("\"C:\\b.exe\" -nohome http://x", MarkupHtmCommand("\"C:\\b.exe\" -nohome \"%1\"", "http://x"));
  EXPECT_EQ("b.exe -url http://x", MarkupHtmCommand("b.exe -url %1", "http://x"));
  EXPECT_EQ("b.exe http://x", MarkupHtmCommand("b.exe", "http://x"));
}

}  // namespace
