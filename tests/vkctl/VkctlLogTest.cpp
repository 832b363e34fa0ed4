// `vkctl log` run as a process on a log that the test writes as the engine
// does: a wrapped lap, a damaged record, --since, the JSON and CSV forms,
// refused files, and --follow until Ctrl+C.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "VkctlTestUtil.h"
#include "framework/Handle.h"
#include "log/LogFile.h"

using namespace testsupport;
using namespace vktest;

namespace {

// A small log, so that a few records go round a lap.
constexpr uint32_t kLogSize = LOG_HEADER_SIZE + LOG_RESERVE + 3000;

struct TestLog {
  std::string dir = MakeTempDir("vklog");
  std::string path = dir + "\\QX5.log";
  std::string mapping = UniqueMapping("vklogmap");
  // The engine's own event: a follower must leave its signal alone.
  CLogFile file;
  uint32_t w = 0;
  std::vector<uint32_t> starts;  // where each record went
  std::vector<int> laps;

  TestLog() { EXPECT_EQ(0, file.Open(path.c_str(), mapping.c_str(), kLogSize, CMappedFile::kAccessReadWrite, false)); }
  void Append(uint32_t type, uint32_t action, const std::string& text) {
    {
      MutexLock write(file.WriteMutex());
      MutexLock read(file.ReadMutex());
      starts.push_back(IsInLogReserve(w, kLogSize) ? 0 : w);
      laps.push_back(laps.empty() ? 0 : laps.back() + (starts.back() == 0));
      w = AppendLogRecord(file.GetReadBase(), kLogSize, w, type, action, text);
    }
    SetEvent(file.WrittenEvent());
  }
  // Record n, made at minute n (or at an unreadable time).
  void AppendNumbered(int n, bool unreadableTime = false) {
    char text[160];
    snprintf(text, sizeof text, "%s%02d:00,C:\\Apps\\app.exe,Denied : C:\\data\\file %02d.txt",
             unreadableTime ? "yesterday " : "2024-05-01 10:", n, n);
    Append(TYPE_FILE, KIND_COPY, text);
  }
  std::string Args() const { return "--path \"" + path + "\" --mapping " + mapping; }
  RunResult Vk(const std::string& args) const { return RunProgram("vkctl.exe", "log " + args, dir + "\\out.txt"); }
};

// The record numbers in the output, skipping vkctl's own remarks.
std::vector<int> NumbersIn(const std::string& out) {
  RunResult run;
  run.out = out;
  std::vector<int> numbers;
  for (const std::string& line : run.Lines())
    if (line.rfind("vkctl:", 0) != 0 && line.find("file ") != std::string::npos)
      numbers.push_back(std::stoi(line.substr(line.find("file ") + 5, 2)));
  return numbers;
}

std::vector<int> UpTo(int last) {
  std::vector<int> v;
  for (int i = 0; i <= last; ++i) v.push_back(i);
  return v;
}

TEST(VkctlLog, OldestFirstAcrossAWrappedLapPastADamagedRecordAndSince) {
  TestLog log;
  for (int i = 0; i < 50; ++i) log.AppendNumbered(i, i == 47);
  ASSERT_EQ(1, log.laps.back()) << "the records go round one lap";
  const int damaged = 45;
  log.file.GetReadBase()[log.starts[damaged] + 9] = 0x7F;  // an impossible length
  log.file.CloseLog(0);
  const std::vector<uint8_t> before = ReadFileBytes(log.path);
  // The older lap's records behind the new lap's end, then the new lap's.
  std::vector<int> expected;
  for (int i = 0; i < 50; ++i)
    if ((log.laps[i] == 0 && log.starts[i] >= log.w + 4) || (log.laps[i] == 1 && i != damaged)) expected.push_back(i);
  ASSERT_GT(expected.size(), 30u);

  const RunResult all = log.Vk(log.Args());
  EXPECT_EQ(0u, all.code) << all.out;
  EXPECT_EQ(expected, NumbersIn(all.out)) << all.out;
  EXPECT_NE(std::string::npos, all.out.find("vkctl: log: " + log.path + ": skipped 1 damaged place(s)"));
  EXPECT_NE(std::string::npos,
            all.out.find("\nFile, Copy,2024-05-01 10:49:00,C:\\Apps\\app.exe,Denied : C:\\data\\file 49.txt\n"))
      << "the text log's lines";

  const RunResult since = log.Vk("--since \"2024-05-01 10:46:00\" " + log.Args());
  EXPECT_EQ(0u, since.code) << since.out;
  EXPECT_EQ((std::vector<int>{46, 47, 48, 49}), NumbersIn(since.out)) << "47's time is unreadable: kept";
  EXPECT_EQ(before, ReadFileBytes(log.path)) << "reading leaves the file as it was";
}

TEST(VkctlLog, JsonLinesAndCsv) {
  ASSERT_EQ(1252u, GetACP()) << "the texts below are Windows-1252";
  TestLog log;
  log.Append(TYPE_FILE, KIND_OPEN | KIND_COPY, "2024-05-01 10:00:00,C:\\caf\xE9.exe,Denied : C:\\a,\"b\".doc -seq 1");
  log.Append(TYPE_REGISTRY | TYPE_SYSTEM, KIND_MODIFY, "2024-05-01 10:00:01,C:\\r.exe,Approved : hklm\\run\r\nx");
  log.Append(TYPE_NET, 0, "no comma");

  const RunResult json = log.Vk("--json " + log.Args());
  EXPECT_EQ(0u, json.code);
  EXPECT_EQ(
      "{\"time\":\"2024-05-01 10:00:00\",\"type\":\"file\",\"process\":\"C:\\\\caf\xC3\xA9.exe\","
      "\"action\":\"open,copy\",\"result\":\"Denied\",\"object\":\"C:\\\\a,\\\"b\\\".doc -seq 1\",\"system\":false}\n"
      "{\"time\":\"2024-05-01 10:00:01\",\"type\":\"registry\",\"process\":\"C:\\\\r.exe\",\"action\":\"modify\","
      "\"result\":\"Approved\",\"object\":\"hklm\\\\run\\r\\nx\",\"system\":true}\n"
      "{\"time\":\"\",\"type\":\"net\",\"process\":\"\",\"action\":\"\",\"result\":\"\",\"object\":\"no comma\","
      "\"system\":false}\n",
      json.out);
  const RunResult csv = log.Vk("--csv " + log.Args());
  EXPECT_EQ(0u, csv.code);
  EXPECT_EQ(
      "\xEF\xBB\xBFtime,type,process,action,result,object\r\n"
      "2024-05-01 10:00:00,File,C:\\caf\xC3\xA9.exe,Read Copy,Denied,\"C:\\a,\"\"b\"\".doc -seq 1\"\r\n"
      "2024-05-01 10:00:01,Registry System,C:\\r.exe,Modify,Approved,\"hklm\\run\r\nx\"\r\n"
      ",Net,,,,no comma\r\n",
      csv.out);
}

TEST(VkctlLog, AMissingOrDamagedLogGivesExitTwoAndOneLineAndStaysAsItWas) {
  TestLog log;
  log.file.CloseLog(0);
  const std::string missing = log.dir + "\\none\\QX5.log", damaged = log.dir + "\\bad.log";
  RunResult run = log.Vk("--path \"" + missing + "\"");
  EXPECT_EQ(2u, run.code);
  EXPECT_EQ((std::vector<std::string>{"vkctl: log: " + missing + ": there is no log file"}), run.Lines());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(missing.c_str())) << "nothing is created";

