#include "rules/RuleRecord.h"

#include <gtest/gtest.h>

#include <random>

#include "rules/RuleSet.h"
#include "tests/core/CoreTestUtil.h"

namespace {

// A rule file view: header plus data area, filled with a sentinel so that
// untouched bytes are visible.
struct RuleView {
  explicit RuleView(uint32_t size = RULE_FILE_SIZE, uint8_t fill = 0xAB) : bytes(size, fill) {
    BuildRuleFileHeader(bytes.data());
  }
  uint8_t* data() { return bytes.data() + RULE_FILE_HEADER_SIZE; }
  uint32_t size() const { return static_cast<uint32_t>(bytes.size()); }
  std::vector<uint8_t> bytes;
};

RuleList Rules(std::initializer_list<std::pair<const char*, const char*>> sourceDest) {
  RuleList list;
  for (const auto& [source, dest] : sourceDest)
    list.push_back(MakeRule(source, dest, TYPE_FILE, KIND_RUN, RULE_MODE_NORMAL));
  return list;
}

int ParseAll(RuleView& view, RuleList& out, uint32_t& count, uint32_t& offset, bool* pause = nullptr) {
  count = 0;
  offset = 0;
  return ParseRuleRecords(view.data(), view.size(), out, count, offset, pause);
}

TEST(RuleFileHeader, BytesAndMagicTest) {
  uint8_t header[RULE_FILE_HEADER_SIZE];
  std::memset(header, 0xEE, sizeof header);
  BuildRuleFileHeader(header);
  EXPECT_EQ(0, std::memcmp(header, "QuorvexFirewallRuleFile", 23));
  const uint8_t version[4] = {0x00, 0x07, 0x00, 0x00};
  EXPECT_EQ(0, std::memcmp(header + 23, version, 4));
  for (size_t i = 27; i < 39; ++i) EXPECT_EQ(0, header[i]) << i;

  EXPECT_TRUE(IsValidRuleHeader(header, sizeof header));
  header[30] = 0x55;  // only the magic counts
  EXPECT_TRUE(IsValidRuleHeader(header, sizeof header));
  EXPECT_FALSE(IsValidRuleHeader(header, 22));
  EXPECT_FALSE(IsValidRuleHeader(nullptr, 100));
  header[22] = 'f';
  EXPECT_FALSE(IsValidRuleHeader(header, sizeof header));
}

TEST(RuleRecordWrite, SingleRecordLayoutAndEndMarker) {
  RuleView view;
  RuleList rules;
  rules.push_back(MakeRule("*", "C:\\a.txt", TYPE_FILE, KIND_RUN | KIND_COPY, RULE_MODE_NORMAL));
  uint32_t used = 77;
  ASSERT_EQ(0, SerializeRuleRecords(view.data(), view.size(), rules, used));
  EXPECT_EQ(29u, used);

  const std::vector<uint8_t> expected = {
      0x01, 0, 0, 0, 0x0C, 0,   0,    0,   0x0A, 0,   0,   0,   0x01, 0, 0, 0, '*',
      0x08, 0, 0, 0, 'C',  ':', '\\', 'a', '.',  't', 'x', 't', 0,    0, 0, 0};  // end marker at data offset 29, file
                                                                                 // offset 68
  const std::vector<uint8_t> written(view.bytes.begin() + 39, view.bytes.begin() + 39 + 33);
  EXPECT_EQ(expected, written);
  EXPECT_EQ(0xAB, view.bytes[72]) << "bytes after the end marker are left alone";
  // The header is not the serializer's business.
  EXPECT_TRUE(IsValidRuleHeader(view.bytes.data(), view.size()));
}

TEST(RuleRecordWrite, EmptySetWritesOnlyTheEndMarker) {
  RuleView view;
  RuleList none;
  uint32_t used = 5;
  EXPECT_EQ(0, SerializeRuleRecords(view.data(), view.size(), none, used));
  EXPECT_EQ(0u, used);
  EXPECT_EQ(0u, Get32(view.bytes, 39));
  EXPECT_EQ(0xAB, view.bytes[43]);

  RuleList read;
  uint32_t count, offset;
  bool pause = false;
  EXPECT_EQ(-3, ParseAll(view, read, count, offset, &pause));
  EXPECT_TRUE(pause) << "nothing read at an end marker asks for the pause";
  EXPECT_EQ(0u, count);
  EXPECT_TRUE(read.empty());
}

TEST(RuleRecordWrite, RoundTripKeepsOrderCaseAndEmptyDest) {
  RuleView view;
  RuleList rules;
  rules.push_back(MakeRule("C:\\Tools\\App.EXE", "D:\\Data\\*.DOC", TYPE_FILE, 0x7F, 10));
  rules.push_back(MakeRule("*", "", TYPE_FILE, KIND_OPEN, 9));
  rules.push_back(MakeRule("*", "hkey_local_machine\\Software\\Run*", TYPE_REGISTRY | TYPE_SYSTEM, KIND_MODIFY, 10));
  uint32_t used = 0;
  ASSERT_EQ(0, SerializeRuleRecords(view.data(), view.size(), rules, used));

  RuleList read;
  read.push_back(MakeRule("stale", "stale", 1, 1, 1));  // the walk clears the list
  uint32_t count, offset;
  bool pause = true;
  ASSERT_EQ(-3, ParseAll(view, read, count, offset, &pause));
  EXPECT_FALSE(pause);
  EXPECT_EQ(3u, count);
  EXPECT_EQ(used, offset) << "the walk stops at the end marker";
  ASSERT_EQ(3u, read.size());
  auto a = rules.begin();
  for (auto b = read.begin(); b != read.end(); ++a, ++b) {
    EXPECT_EQ((*a)->Type, (*b)->Type);
    EXPECT_EQ((*a)->Kinds, (*b)->Kinds);
    EXPECT_EQ((*a)->Mode, (*b)->Mode);
    EXPECT_EQ((*a)->Source, (*b)->Source);
    EXPECT_EQ((*a)->SourceLen, (*b)->SourceLen);
    EXPECT_EQ((*a)->Dest, (*b)->Dest);
    EXPECT_EQ((*a)->DestLen, (*b)->DestLen);
  }
}

TEST(RuleRecordWrite, ReserveCutsTheSetAtTheLastRecordThatFits) {
  // Records of 20 + 1 + 29 = 50 bytes; room for exactly two before the
  // reserve: 39 + 100 + 512 = 651.
  const std::string dest(29, 'x');
  RuleView view(651);
  RuleList rules = Rules({{"*", dest.c_str()}, {"*", dest.c_str()}, {"*", dest.c_str()}});
  rules.back()->Dest = "third";
  rules.back()->DestLen = 5;
  uint32_t used = 0;
  EXPECT_EQ(-4, SerializeRuleRecords(view.data(), view.size(), rules, used));
  EXPECT_EQ(100u, used);
  EXPECT_EQ(0u, Get32(view.bytes, 39 + 100));
  EXPECT_EQ(0xAB, view.bytes[39 + 104]);

  // The reader stops at the reserve before it looks at the end marker.
  RuleList read;
  uint32_t count, offset;
  EXPECT_EQ(-4, ParseAll(view, read, count, offset));
  EXPECT_EQ(2u, count);
  EXPECT_EQ(100u, offset);

  // One byte more and the reader sees the end marker.
  RuleView roomier(652);
  rules.pop_back();
  ASSERT_EQ(0, SerializeRuleRecords(roomier.data(), roomier.size(), rules, used));
  EXPECT_EQ(-3, ParseAll(roomier, read, count, offset));
  EXPECT_EQ(2u, count);
}

TEST(RuleRecordWrite, UnreadableItemsDoNotHideTheRulesAfterThem) {
  RuleView view;
  RuleList rules = Rules({{"*", "first"}, {"*", "second"}, {"*", "third"}});
  auto second = std::next(rules.begin());
  (*second)->Source.clear();
  (*second)->SourceLen = 0;
  (*std::next(second))->Type = 0;
  uint32_t used = 0;
  ASSERT_EQ(0, SerializeRuleRecords(view.data(), view.size(), rules, used));

  RuleList read;
  uint32_t count, offset;
  ASSERT_EQ(-3, ParseAll(view, read, count, offset));
  ASSERT_EQ(2u, count) << "the Type 0 rule is left out";
  EXPECT_EQ("first", read.front()->Dest);
  EXPECT_EQ("second", read.back()->Dest);
  EXPECT_EQ("*", read.back()->Source) << "an empty source is stored as every program";
}

TEST(RuleRecordWrite, RefusesViewsWithoutRoomForTheEndMarker) {
  std::vector<uint8_t> tiny(42, 0xAB);
  RuleList rules = Rules({{"*", "a"}});
  uint32_t used = 9;
  EXPECT_EQ(-1, SerializeRuleRecords(tiny.data() + 39, 42, rules, used));
  EXPECT_EQ(0u, used);
  EXPECT_EQ(std::vector<uint8_t>(42, 0xAB), tiny);
  EXPECT_EQ(-1, SerializeRuleRecords(nullptr, RULE_FILE_SIZE, rules, used));
}

TEST(RuleRecordRead, CountLimitAndContinuation) {
  RuleView view;
  RuleList rules = Rules({{"*", "a"}, {"*", "bb"}, {"*", "ccc"}});
  uint32_t used = 0;
  ASSERT_EQ(0, SerializeRuleRecords(view.data(), view.size(), rules, used));

  RuleList read;
  uint32_t count = 2, offset = 0;
  ASSERT_EQ(0, ParseRuleRecords(view.data(), view.size(), read, count, offset));
  EXPECT_EQ(2u, count);
  EXPECT_EQ(22u + 23u, offset);  // 20 + 1 + 1, 20 + 1 + 2
  EXPECT_EQ("bb", read.back()->Dest);

  count = 0;
  ASSERT_EQ(-3, ParseRuleRecords(view.data(), view.size(), read, count, offset));
  ASSERT_EQ(1u, count);
  EXPECT_EQ("ccc", read.front()->Dest);
  EXPECT_EQ(used, offset);
}

TEST(RuleRecordRead, EndCasesAndTraces) {
  RuleView view;
  RuleList read;
  uint32_t count, offset;
  bool pause = false;
  {
    TraceRecorder traces;
    Put32(view.bytes, 39, 0);
    EXPECT_EQ(-3, ParseAll(view, read, count, offset, &pause));
    EXPECT_TRUE(pause);
    EXPECT_TRUE(traces.lines().empty()) << "a Type 0 end is silent";
  }
  {
    TraceRecorder traces;
    Put32(view.bytes, 39, TYPE_FILE);
    Put32(view.bytes, 39 + 12, 0);  // SourceLen 0
    EXPECT_EQ(-3, ParseAll(view, read, count, offset, &pause));
    EXPECT_TRUE(pause);
    EXPECT_EQ(0u, offset);
    EXPECT_TRUE(traces.Saw("RULEFILE_ITEM::BuildFromBuffer:Reach File End\n"));
  }
  {
    TraceRecorder traces;
    RULEFILE_ITEM item;
    item.Type = 5;
    item.Source = "left over";
    EXPECT_EQ(RuleRecordStatus::BadInput, item.BuildFromBuffer(nullptr, 100));
    EXPECT_EQ(0u, item.Type);
    EXPECT_TRUE(item.Source.empty());
    EXPECT_TRUE(traces.Saw("RULEFILE_ITEM::BuildFromBuffer:Bad Input Parameter!"));
  }
  EXPECT_EQ(-1, ParseRuleRecords(nullptr, RULE_FILE_SIZE, read, count, offset));
}

// Damaged images: a record whose lengths run into the reserve or past the
// view. The views are heap blocks of exactly maxSize bytes, so the address
// sanitizer reports any read beyond them.
TEST(RuleRecordRead, DamagedRecordsEndTheWalkWithoutReadingOutside) {
  const uint32_t size = 39 + 512 + 200;
  struct Case {
    const char* what;
    uint32_t sourceLen;
    uint32_t destLen;
  } cases[] = {
      {"huge source length", 0xFFFFFFFF, 4},
      {"dest length word past the view", 700, 0},
      {"huge dest length", 10, 0xFFFFFFFF},
      {"lengths whose 32-bit sum wraps", 0xFFFFFFF0, 0x20},
      // The damaged record sits at data offset 22: 178 bytes before the
      // reserve, 690 before the end of the view.
      {"record reaching one byte into the reserve", 100, 178 - 20 - 100 + 1},
      {"record ending at the view end", 100, 690 - 20 - 100},
  };
  for (const auto& c : cases) {
    RuleView view(size, 0x00);
    // A good first record of 20 + 1 + 1 = 22 bytes, then the damaged one.
    RuleList good = Rules({{"*", "g"}});
    uint32_t used = 0;
    ASSERT_EQ(0, SerializeRuleRecords(view.data(), size, good, used));
    Put32(view.bytes, 39 + 22, TYPE_FILE);
    Put32(view.bytes, 39 + 22 + 12, c.sourceLen);
    const uint64_t destLenAt = 39 + 22 + 16 + uint64_t{c.sourceLen};
    if (destLenAt + 4 <= size) Put32(view.bytes, destLenAt, c.destLen);

    RuleList read;
    uint32_t count, offset;
    bool pause = true;
    TraceRecorder traces;
    EXPECT_EQ(-1, ParseAll(view, read, count, offset, &pause)) << c.what;
    EXPECT_EQ(std::vector<std::string>{"CRuleFile::ReadRules:Damaged Record.\n"}, traces.lines()) << c.what;
    EXPECT_FALSE(pause) << c.what;
    EXPECT_EQ(1u, count) << c.what;
    ASSERT_EQ(1u, read.size()) << c.what;
    EXPECT_EQ("g", read.front()->Dest) << c.what;
    EXPECT_EQ(22u, offset) << c.what << ": the offset stays at the damaged record";
  }
}

TEST(RuleRecordRead, RecordEndingExactlyAtTheReserveIsAccepted) {
  const uint32_t size = 39 + 512 + 200;
  RuleView view(size, 0x00);
  Put32(view.bytes, 39, TYPE_FILE);
  Put32(view.bytes, 39 + 12, 100);
  Put32(view.bytes, 39 + 16 + 100, 80);  // 20 + 100 + 80 = 200
  RuleList read;
  uint32_t count, offset;
  EXPECT_EQ(-4, ParseAll(view, read, count, offset));
  EXPECT_EQ(1u, count);
  EXPECT_EQ(200u, offset);
  EXPECT_EQ(80u, read.front()->Dest.size());
}

TEST(RuleRecordRead, ViewsTooSmallForADataAreaReadNothing) {
  std::vector<uint8_t> small(40, 0xFF);
  RuleList read;
  uint32_t count = 0, offset = 0;
  EXPECT_EQ(-4, ParseRuleRecords(small.data(), 40, read, count, offset));
  EXPECT_EQ(0u, count);
  offset = 0xFFFFFF00;  // an offset far beyond any view
  EXPECT_EQ(-4, ParseRuleRecords(small.data(), 40, read, count, offset));
}

// Random images: whatever the bytes, the walk ends with a defined result,
// every record it returns lies before the reserve and the offset is the sum
// of the record sizes.
TEST(RuleRecordRead, RandomImagesStayInBounds) {
  std::mt19937 rng(20240601);
  for (int round = 0; round < 3000; ++round) {
    const uint32_t size = 39 + std::uniform_int_distribution<uint32_t>(0, 1500)(rng);
    RuleView view(size, 0);
    for (size_t i = 39; i < size; ++i) view.bytes[i] = static_cast<uint8_t>(rng());
    // Half of the images get plausible record chains with small lengths so
    // that the walk goes past the first record.
    if (round % 2 == 0) {
      uint64_t at = 39;
      while (at + 20 < size) {
        const uint32_t sl = rng() % 40, dl = rng() % 40;
        Put32(view.bytes, at, 1 + rng() % 15);
        Put32(view.bytes, at + 12, round % 7 == 0 ? sl : sl + 1);
        if (at + 16 + sl + 4 > size) break;
        Put32(view.bytes, at + 16 + sl, rng() % 13 == 0 ? rng() : dl);
        at += 20 + sl + dl;
      }
    }
    RuleList read;
    uint32_t count = rng() % 4, offset = 0;
    const int rc = ParseRuleRecords(view.data(), size, read, count, offset);
    ASSERT_TRUE(rc == 0 || rc == -1 || rc == -3 || rc == -4) << rc;
    ASSERT_EQ(count, read.size());
    uint64_t sum = 0;
    for (const auto& r : read) {
      EXPECT_NE(0u, r->Type);
      EXPECT_EQ(r->SourceLen, r->Source.size());
      EXPECT_EQ(r->DestLen, r->Dest.size());
      sum += r->RecordSize();
    }
    ASSERT_EQ(sum, offset);
    if (!read.empty()) {
      EXPECT_LE(39 + sum + 512, size);
    }
  }
}

}  // namespace

