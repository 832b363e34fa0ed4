#include "crash/ReportFormat.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace crashreport {

void ReportWriter::Begin(Sink sink, void* context) {
  sink_ = sink;
  context_ = context;
  count_ = 0;
}

void ReportWriter::Flush() {
  if (count_ > 0 && sink_) sink_(context_, buffer_, count_);
  count_ = 0;
}

void ReportWriter::Printf(const char* format, ...) {
  if (count_ > kFlushAbove) Flush();
  // After the flush rule at least kPieceMax bytes are free.
  const size_t room = kBufferSize - count_;
  const size_t limit = room < kPieceMax ? room : kPieceMax;
  va_list args;
  va_start(args, format);
  const int n = vsnprintf(buffer_ + count_, limit, format, args);
  va_end(args);
  if (n <= 0) return;
  count_ += static_cast<size_t>(n) < limit ? static_cast<size_t>(n) : limit - 1;
}

void ReportWriter::Finish() {
  if (count_ >= 1) Flush();
}

namespace {

struct CodeName {
  uint32_t code;
  const char* name;
};

constexpr CodeName kExceptionNames[] = {
    {0x40010005, "a Control-C"},
    {0x40010008, "a Control-Break"},
    {0x80000002, "a Datatype Misalignment"},
    {0x80000003, "a Breakpoint"},
    {0xC0000005, "an Access Violation"},
    {0xC0000006, "an In Page Error"},
    {0xC0000017, "a No Memory"},
    {0xC000001D, "an Illegal Instruction"},
    {0xC0000025, "a Noncontinuable Exception"},
    {0xC0000026, "an Invalid Disposition"},
    {0xC000008C, "a Array Bounds Exceeded"},
    {0xC000008D, "a Float Denormal Operand"},
    {0xC000008E, "a Float Divide by Zero"},
    {0xC000008F, "a Float Inexact Result"},
    {0xC0000090, "a Float Invalid Operation"},
    {0xC0000091, "a Float Overflow"},
    {0xC0000092, "a Float Stack Check"},
    {0xC0000093, "a Float Underflow"},
    {0xC0000094, "an Integer Divide by Zero"},
    {0xC0000095, "an Integer Overflow"},
    {0xC0000096, "a Privileged Instruction"},
    {0xC00000FD, "a Stack Overflow"},
    {0xC0000142, "a DLL Initialization Failed"},
    {0xE06D7363, "a Microsoft C++ Exception"},
};
static_assert(sizeof kExceptionNames / sizeof kExceptionNames[0] == 24);

// An address-sized value: 8 or 16 hexadecimal digits.
const char* AddressFormat(bool wide) { return wide ? "%016" PRIx64 : "%08" PRIx64; }

uint64_t Narrow(uint64_t value, bool wide) { return wide ? value : (value & 0xFFFFFFFFu); }

}  // namespace

const char* ExceptionName(uint32_t code) {
  for (const auto& entry : kExceptionNames)
    if (entry.code == code) return entry.name;
  return "an Unknown exception type";
}

const char* WindowsName(uint32_t platform, uint32_t major, uint32_t minor, uint32_t build) {
  build &= 0xFFFF;
  const char* name = "unknown Windows version";
  if (platform == kPlatformWin9x && major == 4) {
    if (minor < 10) {
      if (build == 950)
        name = "Windows 95";
      else if (build >= 951 && build <= 1080)
        name = "Windows 95 SP1";
      else if (build > 1080)
        name = "Windows 95 OSR2";
    } else if (minor == 10) {
      if (build == 1998)
        name = "Windows 98";
      else if (build >= 1999 && build <= 2182)
        name = "Windows 98 SP1";
      else if (build >= 2183)
        name = "Windows 98 SE";
    } else if (minor == 90) {
      name = "Windows ME";
    }
  } else if (platform == kPlatformNT) {
    if (major == 3 && minor == 51)
      name = "Windows NT 3.51";
    else if (major == 4 && minor == 0)
      name = "Windows NT 4";
    else if (major == 5 && minor == 0)
      name = "Windows 2000";
    else if (major == 5 && minor == 1)
      name = "Windows XP";
    else if (major == 5 && minor == 2)
      name = "Windows 2003 Server";
  } else if (platform == kPlatformCE) {
    name = "Windows CE";
  }
  return name;
}

