// The style side of the mark-up text: colour values and names, lengths,
// the style sheet (selector -> property settings) and the resolved style of
// a piece of text. Win32-free: colours are 0x00BBGGRR numbers and system
// colours come through a callback.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using MarkupColour = uint32_t;                        // 0x00BBGGRR
constexpr MarkupColour kMarkupNoColour = 0xFFFFFFFF;  // transparent / not set

// Resolves a Windows system colour number (COLOR_WINDOW = 5, ...).
using SystemColourFn = std::function<MarkupColour(int index)>;

struct MarkupColourName {
  const char* name;
  MarkupColour value;  // for system colours: the system colour number
  bool system;
};
// The 168 names: 140 colour keywords, then 28 system colour names.
const std::vector<MarkupColourName>& MarkupColourTable();

// Parses a colour value. Empty gives the inherited colour, "#rrggbb" web
// order, a value starting with a digit a C-notation 0x00BBGGRR number,
// anything else a (case-blind) name; unknown names keep the inherited colour.
MarkupColour ParseMarkupColour(std::string_view value, MarkupColour inherited, const SystemColourFn& sys);

// A C-notation number (decimal, 0x hex, leading-zero octal) at the start of
// text; stops at the first character that does not belong to it and
// saturates instead of overflowing. false when no digit was read.
bool ParseCNumber(std::string_view text, double& value);

// What lengths are measured against.
struct MarkupMetrics {
  double fontHeight = 13;  // current font height in pixels (em)
  double xHeight = 6;      // height of the letter x (ex)
  int pixelsPerInch = 96;
};
// A length: "%" of the inherited value, a unit from px ex em in cm mm pt pc,
// or a plain C number. A leading sign is dropped. Result in pixels (or in
// the unit of the inherited value for "%" and plain numbers); false when
// the text holds no number.
bool ParseMarkupLength(std::string_view value, double inherited, const MarkupMetrics& m, double& out);
// A font size in points: "1" to "7" stand for 8 10 12 14 18 24 36 points,
// percentages take the inherited size, units convert through the metrics.
bool ParseMarkupFontSize(std::string_view value, double inheritedPt, const MarkupMetrics& m, double& outPt);

// Background effects by name ("solid", "hgradient", ...) or number; -1 is
// transparent. Unknown names give def.
int ParseMarkupEffect(std::string_view value, int def);

enum class MarkupAlign : uint8_t { Left, Center, Right, Justify };
enum class MarkupVAlign : uint8_t { Baseline, Top, VCenter, Bottom };
enum class MarkupTransform : uint8_t { None, Upper, Lower, Capitalize };

// The resolved style of a run of text.
struct MarkupStyle {
  std::string face = "Verdana";
  double sizePt = 10;
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strike = false;
  bool overline = false;
  MarkupColour colour = 0;
  MarkupColour background = kMarkupNoColour;
  MarkupAlign align = MarkupAlign::Left;
  MarkupVAlign valign = MarkupVAlign::Baseline;
  MarkupTransform transform = MarkupTransform::None;
  MarkupColour borderColour = kMarkupNoColour;
  int borderWidth = 0;
  int borderStyle = 0;  // 0 none, 1 solid, 2 dotted, 3 dashed, 4 double
  int margin = 0;
  int padding = 0;
};

// One "name: value" pair of a property string ("color:red; font-size:9pt").
using MarkupProperty = std::pair<std::string, std::string>;
std::vector<MarkupProperty> ParseMarkupProperties(std::string_view text);

// Applies property settings to a style; unknown properties and values are
// ignored.
void ApplyMarkupProperties(MarkupStyle& style, std::string_view properties, const MarkupMetrics& m,
                           const SystemColourFn& sys);

// Selector -> property string, in the order the entries were added; adding
// an existing selector replaces its settings.
class MarkupStyleSheet {
 public:
  MarkupStyleSheet();  // installs the default sheet
  // Parses "sel {props} sel2 {props}"; returns the number of entries read.
  int Add(std::string_view sheet);
  void Set(std::string_view selector, std::string_view properties);
  // The settings of a selector, or nullptr.
  const std::string* Find(std::string_view selector) const;
  void Clear() { entries_.clear(); }
  size_t Size() const { return entries_.size(); }
  static const char* const kDefaultSheet[];
  static const size_t kDefaultSheetLines;

 private:
  std::vector<std::pair<std::string, std::string>> entries_;
};

std::string MarkupLower(std::string_view s);
std::string_view MarkupTrim(std::string_view s);
