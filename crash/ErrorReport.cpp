#include "crash/ErrorReport.h"

#include <dbghelp.h>
#include <winver.h>

#include <cstdio>
#include <cstring>

#include "crash/ReportFormat.h"

using crashreport::ReportWriter;

namespace {

constexpr bool kWide = sizeof(void*) == 8;
constexpr size_t kPathSize = 520;
constexpr DWORD kPathMax = 518;
constexpr size_t kCommandLineSize = 260;
constexpr const char* kReportName = "ERRORLOG.TXT";
constexpr const char* kDumpName = "CRASH.DMP";
constexpr const char* kReportProgram = "XCrashReport.exe";

// Armed from the start; the first thread through takes it.
volatile LONG g_armed = 1;

// The process-wide report buffer (no heap for the report text).
ReportWriter g_report;

void WriteToFile(void* context, const char* data, size_t size) {
  DWORD written = 0;
  WriteFile(static_cast<HANDLE>(context), data, static_cast<DWORD>(size), &written, nullptr);
}

// Reads this process's memory without touching it directly, so that an
// unreadable page is a failed call instead of a second fault.
bool ReadMemory(void*, uint64_t address, void* out, size_t size) {
  SIZE_T got = 0;
  return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<LPCVOID>(static_cast<uintptr_t>(address)), out, size,
                           &got) &&
         got == size;
}

const char* FileNamePart(const char* path) {
  const char* slash = strrchr(path, '\\');
  return slash ? slash + 1 : path;
}

HANDLE CreateReportFile(const char* path) {
  return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_WRITE_THROUGH, nullptr);
}

void FatNow(char* out, size_t size) {
  FILETIME utc, local;
  GetSystemTimeAsFileTime(&utc);
  WORD date = 0, time = 0;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &date, &time)) date = time = 0;
  crashreport::FormatFatTime(date, time, out, size);
}

void AppendSystem(ReportWriter& w, const char* exePath) {
  char user[200] = "Unknown";
  DWORD userSize = 198;
  if (!GetUserNameA(user, &userSize)) strcpy(user, "Unknown");
  w.Printf("%s, run by %s.\r\n", exePath, user);

  OSVERSIONINFOA os{};
  os.dwOSVersionInfoSize = sizeof os;
  GetVersionExA(&os);
  const DWORD build = os.dwBuildNumber & 0xFFFF;
  w.Printf("Operating system:  %s (%u.%u.%u).\r\n",
           crashreport::WindowsName(os.dwPlatformId, os.dwMajorVersion, os.dwMinorVersion, build),
           static_cast<unsigned>(os.dwMajorVersion), static_cast<unsigned>(os.dwMinorVersion),
           static_cast<unsigned>(build));

  SYSTEM_INFO si{};
  GetSystemInfo(&si);
  w.Printf("%d processor(s), type %d.\r\n", static_cast<int>(si.dwNumberOfProcessors),
           static_cast<int>(si.dwProcessorType));

  MEMORYSTATUSEX mem{};
  mem.dwLength = sizeof mem;
  GlobalMemoryStatusEx(&mem);
  auto mb = [](DWORDLONG bytes) { return static_cast<int>(crashreport::MegabytesRoundedUp(bytes)); };
  w.Printf("%d%% memory in use.\r\n", static_cast<int>(mem.dwMemoryLoad));
  w.Printf("%d MBytes physical memory.\r\n", mb(mem.ullTotalPhys));
  w.Printf("%d MBytes physical memory free.\r\n", mb(mem.ullAvailPhys));
  w.Printf("%d MBytes paging file.\r\n", mb(mem.ullTotalPageFile));
  w.Printf("%d MBytes paging file free.\r\n", mb(mem.ullAvailPageFile));
  w.Printf("%d MBytes user address space.\r\n", mb(mem.ullTotalVirtual));
  w.Printf("%d MBytes user address space free.\r\n", mb(mem.ullAvailVirtual));
}

