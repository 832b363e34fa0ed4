#include <gtest/gtest.h>

#include "LogItem.h"
#include "log/LogCsv.h"
#include "log/LogFields.h"
#include "rules/RuleRecord.h"

namespace {

LogRecordFields Fields(uint32_t type, uint32_t action, std::string text) {
  return SplitLogRecord(LogItem(type, action, std::move(text)));
}

// A code page that refuses every byte beyond ASCII.
bool AsciiOnly(std::string_view in, std::string& out) {
  for (const char c : in)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  out = in;
  return true;
}

TEST(LogFields, TextsThatCannotBeSplitKeepTheirRestAsTheObject) {
  const LogRecordFields f = Fields(TYPE_FILE, 0, "t,p, Approved  : C:\\a -seq 4");
  EXPECT_EQ((std::vector<std::string>{"t", "p", "Approved", "C:\\a -seq 4"}),
            (std::vector<std::string>{f.time, f.process, f.result, f.object}));
  EXPECT_EQ("no separator", Fields(TYPE_FILE, 0, "t,p,no separator").object);
  EXPECT_EQ("no second comma", Fields(TYPE_FILE, 0, "t,no second comma").object);
  EXPECT_EQ("obj", Fields(TYPE_FILE, 0, std::string("t,p,Denied : obj\0rest", 21)).object);
}

TEST(LogFields, TimesAreReadStrictlyAndUnreadableOnesAreKeptBySince) {
  int64_t t = 0;
  ASSERT_TRUE(ParseLogTime("1970-01-02 00:00:01", t));
  EXPECT_EQ(86401, t);
  for (const char* good : {"2024-02-29 23:59:59", "2024/05/01 10:00:00", "2024-05-01T10:00:00.250", " 2024-05-01 "})
    EXPECT_TRUE(ParseLogTime(good, t)) << good;
  for (const char* bad : {"2023-02-29 10:00:00", "2024-13-01 10:00:00", "2024-05-01 24:00:00", "2024-05/01 10:00:00",
                          "05/01 10:00:00", "2024-05-01 10:00", "2024-05-01 10:00:00x", "2024-05-01 10:00:00.", ""})
    EXPECT_FALSE(ParseLogTime(bad, t)) << bad;

  ASSERT_TRUE(ParseLogTime("2024-05-01 10:00:00", t));
  LogRecordFields r;
  for (const auto& [time, kept] : {std::pair{"2024-05-01 09:59:59", false}, std::pair{"2024-05-01 10:00:00", true},
                                   std::pair{"05/01 09:00:00", true}}) {
    r.time = time;
    EXPECT_EQ(kept, LogRecordNotBefore(r, t)) << time;
  }
}

TEST(LogCsv, QuotingPerRfc4180AndUtf8) {
  const std::pair<const char*, const char*> fields[] = {
      {"plain", "plain"},   {"a,b", "\"a,b\""}, {"say \"hi\"", "\"say \"\"hi\"\"\""}, {"2\r\nlines", "\"2\r\nlines\""},
      {"lf\n", "\"lf\n\""}, {"", ""},
  };
  for (const auto& [in, out] : fields) EXPECT_EQ(out, CsvField(in)) << in;
  EXPECT_EQ("\xEF\xBB\xBFtime,type,process,action,result,object\r\n", LogCsvHeader());
  // (Non-ASCII through the code page: vkctl's test.) A text that the code
  // page refuses keeps its ASCII, and the line stays UTF-8.
  EXPECT_EQ("t,Net,p\xEF\xBF\xBDx,,Denied,o\r\n", LogCsvLine(Fields(TYPE_NET, 0, "t,p\x81x,Denied : o"), &AsciiOnly));
}

}  // namespace
