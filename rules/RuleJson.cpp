#include "rules/RuleJson.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "rules/RuleMatch.h"
#include "rules/RuleSet.h"

using Json = nlohmann::ordered_json;

namespace {

constexpr char kFormatName[] = "varnokel-rules";
constexpr int kFormatVersion = 1;

struct TypeName {
  uint32_t bit;
  const char* name;
};
constexpr TypeName kTypeNames[] = {{TYPE_FILE, "file"}, {TYPE_REGISTRY, "registry"}, {TYPE_NET, "net"}};

bool Fail(RuleInputError& error, std::string message, size_t rule = 0) {
  error = RuleInputError{};
  error.message = std::move(message);
  error.rule = rule;
  return false;
}

// Line and column (from 1) of the byte before position (nlohmann counts the
// bytes read, so its position is one past the offending byte).
void PositionOf(std::string_view text, size_t position, size_t& line, size_t& column) {
  const size_t end = std::min(position > 0 ? position - 1 : 0, text.size());
  line = 1;
  column = 1;
  for (size_t i = 0; i < end; ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
}

// The library's message without its "[json.exception...] " tag and, for
// syntax errors, its "parse error at line L, column C: " prefix (the
// position is given separately).
std::string ParseMessage(std::string what) {
  const size_t tag = what.find("] ");
  if (!what.empty() && what[0] == '[' && tag != std::string::npos) what.erase(0, tag + 2);
  if (what.rfind("parse error", 0) == 0) {
    const size_t column = what.find("column ");
    const size_t colon = column == std::string::npos ? std::string::npos : what.find(": ", column);
    if (colon != std::string::npos) what.erase(0, colon + 2);
  }
  return what;
}

const char* TypeNameOf(const Json& value) { return value.type_name(); }

// A string member; false (with the error set) when it is not a string or
// holds a NUL byte, which would end the text early for the engine.
bool TakeString(const Json& rule, const char* key, std::string& out, size_t index, RuleInputError& error) {
  const Json& value = rule.at(key);
  if (!value.is_string())
    return Fail(error, std::string("\"") + key + "\" must be a string, not " + TypeNameOf(value), index);
  out = value.get<std::string>();
  if (out.find('\0') != std::string::npos)
    return Fail(error, std::string("\"") + key + "\" holds a NUL character", index);
  return true;
}

bool ReadRule(const Json& rule, size_t index, RULEFILE_ITEM& item, RuleInputError& error) {
  if (!rule.is_object()) return Fail(error, std::string("must be an object, not ") + TypeNameOf(rule), index);
  static const char* const kKeys[] = {"type", "system", "deny", "mode", "source", "dest"};
  for (auto it = rule.begin(); it != rule.end(); ++it) {
    const std::string& key = it.key();
    if (std::find_if(std::begin(kKeys), std::end(kKeys), [&](const char* k) { return key == k; }) == std::end(kKeys))
      return Fail(error, "unknown member \"" + key + "\"", index);
  }
  for (const char* required : {"type", "deny", "dest"})
    if (!rule.contains(required)) return Fail(error, std::string("\"") + required + "\" is missing", index);

  std::string typeName;
  if (!TakeString(rule, "type", typeName, index, error)) return false;
  const auto type =
      std::find_if(std::begin(kTypeNames), std::end(kTypeNames), [&](const TypeName& t) { return typeName == t.name; });
  if (type == std::end(kTypeNames))
    return Fail(error, "unknown type \"" + typeName + "\" (file, registry or net)", index);
  item.Type = type->bit;

  if (rule.contains("system")) {
    const Json& system = rule.at("system");
    if (!system.is_boolean())
      return Fail(error, std::string("\"system\" must be true or false, not ") + TypeNameOf(system), index);
    if (system.get<bool>()) item.Type |= TYPE_SYSTEM;
  }

  const Json& deny = rule.at("deny");
  if (!deny.is_array())
    return Fail(error, std::string("\"deny\" must be an array of kind names, not ") + TypeNameOf(deny), index);
  if (deny.empty()) return Fail(error, "\"deny\" is empty: a rule must deny at least one kind", index);
  item.Kinds = 0;
  for (const Json& kind : deny) {
    if (!kind.is_string())
      return Fail(error, std::string("\"deny\" holds a ") + TypeNameOf(kind) + ", not a kind name", index);
    const uint32_t bit = KindFromName(kind.get<std::string>());
    if (bit == 0)
      return Fail(error,
                  "unknown kind \"" + kind.get<std::string>() + "\" (open, modify, run, copy, delete, find, print)",
                  index);
    item.Kinds |= bit;
  }

  item.Mode = RULE_MODE_NORMAL;
  if (rule.contains("mode")) {
    const Json& mode = rule.at("mode");
    if (!mode.is_number_unsigned() || mode.get<uint64_t>() > 0xFFFFFFFFull)
      return Fail(error, "\"mode\" must be a whole number from 0 to 4294967295", index);
    item.Mode = static_cast<uint32_t>(mode.get<uint64_t>());
  }

  item.Source = "*";
  if (rule.contains("source")) {
    if (!TakeString(rule, "source", item.Source, index, error)) return false;
    if (item.Source.empty())
      return Fail(error, "\"source\" is empty (leave it out, or \"*\", for every program)", index);
  }
  if (!TakeString(rule, "dest", item.Dest, index, error)) return false;
  if (item.Dest.empty()) return Fail(error, "\"dest\" is empty", index);
  item.SourceLen = static_cast<uint32_t>(item.Source.size());
  item.DestLen = static_cast<uint32_t>(item.Dest.size());
  return true;
}

}  // namespace

std::string RuleInputError::Describe(std::string_view name) const {
  std::string text(name);
  if (line != 0) {
    text += ':' + std::to_string(line) + ':' + std::to_string(column);
  } else if (rule != 0) {
    text += ": rule " + std::to_string(rule);
  }
  return text + ": " + message;
}

bool ParseRulesJson(std::string_view text, RuleList& rules, RuleInputError& error) {
  Json doc;
  try {
    doc = Json::parse(text.begin(), text.end());
  } catch (const Json::parse_error& e) {
    Fail(error, ParseMessage(e.what()));
    PositionOf(text, e.byte, error.line, error.column);
    return false;
  } catch (const Json::exception& e) {
    // A number too large for any type ("1e999") ends the parse this way.
    return Fail(error, ParseMessage(e.what()));
  }
  if (!doc.is_object()) return Fail(error, std::string("the top level must be an object, not ") + TypeNameOf(doc));
  for (auto it = doc.begin(); it != doc.end(); ++it) {
    const std::string& key = it.key();
    if (key != "format" && key != "version" && key != "rules") return Fail(error, "unknown member \"" + key + "\"");
  }
  if (!doc.contains("format") || !doc["format"].is_string() || doc["format"].get<std::string>() != kFormatName)
    return Fail(error, "\"format\" must be \"varnokel-rules\"");
  if (!doc.contains("version") || !doc["version"].is_number_integer() ||
      doc["version"].get<int64_t>() != kFormatVersion)
    return Fail(error, "\"version\" must be 1");
  if (!doc.contains("rules") || !doc["rules"].is_array()) return Fail(error, "\"rules\" must be an array");

  RuleList read;
  size_t index = 0;
  for (const Json& rule : doc["rules"]) {
    auto item = std::make_unique<RULEFILE_ITEM>();
    if (!ReadRule(rule, ++index, *item, error)) return false;
    read.push_back(std::move(item));
  }
  rules.splice(rules.end(), read);
  return true;
}

bool RulesToJson(const RuleList& rules, std::string& out, RuleInputError& error) {
  Json doc;
  doc["format"] = kFormatName;
  doc["version"] = kFormatVersion;
  Json list = Json::array();
  size_t index = 0;
  for (const auto& rule : rules) {
    ++index;
    if (!rule) continue;
    const uint32_t base = rule->Type & ~TYPE_SYSTEM;
    const auto type =
        std::find_if(std::begin(kTypeNames), std::end(kTypeNames), [&](const TypeName& t) { return base == t.bit; });
    if (type == std::end(kTypeNames)) {
      char bits[16];
      snprintf(bits, sizeof bits, "0x%X", static_cast<unsigned>(rule->Type));
      return Fail(error, std::string("type bits ") + bits + " cannot be written as JSON", index);
    }
    if (rule->Kinds & ~KIND_ALL) {
      char bits[16];
      snprintf(bits, sizeof bits, "0x%X", static_cast<unsigned>(rule->Kinds));
      return Fail(error, std::string("kind bits ") + bits + " cannot be written as JSON", index);
    }
    Json deny = Json::array();
    for (const KindName& k : kKindNames)
      if (rule->Kinds & k.bit) deny.push_back(k.name);
    Json item;
    item["type"] = type->name;
    item["system"] = (rule->Type & TYPE_SYSTEM) != 0;
    item["deny"] = std::move(deny);
    item["mode"] = rule->Mode;
    item["source"] = rule->Source;
    item["dest"] = rule->Dest;
    // Checked per rule, so that the error can name it.
    try {
      (void)item.dump();
    } catch (const Json::type_error&) {
      return Fail(error, "source or dest is not valid text", index);
    }
    list.push_back(std::move(item));
  }
  doc["rules"] = std::move(list);
  out = doc.dump(2) + "\n";
  return true;
}

bool CheckRuleLengths(const RuleList& rules, RuleInputError& error) {
  size_t index = 0;
  for (const auto& rule : rules) {
    ++index;
    if (!rule) continue;
    if (rule->Source.empty()) return Fail(error, "source is empty", index);
    if (rule->Dest.empty()) return Fail(error, "dest is empty", index);
    if (rule->Source.size() > kMaxRuleTextLength)
      return Fail(error, "source is " + std::to_string(rule->Source.size()) + " characters long (at most 259)", index);
    if (rule->Dest.size() > kMaxRuleTextLength)
      return Fail(error, "dest is " + std::to_string(rule->Dest.size()) + " characters long (at most 259)", index);
  }
  return true;
}

uint64_t RuleSetBytes(const RuleList& rules) {
  uint64_t bytes = 0;
  for (const auto& rule : rules)
    if (rule && rule->Type != 0)
      bytes += RULE_RECORD_FIXED_SIZE + std::max<uint64_t>(rule->Source.size(), 1) + rule->Dest.size();
  return bytes;
}

bool RuleSetFits(const RuleList& rules, uint32_t maxSize) {
  return uint64_t{RULE_FILE_HEADER_SIZE} + RuleSetBytes(rules) + RULE_FILE_RESERVE <= maxSize;
}

size_t ImportRules(RuleList& current, RuleList incoming, bool replace) {
  size_t count = 0;
  if (replace) {
    RuleList result;
    for (auto& item : incoming) {
      if (!item) continue;
      auto equal = std::find_if(result.begin(), result.end(), [&](const auto& r) { return RulesEqual(*r, *item); });
      if (equal != result.end()) {
        (*equal)->Kinds |= item->Kinds;
      } else {
        result.push_back(std::move(item));
        ++count;
      }
    }
    current = std::move(result);
    return count;
  }
  // New ordinary rules go to the front one by one, so they are merged from
  // the last to the first; new system rules go to the back in order.
  std::vector<std::unique_ptr<RULEFILE_ITEM>*> ordinary, system;
  for (auto& item : incoming) {
    if (!item) continue;
    (item->Type & TYPE_SYSTEM ? system : ordinary).push_back(&item);
  }
  auto merge = [&](std::unique_ptr<RULEFILE_ITEM>& item) {
    MergeRule(current, item, true);
    if (!item) ++count;  // the set took it: a new rule
  };
  for (auto it = ordinary.rbegin(); it != ordinary.rend(); ++it) merge(**it);
  for (auto* item : system) merge(*item);
  return count;
}
