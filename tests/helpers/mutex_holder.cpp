// Second process of the tests where another program holds a named mutex (as
// the access engine holds "Global\QX5Rule.rle Read" while it reads the rules):
//   mutex_holder <mutex name> <milliseconds> [ready event name [release event name]]
// Takes the mutex, sets the ready event (when named), holds the mutex for
// the given time (or, with a release event, until that event is set, the
// time then being the longest it waits) and lets it go properly before it
// ends. Exit code 0; 1 when the mutex could not be taken; 2: bad arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const DWORD holdMs = static_cast<DWORD>(strtoul(argv[2], nullptr, 10));
  HANDLE mutex = CreateMutexA(nullptr, FALSE, argv[1]);
  if (!mutex) return 1;
  const DWORD got = WaitForSingleObject(mutex, 30000);
  if (got != WAIT_OBJECT_0 && got != WAIT_ABANDONED) return 1;
  if (argc > 3) {
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
    if (ready) {
      SetEvent(ready);
      CloseHandle(ready);
    }
  }
  printf("holding %s for %lu ms\n", argv[1], static_cast<unsigned long>(holdMs));
  fflush(stdout);
  HANDLE release = argc > 4 ? OpenEventA(SYNCHRONIZE, FALSE, argv[4]) : nullptr;
  if (release) {
    WaitForSingleObject(release, holdMs);
    CloseHandle(release);
  } else {
    Sleep(holdMs);
  }
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  return 0;
}
