#include "rules/RuleFileCheck.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "framework/Handle.h"
#include "framework/Module.h"
#include "resource.h"

std::string FillStringFormat(UINT id, const char* fallback, const std::string& a, const std::string& b,
                             unsigned long long n) {
  std::string format = LoadStr(id);
  if (format.empty()) format = fallback;
  std::string out;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 >= format.size()) {
      out += format[i];
      continue;
    }
    const char c = format[++i];
    if (c == '1')
      out += a;
    else if (c == '2')
      out += b;
    else if (c == 'n')
      out += std::to_string(n);
    else if (c == '%')
      out += '%';
    else
      out += std::string("%") + c;
  }
  return out;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, DWORD& error) {
  bytes.clear();
  error = 0;
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      error = 0;
      return true;
    }
    return false;
  }
  UniqueHandle file(f);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(f, &size)) {
    error = GetLastError();
    return false;
  }
  // A rule file is 100 kB; of anything far larger only the start is kept.
  constexpr LONGLONG kLimit = 64LL << 20;
  if (size.QuadPart > kLimit) size.QuadPart = kLimit;
  try {
    bytes.resize(static_cast<size_t>(size.QuadPart));
  } catch (const std::bad_alloc&) {
    error = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    if (!ReadFile(f, bytes.data() + done, want, &got, nullptr)) {
      error = GetLastError();
      bytes.clear();
      return false;
    }
    if (got == 0) break;
    done += got;
  }
  bytes.resize(done);
  return true;
}

std::string DamagedCopyPath(const std::string& rulePath) { return rulePath + ".damaged"; }

bool SaveDamagedCopy(const std::string& rulePath, const std::vector<uint8_t>& bytes, DWORD& error) {
  error = 0;
  const std::string copy = DamagedCopyPath(rulePath);
  SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
  HANDLE f = CreateFileA(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    return false;
  }
  UniqueHandle file(f);
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD put = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    if (!WriteFile(f, bytes.data() + done, want, &put, nullptr) || put == 0) {
      error = GetLastError();
      if (error == 0) error = ERROR_WRITE_FAULT;
      return false;
    }
    done += put;
  }
  if (!FlushFileBuffers(f)) {
    error = GetLastError();
    return false;
  }
  return true;
}

std::string SystemErrorText(DWORD error) {
  char* buffer = nullptr;
  const DWORD n =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
  std::string text;
  if (n && buffer) text.assign(buffer, n);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  if (text.empty()) text = "Error " + std::to_string(error) + ".";
  return text;
}

std::string RulesNotWrittenText(const std::string& rulePath, const std::string& reason) {
  return FillStringFormat(IDS_RULES_NOT_WRITTEN,
                          "The rules could not be written to %1:\n%2\n\nThe access engine does not see the latest "
                          "changes. Varnokel keeps them and writes them again at the next change and when it ends.",
                          rulePath, reason);
}

std::string RulesNotReadText(const std::string& rulePath, const std::string& reason) {
  return FillStringFormat(IDS_RULES_NOT_READ,
                          "The rules could not be read from %1:\n%2\n\nVarnokel keeps the rules it shows and writes "
                          "nothing over the file until it has read it completely.",
                          rulePath, reason);
}

std::string RulesDamagedText(const std::string& rulePath, size_t rulesRead) {
  return FillStringFormat(IDS_RULES_DAMAGED,
                          "The rule file %1 was damaged. %n rules could be read; Varnokel goes on with them.\n\nThe "
                          "file as it was is saved as %2.",
                          rulePath, DamagedCopyPath(rulePath), rulesRead);
}

std::string RulesFullText(const std::string& rulePath, size_t fileRules) {
  return FillStringFormat(IDS_RULES_FULL,
                          "The rule file %1 is full: it holds %n rules, and the change does not fit. Nothing was "
                          "changed.\n\nRemove rules first, then make the change again.",
                          rulePath, "", fileRules);
}

std::string SystemRulesLeftOutText(const std::string& rulePath, size_t leftOut, size_t fileRules) {
  return FillStringFormat(IDS_SYSTEM_RULES_LEFT_OUT,
                          "The rule file %1 is full: %n of the system rules did not fit and were not added. It "
                          "holds %2 rules.\n\nRemove rules first, then add the system rules again.",
                          rulePath, std::to_string(fileRules), leftOut);
}

std::string RulesLostText(const std::string& rulePath, const std::string& reason, bool unread, size_t count) {
  if (unread)
    return FillStringFormat(IDS_RULES_LOST_UNREAD,
                            "Varnokel is ending, and the rule file %1 still cannot be read:\n%2\n\nThe %n rules "
                            "added since Varnokel started are not in the file and are lost.",
                            rulePath, reason, count);
  return FillStringFormat(IDS_RULES_LOST_UNWRITTEN,
                          "Varnokel is ending, and the rules could not be written to %1:\n%2\n\nThe changes made "
                          "since the file was last written are lost.",
                          rulePath, reason);
}
