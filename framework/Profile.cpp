#include "framework/Profile.h"

#include <vector>

#include "framework/RegKey.h"

namespace profile {
namespace {

std::string KeyPath(const std::string& section) { return std::string(kRoot) + "\\" + section; }

}  // namespace

int GetInt(const std::string& section, const std::string& entry, int defaultValue) {
  const RegKey key(HKEY_CURRENT_USER, KeyPath(section), false);
  if (!key.Get()) return defaultValue;
  DWORD value = 0, size = sizeof value, type = 0;
  if (RegQueryValueExA(key.Get(), entry.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value)
    return defaultValue;
  return static_cast<int>(value);
}

bool WriteInt(const std::string& section, const std::string& entry, int value) {
  const RegKey key(HKEY_CURRENT_USER, KeyPath(section), true);
  DWORD v = static_cast<DWORD>(value);
  return key.Get() && RegSetValueExA(key.Get(), entry.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v),
                                     sizeof v) == ERROR_SUCCESS;
}

std::string GetString(const std::string& section, const std::string& entry, const std::string& defaultValue) {
  const RegKey key(HKEY_CURRENT_USER, KeyPath(section), false);
  if (!key.Get()) return defaultValue;
  DWORD size = 0, type = 0;
  if (RegQueryValueExA(key.Get(), entry.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
    return defaultValue;
  std::vector<char> buf(size + 1, '\0');
  if (RegQueryValueExA(key.Get(), entry.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size) !=
      ERROR_SUCCESS)
    return defaultValue;
  return std::string(buf.data());
}

bool WriteString(const std::string& section, const std::string& entry, const std::string& value) {
  const RegKey key(HKEY_CURRENT_USER, KeyPath(section), true);
  return key.Get() && RegSetValueExA(key.Get(), entry.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                     static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

}  // namespace profile
