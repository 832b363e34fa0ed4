#include "ui/SystemTray.h"

#include <cstring>
#include <new>

#include "framework/MessageFilter.h"
#include "framework/Module.h"

namespace {

const char kTrayClass[] = "VarnokelTrayWnd";

bool RegisterTrayClass() {
  static bool registered = false;
  if (registered) return true;
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = AppInstance();
  wc.lpszClassName = kTrayClass;
  // A class left over from an earlier registration in this process is fine.
  registered = RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  return registered;
}

// The shell's record is given with the size of its first version: the
// fields up to the 64-character tooltip, which every shell understands.
// That is 88 bytes in a 32-bit build; in a 64-bit build the window and icon
// handles are 8 bytes wide and aligned, so the same layout takes 104 bytes.
// The header's constant gives the right value for the architecture built.
constexpr DWORD kNotifyDataSize = NOTIFYICONDATAA_V1_SIZE;
#if defined(_WIN64)
static_assert(kNotifyDataSize == 104, "first-version record size on 64-bit");
#else
static_assert(kNotifyDataSize == 88, "first-version record size on 32-bit");
#endif

// Copies text into a field of room bytes (terminating zero included); a
// text that does not fit is cut after a whole character of the system code
// page and ends in "...".
void CopyFitted(char* field, size_t room, const std::string& text) {
  const size_t length = strnlen(text.c_str(), text.size());
  if (length < room) {
    memcpy(field, text.c_str(), length + 1);
    return;
  }
  const size_t limit = room - 4;
  const char* const begin = text.c_str();
  size_t end = 0;
  for (const char* p = begin; *p;) {
    const char* next = CharNextA(p);
    if (next == p || static_cast<size_t>(next - begin) > limit) break;
    end = static_cast<size_t>(next - begin);
    p = next;
  }
  memcpy(field, begin, end);
  memcpy(field + end, "...", 4);
}

}  // namespace

CSystemTray::ShellNotifyFn CSystemTray::s_shellNotify = &Shell_NotifyIconA;
CSystemTray::TrackMenuFn CSystemTray::s_trackMenu = &TrackPopupMenu;
CSystemTray::TickFn CSystemTray::s_tickCount = &GetTickCount64;

CSystemTray::CSystemTray() = default;

CSystemTray::~CSystemTray() {
  DeleteTrayIcon();
  StopRetry();
  if (timerId_ && m_hWnd) KillTimer(m_hWnd, timerId_);
  timerId_ = 0;
  icons_.clear();
  if (m_hWnd) {
    HWND hwnd = m_hWnd;
    Detach();
    DestroyWindow(hwnd);
  }
  menu_.Reset();
}

bool CSystemTray::CreateOwnWindow() {
  if (m_hWnd) return true;
  if (!RegisterTrayClass()) return false;
  HWND hwnd = CreateWindowExA(0, kTrayClass, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, AppInstance(), nullptr);
  if (!hwnd) return false;
  if (!Attach(hwnd)) {
    DestroyWindow(hwnd);
    return false;
  }
  return true;
}

bool CSystemTray::CreateTrayIcon(HWND parent, UINT callbackMessage, const char* tooltip, HICON icon, UINT id) {
  // A second creation replaces the icon of the first.
  DeleteTrayIcon();
  menu_.Reset();

  DWORD version = GetVersion();
  enabled_ = LOBYTE(LOWORD(version)) >= 4;
  if (!enabled_) return false;
  if (!CreateOwnWindow()) {
    enabled_ = false;
    return false;
  }
  taskbarCreatedMsg_ = RegisterWindowMessageA("TaskbarCreated");
  // Explorer runs with less rights than this program: without this its
  // announcement never arrives.
  AllowMessageFromLowerIntegrity(m_hWnd, taskbarCreatedMsg_);

  nid_ = NOTIFYICONDATAA{};
  nid_.cbSize = kNotifyDataSize;
  nid_.hWnd = (parent && IsWindow(parent)) ? parent : m_hWnd;
  nid_.uID = id;
  nid_.hIcon = icon;
  nid_.uCallbackMessage = callbackMessage;
  if (tooltip) {
    size_t n = strnlen(tooltip, kMaxTipLength);
    memcpy(nid_.szTip, tooltip, n);
    nid_.szTip[n] = '\0';
  }
  hidden_ = false;
  // The icon stays usable when the shell refuses it now (no notification
  // area yet): it is added as soon as the shell takes it.
  const bool added = Add();

  menu_.Reset(LoadMenuA(AppInstance(), MAKEINTRESOURCEA(LOWORD(id))));
  return menu_ ? added : false;
}

