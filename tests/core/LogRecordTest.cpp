#include "log/LogRecord.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/core/CoreTestUtil.h"

namespace {

// A log view: header plus data area; the routines get the read base.
struct LogView {
  explicit LogView(uint32_t size = LOG_FILE_SIZE) : bytes(size, 0) { BuildLogFileHeader(bytes.data()); }
  uint8_t* base() { return bytes.data() + LOG_HEADER_SIZE; }
  uint32_t size() const { return static_cast<uint32_t>(bytes.size()); }
  // Offset in bytes of a read-base position.
  static size_t At(uint32_t position) { return LOG_HEADER_SIZE + position; }
  std::vector<uint8_t> bytes;
};

std::string Numbered(int n, size_t length) {
  std::string text = "#" + std::to_string(n) + ",";
  while (text.size() < length) text += static_cast<char>('a' + (text.size() + n) % 26);
  text.resize(std::max<size_t>(length, 1));
  return text;
}

int Read(LogView& view, LogItemList& list, uint32_t& count, uint32_t& position, bool* pause = nullptr) {
  return ParseLogRecords(view.base(), view.size(), list, count, position, pause);
}

TEST(LogFileHeader, BytesAndMagic) {
  uint8_t header[LOG_HEADER_SIZE];
  std::memset(header, 0xEE, sizeof header);
  BuildLogFileHeader(header);
  EXPECT_EQ(0, std::memcmp(header, "QuorvexFirewallLogFile", 22));
  const uint8_t version[4] = {0x00, 0x07, 0x00, 0x00};
  EXPECT_EQ(0, std::memcmp(header + 22, version, 4));
  for (size_t i = 26; i < 38; ++i) EXPECT_EQ(0, header[i]) << i;
  EXPECT_TRUE(IsValidLogHeader(header, sizeof header));
  EXPECT_FALSE(IsValidLogHeader(header, 21));
  EXPECT_FALSE(IsValidLogHeader(nullptr, 38));
  header[0] = 'q';
  EXPECT_FALSE(IsValidLogHeader(header, sizeof header));
}

TEST(LogRecordDecode, ValidityLengthsAndTraces) {
  std::vector<uint8_t> rec(12 + 800, 'x');
  Put32(rec, 0, 1);
  Put32(rec, 4, 0x42);
  LOGFILE_ITEM item;
  {
    TraceRecorder traces;
    EXPECT_FALSE(item.BuildFromBuffer(nullptr, 100));
    EXPECT_TRUE(traces.Saw("LOGFILE_ITEM::BuildFromBuffer:Bad Input Parameter!\n"));
  }
  for (uint32_t bad : {0u, 780u, 0xFFFFFFFFu}) {
    TraceRecorder traces;
    Put32(rec, 8, bad);
    EXPECT_FALSE(item.BuildFromBuffer(rec.data(), rec.size())) << bad;
    EXPECT_EQ(0u, item.length);
    EXPECT_TRUE(item.text.empty());
    EXPECT_TRUE(traces.Saw("LOGFILE_ITEM::BuildFromBuffer:Reach File End\n")) << bad;
  }
  Put32(rec, 8, 779);
  ASSERT_TRUE(item.BuildFromBuffer(rec.data(), rec.size()));
  EXPECT_EQ(1u, item.type);
  EXPECT_EQ(0x42u, item.action);
  EXPECT_EQ(779u, item.length);
  EXPECT_EQ(std::string(779, 'x'), item.text);
  // The text would run past the bytes available.
  EXPECT_FALSE(item.BuildFromBuffer(rec.data(), 12 + 778));
  EXPECT_EQ(0u, item.length);
  {
    TraceRecorder traces;
    Put32(rec, 0, 0);
    EXPECT_FALSE(item.BuildFromBuffer(rec.data(), rec.size()));
    EXPECT_TRUE(traces.lines().empty()) << "an end marker is silent";
  }
}

TEST(LogWalk, BatchesOfAHundredOverTwoHundredFiftyRecords) {
  LogView view;
  uint32_t w = 0;
  for (int i = 0; i < 250; ++i) w = AppendLogRecord(view.base(), view.size(), w, 1, 1, Numbered(i, 40 + i));

  LogItemList list;
  uint32_t position = 0;
  uint32_t expectedPosition = 0;
  int next = 0;
  for (uint32_t expectedCount : {100u, 100u, 50u}) {
    uint32_t count = 100;
    bool pause = true;
    const int rc = Read(view, list, count, position, &pause);
    EXPECT_EQ(expectedCount == 100 ? 0 : -3, rc);
    EXPECT_FALSE(pause);
    ASSERT_EQ(expectedCount, count);
    ASSERT_EQ(count, list.size());
    for (const auto& item : list) {
      EXPECT_EQ(Numbered(next, 40 + next), item->text);
      expectedPosition += 12 + 40 + next;
      ++next;
    }
    EXPECT_EQ(expectedPosition, position) << "just behind the last record read";
  }
  EXPECT_EQ(w, position);
  uint32_t count = 100;
  bool pause = false;
  EXPECT_EQ(-3, Read(view, list, count, position, &pause));
  EXPECT_EQ(0u, count);
  EXPECT_TRUE(list.empty());
  EXPECT_TRUE(pause) << "an empty poll asks for the pause";

  // count 0 takes everything.
  position = 0;
  count = 0;
  EXPECT_EQ(-3, Read(view, list, count, position));
  EXPECT_EQ(250u, count);
}

TEST(LogWalk, InvalidLengthEndsTheBatchWithoutAdvancing) {
  for (uint32_t bad : {0u, 780u}) {
    LogView view(8192);
    uint32_t w = 0;
    uint32_t second = 0;
    for (int i = 0; i < 3; ++i) {
      if (i == 1) second = w;
      w = AppendLogRecord(view.base(), view.size(), w, 2, 4, Numbered(i, 20));
    }
    Put32(view.bytes, LogView::At(second) + 8, bad);

    LogItemList list;
    uint32_t count = 100, position = 0;
    bool pause = false;
    EXPECT_EQ(-3, Read(view, list, count, position, &pause));
    EXPECT_EQ(1u, count);
    EXPECT_FALSE(pause);
    EXPECT_EQ(second, position);
    count = 100;
    EXPECT_EQ(-3, Read(view, list, count, position, &pause));
    EXPECT_EQ(0u, count);
    EXPECT_TRUE(pause);
    EXPECT_EQ(second, position) << bad;
  }
}

TEST(LogWalk, ReserveZoneStopsTheWalkEvenBeforeACompleteRecord) {
  const uint32_t size = 38 + 512 + 300;
  LogView view(size);
  // A valid record at position 300 (file offset size - 512) is not read.
  Put32(view.bytes, LogView::At(300), 1);
  Put32(view.bytes, LogView::At(300) + 8, 5);
  LogItemList list;
  uint32_t count = 0, position = 300;
  EXPECT_EQ(-4, Read(view, list, count, position));
  EXPECT_EQ(0u, count);
  EXPECT_EQ(300u, position);
  position = 299;  // one byte before the zone: the walk looks at the record there
  Put32(view.bytes, LogView::At(299), 1);
  Put32(view.bytes, LogView::At(299) + 8, 1);
  EXPECT_EQ(-4, Read(view, list, count, position));
  EXPECT_EQ(1u, count);
  EXPECT_EQ(312u, position);
  position = 0xFFFFFFF0;
  EXPECT_EQ(-4, Read(view, list, count, position)) << "positions far outside the view";
  EXPECT_EQ(-1, ParseLogRecords(nullptr, size, list, count, position));
}

TEST(LogWriter, CutsTextsAndRefusesRecordsThatReadAsTheEnd) {
  const uint32_t size = 38 + 512 + 2000;
  LogView view(size);
  const std::string longText(900, 'L');
  uint32_t w = AppendLogRecord(view.base(), size, 0, 1, 2, longText);
  EXPECT_EQ(12u + 779u, w) << "texts are cut to 779 bytes";
  EXPECT_EQ(779u, Get32(view.bytes, LogView::At(0) + 8));
  EXPECT_EQ(0u, Get32(view.bytes, LogView::At(w))) << "end marker behind the record";

  EXPECT_EQ(w, AppendLogRecord(view.base(), size, w, 0, 1, "text"));
  EXPECT_EQ(w, AppendLogRecord(view.base(), size, w, 1, 1, ""));
  EXPECT_EQ(w, AppendLogRecord(nullptr, size, w, 1, 1, "text"));
  EXPECT_EQ(0u, Get32(view.bytes, LogView::At(w)));

  // A record that starts just before the reserve zone is cut at the file end
  // and closes the lap: the zero word goes to position 0.
  const uint32_t last = 2000 - 1;
  const uint32_t next = AppendLogRecord(view.base(), size, last, 1, 1, longText);
  EXPECT_EQ(0u, next);
  EXPECT_EQ(512u - 12u + 1u, Get32(view.bytes, LogView::At(last) + 8));
  EXPECT_EQ('L', view.bytes.back());
  EXPECT_EQ(0u, Get32(view.bytes, LogView::At(0)));
  EXPECT_EQ(0u, FindLogWritePosition(view.base(), size));
}

TEST(LogWriter, FindsTheEndOfAnExistingChain) {
  LogView view(38 + 512 + 4000);
  EXPECT_EQ(0u, FindLogWritePosition(view.base(), view.size()));
  uint32_t w = 0;
  for (int i = 0; i < 5; ++i) w = AppendLogRecord(view.base(), view.size(), w, 1, 1, Numbered(i, 100));
  EXPECT_EQ(5u * 112u, w);
  EXPECT_EQ(w, FindLogWritePosition(view.base(), view.size()));
  // A garbled length ends the chain there; the writer resumes over it.
  Put32(view.bytes, LogView::At(224) + 8, 5000);
  EXPECT_EQ(224u, FindLogWritePosition(view.base(), view.size()));
  EXPECT_EQ(0u, FindLogWritePosition(nullptr, view.size()));
  EXPECT_EQ(0u, FindLogWritePosition(view.base(), 100)) << "no data area at all";
}

TEST(LogWriter, TinyViewsTakeNoRecord) {
  // The first record of a lap must end before the reserve zone; a view of
  // 563 bytes has no room for even one text byte there.
  for (uint32_t size : {0u, 38u, 550u, 551u, 563u}) {
    std::vector<uint8_t> bytes(std::max<uint32_t>(size, 38), 0xCC);
    const std::vector<uint8_t> before = bytes;
    EXPECT_EQ(0u, AppendLogRecord(bytes.data() + 38, size, 0, 1, 1, "abc")) << size;
    EXPECT_EQ(before, bytes) << size;
  }
  std::vector<uint8_t> bytes(564, 0);
  EXPECT_EQ(13u, AppendLogRecord(bytes.data() + 38, 564, 0, 1, 1, "abc"));
  EXPECT_EQ(1u, Get32(bytes, 38 + 8));
}

// A writer running over many laps and a reader polling it as the log reader
// does (batches of up to 100, back to position 0 on -4). The reader never
// falls a lap behind; it must see every record once, in order, unchanged.
TEST(LogWrap, ReaderFollowsTheWriterOverManyLaps) {
  const uint32_t size = 38 + 512 + 12000;
  LogView view(size);
  std::mt19937 rng(7);
  uint32_t writePos = FindLogWritePosition(view.base(), size);
  uint32_t readPos = 0;
  int written = 0, seen = 0, wraps = 0, longOnes = 0;
  LogItemList list;
  std::vector<std::string> sent;

  LOGFILE_ITEM lapFirst;
  bool haveLapFirst = false;
  auto poll = [&] {
    for (;;) {
      uint32_t count = 100;
      const uint32_t from = readPos;
      const int rc = Read(view, list, count, readPos);
      if (from == 0 && !list.empty()) {
        lapFirst = *list.front();
        haveLapFirst = true;
      }
      for (const auto& item : list) {
        ASSERT_LT(seen, written) << "a record was read twice";
        const std::string& expected = sent[seen];
        if (expected.size() <= 500) {
          ASSERT_EQ(expected, item->text) << "record " << seen;
        } else {
          // Long texts are cut to 779 bytes or at the end of the file.
          ASSERT_GE(item->text.size(), 501u);
          ASSERT_EQ(0, expected.compare(0, item->text.size(), item->text)) << seen;
        }
        EXPECT_EQ(static_cast<uint32_t>(seen % 15 + 1), item->type);
        EXPECT_EQ(static_cast<uint32_t>(seen % 128), item->action);
        ++seen;
      }
      if (rc == -4) {
        // This writer always begins its next lap before the reader gets here.
        ASSERT_TRUE(LogNewLapStarted(view.base(), size, haveLapFirst ? &lapFirst : nullptr));
        readPos = 0;
        ++wraps;
        continue;
      }
      if (rc == 0) continue;
      ASSERT_EQ(-3, rc);
      return;
    }
  };

  while (wraps < 25) {
    const int burst = rng() % 10;
    for (int i = 0; i < burst; ++i) {
      size_t length = 1 + rng() % 300;
      if (rng() % 20 == 0) {
        length = 700 + rng() % 300;
        ++longOnes;
      }
      sent.push_back(Numbered(written, length));
      writePos = AppendLogRecord(view.base(), size, writePos, written % 15 + 1, written % 128, sent.back());
      ++written;
    }
    poll();
    ASSERT_EQ(written, seen) << "the reader missed records";
    ASSERT_EQ(writePos, FindLogWritePosition(view.base(), size));
  }
  EXPECT_GT(longOnes, 0);
}

// Right after the writer closes a lap, a reader that wraps finds the end
// marker at position 0 instead of the previous lap's records.
TEST(LogWrap, WrappedReaderDoesNotRereadThePreviousLap) {
  const uint32_t size = 38 + 512 + 1000;
  LogView view(size);
  uint32_t w = 0;
  int n = 0;
  do {
    w = AppendLogRecord(view.base(), size, w, 1, 1, Numbered(n++, 100));
  } while (w != 0);
  EXPECT_EQ(9, n);  // 9 x 112 bytes passes position 1000

  LogItemList list;
  uint32_t count = 100, position = 0;
  // Position 0 already holds the zero word: the lap that just ended is gone
  // for a reader that had not read it (more than a lap behind).
  EXPECT_EQ(-3, Read(view, list, count, position));
  EXPECT_EQ(0u, count);

  // A reader that had followed the lap stands at its end in the reserve zone.
  position = 9 * 112;
  EXPECT_EQ(-4, Read(view, list, count, position));
  position = 0;
  bool pause = false;
  EXPECT_EQ(-3, Read(view, list, count, position, &pause));
  EXPECT_EQ(0u, count);
  EXPECT_TRUE(pause);

  w = AppendLogRecord(view.base(), size, w, 1, 1, "next lap");
  EXPECT_EQ(-3, Read(view, list, count, position));
  ASSERT_EQ(1u, count);
  EXPECT_EQ("next lap", list.front()->text);
  EXPECT_EQ(w, position);
}

// Random views: the walk ends with a defined result and never reads outside;
// a writer starting on such a view produces a record the reader then finds.
TEST(LogWalk, RandomImagesStayInBoundsAndTakeAppends) {
  std::mt19937 rng(99);
  for (int round = 0; round < 1500; ++round) {
    const uint32_t size = 38 + std::uniform_int_distribution<uint32_t>(0, 3000)(rng);
    LogView view(size);
    for (size_t i = 38; i < size; ++i) view.bytes[i] = static_cast<uint8_t>(rng());
    if (round % 2 == 0) {
      // Plausible chains with small lengths.
      for (size_t at = 38; at + 12 <= size;) {
        const uint32_t len = rng() % 60;
        Put32(view.bytes, at, rng() % 9);
        Put32(view.bytes, at + 8, rng() % 31 == 0 ? rng() : len);
        at += 12 + len;
      }
    }
    LogItemList list;
    uint32_t count = rng() % 5, position = 0;
    const int rc = Read(view, list, count, position);
    ASSERT_TRUE(rc == 0 || rc == -3 || rc == -4) << rc;
    uint64_t sum = 0;
    for (const auto& item : list) {
      ASSERT_NE(0u, item->type);
      ASSERT_GE(item->length, 1u);
      ASSERT_LE(item->length, 779u);
      ASSERT_EQ(item->length, item->text.size());
      sum += 12 + item->length;
    }
    ASSERT_EQ(sum, position);

    const uint32_t w = FindLogWritePosition(view.base(), size);
    ASSERT_FALSE(IsInLogReserve(w, size) && w != 0);
    const uint32_t after = AppendLogRecord(view.base(), size, w, 3, 5, "appended");
    if (size <= 38 + 512 + 12 + 8) continue;  // too small for this record at 0
    count = 0;
    position = 0;
    const int again = Read(view, list, count, position);
    if (w != 0 && after == 0) {
      // The record closed the lap: position 0 now holds the end marker.
      EXPECT_EQ(-3, again);
      EXPECT_EQ(0u, count);
    } else if (w == 0) {
      ASSERT_GE(count, 1u);
      EXPECT_EQ("appended", list.front()->text);
    } else {
      ASSERT_GE(list.size(), 1u);
      EXPECT_EQ("appended", list.back()->text.substr(0, 8));
      EXPECT_EQ(after, position);
    }
  }
}

}  // namespace