void ProgramNameOf(const char* path, char* out, size_t outSize) {
  if (!out || outSize == 0) return;
  out[0] = '\0';
  if (!path) return;
  const char* slash = strrchr(path, '\\');
  const char* name = slash ? slash + 1 : path;
  size_t length = strlen(name);
  if (const char* dot = strrchr(name, '.')) length = static_cast<size_t>(dot - name);
  if (length >= outSize) length = outSize - 1;
  memcpy(out, name, length);
  out[length] = '\0';
}

bool ReplaceFileName(char* path, size_t pathSize, const char* name) {
  if (!path || !name || pathSize == 0) return false;
  char* slash = strrchr(path, '\\');
  const size_t keep = slash ? static_cast<size_t>(slash - path) + 1 : 0;
  const size_t length = strlen(name);
  if (keep + length + 1 > pathSize) return false;
  memcpy(path + keep, name, length + 1);
  return true;
}

void FormatFatTime(uint16_t fatDate, uint16_t fatTime, char* out, size_t outSize) {
  const int year = 1980 + (fatDate >> 9);
  const int month = (fatDate >> 5) & 0x0F;
  const int day = fatDate & 0x1F;
  const int hours = fatTime >> 11;
  const int minutes = (fatTime >> 5) & 0x3F;
  const int seconds = (fatTime & 0x1F) * 2;
  snprintf(out, outSize, "%d/%d/%d %02d:%02d:%02d", month, day, year, hours, minutes, seconds);
}

void AppendHeader(ReportWriter& w, const char* program, uint32_t code, const char* module, uint32_t cs, uint64_t ip,
                  bool wide) {
  char format[96];
  snprintf(format, sizeof format, "%%s caused %%s (0x%%08x) \r\nin module %%s at %%04x:%s.\r\n\r\n",
           AddressFormat(wide));
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  w.Printf(format, program, ExceptionName(code), code, module, cs, Narrow(ip, wide));
#pragma GCC diagnostic pop
}

void AppendAccessViolation(ReportWriter& w, uint32_t code, uint32_t parameterCount, uint64_t operation,
                           uint64_t address, bool wide) {
  if (code != 0xC0000005 || parameterCount < 2) return;
  // The line is built in a local buffer first, then added as one piece.
  char line[128];
  char format[64];
  snprintf(format, sizeof format, "%%s location %s caused an access violation.\r\n", AddressFormat(wide));
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  snprintf(line, sizeof line, format, operation ? "Write to" : "Read from", Narrow(address, wide));
#pragma GCC diagnostic pop
  w.Printf("%s", line);
}

void AppendRegisters(ReportWriter& w, const RegisterSet& r, bool wide) {
  w.Printf("\r\n");
  w.Printf("Context:\r\n");
  if (wide) {
    w.Printf("RDI:    0x%016" PRIx64 "  RSI: 0x%016" PRIx64 "  RAX:   0x%016" PRIx64 "\r\n", r.di, r.si, r.ax);
    w.Printf("RBX:    0x%016" PRIx64 "  RCX: 0x%016" PRIx64 "  RDX:   0x%016" PRIx64 "\r\n", r.bx, r.cx, r.dx);
    w.Printf("RIP:    0x%016" PRIx64 "  RBP: 0x%016" PRIx64 "  SegCs: 0x%08x\r\n", r.ip, r.bp, r.cs);
    w.Printf("EFlags: 0x%08x  RSP: 0x%016" PRIx64 "  SegSs: 0x%08x\r\n", r.flags, r.sp, r.ss);
  } else {
    auto n = [](uint64_t v) { return static_cast<uint32_t>(v); };
    w.Printf("EDI:    0x%08x  ESI: 0x%08x  EAX:   0x%08x\r\n", n(r.di), n(r.si), n(r.ax));
    w.Printf("EBX:    0x%08x  ECX: 0x%08x  EDX:   0x%08x\r\n", n(r.bx), n(r.cx), n(r.dx));
    w.Printf("EIP:    0x%08x  EBP: 0x%08x  SegCs: 0x%08x\r\n", n(r.ip), n(r.bp), r.cs);
    w.Printf("EFlags: 0x%08x  ESP: 0x%08x  SegSs: 0x%08x\r\n", r.flags, n(r.sp), r.ss);
  }
}

