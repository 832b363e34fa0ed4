// The application's registry profile, where controls keep their layout:
// HKEY_CURRENT_USER\Software\QuorvexSoftware\Varnokel\<section>.
#pragma once

#include <windows.h>

#include <string>

namespace profile {

// The key under HKEY_CURRENT_USER that holds the sections.
const char* const kRoot = "Software\\QuorvexSoftware\\Varnokel";

int GetInt(const std::string& section, const std::string& entry, int defaultValue);
bool WriteInt(const std::string& section, const std::string& entry, int value);
std::string GetString(const std::string& section, const std::string& entry, const std::string& defaultValue);
bool WriteString(const std::string& section, const std::string& entry, const std::string& value);

}  // namespace profile