// The file as found on disk: only an empty one, one of zeros or one of the
// written length with the magic counts as sound.
TEST(RuleFileImage, ShapeOfTheBytesOnDisk) {
  RuleView sound;
  EXPECT_EQ(RuleFileShape::AsWritten, CheckRuleFileShape(sound.bytes.data(), sound.bytes.size()));
  EXPECT_EQ(RuleFileShape::Missing, CheckRuleFileShape(nullptr, 0));
  struct Case {
    const char* name;
    size_t size;
    bool breakMagic;
  } damaged[] = {
      {"cut to 1000 bytes", 1000, false},
      {"cut inside the header", 20, false},
      {"one byte too long", RULE_FILE_SIZE + 1, false},
      {"foreign header", RULE_FILE_SIZE, true},
  };
  for (const Case& c : damaged) {
    std::vector<uint8_t> bytes(sound.bytes);
    bytes.resize(c.size, 0);
    if (c.breakMagic) bytes[3] ^= 0x20;
    EXPECT_EQ(RuleFileShape::Damaged, CheckRuleFileShape(bytes.data(), bytes.size())) << c.name;
  }
  // Made by the engine, no rule written yet: nothing to keep.
  for (size_t size : {size_t{RULE_FILE_SIZE}, size_t{2000}, size_t{10}}) {
    const std::vector<uint8_t> zeros(size, 0);
    EXPECT_EQ(RuleFileShape::Empty, CheckRuleFileShape(zeros.data(), zeros.size())) << size;
  }
}

