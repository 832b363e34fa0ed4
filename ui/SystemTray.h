// CSystemTray: one icon in the taskbar's notification area.
//
// The object owns a hidden 10x10 pop-up window that receives the icon's
// callback message (when no parent is given) and the animation timer. It adds,
// hides, shows, changes and removes the icon, plays an animation through a
// list of icons from the program's resources, and turns mouse events on the
// icon into the tray menu or the default menu command for a target window.
//
// The notification area is not always there: at log-on the program may start
// before Explorer, and Explorer may restart. An icon that the shell does not
// take is added again when the taskbar announces itself ("TaskbarCreated")
// and by a retry timer, until it is there; Present() tells whether it is.
#pragma once

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Handle.h"
#include "framework/Window.h"

class CSystemTray : public CWindow {
 public:
  // The animation timer's identifier, the same for every instance.
  static constexpr UINT_PTR kAnimationTimerId = 4567;
  // The timer that adds an icon again that the shell did not take.
  static constexpr UINT_PTR kRetryTimerId = 4568;
  static constexpr UINT kRetryIntervalMs = 2000;
  // Longest tooltip the shell's record holds (plus the terminating zero).
  static constexpr size_t kMaxTipLength = 63;

  // The shell calls go through these so that tests can watch them.
  using ShellNotifyFn = BOOL(WINAPI*)(DWORD message, NOTIFYICONDATAA* data);
  using TrackMenuFn = BOOL(WINAPI*)(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect);
  using TickFn = ULONGLONG(WINAPI*)();
  static ShellNotifyFn s_shellNotify;
  static TrackMenuFn s_trackMenu;
  static TickFn s_tickCount;

  CSystemTray();
  ~CSystemTray() override;

  bool CreateTrayIcon(HWND parent, UINT callbackMessage, const char* tooltip, HICON icon, UINT id);
  void DeleteTrayIcon();
  bool HideTrayIcon();
  bool ShowTrayIcon();
  bool ChangeIcon(HICON icon);
  HICON CurrentIcon() const;

  bool LoadAnimationIcons(UINT first, UINT last);
  bool StartAnimation(UINT delayMs, int periodSeconds);
  bool NextAnimationFrame();
  bool EndAnimation();

  bool SetDefaultMenuItem(UINT item, bool byPosition);

  // Longest balloon title and text the shell's record holds (plus the
  // terminating zero).
  static constexpr size_t kMaxBalloonTitle = 63;
  static constexpr size_t kMaxBalloonText = 255;

  // Shows a balloon on the icon (infoFlags: NIIF_INFO, NIIF_WARNING, ...).
  // False, with nothing shown, while the icon is not in the notification
  // area. A text too long for the record is cut after a whole character and
  // ends in "...".
  bool ShowBalloon(const std::string& title, const std::string& text, DWORD infoFlags, UINT timeoutMs);
  // Called when the user clicks the balloon.
  void SetBalloonClickHandler(std::function<void()> handler) { balloonClick_ = std::move(handler); }

  // The window that receives the tray menu's commands (the main window).
  void SetTargetWindow(HWND target) { target_ = target; }
  HWND TargetWindow() const { return target_; }

  // Handles the icon's callback message; returns 1 when handled. Public so
  // that a parent window that receives the callback can forward it.
  virtual LRESULT OnIconNotify(UINT id, UINT mouseMsg);

  bool Enabled() const { return enabled_; }
  bool Hidden() const { return hidden_; }
  // Whether the icon is in the notification area now.
  bool Present() const { return enabled_ && !hidden_ && added_; }
  bool Retrying() const { return retrying_; }
  bool Animating() const { return timerId_ != 0; }
  size_t AnimationIconCount() const { return icons_.size(); }
  HICON AnimationIcon(size_t index) const { return index < icons_.size() ? icons_[index] : nullptr; }
  size_t CurrentAnimationIcon() const { return currentIcon_; }
  HMENU Menu() const { return menu_.Get(); }
  const NOTIFYICONDATAA& NotifyData() const { return nid_; }

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void OnTimer();

 private:
  bool CreateOwnWindow();
  BOOL Shell(DWORD message, UINT flags);
  // Adds the icon; when the shell refuses, tries again on the retry timer.
  bool Add();
  void StopRetry();
  // The command of the tray menu's default item; 0 without a pop-up.
  UINT DefaultCommand() const;

  UniqueMenu menu_;
  bool enabled_ = false;
  bool hidden_ = false;
  bool added_ = false;  // the shell holds the icon
  bool retrying_ = false;
  NOTIFYICONDATAA nid_{};
  std::vector<HICON> icons_;  // shared resource icons: the system's, never freed
  UINT_PTR timerId_ = 0;
  size_t currentIcon_ = 0;
  ULONGLONG animationStart_ = 0;
  int animationPeriod_ = 0;
  HICON savedIcon_ = nullptr;
  UINT defaultItem_ = 0;
  bool defaultByPosition_ = true;
  HWND target_ = nullptr;
  UINT taskbarCreatedMsg_ = 0;
  std::function<void()> balloonClick_;
};
