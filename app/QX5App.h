// CQX5App: the application object. InitInstance runs the whole start-up
// and the main window, and returns false so that the program then ends.
#pragma once

#include <windows.h>

class CWindow;

class CQX5App {
 public:
  // The names of the mutexes that the maker's sibling programs hold; the
  // program refuses to run beside any of them.
  static const char* const kSiblingMutexes[3];
  // The single-instance mutex of this program.
  static constexpr const char* kInstanceMutex = "Quorvex File Firewall by Tirelmo";

  bool InitInstance();

  CWindow* m_pMainWnd = nullptr;
};

// Whether the single-instance guard found another instance; set by the
// program's entry from its process-wide guard.
void SetAnotherInstanceRunning(bool running);
