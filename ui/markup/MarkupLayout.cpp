#include "ui/markup/MarkupLayout.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

// Measures are clamped so that sums of many of them stay in int.
constexpr int kMaxExtent = 1 << 20;
int ClampExtent(double v) { return static_cast<int>(std::max(0.0, std::min(v, double(kMaxExtent)))); }

// One entry of the style stack: the tag that opened it and the state it set.
struct Frame {
  std::string tag;
  MarkupStyle style;
  int link = -1;
  int linkKind = 1;
  std::string target;
};

// A piece of a line before the line's height and alignment are known.
struct Piece {
  MarkupItem item;  // Text or Image, x relative to the flow's origin
  int ascent = 0;
  MarkupVAlign valign = MarkupVAlign::Baseline;
  MarkupColour background = kMarkupNoColour;
  int linkKind = 1;
  std::string target;
};

struct LineRecord {
  size_t items0, items1, links0, links1;
  int width;
  MarkupAlign align;
};

class Layouter {
 public:
  Layouter(const MarkupStyleSheet& sheet, const MarkupLayoutOptions& o, IMarkupHost& host)
      : sheet_(sheet), opt_(o), host_(host) {
    metrics_.pixelsPerInch = std::max(1, host.PixelsPerInch());
    sys_ = [this](int i) { return host_.SystemColour(i); };
  }

  void Load(std::string_view text) {
    tokens_.clear();
    Append(text, 0);
    // Link numbers follow the text order of the "<a>" tags.
    linkOf_.assign(tokens_.size(), -1);
    int next = 0;
    for (size_t i = 0; i < tokens_.size(); ++i)
      if (tokens_[i].type == MarkupToken::Open && tokens_[i].tag && tokens_[i].tag->kind == MarkupTagKind::Link)
        linkOf_[i] = next++;
  }

  MarkupLayout Run() {
    MarkupLayout out;
    MarkupStyle base;
    Frame f;
    f.style = base;
    int used = 0;
    // The text is laid out as if enclosed in <body> ... </body>.
    ApplySelector(f.style, "body");
    const int h = Flow(0, tokens_.size(), 0, 0, opt_.maxWidth, f, MarkupAlign::Left, 0, out, used);
    out.width = used;
    out.height = h;
    return out;
  }

 private:
  // Tokenizes a prepared text; "<string>" tags are replaced by their text.
  void Append(std::string_view text, int depth) {
    for (auto& t : TokenizeMarkup(PrepareMarkup(text, opt_.linesAreMarkup))) {
      if (tokens_.size() >= kMarkupMaxTokens) return;
      if (t.type == MarkupToken::Open && t.tag && t.tag->kind == MarkupTagKind::String) {
        if (depth >= kMarkupMaxStringDepth) continue;
        const std::string* id = t.Attr("idres");
        if (!id) id = t.Attr("id");
        double n = 0;
        if (id && ParseCNumber(MarkupTrim(*id), n) && n < 65536) Append(host_.StringResource(unsigned(n)), depth + 1);
        continue;
      }
      tokens_.push_back(std::move(t));
    }
  }

  void ApplySelector(MarkupStyle& s, std::string_view selector) {
    if (selector.empty()) return;
    if (const std::string* p = sheet_.Find(selector)) Apply(s, *p);
  }
  void Apply(MarkupStyle& s, std::string_view props) {
    metrics_.fontHeight = FontPixels(s);
    metrics_.xHeight = metrics_.fontHeight / 2;
    ApplyMarkupProperties(s, props, metrics_, sys_);
  }
  int FontPixels(const MarkupStyle& s) const {
    return std::max(1, static_cast<int>(std::lround(s.sizePt * metrics_.pixelsPerInch / 72.0)));
  }
  MarkupFont FontOf(const MarkupStyle& s) const {
    MarkupFont f;
    f.face = s.face;
    f.height = std::min(FontPixels(s), 2000);
    f.weight = s.weight;
    f.italic = s.italic;
    f.underline = s.underline;
    f.strike = s.strike;
    return f;
  }
  static int FontIndex(MarkupLayout& out, const MarkupFont& f) {
    for (size_t i = 0; i < out.fonts.size(); ++i)
      if (out.fonts[i] == f) return static_cast<int>(i);
    out.fonts.push_back(f);
    return static_cast<int>(out.fonts.size() - 1);
  }
  std::string Transform(std::string text, MarkupTransform t, bool& wordStart) const {
    for (char& c : text) {
      const unsigned char u = static_cast<unsigned char>(c);
      if (t == MarkupTransform::Upper || (t == MarkupTransform::Capitalize && wordStart))
        c = static_cast<char>(std::toupper(u));
      else if (t == MarkupTransform::Lower)
        c = static_cast<char>(std::tolower(u));
      wordStart = c == ' ';
    }
    return text;
  }

