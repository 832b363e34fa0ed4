// The user's settings: named values under HKEY_LOCAL_MACHINE
// Software\QuorvexSoftware\QX5\Settings, held at run time in process-wide
// globals of the same names.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

// The key of the settings and the combined "key\value" string of one value.
extern const char* const kSettingsKey;
std::string SettingPath(const char* valueName);

// One registry DWORD value. The key string is split at its last backslash
// into key path and value name; construction reads the value at once.
class CSettingDword {
 public:
  CSettingDword(const std::string& keyAndName, DWORD defaultValue, bool force = true, HKEY root = HKEY_LOCAL_MACHINE);
  // The value: read again when never read or when "force" is set.
  DWORD Get();
  operator DWORD() { return Get(); }
  // Stores the value and writes it when it differs or "force" is set.
  CSettingDword& operator=(DWORD value);
  bool WasRead() const { return wasRead_; }

 private:
  DWORD Read();
  bool Write(DWORD value);

  HKEY root_;
  std::string key_;
  std::string name_;
  DWORD value_ = 0;
  DWORD default_;
  bool wasRead_ = false;
  bool force_;
};

// One registry string value, the same way.
class CSettingString {
 public:
  CSettingString(const std::string& keyAndName, const std::string& defaultValue, bool force = true,
                 HKEY root = HKEY_LOCAL_MACHINE);
  std::string Get();
  operator std::string() { return Get(); }
  CSettingString& operator=(const std::string& value);
  bool WasRead() const { return wasRead_; }

 private:
  std::string Read();
  bool Write(const std::string& value);

  HKEY root_;
  std::string key_;
  std::string name_;
  std::string value_;
  std::string default_;
  bool wasRead_ = false;
  bool force_;
};

// The globals. The log reader thread reads the flags and colours while the
// user-interface thread may change them, so they are atomic words.
extern std::atomic<uint32_t> g_bTrayIcon;
extern std::atomic<uint32_t> g_bLogIntoFile;
extern std::atomic<uint32_t> g_clrRun;
extern std::atomic<uint32_t> g_clrRead;
extern std::atomic<uint32_t> g_clrWrite;
extern std::atomic<uint32_t> g_bToughHook;
// Balloons from the tray icon when an access is blocked (on by default).
extern std::atomic<uint32_t> g_bNotifyDenied;
// The settings password in its stored form (empty: none; see
// settings/PasswordForm.h), never the typed text, and the no-copy keyword
// list. User-interface thread only.
extern std::string regStrPass;
extern std::string regStrNoCpyText;

// Gives the globals their built-in defaults (colours from the system).
void SettingsDefaults();
// Reads the settings into their globals.
void SettingsLoad();
// Writes the globals, each one unconditionally.
void SettingsSave();

// Values owned by other parts of the program, under the same key.
void WriteExePath(const std::string& path);   // regStrExePath
std::string ReadPassword();                   // regStrPass, default empty
void WritePassword(const std::string& text);  // regStrPass
DWORD ReadShowTips();                         // regDWShowTipDlg, missing = 1
void WriteShowTips(DWORD value);
