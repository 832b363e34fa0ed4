#include "settings/Settings.h"

#include <vector>

#include "framework/RegKey.h"

const char* const kSettingsKey = "Software\\QuorvexSoftware\\QX5\\Settings";

std::string SettingPath(const char* valueName) { return std::string(kSettingsKey) + "\\" + valueName; }

namespace {

std::string TrimBackslashes(const std::string& s) {
  size_t b = s.find_first_not_of('\\');
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of('\\');
  return s.substr(b, e - b + 1);
}

void SplitKey(const std::string& keyAndName, std::string& key, std::string& name) {
  size_t slash = keyAndName.find_last_of('\\');
  if (slash == std::string::npos) {
    key.clear();
    name = keyAndName;
  } else {
    key = TrimBackslashes(keyAndName.substr(0, slash));
    name = TrimBackslashes(keyAndName.substr(slash + 1));
  }
}

}  // namespace

CSettingDword::CSettingDword(const std::string& keyAndName, DWORD defaultValue, bool force, HKEY root)
    : root_(root), default_(defaultValue), force_(force) {
  SplitKey(keyAndName, key_, name_);
  Read();
}

DWORD CSettingDword::Read() {
  RegKey key(root_, key_, false);
  if (!key.Get()) return default_;
  // The stored type is not examined: any value of four bytes is taken.
  DWORD value = 0, size = sizeof value;
  if (RegQueryValueExA(key.Get(), name_.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      size != sizeof value)
    return default_;
  value_ = value;
  wasRead_ = true;
  return value_;
}

DWORD CSettingDword::Get() {
  if (!wasRead_ || force_) return Read();
  return value_;
}

bool CSettingDword::Write(DWORD value) {
  RegKey key(root_, key_, true);
  if (!key.Get()) return false;
  if (RegSetValueExA(key.Get(), name_.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) !=
      ERROR_SUCCESS)
    return false;
  wasRead_ = true;
  return true;
}

CSettingDword& CSettingDword::operator=(DWORD value) {
  if (value != value_ || force_) {
    value_ = value;
    Write(value);
  }
  return *this;
}

CSettingString::CSettingString(const std::string& keyAndName, const std::string& defaultValue, bool force, HKEY root)
    : root_(root), default_(defaultValue), force_(force) {
  SplitKey(keyAndName, key_, name_);
  Read();
}

std::string CSettingString::Read() {
  RegKey key(root_, key_, false);
  if (!key.Get()) return default_;
  DWORD size = 0;
  if (RegQueryValueExA(key.Get(), name_.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return default_;
  std::vector<char> buf(size + 1, '\0');
  if (RegQueryValueExA(key.Get(), name_.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buf.data()), &size) !=
      ERROR_SUCCESS)
    return default_;
  value_ = std::string(buf.data());  // up to the terminating zero
  wasRead_ = true;
  return value_;
}

std::string CSettingString::Get() {
  if (!wasRead_ || force_) return Read();
  return value_;
}

bool CSettingString::Write(const std::string& value) {
  RegKey key(root_, key_, true);
  if (!key.Get()) return false;
  if (RegSetValueExA(key.Get(), name_.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
    return false;
  wasRead_ = true;
  return true;
}

CSettingString& CSettingString::operator=(const std::string& value) {
  if (value != value_ || force_) {
    value_ = value;
    Write(value);
  }
  return *this;
}

std::atomic<uint32_t> g_bTrayIcon{1};
std::atomic<uint32_t> g_bLogIntoFile{1};
std::atomic<uint32_t> g_clrRun{GetSysColor(COLOR_BTNFACE)};
std::atomic<uint32_t> g_clrRead{GetSysColor(COLOR_HIGHLIGHT)};
std::atomic<uint32_t> g_clrWrite{GetSysColor(COLOR_BTNHIGHLIGHT)};
std::atomic<uint32_t> g_bToughHook{0};
std::atomic<uint32_t> g_bNotifyDenied{1};
std::string regStrPass;
std::string regStrNoCpyText;

void SettingsDefaults() {
  g_bTrayIcon = 1;
  g_bLogIntoFile = 1;
  g_clrRun = GetSysColor(COLOR_BTNFACE);
  g_clrRead = GetSysColor(COLOR_HIGHLIGHT);
  g_clrWrite = GetSysColor(COLOR_BTNHIGHLIGHT);
  g_bToughHook = 0;
  g_bNotifyDenied = 1;
  regStrPass.clear();
  regStrNoCpyText.clear();
}

void SettingsLoad() {
  g_bTrayIcon = CSettingDword(SettingPath("g_bTrayIcon"), 1).Get();
  g_bLogIntoFile = CSettingDword(SettingPath("g_bLogIntoFile"), 1).Get();
  g_clrRun = CSettingDword(SettingPath("g_clrRun"), g_clrRun).Get();
  g_clrRead = CSettingDword(SettingPath("g_clrRead"), g_clrRead).Get();
  g_clrWrite = CSettingDword(SettingPath("g_clrWrite"), g_clrWrite).Get();
  g_bToughHook = CSettingDword(SettingPath("g_bToughHook"), g_bToughHook).Get();
  g_bNotifyDenied = CSettingDword(SettingPath("g_bNotifyDenied"), 1).Get();
  regStrPass = CSettingString(SettingPath("regStrPass"), "").Get();
  regStrNoCpyText = CSettingString(SettingPath("regStrNoCpyText"), "").Get();
}

void SettingsSave() {
  CSettingDword(SettingPath("g_bTrayIcon"), 1) = g_bTrayIcon;
  CSettingDword(SettingPath("g_bLogIntoFile"), 1) = g_bLogIntoFile;
  CSettingDword(SettingPath("g_clrRun"), g_clrRun) = g_clrRun;
  CSettingDword(SettingPath("g_clrRead"), g_clrRead) = g_clrRead;
  CSettingDword(SettingPath("g_clrWrite"), g_clrWrite) = g_clrWrite;
  CSettingDword(SettingPath("g_bToughHook"), g_bToughHook) = g_bToughHook;
  CSettingDword(SettingPath("g_bNotifyDenied"), 1) = g_bNotifyDenied;
  CSettingString(SettingPath("regStrPass"), "") = regStrPass;
  CSettingString(SettingPath("regStrNoCpyText"), "") = regStrNoCpyText;
}

void WriteExePath(const std::string& path) { CSettingString(SettingPath("regStrExePath"), "") = path; }

std::string ReadPassword() { return CSettingString(SettingPath("regStrPass"), "").Get(); }

void WritePassword(const std::string& text) { CSettingString(SettingPath("regStrPass"), "") = text; }

DWORD ReadShowTips() { return CSettingDword(SettingPath("regDWShowTipDlg"), 1).Get(); }

void WriteShowTips(DWORD value) { CSettingDword(SettingPath("regDWShowTipDlg"), 1) = value; }
