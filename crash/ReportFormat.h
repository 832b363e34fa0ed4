// The text of the error report, free of Win32: the report buffer that is
// written out in chunks, the exception and system names, and the lines of
// each section. The crash handler gathers the facts and calls these.
//
// Every address-sized value (instruction pointer, registers, stack line
// addresses, image bases, access-violation addresses) prints with 8
// hexadecimal digits in a 32-bit report and 16 in a 64-bit one, where the
// register names become RDI ... RSP. Everything else is the same for both.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crashreport {

// The report buffer: pieces of text are formatted into one fixed buffer;
// before each piece it is written out and emptied if it holds more than
// kFlushAbove bytes. Nothing is allocated.
class ReportWriter {
 public:
  static constexpr size_t kBufferSize = 8192;
  static constexpr size_t kFlushAbove = 7168;
  // The most one piece adds (as the system formatter: 1024 with the end).
  static constexpr size_t kPieceMax = 1024;

  using Sink = void (*)(void* context, const char* data, size_t size);

  // Starts an empty report that goes to the sink.
  void Begin(Sink sink, void* context);
  void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Writes out the rest, if any.
  void Finish();
  size_t Count() const { return count_; }

 private:
  void Flush();

  char buffer_[kBufferSize];
  size_t count_ = 0;
  Sink sink_ = nullptr;
  void* context_ = nullptr;
};

// "an Access Violation" for 0xC0000005; "an Unknown exception type" for a
// code that is not one of the 24 known ones.
const char* ExceptionName(uint32_t code);

// Platform ids as the system reports them.
inline constexpr uint32_t kPlatformWin9x = 1;
inline constexpr uint32_t kPlatformNT = 2;
inline constexpr uint32_t kPlatformCE = 3;
// The system's name, or "unknown Windows version". build: its low 16 bits
// count.
const char* WindowsName(uint32_t platform, uint32_t major, uint32_t minor, uint32_t build);

// The file name part of a path (after the last backslash), with everything
// from its last dot cut off, into out (always terminated).
void ProgramNameOf(const char* path, char* out, size_t outSize);
// Replaces the file name part of path by name, in place; false (path left
// as it was) when the result would not fit in pathSize.
bool ReplaceFileName(char* path, size_t pathSize, const char* name);

// Bytes rounded up to megabytes.
inline uint64_t MegabytesRoundedUp(uint64_t bytes) { return (bytes + 1048575) / 1048576; }

// A date and time in the FAT file system's packed form, as
// "month/day/year hh:mm:ss" (seconds are even). out holds at least 32.
void FormatFatTime(uint16_t fatDate, uint16_t fatTime, char* out, size_t outSize);

// "<program> caused <name> (0x<code>) \r\nin module <module> at cs:ip.\r\n\r\n"
void AppendHeader(ReportWriter& w, const char* program, uint32_t code, const char* module, uint32_t cs, uint64_t ip,
                  bool wide);
// The access-violation line, only for 0xC0000005 with two or more parameters.
void AppendAccessViolation(ReportWriter& w, uint32_t code, uint32_t parameterCount, uint64_t operation,
                           uint64_t address, bool wide);

struct RegisterSet {
  uint64_t di, si, ax, bx, cx, dx, ip, bp, sp;
  uint32_t cs, flags, ss;
};
// "\r\nContext:\r\n" and the four register lines.
void AppendRegisters(ReportWriter& w, const RegisterSet& r, bool wide);

// "\r\nBytes at CS:EIP:\r\n" and 16 bytes; bit i of readable clear means
// byte i could not be read ("?? ").
void AppendCodeBytes(ReportWriter& w, const uint8_t bytes[16], uint16_t readable);

// Reads size bytes at address; false when they cannot be read.
using MemoryReader = bool (*)(void* context, uint64_t address, void* out, size_t size);

inline constexpr uint64_t kStackDumpMax = 12288;
// The stack dump from sp upward, in 32-bit words four to a line, up to the
// lower of top and sp + kStackDumpMax.
void AppendStack(ReportWriter& w, uint64_t sp, uint64_t top, bool wide, MemoryReader read, void* context);

inline constexpr size_t kVersionStringMax = 197;

// One module of the module list, as far as it could be read.
struct ModuleEntry {
  const char* path;
  // False when the module's headers could not be read: the entry ends after
  // its path and the module does not count.
  bool headersRead;
  uint64_t imageBase;
  uint32_t imageSize, checksum, timeStamp;
  int64_t fileSize;      // 0 when the file could not be opened
  const char* fileTime;  // "" when the file could not be opened
  const char* company;   // "" without version information
  const char* product;
  const char* description;
  uint16_t fileVersion[4];  // major, minor, build, revision; zeros without
  uint16_t productVersion[4];
};
// Writes the entry; true when it was written whole (the number advances).
bool AppendModule(ReportWriter& w, int number, const ModuleEntry& m, bool wide);

// The four 16-bit parts of a version from its two double words.
void SplitVersion(uint32_t mostSignificant, uint32_t leastSignificant, uint16_t out[4]);

// "\r\n===== [end of ERRORLOG.TXT] =====\r\n"
void AppendEnd(ReportWriter& w, const char* reportName);

}  // namespace crashreport
