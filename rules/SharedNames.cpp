#include "rules/SharedNames.h"

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

std::string SharedObjectName(std::string_view name) {
  for (std::string_view space : {"global\\", "local\\", "session\\"})
    if (StartsWithNoCase(name, space)) return std::string(name);
  return kGlobalNamespace + std::string(name);
}

SharedFileNames SharedNamesOfMapping(std::string_view mappingName) {
  const std::string plain(mappingName);
  return {SharedObjectName(plain), SharedObjectName(plain + " Read"), SharedObjectName(plain + " Write")};
}

std::string MappingNameOfPath(std::string_view path) {
  const size_t slash = path.find_last_of('\\');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}
