// The report program XCrashReport.exe, started as the crash handler starts
// it, in a directory of its own with (or without) the report files.
#include <gtest/gtest.h>

#include <string>

#include "common/TestSupport.h"
#include "crashreport/CrashReportRes.h"

using namespace testsupport;

namespace {

struct ReportProgram {
  PROCESS_INFORMATION pi{};
  HWND dialog = nullptr;

  // Starts the copy in dir with the command line the crash handler builds.
  bool Start(const std::string& dir, const std::string& program) {
    const std::string exe = dir + "\\XCrashReport.exe";
    std::string cmd = exe + " \"" + program + ".exe\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    const std::string title = program + " - Error Report";
    PumpUntil([&] { return (dialog = FindWindowA("#32770", title.c_str())) != nullptr; }, 20000);
    return dialog != nullptr;
  }
  std::string Text(int id) const {
    char text[4096] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
  }
  ~ReportProgram() {
    if (pi.hProcess) {
      if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 1);
      CloseHandle(pi.hProcess);
      CloseHandle(pi.hThread);
    }
  }
};

void WriteFileText(const std::string& path, const std::string& text) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, f);
  DWORD written = 0;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(f);
}

std::string Copy(const std::string& tag) {
  const std::string dir = MakeTempDir(tag);
  EXPECT_TRUE(CopyFileA((ExeDir() + "\\XCrashReport.exe").c_str(), (dir + "\\XCrashReport.exe").c_str(), FALSE));
  return dir;
}

TEST(ReportProgram, ShowsTheReportReadOnlyAndClosesOnClose) {
  const std::string dir = Copy("xcr");
  const std::string report =
      "Varnokel caused an Access Violation (0xc0000005) \r\nin module Varnokel.exe at 0033:0000000140001537.\r\n"
      "\r\n===== [end of ERRORLOG.TXT] =====\r\n";
  WriteFileText(dir + "\\ERRORLOG.TXT", report);
  WriteFileText(dir + "\\CRASH.DMP", "MDMP");
  const std::string program = "Vk" + std::to_string(GetCurrentProcessId());

  ReportProgram p;
  ASSERT_TRUE(p.Start(dir, program));
  EXPECT_EQ(program + " stopped unexpectedly", p.Text(IDC_REPORT_HEADING));
  const std::string info = p.Text(IDC_REPORT_INFO);
  EXPECT_NE(std::string::npos, info.find("ERRORLOG.TXT")) << info;
  EXPECT_NE(std::string::npos, info.find("CRASH.DMP")) << info;
  EXPECT_NE(std::string::npos, info.find("Nothing has been sent anywhere")) << info;
  EXPECT_EQ(report, p.Text(IDC_REPORT_TEXT));
  HWND text = GetDlgItem(p.dialog, IDC_REPORT_TEXT);
  EXPECT_TRUE(GetWindowLongA(text, GWL_STYLE) & ES_READONLY);
  EXPECT_EQ("Saved in: " + dir, p.Text(IDC_REPORT_FOLDER));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(p.dialog, IDC_REPORT_OPEN)));

  PostMessageA(p.dialog, WM_COMMAND, IDCANCEL, 0);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(p.pi.hProcess, 20000));
  DWORD code = 1;
  GetExitCodeProcess(p.pi.hProcess, &code);
  EXPECT_EQ(0u, code);
}

TEST(ReportProgram, WithoutReportFilesItSaysSoAndHasNoFolderToOpen) {
  const std::string dir = Copy("xcr_none");
  const std::string program = "Vn" + std::to_string(GetCurrentProcessId());
  ReportProgram p;
  ASSERT_TRUE(p.Start(dir, program));
  EXPECT_EQ("The error report " + dir + "\\ERRORLOG.TXT could not be read.", p.Text(IDC_REPORT_TEXT));
  const std::string info = p.Text(IDC_REPORT_INFO);
  EXPECT_EQ(std::string::npos, info.find("CRASH.DMP")) << info;
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(p.dialog, IDC_REPORT_OPEN)));
  PostMessageA(p.dialog, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(p.pi.hProcess, 20000));
}

}  // namespace
