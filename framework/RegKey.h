// An open registry key, closed when the object goes. Opened for reading, or
// created when missing and opened for writing; Get() is null on failure.
// view may add KEY_WOW64_32KEY or KEY_WOW64_64KEY.
#pragma once

#include <windows.h>

#include <string>

class RegKey {
 public:
  RegKey(HKEY root, const std::string& path, bool write, REGSAM view = 0) {
    const LONG r = write ? RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE | view,
                                           nullptr, &key_, nullptr)
                         : RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key_);
    if (r != ERROR_SUCCESS) key_ = nullptr;
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() {
    if (key_) RegCloseKey(key_);
  }
  HKEY Get() const { return key_; }
  explicit operator bool() const { return key_ != nullptr; }

 private:
  HKEY key_ = nullptr;
};