// The lap rule for a reader at the reserve: back to position 0 only for the
// zero word or a first record other than the one its lap began with.
TEST(LogWrap, NewLapOnlyWhenPositionZeroChanged) {
  const uint32_t size = 38 + 512 + 1000;
  LOGFILE_ITEM old;
  old.type = 1;
  old.action = 1;
  old.length = 5;
  old.text = "old 0";
  struct Case {
    const char* name;
    uint32_t type, action;
    std::string text;  // empty: the zero word at position 0
    bool useLapFirst;
    bool expected;
  } cases[] = {
      {"zero word", 0, 0, "", true, true},         {"the same first record", 1, 1, "old 0", true, false},
      {"another text", 1, 1, "new 0", true, true}, {"another action", 1, 2, "old 0", true, true},
      {"another type", 2, 1, "old 0", true, true}, {"no record when the lap began", 1, 1, "old 0", false, true},
  };
  for (const Case& c : cases) {
    LogView view(size);
    if (!c.text.empty()) AppendLogRecord(view.base(), size, 0, c.type, c.action, c.text);
    EXPECT_EQ(c.expected, LogNewLapStarted(view.base(), size, c.useLapFirst ? &old : nullptr)) << c.name;
  }
  // A damaged word at position 0 (a length out of range) is no new lap.
  LogView bad(size);
  Put32(bad.bytes, LogView::At(0), 5);
  Put32(bad.bytes, LogView::At(8), 900);
  EXPECT_FALSE(LogNewLapStarted(bad.base(), size, &old));
  EXPECT_FALSE(LogNewLapStarted(nullptr, size, &old));
}

