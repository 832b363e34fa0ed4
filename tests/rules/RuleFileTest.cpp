// The rule file on disk and in the shared mapping: byte layout, open
// semantics, damaged files, cancelled waits and a second process reading
// while this one rewrites.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "common/TestSupport.h"
#include "rules/RuleFile.h"
#include "rules/RuleSet.h"
#include "rules/SharedNames.h"

using namespace testsupport;

namespace {

struct TempRuleFile {
  std::string dir = MakeTempDir("rules");
  std::string path = dir + "\\QX5Rule.rle";
  // A mapping name of its own, so tests never meet the real rule file.
  std::string mapping = UniqueMapping("rle");
};

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  uint32_t v;
  memcpy(&v, b.data() + at, 4);
  return v;
}

RuleList MakeRules(std::initializer_list<std::pair<const char*, const char*>> items, uint32_t kinds = KIND_RUN) {
  RuleList rules;
  for (auto& [src, dst] : items) rules.push_back(MakeRule(src, dst, TYPE_FILE, kinds, RULE_MODE_NORMAL));
  return rules;
}

}  // namespace

TEST(RuleFile, OpenCreatesTheFileWithHeaderAndFullLength) {
  TempRuleFile t;
  CRuleFile file;
  ASSERT_EQ(0, file.Open(t.path.c_str(), t.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  file.CloseAfterWrite();
  auto bytes = ReadFileBytes(t.path);
  ASSERT_EQ(102400u, bytes.size());
  EXPECT_EQ(0, memcmp(bytes.data(), "QuorvexFirewallRuleFile", 23));
  EXPECT_EQ(0x00000700u, U32(bytes, 23));
  for (int i = 27; i < 39; ++i) EXPECT_EQ(0, bytes[i]) << i;
}

TEST(RuleFile, WritesRecordsByteForByteAndReadsThemBack) {
  TempRuleFile t;
  CRuleFile file;
  ASSERT_EQ(0, file.Open(t.path.c_str(), t.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  RuleList rules = MakeRules({{"*", "C:\\a.txt"}, {"C:\\p.exe", "D:\\Secret\\*"}});
  rules.back()->Kinds = KIND_OPEN | KIND_COPY;
  rules.back()->Type = TYPE_FILE | TYPE_SYSTEM;
  rules.back()->Mode = RULE_MODE_ALT;
  ASSERT_EQ(0, file.WriteRules(rules));
  EXPECT_EQ(29u + 20 + 8 + 11, file.GetUsedSize());

  auto bytes = ReadFileBytes(t.path);
  ASSERT_EQ(102400u, bytes.size());
  // First record at file offset 39: Type, Kinds, Mode, SourceLen, "*", DestLen, dest.
  EXPECT_EQ(TYPE_FILE, U32(bytes, 39));
  EXPECT_EQ(KIND_RUN, U32(bytes, 43));
  EXPECT_EQ(10u, U32(bytes, 47));
  EXPECT_EQ(1u, U32(bytes, 51));
  EXPECT_EQ('*', bytes[55]);
  EXPECT_EQ(8u, U32(bytes, 56));
  EXPECT_EQ(0, memcmp(&bytes[60], "C:\\a.txt", 8));
  // Second record right behind it, without terminators.
  EXPECT_EQ(TYPE_FILE | TYPE_SYSTEM, U32(bytes, 68));
  EXPECT_EQ(KIND_OPEN | KIND_COPY, U32(bytes, 72));
  EXPECT_EQ(9u, U32(bytes, 76));
  EXPECT_EQ(8u, U32(bytes, 80));
  EXPECT_EQ(0, memcmp(&bytes[84], "C:\\p.exe", 8));
  EXPECT_EQ(11u, U32(bytes, 92));
  EXPECT_EQ(0, memcmp(&bytes[96], "D:\\Secret\\*", 11));
  EXPECT_EQ(0u, U32(bytes, 107));  // end marker

  CRuleFile reader;
  ASSERT_EQ(0, reader.Open(t.path.c_str(), t.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessRead, false));
  RuleList back;
  uint32_t count = 0, offset = 0;
  EXPECT_EQ(-3, reader.ReadRules(back, &count, &offset));
  ASSERT_EQ(2u, count);
  EXPECT_EQ(68u, offset);
  EXPECT_EQ("C:\\a.txt", back.front()->Dest);
  EXPECT_EQ("C:\\p.exe", back.back()->Source);
  EXPECT_EQ(RULE_MODE_ALT, back.back()->Mode);
}

TEST(RuleFile, ARuleSetThatReachesTheReserveIsCutAtTheLastRecordThatFits) {
  TempRuleFile t;
  CRuleFile file;
  ASSERT_EQ(0, file.Open(t.path.c_str(), t.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  RuleList rules;
  const std::string dest(979, 'x');  // 20 + 1 + 979 = 1000 bytes a record
  for (int i = 0; i < 120; ++i) rules.push_back(MakeRule("*", dest + std::to_string(i % 10), TYPE_FILE, KIND_RUN, 10));
  EXPECT_EQ(-4, file.WriteRules(rules));
  // 39 + n * 1001 + 512 <= 102400  ->  n = 101 records.
  EXPECT_EQ(101u * 1001, file.GetUsedSize());
  auto bytes = ReadFileBytes(t.path);
  EXPECT_EQ(0u, U32(bytes, 39 + 101 * 1001));

  CRuleFile reader;
  ASSERT_EQ(0, reader.Open(t.path.c_str(), t.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessRead, false));
  RuleList back;
  uint32_t count = 0, offset = 0;
  EXPECT_EQ(-3, reader.ReadRules(back, &count, &offset));
  EXPECT_EQ(101u, count);
}

TEST(RuleFile, AnEmptySetWritesTheEndMarkerAndReadsBackEmpty) {
  TempRuleFile t;
  CRuleFile file;
  ASSERT_EQ(0, file.Open(t.path.c_str(), t.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  ASSERT_EQ(0, file.WriteRules(MakeRules({{"*", "C:\\x"}})));
  ASSERT_EQ(0, file.WriteRules(RuleList{}));
  EXPECT_EQ(0u, U32(ReadFileBytes(t.path), 39));
  RuleList back = MakeRules({{"*", "stale"}});
  uint32_t count = 0, offset = 0;
  EXPECT_EQ(-3, file.ReadRules(back, &count, &offset));
  EXPECT_TRUE(back.empty());
  EXPECT_EQ(0u, count);
}

TEST(RuleFile, OpeningAnExistingFileForWritingRewritesTheHeaderAndTheLength) {
  TempRuleFile t;
  {
    HANDLE f = CreateFileA(t.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::vector<char> junk(150000, 'J');
    DWORD w;
    WriteFile(f, junk.data(), static_cast<DWORD>(junk.size()), &w, nullptr);
    CloseHandle(f);
  }
  CRuleFile file;
  ASSERT_EQ(0, file.Open(t.path.c_str(), t.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  file.CloseAfterWrite();
  auto bytes = ReadFileBytes(t.path);
  ASSERT_EQ(102400u, bytes.size());
  EXPECT_EQ(0, memcmp(bytes.data(), "QuorvexFirewallRuleFile", 23));
  EXPECT_EQ('J', bytes[39]);  // the data area is left as it was
}

// Readers (vkctl list, the engine stand-in) need no right to write: they
// change no byte, make no file, and a writer that comes after them maps the
// file for writing as usual.
TEST(RuleFile, AReadOnlyOpenWritesNothingAndNeverKeepsAWriterOut) {
  TempRuleFile t;
  CRuleFile missing;
  EXPECT_EQ(-1, missing.Open(t.path.c_str(), t.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessRead, false));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), missing.LastError());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(t.path.c_str()));

  std::vector<uint8_t> image(RULE_FILE_SIZE, 0);
  BuildRuleFileHeader(image.data());
  image[24] = 0x55;  // a version word the front end would rewrite
  uint32_t used = 0;
  SerializeRuleRecords(image.data() + RULE_FILE_HEADER_SIZE, RULE_FILE_SIZE, MakeRules({{"*", "C:\\a"}}), used);
  {
    HANDLE f = CreateFileA(t.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD w;
    WriteFile(f, image.data(), static_cast<DWORD>(image.size()), &w, nullptr);
    CloseHandle(f);
  }
  SetFileAttributesA(t.path.c_str(), FILE_ATTRIBUTE_READONLY);
  CRuleFile reader;
  ASSERT_EQ(0, reader.Open(t.path.c_str(), t.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessRead, false));
  RuleList rules;
  uint32_t count = 0, offset = 0;
  EXPECT_EQ(-3, reader.ReadRules(rules, &count, &offset));
  EXPECT_EQ(1u, count);
  EXPECT_EQ(image, ReadFileBytes(t.path));
  SetFileAttributesA(t.path.c_str(), FILE_ATTRIBUTE_NORMAL);

  // The reader still holds its view when the writer comes.
  CRuleFile writer;
  ASSERT_EQ(0, writer.Open(t.path.c_str(), t.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  ASSERT_EQ(0, writer.WriteRules(MakeRules({{"*", "C:\\b"}, {"*", "C:\\a"}})));
  count = 0;
  offset = 0;
  EXPECT_EQ(-3, reader.ReadRules(rules, &count, &offset));
  EXPECT_EQ(2u, count);
}

TEST(RuleFile, AReadOnlyOpenOfAForeignMappingFailsOnTheHeaderAndReadsNothing) {
  TempRuleFile t;
  {
    CRuleFile made;  // the file exists; the mapping of that name is another's
    ASSERT_EQ(0, made.Open(t.path.c_str(), UniqueMapping("own").c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite,
                           false));
  }
  // The other side made the mapping first, with something else in it.
  HANDLE foreign = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, RULE_FILE_SIZE,
                                      SharedObjectName(t.mapping).c_str());
  ASSERT_NE(nullptr, foreign);
  void* v = MapViewOfFile(foreign, FILE_MAP_WRITE, 0, 0, 0);
  memset(v, 'Z', 100);
  TraceCapture traces;
  CRuleFile file;
  EXPECT_EQ(-1, file.Open(t.path.c_str(), t.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessRead, false));
  EXPECT_TRUE(traces.Contains("CRuleFile::Open:Not Valid Rule File Header.\n"));
  RuleList rules;
  uint32_t count = 0, offset = 0;
  EXPECT_EQ(-1, file.ReadRules(rules, &count, &offset));
  EXPECT_EQ(nullptr, file.GetReadBase());
  UnmapViewOfFile(v);
  CloseHandle(foreign);
}

TEST(RuleFile, DamagedRecordsNeverReadOutsideTheView) {
  TempRuleFile t;
  CRuleFile file;
  ASSERT_EQ(0, file.Open(t.path.c_str(), t.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  ASSERT_EQ(0, file.WriteRules(MakeRules({{"*", "C:\\one"}, {"*", "C:\\two"}})));
  uint8_t* data = file.GetWriteBase();
  // The second record claims a source that runs far past the mapping.
  const uint32_t huge = 0xFFFFFFF0u;
  memcpy(data + 27 + 12, &huge, 4);
  RuleList rules;
  uint32_t count = 0, offset = 0;
  EXPECT_EQ(-1, file.ReadRules(rules, &count, &offset));
  EXPECT_EQ(1u, count);
  EXPECT_EQ(27u, offset);

  // Random bytes all over the data area: any result, but no fault.
  uint32_t seed = 12345;
  for (int round = 0; round < 50; ++round) {
    for (uint32_t i = 0; i < RULE_FILE_SIZE - 39; ++i) {
      seed = seed * 1103515245 + 12345;
      data[i] = static_cast<uint8_t>(seed >> 16) & (round % 2 ? 0x07 : 0xFF);
    }
    count = 0;
    offset = 0;
    int r = file.ReadRules(rules, &count, &offset);
    EXPECT_TRUE(r == -1 || r == -3 || r == -4) << r;
  }
}

TEST(RuleFile, ACancelledWaitLeavesNoMutexHeldAndTheFileUntouched) {
  TempRuleFile t;
  CRuleFile file;
  ASSERT_EQ(0, file.Open(t.path.c_str(), t.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  ASSERT_EQ(0, file.WriteRules(MakeRules({{"*", "C:\\kept"}})));
  const auto before = ReadFileBytes(t.path);

  // Another thread holds the Read mutex (as the engine would while reading).
  HANDLE holderReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE holderGo = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread holder([&] {
    HANDLE m = CreateMutexA(nullptr, FALSE, SharedObjectName(t.mapping + " Read").c_str());
    WaitForSingleObject(m, INFINITE);
    SetEvent(holderReady);
    WaitForSingleObject(holderGo, INFINITE);
    ReleaseMutex(m);
    CloseHandle(m);
  });
  WaitForSingleObject(holderReady, INFINITE);

  HANDLE cancel = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  file.SetCancelEvent(cancel);
  int result = 1;
  std::thread writer([&] { result = file.WriteRules(MakeRules({{"*", "C:\\never"}})); });
  // The writer takes Write before Read: while it waits for Read it holds
  // Write, so another writer queues behind it instead of slipping in. Until
  // the writer has got that far, Write is free now and then; once it is
  // held, it stays held for as long as the writer waits.
  std::thread early([&] {
    HANDLE m = CreateMutexA(nullptr, FALSE, SharedObjectName(t.mapping + " Write").c_str());
    bool held = false;
    for (const DWORD start = GetTickCount(); !held && GetTickCount() - start < 30000; Sleep(10)) {
      const DWORD got = WaitForSingleObject(m, 0);
      if (got == WAIT_OBJECT_0 || got == WAIT_ABANDONED)
        ReleaseMutex(m);
      else
        held = true;
    }
    EXPECT_TRUE(held) << "Write mutex free while the writer waits for Read";
    CloseHandle(m);
  });
  early.join();
  SetEvent(cancel);
  writer.join();
  EXPECT_EQ(-1, result);

  // The Write mutex is free again: another thread can take it at once.
  std::thread probe([&] {
    HANDLE m = CreateMutexA(nullptr, FALSE, SharedObjectName(t.mapping + " Write").c_str());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m, 0));
    ReleaseMutex(m);
    CloseHandle(m);
  });
  probe.join();
  SetEvent(holderGo);
  holder.join();
  EXPECT_EQ(before, ReadFileBytes(t.path));
  CloseHandle(cancel);
  CloseHandle(holderReady);
  CloseHandle(holderGo);
}

TEST(RuleFile, ASecondProcessNeverSeesATornRuleSet) {
  TempRuleFile t;
  CRuleFile file;
  ASSERT_EQ(0, file.Open(t.path.c_str(), t.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  Process reader;
  ASSERT_TRUE(
      StartHelper(reader, "rule_reader.exe", "\"" + t.path + "\" " + t.mapping + " 400", t.dir + "\\reader.txt"));
  // Rewrite sets of varying sizes and long dests until the reader is done:
  // a torn read would mix two generations or miss records.
  unsigned g = 0;
  while (WaitForSingleObject(reader.process, 0) == WAIT_TIMEOUT && g < 200000) {
    RuleList rules;
    const size_t n = 1 + g % 40;
    for (size_t i = 0; i < n; ++i) {
      std::string dest =
          "g" + std::to_string(g) + "_" + std::to_string(i) + "_" + std::string(40 + g % 300, 'a' + g % 26);
      rules.push_back(MakeRule("*", dest, TYPE_FILE, KIND_COPY, 10));
    }
    file.WriteRules(rules);
    ++g;
  }
  EXPECT_EQ(0u, reader.Wait()) << "reader output: "
                               << std::string(
                                      reinterpret_cast<const char*>(ReadFileBytes(t.dir + "\\reader.txt").data()),
                                      ReadFileBytes(t.dir + "\\reader.txt").size());
  EXPECT_GT(g, 10u);
}