crashreport::RegisterSet RegistersOf(const CONTEXT& c) {
  crashreport::RegisterSet r{};
#ifdef _WIN64
  r = {c.Rdi, c.Rsi, c.Rax, c.Rbx, c.Rcx, c.Rdx, c.Rip, c.Rbp, c.Rsp, c.SegCs, c.EFlags, c.SegSs};
#else
  r = {c.Edi, c.Esi, c.Eax, c.Ebx, c.Ecx, c.Edx, c.Eip, c.Ebp, c.Esp, c.SegCs, c.EFlags, c.SegSs};
#endif
  return r;
}

// The version strings and numbers of one module file. The block is the
// handler's only allocation, taken from the system's pages rather than from
// a heap that the fault may have damaged.
struct VersionInfo {
  char company[crashreport::kVersionStringMax + 1] = "";
  char product[crashreport::kVersionStringMax + 1] = "";
  char description[crashreport::kVersionStringMax + 1] = "";
  uint16_t fileVersion[4] = {};
  uint16_t productVersion[4] = {};
};

void ReadVersion(const char* path, VersionInfo& v) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return;
  void* block = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!block) return;
  if (GetFileVersionInfoA(path, 0, size, block)) {
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueA(block, "\\VarFileInfo\\Translation", &value, &length) && value && length >= 4) {
      DWORD translation;
      memcpy(&translation, value, sizeof translation);
      const struct {
        const char* key;
        char* out;
      } strings[] = {{"CompanyName", v.company}, {"ProductName", v.product}, {"FileDescription", v.description}};
      for (const auto& s : strings) {
        char query[128];
        snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", static_cast<unsigned>(LOWORD(translation)),
                 static_cast<unsigned>(HIWORD(translation)), s.key);
        char* text = nullptr;
        UINT textLength = 0;
        if (VerQueryValueA(block, query, reinterpret_cast<void**>(&text), &textLength) && text) {
          strncpy(s.out, text, crashreport::kVersionStringMax);
          s.out[crashreport::kVersionStringMax] = '\0';
        }
      }
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    if (VerQueryValueA(block, "\\", reinterpret_cast<void**>(&fixed), &length) && fixed &&
        length >= sizeof(VS_FIXEDFILEINFO)) {
      crashreport::SplitVersion(fixed->dwFileVersionMS, fixed->dwFileVersionLS, v.fileVersion);
      crashreport::SplitVersion(fixed->dwProductVersionMS, fixed->dwProductVersionLS, v.productVersion);
    }
  }
  VirtualFree(block, 0, MEM_RELEASE);
}

// Writes the module at base if it is one (MZ, then PE\0\0 at the offset
// stored at 0x3C); true when its entry was written whole.
bool AppendModuleAt(ReportWriter& w, uintptr_t base, int number) {
  char mz[2];
  if (!ReadMemory(nullptr, base, mz, 2) || mz[0] != 'M' || mz[1] != 'Z') return false;
  LONG peOffset = 0;
  if (!ReadMemory(nullptr, base + 0x3C, &peOffset, sizeof peOffset)) return false;
  DWORD signature = 0;
  if (!ReadMemory(nullptr, base + static_cast<uintptr_t>(peOffset), &signature, sizeof signature) ||
      signature != IMAGE_NT_SIGNATURE)
    return false;

  char path[kPathSize] = "";
  GetModuleFileNameA(reinterpret_cast<HMODULE>(base), path, kPathMax);
  crashreport::ModuleEntry m{};
  m.path = path;
  IMAGE_NT_HEADERS headers;
  m.headersRead = ReadMemory(nullptr, base + static_cast<uintptr_t>(peOffset), &headers, sizeof headers);
  if (m.headersRead) {
    m.imageBase = headers.OptionalHeader.ImageBase;
    m.imageSize = headers.OptionalHeader.SizeOfImage;
    m.checksum = headers.OptionalHeader.CheckSum;
    m.timeStamp = headers.FileHeader.TimeDateStamp;
  }
  char fileTime[32] = "";
  HANDLE file = path[0] ? CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                        : INVALID_HANDLE_VALUE;
  if (file != INVALID_HANDLE_VALUE) {
    m.fileSize = GetFileSize(file, nullptr);
    FILETIME written, local;
    WORD date = 0, time = 0;
    if (GetFileTime(file, nullptr, nullptr, &written) && FileTimeToLocalFileTime(&written, &local) &&
        FileTimeToDosDateTime(&local, &date, &time))
      crashreport::FormatFatTime(date, time, fileTime, sizeof fileTime);
    CloseHandle(file);
  }
  m.fileTime = fileTime;
  VersionInfo v;
  if (path[0]) ReadVersion(path, v);
  m.company = v.company;
  m.product = v.product;
  m.description = v.description;
  memcpy(m.fileVersion, v.fileVersion, sizeof m.fileVersion);
  memcpy(m.productVersion, v.productVersion, sizeof m.productVersion);
  return crashreport::AppendModule(w, number, m, kWide);
}

