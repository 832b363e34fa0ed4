// Helpers shared by the core tests: a trace recorder and little-endian
// byte builders for file images.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "framework/Trace.h"

// Records every trace line while it lives.
class TraceRecorder {
 public:
  TraceRecorder() : previous_(SetTraceSink(&Record)) { Lines().clear(); }
  ~TraceRecorder() { SetTraceSink(previous_); }
  TraceRecorder(const TraceRecorder&) = delete;
  TraceRecorder& operator=(const TraceRecorder&) = delete;

  const std::vector<std::string>& lines() const { return Lines(); }
  bool Saw(std::string_view line) const {
    for (const auto& l : Lines())
      if (l == line) return true;
    return false;
  }

 private:
  static std::vector<std::string>& Lines() {
    static std::vector<std::string> lines;
    return lines;
  }
  static void Record(const char* text) { Lines().emplace_back(text); }
  TraceSink previous_;
};

inline void Put32(std::vector<uint8_t>& buf, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) buf.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}

inline uint32_t Get32(const std::vector<uint8_t>& buf, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t{buf.at(at + i)} << (8 * i);
  return v;
}

inline void PutBytes(std::vector<uint8_t>& buf, size_t at, std::string_view s) {
  for (size_t i = 0; i < s.size(); ++i) buf.at(at + i) = static_cast<uint8_t>(s[i]);
}

inline std::string GetBytes(const std::vector<uint8_t>& buf, size_t at, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>(buf.at(at + i));
  return s;
}
