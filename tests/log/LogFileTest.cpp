// The log file as the front end opens and reads it: creation and resizing,
// the header, batches, the reserve zone, damaged data, cancelled waits and
// the written event.
#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "LogTestUtil.h"
#include "rules/SharedNames.h"

using namespace testsupport;
using namespace logtest;

namespace {

std::string RecordText(int i) { return "2026-12-07 10:15:02,C:\\p.exe,Denied : C:\\doc" + std::to_string(i) + ".txt"; }

// Appends n records through the view of an open (read-write) log.
uint32_t AppendThroughView(CLogFile& log, int first, int n) {
  uint32_t pos = FindLogWritePosition(log.GetReadBase(), log.GetMaxSize());
  for (int i = first; i < first + n; ++i)
    pos = AppendLogRecord(log.GetReadBase(), log.GetMaxSize(), pos, TYPE_FILE, KIND_OPEN, RecordText(i));
  return pos;
}

}  // namespace

TEST(LogFile, MissingFileIsCreatedWithHeaderAndZerosAndReadsNothing) {
  TempLog t;
  CLogFile log(t.event.c_str());
  TraceCapture traces;
  ASSERT_EQ(0, log.Open(t.path.c_str(), t.mapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  EXPECT_TRUE(traces.Contains("CLogFile::Open\n"));
  LogItemList items;
  uint32_t count = 100, pos = 0;
  EXPECT_EQ(-3, log.ReadItems(items, &count, &pos));
  EXPECT_EQ(0u, count);
  EXPECT_EQ(0u, pos);
  EXPECT_TRUE(items.empty());
  EXPECT_EQ(0, log.CloseLog(0));

  auto bytes = ReadFileBytes(t.path);
  ASSERT_EQ(0x500000u, bytes.size());
  EXPECT_EQ(0, memcmp(bytes.data(), "QuorvexFirewallLogFile", 22));
  EXPECT_EQ(0x700u, U32(bytes, 22));
  size_t nonZero = 0;
  for (size_t i = 26; i < bytes.size(); ++i) nonZero += bytes[i] != 0;
  EXPECT_EQ(0u, nonZero);
}

TEST(LogFile, ExistingFilesOfOtherLengthsAreResizedKeepingRecordsAndGetAFreshHeader) {
  for (size_t length : {size_t{600}, size_t{0x500000 + 70000}}) {
    TempLog t;
    std::vector<uint8_t> image(38, 'x');  // a header that is not ours
    PutRecord(image, TYPE_FILE, KIND_OPEN, "a,b,c : d");
    PutRecord(image, TYPE_REGISTRY | TYPE_SYSTEM, KIND_MODIFY | KIND_RUN, "second");
    image.resize(length, 0);
    if (length > 0x500000) image[0x500000 + 10] = 0x55;  // beyond the new end
    ASSERT_TRUE(WriteFileBytes(t.path, image));

    CLogFile log(t.event.c_str());
    ASSERT_EQ(0, log.Open(t.path.c_str(), t.mapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
    LogItemList items;
    uint32_t count = 0, pos = 0;
    EXPECT_EQ(-3, log.ReadItems(items, &count, &pos));
    ASSERT_EQ(2u, count) << length;
    EXPECT_EQ("a,b,c : d", items[0]->text);
    EXPECT_EQ(TYPE_REGISTRY | TYPE_SYSTEM, items[1]->type);
    EXPECT_EQ(KIND_MODIFY | KIND_RUN, items[1]->action);
    EXPECT_EQ("second", items[1]->text);
    EXPECT_EQ(12u + 9 + 12 + 6, pos);
    log.CloseLog(0);

    auto bytes = ReadFileBytes(t.path);
    ASSERT_EQ(0x500000u, bytes.size()) << length;
    EXPECT_EQ(0, memcmp(bytes.data(), "QuorvexFirewallLogFile", 22));
    EXPECT_EQ(0x700u, U32(bytes, 22));
    EXPECT_EQ(0u, U32(bytes, 26) | U32(bytes, 30) | U32(bytes, 34));
  }
}

TEST(LogFile, BatchesStopAtTheLimitAndContinueWhereTheyStopped) {
  TempLog t;
  CLogFile log(t.event.c_str());
  ASSERT_EQ(0, log.Open(t.path.c_str(), t.mapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  AppendThroughView(log, 0, 150);

  LogItemList items;
  uint32_t count = 100, pos = 0;
  EXPECT_EQ(0, log.ReadItems(items, &count, &pos));
  ASSERT_EQ(100u, count);
  ASSERT_EQ(100u, items.size());
  uint32_t expected = 0;
  for (int i = 0; i < 100; ++i) expected += 12 + static_cast<uint32_t>(RecordText(i).size());
  EXPECT_EQ(expected, pos);  // just behind the hundredth
  EXPECT_EQ(RecordText(99), items.back()->text);

  count = 100;
  EXPECT_EQ(-3, log.ReadItems(items, &count, &pos));
  ASSERT_EQ(50u, count);
  EXPECT_EQ(RecordText(100), items.front()->text);
  EXPECT_EQ(RecordText(149), items.back()->text);

  // Exactly 100 waiting records fill the batch: result 0, and then nothing.
  AppendThroughView(log, 150, 100);
  count = 100;
  EXPECT_EQ(0, log.ReadItems(items, &count, &pos));
  EXPECT_EQ(100u, count);
  count = 100;
  EXPECT_EQ(-3, log.ReadItems(items, &count, &pos));
  EXPECT_EQ(0u, count);
}

TEST(LogFile, ReadingStopsAtTheReserveZoneAndAClosedFileReadsNothing) {
  TempLog t;
  const uint32_t size = 4096;
  CLogFile log(t.event.c_str());
  ASSERT_EQ(0, log.Open(t.path.c_str(), t.mapping.c_str(), size, CMappedFile::kAccessReadWrite, false));
  // Records laid by hand right up to the reserve zone, without wrapping.
  std::vector<uint8_t> data;
  int n = 0;
  while (38 + data.size() + 512 < size) PutRecord(data, TYPE_FILE, KIND_OPEN, "r" + std::to_string(n++));
  memcpy(log.GetReadBase(), data.data(), data.size());

  LogItemList items;
  uint32_t count = 0, pos = 0;
  EXPECT_EQ(-4, log.ReadItems(items, &count, &pos));
  EXPECT_EQ(static_cast<uint32_t>(n), count);
  EXPECT_GE(38 + pos + 512, size);
  // Another read at that position stays at -4 without reading.
  count = 0;
  EXPECT_EQ(-4, log.ReadItems(items, &count, &pos));
  EXPECT_EQ(0u, count);

  log.CloseLog(0);
  count = 100;  // a closed file must not report a full batch
  pos = 7;
  EXPECT_EQ(-1, log.ReadItems(items, &count, &pos));
  EXPECT_EQ(0u, count);
  EXPECT_EQ(7u, pos);
  EXPECT_TRUE(items.empty());
}

TEST(LogFile, BadLengthsEndTheBatchLikeAnEndMarkerWithoutMovingOn) {
  for (uint32_t badLength : {0u, 780u, 0xFFFFFFFFu}) {
    TempLog t;
    CLogFile log(t.event.c_str());
    ASSERT_EQ(0, log.Open(t.path.c_str(), t.mapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
    std::vector<uint8_t> data;
    PutRecord(data, TYPE_FILE, KIND_OPEN, "good");
    const uint32_t badAt = static_cast<uint32_t>(data.size());
    Put32(data, TYPE_FILE);
    Put32(data, KIND_OPEN);
    Put32(data, badLength);
    data.resize(data.size() + 800, 'z');
    memcpy(log.GetReadBase(), data.data(), data.size());

    LogItemList items;
    uint32_t count = 0, pos = 0;
    EXPECT_EQ(-3, log.ReadItems(items, &count, &pos));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(badAt, pos) << badLength;
    EXPECT_EQ(-3, log.ReadItems(items, &count, &pos));
    EXPECT_EQ(badAt, pos);
  }
}

TEST(LogFile, RandomlyDamagedLogsNeverCrashAndNeverReadPastTheView) {
  TempLog t;
  const uint32_t size = 64 * 1024;
  CLogFile log(t.event.c_str());
  ASSERT_EQ(0, log.Open(t.path.c_str(), t.mapping.c_str(), size, CMappedFile::kAccessReadWrite, false));
  std::mt19937 rng(12345);
  uint8_t* base = log.GetReadBase();
  for (int round = 0; round < 40; ++round) {
    // Plausible records with random damage: lengths, types and raw noise.
    uint32_t pos = 0;
    while (38 + pos + 900 < size)
      pos =
          AppendLogRecord(base, size, pos, 1 + rng() % 15, rng() % 128, std::string(1 + rng() % 300, 'a' + rng() % 26));
    for (int k = 0; k < 30; ++k) {
      uint32_t at = rng() % (size - 38 - 4);
      uint32_t v = (k % 3 == 0) ? 779 + rng() % 3 : static_cast<uint32_t>(rng());
      memcpy(base + at, &v, 4);
    }
    uint32_t readPos = (round % 4 == 0) ? 0 : rng() % (size - 38);
    for (int pass = 0; pass < 200; ++pass) {
      LogItemList items;
      uint32_t count = rng() % 3 == 0 ? 0 : 1 + rng() % 120;
      int r = log.ReadItems(items, &count, &readPos);
      ASSERT_TRUE(r == 0 || r == -3 || r == -4) << r;
      ASSERT_EQ(count, items.size());
      for (auto& item : items) {
        ASSERT_GE(item->length, 1u);
        ASSERT_LE(item->length, 779u);
        ASSERT_EQ(item->length, item->text.size());
      }
      ASSERT_LT(readPos, size);
      if (r == -4) readPos = 0;
      if (r == -3) break;
    }
  }
}

TEST(LogFile, ReadOnlyOpenRequiresTheMagicInTheSharedView) {
  TempLog t;
  {
    CLogFile made(t.event.c_str());  // the file exists; the mapping of that name is another's
    ASSERT_EQ(0, made.Open(t.path.c_str(), (t.mapping + ".own").c_str(), LOG_FILE_SIZE, CMappedFile::kAccessReadWrite,
                           false));
  }
  // Another party owns the mapping name and has no log header in it.
  HANDLE foreign = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, LOG_FILE_SIZE,
                                      SharedObjectName(t.mapping).c_str());
  ASSERT_NE(nullptr, foreign);
  {
    CLogFile log(t.event.c_str());
    TraceCapture traces;
    EXPECT_EQ(-1, log.Open(t.path.c_str(), t.mapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessRead, false));
    EXPECT_TRUE(traces.Contains("CLogFile::Open:Not Valid Log File Header.\n"));
    EXPECT_FALSE(log.IsOpen());
    LogItemList items;
    uint32_t count = 100, pos = 0;
    EXPECT_EQ(-1, log.ReadItems(items, &count, &pos));
    EXPECT_EQ(0u, count);
  }
  CloseHandle(foreign);

  // Without that mapping the same read-only open works: the header is the
  // log's. A read-only open makes nothing: a missing log stays missing.
  CLogFile log(t.event.c_str());
  EXPECT_EQ(0, log.Open(t.path.c_str(), t.mapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessRead, false));
  EXPECT_EQ(-2, log.Open(nullptr, nullptr, LOG_FILE_SIZE, CMappedFile::kAccessRead, false));
  const std::string missing = t.dir + "\\missing.log";
  EXPECT_EQ(-1, log.Open(missing.c_str(), t.mapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessRead, false));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), log.LastError());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(missing.c_str()));
}

TEST(LogFile, CancelledMutexWaitEndsTheReadAtOnce) {
  TempLog t;
  CLogFile log(t.event.c_str());
  ASSERT_EQ(0, log.Open(t.path.c_str(), t.mapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  AppendThroughView(log, 0, 10);
  HANDLE cancel = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  log.SetCancelEvent(cancel);

  // Another thread holds the Read mutex (as a writer in the middle of a pass).
  HANDLE held = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread holder([&] {
    HANDLE m = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, SharedObjectName(t.mapping + " Read").c_str());
    WaitForSingleObject(m, INFINITE);
    SetEvent(held);
    WaitForSingleObject(release, INFINITE);
    ReleaseMutex(m);
    CloseHandle(m);
  });
  WaitForSingleObject(held, 5000);
  std::thread canceller([&] {
    Sleep(150);
    SetEvent(cancel);
  });
  LogItemList items;
  uint32_t count = 100, pos = 0;
  DWORD start = GetTickCount();
  EXPECT_EQ(-1, log.ReadItems(items, &count, &pos));
  EXPECT_LT(GetTickCount() - start, 3000u);
  EXPECT_EQ(0u, count);
  EXPECT_EQ(0u, pos);
  canceller.join();
  SetEvent(release);
  holder.join();

  // Once the writer is gone and the cancel withdrawn, reading works again.
  ResetEvent(cancel);
  count = 100;
  EXPECT_EQ(-3, log.ReadItems(items, &count, &pos));
  EXPECT_EQ(10u, count);
  log.SetCancelEvent(nullptr);
  CloseHandle(cancel);
  CloseHandle(held);
  CloseHandle(release);
}

TEST(LogFile, TheWrittenEventLivesFromConstructionToDestruction) {
  TempLog t;
  HANDLE other = nullptr;
  {
    CLogFile log(t.event.c_str());
    ASSERT_NE(nullptr, log.WrittenEvent());
    other = OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, SharedObjectName(t.event).c_str());
    ASSERT_NE(nullptr, other);
    HANDLE held = log.WrittenEvent();
    ASSERT_EQ(0, log.Open(t.path.c_str(), t.mapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
    EXPECT_EQ(0, log.CloseLog(0));
    EXPECT_EQ(held, log.WrittenEvent());  // kept across open and close
    // Auto-reset: one signal wakes one wait.
    SetEvent(other);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(log.WrittenEvent(), 0));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(log.WrittenEvent(), 0));
    SetEvent(other);  // left pending: the destructor drops it
  }
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(other, 0));
  CloseHandle(other);
}
