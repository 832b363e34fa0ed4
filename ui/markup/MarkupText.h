// The text side of the mark-up: preparing the text (entities, carriage
// returns, line feeds and tabs), splitting it into text and tags, the tag
// and entity tables, and the line-wrapping rule. Win32-free.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum class MarkupTagKind : uint8_t {
  Unknown,
  Bold,
  Italic,
  Underline,
  Strike,
  Font,
  Rule,
  Break,
  Tab,
  HAlign,
  VAlign,
  Bitmap,
  Icon,
  ImageList,
  String,
  Block,
  Span,
  Link,
  Table,
  Row,
  Cell,
};

struct MarkupTagDef {
  const char* name;
  MarkupTagKind kind;
  const char* selector;  // style-sheet selector the tag applies, or ""
};
const std::vector<MarkupTagDef>& MarkupTagTable();
const MarkupTagDef* FindMarkupTag(std::string_view lowerName);

struct MarkupEntity {
  const char* name;         // with '&' and ';'
  const char* replacement;  // bytes of the ANSI code page
};
// In the order in which they are replaced.
const std::vector<MarkupEntity>& MarkupEntityTable();

// Entities replaced (one after the other, so a replacement can form a later
// entity), carriage returns removed, line feeds and tabs turned into "<br>"
// and "<t>" when they are mark-up, otherwise removed.
std::string PrepareMarkup(std::string_view text, bool linesAreMarkup);

struct MarkupAttribute {
  std::string name;  // lower case
  std::string value;
  bool hasValue = false;
};

struct MarkupToken {
  enum Type : uint8_t { Text, Open, Close } type = Text;
  std::string text;  // Text: the characters; Open/Close: the lower-case tag name
  std::vector<MarkupAttribute> attributes;
  const MarkupTagDef* tag = nullptr;  // nullptr for unknown tags

  const std::string* Attr(std::string_view name) const;
};

// Splits prepared text into text and tags. "<<" is a literal "<"; a "<"
// without a closing ">" is text. Adjacent text is joined into one token.
std::vector<MarkupToken> TokenizeMarkup(std::string_view prepared);

// How many characters of run go on a line with room width left, given the
// widths of its prefixes (prefix[i] = width of the first i + 1 characters).
// The run is cut after the last break character (" -.,!:;)}]?") at which
// the first part still fits; when none fits and the run starts the line,
// after the last character that fits (at least one). 0 means: start the
// run on the next line.
size_t FitMarkupRun(std::string_view run, const std::vector<int>& prefix, int width, bool startsLine);
bool IsMarkupBreakChar(char c);

// The command that opens a link target when the shell's "open" verb failed:
// the ".htm" open command cut before "\"%1\"" or "%1", a blank and the target.
std::string MarkupHtmCommand(std::string_view registeredCommand, std::string_view target);