bool CSystemTray::Add() {
  added_ = Shell(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP) != FALSE;
  if (added_) {
    StopRetry();
  } else if (!retrying_ && m_hWnd) {
    retrying_ = SetTimer(m_hWnd, kRetryTimerId, kRetryIntervalMs, nullptr) != 0;
  }
  return added_;
}

void CSystemTray::StopRetry() {
  if (retrying_ && m_hWnd) KillTimer(m_hWnd, kRetryTimerId);
  retrying_ = false;
}

BOOL CSystemTray::Shell(DWORD message, UINT flags) {
  nid_.uFlags = flags;
  return s_shellNotify ? s_shellNotify(message, &nid_) : FALSE;
}

void CSystemTray::DeleteTrayIcon() {
  if (!enabled_) return;
  StopRetry();
  Shell(NIM_DELETE, 0);
  enabled_ = false;
  hidden_ = false;
  added_ = false;
}

bool CSystemTray::HideTrayIcon() {
  if (!enabled_) return false;
  if (hidden_) return true;
  hidden_ = true;
  StopRetry();
  // An icon that the shell never took has nothing to take off.
  if (!added_) return true;
  added_ = false;
  return Shell(NIM_DELETE, NIF_ICON) != FALSE;
}

bool CSystemTray::ShowTrayIcon() {
  if (!enabled_ || !hidden_) return false;
  hidden_ = false;
  return Add();
}

bool CSystemTray::ChangeIcon(HICON icon) {
  if (!enabled_) return false;
  nid_.hIcon = icon;
  // Kept for the icon that is still to be added.
  if (!added_) return false;
  return Shell(NIM_MODIFY, NIF_ICON) != FALSE;
}

bool CSystemTray::ShowBalloon(const std::string& title, const std::string& text, DWORD infoFlags, UINT timeoutMs) {
  if (!Present()) return false;
  CopyFitted(nid_.szInfoTitle, kMaxBalloonTitle + 1, title);
  CopyFitted(nid_.szInfo, kMaxBalloonText + 1, text);
  nid_.dwInfoFlags = infoFlags;
  nid_.uTimeout = timeoutMs;
  // The balloon's fields follow the first version's: only a record of the
  // second version's size or more carries them.
  nid_.cbSize = NOTIFYICONDATAA_V2_SIZE;
  const BOOL shown = Shell(NIM_MODIFY, NIF_INFO);
  nid_.cbSize = kNotifyDataSize;
  nid_.szInfoTitle[0] = '\0';
  nid_.szInfo[0] = '\0';
  return shown != FALSE;
}

HICON CSystemTray::CurrentIcon() const { return enabled_ ? nid_.hIcon : nullptr; }

bool CSystemTray::LoadAnimationIcons(UINT first, UINT last) {
  if (last < first) return false;
  int cx = GetSystemMetrics(SM_CXSMICON), cy = GetSystemMetrics(SM_CYSMICON);
  try {
    std::vector<HICON> loaded;
    loaded.reserve(last - first + 1);
    for (UINT id = first; id <= last; ++id) {
      // Shared icons: the system frees them with the module.
      HANDLE h = LoadImageA(AppInstance(), MAKEINTRESOURCEA(id), IMAGE_ICON, cx, cy, LR_SHARED);
      // A frame missing from the resources is left out rather than shown
      // as an empty icon.
      if (h) loaded.push_back(static_cast<HICON>(h));
      if (id == last) break;  // last may be the largest UINT
    }
    icons_.swap(loaded);
  } catch (const std::bad_alloc&) {
    icons_.clear();
    return false;
  }
  currentIcon_ = 0;
  return !icons_.empty();
}

bool CSystemTray::StartAnimation(UINT delayMs, int periodSeconds) {
  EndAnimation();
  currentIcon_ = 0;
  animationStart_ = s_tickCount();
  animationPeriod_ = periodSeconds;
  savedIcon_ = CurrentIcon();
  if (!m_hWnd) return false;
  timerId_ = SetTimer(m_hWnd, kAnimationTimerId, delayMs, nullptr);
  return timerId_ != 0;
}

