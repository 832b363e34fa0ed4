#include "ui/markup/MarkupText.h"

#include <cctype>
#include <cstring>

namespace {

const std::vector<MarkupTagDef> kTags = {
    {"b", MarkupTagKind::Bold, "bold"},
    {"i", MarkupTagKind::Italic, "italic"},
    {"em", MarkupTagKind::Italic, "italic"},
    {"u", MarkupTagKind::Underline, "underline"},
    {"s", MarkupTagKind::Strike, "strikeout"},
    {"strike", MarkupTagKind::Strike, "strikeout"},
    {"font", MarkupTagKind::Font, ""},
    {"hr", MarkupTagKind::Rule, ""},
    {"br", MarkupTagKind::Break, ""},
    {"t", MarkupTagKind::Tab, ""},
    {"left", MarkupTagKind::HAlign, "left"},
    {"center", MarkupTagKind::HAlign, "center"},
    {"right", MarkupTagKind::HAlign, "right"},
    {"justify", MarkupTagKind::HAlign, "justify"},
    {"baseline", MarkupTagKind::VAlign, "baseline"},
    {"top", MarkupTagKind::VAlign, "top"},
    {"vcenter", MarkupTagKind::VAlign, "vcenter"},
    {"middle", MarkupTagKind::VAlign, "vcenter"},
    {"bottom", MarkupTagKind::VAlign, "bottom"},
    {"bmp", MarkupTagKind::Bitmap, ""},
    {"icon", MarkupTagKind::Icon, ""},
    {"ilst", MarkupTagKind::ImageList, ""},
    {"string", MarkupTagKind::String, ""},
    {"body", MarkupTagKind::Block, "body"},
    {"h1", MarkupTagKind::Block, "h1"},
    {"h2", MarkupTagKind::Block, "h2"},
    {"h3", MarkupTagKind::Block, "h3"},
    {"h4", MarkupTagKind::Block, "h4"},
    {"h5", MarkupTagKind::Block, "h5"},
    {"h6", MarkupTagKind::Block, "h6"},
    {"code", MarkupTagKind::Block, "code"},
    {"pre", MarkupTagKind::Block, "pre"},
    {"big", MarkupTagKind::Block, "big"},
    {"small", MarkupTagKind::Block, "small"},
    {"sub", MarkupTagKind::Block, "sub"},
    {"sup", MarkupTagKind::Block, "sup"},
    {"span", MarkupTagKind::Span, "span"},
    {"a", MarkupTagKind::Link, "link"},
    {"table", MarkupTagKind::Table, ""},
    {"tr", MarkupTagKind::Row, ""},
    {"td", MarkupTagKind::Cell, ""},
};

const std::vector<MarkupEntity> kEntities = {
    {"&amp;", "&"},       {"&bull;", "\x95"}, {"&copy;", "\xA9"},  {"&euro;", "\x88"}, {"&gt;", ">"},
    {"&iquest;", "\xBF"}, {"&lt;", "<<"},     {"&nbsp;", " "},     {"&para;", "\xB6"}, {"&pound;", "\xA3"},
    {"&quot;", "\""},     {"&reg;", "\xAE"},  {"&trade;", "\x99"},
};

bool IsMarkupSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':'; }

void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
  if (s.find(from) == std::string::npos) return;
  std::string out;
  out.reserve(s.size());
  size_t pos = 0;
  for (size_t hit; (hit = s.find(from, pos)) != std::string::npos; pos = hit + from.size()) {
    out.append(s, pos, hit - pos);
    out.append(to);
  }
  out.append(s, pos, std::string::npos);
  s.swap(out);
}

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

