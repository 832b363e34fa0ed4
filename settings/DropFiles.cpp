#include "settings/DropFiles.h"

#include "framework/ByteOrder.h"

bool ParseDropFiles(const uint8_t* data, size_t size, DropFileList& out) {
  out = DropFileList{};
  if (!data || size < kDropFilesHeaderLength) return false;
  const uint32_t offset = Load32(data);
  if (offset < kDropFilesHeaderLength || offset > size) return false;
  out.wide = Load32(data + 16) != 0;
  size_t pos = offset;
  if (out.wide) {
    for (;;) {
      std::u16string name;
      bool ended = false;
      while (pos + 1 < size) {
        const char16_t c = static_cast<char16_t>(data[pos] | data[pos + 1] << 8);
        pos += 2;
        if (c == 0) {
          ended = true;
          break;
        }
        name += c;
      }
      if (!ended || name.empty()) break;
      out.wideNames.push_back(std::move(name));
    }
  } else {
    for (;;) {
      std::string name;
      bool ended = false;
      while (pos < size) {
        const char c = static_cast<char>(data[pos++]);
        if (c == 0) {
          ended = true;
          break;
        }
        name += c;
      }
      if (!ended || name.empty()) break;
      out.names.push_back(std::move(name));
    }
  }
  return true;
}

std::vector<uint8_t> BuildDropFiles(const std::vector<std::string>& names) {
  std::vector<uint8_t> block(kDropFilesHeaderLength, 0);
  Store32(block.data(), static_cast<uint32_t>(kDropFilesHeaderLength));
  for (const auto& n : names) {
    block.insert(block.end(), n.begin(), n.end());
    block.push_back(0);
  }
  block.push_back(0);
  return block;
}
