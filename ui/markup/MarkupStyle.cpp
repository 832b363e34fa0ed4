#include "ui/markup/MarkupStyle.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace {

bool IsStyleSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

const std::vector<MarkupColourName> kColours = {
    {"aqua", 0x00ffff00, false},
    {"black", 0x00000000, false},
    {"blue", 0x00ff0000, false},
    {"brown", 0x002a2aa5, false},
    {"cyan", 0x00ffff00, false},
    {"gold", 0x0000d7ff, false},
    {"gray", 0x00808080, false},
    {"green", 0x00008000, false},
    {"magenta", 0x00ff00ff, false},
    {"maroon", 0x00000080, false},
    {"navy", 0x00800000, false},
    {"olive", 0x00008080, false},
    {"orange", 0x0000a5ff, false},
    {"pink", 0x00cbc0ff, false},
    {"purple", 0x00800080, false},
    {"red", 0x000000ff, false},
    {"silver", 0x00c0c0c0, false},
    {"snow", 0x00fafaff, false},
    {"violet", 0x00ee82ee, false},
    {"white", 0x00ffffff, false},
    {"yellow", 0x0000ffff, false},
    {"aliceblue", 0x00fff8f0, false},
    {"antiquewhite", 0x00d7ebfa, false},
    {"aquamarine", 0x00d4ff7f, false},
    {"azure", 0x00fffff0, false},
    {"beige", 0x00dcf5f5, false},
    {"bisque", 0x00c4e4ff, false},
    {"blanchedalmond", 0x00cdebff, false},
    {"blueviolet", 0x00e22b8a, false},
    {"burlywood", 0x0087b8de, false},
    {"cadetblue", 0x00a09e5f, false},
    {"chartreuse", 0x0000ff7f, false},
    {"chocolate", 0x001e69d2, false},
    {"coral", 0x00507fff, false},
    {"cornflowerblue", 0x00ed9564, false},
    {"cornsilk", 0x00dcf8ff, false},
    {"crimson", 0x003c14dc, false},
    {"darkblue", 0x008b0000, false},
    {"darkcyan", 0x008b8b00, false},
    {"darkgoldenrod", 0x000b86b8, false},
    {"darkgray", 0x00a9a9a9, false},
    {"darkgreen", 0x00006400, false},
    {"darkkhaki", 0x006bb7bd, false},
    {"darkmagenta", 0x008b008b, false},
    {"darkolivegreen", 0x002f6b55, false},
    {"darkorange", 0x00008cff, false},
    {"darkorchid", 0x00cc3299, false},
    {"darkred", 0x0000008b, false},
    {"darksalmon", 0x007a96e9, false},
    {"darkseagreen", 0x008bbc8f, false},
    {"darkslateblue", 0x008b3d48, false},
    {"darkslategray", 0x004f4f2f, false},
    {"darkturquoise", 0x00d1ce00, false},
    {"darkviolet", 0x00d30094, false},
    {"deeppink", 0x009314ff, false},
    {"deepskyblue", 0x00ffbf00, false},
    {"dimgray", 0x00696969, false},
    {"dodgerblue", 0x00ff901e, false},
    {"firebrick", 0x002222b2, false},
    {"floralwhite", 0x00f0faff, false},
    {"forestgreen", 0x00228b22, false},
    {"fuchsia", 0x00ff00ff, false},
    {"gainsboro", 0x00dcdcdc, false},
    {"ghostwhite", 0x00fff8f8, false},
    {"goldenrod", 0x0020a5da, false},
    {"greenyellow", 0x002fffad, false},
    {"honeydew", 0x00f0fff0, false},
    {"hotpink", 0x00b469ff, false},
    {"indianred", 0x005c5ccd, false},
    {"indigo", 0x0082004b, false},
    {"ivory", 0x00f0ffff, false},
    {"khaki", 0x008ce6f0, false},
    {"lavender", 0x00fae6e6, false},
    {"lavenderblush", 0x00f5f0ff, false},
    {"lawngreen", 0x0000fc7c, false},
    {"lemonchiffon", 0x00cdfaff, false},
    {"lightblue", 0x00e6d8ad, false},
    {"lightcoral", 0x008080f0, false},
    {"lightcyan", 0x00ffffe0, false},
    {"lightgoldenrodyellow", 0x00d2fafa, false},
    {"lightgreen", 0x0090ee90, false},
    {"lightgrey", 0x00d3d3d3, false},
    {"lightpink", 0x00c1b6ff, false},
    {"lightsalmon", 0x007aa0ff, false},
    {"lightseagreen", 0x00aab220, false},
    {"lightskyblue", 0x00face87, false},
    {"lightslategray", 0x00998877, false},
    {"lightsteelblue", 0x00dec4b0, false},
    {"lightyellow", 0x00e0ffff, false},
    {"lime", 0x0000ff00, false},
    {"limegreen", 0x0032cd32, false},
    {"linen", 0x00e6f0fa, false},
    {"mediumaquamarine", 0x00aacd66, false},
    {"mediumblue", 0x00cd0000, false},
    {"mediumorchid", 0x00d355ba, false},
    {"mediumpurple", 0x00db7093, false},
    {"mediumseagreen", 0x0071b33c, false},
    {"mediumslateblue", 0x00ee687b, false},
    {"mediumspringgreen", 0x009afa00, false},
    {"mediumturquoise", 0x00ccd148, false},
    {"mediumvioletred", 0x008515c7, false},
    {"midnightblue", 0x00701919, false},
    {"mintcream", 0x00fafff5, false},
    {"mistyrose", 0x00e1e4ff, false},
    {"moccasin", 0x00b5e4ff, false},
    {"navajowhite", 0x00addeff, false},
    {"oldlace", 0x00e6f5fd, false},
    {"olivedrab", 0x00238e6b, false},
    {"orangered", 0x000045ff, false},
    {"orchid", 0x00d670da, false},
    {"palegoldenrod", 0x00aae8ee, false},
    {"palegreen", 0x0098fb98, false},
    {"paleturquoise", 0x00eeeeaf, false},
    {"palevioletred", 0x009370db, false},
    {"papayawhip", 0x00d5efff, false},
    {"peachpuff", 0x00b9daff, false},
    {"peru", 0x003f85cd, false},
    {"plum", 0x00dda0dd, false},
    {"powderblue", 0x00e6e0b0, false},
    {"rosybrown", 0x008f8fbc, false},
    {"royalblue", 0x00e16941, false},
    {"saddlebrown", 0x0013458b, false},
    {"salmon", 0x007280fa, false},
    {"sandybrown", 0x0060a4f4, false},
    {"seagreen", 0x00578b2e, false},
    {"seashell", 0x00eef5ff, false},
    {"sienna", 0x002d52a0, false},
    {"skyblue", 0x00ebce87, false},
    {"slateblue", 0x00cd5a6a, false},
    {"slategray", 0x00908070, false},
    {"springgreen", 0x007fff00, false},
    {"steelblue", 0x00b48246, false},
    {"tan", 0x008cb4d2, false},
    {"teal", 0x00808000, false},
    {"thistle", 0x00d8bfd8, false},
    {"tomato", 0x004763ff, false},
    {"turquoise", 0x00d0e040, false},
    {"wheat", 0x00b3def5, false},
    {"whitesmoke", 0x00f5f5f5, false},
    {"yellowgreen", 0x0032cd9a, false},
    {"activeborder", 10, true},
    {"activecaption", 2, true},
    {"appworkspace", 12, true},
    {"background", 1, true},
    {"buttonface", 15, true},
    {"buttonhighlight", 20, true},
    {"buttonshadow", 16, true},
    {"buttontext", 18, true},
    {"captiontext", 9, true},
    {"graytext", 17, true},
    {"highlight", 13, true},
    {"highlighttext", 14, true},
    {"inactiveborder", 11, true},
    {"inactivecaption", 3, true},
    {"inactivecaptiontext", 19, true},
    {"infobackground", 24, true},
    {"infotext", 23, true},
    {"menu", 4, true},
    {"menutext", 7, true},
    {"scrollbar", 0, true},
    {"threeddarkshadow", 21, true},
    {"threedface", 15, true},
    {"threedhighlight", 20, true},
    {"threedlightshadow", 22, true},
    {"threedshadow", 16, true},
    {"window", 5, true},
    {"windowframe", 6, true},
    {"windowtext", 8, true},
};

