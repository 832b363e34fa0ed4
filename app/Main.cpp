// The program's entry: the process-wide single-instance guard, COM for the
// shell objects, then the application object's start-up.
#include <windows.h>
#include <objbase.h>

#include "app/ExceptionAttacher.h"
#include "app/QX5App.h"
#include "app/SingleInstance.h"
#include "framework/Module.h"
#include "framework/Trace.h"

// Held from static initialisation to static destruction, so the mutex marks
// this process as the running instance for its whole life.
static CLimitSingleInstance g_SingleInstanceObj(CQX5App::kInstanceMutex);

static CQX5App theApp;

namespace {

int RunProgram(void* instance) {
  SetAppInstance(static_cast<HINSTANCE>(instance));
  SetTraceSink([](const char* text) { OutputDebugStringA(text); });
  OleInitialize(nullptr);
  SetAnotherInstanceRunning(g_SingleInstanceObj.IsAnotherInstanceRunning());
  theApp.InitInstance();
  OleUninitialize();
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // A crash anywhere in the program's life leaves a report behind.
  return RunGuardedEntry(RunProgram, instance);
}
