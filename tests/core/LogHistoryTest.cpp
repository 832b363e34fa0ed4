#include "log/LogHistory.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/core/CoreTestUtil.h"

namespace {

constexpr uint32_t kSize = LOG_HEADER_SIZE + LOG_RESERVE + 3000;

// A small log written as the writer does, remembering where each record went.
struct WrittenLog {
  struct Record {
    uint32_t start;
    int lap;
    std::string text;
  };
  std::vector<uint8_t> bytes = std::vector<uint8_t>(kSize, 0);
  std::vector<Record> records;
  uint32_t w = 0;
  int lap = 0;

  WrittenLog() { BuildLogFileHeader(bytes.data()); }
  uint8_t* base() { return bytes.data() + LOG_HEADER_SIZE; }
  void Append(const std::string& text, uint32_t type = 1) {
    const uint32_t start = IsInLogReserve(w, kSize) ? 0 : w;
    w = AppendLogRecord(base(), kSize, w, type, 1, text);
    records.push_back({start, lap, text.substr(0, kSize - LOG_HEADER_SIZE - start - 12)});
    if (w == 0) ++lap;
  }
  // What a reader should find: the previous lap's records that lie wholly
  // behind this lap's zero word, then this lap's.
  std::vector<std::string> Expected() const {
    std::vector<std::string> older, current;
    for (const Record& r : records) {
      if (r.lap == lap) current.push_back(r.text);
      if (r.lap == lap - 1 && r.start >= w + 4) older.push_back(r.text);
    }
    older.insert(older.end(), current.begin(), current.end());
    return older;
  }
};

std::vector<std::string> Texts(const LogHistory& h) {
  std::vector<std::string> texts;
  for (const auto& item : h.items) texts.push_back(item->text);
  return texts;
}

std::string Text(int n, size_t length) {
  std::string t = "2024-05-01 10:00:00,C:\\app.exe,Denied : C:\\f" + std::to_string(n) + " ";
  while (t.size() < length) t += static_cast<char>('a' + (t.size() * 7 + n) % 26);
  return t;
}

TEST(LogHistory, EveryRecordOldestFirstAcrossWrappedLaps) {
  // Record lengths and counts vary, so that the write position falls on,
  // just behind and inside the fixed part of an older record.
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    WrittenLog log;
    uint32_t r = seed;
    const int count = 10 + static_cast<int>(seed * 7 % 90);
    for (int i = 0; i < count; ++i) {
      r = r * 1103515245u + 12345u;
      log.Append(Text(i, 60 + (r >> 16) % 140));
    }
    const LogHistory h = ReadLogHistory(log.base(), kSize);
    ASSERT_EQ(log.Expected(), Texts(h)) << "seed " << seed << " laps " << log.lap;
    EXPECT_EQ(log.w, h.writePosition) << seed;
    EXPECT_EQ(0u, h.damaged) << seed;
    ASSERT_TRUE(h.haveLapFirst || log.w == 0) << seed;
    if (h.haveLapFirst && log.w != 0) {
      LOGFILE_ITEM first;
      ASSERT_TRUE(first.BuildFromBuffer(log.base(), kSize - LOG_HEADER_SIZE));
      EXPECT_EQ(first.text, h.lapFirst.text);
    }
  }
}

TEST(LogHistory, DamagedPlacesAreSkippedAndTheViewsEdgesHeld) {
  struct Case {
    const char* what;
    int damaged;           // record index to damage, -1 none
    uint32_t offset;       // word in the record to overwrite
    uint32_t value;        //   with this value
    bool dropOlderBefore;  // the older lap's records before the damage are lost
  };
  const Case cases[] = {
      {"impossible length in this lap", 45, 8, 0x7FFF, false},
      {"length zero in this lap", 45, 8, 0, false},
      {"wiped type word in this lap", 45, 0, 0, false},
      {"impossible length in the older lap", 25, 8, 0x7FFF, true},
  };
  for (const Case& c : cases) {
    WrittenLog log;
    for (int i = 0; i < 50; ++i) log.Append(Text(i, 90));
    ASSERT_EQ(1, log.lap) << "the test wants one wrapped lap";
    const auto& victim = log.records.at(static_cast<size_t>(c.damaged));
    ASSERT_TRUE(victim.lap == log.lap || victim.start >= log.w + 4) << c.what;
    Put32(log.bytes, LOG_HEADER_SIZE + victim.start + c.offset, c.value);
    std::vector<std::string> expected;
    bool olderKept = !c.dropOlderBefore;
    for (const std::string& t : log.Expected()) {
      if (t == victim.text) {
        olderKept = true;
        continue;
      }
      bool older = false;
      for (const auto& r : log.records) older |= r.text == t && r.lap < log.lap;
      if (older && !olderKept) continue;
      expected.push_back(t);
    }
    const LogHistory h = ReadLogHistory(log.base(), kSize);
    EXPECT_EQ(expected, Texts(h)) << c.what;
    EXPECT_EQ(1u, h.damaged) << c.what;
  }

  // Views with nothing to read; garbage that runs to the view's end.
  EXPECT_TRUE(ReadLogHistory(nullptr, kSize).items.empty());
  std::vector<uint8_t> tiny(LOG_HEADER_SIZE + LOG_RESERVE, 0xFF);
  EXPECT_TRUE(ReadLogHistory(tiny.data() + LOG_HEADER_SIZE, static_cast<uint32_t>(tiny.size())).items.empty());
  std::vector<uint8_t> fresh(kSize, 0);
  const LogHistory empty = ReadLogHistory(fresh.data() + LOG_HEADER_SIZE, kSize);
  EXPECT_TRUE(empty.items.empty());
  EXPECT_EQ(0u, empty.writePosition);
  EXPECT_FALSE(empty.haveLapFirst);
  std::vector<uint8_t> junk(kSize, 0x01);
  EXPECT_TRUE(ReadLogHistory(junk.data() + LOG_HEADER_SIZE, kSize).items.empty());
}

}  // namespace
