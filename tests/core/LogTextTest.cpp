#include "log/LogText.h"

#include <gtest/gtest.h>

#include "LogItem.h"
#include "rules/RuleRecord.h"

namespace {

TEST(LogNames, TypeNamesJoinInBitOrder) {
  EXPECT_EQ("", TypeName(0));
  EXPECT_EQ("File", TypeName(1));
  EXPECT_EQ("Registry", TypeName(2));
  EXPECT_EQ("Net", TypeName(4));
  EXPECT_EQ(" System", TypeName(8));
  EXPECT_EQ("File System", TypeName(9));
  EXPECT_EQ("FileRegistryNet System", TypeName(0xFFFFFFFF));
}

TEST(LogNames, ActionTextAppendsNamesToThePrefix) {
  EXPECT_EQ(", Read", ActionText(",", 0x01));
  EXPECT_EQ("Denied Modify Run", ActionText("Denied", 0x06));
  EXPECT_EQ("x Read Modify Run Copy Delete Find Print", ActionText("x", 0x7F));
  EXPECT_EQ("x Print", ActionText("x", 0xFFFFFF40)) << "unknown bits have no name";
  EXPECT_EQ("Allowed", ActionText("Allowed", 0));
  EXPECT_EQ(" Copy", ActionText("", 0x08));
}

TEST(LogNames, TextLogLines) {
  EXPECT_EQ("File, Read,12:00,C:\\p.exe,Denied : C:\\f\n",
            TextLogLine(LogItem(1, 1, "12:00,C:\\p.exe,Denied : C:\\f")));
  EXPECT_EQ("File,,t\n", TextLogLine(LogItem(1, 0, "t")));
  EXPECT_EQ("Registry System, Modify Delete,k\n", TextLogLine(LogItem(10, 0x12, "k")));
  EXPECT_EQ(",,ab\n", TextLogLine(LogItem(0, 0, std::string("ab\0cd", 5))));
}

TEST(LogSplit, CompleteRecord) {
  const auto p = SplitLogText("2024-06-01 12:00:01,C:\\Apps\\p.exe,Denied : C:\\Doc\\a.txt - copy blocked");
  EXPECT_EQ(3, p.fields);
  EXPECT_EQ("2024-06-01 12:00:01", p.time);
  EXPECT_EQ("C:\\Apps\\p.exe", p.process);
  EXPECT_EQ("Denied", p.actionPrefix);
  EXPECT_EQ("C:\\Doc\\a.txt - copy blocked", p.detail);
}

TEST(LogSplit, PartialRecordsStopWhereTheTextEnds) {
  auto p = SplitLogText("no comma at all : x");
  EXPECT_EQ(0, p.fields);
  EXPECT_TRUE(p.time.empty());

  p = SplitLogText("time only,C:\\p.exe : x");
  EXPECT_EQ(1, p.fields);
  EXPECT_EQ("time only", p.time);
  EXPECT_TRUE(p.process.empty());

  p = SplitLogText("t,C:\\p.exe,Denied C:\\f");
  EXPECT_EQ(2, p.fields);
  EXPECT_EQ("C:\\p.exe", p.process);
  EXPECT_TRUE(p.actionPrefix.empty());
  EXPECT_TRUE(p.detail.empty());

  p = SplitLogText(",,");
  EXPECT_EQ(2, p.fields);
  EXPECT_EQ("", p.time);
  EXPECT_EQ("", p.process);
}

TEST(LogSplit, SeparatorsInsideTheParts) {
  // The third part keeps later commas; only the first " : " splits it.
  auto p = SplitLogText("t,p,Denied, twice : a : b,c");
  EXPECT_EQ(3, p.fields);
  EXPECT_EQ("Denied, twice", p.actionPrefix);
  EXPECT_EQ("a : b,c", p.detail);

  p = SplitLogText("t,p, : ");
  EXPECT_EQ(3, p.fields);
  EXPECT_EQ("", p.actionPrefix);
  EXPECT_EQ("", p.detail);

  p = SplitLogText("t,p,x :y");  // " :" without the trailing space is no separator
  EXPECT_EQ(2, p.fields);
}

TEST(LogSplit, TextEndsAtNulAndAtTheBufferSize) {
  auto p = SplitLogText(std::string("t,p\0,x : y", 10));
  EXPECT_EQ(1, p.fields) << "the text ends at the NUL byte";
  EXPECT_EQ("t", p.time);

  // A separator beyond byte 779 is outside the display buffer.
  std::string longText = "t,p,";
  longText += std::string(779 - longText.size() - 2, 'a');
  longText += " : detail";
  p = SplitLogText(longText);
  EXPECT_EQ(2, p.fields);
  std::string fits = "t,p," + std::string(700, 'a') + " : d";
  EXPECT_EQ(3, SplitLogText(fits).fields);
  EXPECT_EQ("d", SplitLogText(fits).detail);
}

TEST(LogOwnRecords, OwnerPathWithinTheFirstTwentyFiveBytes) {
  const std::string owner = "c:\\tools\\varnokel.exe";
  EXPECT_TRUE(IsOwnRecord("12:00,C:\\Tools\\Varnokel.EXE,Denied : x", owner));
  // Start at byte 24 matches, byte 25 does not.
  EXPECT_TRUE(IsOwnRecord(std::string(24, 't') + "C:\\TOOLS\\VARNOKEL.EXE", owner));
  EXPECT_FALSE(IsOwnRecord(std::string(25, 't') + "C:\\TOOLS\\VARNOKEL.EXE", owner));
  // Only the first occurrence counts.
  EXPECT_FALSE(IsOwnRecord(std::string(30, 'x') + owner + "," + owner, owner));
  // The program as the accessed object, late in the text, is someone else's record.
  EXPECT_FALSE(IsOwnRecord("12:00:00,C:\\other.exe,Denied : c:\\tools\\varnokel.exe", owner));
  EXPECT_FALSE(IsOwnRecord("anything", ""));
  EXPECT_FALSE(IsOwnRecord("", owner));
  EXPECT_TRUE(IsOwnRecord("t,C:\\TOOLS\\VARNOKEL.EXE", "C:\\Tools\\Varnokel.exe"));
  // With the caller's letter rules (here: a code page where 0xC4 is the
  // capital of 0xE4), both the text and the owner path are lowered by them.
  auto lower = [](char* t, size_t n) {
    for (size_t i = 0; i < n; ++i)
      if (t[i] == '\xC4')
        t[i] = '\xE4';
      else if (t[i] >= 'A' && t[i] <= 'Z')
        t[i] = static_cast<char>(t[i] + 32);
  };
  EXPECT_TRUE(IsOwnRecord("t,C:\\\xC4RGER\\V.EXE,x", "c:\\\xE4rger\\v.exe", lower));
  EXPECT_TRUE(IsOwnRecord("t,C:\\\xE4RGER\\V.EXE,x", "C:\\\xC4rger\\v.exe", lower));
  EXPECT_FALSE(IsOwnRecord("t,C:\\\xC4RGER\\V.EXE,x", "c:\\\xE4rger\\v.exe"));  // ASCII only
  // A long text: only the bytes an early occurrence can cover count.
  EXPECT_TRUE(
      IsOwnRecord(std::string(24, 't') + "C:\\\xC4RGER\\V.EXE" + std::string(700, 'x'), "c:\\\xE4rger\\v.exe", lower));
}

TEST(LogColours, ModifyBeforeRunBeforeRead) {
  const uint32_t run = 0x0000FF, read = 0x00FF00, write = 0xFF0000;
  EXPECT_EQ(write, LogRowColour(KIND_OPEN | KIND_MODIFY, run, read, write));
  EXPECT_EQ(write, LogRowColour(0x7F, run, read, write));
  EXPECT_EQ(run, LogRowColour(KIND_RUN | KIND_OPEN, run, read, write));
  EXPECT_EQ(read, LogRowColour(KIND_OPEN | KIND_COPY, run, read, write));
  EXPECT_EQ(0xFFFFFFu, LogRowColour(KIND_COPY | KIND_DELETE | KIND_FIND | KIND_PRINT, run, read, write));
  EXPECT_EQ(0xFFFFFFu, LogRowColour(0, run, read, write));
  EXPECT_EQ(0x5028C8u, LOG_SUMMARY_COLOUR);  // red 200, green 40, blue 80
}

TEST(LogExplorer, SelectsThePathBeforeTheFirstDash) {
  EXPECT_EQ("C:\\Doc\\a.txt", ExplorerSelectPath("C:\\Doc\\a.txt - copy blocked - twice"));
  EXPECT_EQ("C:\\my-file.txt", ExplorerSelectPath("C:\\my-file.txt"));
  EXPECT_EQ("C:\\a", ExplorerSelectPath("C:\\a -"));
  EXPECT_EQ("", ExplorerSelectPath(" -x"));
  EXPECT_EQ("", ExplorerSelectPath(""));
}

}  // namespace
