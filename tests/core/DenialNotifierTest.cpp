#include "log/DenialNotifier.h"

#include <gtest/gtest.h>

#include "rules/RuleRecord.h"

namespace {

LogRecordFields Denied(const char* process, const char* object, uint32_t action = KIND_COPY,
                       const char* result = "Denied") {
  LogRecordFields f;
  f.process = process;
  f.object = object;
  f.result = result;
  f.action = action;
  return f;
}

TEST(DenialNotifier, OneBalloonEveryTenSecondsTheRestSummarised) {
  CDenialNotifier n;
  // The first denial is shown at once.
  auto b = n.Take(Denied("C:\\Office\\WINWORD.EXE", "C:\\plan.doc"), false, false, 1, 5000);
  ASSERT_TRUE(b);
  EXPECT_EQ("Varnokel blocked WINWORD.EXE", b->title);
  EXPECT_EQ("Copy C:\\plan.doc", b->text);
  EXPECT_EQ(1u, b->tag);
  // The denials of the next 10 seconds are held ...
  for (uint64_t i = 0; i < 11; ++i) EXPECT_FALSE(n.Take(Denied("C:\\a.exe", "C:\\b"), false, false, 9, 6000 + i));
  EXPECT_FALSE(n.Take(Denied("C:\\x\\cmd.exe", "C:\\s.txt", KIND_OPEN | KIND_MODIFY), false, false, 12, 14000));
  EXPECT_EQ(15000u, n.DueAt());
  EXPECT_FALSE(n.Poll(14999));
  // ... and summarised once they are over, naming the latest.
  b = n.Poll(15000);
  ASSERT_TRUE(b);
  EXPECT_EQ("Varnokel blocked cmd.exe", b->title);
  EXPECT_EQ("12 accesses blocked; the latest: Read Modify C:\\s.txt", b->text);
  EXPECT_EQ(12u, b->tag);
  EXPECT_FALSE(n.Poll(40000)) << "nothing held";
  // One denial held through an interval is shown as itself; after a quiet
  // spell the next is shown at once; dropped ones never.
  EXPECT_FALSE(n.Take(Denied("C:\\p.exe", "C:\\o"), false, false, 7, 20000));
  EXPECT_EQ("Copy C:\\o", n.Poll(25000).value().text);
  EXPECT_TRUE(n.Take(Denied("C:\\p.exe", "C:\\o"), false, false, 8, 35000));
  EXPECT_FALSE(n.Take(Denied("C:\\p.exe", "C:\\o"), false, false, 9, 36000));
  n.DropHeld();
  EXPECT_FALSE(n.Poll(50000));
}

TEST(DenialNotifier, NeverForOwnRecordsTheBacklogOrOtherResults) {
  CDenialNotifier n;
  EXPECT_FALSE(n.Take(Denied("C:\\Varnokel.exe", "C:\\o"), true, false, 1, 0));
  EXPECT_FALSE(n.Take(Denied("C:\\p.exe", "C:\\o"), false, true, 2, 0));
  EXPECT_FALSE(n.Take(Denied("C:\\p.exe", "C:\\o", KIND_OPEN, "Approved"), false, false, 3, 0));
  EXPECT_FALSE(n.Take(Denied("C:\\p.exe", "C:\\o", KIND_OPEN, ""), false, false, 4, 0));
  EXPECT_FALSE(n.HasHeld());
  // None of them started an interval: the next denial is shown at once.
  EXPECT_EQ(5u, n.Take(Denied("C:\\p.exe", "C:\\o", KIND_OPEN, "denied"), false, false, 5, 100).value().tag);
}

}  // namespace
