#include "common/TestSupport.h"

#include <cstdio>
#include <mutex>

#include "rules/RuleFile.h"

namespace testsupport {

std::string ExeDir() {
  char buf[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, buf, MAX_PATH);
  std::string path(buf);
  return path.substr(0, path.find_last_of('\\'));
}

namespace {

void DeleteTree(const std::string& dir) {
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = fd.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = dir + "\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(find, &fd));
    FindClose(find);
  }
  RemoveDirectoryA(dir.c_str());
}

std::vector<std::string>& CreatedDirs() {
  static std::vector<std::string> dirs;
  return dirs;
}

}  // namespace

std::string MakeTempDir(const std::string& tag) {
  char base[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, base);
  static LONG counter = 0;
  // Process ids come round again, so a directory of this name may be left
  // from an earlier run: start from an empty one.
  std::string dir = std::string(base) + "vk_" + tag + "_" + std::to_string(GetCurrentProcessId()) + "_" +
                    std::to_string(InterlockedIncrement(&counter));
  DeleteTree(dir);
  CreateDirectoryA(dir.c_str(), nullptr);
  CreatedDirs().push_back(dir);
  return dir;
}

void RemoveTempDirs() {
  for (const auto& dir : CreatedDirs()) DeleteTree(dir);
  CreatedDirs().clear();
}

std::string UniqueMapping(const char* tag) {
  static LONG counter = 0;
  return std::string("VkTest.") + tag + "." + std::to_string(GetCurrentProcessId()) + "." +
         std::to_string(GetTickCount()) + "." + std::to_string(InterlockedIncrement(&counter));
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  HANDLE f =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return bytes;
  DWORD size = GetFileSize(f, nullptr), got = 0;
  bytes.resize(size);
  if (size) ReadFile(f, bytes.data(), size, &got, nullptr);
  bytes.resize(got);
  CloseHandle(f);
  return bytes;
}

Process::~Process() {
  if (process) {
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) TerminateProcess(process, 1);
    CloseHandle(process);
  }
}

DWORD Process::Wait(DWORD ms) {
  if (!process || WaitForSingleObject(process, ms) != WAIT_OBJECT_0) return ~0u;
  DWORD code = ~0u;
  GetExitCodeProcess(process, &code);
  return code;
}

RuleList ReadRuleFile(const std::string& path, const std::string& mapping) {
  CRuleFile file;
  RuleList rules;
  if (file.Open(path.c_str(), mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessRead, false) != 0) return rules;
  uint32_t count = 0, offset = 0;
  file.ReadRules(rules, &count, &offset);
  file.CloseAfterWrite();
  return rules;
}

BOOL StartProcess(std::string cmd, BOOL inherit, DWORD flags, const char* dir, STARTUPINFOA& si,
                  PROCESS_INFORMATION& pi) {
  for (int attempt = 1;; ++attempt) {
    std::string line = cmd;  // CreateProcessA may write into it
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, inherit, flags, nullptr, dir, &si, &pi)) return TRUE;
    const DWORD error = GetLastError();
    fprintf(stderr, "cannot start %s: error %lu%s\n", cmd.c_str(), error, attempt == 1 ? "; once more" : "");
    if (attempt == 2) {
      SetLastError(error);
      return FALSE;
    }
    Sleep(500);
  }
}

bool StartHelper(Process& p, const std::string& program, const std::string& args, const std::string& outputFile) {
  std::string cmd = "\"" + ExeDir() + "\\" + program + "\" " + args;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  HANDLE out = nullptr;
  if (!outputFile.empty()) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    out = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = out;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  }
  PROCESS_INFORMATION pi{};
  BOOL ok = StartProcess(cmd, out ? TRUE : FALSE, 0, nullptr, si, pi);
  if (out) CloseHandle(out);
  if (!ok) return false;
  CloseHandle(pi.hThread);
  p.process = pi.hProcess;
  p.id = pi.dwProcessId;
  return true;
}

namespace {
std::mutex g_traceMutex;
std::vector<std::string> g_traceLines;
}  // namespace

TraceCapture::TraceCapture() {
  std::lock_guard<std::mutex> lock(g_traceMutex);
  g_traceLines.clear();
  previous_ = SetTraceSink([](const char* text) {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    g_traceLines.emplace_back(text);
  });
}

TraceCapture::~TraceCapture() { SetTraceSink(previous_); }

const std::vector<std::string>& TraceCapture::Lines() const { return g_traceLines; }

bool TraceCapture::Contains(const std::string& line) const {
  std::lock_guard<std::mutex> lock(g_traceMutex);
  for (const auto& l : g_traceLines)
    if (l == line) return true;
  return false;
}

}  // namespace testsupport
