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
  // The most one record can take: the whole data area before the reserve.
  const uint64_t room = RULE_FILE_SIZE - RULE_FILE_HEADER_SIZE - RULE_FILE_RESERVE;
  size_t index = 0;
  for (const auto& rule : rules) {
    ++index;
    if (!rule) continue;
    if (rule->Source.empty()) return Fail(error, "source is empty", index);
    if (RULE_RECORD_FIXED_SIZE + rule->Source.size() + rule->Dest.size() > room)
      return Fail(error,
                  "source and dest are " + std::to_string(rule->Source.size() + rule->Dest.size()) +
                      " characters long, more than the rule file holds",
                  index);
  }
  return true;
}

size_t ImportRules(RuleList& current, RuleList incoming, bool replace) {
  size_t count = 0;
  if (replace) {
    // Exactly the imported rules, so that a backup gives back what was
    // exported (equal rules that a file held stay apart).
    current.clear();
    for (auto& item : incoming)
      if (item) {
        current.push_back(std::move(item));
        ++count;
      }
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
