#include "app/ExceptionAttacher.h"

#include "crash/ExceptionGuard.h"

int RunGuardedEntry(EntryBody entry, void* context) {
  int exitCode = 0;
  if (!RunGuarded("ExceptionAttacher - AfxWinMain", [&] { exitCode = entry(context); })) return 0;
  return exitCode;
}
