// Splits arbitrary record texts as the Log page does and checks that the
// parts are pieces of the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "log/LogText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // The first byte, if any, picks where the owner path is cut from the text.
  const size_t split = size ? data[0] % 64 : 0;
  const std::string_view text = size ? input.substr(1) : input;
  const std::string_view owner = text.substr(0, std::min(split, text.size()));

  const LogTextParts parts = SplitLogText(text);
  Check(parts.fields >= 0 && parts.fields <= 3);
  std::string_view usable = text.substr(0, text.find('\0'));
  if (usable.size() > LOG_MAX_TEXT) usable = usable.substr(0, LOG_MAX_TEXT);
  if (parts.fields >= 1) {
    Check(usable.substr(0, parts.time.size()) == parts.time);
    Check(parts.time.find(',') == std::string::npos);
  }
  if (parts.fields >= 2) Check(parts.process.find(',') == std::string::npos);
  if (parts.fields == 3) {
    const std::string joined = parts.time + "," + parts.process + "," + parts.actionPrefix + " : " + parts.detail;
    Check(joined == usable);
  }
  if (parts.fields < 3) Check(parts.detail.empty() && parts.actionPrefix.empty());

  const bool own = IsOwnRecord(text, owner);
  if (owner.empty() || owner.find('\0') == 0) Check(!own);

  const std::string path = ExplorerSelectPath(parts.detail);
  Check(std::string_view(parts.detail).substr(0, path.size()) == path);
  Check(path.find(" -") == std::string::npos);
  return 0;
}