  // Applies an opening tag to a new frame; false when the tag is not one
  // that changes the style.
  bool OpenFrame(const MarkupToken& t, size_t index, Frame& f) {
    MarkupStyle& s = f.style;
    const MarkupTagDef& def = *t.tag;
    switch (def.kind) {
      case MarkupTagKind::Bold: s.weight = 700; break;
      case MarkupTagKind::Italic: s.italic = true; break;
      case MarkupTagKind::Underline: s.underline = true; break;
      case MarkupTagKind::Strike: s.strike = true; break;
      case MarkupTagKind::HAlign:
        s.align = def.selector[0] == 'c'   ? MarkupAlign::Center
                  : def.selector[0] == 'r' ? MarkupAlign::Right
                  : def.selector[0] == 'j' ? MarkupAlign::Justify
                                           : MarkupAlign::Left;
        break;
      case MarkupTagKind::VAlign:
        s.valign = def.selector[0] == 't'                             ? MarkupVAlign::Top
                   : def.selector[0] == 'v'                           ? MarkupVAlign::VCenter
                   : def.selector[0] == 'b' && def.selector[1] == 'o' ? MarkupVAlign::Bottom
                                                                      : MarkupVAlign::Baseline;
        break;
      case MarkupTagKind::Font:
      case MarkupTagKind::Block:
      case MarkupTagKind::Span: break;
      case MarkupTagKind::Link: {
        f.link = linkOf_[index];
        if (const std::string* href = t.Attr("href")) {
          f.linkKind = 1;
          f.target = *href;
        } else if (const std::string* msg = t.Attr("msg")) {
          f.linkKind = 2;
          f.target = *msg;
        } else {
          f.linkKind = 1;
          f.target.clear();
        }
        break;
      }
      default: return false;
    }
    ApplySelector(s, def.selector);
    if (def.kind == MarkupTagKind::Link) ApplySelector(s, f.link == opt_.hoverLink ? "a:hover" : "a:link");
    if (const std::string* cls = t.Attr("class"); cls && !cls->empty()) ApplySelector(s, "." + *cls);
    if (def.kind == MarkupTagKind::Font) {
      if (const std::string* v = t.Attr("face"); v && !v->empty()) s.face = v->substr(0, 31);
      if (const std::string* v = t.Attr("size")) {
        double pt = s.sizePt;
        if (ParseMarkupFontSize(*v, s.sizePt, metrics_, pt) && pt >= 1) s.sizePt = std::min(pt, 500.0);
      }
      if (const std::string* v = t.Attr("color")) s.colour = ParseMarkupColour(*v, s.colour, sys_);
      if (const std::string* v = t.Attr("weight")) Apply(s, "font-weight:" + *v);
      if (const std::string* v = t.Attr("style")) {
        if (v->find(':') != std::string::npos)
          Apply(s, *v);
        else
          Apply(s, "font-style:" + *v);
      }
      if (const std::string* v = t.Attr("bkgnd"))
        s.background =
            MarkupLower(MarkupTrim(*v)) == "transparent" ? kMarkupNoColour : ParseMarkupColour(*v, s.background, sys_);
    }
    return true;
  }

  // Finds the token that closes the table opened at begin (or end).
  size_t TableEnd(size_t begin, size_t end) const {
    int depth = 0;
    for (size_t i = begin; i < end; ++i) {
      const MarkupToken& t = tokens_[i];
      if (!t.tag || t.tag->kind != MarkupTagKind::Table) continue;
      if (t.type == MarkupToken::Open)
        ++depth;
      else if (--depth == 0)
        return i;
    }
    return end;
  }

  int Flow(size_t begin, size_t end, int ox, int oy, int width, const Frame& base, MarkupAlign align, int tableDepth,
           MarkupLayout& out, int& usedWidth);
  int Table(size_t begin, size_t end, int ox, int oy, int width, const Frame& base, int tableDepth, MarkupLayout& out,
            int& usedWidth);

