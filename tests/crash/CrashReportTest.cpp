// The crash handler end to end: a copy of crash_probe faults inside one of
// the program's guards in a temporary directory, beside a stand-in report
// program (report_standin copied as XCrashReport.exe) that records its
// command line.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "app/MainWindowFinder.h"
#include "common/TestSupport.h"
#include "resource.h"

using namespace testsupport;

namespace {

constexpr DWORD kAccessViolation = 0xC0000005;

std::string ReadText(const std::string& path) {
  const auto bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> SplitLines(const std::string& text, const char* end) {
  std::vector<std::string> lines;
  size_t start = 0;
  const size_t n = strlen(end);
  for (size_t at; (at = text.find(end, start)) != std::string::npos; start = at + n)
    lines.push_back(text.substr(start, at - start));
  return lines;
}

struct ProbeRun {
  std::string dir;
  DWORD exitCode = ~0u;
  std::string output;

  std::string Report() const { return ReadText(dir + "\\ERRORLOG.TXT"); }
  std::string Dump() const { return ReadText(dir + "\\CRASH.DMP"); }
  // The stand-in's recorded command lines, once it has run (or after a
  // while, when it is not expected to).
  std::vector<std::string> StandinLines(bool expected = true) const {
    const std::string path = dir + "\\standin_cmdline.txt";
    PumpUntil([&] { return Exists(path); }, expected ? 20000 : 1500);
    // It may still be writing.
    PumpUntil([&] { return ReadText(path).find('\n') != std::string::npos; }, expected ? 5000 : 0);
    return SplitLines(ReadText(path), "\n");
  }
};

// Prepares a directory with the probe and, unless told not to, the stand-in.
std::string PrepareDir(const std::string& dir, bool withStandin = true) {
  EXPECT_TRUE(CopyFileA((ExeDir() + "\\crash_probe.exe").c_str(), (dir + "\\crash_probe.exe").c_str(), FALSE));
  if (withStandin) {
    EXPECT_TRUE(CopyFileA((ExeDir() + "\\report_standin.exe").c_str(), (dir + "\\XCrashReport.exe").c_str(), FALSE));
  }
  return dir;
}

ProbeRun RunProbe(const std::string& dir, const std::string& mode) {
  ProbeRun run;
  run.dir = dir;
  const std::string outPath = dir + "\\probe_out.txt";
  std::string cmd = "\"" + dir + "\\crash_probe.exe\" " + mode;
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = out;
  si.hStdError = out;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi{};
  const BOOL started = StartProcess(cmd, TRUE, 0, dir.c_str(), si, pi);
  CloseHandle(out);
  EXPECT_TRUE(started) << cmd;
  if (!started) return run;
  CloseHandle(pi.hThread);
  if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(pi.hProcess, &run.exitCode);
  } else {
    TerminateProcess(pi.hProcess, 1);
    ADD_FAILURE() << mode << ": the probe did not end";
  }
  CloseHandle(pi.hProcess);
  run.output = ReadText(outPath);
  return run;
}

ProbeRun RunProbe(const std::string& mode) { return RunProbe(PrepareDir(MakeTempDir("crash")), mode); }

// The positions of the texts in the report, which must come in this order.
void ExpectInOrder(const std::string& report, const std::vector<std::string>& texts) {
  size_t at = 0;
  for (const auto& t : texts) {
    const size_t found = report.find(t, at);
    ASSERT_NE(std::string::npos, found) << "missing or out of order: " << t;
    at = found + t.size();
  }
}

std::string Capture(const std::string& text, const char* pattern) {
  std::smatch m;
  if (!std::regex_search(text, m, std::regex(pattern))) return {};
  return m[1].str();
}

TEST(CrashReport, MainEntryFaultLeavesACompleteReportDumpAndStartsTheReportProgram) {
  const ProbeRun run = RunProbe("main");
  EXPECT_EQ(0u, run.exitCode) << run.output;
  EXPECT_NE(std::string::npos, run.output.find("entry returned 0")) << run.output;
  const std::string report = run.Report();
  ASSERT_FALSE(report.empty());

  const std::string hex16 = "[0-9a-f]{16}";
  EXPECT_TRUE(std::regex_search(
      report, std::regex("^crash_probe caused an Access Violation \\(0xc0000005\\) \r\nin module crash_probe\\.exe at "
                         "[0-9a-f]{4}:" +
                         hex16 + "\\.\r\n\r\n")))
      << report.substr(0, 200);
  ExpectInOrder(report, {
                            "Exception handler called in ExceptionAttacher - AfxWinMain.\r\n",
                            "Error occurred at ",
                            run.dir + "\\crash_probe.exe, run by ",
                            "Operating system:  ",
                            " processor(s), type ",
                            "% memory in use.\r\n",
                            " MBytes physical memory.\r\n",
                            " MBytes physical memory free.\r\n",
                            " MBytes paging file.\r\n",
                            " MBytes paging file free.\r\n",
                            " MBytes user address space.\r\n",
                            " MBytes user address space free.\r\n",
                            "Write to location 0000000000000010 caused an access violation.\r\n",
                            "\r\nContext:\r\nRDI:    0x",
                            "\r\nRBX:    0x",
                            "\r\nRIP:    0x",
                            "\r\nEFlags: 0x",
                            "\r\nBytes at CS:EIP:\r\n",
                            "\r\n\r\nStack:\r\n0x",
                            "\r\n\r\nModule 1\r\n",
                            "\r\n===== [end of ERRORLOG.TXT] =====\r\n",
                        });
  EXPECT_EQ(report.size() - strlen("\r\n===== [end of ERRORLOG.TXT] =====\r\n"),
            report.rfind("\r\n===== [end of ERRORLOG.TXT] =====\r\n"))
      << "the end line ends the report";
  EXPECT_TRUE(std::regex_search(report, std::regex("Error occurred at \\d{1,2}/\\d{1,2}/\\d{4} \\d\\d:\\d\\d:\\d[02468]"
                                                   "\\.\r\n")));
  EXPECT_TRUE(std::regex_search(report, std::regex("Operating system:  .+ \\(\\d+\\.\\d+\\.\\d+\\)\\.\r\n")));

  // The faulting instruction's address, the register and the code bytes.
  const std::string ip = Capture(report, "at [0-9a-f]{4}:([0-9a-f]{16})\\.");
  EXPECT_EQ(ip, Capture(report, "RIP:    0x([0-9a-f]{16})"));
  const std::string bytes = Capture(report, "Bytes at CS:EIP:\r\n((?:[0-9a-f?]{2} ){16})\r\n\r\nStack:");
  EXPECT_EQ(48u, bytes.size()) << "16 bytes, no line end after them";
  EXPECT_EQ(std::string::npos, bytes.find("??")) << "the code at the instruction pointer is readable";
  // The stack starts at the stack pointer, four 32-bit words to a line.
  const std::string sp = Capture(report, "RSP: 0x([0-9a-f]{16})");
  EXPECT_NE(std::string::npos, report.find("Stack:\r\n0x" + sp + ": "));
  EXPECT_TRUE(std::regex_search(report, std::regex("\r\n0x" + hex16 + ": (?:[0-9a-f]{8} ){4}.{16}\r\n")));

  // The module list holds the system's ntdll and the probe itself.
  const auto lines = SplitLines(report, "\r\n");
  bool ntdll = false, probe = false;
  for (size_t i = 0; i + 2 < lines.size(); ++i) {
    if (lines[i].rfind("Module ", 0) != 0) continue;
    const std::string& path = lines[i + 1];
    EXPECT_TRUE(std::regex_match(lines[i + 2], std::regex("Image Base: 0x" + hex16 + "  Image Size: 0x[0-9a-f]{8}")))
        << lines[i + 2];
    const std::string lower = [&] {
      std::string s = path;
      for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
      return s;
    }();
    ntdll = ntdll || (lower.size() >= 10 && lower.compare(lower.size() - 10, 10, "\\ntdll.dll") == 0);
    probe = probe || path == run.dir + "\\crash_probe.exe";
  }
  EXPECT_TRUE(ntdll);
  EXPECT_TRUE(probe);

  EXPECT_EQ("MDMP", run.Dump().substr(0, 4));
  const auto standin = run.StandinLines();
  ASSERT_EQ(1u, standin.size());
  EXPECT_EQ(run.dir + "\\XCrashReport.exe \"crash_probe.exe\"", standin[0]);
}

TEST(CrashReport, HardwareFaultsAndEscapedExceptionsAreCaughtInTheMainEntry) {
  struct Case {
    const char* mode;
    const char* firstLine;
  } cases[] = {
      {"main-divide", "crash_probe caused an Integer Divide by Zero (0xc0000094) \r\n"},
      {"main-overflow", "crash_probe caused a Stack Overflow (0xc00000fd) \r\n"},
      {"main-throw", "crash_probe caused an Unknown exception type (0x20474343) \r\n"},
  };
  for (const auto& c : cases) {
    const ProbeRun run = RunProbe(c.mode);
    EXPECT_EQ(0u, run.exitCode) << c.mode << ": " << run.output;
    const std::string report = run.Report();
    EXPECT_EQ(0u, report.find(c.firstLine)) << c.mode << ": " << report.substr(0, 120);
    EXPECT_EQ(std::string::npos, report.find("caused an access violation")) << c.mode;
    EXPECT_NE(std::string::npos, report.find("\r\n===== [end of ERRORLOG.TXT] =====\r\n")) << c.mode;
    EXPECT_EQ("MDMP", run.Dump().substr(0, 4)) << c.mode;
    EXPECT_EQ(1u, run.StandinLines().size()) << c.mode;
  }
}

TEST(CrashReport, WithoutAFaultTheGuardIsInvisible) {
  // Also a C++ exception thrown and caught inside the guard is no fault, nor
  // is an access violation that a system call catches itself.
  for (const char* mode : {"main-ok", "main-caught", "main-handled"}) {
    const ProbeRun run = RunProbe(mode);
    EXPECT_EQ(7u, run.exitCode) << mode;
    EXPECT_NE(std::string::npos, run.output.find("entry returned 7")) << mode;
    EXPECT_FALSE(Exists(run.dir + "\\ERRORLOG.TXT")) << mode;
    EXPECT_FALSE(Exists(run.dir + "\\CRASH.DMP")) << mode;
    EXPECT_TRUE(run.StandinLines(false).empty()) << mode;
  }
}

TEST(CrashReport, WorkerGuardsReportAndTheProgramGoesOn) {
  struct Case {
    const char* mode;
    const char* location;
    const char* output;  // what the probe saw of the program going on
  } cases[] = {
      {"close", "DlgNotify - CCloseThread::Run", "progress window ended with 1 at 100%"},
      {"log", "DlgPageLog - CLogReadThread::Run", "reader end signalled"},
      {"create", "BaseThread - CBaseThread::CreateThread", "CreateThread returned 0"},
  };
  for (const auto& c : cases) {
    const ProbeRun run = RunProbe(c.mode);
    EXPECT_EQ(0u, run.exitCode) << c.mode << ": " << run.output;
    EXPECT_NE(std::string::npos, run.output.find(c.output)) << c.mode << ": " << run.output;
    const std::string report = run.Report();
    EXPECT_EQ(0u, report.find("crash_probe caused an Access Violation (0xc0000005) \r\n")) << c.mode;
    EXPECT_NE(std::string::npos, report.find(std::string("Exception handler called in ") + c.location + ".\r\n"))
        << c.mode;
    EXPECT_EQ("MDMP", run.Dump().substr(0, 4)) << c.mode;
    const auto standin = run.StandinLines();
    ASSERT_EQ(1u, standin.size()) << c.mode;
    EXPECT_EQ(run.dir + "\\XCrashReport.exe \"crash_probe.exe\"", standin[0]);
  }
}

TEST(CrashReport, ASecondFaultGetsNoReportAndReachesTheSystem) {
  const ProbeRun run = RunProbe("twice");
  EXPECT_EQ(kAccessViolation, run.exitCode) << run.output;
  EXPECT_NE(std::string::npos, run.output.find("first reader end signalled")) << run.output;
  EXPECT_NE(std::string::npos, run.output.find("unhandled c0000005")) << run.output;
  const std::string report = run.Report();
  EXPECT_NE(std::string::npos, report.find("Exception handler called in DlgPageLog - CLogReadThread::Run.\r\n"));
  const std::string end = "===== [end of ERRORLOG.TXT] =====";
  ASSERT_NE(std::string::npos, report.find(end));
  EXPECT_EQ(report.find(end), report.rfind(end)) << "one report";
  EXPECT_EQ(1u, run.StandinLines().size());
  Sleep(500);
  EXPECT_EQ(1u, run.StandinLines().size()) << "the report program was started once";
}

TEST(CrashReport, ReportIsWrittenButTheFaultTravelsOnWhenTheReportProgramCannotStart) {
  // No report program beside the probe.
  const ProbeRun missing = RunProbe(PrepareDir(MakeTempDir("crash_noreport"), false), "main");
  EXPECT_EQ(kAccessViolation, missing.exitCode) << missing.output;
  EXPECT_NE(std::string::npos, missing.output.find("unhandled c0000005"));
  EXPECT_EQ(0u, missing.Report().find("crash_probe caused an Access Violation"));
  EXPECT_EQ("MDMP", missing.Dump().substr(0, 4));

  // A directory so long that the report program's command line would not
  // fit in its 260 characters: it is not started.
  std::string dir = MakeTempDir("crash_long");
  const std::string parent = dir;
  const size_t pad = dir.size() + 1 < 226 ? 226 - dir.size() - 1 : 1;
  dir += "\\" + std::string(pad, 'd');
  ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr)) << dir.size();
  ASSERT_GE(dir.size() + strlen("\\XCrashReport.exe \"crash_probe.exe\""), 260u);
  const ProbeRun tooLong = RunProbe(PrepareDir(dir), "main");
  EXPECT_EQ(kAccessViolation, tooLong.exitCode) << tooLong.output;
  EXPECT_EQ(0u, tooLong.Report().find("crash_probe caused an Access Violation"));
  EXPECT_TRUE(tooLong.StandinLines(false).empty());
}

