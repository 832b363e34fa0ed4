// XCrashReport: started by the crash handler after a crash, with the file
// name of the program that stopped as its only argument (in double quotes).
// It tells the user what happened, shows the error report "ERRORLOG.TXT"
// read-only and offers to open the folder that holds it and "CRASH.DMP".
// Both files lie in this program's own directory. Nothing is sent anywhere.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "CrashReportRes.h"

namespace {

constexpr DWORD kMaxReportBytes = 4 * 1024 * 1024;

struct State {
  std::string program;  // "Varnokel"
  std::string folder;   // this program's directory, without the last "\"
  HFONT heading = nullptr;
  HFONT fixed = nullptr;
};

std::string OwnFolder() {
  char path[MAX_PATH * 2] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path - 1);
  std::string s(path, n);
  const size_t slash = s.find_last_of('\\');
  return slash == std::string::npos ? std::string(".") : s.substr(0, slash);
}

// The program's name without its extension, from the quoted argument; the
// product's name when none is given. The command line starts with this
// program's own path, unquoted (possibly with blanks) or quoted: the
// argument is the next quoted part after it.
std::string ProgramName(const char* commandLine) {
  std::string line = commandLine ? commandLine : "";
  size_t from = 0;
  if (!line.empty() && line[0] == '"') {
    const size_t end = line.find('"', 1);
    from = end == std::string::npos ? line.size() : end + 1;
  }
  std::string name;
  const size_t open = line.find('"', from);
  if (open != std::string::npos) {
    const size_t close = line.find('"', open + 1);
    if (close != std::string::npos) name = line.substr(open + 1, close - open - 1);
  }
  const size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.erase(dot);
  return name.empty() ? std::string("Varnokel") : name;
}

std::string ReadReport(const std::string& path) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text;
  const DWORD size = GetFileSize(file, nullptr);
  if (size != INVALID_FILE_SIZE) {
    text.resize(size < kMaxReportBytes ? size : kMaxReportBytes);
    DWORD got = 0;
    if (!text.empty() && !ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr)) got = 0;
    text.resize(got);
  }
  CloseHandle(file);
  // The edit control shows one character per byte up to the first zero.
  for (char& c : text)
    if (c == '\0') c = ' ';
  return text;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Init(HWND dlg, State& s) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  auto* big = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_REPORT_APP), IMAGE_ICON,
                                            GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  auto* small = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_REPORT_APP), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  if (big) SendMessageA(dlg, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  if (small) SendMessageA(dlg, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  SendDlgItemMessageA(dlg, IDC_REPORT_ICON, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconA(nullptr, IDI_ERROR)), 0);

  SetWindowTextA(dlg, (s.program + " - Error Report").c_str());

  // The heading in a larger, bold form of the dialog's font.
  LOGFONTA lf{};
  if (auto* font = reinterpret_cast<HFONT>(SendMessageA(dlg, WM_GETFONT, 0, 0))) GetObjectA(font, sizeof lf, &lf);
  lf.lfWeight = FW_BOLD;
  lf.lfHeight = lf.lfHeight ? lf.lfHeight * 13 / 10 : -15;
  s.heading = CreateFontIndirectA(&lf);
  SendDlgItemMessageA(dlg, IDC_REPORT_HEADING, WM_SETFONT, reinterpret_cast<WPARAM>(s.heading), FALSE);
  SetDlgItemTextA(dlg, IDC_REPORT_HEADING, (s.program + " stopped unexpectedly").c_str());

  const std::string reportPath = s.folder + "\\ERRORLOG.TXT";
  const std::string dumpPath = s.folder + "\\CRASH.DMP";
  const bool haveDump = FileExists(dumpPath);
  const bool haveReport = FileExists(reportPath);
  std::string info = s.program + " ran into a fault and had to be closed. We are sorry for the trouble.\n\n";
  if (haveReport && haveDump)
    info += "An error report (ERRORLOG.TXT) and a memory dump (CRASH.DMP) were saved in the program's folder.";
  else if (haveReport)
    info += "An error report (ERRORLOG.TXT) was saved in the program's folder.";
  else if (haveDump)
    info += "A memory dump (CRASH.DMP) was saved in the program's folder; the error report is missing.";
  else
    info += "No error report was found in the program's folder.";
  info += " Nothing has been sent anywhere. You can start " + s.program + " again now.";
  SetDlgItemTextA(dlg, IDC_REPORT_INFO, info.c_str());

  // The report in a fixed font, so that its columns line up.
  s.fixed = CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, "Courier New");
  HWND text = GetDlgItem(dlg, IDC_REPORT_TEXT);
  SendMessageA(text, WM_SETFONT, reinterpret_cast<WPARAM>(s.fixed), FALSE);
  SendMessageA(text, EM_SETLIMITTEXT, kMaxReportBytes + 1, 0);
  std::string report = ReadReport(reportPath);
  if (report.empty()) report = "The error report " + reportPath + " could not be read.";
  SetWindowTextA(text, report.c_str());

  SetDlgItemTextA(dlg, IDC_REPORT_FOLDER, ("Saved in: " + s.folder).c_str());
  EnableWindow(GetDlgItem(dlg, IDC_REPORT_OPEN), haveReport || haveDump);
  SetFocus(GetDlgItem(dlg, IDCANCEL));
}

// Opens the folder in Explorer with the report selected.
void OpenFolder(HWND dlg, const State& s) {
  const std::string reportPath = s.folder + "\\ERRORLOG.TXT";
  std::string args = FileExists(reportPath) ? "/select,\"" + reportPath + "\"" : "\"" + s.folder + "\"";
  ShellExecuteA(dlg, "open", "explorer.exe", args.c_str(), nullptr, SW_SHOWNORMAL);
}

INT_PTR CALLBACK DialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  auto* s = reinterpret_cast<State*>(GetWindowLongPtrA(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      s = reinterpret_cast<State*>(lp);
      SetWindowLongPtrA(dlg, DWLP_USER, lp);
      Init(dlg, *s);
      return FALSE;  // focus set in Init
    case WM_CTLCOLORSTATIC:
      // The read-only report on a white ground, like a document.
      if (reinterpret_cast<HWND>(lp) == GetDlgItem(dlg, IDC_REPORT_TEXT)) {
        SetBkColor(reinterpret_cast<HDC>(wp), GetSysColor(COLOR_WINDOW));
        SetTextColor(reinterpret_cast<HDC>(wp), GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
      }
      return FALSE;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDC_REPORT_OPEN:
          if (s) OpenFolder(dlg, *s);
          return TRUE;
        case IDOK:
        case IDCANCEL: EndDialog(dlg, IDOK); return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  State state;
  state.program = ProgramName(GetCommandLineA());
  state.folder = OwnFolder();
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_REPORT), nullptr, DialogProc, reinterpret_cast<LPARAM>(&state));
  if (state.heading) DeleteObject(state.heading);
  if (state.fixed) DeleteObject(state.fixed);
  return 0;
}
