// The crash handler: writes "ERRORLOG.TXT" and "CRASH.DMP" beside the
// program file and starts "XCrashReport.exe" from the program's directory.
// It runs once in the life of the process; the guards of ExceptionGuard.h
// call it.
#pragma once

#include <windows.h>

// The filter's body. 1 when the report program was started (the guard then
// runs its handler), 0 in every other case (the exception travels on).
LONG WriteErrorReport(EXCEPTION_POINTERS* info, const char* location);

// Whether the handler has not run yet.
bool ErrorReportArmed();

// A minidump of this process, with the exception of the calling thread,
// into an open file.
void WriteMiniDump(HANDLE file, EXCEPTION_POINTERS* info);