// Every committed allocation in the address space that is a module.
void AppendModules(ReportWriter& w) {
  // The whole 4 GB of a 32-bit process; the user part of a 64-bit one.
  uint64_t end = 0x100000000ull;
  if (kWide) {
    SYSTEM_INFO si{};
    GetSystemInfo(&si);
    end = reinterpret_cast<uintptr_t>(si.lpMaximumApplicationAddress) + 1ull;
  }
  uint64_t address = 0;
  uintptr_t lastBase = 0;
  int number = 1;
  while (address < end) {
    MEMORY_BASIC_INFORMATION mbi;
    if (VirtualQuery(reinterpret_cast<LPCVOID>(static_cast<uintptr_t>(address)), &mbi, sizeof mbi) != sizeof mbi) {
      address += 0x10000;
      continue;
    }
    const auto base = reinterpret_cast<uintptr_t>(mbi.AllocationBase);
    if (mbi.State == MEM_COMMIT && base > lastBase) {
      lastBase = base;
      if (AppendModuleAt(w, base, number)) ++number;
    }
    const uint64_t next = reinterpret_cast<uintptr_t>(mbi.BaseAddress) + static_cast<uint64_t>(mbi.RegionSize);
    address = next > address ? next : address + 0x10000;
  }
}

void FaultingModule(const void* ip, char* name, size_t size) {
  strcpy(name, "Unknown");
  MEMORY_BASIC_INFORMATION mbi;
  if (!VirtualQuery(ip, &mbi, sizeof mbi) || !mbi.AllocationBase) return;
  char path[kPathSize] = "";
  if (!GetModuleFileNameA(static_cast<HMODULE>(mbi.AllocationBase), path, kPathMax)) return;
  snprintf(name, size, "%s", FileNamePart(path));
}

// The top of the current thread's stack, from its thread information block.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
uintptr_t StackTop() { return reinterpret_cast<uintptr_t>(reinterpret_cast<NT_TIB*>(NtCurrentTeb())->StackBase); }
#pragma GCC diagnostic pop

void AppendReport(ReportWriter& w, EXCEPTION_POINTERS* info, const char* location, const char* exePath) {
  const EXCEPTION_RECORD& record = *info->ExceptionRecord;
  const CONTEXT& context = *info->ContextRecord;
  const crashreport::RegisterSet regs = RegistersOf(context);

  char program[kPathSize];
  crashreport::ProgramNameOf(exePath, program, sizeof program);
  char module[kPathSize];
  FaultingModule(reinterpret_cast<const void*>(static_cast<uintptr_t>(regs.ip)), module, sizeof module);
  crashreport::AppendHeader(w, program, record.ExceptionCode, module, regs.cs, regs.ip, kWide);
  w.Printf("Exception handler called in %s.\r\n", location ? location : "");
  char now[32];
  FatNow(now, sizeof now);
  w.Printf("Error occurred at %s.\r\n", now);
  AppendSystem(w, exePath);
  crashreport::AppendAccessViolation(w, record.ExceptionCode, record.NumberParameters, record.ExceptionInformation[0],
                                     record.ExceptionInformation[1], kWide);
  crashreport::AppendRegisters(w, regs, kWide);

  uint8_t code[16] = {};
  uint16_t readable = 0;
  for (int i = 0; i < 16; ++i)
    if (ReadMemory(nullptr, regs.ip + i, &code[i], 1)) readable = static_cast<uint16_t>(readable | (1u << i));
  crashreport::AppendCodeBytes(w, code, readable);

  crashreport::AppendStack(w, regs.sp, StackTop(), kWide, ReadMemory, nullptr);
  AppendModules(w);
  crashreport::AppendEnd(w, kReportName);
}