// Points of the HTML font sizes 1 to 7.
const int kSizePoints[7] = {8, 10, 12, 14, 18, 24, 36};

struct Effect {
  const char* name;
  int value;
};
const Effect kEffects[] = {
    {"transparent", -1}, {"solid", 0},      {"hgradient", 1}, {"vgradient", 2}, {"hcgradient", 3}, {"vcgradient", 4},
    {"3hgradient", 5},   {"3vgradient", 6}, {"noise", 7},     {"diagshade", 8}, {"hshade", 9},     {"vshade", 10},
    {"hbump", 11},       {"vbump", 12},     {"softbump", 13}, {"hardbump", 14}, {"metal", 15},
};

// Numbers in the mark-up come from outside: keep them in a range where the
// conversions to int stay defined.
constexpr double kMaxNumber = 1e6;

double Clamp(double v) { return std::max(-kMaxNumber, std::min(kMaxNumber, v)); }

}  // namespace

std::string MarkupLower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

std::string_view MarkupTrim(std::string_view s) {
  while (!s.empty() && IsStyleSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsStyleSpace(s.back())) s.remove_suffix(1);
  return s;
}

const std::vector<MarkupColourName>& MarkupColourTable() { return kColours; }

bool ParseCNumber(std::string_view text, double& value) {
  size_t i = 0;
  double v = 0;
  bool any = false;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    i = 2;
    for (; i < text.size() && HexDigit(text[i]) >= 0; ++i) {
      v = std::min(v * 16 + HexDigit(text[i]), 1e18);
      any = true;
    }
    if (!any) {  // "0x" alone is the number 0 followed by text
      value = 0;
      return true;
    }
  } else if (!text.empty() && text[0] == '0') {
    any = true;
    for (i = 1; i < text.size() && text[i] >= '0' && text[i] <= '7'; ++i) v = std::min(v * 8 + (text[i] - '0'), 1e18);
    // A decimal fraction after a zero ("0.5in") is still decimal.
    if (i < text.size() && (text[i] == '.' || IsDigit(text[i]))) {
      v = 0;
      i = 0;
      any = false;
    }
  }
  if (!any) {
    for (; i < text.size() && IsDigit(text[i]); ++i) {
      v = std::min(v * 10 + (text[i] - '0'), 1e18);
      any = true;
    }
    if (i < text.size() && text[i] == '.') {
      double scale = 0.1;
      for (++i; i < text.size() && IsDigit(text[i]); ++i, scale /= 10) {
        v += (text[i] - '0') * scale;
        any = true;
      }
    }
  }
  if (any) value = v;
  return any;
}