// The real program in a directory of its own, with the stand-in report
// program beside it, as the installer puts XCrashReport.exe there.
struct AppRun {
  std::string dir;
  Process process;
  HWND main = nullptr;

  explicit AppRun(const char* tag) : dir(MakeTempDir(tag)) {
    EXPECT_TRUE(CopyFileA((ExeDir() + "\\Varnokel.exe").c_str(), (dir + "\\Varnokel.exe").c_str(), FALSE));
    EXPECT_TRUE(CopyFileA((ExeDir() + "\\report_standin.exe").c_str(), (dir + "\\XCrashReport.exe").c_str(), FALSE));
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + dir + "\\Varnokel.exe\"";
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) return;
    CloseHandle(pi.hThread);
    process.process = pi.hProcess;
    process.id = pi.dwProcessId;
    PumpUntil([&] { return (main = FindMainWindow("Varnokel")) != nullptr && IsWindowVisible(main); }, 30000);
  }
  ~AppRun() {
    // Ended before the next run starts: a first instance still alive would
    // take the next start as a second one.
    if (process.process && WaitForSingleObject(process.process, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process.process, 1);
      WaitForSingleObject(process.process, 60000);
    }
  }

  // Makes the hook fault on the program's user-interface thread and waits
  // until it has noted the fault.
  void Fault(WPARAM kind, const char* note) {
    HMODULE dll = LoadLibraryA((ExeDir() + "\\fault_hook.dll").c_str());
    ASSERT_NE(nullptr, dll);
    auto proc = reinterpret_cast<HOOKPROC>(GetProcAddress(dll, "FaultHook"));
    ASSERT_NE(nullptr, proc);
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, proc, dll, GetWindowThreadProcessId(main, nullptr));
    ASSERT_NE(nullptr, hook);
    PostMessageA(main, RegisterWindowMessageA("Varnokel.Test.Fault"), kind, 0);
    const std::string notes = dir + "\\fault_hook.txt";
    EXPECT_TRUE(PumpUntil([&] { return ReadText(notes).find(note) != std::string::npos; }, 20000)) << ReadText(notes);
    UnhookWindowsHookEx(hook);
  }
};