// Starts the report program from the program's directory with the quoted
// file name of the program; false when the line does not fit or the start
// fails.
bool StartReportProgram(const char* exePath) {
  char program[kPathSize];
  snprintf(program, sizeof program, "%s", exePath);
  if (!crashreport::ReplaceFileName(program, sizeof program, kReportProgram)) return false;
  char commandLine[kCommandLineSize];
  const int n = snprintf(commandLine, sizeof commandLine, "%s \"%s\"", program, FileNamePart(exePath));
  if (n < 0 || static_cast<size_t>(n) >= sizeof commandLine) return false;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION pi{};
  // The program is named apart from the command line, so an unquoted path
  // with blanks cannot start another program ("C:\Program.exe").
  if (!CreateProcessA(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

}  // namespace

bool ErrorReportArmed() { return g_armed != 0; }

LONG WriteErrorReport(EXCEPTION_POINTERS* info, const char* location) {
  // Test and clear in one step: two threads that fault together must not
  // both write into the one buffer.
  if (InterlockedExchange(&g_armed, 0) == 0) return 0;
  if (!info || !info->ExceptionRecord || !info->ContextRecord) return 0;

  char exePath[kPathSize] = "";
  if (!GetModuleFileNameA(nullptr, exePath, kPathMax)) strcpy(exePath, "Unknown");
  char reportPath[kPathSize];
  strcpy(reportPath, exePath);
  crashreport::ReplaceFileName(reportPath, sizeof reportPath, kReportName);
  HANDLE report = CreateReportFile(reportPath);
  if (report == INVALID_HANDLE_VALUE) {
    OutputDebugStringA("Error creating exception report\r\n");
    return 0;
  }
  g_report.Begin(WriteToFile, report);
  AppendReport(g_report, info, location, exePath);
  g_report.Finish();
  CloseHandle(report);

  char dumpPath[kPathSize];
  strcpy(dumpPath, exePath);
  crashreport::ReplaceFileName(dumpPath, sizeof dumpPath, kDumpName);
  HANDLE dump = CreateReportFile(dumpPath);
  if (dump != INVALID_HANDLE_VALUE) {
    WriteMiniDump(dump, info);
    CloseHandle(dump);
  }

  if (IsDebuggerPresent()) return 0;
  return StartReportProgram(exePath) ? 1 : 0;
}

void WriteMiniDump(HANDLE file, EXCEPTION_POINTERS* info) {
  OutputDebugStringA("writing minidump\r\n");
  MINIDUMP_EXCEPTION_INFORMATION exception{};
  exception.ThreadId = GetCurrentThreadId();
  exception.ExceptionPointers = info;
  exception.ClientPointers = FALSE;
  // A dump needs the module list, not the modules' symbols: without this
  // the symbol handler reads every module's debug information first, work
  // (and code) that a faulted process is better spared.
  SymSetOptions(SymGetOptions() | SYMOPT_DEFERRED_LOADS);
  // The dump walks every thread of the process; one that starts or ends
  // meanwhile can make it fail. A second try starts the file again.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, &exception, nullptr,
                          nullptr))
      return;
    OutputDebugStringA("minidump failed\r\n");
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
  }
}