void AppendCodeBytes(ReportWriter& w, const uint8_t bytes[16], uint16_t readable) {
  w.Printf("\r\nBytes at CS:EIP:\r\n");
  for (int i = 0; i < 16; ++i) {
    if (readable & (1u << i))
      w.Printf("%02x ", bytes[i]);
    else
      w.Printf("?? ");
  }
}

void AppendStack(ReportWriter& w, uint64_t sp, uint64_t top, bool wide, MemoryReader read, void* context) {
  w.Printf("\r\n\r\nStack:\r\n");
  const uint64_t end = sp + kStackDumpMax;
  const uint64_t limit = top < end ? top : end;
  char addressFormat[16];
  snprintf(addressFormat, sizeof addressFormat, "0x%s: ", AddressFormat(wide));
  for (uint64_t line = sp; line + 4 <= limit; line += 16) {
    uint32_t words[4] = {};
    int count = 0;
    while (count < 4 && line + 4u * (count + 1) <= limit) ++count;
    if (!read || !read(context, line, words, 4u * count)) {
      w.Printf("Exception encountered during stack dump.\r\n");
      return;
    }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    w.Printf(addressFormat, Narrow(line, wide));
#pragma GCC diagnostic pop
    for (int i = 0; i < count; ++i) w.Printf("%08x ", words[i]);
    for (int i = count; i < 4; ++i) w.Printf("         ");
    for (int i = 0; i < count; ++i) {
      for (int b = 0; b < 4; ++b) {
        const unsigned c = (words[i] >> (8 * b)) & 0xFF;
        w.Printf("%c", (c >= 0x20 && c <= 0x7E) ? static_cast<int>(c) : '.');
      }
    }
    w.Printf("\r\n");
  }
  w.Printf("\r\n");
}

void SplitVersion(uint32_t mostSignificant, uint32_t leastSignificant, uint16_t out[4]) {
  out[0] = static_cast<uint16_t>(mostSignificant >> 16);
  out[1] = static_cast<uint16_t>(mostSignificant & 0xFFFF);
  out[2] = static_cast<uint16_t>(leastSignificant >> 16);
  out[3] = static_cast<uint16_t>(leastSignificant & 0xFFFF);
}

bool AppendModule(ReportWriter& w, int number, const ModuleEntry& m, bool wide) {
  w.Printf("Module %d\r\n", number);
  w.Printf("%s\r\n", m.path ? m.path : "");
  if (!m.headersRead) return false;
  char format[96];
  snprintf(format, sizeof format, "Image Base: 0x%s  Image Size: 0x%%08x\r\n", AddressFormat(wide));
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  w.Printf(format, Narrow(m.imageBase, wide), m.imageSize);
#pragma GCC diagnostic pop
  w.Printf("Checksum:   0x%08x  Time Stamp: 0x%08x\r\n", m.checksum, m.timeStamp);
  w.Printf("File Size:  %-10d  File Time:  %s\r\n", static_cast<int>(m.fileSize), m.fileTime ? m.fileTime : "");
  w.Printf("Version Information:\r\n");
  const int cut = static_cast<int>(kVersionStringMax);
  w.Printf("   Company:    %.*s\r\n", cut, m.company ? m.company : "");
  w.Printf("   Product:    %.*s\r\n", cut, m.product ? m.product : "");
  w.Printf("   FileDesc:   %.*s\r\n", cut, m.description ? m.description : "");
  w.Printf("   FileVer:    %d.%d.%d.%d\r\n", m.fileVersion[0], m.fileVersion[1], m.fileVersion[2], m.fileVersion[3]);
  w.Printf("   ProdVer:    %d.%d.%d.%d\r\n", m.productVersion[0], m.productVersion[1], m.productVersion[2],
           m.productVersion[3]);
  w.Printf("\r\n");
  return true;
}

void AppendEnd(ReportWriter& w, const char* reportName) { w.Printf("\r\n===== [end of %s] =====\r\n", reportName); }

}  // namespace crashreport
