// The engine stand-in as a second process: its rule listing, its appends to
// the log (order, wrap, event) and its command-line errors.
#include <gtest/gtest.h>

#include <sstream>

#include "LogTestUtil.h"
#include "log/LogText.h"
#include "rules/RuleFile.h"
#include "rules/RuleSet.h"

using namespace testsupport;
using namespace logtest;

TEST(EngineSim, RulesListsEveryRecordOnePerLine) {
  std::string dir = MakeTempDir("sim_rules");
  std::string path = dir + "\\QX5Rule.rle";
  std::string mapping = "VkTest.simrle." + std::to_string(GetCurrentProcessId()) + "." + std::to_string(GetTickCount());
  CRuleFile file;
  ASSERT_EQ(0, file.Open(path.c_str(), mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  RuleList rules;
  rules.push_back(MakeRule("*", "C:\\Users\\bob\\plan.doc", TYPE_FILE, KIND_RUN | KIND_COPY, RULE_MODE_NORMAL));
  rules.push_back(MakeRule("C:\\p q\\x.exe", "hkey_local_machine\\software\\*", TYPE_REGISTRY | TYPE_SYSTEM,
                           KIND_MODIFY, RULE_MODE_ALT));
  ASSERT_EQ(0, file.WriteRules(rules));

  const std::string out = dir + "\\out.txt";
  EXPECT_EQ(0u, RunSim("rules --path \"" + path + "\" --mapping " + mapping, out));
  EXPECT_EQ(
      "0x01\t0x0C\t10\t*\tC:\\Users\\bob\\plan.doc\n"
      "0x0A\t0x02\t9\tC:\\p q\\x.exe\thkey_local_machine\\software\\*\n"
      "# 2 rules\n",
      ReadText(out));

  // An empty rule set lists nothing but the count.
  ASSERT_EQ(0, file.WriteRules(RuleList{}));
  EXPECT_EQ(0u, RunSim("rules --path \"" + path + "\" --mapping " + mapping, out));
  EXPECT_EQ("# 0 rules\n", ReadText(out));
  file.CloseAfterWrite();
}

TEST(EngineSim, BadCommandLinesAndAMissingFrontEndHaveTheirOwnExitCodes) {
  TempLog t;
  const std::string out = t.dir + "\\usage.txt";
  auto RunSim = [&](const std::string& args) { return logtest::RunSim(args, out); };
  EXPECT_EQ(2u, RunSim(""));
  EXPECT_EQ(2u, RunSim("frobnicate"));
  EXPECT_EQ(2u, RunSim("log " + t.SimArgs()));                           // no mode
  EXPECT_EQ(2u, RunSim("log " + t.SimArgs() + " --type 1 --action 1"));  // no text
  EXPECT_EQ(2u, RunSim("log " + t.SimArgs() + " --type 0 --text x"));    // type 0 reads as the end
  EXPECT_EQ(2u, RunSim("log " + t.SimArgs() + " --generate ten"));
  EXPECT_EQ(2u, RunSim("log " + t.SimArgs() + " --generate 1 --demo"));
  EXPECT_EQ(3u, RunSim("reload --title \"No Such Window 4711\""));
  {
    // A dialog that only shares the title (as the front end's message boxes
    // do) is no front end; it answers whatever reaches it meanwhile.
    HWND lookalike = CreateWindowExA(0, WC_DIALOG, "Lookalike 4711", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
    testsupport::Process p;
    ASSERT_TRUE(testsupport::StartHelper(p, "engine-sim.exe", "reload --title \"Lookalike 4711\"", out));
    testsupport::PumpUntil([&] { return WaitForSingleObject(p.process, 0) == WAIT_OBJECT_0; }, 60000);
    EXPECT_EQ(3u, p.Wait(0));
    DestroyWindow(lookalike);
  }
  EXPECT_EQ(1u,
            RunSim("log --path \"" + t.dir + "\\missing\\dir\\QX5.log\" --mapping " + t.mapping + "x --generate 1"));
}

TEST(EngineSim, AppendsFollowTheLastRecordAndSignalTheEvent) {
  TempLog t;
  CLogFile log(t.event.c_str());
  ASSERT_EQ(0, log.Open(t.path.c_str(), t.mapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  // Records already there (another writer's) are kept, new ones follow them.
  uint32_t pos = AppendLogRecord(log.GetReadBase(), LOG_FILE_SIZE, 0, TYPE_NET, KIND_OPEN, "earlier");
  ASSERT_GT(pos, 0u);

  const std::string text = "2026-12-07 10:15:02,C:\\Program Files\\App\\app.exe,Denied : C:\\Users\\bob\\plan.doc";
  ASSERT_EQ(0u, RunSim("log " + t.SimArgs() + " --type 0x9 --action 3 --text \"" + text + "\""));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(log.WrittenEvent(), 5000));
  ASSERT_EQ(0u, RunSim("log " + t.SimArgs() + " --generate 300 --seq 1000"));

  LogItemList items;
  uint32_t count = 0, readPos = 0;
  EXPECT_EQ(-3, log.ReadItems(items, &count, &readPos));
  ASSERT_EQ(302u, count);
  EXPECT_EQ("earlier", items[0]->text);
  EXPECT_EQ(TYPE_FILE | TYPE_SYSTEM, items[1]->type);
  EXPECT_EQ(KIND_OPEN | KIND_MODIFY, items[1]->action);
  EXPECT_EQ(text, items[1]->text);
  bool sawRegistry = false, sawDenied = false, sawAllowed = false;
  for (uint32_t i = 2; i < count; ++i) {
    const auto& item = *items[i];
    // Every generated text splits into all columns and carries its number.
    LogTextParts parts = SplitLogText(item.text);
    ASSERT_EQ(3, parts.fields) << item.text;
    // "MM/DD hh:mm:ss"
    ASSERT_EQ(14u, parts.time.size()) << item.text;
    EXPECT_EQ('/', parts.time[2]);
    EXPECT_EQ(':', parts.time[8]);
    std::string process = parts.process;
    for (char& c : process) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(".exe", process.substr(process.size() - 4)) << item.text;
    EXPECT_EQ(" -seq " + std::to_string(1000 + i - 2), parts.detail.substr(parts.detail.rfind(" -seq "))) << item.text;
    EXPECT_NE(0u, item.action);
    sawRegistry |= (item.type & TYPE_REGISTRY) != 0;
    sawDenied |= parts.actionPrefix == "Denied";
    sawAllowed |= parts.actionPrefix == "Allowed";
  }
  EXPECT_TRUE(sawRegistry && sawDenied && sawAllowed);
}

TEST(EngineSim, TheWriterWrapsToTheStartWhenItReachesTheReserve) {
  TempLog t;
  CLogFile log(t.event.c_str());
  ASSERT_EQ(0, log.Open(t.path.c_str(), t.mapping.c_str(), LOG_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  // One lap is roughly 40 000 of these records; write a lap and a bit.
  ASSERT_EQ(0u, RunSim("log " + t.SimArgs() + " --generate 50000 --seq 0"));
  LogItemList items;
  uint32_t count = 0, pos = 0;
  int r = log.ReadItems(items, &count, &pos);
  // The new lap starts at 0 and ends in front of the old lap's rest.
  EXPECT_EQ(-3, r);
  ASSERT_GT(count, 1000u);
  const std::string& last = items.back()->text;
  EXPECT_EQ(" -seq 49999", last.substr(last.rfind(" -seq ")));
  const std::string& first = items.front()->text;
  const unsigned firstSeq = static_cast<unsigned>(std::stoul(first.substr(first.rfind(" -seq ") + 6)));
  EXPECT_EQ(50000u - count, firstSeq);
  EXPECT_GT(firstSeq, 30000u);
}
