#include "rules/RuleTipText.h"

namespace {

struct ColumnKind {
  uint32_t kind;
  const char* name;
};
// The order of the Files page's kind columns.
constexpr ColumnKind kColumnKinds[] = {
    {KIND_RUN, "Run"},       {KIND_COPY, "Copy"}, {KIND_OPEN, "Open"},   {KIND_MODIFY, "Modify"},
    {KIND_DELETE, "Delete"}, {KIND_FIND, "Find"}, {KIND_PRINT, "Print"},
};

const char* TypeText(uint32_t type) {
  // Tested in the order the row's image is chosen: the last match wins.
  const char* text = "Unknown";
  if (type & TYPE_FILE) text = "File";
  if (type & TYPE_REGISTRY) text = "Registry key";
  if (type & TYPE_NET) text = "Network";
  return text;
}

}  // namespace

std::string RuleTipText(const RULEFILE_ITEM& rule) {
  std::string text = "Destination: " + rule.Dest;
  text += "\r\nProgram: ";
  text += rule.Source.empty() || rule.Source == "*" ? std::string("every program") : rule.Source;
  text += "\r\nDenies: ";
  std::string kinds;
  for (const ColumnKind& k : kColumnKinds) {
    if (!(rule.Kinds & k.kind)) continue;
    if (!kinds.empty()) kinds += ", ";
    kinds += k.name;
  }
  text += kinds.empty() ? "nothing" : kinds;
  text += "\r\nType: ";
  text += TypeText(rule.Type);
  text += (rule.Type & TYPE_SYSTEM) ? "\r\nBuilt-in system rule (cannot be changed)" : "\r\nYour rule";
  return text;
}
