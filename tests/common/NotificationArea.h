// A notification area that takes every icon, as a desktop's does. The test
// prefix's null display driver has none, and without one the main window
// stays on the taskbar instead of going to the tray.
#pragma once

#include "ui/SystemTray.h"

class AcceptingNotificationArea {
 public:
  AcceptingNotificationArea() : saved_(CSystemTray::s_shellNotify) { CSystemTray::s_shellNotify = &Accept; }
  ~AcceptingNotificationArea() { CSystemTray::s_shellNotify = saved_; }
  AcceptingNotificationArea(const AcceptingNotificationArea&) = delete;
  AcceptingNotificationArea& operator=(const AcceptingNotificationArea&) = delete;

 private:
  static BOOL WINAPI Accept(DWORD, NOTIFYICONDATAA*) { return TRUE; }
  CSystemTray::ShellNotifyFn saved_;
};
