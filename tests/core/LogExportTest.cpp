#include <gtest/gtest.h>

#include "log/LogCsv.h"
#include "log/LogFields.h"
#include "log/LogJson.h"
#include "rules/RuleRecord.h"

namespace {

LOGFILE_ITEM Item(uint32_t type, uint32_t action, std::string text) {
  LOGFILE_ITEM item;
  item.type = type;
  item.action = action;
  item.length = static_cast<uint32_t>(text.size());
  item.text = std::move(text);
  return item;
}

// Windows-1252 for the bytes the tests use; refuses 0x81, which that code
// page leaves undefined.
bool FakeCodePage(std::string_view in, std::string& out) {
  out.clear();
  for (char c : in) {
    const auto b = static_cast<unsigned char>(c);
    if (b == 0x81) return false;
    if (b < 0x80) {
      out += c;
    } else if (b == 0x80) {
      out += "\xE2\x82\xAC";
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return true;
}

TEST(LogFields, RecordsSplitIntoFieldsWithoutLosingText) {
  struct Case {
    uint32_t type;
    std::string text;
    LogRecordFields want;
  };
  const Case cases[] = {
      {TYPE_FILE | TYPE_SYSTEM,
       "2024-05-01 10:00:00,C:\\Windows\\x.exe,Denied : C:\\a b.doc -seq 4",
       {"2024-05-01 10:00:00", "C:\\Windows\\x.exe", "Denied", "C:\\a b.doc -seq 4", 0, 0, true}},
      {TYPE_REGISTRY, "t,p, Approved  : hklm\\x", {"t", "p", "Approved", "hklm\\x", 0, 0, false}},
      {TYPE_FILE, "t,p,no separator", {"t", "p", "", "no separator", 0, 0, false}},
      {TYPE_FILE, "t,no second comma", {"t", "", "", "no second comma", 0, 0, false}},
      {TYPE_FILE, "no comma at all", {"", "", "", "no comma at all", 0, 0, false}},
      {TYPE_FILE, std::string("t,p,Denied : obj\0rest", 21), {"t", "p", "Denied", "obj", 0, 0, false}},
  };
  for (const Case& c : cases) {
    const LogRecordFields f = SplitLogRecord(Item(c.type, KIND_COPY, c.text));
    EXPECT_EQ(c.want.time, f.time) << c.text;
    EXPECT_EQ(c.want.process, f.process) << c.text;
    EXPECT_EQ(c.want.result, f.result) << c.text;
    EXPECT_EQ(c.want.object, f.object) << c.text;
    EXPECT_EQ(c.want.system, f.system) << c.text;
    EXPECT_EQ(KIND_COPY, f.action);
  }
  EXPECT_TRUE(IsDeniedResult("DENIED"));
  EXPECT_FALSE(IsDeniedResult("Denied!"));
  EXPECT_EQ("WINWORD.EXE", ProcessFileName("C:\\Office\\WINWORD.EXE"));
  EXPECT_EQ("open,modify", LogActionWords(KIND_OPEN | KIND_MODIFY));
  EXPECT_EQ("", LogActionWords(0));
  EXPECT_EQ("Read Modify", LogActionText(KIND_OPEN | KIND_MODIFY));
  EXPECT_EQ("file,net", LogTypeWords(TYPE_FILE | TYPE_NET | TYPE_SYSTEM));
}

TEST(LogFields, TimesAreReadStrictlyAndUnreadableOnesAreKept) {
  int64_t t = 0;
  ASSERT_TRUE(ParseLogTime("1970-01-02 00:00:01", t));
  EXPECT_EQ(86401, t);
  struct Case {
    const char* text;
    bool ok;
  };
  const Case cases[] = {
      {"2024-02-29 23:59:59", true},
      {"2024/05/01 10:00:00", true},
      {"2024-05-01T10:00:00.250", true},
      {" 2024-05-01 ", true},
      {"2023-02-29 10:00:00", false},
      {"2024-13-01 10:00:00", false},
      {"2024-05-01 24:00:00", false},
      {"2024-05/01 10:00:00", false},
      {"05/01 10:00:00", false},
      {"2024-05-01 10:00", false},
      {"2024-05-01 10:00:00x", false},
      {"2024-05-01 10:00:00.", false},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.ok, ParseLogTime(c.text, t)) << c.text;

  int64_t since = 0;
  ASSERT_TRUE(ParseLogTime("2024-05-01 10:00:00", since));
  LogRecordFields r;
  for (const auto& [time, kept] : {std::pair{"2024-05-01 09:59:59", false}, std::pair{"2024-05-01 10:00:00", true},
                                   std::pair{"2025-01-01 00:00:00", true}, std::pair{"05/01 09:00:00", true}}) {
    r.time = time;
    EXPECT_EQ(kept, LogRecordNotBefore(r, since)) << time;
  }
}

TEST(LogCsv, QuotingPerRfc4180AndUtf8WithAByteOrderMark) {
  const std::pair<const char*, const char*> fields[] = {
      {"plain text", "plain text"},         {"a,b", "\"a,b\""},           {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\r\nlines", "\"two\r\nlines\""}, {"lf\nonly", "\"lf\nonly\""}, {"", ""},
  };
  for (const auto& [in, out] : fields) EXPECT_EQ(out, CsvField(in)) << in;

  EXPECT_EQ("\xEF\xBB\xBFtime,type,process,action,result,object\r\n", LogCsvHeader());
  const LogRecordFields f = SplitLogRecord(Item(TYPE_FILE | TYPE_SYSTEM, KIND_OPEN | KIND_COPY,
                                                "2024-05-01 10:00:00,C:\\caf\xE9.exe,Denied : C:\\a,\"b\".doc"));
  EXPECT_EQ("2024-05-01 10:00:00,File System,C:\\caf\xC3\xA9.exe,Read Copy,Denied,\"C:\\a,\"\"b\"\".doc\"\r\n",
            LogCsvLine(f, &FakeCodePage));
  // A text the code page refuses keeps its ASCII; the line stays UTF-8.
  const LogRecordFields bad = SplitLogRecord(Item(TYPE_FILE, 0, "t,p\x81x,Denied : o"));
  EXPECT_EQ("t,File,p\xEF\xBF\xBDx,,Denied,o\r\n", LogCsvLine(bad, &FakeCodePage));
}

TEST(LogJson, OneObjectPerLineWithRuleNamesAndUtf8) {
  const LogRecordFields f = SplitLogRecord(Item(TYPE_REGISTRY | TYPE_SYSTEM, KIND_MODIFY | KIND_DELETE,
                                                "2024-05-01 10:00:00,C:\\r\x80.exe,Denied : hklm\\\"run\""));
  EXPECT_EQ(
      "{\"time\":\"2024-05-01 10:00:00\",\"type\":\"registry\",\"process\":\"C:\\\\r\xE2\x82\xAC.exe\","
      "\"action\":\"modify,delete\",\"result\":\"Denied\",\"object\":\"hklm\\\\\\\"run\\\"\",\"system\":true}\n",
      LogJsonLine(f, &FakeCodePage));
  // Without a conversion (or with a broken one) the strings are still UTF-8.
  const LogRecordFields raw = SplitLogRecord(Item(TYPE_NET, 0, "t,p\xFF,x : y"));
  EXPECT_EQ(
      "{\"time\":\"t\",\"type\":\"net\",\"process\":\"p\xEF\xBF\xBD\",\"action\":\"\",\"result\":\"x\","
      "\"object\":\"y\",\"system\":false}\n",
      LogJsonLine(raw, nullptr));
  EXPECT_EQ(std::string::npos, LogJsonLine(raw, [](std::string_view, std::string& out) {
                                 out = "\xC3";
                                 return true;
                               }).find('\xC3'));
}

}  // namespace