  std::vector<uint8_t> bytes = ReadFileBytes(log.path);
  bytes[0] = 'X';
  for (size_t size : {bytes.size(), size_t{100}}) {  // a foreign header; a file cut short
    std::ofstream(damaged, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), size);
    run = log.Vk("--json --path \"" + damaged + "\"");
    EXPECT_EQ(2u, run.code);
    EXPECT_EQ((std::vector<std::string>{"vkctl: log: " + damaged + ": damaged, not a log file"}), run.Lines());
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + size), ReadFileBytes(damaged));
  }
  for (const char* bad : {"--json --csv", "--since 2024-05-01x", "--since", "extra"}) {
    run = log.Vk(std::string(bad) + " " + log.Args());
    EXPECT_EQ(2u, run.code) << bad;
    EXPECT_EQ(1u, run.Lines().size()) << bad << ": " << run.out;
  }
}

TEST(VkctlLog, FollowPrintsEachNewRecordOnceAcrossALapUntilCtrlC) {
  TestLog log;
  for (int i = 0; i < 5; ++i) log.AppendNumbered(i);
  // A console of its own, on which the test presses Ctrl+C.
  const std::string out = log.dir + "\\follow.txt";
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = CreateFileA(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, 0);
  std::string cmd = "\"" + ExeDir() + "\\vkctl.exe\" log --follow " + log.Args();
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(
      CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr, nullptr, &si, &pi));
  CloseHandle(si.hStdOutput);
  CloseHandle(pi.hThread);
  Process process;  // ended at the end of the test if still running
  process.process = pi.hProcess;
  auto printed = [&] {
    const auto bytes = ReadFileBytes(out);
    return NumbersIn(std::string(bytes.begin(), bytes.end()));
  };
  ASSERT_TRUE(PumpUntil([&] { return printed() == UpTo(4); }, 30000)) << printed().size();

  // Records enough to go round the lap arrive while it follows.
  for (int i = 5; i < 60; ++i) {
    log.AppendNumbered(i);
    if (i % 10 == 0) Sleep(300);
  }
  ASSERT_EQ(1, log.laps.back());
  EXPECT_TRUE(PumpUntil([&] { return printed() == UpTo(59); }, 30000)) << printed().size();
  // The engine's signal is still there for the Log page's reader: the
  // follower looked by itself.
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(log.file.WrittenEvent(), 0));

  Process ctrlC;
  ASSERT_TRUE(StartHelper(ctrlC, "ctrl_c.exe", std::to_string(pi.dwProcessId)));
  ASSERT_EQ(0u, ctrlC.Wait(30000)) << "Ctrl+C not sent";
  EXPECT_EQ(0u, process.Wait(30000));
  EXPECT_EQ(UpTo(59), printed());
}

}  // namespace
