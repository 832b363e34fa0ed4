#include "log/DenialNotifier.h"

#include <gtest/gtest.h>

#include "rules/RuleRecord.h"

namespace {

LogRecordFields Record(const char* process, const char* object, const char* result = "Denied",
                       uint32_t action = KIND_COPY) {
  LogRecordFields f;
  f.time = "2024-05-01 10:00:00";
  f.process = process;
  f.object = object;
  f.result = result;
  f.type = TYPE_FILE;
  f.action = action;
  return f;
}

TEST(DenialNotifier, OneBalloonEveryTenSecondsTheRestSummarised) {
  CDenialNotifier n;
  // The first denial is shown at once.
  auto b = n.Take(Record("C:\\Office\\WINWORD.EXE", "C:\\plan.doc"), false, false, 1, 5000);
  ASSERT_TRUE(b);
  EXPECT_EQ("Varnokel blocked WINWORD.EXE", b->title);
  EXPECT_EQ("Copy C:\\plan.doc", b->text);
  EXPECT_EQ(1u, b->count);
  EXPECT_EQ(1u, b->tag);

  // Denials within the next 10 seconds are held ...
  for (uint64_t i = 0; i < 12; ++i) {
    const bool last = i == 11;
    EXPECT_FALSE(n.Take(Record(last ? "C:\\x\\cmd.exe" : "C:\\a.exe", last ? "C:\\secret.txt" : "C:\\b", "Denied",
                               last ? KIND_OPEN | KIND_MODIFY : KIND_RUN),
                        false, false, 100 + i, 6000 + i * 100));
  }
  EXPECT_TRUE(n.HasHeld());
  EXPECT_EQ(15000u, n.DueAt());
  EXPECT_FALSE(n.Poll(14999));
  // ... and summarised once they are over, naming the latest.
  b = n.Poll(15000);
  ASSERT_TRUE(b);
  EXPECT_EQ("Varnokel blocked cmd.exe", b->title);
  EXPECT_EQ("12 accesses blocked; the latest: Read Modify C:\\secret.txt", b->text);
  EXPECT_EQ(12u, b->count);
  EXPECT_EQ(111u, b->tag);
  EXPECT_FALSE(n.Poll(40000)) << "nothing held, nothing shown";

  // A single denial held through the interval is shown as itself.
  EXPECT_FALSE(n.Take(Record("C:\\p.exe", "C:\\o"), false, false, 7, 20000));
  b = n.Poll(25000);
  ASSERT_TRUE(b);
  EXPECT_EQ("Copy C:\\o", b->text);
  // After a quiet spell a denial is shown at once again.
  EXPECT_TRUE(n.Take(Record("C:\\p.exe", "C:\\o"), false, false, 8, 35000));
  // Dropped held denials are never shown.
  EXPECT_FALSE(n.Take(Record("C:\\p.exe", "C:\\o"), false, false, 9, 36000));
  n.DropHeld();
  EXPECT_FALSE(n.Poll(50000));
}

TEST(DenialNotifier, NeverForOwnRecordsTheBacklogOrOtherResults) {
  CDenialNotifier n;
  EXPECT_FALSE(n.Take(Record("C:\\Varnokel.exe", "C:\\o"), true, false, 1, 0));
  EXPECT_FALSE(n.Take(Record("C:\\p.exe", "C:\\o"), false, true, 2, 0));
  EXPECT_FALSE(n.Take(Record("C:\\p.exe", "C:\\o", "Approved"), false, false, 3, 0));
  EXPECT_FALSE(n.Take(Record("C:\\p.exe", "C:\\o", ""), false, false, 4, 0));
  EXPECT_FALSE(n.HasHeld());
  EXPECT_FALSE(n.Poll(100000));
  // The held ones did not start an interval: the next denial is shown at once.
  const auto b = n.Take(Record("C:\\p.exe", "C:\\o", "denied"), false, false, 5, 100);
  ASSERT_TRUE(b);
  EXPECT_EQ(5u, b->tag);
}

}  // namespace