  const MarkupStyleSheet& sheet_;
  MarkupLayoutOptions opt_;
  IMarkupHost& host_;
  MarkupMetrics metrics_;
  SystemColourFn sys_;
  std::vector<MarkupToken> tokens_;
  std::vector<int> linkOf_;
};

int Layouter::Flow(size_t begin, size_t end, int ox, int oy, int width, const Frame& base, MarkupAlign defaultAlign,
                   int tableDepth, MarkupLayout& out, int& usedWidth) {
  std::vector<Frame> stack{base};
  if (defaultAlign != MarkupAlign::Left) stack.back().style.align = defaultAlign;
  std::vector<Piece> line;
  std::vector<LineRecord> records;
  std::vector<size_t> rules;
  int lineX = 0, y = oy, maxWidth = 0;
  MarkupAlign lineAlign = stack.back().style.align;
  bool capitalStart = true;
  std::vector<int> prefix;

  auto fontHeight = [&](const MarkupStyle& s, int& h, int& a) {
    host_.FontMetrics(FontOf(s), h, a);
    h = std::clamp(h, 1, kMaxExtent);
    a = std::clamp(a, 0, h);
  };
  auto flush = [&](bool force) {
    if (line.empty() && !force) return;
    int asc = 0, desc = 0, other = 0;
    if (line.empty()) {
      int h = 0, a = 0;
      fontHeight(stack.back().style, h, a);
      other = h;
    }
    for (const Piece& p : line) {
      if (p.valign == MarkupVAlign::Baseline) {
        asc = std::max(asc, p.ascent);
        desc = std::max(desc, p.item.h - p.ascent);
      } else {
        other = std::max(other, p.item.h);
      }
    }
    const int lineH = std::max(asc + desc, other);
    LineRecord rec{out.items.size(), 0, out.links.size(), 0, lineX, lineAlign};
    for (Piece& p : line) {
      MarkupItem& it = p.item;
      switch (p.valign) {
        case MarkupVAlign::Baseline: it.y = y + asc - p.ascent; break;
        case MarkupVAlign::Top: it.y = y; break;
        case MarkupVAlign::VCenter: it.y = y + (lineH - it.h) / 2; break;
        case MarkupVAlign::Bottom: it.y = y + lineH - it.h; break;
      }
      if (p.background != kMarkupNoColour) {
        MarkupItem fill;
        fill.kind = MarkupItem::Fill;
        fill.x = it.x, fill.y = it.y, fill.w = it.w, fill.h = it.h;
        fill.colour = fill.colour2 = fill.colour3 = p.background;
        out.items.push_back(fill);
      }
      if (it.link >= 0) {
        if (!out.links.empty() && out.links.size() > rec.links0 && out.links.back().link == it.link &&
            out.links.back().x + out.links.back().w == it.x) {
          MarkupLinkArea& a = out.links.back();
          const int bottom = std::max(a.y + a.h, it.y + it.h);
          a.y = std::min(a.y, it.y);
          a.h = bottom - a.y;
          a.w += it.w;
        } else {
          out.links.push_back({it.x, it.y, it.w, it.h, p.linkKind, p.target, it.link});
        }
      }
      out.items.push_back(std::move(it));
    }
    rec.items1 = out.items.size();
    rec.links1 = out.links.size();
    records.push_back(rec);
    maxWidth = std::max(maxWidth, lineX);
    y = std::min(y + lineH, kMaxExtent);
    line.clear();
    lineX = 0;
    lineAlign = stack.back().style.align;
  };
  auto addPiece = [&](Piece&& p) {
    if (line.empty()) lineAlign = stack.back().style.align;
    p.item.x = ox + lineX;
    lineX = std::min(lineX + p.item.w, kMaxExtent);
    line.push_back(std::move(p));
  };
  auto room = [&]() { return width > 0 ? width - lineX : INT_MAX; };

  for (size_t i = begin; i < end; ++i) {
    const MarkupToken& t = tokens_[i];
    const Frame& cur = stack.back();
    if (t.type == MarkupToken::Text) {
      const MarkupStyle& s = cur.style;
      const MarkupFont font = FontOf(s);
      const int fi = FontIndex(out, font);
      int h = 0, a = 0;
      fontHeight(s, h, a);
      std::string text = Transform(t.text, s.transform, capitalStart);
      std::string_view rest = text;
      while (!rest.empty()) {
        prefix.clear();
        host_.MeasureText(font, rest, prefix);
        prefix.resize(rest.size(), prefix.empty() ? 0 : prefix.back());
        for (int& w : prefix) w = std::clamp(w, 0, kMaxExtent);
        size_t n = FitMarkupRun(rest, prefix, room(), line.empty());
        if (n == 0) {
          flush(false);
          n = FitMarkupRun(rest, prefix, room(), true);
        }
        Piece p;
        p.item.kind = MarkupItem::Text;
        p.item.text = std::string(rest.substr(0, n));
        p.item.w = prefix[n - 1];
        p.item.h = h;
        p.item.font = fi;
        p.item.colour = s.colour;
        p.item.overline = s.overline;
        p.item.link = cur.link;
        p.ascent = a;
        p.valign = s.valign;
        p.background = s.background;
        p.linkKind = cur.linkKind;
        p.target = cur.target;
        addPiece(std::move(p));
        rest.remove_prefix(n);
        if (!rest.empty()) flush(false);
      }
      continue;
    }
    if (!t.tag) continue;  // unknown tags are left out
    const MarkupTagKind kind = t.tag->kind;
    if (t.type == MarkupToken::Close) {
      if (kind == MarkupTagKind::Table || kind == MarkupTagKind::Row || kind == MarkupTagKind::Cell) continue;
      // Closes the nearest open tag of that name and everything above it;
      // a closing tag without an opening one is ignored.
      for (size_t k = stack.size(); k-- > 1;)
        if (stack[k].tag == t.text) {
          stack.resize(k);
          break;
        }
      continue;
    }
    switch (kind) {
      case MarkupTagKind::Break: flush(true); continue;
      case MarkupTagKind::Tab: {
        const int tab = std::max(1, opt_.tabWidth);
        const int next = (lineX / tab + 1) * tab;
        if (width > 0 && next > width) {
          flush(false);
        } else {
          if (line.empty()) lineAlign = cur.style.align;
          lineX = next;
        }
        continue;
      }
      case MarkupTagKind::Rule: {
        flush(false);
        MarkupItem r;
        r.kind = MarkupItem::Rule;
        r.x = ox;
        r.y = y + 3;
        r.h = 2;
        r.colour = cur.style.colour;
        rules.push_back(out.items.size());
        out.items.push_back(r);
        y += 8;
        continue;
      }
      case MarkupTagKind::Bitmap:
      case MarkupTagKind::Icon:
      case MarkupTagKind::ImageList: {
        MarkupImageRef ref;
        ref.kind = kind == MarkupTagKind::Bitmap ? MarkupImageKind::Bitmap
                   : kind == MarkupTagKind::Icon ? MarkupImageKind::Icon
                                                 : MarkupImageKind::ImageList;
        ref.attributes = t.attributes;
        int w = 0, h = 0;
        if (!host_.ImageSize(ref, w, h)) w = h = 0;
        w = static_cast<int>(std::clamp(ref.Number("width", w), 0L, 4096L));
        h = static_cast<int>(std::clamp(ref.Number("height", h), 0L, 4096L));
        if (w == 0 || h == 0) continue;
        if (width > 0 && !line.empty() && w > room()) flush(false);
        Piece p;
        p.item.kind = MarkupItem::Image;
        p.item.w = w;
        p.item.h = h;
        p.item.image = static_cast<int>(out.images.size());
        p.item.link = cur.link;
        out.images.push_back(std::move(ref));
        p.ascent = h;
        p.valign = cur.style.valign;
        p.linkKind = cur.linkKind;
        p.target = cur.target;
        addPiece(std::move(p));
        continue;
      }
      case MarkupTagKind::Table: {
        // Beyond the nesting limit the table's tags are left out and its
        // content flows as text.
        if (tableDepth >= kMarkupMaxTableNesting) continue;
        const size_t close = TableEnd(i, end);
        {
          flush(false);
          LineRecord rec{out.items.size(), 0, out.links.size(), 0, 0, MarkupAlign::Left};
          int tw = 0;
          const int th = Table(i, close, ox, y, width, cur, tableDepth + 1, out, tw);
          const std::string* al = t.Attr("align");
          const std::string a = al ? MarkupLower(*al) : std::string();
          rec.align = a == "center" ? MarkupAlign::Center : a == "right" ? MarkupAlign::Right : MarkupAlign::Left;
          rec.items1 = out.items.size();
          rec.links1 = out.links.size();
          rec.width = tw;
          records.push_back(rec);
          maxWidth = std::max(maxWidth, tw);
          y = std::min(y + th, kMaxExtent);
        }
        i = close;
        continue;
      }
      case MarkupTagKind::Row:
      case MarkupTagKind::Cell: continue;  // outside a table they are left out
      default: break;
    }
    if (stack.size() >= kMarkupMaxNesting) continue;
    Frame f = cur;
    f.tag = t.text;
    if (OpenFrame(t, i, f)) {
      stack.push_back(std::move(f));
      if (line.empty()) lineAlign = stack.back().style.align;
    }
  }
  flush(false);

  // Alignment needs the final width when nothing limits the lines.
  const int finalWidth = width > 0 ? std::max(width, maxWidth) : maxWidth;
  for (const LineRecord& r : records) {
    int off = 0;
    if (r.align == MarkupAlign::Center)
      off = (finalWidth - r.width) / 2;
    else if (r.align == MarkupAlign::Right)
      off = finalWidth - r.width;
    if (off <= 0) continue;
    for (size_t k = r.items0; k < r.items1; ++k) out.items[k].x += off;
    for (size_t k = r.links0; k < r.links1; ++k) out.links[k].x += off;
  }
  bool aligned = false;
  for (const LineRecord& r : records) aligned |= r.align == MarkupAlign::Center || r.align == MarkupAlign::Right;
  for (size_t k : rules) out.items[k].w = finalWidth;
  // Centred or right-aligned lines use the whole width they were given.
  usedWidth = aligned || !rules.empty() ? finalWidth : maxWidth;
  return y - oy;
}