TEST(CrashReport, TheRealProgramGoesOnAfterAHandledFaultAndReportsAnUnhandledOne) {
  {
    AppRun app("crash_app_handled");
    ASSERT_NE(nullptr, app.main);
    app.Fault(1, "handled\n");
    // Still running, nothing written, no report program; Exit ends it.
    PumpUntil([] { return false; }, 500);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(app.process.process, 0));
    EXPECT_FALSE(Exists(app.dir + "\\ERRORLOG.TXT"));
    EXPECT_FALSE(Exists(app.dir + "\\CRASH.DMP"));
    ProbeRun files;
    files.dir = app.dir;
    EXPECT_TRUE(files.StandinLines(false).empty());
    PostMessageA(app.main, WM_COMMAND, MAKEWPARAM(ID_TRAY_EXIT, 0), 0);
    EXPECT_EQ(0u, app.process.Wait(120000));
  }
  AppRun app("crash_app_unhandled");
  ASSERT_NE(nullptr, app.main);
  app.Fault(2, "unhandled\n");
  // The main entry's guard reports it and the program ends.
  EXPECT_EQ(0u, app.process.Wait(120000));
  ProbeRun files;
  files.dir = app.dir;
  const std::string report = files.Report();
  EXPECT_EQ(0u, report.find("Varnokel caused an Access Violation (0xc0000005) \r\nin module Varnokel.exe"))
      << report.substr(0, 200);
  EXPECT_NE(std::string::npos, report.find("Exception handler called in ExceptionAttacher - AfxWinMain.\r\n"));
  EXPECT_EQ("MDMP", files.Dump().substr(0, 4));
  const auto standin = files.StandinLines();
  ASSERT_EQ(1u, standin.size());
  EXPECT_EQ(app.dir + "\\XCrashReport.exe \"Varnokel.exe\"", standin[0]);
}

TEST(CrashReport, NoReportFileMeansNoDumpAndNoReportProgram) {
  const std::string dir = PrepareDir(MakeTempDir("crash_nofile"));
  // A directory where the report file would go: it cannot be created.
  ASSERT_TRUE(CreateDirectoryA((dir + "\\ERRORLOG.TXT").c_str(), nullptr));
  const ProbeRun run = RunProbe(dir, "main");
  EXPECT_EQ(kAccessViolation, run.exitCode) << run.output;
  EXPECT_FALSE(Exists(dir + "\\CRASH.DMP"));
  EXPECT_TRUE(run.StandinLines(false).empty());
}

}  // namespace