MarkupColour ParseMarkupColour(std::string_view value, MarkupColour inherited, const SystemColourFn& sys) {
  value = MarkupTrim(value);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = MarkupTrim(value.substr(1, value.size() - 2));
  if (value.empty()) return inherited;
  if (value[0] == '#') {
    if (value.size() != 7) return inherited;
    uint32_t rgb = 0;
    for (size_t i = 1; i < 7; ++i) {
      const int h = HexDigit(value[i]);
      if (h < 0) return inherited;
      rgb = rgb << 4 | static_cast<uint32_t>(h);
    }
    return (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
  }
  if (IsDigit(value[0])) {
    double v = 0;
    if (!ParseCNumber(value, v)) return inherited;
    return static_cast<MarkupColour>(std::fmod(v, 16777216.0));
  }
  const std::string name = MarkupLower(value);
  for (const auto& c : kColours) {
    if (name != c.name) continue;
    if (!c.system) return c.value;
    return sys ? sys(static_cast<int>(c.value)) & 0xFFFFFF : inherited;
  }
  return inherited;
}

bool ParseMarkupLength(std::string_view value, double inherited, const MarkupMetrics& m, double& out) {
  value = MarkupTrim(value);
  if (!value.empty() && (value[0] == '+' || value[0] == '-')) value.remove_prefix(1);
  double n = 0;
  if (!ParseCNumber(value, n)) return false;
  n = Clamp(n);
  if (!value.empty() && value.back() == '%') {
    out = Clamp(inherited * n / 100.0);
    return true;
  }
  const std::string unit = value.size() >= 2 ? MarkupLower(value.substr(value.size() - 2)) : std::string();
  const double ppi = m.pixelsPerInch > 0 ? m.pixelsPerInch : 96;
  if (unit == "px")
    out = n;
  else if (unit == "ex")
    out = n * m.xHeight;
  else if (unit == "em")
    out = n * m.fontHeight;
  else if (unit == "in")
    out = n * ppi;
  else if (unit == "cm")
    out = n * ppi * 0.3937;
  else if (unit == "mm")
    out = n * ppi * 0.03937;
  else if (unit == "pt")
    out = n * ppi / 72.0;
  else if (unit == "pc")
    out = n * ppi / 6.0;
  else
    out = n;
  out = Clamp(out);
  return true;
}

bool ParseMarkupFontSize(std::string_view value, double inheritedPt, const MarkupMetrics& m, double& outPt) {
  std::string_view v = MarkupTrim(value);
  if (!v.empty() && (v[0] == '+' || v[0] == '-')) v.remove_prefix(1);
  if (v.size() == 1 && v[0] >= '1' && v[0] <= '7') {
    outPt = kSizePoints[v[0] - '1'];
    return true;
  }
  if (!v.empty() && v.back() == '%') {
    double px = 0;
    if (!ParseMarkupLength(v, inheritedPt, m, px)) return false;
    outPt = px;
    return true;
  }
  double px = 0;
  if (!ParseMarkupLength(v, inheritedPt, m, px)) return false;
  const std::string unit = v.size() >= 2 ? MarkupLower(v.substr(v.size() - 2)) : std::string();
  const bool hasUnit = unit == "px" || unit == "ex" || unit == "em" || unit == "in" || unit == "cm" || unit == "mm" ||
                       unit == "pt" || unit == "pc";
  const double ppi = m.pixelsPerInch > 0 ? m.pixelsPerInch : 96;
  // Units give pixels; a plain number is already a point size.
  outPt = hasUnit ? px * 72.0 / ppi : px;
  return true;
}

int ParseMarkupEffect(std::string_view value, int def) {
  value = MarkupTrim(value);
  const std::string name = MarkupLower(value);
  for (const auto& e : kEffects)
    if (name == e.name) return e.value;
  double n = 0;
  if (!value.empty() && (IsDigit(value[0]) || value[0] == '-')) {
    const bool neg = value[0] == '-';
    if (ParseCNumber(neg ? value.substr(1) : value, n)) return static_cast<int>(Clamp(neg ? -n : n));
  }
  return def;
}

std::vector<MarkupProperty> ParseMarkupProperties(std::string_view text) {
  std::vector<MarkupProperty> props;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find(';', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view item = text.substr(pos, end - pos);
    pos = end + 1;
    const size_t colon = item.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view name = MarkupTrim(item.substr(0, colon));
    std::string_view val = MarkupTrim(item.substr(colon + 1));
    if (val.size() >= 2 && (val.front() == '"' || val.front() == '\'') && val.back() == val.front())
      val = val.substr(1, val.size() - 2);
    if (name.empty()) continue;
    props.emplace_back(MarkupLower(name), std::string(val));
  }
  return props;
}

void ApplyMarkupProperties(MarkupStyle& s, std::string_view properties, const MarkupMetrics& m,
                           const SystemColourFn& sys) {
  for (const auto& [name, value] : ParseMarkupProperties(properties)) {
    const std::string v = MarkupLower(value);
    if (name == "font-size") {
      double pt = s.sizePt;
      if (ParseMarkupFontSize(value, s.sizePt, m, pt) && pt >= 1) s.sizePt = std::min(pt, 500.0);
    } else if (name == "font-family") {
      if (!value.empty()) s.face = value.substr(0, 31);
    } else if (name == "font-style") {
      if (v == "normal")
        s.italic = false;
      else if (v == "italic" || v == "oblique")
        s.italic = true;
    } else if (name == "font-weight") {
      double w = 0;
      if (v == "normal")
        s.weight = 400;
      else if (v == "bold")
        s.weight = 700;
      else if (v == "bolder")
        s.weight = std::min(900, s.weight + 300);
      else if (v == "lighter")
        s.weight = std::max(100, s.weight - 300);
      else if (ParseCNumber(v, w))
        s.weight = static_cast<int>(std::max(0.0, std::min(w, 1000.0)));
    } else if (name == "text-align") {
      if (v == "left")
        s.align = MarkupAlign::Left;
      else if (v == "center")
        s.align = MarkupAlign::Center;
      else if (v == "right")
        s.align = MarkupAlign::Right;
      else if (v == "justify")
        s.align = MarkupAlign::Justify;
    } else if (name == "text-transform") {
      if (v == "none")
        s.transform = MarkupTransform::None;
      else if (v == "uppercase")
        s.transform = MarkupTransform::Upper;
      else if (v == "lowercase")
        s.transform = MarkupTransform::Lower;
      else if (v == "capitalize")
        s.transform = MarkupTransform::Capitalize;
    } else if (name == "color") {
      s.colour = ParseMarkupColour(value, s.colour, sys);
    } else if (name == "background-color") {
      s.background = v == "transparent" ? kMarkupNoColour : ParseMarkupColour(value, s.background, sys);
    } else if (name == "text-decoration") {
      if (v == "none")
        s.underline = s.strike = s.overline = false;
      else if (v == "underline")
        s.underline = true;
      else if (v == "line-through")
        s.strike = true;
      else if (v == "overline")
        s.overline = true;
    } else if (name == "vertical-align") {
      if (v == "baseline")
        s.valign = MarkupVAlign::Baseline;
      else if (v == "middle" || v == "vcenter")
        s.valign = MarkupVAlign::VCenter;
      else if (v == "top")
        s.valign = MarkupVAlign::Top;
      else if (v == "bottom")
        s.valign = MarkupVAlign::Bottom;
    } else if (name == "border-color") {
      s.borderColour = ParseMarkupColour(value, s.borderColour, sys);
    } else if (name == "border-width") {
      double px = 0;
      if (v == "thin")
        s.borderWidth = 1;
      else if (v == "medium")
        s.borderWidth = 3;
      else if (v == "thick")
        s.borderWidth = 5;
      else if (ParseMarkupLength(value, s.borderWidth, m, px))
        s.borderWidth = static_cast<int>(std::min(px, 100.0));
    } else if (name == "border-style") {
      static const char* const styles[] = {"none", "solid", "dotted", "dashed", "double"};
      for (int i = 0; i < 5; ++i)
        if (v == styles[i]) s.borderStyle = i;
    } else if (name == "margin" || name == "padding") {
      double px = 0;
      if (ParseMarkupLength(value, 0, m, px))
        (name == "margin" ? s.margin : s.padding) = static_cast<int>(std::min(px, 1000.0));
    }
  }
}

const char* const MarkupStyleSheet::kDefaultSheet[] = {
    "body {font-size: 10pt; color:black; font-family:Verdana}",
    "p {font-size: 10pt; color:black; font-family:Verdana; font-weight:bold}",
    "h1 {font-size: 14pt; color:black; font-family:Verdana; font-weight:bold}",
    "h2 {font-size: 13pt; color:#ff9900; font-family:Verdana; font-weight:bold}",
    "h3 {font-size: 12pt; color:#ff9900; font-family:Arial; font-weight:bold}",
    "h4 {font-size: 10pt; color:black; font-family:Verdana; font-weight:bold}",
    "h5 {font-size: 9pt; color:#ff9900; font-family:Verdana; font-weight:bold}",
    "h6 {font-size: 65%; color:#626262; font-family:Verdana; font-weight:normal}",
    "pre {font-size: 9pt; font-family:\"Courier\"; background-color:#fbedbb}",
    "code {color:#990000; font-family:Arial}",
    "a:link {text-decoration:none; color:blue}",
    "a:hover {text-decoration:underline; color:blue}",
    "sub {font-size:65%; vertical-align:bottom}",
    "sup {font-size:65%; vertical-align:top}",
    "big {font-size:125%}",
    "small {font-size:75%}",
    ".cpp-comment {color:green; font-style:italic}",
};
const size_t MarkupStyleSheet::kDefaultSheetLines = sizeof kDefaultSheet / sizeof kDefaultSheet[0];

MarkupStyleSheet::MarkupStyleSheet() {
  for (size_t i = 0; i < kDefaultSheetLines; ++i) Add(kDefaultSheet[i]);
}

int MarkupStyleSheet::Add(std::string_view sheet) {
  int count = 0;
  size_t pos = 0;
  while (pos < sheet.size()) {
    // Comments are skipped wherever they stand.
    const size_t open = sheet.find('{', pos);
    if (open == std::string_view::npos) break;
    std::string_view head = sheet.substr(pos, open - pos);
    // Stray closing braces before a selector belong to nothing.
    if (const size_t stray = head.rfind('}'); stray != std::string_view::npos) head.remove_prefix(stray + 1);
    std::string selector(MarkupTrim(head));
    for (size_t c; (c = selector.find("/*")) != std::string::npos;) {
      const size_t e = selector.find("*/", c + 2);
      selector.erase(c, e == std::string::npos ? std::string::npos : e + 2 - c);
    }
    size_t close = sheet.find('}', open + 1);
    if (close == std::string_view::npos) close = sheet.size();
    const std::string_view body = sheet.substr(open + 1, close - open - 1);
    pos = close + 1;
    const std::string_view sel = MarkupTrim(selector);
    if (sel.empty()) continue;
    // "h1, h2 {...}" sets each selector of the list.
    size_t start = 0;
    while (start <= sel.size()) {
      size_t comma = sel.find(',', start);
      if (comma == std::string_view::npos) comma = sel.size();
      const std::string_view one = MarkupTrim(sel.substr(start, comma - start));
      if (!one.empty()) {
        Set(one, MarkupTrim(body));
        ++count;
      }
      start = comma + 1;
    }
  }
  return count;
}

void MarkupStyleSheet::Set(std::string_view selector, std::string_view properties) {
  const std::string key = MarkupLower(selector);
  for (auto& e : entries_)
    if (e.first == key) {
      e.second = std::string(properties);
      return;
    }
  entries_.emplace_back(key, std::string(properties));
}

const std::string* MarkupStyleSheet::Find(std::string_view selector) const {
  const std::string key = MarkupLower(selector);
  for (const auto& e : entries_)
    if (e.first == key) return &e.second;
  return nullptr;
}
