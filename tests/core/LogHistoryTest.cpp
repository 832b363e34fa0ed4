#include "log/LogHistory.h"

#include <gtest/gtest.h>

#include <cstring>

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

  uint8_t* base() { return bytes.data() + LOG_HEADER_SIZE; }
  void Append(int n, size_t length) {
    std::string text = "2024-05-01 10:00:00,C:\\app.exe,Denied : C:\\f" + std::to_string(n) + " ";
    while (text.size() < length) text += static_cast<char>('a' + (text.size() * 7 + n) % 26);
    records.push_back({IsInLogReserve(w, kSize) ? 0 : w, lap, text});
    if ((w = AppendLogRecord(base(), kSize, w, 1, 1, text)) == 0) ++lap;
  }
  // What a reader finds: the previous lap's records wholly behind this lap's
  // zero word, then this lap's; minus the record at `skip`, and, when
  // olderFrom is given, the older records before that one.
  std::vector<std::string> Expected(size_t skip = ~size_t{0}, size_t olderFrom = 0) const {
    std::vector<std::string> older, current;
    for (size_t i = 0; i < records.size(); ++i) {
      if (i == skip) continue;
      if (records[i].lap == lap) current.push_back(records[i].text);
      if (records[i].lap == lap - 1 && records[i].start >= w + 4 && i >= olderFrom) older.push_back(records[i].text);
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

TEST(LogHistory, EveryRecordOldestFirstAcrossWrappedLaps) {
  // Lengths and counts vary, so that the write position falls on, just
  // behind and inside the fixed part of an older record.
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    WrittenLog log;
    uint32_t r = seed;
    for (int i = 0; i < 10 + static_cast<int>(seed * 7 % 90); ++i) {
      r = r * 1103515245u + 12345u;
      log.Append(i, 60 + (r >> 16) % 140);
    }
    const LogHistory h = ReadLogHistory(log.base(), kSize);
    ASSERT_EQ(log.Expected(), Texts(h)) << "seed " << seed << " laps " << log.lap;
    EXPECT_EQ(log.w, h.writePosition) << seed;
    EXPECT_EQ(0u, h.damaged) << seed;
    ASSERT_EQ(log.w != 0, h.haveLapFirst) << seed;
    for (const auto& rec : log.records) {
      if (h.haveLapFirst && rec.lap == log.lap && rec.start == 0) {
        EXPECT_EQ(rec.text, h.lapFirst.text) << seed;
      }
    }
  }
}

TEST(LogHistory, DamagedPlacesAreSkipped) {
  // 50 records of 102 bytes: records 0-29 fill the first lap, 30-49 the
  // second, whose zero word lies on record 20 of the first.
  struct Case {
    const char* what;
    size_t record;
    uint32_t word, value;
    size_t olderFrom;  // the older lap's records before the damage are lost
  };
  // (A bad length in this lap: vkctl's test.)
  const Case cases[] = {
      {"wiped type word in this lap", 45, 0, 0, 0},
      {"impossible length in the older lap", 25, 8, 0x7FFF, 26},
  };
  for (const Case& c : cases) {
    WrittenLog log;
    for (int i = 0; i < 50; ++i) log.Append(i, 90);
    ASSERT_EQ(1, log.lap);
    Put32(log.bytes, LOG_HEADER_SIZE + log.records[c.record].start + c.word, c.value);
    const LogHistory h = ReadLogHistory(log.base(), kSize);
    EXPECT_EQ(log.Expected(c.record, c.olderFrom), Texts(h)) << c.what;
    EXPECT_EQ(1u, h.damaged) << c.what;
  }
  EXPECT_TRUE(ReadLogHistory(nullptr, kSize).items.empty());
  std::vector<uint8_t> junk(kSize, 0x01);
  EXPECT_TRUE(ReadLogHistory(junk.data() + LOG_HEADER_SIZE, kSize).items.empty());
}

// A follower is lapped once the writer has begun a later lap and reached
// the follower's position; without the lap's first record, only a later lap
// over a log that had none before shows.
TEST(LogHistory, AFollowerIsLappedOnceTheWriterReachesItInALaterLap) {
  // 102-byte records: 0-29 fill the first lap, the second begins with 30.
  struct Case {
    const char* what;
    int written;
    uint32_t position;
    bool lapFirst, olderLapKnown, lapped;
  };
  const Case cases[] = {
      {"same lap", 10, 5 * 102, true, false, false},
      {"later lap, writer behind", 35, 10 * 102, true, false, false},
      {"later lap, writer at the follower", 40, 10 * 102, true, false, true},
      {"later lap, writer past the follower", 41, 10 * 102, true, false, true},
      {"first lap, nothing taken", 10, 0, false, false, false},
      {"second lap, nothing taken", 35, 0, false, false, true},
      {"second lap over an older one", 35, 0, false, true, false},
  };
  for (const Case& c : cases) {
    WrittenLog log;
    for (int i = 0; i < c.written; ++i) log.Append(i, 90);
    LOGFILE_ITEM first;
    first.type = 1;
    first.action = 1;
    first.text = log.records[0].text;
    first.length = static_cast<uint32_t>(first.text.size());
    EXPECT_EQ(c.lapped,
              LogFollowerLapped(log.base(), kSize, c.position, c.lapFirst ? &first : nullptr, c.olderLapKnown))
        << c.what;
    EXPECT_EQ(c.written > 30, LogHasOlderLap(log.base(), kSize)) << c.what;
    // The history says where each record lies.
    const LogHistory h = ReadLogHistory(log.base(), kSize);
    ASSERT_EQ(h.items.size(), h.positions.size());
    for (size_t i = 0; i < h.items.size(); ++i)
      EXPECT_EQ(0, std::memcmp(log.base() + h.positions[i] + LOG_RECORD_FIXED_SIZE, h.items[i]->text.data(),
                               h.items[i]->length));
  }
}

}  // namespace