bool CSystemTray::NextAnimationFrame() {
  if (icons_.empty()) return false;
  if (++currentIcon_ >= icons_.size()) currentIcon_ = 0;
  return ChangeIcon(icons_[currentIcon_]);
}

bool CSystemTray::EndAnimation() {
  bool killed = false;
  if (timerId_) {
    killed = m_hWnd && KillTimer(m_hWnd, timerId_);
    timerId_ = 0;
  }
  if (savedIcon_) {
    ChangeIcon(savedIcon_);
    savedIcon_ = nullptr;
  }
  return killed;
}

void CSystemTray::OnTimer() {
  ULONGLONG elapsedSeconds = (s_tickCount() - animationStart_) / 1000;
  if (animationPeriod_ > 0 && elapsedSeconds > static_cast<ULONGLONG>(animationPeriod_))
    EndAnimation();
  else
    NextAnimationFrame();
}

bool CSystemTray::SetDefaultMenuItem(UINT item, bool byPosition) {
  if (item == defaultItem_ && byPosition == defaultByPosition_) return true;
  defaultItem_ = item;
  defaultByPosition_ = byPosition;
  HMENU popup = menu_ ? GetSubMenu(menu_.Get(), 0) : nullptr;
  if (!popup) return false;
  return SetMenuDefaultItem(popup, item, byPosition ? TRUE : FALSE) != FALSE;
}

UINT CSystemTray::DefaultCommand() const {
  if (!defaultByPosition_) return defaultItem_;
  HMENU popup = menu_ ? GetSubMenu(menu_.Get(), 0) : nullptr;
  if (!popup) return 0;
  UINT cmd = GetMenuItemID(popup, static_cast<int>(defaultItem_));
  return cmd == static_cast<UINT>(-1) ? 0 : cmd;
}

LRESULT CSystemTray::OnIconNotify(UINT id, UINT mouseMsg) {
  if (id != nid_.uID) return 0;
  // Without an explicit target the commands go to the parent given at
  // creation, if any.
  HWND target = target_ ? target_ : (nid_.hWnd != m_hWnd ? nid_.hWnd : nullptr);

  if (mouseMsg == WM_RBUTTONUP) {
    HMENU popup = menu_ ? GetSubMenu(menu_.Get(), 0) : nullptr;
    if (!popup) return 0;
    SetMenuDefaultItem(popup, defaultItem_, defaultByPosition_ ? TRUE : FALSE);
    POINT pt{};
    GetCursorPos(&pt);
    if (target) SetForegroundWindow(target);
    if (s_trackMenu) s_trackMenu(popup, TPM_LEFTALIGN | TPM_LEFTBUTTON, pt.x, pt.y, 0, target, nullptr);
    // Lets the menu close properly when the user clicks elsewhere.
    if (target) PostMessageA(target, WM_NULL, 0, 0);
  } else if (mouseMsg == NIN_BALLOONUSERCLICK) {
    // A record of the first version's size: the shell tells of the
    // balloon's events through the callback's mouse message.
    if (balloonClick_) balloonClick_();
  } else if (mouseMsg == WM_LBUTTONDBLCLK) {
    if (target) SetForegroundWindow(target);
    UINT cmd;
    if (defaultByPosition_) {
      HMENU popup = menu_ ? GetSubMenu(menu_.Get(), 0) : nullptr;
      if (!popup) return 0;
      cmd = DefaultCommand();
    } else {
      cmd = defaultItem_;
    }
    if (target) SendMessageA(target, WM_COMMAND, MAKEWPARAM(cmd, 0), 0);
  }
  return 1;
}

LRESULT CSystemTray::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER && wp == kRetryTimerId) {
    if (enabled_ && !hidden_ && !added_)
      Add();
    else
      StopRetry();
    return 0;
  }
  if (msg == WM_TIMER) {
    OnTimer();
    return 0;
  }
  if (msg != 0 && msg == nid_.uCallbackMessage) return OnIconNotify(static_cast<UINT>(wp), static_cast<UINT>(lp));
  // When Explorer (re)starts, the icon is put back unless it is hidden: a
  // new taskbar holds none of the old icons.
  if (taskbarCreatedMsg_ && msg == taskbarCreatedMsg_) {
    if (enabled_ && !hidden_) Add();
    return 0;
  }
  return Default();
}
