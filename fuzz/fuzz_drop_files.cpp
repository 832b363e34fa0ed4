// Reads arbitrary bytes as a clipboard file-drop list and checks that every
// name lies inside the block, and that a list built from the names reads
// back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "settings/DropFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DropFileList list;
  if (!ParseDropFiles(data, size, list)) {
    Check(list.names.empty() && list.wideNames.empty());
    return 0;
  }
  size_t total = 0;
  for (const auto& n : list.names) {
    Check(!n.empty() && n.find('\0') == std::string::npos);
    total += n.size() + 1;
  }
  for (const auto& n : list.wideNames) {
    Check(!n.empty() && n.find(u'\0') == std::u16string::npos);
    total += 2 * (n.size() + 1);
  }
  Check(total + kDropFilesHeaderLength <= size);
  Check(list.wide || list.wideNames.empty());
  Check(!list.wide || list.names.empty());

  if (!list.wide) {
    const std::vector<uint8_t> again = BuildDropFiles(list.names);
    DropFileList back;
    Check(ParseDropFiles(again.data(), again.size(), back));
    Check(back.names == list.names && !back.wide);
  }
  return 0;
}