int Layouter::Table(size_t begin, size_t end, int ox, int oy, int width, const Frame& base, int tableDepth,
                    MarkupLayout& out, int& usedWidth) {
  struct Cell {
    size_t open, content0, content1;  // token of <td>, content range
    int span = 1;
    int natural = 0;
    int x = 0, w = 0;
  };
  struct Row {
    size_t open = SIZE_MAX;  // token of <tr>, or none for an implicit row
    std::vector<Cell> cells;
  };
  const MarkupToken& tableTag = tokens_[begin];
  auto number = [](const MarkupToken& t, const char* name, long def, long lo, long hi) {
    const std::string* v = t.Attr(name);
    double n = 0;
    if (!v || !ParseCNumber(MarkupTrim(*v), n)) return def;
    return std::clamp(static_cast<long>(std::min(n, 1e9)), lo, hi);
  };
  const int pad = static_cast<int>(number(tableTag, "cellpadding", 1, 0, 200));
  const int spacing = static_cast<int>(number(tableTag, "cellspacing", 2, 0, 200));
  const int border = static_cast<int>(number(tableTag, "border", 0, 0, 50));

  // Rows and cells at this table's own level; content of nested tables
  // stays inside its cell.
  std::vector<Row> rows;
  Cell* open = nullptr;
  int depth = 0;
  for (size_t i = begin + 1; i < end; ++i) {
    const MarkupToken& t = tokens_[i];
    const MarkupTagKind k = t.tag ? t.tag->kind : MarkupTagKind::Unknown;
    if (k == MarkupTagKind::Table) {
      if (t.type == MarkupToken::Open)
        ++depth;
      else if (depth > 0)
        --depth;
      continue;
    }
    if (depth > 0) continue;
    if (k == MarkupTagKind::Row || k == MarkupTagKind::Cell) {
      if (open) open->content1 = i;
      open = nullptr;
      if (k == MarkupTagKind::Row) {
        if (t.type == MarkupToken::Open) rows.push_back(Row{i, {}});
        continue;
      }
      if (t.type == MarkupToken::Open) {
        if (rows.empty()) rows.push_back(Row{});
        Cell c{i, i + 1, i + 1};
        c.span = static_cast<int>(number(t, "colspan", 1, 1, 64));
        rows.back().cells.push_back(c);
        open = &rows.back().cells.back();
      }
    }
  }
  if (open) open->content1 = end;

  size_t cols = 0;
  for (const Row& r : rows) {
    size_t n = 0;
    for (const Cell& c : r.cells) n += c.span;
    cols = std::max(cols, n);
  }
  if (cols == 0) {
    usedWidth = 0;
    return 0;
  }

  auto cellAlign = [&](const Row& r, const Cell& c) {
    const std::string* v = tokens_[c.open].Attr("align");
    if (!v && r.open != SIZE_MAX) v = tokens_[r.open].Attr("align");
    const std::string a = v ? MarkupLower(*v) : std::string();
    return a == "center" ? MarkupAlign::Center : a == "right" ? MarkupAlign::Right : MarkupAlign::Left;
  };

  // Natural column widths from the unwrapped content.
  std::vector<int> colW(cols, 2 * pad + 1);
  for (Row& r : rows) {
    size_t col = 0;
    for (Cell& c : r.cells) {
      MarkupLayout scratch;
      int used = 0;
      Flow(c.content0, c.content1, 0, 0, 0, base, MarkupAlign::Left, tableDepth, scratch, used);
      c.natural = used + 2 * pad;
      double wv = 0;
      if (const std::string* v = tokens_[c.open].Attr("width");
          v && ParseCNumber(MarkupTrim(*v), wv) && v->find('%') == std::string::npos)
        c.natural = std::max(c.natural, ClampExtent(wv));
      const size_t last = std::min(cols, col + c.span);
      int have = spacing * static_cast<int>(last - col - 1);
      for (size_t k = col; k < last; ++k) have += colW[k];
      if (c.natural > have) {
        const int extra = (c.natural - have + static_cast<int>(last - col) - 1) / static_cast<int>(last - col);
        for (size_t k = col; k < last; ++k) colW[k] = std::min(colW[k] + extra, kMaxExtent);
      }
      col = last;
    }
  }
  const int chrome = 2 * border + spacing * static_cast<int>(cols + 1);
  long long total = chrome;
  for (int w : colW) total += w;
  // The table's own width ("width" in pixels or percent of the room).
  int target = -1;
  if (const std::string* v = tableTag.Attr("width")) {
    double n = 0;
    if (ParseCNumber(MarkupTrim(*v), n)) {
      const bool pct = v->find('%') != std::string::npos;
      const double roomW = width > 0 ? width : static_cast<double>(total);
      target = ClampExtent(pct ? roomW * std::min(n, 100.0) / 100.0 : n);
    }
  }
  if (target < 0 && width > 0 && total > width) target = width;
  if (target >= 0 && target != total) {
    const long long content = std::max<long long>(static_cast<long long>(cols) * (2 * pad + 1), target - chrome);
    const long long have = std::max<long long>(1, total - chrome);
    long long sum = 0;
    for (size_t k = 0; k < cols; ++k) {
      colW[k] = std::max(2 * pad + 1, static_cast<int>(colW[k] * content / have));
      sum += colW[k];
    }
    colW[cols - 1] += static_cast<int>(std::max<long long>(0, content - sum));
  }
  long long tw = chrome;
  for (int w : colW) tw += w;
  usedWidth = ClampExtent(static_cast<double>(tw));

  const size_t tableStart = out.items.size();
  MarkupColour tableBg = kMarkupNoColour;
  if (const std::string* v = tableTag.Attr("bgcolor")) tableBg = ParseMarkupColour(*v, kMarkupNoColour, sys_);
  auto fillFrom = [&](const MarkupToken& t, MarkupColour bg, int x, int y, int w, int h) {
    MarkupItem f;
    f.kind = MarkupItem::Fill;
    f.x = x, f.y = y, f.w = w, f.h = h;
    f.colour = bg;
    f.colour2 = bg;
    f.colour3 = bg;
    if (const std::string* v = t.Attr("bgmidcolor")) f.colour2 = ParseMarkupColour(*v, bg, sys_);
    if (const std::string* v = t.Attr("bgendcolor")) f.colour3 = ParseMarkupColour(*v, bg, sys_);
    if (const std::string* v = t.Attr("bgeffect")) f.effect = ParseMarkupEffect(*v, 0);
    return f;
  };
  MarkupColour light = 0xE0E0E0, dark = 0x808080;
  if (const std::string* v = tableTag.Attr("bordercolor")) light = dark = ParseMarkupColour(*v, light, sys_);
  if (const std::string* v = tableTag.Attr("bordercolorlight")) light = ParseMarkupColour(*v, light, sys_);
  if (const std::string* v = tableTag.Attr("bordercolordark")) dark = ParseMarkupColour(*v, dark, sys_);

  int y = oy + border + spacing;
  for (Row& r : rows) {
    const size_t rowStart = out.items.size();
    int rowH = 2 * pad + 1;
    if (r.open != SIZE_MAX) rowH = std::max(rowH, static_cast<int>(number(tokens_[r.open], "height", 0, 0, 4096)));
    struct Placed {
      size_t items0, items1, links0, links1;
      int h;
    };
    std::vector<Placed> placed;
    int x = ox + border + spacing;
    size_t col = 0;
    for (Cell& c : r.cells) {
      const size_t last = std::min(cols, col + c.span);
      c.x = x;
      c.w = spacing * static_cast<int>(last - col - 1);
      for (size_t k = col; k < last; ++k) c.w += colW[k];
      Placed p{out.items.size(), 0, out.links.size(), 0, 0};
      int used = 0;
      p.h = Flow(c.content0, c.content1, x + pad, y + pad, std::max(1, c.w - 2 * pad), base, cellAlign(r, c),
                 tableDepth, out, used) +
            2 * pad;
      p.items1 = out.items.size();
      p.links1 = out.links.size();
      rowH = std::max({rowH, p.h, static_cast<int>(number(tokens_[c.open], "height", 0, 0, 4096))});
      placed.push_back(p);
      x += c.w + spacing;
      col = last;
    }
    // Vertical placement inside the row, then the backgrounds and frames
    // behind the cells' content.
    std::vector<MarkupItem> behind;
    if (r.open != SIZE_MAX) {
      if (const std::string* v = tokens_[r.open].Attr("bgcolor"))
        behind.push_back(fillFrom(tokens_[r.open], ParseMarkupColour(*v, 0, sys_), ox + border, y - spacing / 2,
                                  usedWidth - 2 * border, rowH + spacing));
    }
    for (size_t k = 0; k < r.cells.size(); ++k) {
      const Cell& c = r.cells[k];
      const MarkupToken& td = tokens_[c.open];
      const std::string* va = td.Attr("valign");
      if (!va && r.open != SIZE_MAX) va = tokens_[r.open].Attr("valign");
      const std::string v = va ? MarkupLower(*va) : std::string("middle");
      const int slack = rowH - placed[k].h;
      const int dy = v == "top" ? 0 : v == "bottom" ? slack : slack / 2;
      for (size_t n = placed[k].items0; n < placed[k].items1; ++n) out.items[n].y += dy;
      for (size_t n = placed[k].links0; n < placed[k].links1; ++n) out.links[n].y += dy;
      if (const std::string* bg = td.Attr("bgcolor"))
        behind.push_back(fillFrom(td, ParseMarkupColour(*bg, 0, sys_), c.x, y, c.w, rowH));
      if (border > 0) {
        MarkupItem f;
        f.kind = MarkupItem::Frame;
        f.x = c.x, f.y = y, f.w = c.w, f.h = rowH;
        f.colour = dark;  // cells look sunken
        f.colour2 = light;
        behind.push_back(f);
      }
    }
    out.items.insert(out.items.begin() + static_cast<long>(rowStart), behind.begin(), behind.end());
    y = std::min(y + rowH + spacing, kMaxExtent);
  }
  const int th = y - oy + border;
  std::vector<MarkupItem> under;
  if (tableBg != kMarkupNoColour) under.push_back(fillFrom(tableTag, tableBg, ox, oy, usedWidth, th));
  if (border > 0) {
    MarkupItem f;
    f.kind = MarkupItem::Frame;
    f.x = ox, f.y = oy, f.w = usedWidth, f.h = th;
    f.colour = light;  // the table stands out
    f.colour2 = dark;
    f.thickness = border;
    under.push_back(f);
  }
  out.items.insert(out.items.begin() + static_cast<long>(tableStart), under.begin(), under.end());
  return th;
}

}  // namespace

const std::string* MarkupImageRef::Attr(std::string_view name) const {
  for (const auto& a : attributes)
    if (a.name == name) return &a.value;
  return nullptr;
}

long MarkupImageRef::Number(std::string_view name, long def) const {
  const std::string* v = Attr(name);
  double n = 0;
  if (!v) return def;
  std::string_view s = MarkupTrim(*v);
  const bool neg = !s.empty() && s[0] == '-';
  if (neg) s.remove_prefix(1);
  if (!ParseCNumber(s, n)) return def;
  n = std::min(n, 2e9);
  return static_cast<long>(neg ? -n : n);
}

MarkupLayout LayoutMarkup(std::string_view text, const MarkupStyleSheet& sheet, const MarkupLayoutOptions& options,
                          IMarkupHost& host) {
  Layouter l(sheet, options, host);
  l.Load(text);
  return l.Run();
}
