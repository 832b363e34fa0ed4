// Reads arbitrary bytes as a whole log view, oldest record first, and checks
// that every record taken is one the reader accepts and lies in the view.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "log/LogHistory.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < LOG_HEADER_SIZE || size > 0xFFFFFFFFu) return 0;
  // A copy of exactly the input's size, so that a read past it is caught.
  std::vector<uint8_t> view(data, data + size);
  const uint32_t maxSize = static_cast<uint32_t>(size);
  const LogHistory h = ReadLogHistory(view.data() + LOG_HEADER_SIZE, maxSize);
  for (const auto& item : h.items) {
    Check(item->type != 0 && item->length >= 1 && item->length <= LOG_MAX_TEXT);
    Check(item->text.size() == item->length);
  }
  Check(h.items.empty() || !IsInLogReserve(0, maxSize));
  Check(!h.haveLapFirst || h.lapFirst.length > 0);
  return 0;
}