// A chain that runs from 0 up to the reserve zone without any wrap (a writer
// that stopped there, a restored file): polled again and again, every record
// is taken once; a writer that then starts over at 0 without the zero word
// is followed from there.
TEST(LogWrap, AChainUpToTheReserveIsTakenOnce) {
  const uint32_t size = 38 + 512 + 3000;
  LogView view(size);
  uint32_t w = 0;
  int n = 0;
  // Records of 112 bytes; stop before the writer would wrap.
  while (!IsInLogReserve(w + 112, size)) w = AppendLogRecord(view.base(), size, w, 1, 1, Numbered(n++, 100));
  w = AppendLogRecord(view.base(), size, w, 1, 1, Numbered(n++, 100));
  ASSERT_EQ(0u, w);
  // Put the previous lap back over the zero word, as a restored file has it.
  LogView restored(size);
  uint32_t r = 0;
  for (int i = 0; i < n; ++i) {
    const std::string text = Numbered(i, 100);
    Put32(restored.bytes, LogView::At(r), 1);
    Put32(restored.bytes, LogView::At(r + 4), 1);
    Put32(restored.bytes, LogView::At(r + 8), 100);
    PutBytes(restored.bytes, LogView::At(r + 12), text);
    r += 112;
  }
  ASSERT_TRUE(IsInLogReserve(r, size));

  std::vector<std::string> taken;
  uint32_t position = 0;
  LOGFILE_ITEM lapFirst;
  bool haveLapFirst = false;
  auto poll = [&] {
    for (int guard = 0; guard < 100; ++guard) {
      LogItemList list;
      uint32_t count = 10;
      const uint32_t from = position;
      const int rc = ParseLogRecords(restored.base(), size, list, count, position);
      if (from == 0 && !list.empty()) {
        lapFirst = *list.front();
        haveLapFirst = true;
      }
      for (const auto& item : list) taken.push_back(item->text);
      if (rc == 0) continue;
      if (rc == -4 && LogNewLapStarted(restored.base(), size, haveLapFirst ? &lapFirst : nullptr)) {
        position = 0;
        continue;
      }
      return;
    }
  };
  for (int i = 0; i < 20; ++i) poll();
  ASSERT_EQ(static_cast<size_t>(n), taken.size());
  for (int i = 0; i < n; ++i) EXPECT_EQ(Numbered(i, 100), taken[i]);

  // A writer begins again at 0 and writes no zero word ahead of its lap.
  uint32_t next = AppendLogRecord(restored.base(), size, 0, 1, 1, "lap two, first");
  AppendLogRecord(restored.base(), size, next, 1, 1, "lap two, second");
  for (int i = 0; i < 5; ++i) poll();
  ASSERT_EQ(static_cast<size_t>(n) + 2, taken.size());
  EXPECT_EQ("lap two, first", taken[n]);
  EXPECT_EQ("lap two, second", taken[n + 1]);
}