// Parses the inside of a tag (without "<" and ">").
MarkupToken ParseTag(std::string_view body) {
  MarkupToken t;
  size_t i = 0;
  t.type = MarkupToken::Open;
  while (i < body.size() && IsMarkupSpace(body[i])) ++i;
  if (i < body.size() && body[i] == '/') {
    t.type = MarkupToken::Close;
    ++i;
  }
  const size_t nameStart = i;
  while (i < body.size() && IsNameChar(body[i])) ++i;
  t.text = Lower(body.substr(nameStart, i - nameStart));
  t.tag = FindMarkupTag(t.text);
  // Attributes: name, name=value, name="value", name='value'.
  while (i < body.size()) {
    while (i < body.size() && (IsMarkupSpace(body[i]) || body[i] == '/')) ++i;
    const size_t an = i;
    while (i < body.size() && !IsMarkupSpace(body[i]) && body[i] != '=' && body[i] != '/') ++i;
    if (i == an) {
      if (i < body.size()) ++i;  // a stray '='
      continue;
    }
    MarkupAttribute a;
    a.name = Lower(body.substr(an, i - an));
    while (i < body.size() && IsMarkupSpace(body[i])) ++i;
    if (i < body.size() && body[i] == '=') {
      ++i;
      while (i < body.size() && IsMarkupSpace(body[i])) ++i;
      a.hasValue = true;
      if (i < body.size() && (body[i] == '"' || body[i] == '\'')) {
        const char q = body[i++];
        const size_t vs = i;
        while (i < body.size() && body[i] != q) ++i;
        a.value = std::string(body.substr(vs, i - vs));
        if (i < body.size()) ++i;
      } else {
        const size_t vs = i;
        while (i < body.size() && !IsMarkupSpace(body[i])) ++i;
        a.value = std::string(body.substr(vs, i - vs));
      }
    }
    t.attributes.push_back(std::move(a));
  }
  return t;
}

}  // namespace

const std::vector<MarkupTagDef>& MarkupTagTable() { return kTags; }

const MarkupTagDef* FindMarkupTag(std::string_view lowerName) {
  for (const auto& t : kTags)
    if (lowerName == t.name) return &t;
  return nullptr;
}

const std::vector<MarkupEntity>& MarkupEntityTable() { return kEntities; }

std::string PrepareMarkup(std::string_view text, bool linesAreMarkup) {
  std::string s(text.substr(0, text.find('\0')));
  for (const auto& e : kEntities) ReplaceAll(s, e.name, e.replacement);
  ReplaceAll(s, "\r", "");
  ReplaceAll(s, "\n", linesAreMarkup ? "<br>" : "");
  ReplaceAll(s, "\t", linesAreMarkup ? "<t>" : "");
  return s;
}

const std::string* MarkupToken::Attr(std::string_view name) const {
  for (const auto& a : attributes)
    if (a.name == name) return &a.value;
  return nullptr;
}

std::vector<MarkupToken> TokenizeMarkup(std::string_view s) {
  std::vector<MarkupToken> tokens;
  auto addText = [&](std::string_view piece) {
    if (piece.empty()) return;
    if (!tokens.empty() && tokens.back().type == MarkupToken::Text) {
      tokens.back().text.append(piece);
      return;
    }
    MarkupToken t;
    t.text = std::string(piece);
    tokens.push_back(std::move(t));
  };
  size_t pos = 0;
  while (pos < s.size()) {
    const size_t lt = s.find('<', pos);
    if (lt == std::string_view::npos) {
      addText(s.substr(pos));
      break;
    }
    addText(s.substr(pos, lt - pos));
    if (lt + 1 < s.size() && s[lt + 1] == '<') {
      addText("<");
      pos = lt + 2;
      continue;
    }
    const size_t gt = s.find('>', lt + 1);
    if (gt == std::string_view::npos) {
      addText(s.substr(lt));
      break;
    }
    MarkupToken tag = ParseTag(s.substr(lt + 1, gt - lt - 1));
    if (tag.text.empty()) {
      addText(s.substr(lt, gt - lt + 1));  // "<>" or "< =x>" stays visible
    } else {
      tokens.push_back(std::move(tag));
    }
    pos = gt + 1;
  }
  return tokens;
}

bool IsMarkupBreakChar(char c) { return c != '\0' && std::strchr(" -.,!:;)}]?", c) != nullptr; }

size_t FitMarkupRun(std::string_view run, const std::vector<int>& prefix, int width, bool startsLine) {
  const size_t n = std::min(run.size(), prefix.size());
  if (n == 0) return 0;
  if (prefix[n - 1] <= width) return n;
  for (size_t i = n; i-- > 0;) {
    if (prefix[i] > width) continue;
    if (IsMarkupBreakChar(run[i])) return i + 1;
  }
  if (!startsLine) return 0;
  size_t fit = 0;
  while (fit < n && prefix[fit] <= width) ++fit;
  return fit ? fit : 1;
}

std::string MarkupHtmCommand(std::string_view command, std::string_view target) {
  std::string_view cmd = command;
  size_t cut = cmd.find("\"%1\"");
  if (cut == std::string_view::npos) cut = cmd.find("%1");
  if (cut != std::string_view::npos) cmd = cmd.substr(0, cut);
  while (!cmd.empty() && cmd.back() == ' ') cmd.remove_suffix(1);
  std::string r(cmd);
  r += ' ';
  r.append(target);
  return r;
}
