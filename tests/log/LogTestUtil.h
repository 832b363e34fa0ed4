// Shared pieces of the log tests: a private log file (own path, mapping and
// event names, so that no test meets the real log or another test), and
// record helpers.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "log/LogFile.h"
#include "rules/RuleRecord.h"

namespace logtest {

struct TempLog {
  std::string dir = testsupport::MakeTempDir("log");
  std::string path = dir + "\\QX5.log";
  std::string tag =
      std::to_string(GetCurrentProcessId()) + "." + std::to_string(GetTickCount()) + "." + std::to_string(Next());
  std::string mapping = "VkTest.log." + tag;
  std::string event = "VkTest.event." + tag;

  static unsigned Next() {
    static LONG n = 0;
    return static_cast<unsigned>(InterlockedIncrement(&n));
  }
  // The stand-in's options that select this log.
  std::string SimArgs() const { return "--path \"" + path + "\" --mapping " + mapping + " --event " + event; }
};

inline uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  uint32_t v;
  memcpy(&v, b.data() + at, 4);
  return v;
}

// Writes a file with the given bytes, replacing any old one.
inline bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  HANDLE f =
      CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD n = 0;
  BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(f);
  return ok && n == bytes.size();
}

inline void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Appends a raw record (no checks) to a byte image.
inline void PutRecord(std::vector<uint8_t>& b, uint32_t type, uint32_t action, const std::string& text) {
  Put32(b, type);
  Put32(b, action);
  Put32(b, static_cast<uint32_t>(text.size()));
  b.insert(b.end(), text.begin(), text.end());
}

// Runs the engine stand-in and returns its exit code; its output goes to
// outFile when given.
inline DWORD RunSim(const std::string& args, const std::string& outFile = "", DWORD ms = 120000) {
  testsupport::Process p;
  if (!testsupport::StartHelper(p, "engine-sim.exe", args, outFile)) return ~0u;
  return p.Wait(ms);
}

// An icon lookup that never returns: the reader stuck in a shell call that
// its quit event cannot reach (a process on a network path).
inline std::atomic<int> g_stuckLookups{0};
inline int StuckLookup(const std::string&) {
  ++g_stuckLookups;
  for (;;) Sleep(INFINITE);
}

inline std::string ReadText(const std::string& path) {
  auto bytes = testsupport::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace logtest
