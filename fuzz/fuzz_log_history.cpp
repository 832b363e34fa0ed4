// Reads arbitrary bytes as a whole log view, oldest record first, and checks
// that every record taken is one the reader accepts and lies in the view, at
// the position the history gives; a follower's lap tests stay in the view.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "log/LogHistory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < LOG_HEADER_SIZE || size > 0xFFFFFFFFu) return 0;
  // A copy of exactly the input's size, so that a read past it is caught.
  std::vector<uint8_t> view(data, data + size);
  const uint32_t maxSize = static_cast<uint32_t>(size);
  const uint8_t* base = view.data() + LOG_HEADER_SIZE;
  const LogHistory h = ReadLogHistory(base, maxSize);
  Check(h.positions.size() == h.items.size() && h.olderLapItems <= h.items.size());
  for (size_t i = 0; i < h.items.size(); ++i) {
    const LOGFILE_ITEM& item = *h.items[i];
    Check(item.type != 0 && item.length >= 1 && item.length <= LOG_MAX_TEXT);
    Check(item.text.size() == item.length);
    LOGFILE_ITEM again;
    Check(again.BuildFromBuffer(base + h.positions[i], size - LOG_HEADER_SIZE - h.positions[i]) &&
          again.text == item.text);
  }
  const bool older = LogHasOlderLap(base, maxSize);
  Check(!older || h.olderLapItems > 0);
  for (const uint32_t position : {0u, h.writePosition, static_cast<uint32_t>(size / 2)}) {
    LogFollowerLapped(base, maxSize, position, h.haveLapFirst ? &h.lapFirst : nullptr, false);
    LogFollowerLapped(base, maxSize, position, nullptr, false);
  }
  Check(h.items.empty() || !IsInLogReserve(0, maxSize));
  Check(!h.haveLapFirst || h.lapFirst.length > 0);
  return 0;
}
