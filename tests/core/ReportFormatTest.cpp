#include "crash/ReportFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace crashreport;

namespace {

// A report that collects its writes.
struct Capture {
  std::vector<std::string> writes;
  std::string Text() const {
    std::string all;
    for (const auto& w : writes) all += w;
    return all;
  }
};

void Collect(void* context, const char* data, size_t size) {
  static_cast<Capture*>(context)->writes.emplace_back(data, size);
}

// A writer on the heap (it holds its whole buffer) that goes to a capture.
struct Report {
  Capture capture;
  std::unique_ptr<ReportWriter> w = std::make_unique<ReportWriter>();
  Report() { w->Begin(Collect, &capture); }
  std::string Finish() {
    w->Finish();
    return capture.Text();
  }
};

// Stack memory for the dump: bytes at a made-up base address.
struct FakeStack {
  uint64_t base;
  std::vector<uint8_t> bytes;
  uint64_t unreadableFrom = ~0ull;
};

bool ReadFake(void* context, uint64_t address, void* out, size_t size) {
  auto* s = static_cast<FakeStack*>(context);
  if (address < s->base || address + size > s->base + s->bytes.size() || address + size > s->unreadableFrom)
    return false;
  memcpy(out, s->bytes.data() + (address - s->base), size);
  return true;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

TEST(ReportWriter, LongReportArrivesCompleteAndInOrderInSeveralWrites) {
  Report r;
  std::string expected;
  for (int i = 0; i < 400; ++i) {
    r.w->Printf("line %04d of the report text\r\n", i);
    char line[64];
    snprintf(line, sizeof line, "line %04d of the report text\r\n", i);
    expected += line;
  }
  ASSERT_GT(expected.size(), ReportWriter::kFlushAbove);
  const std::string text = r.Finish();
  EXPECT_EQ(expected, text);
  ASSERT_GE(r.capture.writes.size(), 2u);
  for (size_t i = 0; i + 1 < r.capture.writes.size(); ++i) {
    // Written out only once it held more than 7168 bytes, never more than
    // the buffer.
    EXPECT_GT(r.capture.writes[i].size(), ReportWriter::kFlushAbove);
    EXPECT_LE(r.capture.writes[i].size(), ReportWriter::kBufferSize);
  }
}

TEST(ReportWriter, ShortReportIsOneWriteAndEmptyIsNone) {
  Report r;
  r.w->Printf("%s", "abc");
  EXPECT_EQ("abc", r.Finish());
  EXPECT_EQ(1u, r.capture.writes.size());
  Report empty;
  EXPECT_EQ("", empty.Finish());
  EXPECT_TRUE(empty.capture.writes.empty());
}

TEST(ReportWriter, APieceIsCutAt1023Characters) {
  Report r;
  const std::string big(3000, 'x');
  r.w->Printf("%s", big.c_str());
  r.w->Printf("|");
  EXPECT_EQ(std::string(1023, 'x') + "|", r.Finish());
}

TEST(ReportNames, ExceptionTable) {
  EXPECT_STREQ("an Access Violation", ExceptionName(0xC0000005));
  EXPECT_STREQ("a Control-C", ExceptionName(0x40010005));
  EXPECT_STREQ("a Array Bounds Exceeded", ExceptionName(0xC000008C));
  EXPECT_STREQ("an Integer Divide by Zero", ExceptionName(0xC0000094));
  EXPECT_STREQ("a Stack Overflow", ExceptionName(0xC00000FD));
  EXPECT_STREQ("a Microsoft C++ Exception", ExceptionName(0xE06D7363));
  EXPECT_STREQ("an Unknown exception type", ExceptionName(0xC0000409));
  EXPECT_STREQ("an Unknown exception type", ExceptionName(0));
}

TEST(ReportNames, WindowsVersions) {
  struct Case {
    uint32_t platform, major, minor, build;
    const char* name;
  } cases[] = {
      {kPlatformWin9x, 4, 0, 949, "unknown Windows version"},
      {kPlatformWin9x, 4, 0, 950, "Windows 95"},
      {kPlatformWin9x, 4, 3, 951, "Windows 95 SP1"},
      {kPlatformWin9x, 4, 0, 1080, "Windows 95 SP1"},
      {kPlatformWin9x, 4, 0, 1081, "Windows 95 OSR2"},
      {kPlatformWin9x, 4, 10, 1997, "unknown Windows version"},
      {kPlatformWin9x, 4, 10, 1998, "Windows 98"},
      {kPlatformWin9x, 4, 10, 2182, "Windows 98 SP1"},
      {kPlatformWin9x, 4, 10, 2222, "Windows 98 SE"},
      {kPlatformWin9x, 4, 10, 0x04000000 | 1998, "Windows 98"},  // only the low 16 bits count
      {kPlatformWin9x, 4, 90, 3000, "Windows ME"},
      {kPlatformNT, 3, 51, 1057, "Windows NT 3.51"},
      {kPlatformNT, 4, 0, 1381, "Windows NT 4"},
      {kPlatformNT, 5, 0, 2195, "Windows 2000"},
      {kPlatformNT, 5, 1, 2600, "Windows XP"},
      {kPlatformNT, 5, 2, 3790, "Windows 2003 Server"},
      {kPlatformNT, 6, 1, 7601, "unknown Windows version"},
      {kPlatformCE, 7, 0, 1, "Windows CE"},
  };
  for (const auto& c : cases)
    EXPECT_STREQ(c.name, WindowsName(c.platform, c.major, c.minor, c.build))
        << c.platform << " " << c.major << "." << c.minor << "." << c.build;
}

TEST(ReportNames, ProgramNameAndSiblingFiles) {
  char name[16];
  ProgramNameOf("C:\\Program Files\\Varnokel\\Varnokel.exe", name, sizeof name);
  EXPECT_STREQ("Varnokel", name);
  ProgramNameOf("C:\\a.b\\probe.test.exe", name, sizeof name);
  EXPECT_STREQ("probe.test", name) << "only the last dot ends the name";
  ProgramNameOf("Unknown", name, sizeof name);
  EXPECT_STREQ("Unknown", name);
  ProgramNameOf("C:\\x\\averyveryverylongname.exe", name, sizeof name);
  EXPECT_STREQ("averyveryverylo", name);

  char path[32] = "C:\\dir\\Varnokel.exe";
  EXPECT_TRUE(ReplaceFileName(path, sizeof path, "ERRORLOG.TXT"));
  EXPECT_STREQ("C:\\dir\\ERRORLOG.TXT", path);
  EXPECT_FALSE(ReplaceFileName(path, sizeof path, "a-name-far-too-long-to-fit.txt"));
  EXPECT_STREQ("C:\\dir\\ERRORLOG.TXT", path);
}

TEST(ReportLines, FatTimeHasEvenSecondsAndUnpaddedDate) {
  // 2026-12-08 09:05:07 packs to seconds/2 = 3.
  const uint16_t date = static_cast<uint16_t>(((2026 - 1980) << 9) | (12 << 5) | 8);
  const uint16_t time = static_cast<uint16_t>((9 << 11) | (5 << 5) | 3);
  char text[32];
  FormatFatTime(date, time, text, sizeof text);
  EXPECT_STREQ("12/8/2026 09:05:06", text);
  EXPECT_EQ(0u, MegabytesRoundedUp(0));
  EXPECT_EQ(1u, MegabytesRoundedUp(1));
  EXPECT_EQ(1u, MegabytesRoundedUp(1048576));
  EXPECT_EQ(2u, MegabytesRoundedUp(1048577));
}

TEST(ReportLines, HeaderIn32And64BitForm) {
  Report r32;
  AppendHeader(*r32.w, "Varnokel", 0xC0000005, "ntdll.dll", 0x1b, 0x7c901234, false);
  EXPECT_EQ("Varnokel caused an Access Violation (0xc0000005) \r\nin module ntdll.dll at 001b:7c901234.\r\n\r\n",
            r32.Finish());
  Report r64;
  AppendHeader(*r64.w, "Varnokel", 0xC0000094, "Varnokel.exe", 0x33, 0x140001234ull, true);
  EXPECT_EQ(
      "Varnokel caused an Integer Divide by Zero (0xc0000094) \r\nin module Varnokel.exe at "
      "0033:0000000140001234.\r\n\r\n",
      r64.Finish());
}

TEST(ReportLines, AccessViolationLineNeedsTwoParameters) {
  struct Case {
    uint32_t code, count;
    uint64_t operation, address;
    bool wide;
    const char* line;
  } cases[] = {
      {0xC0000005, 2, 1, 0x10, false, "Write to location 00000010 caused an access violation.\r\n"},
      {0xC0000005, 3, 0, 0xdeadbeef, false, "Read from location deadbeef caused an access violation.\r\n"},
      {0xC0000005, 2, 0, 0x7ff612345678ull, true,
       "Read from location 00007ff612345678 caused an access violation.\r\n"},
      {0xC0000005, 1, 1, 0x10, false, ""},
      {0xC0000005, 0, 0, 0, true, ""},
      {0xC0000094, 2, 1, 0x10, false, ""},
  };
  for (const auto& c : cases) {
    Report r;
    AppendAccessViolation(*r.w, c.code, c.count, c.operation, c.address, c.wide);
    EXPECT_EQ(c.line, r.Finish()) << c.count;
  }
}

TEST(ReportLines, RegistersIn32And64BitForm) {
  const RegisterSet regs{0x1111,         0x2222, 0x3333,   0x4444, 0x5555, 0x6666,
                         0x140001000ull, 0x7777, 0x22fe00, 0x33,   0x246,  0x2b};
  Report r32;
  AppendRegisters(*r32.w, regs, false);
  EXPECT_EQ(
      "\r\nContext:\r\n"
      "EDI:    0x00001111  ESI: 0x00002222  EAX:   0x00003333\r\n"
      "EBX:    0x00004444  ECX: 0x00005555  EDX:   0x00006666\r\n"
      "EIP:    0x40001000  EBP: 0x00007777  SegCs: 0x00000033\r\n"
      "EFlags: 0x00000246  ESP: 0x0022fe00  SegSs: 0x0000002b\r\n",
      r32.Finish());
  Report r64;
  AppendRegisters(*r64.w, regs, true);
  EXPECT_EQ(
      "\r\nContext:\r\n"
      "RDI:    0x0000000000001111  RSI: 0x0000000000002222  RAX:   0x0000000000003333\r\n"
      "RBX:    0x0000000000004444  RCX: 0x0000000000005555  RDX:   0x0000000000006666\r\n"
      "RIP:    0x0000000140001000  RBP: 0x0000000000007777  SegCs: 0x00000033\r\n"
      "EFlags: 0x00000246  RSP: 0x000000000022fe00  SegSs: 0x0000002b\r\n",
      r64.Finish());
}

TEST(ReportLines, UnreadableCodeBytesAreQuestionMarks) {
  uint8_t bytes[16];
  for (int i = 0; i < 16; ++i) bytes[i] = static_cast<uint8_t>(0xA0 + i);
  Report r;
  AppendCodeBytes(*r.w, bytes, 0x00FF);
  EXPECT_EQ("\r\nBytes at CS:EIP:\r\na0 a1 a2 a3 a4 a5 a6 a7 ?? ?? ?? ?? ?? ?? ?? ?? ", r.Finish());
}

TEST(ReportStack, ShortStackStopsAtItsTopWithThePaddedLastLine) {
  FakeStack s{0x0012ff00, std::vector<uint8_t>(24)};
  const char text[] = "Hello, stack!\x01\x7f\x20xyzABCDEFGH";
  memcpy(s.bytes.data(), text, 24);
  Report r;
  AppendStack(*r.w, s.base, s.base + 24, false, ReadFake, &s);
  EXPECT_EQ(
      "\r\n\r\nStack:\r\n"
      "0x0012ff00: 6c6c6548 73202c6f 6b636174 207f0121 Hello, stack!.. \r\n"
      "0x0012ff10: 417a7978 45444342 "
      "                  "
      "xyzABCDE\r\n"
      "\r\n",
      r.Finish())
      << "the last line has two blanks of nine for the missing words";
}

TEST(ReportStack, StopsAt12288BytesAndPrintsWideAddresses) {
  FakeStack s{0x00000000001ff000ull, std::vector<uint8_t>(20000, 'A')};
  Report r;
  AppendStack(*r.w, s.base, s.base + s.bytes.size(), true, ReadFake, &s);
  const auto lines = Lines(r.Finish());
  // Two blank lines, "Stack:", 768 full lines, the closing blank line.
  ASSERT_EQ(2u + 1 + 768 + 1, lines.size());
  EXPECT_EQ("0x00000000001ff000: 41414141 41414141 41414141 41414141 AAAAAAAAAAAAAAAA", lines[3]);
  EXPECT_EQ("0x0000000000201ff0: 41414141 41414141 41414141 41414141 AAAAAAAAAAAAAAAA", lines[3 + 767]);
  EXPECT_EQ("", lines.back());
}

TEST(ReportStack, ReadFailureEndsTheDumpAndKeepsTheLinesWritten) {
  FakeStack s{0x1000, std::vector<uint8_t>(64, 0)};
  s.unreadableFrom = 0x1000 + 20;
  Report r;
  AppendStack(*r.w, s.base, s.base + 64, false, ReadFake, &s);
  EXPECT_EQ(
      "\r\n\r\nStack:\r\n"
      "0x00001000: 00000000 00000000 00000000 00000000 ................\r\n"
      "Exception encountered during stack dump.\r\n",
      r.Finish());
}

TEST(ReportModules, ModuleWithoutVersionInformation) {
  ModuleEntry m{};
  m.path = "C:\\windows\\system32\\plain.dll";
  m.headersRead = true;
  m.imageBase = 0x10000000;
  m.imageSize = 0x5000;
  m.checksum = 0x1234;
  m.timeStamp = 0x5f000000;
  m.fileSize = 20480;
  m.fileTime = "1/2/2020 03:04:06";
  m.company = m.product = m.description = "";
  Report r;
  EXPECT_TRUE(AppendModule(*r.w, 3, m, false));
  EXPECT_EQ(
      "Module 3\r\n"
      "C:\\windows\\system32\\plain.dll\r\n"
      "Image Base: 0x10000000  Image Size: 0x00005000\r\n"
      "Checksum:   0x00001234  Time Stamp: 0x5f000000\r\n"
      "File Size:  20480       File Time:  1/2/2020 03:04:06\r\n"
      "Version Information:\r\n"
      "   Company:    \r\n"
      "   Product:    \r\n"
      "   FileDesc:   \r\n"
      "   FileVer:    0.0.0.0\r\n"
      "   ProdVer:    0.0.0.0\r\n"
      "\r\n",
      r.Finish());
}

TEST(ReportModules, VersionedWideModuleAndCutShortEntry) {
  ModuleEntry m{};
  m.path = "C:\\p\\Varnokel.exe";
  m.headersRead = true;
  m.imageBase = 0x140000000ull;
  m.imageSize = 0x73000;
  m.fileTime = "";
  const std::string longCompany(250, 'c');
  m.company = longCompany.c_str();
  m.product = "Varnokel";
  m.description = "Front end";
  SplitVersion(0x00010002, 0x00030004, m.fileVersion);
  SplitVersion(0x00050000, 0x00000006, m.productVersion);
  Report r;
  EXPECT_TRUE(AppendModule(*r.w, 1, m, true));
  const auto lines = Lines(r.Finish());
  ASSERT_EQ(12u, lines.size());
  EXPECT_EQ("Image Base: 0x0000000140000000  Image Size: 0x00073000", lines[2]);
  EXPECT_EQ("File Size:  0           File Time:  ", lines[4]);
  EXPECT_EQ("   Company:    " + std::string(kVersionStringMax, 'c'), lines[6]);
  EXPECT_EQ("   FileDesc:   Front end", lines[8]);
  EXPECT_EQ("   FileVer:    1.2.3.4", lines[9]);
  EXPECT_EQ("   ProdVer:    5.0.0.6", lines[10]);

  m.headersRead = false;
  Report cut;
  EXPECT_FALSE(AppendModule(*cut.w, 2, m, true));
  EXPECT_EQ("Module 2\r\nC:\\p\\Varnokel.exe\r\n", cut.Finish());
}

TEST(ReportLines, EndLine) {
  Report r;
  AppendEnd(*r.w, "ERRORLOG.TXT");
  EXPECT_EQ("\r\n===== [end of ERRORLOG.TXT] =====\r\n", r.Finish());
}

}  // namespace
