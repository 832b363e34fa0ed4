// main() of every Windows test program: the program's resources come from
// the test executable itself, COM is up for the shell objects, and the
// common controls are registered for the window tests.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "framework/Module.h"

int main(int argc, char** argv) {
  // Tells tools/wine-test.sh that Wine started the program.
  char started[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("VARNOKEL_TEST_STARTED", started, sizeof started);
  if (length > 0 && length < sizeof started)
    CloseHandle(CreateFileA(started, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  SetAppInstance(GetModuleHandleA(nullptr));
  OleInitialize(nullptr);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_TAB_CLASSES |
                                           ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  testing::InitGoogleTest(&argc, argv);
  int rc = RUN_ALL_TESTS();
  testsupport::RemoveTempDirs();
  OleUninitialize();
  return rc;
}