// Records out of an image as it was found: a file cut inside a record keeps
// the records before it, and the cut record is not completed with zeros.
TEST(RuleFileImage, ACutFileYieldsTheWholeRecordsBeforeTheCut) {
  RuleView view(RULE_FILE_SIZE, 0);
  RuleList rules;
  for (int i = 0; i < 40; ++i)
    rules.push_back(
        MakeRule("*", "C:\\data\\file" + std::to_string(i) + ".txt", TYPE_FILE, KIND_OPEN, RULE_MODE_NORMAL));
  uint32_t used = 0;
  ASSERT_EQ(0, SerializeRuleRecords(view.data(), view.size(), rules, used));

  RuleList whole;
  EXPECT_EQ(-3, ParseRuleFileImage(view.bytes.data(), view.bytes.size(), whole));
  EXPECT_EQ(40u, whole.size());

  for (size_t cut : {size_t{1000}, size_t{39 + 29}, size_t{40}, size_t{39}}) {
    RuleList part;
    EXPECT_EQ(-1, ParseRuleFileImage(view.bytes.data(), cut, part)) << cut;
    // Every record read lies wholly within the cut.
    uint64_t end = RULE_FILE_HEADER_SIZE;
    for (const auto& r : part) end += r->RecordSize();
    EXPECT_LE(end, cut);
    size_t i = 0;
    for (const auto& r : part) EXPECT_EQ("C:\\data\\file" + std::to_string(i++) + ".txt", r->Dest);
    // Padding the cut with zeros, as an open does, would have completed
    // the cut record with zero bytes.
    if (cut == 1000) {
      std::vector<uint8_t> padded(view.bytes.begin(), view.bytes.begin() + cut);
      padded.resize(RULE_FILE_SIZE, 0);
      RuleList wrong;
      uint32_t count = 0, offset = 0;
      ParseRuleRecords(padded.data() + RULE_FILE_HEADER_SIZE, RULE_FILE_SIZE, wrong, count, offset);
      EXPECT_EQ(part.size() + 1, wrong.size());
    }
  }
  RuleList none;
  EXPECT_EQ(-1, ParseRuleFileImage(view.bytes.data(), 10, none));
  EXPECT_TRUE(none.empty());
}
