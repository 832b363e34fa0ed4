#include "vkctl/RuleStore.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "app/MainWindowFinder.h"
#include "app/Messages.h"
#include "framework/Handle.h"
#include "rules/RuleFile.h"
#include "rules/RuleJson.h"
#include "settings/PasswordCheck.h"
#include "settings/PasswordForm.h"
#include "settings/Settings.h"

namespace {

const char* MappingOrNull(const StoreOptions& o) { return o.mapping.empty() ? nullptr : o.mapping.c_str(); }

// True when the process runs with its full rights (an elevated
// administrator, or a service account).
bool RunsElevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  const bool got = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
  CloseHandle(token);
  return got && elevation.TokenIsElevated != 0;
}

bool OpenStore(const StoreOptions& options, CRuleFile& file, uint32_t access) {
  if (file.Open(options.path.c_str(), MappingOrNull(options), RULE_FILE_SIZE, access, false) == 0) return true;
  std::string text = "cannot open the rule file " + options.path + ": " + file.FailureText();
  // vkctl runs with the rights of its caller: a change from a prompt that
  // was not started as administrator is refused by the system directory.
  const DWORD error = file.LastError();
  if ((access & GENERIC_WRITE) && (error == ERROR_ACCESS_DENIED || error == ERROR_PRIVILEGE_NOT_HELD) &&
      !RunsElevated())
    text += " (changing the rules needs administrator rights: run vkctl from an elevated command prompt)";
  Complain(text);
  return false;
}

// Reads the records of an open file; the caller holds what it needs to.
bool ReadOpen(const StoreOptions& options, CRuleFile& file, RuleList& rules) {
  uint32_t count = 0, offset = 0;
  if (file.ReadRules(rules, &count, &offset) == -1) {
    Complain(options.path + ": damaged record at data offset " + std::to_string(offset) + " (after rule " +
             std::to_string(count) + ")");
    return false;
  }
  return true;
}

// Reads a password from the console without showing it.
bool AskPassword(std::string& password) {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(in, &mode)) return false;
  fputs("Password: ", stderr);
  fflush(stderr);
  SetConsoleMode(in, mode & ~ENABLE_ECHO_INPUT);
  // Read from the console directly, not through the C library's stdin
  // buffer, so that the one copy of the typed line can be wiped.
  char buf[260];
  DWORD length = 0;
  const bool got = ReadConsoleA(in, buf, sizeof buf, &length, nullptr) != FALSE;
  SetConsoleMode(in, mode);
  fputs("\n", stderr);
  if (got) {
    password.assign(buf, length);
    while (!password.empty() && (password.back() == '\n' || password.back() == '\r')) password.pop_back();
  }
  SecureZeroMemory(buf, sizeof buf);
  return got;
}

bool CheckPassword(const StoreOptions& options) {
  std::string stored = ReadPassword();
  if (stored.empty()) return true;
  std::string given = options.password;
  if (!options.hasPassword && !AskPassword(given)) {
    Complain("a settings password guards the rules: give it with --password; nothing written");
    return false;
  }
  const PasswordCheck result = CheckTypedPassword(given, stored);
  WipeText(given);
  if (result == PasswordCheck::kDamaged) {
    Complain(
        "the stored settings password is damaged and cannot be checked (an administrator can delete the value "
        "regStrPass under HKEY_LOCAL_MACHINE\\Software\\QuorvexSoftware\\QX5\\Settings); nothing written");
    return false;
  }
  if (result != PasswordCheck::kMatch) {
    Complain("wrong password; nothing written");
    return false;
  }
  return true;
}

void NotifyFrontEnd(const StoreOptions& options) {
  HWND front = FindMainWindow(options.window);
  if (!front) return;
  // Sent, not posted: when it returns the front end has read the new rules,
  // or knows that it must (its next write keeps them either way).
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(front, WM_QX5_ACTIVATE, 1, 0, SMTO_ABORTIFHUNG, 30000, &answer)) {
    Complain("the running front end did not answer; it reads the rules at its next start");
    return;
  }
  if (answer == static_cast<DWORD_PTR>(kReloadQueued)) {
    printf(
        "the running front end is busy (a dialog or a file pass is open); its Files page shows the change "
        "when that ends\n");
    fflush(stdout);
  }
}

}  // namespace

void Complain(const std::string& text) {
  fprintf(stderr, "vkctl: %s\n", text.c_str());
  fflush(stderr);
}

bool ReadStore(const StoreOptions& options, RuleList& rules) {
  rules.clear();
  CRuleFile file;
  if (file.Open(options.path.c_str(), MappingOrNull(options), RULE_FILE_SIZE, CMappedFile::kAccessRead, false) != 0) {
    // No file, or an empty one: no rules (a read makes nothing).
    if (file.LastError() == ERROR_FILE_NOT_FOUND || file.LastError() == ERROR_HANDLE_EOF) return true;
    Complain("cannot open the rule file " + options.path + ": " + file.FailureText());
    return false;
  }
  const bool ok = ReadOpen(options, file, rules);
  file.CloseAfterWrite();
  return ok;
}

int ChangeStore(const StoreOptions& options, const RuleChange& change, const std::function<void()>& report) {
  if (!CheckPassword(options)) return kVkFailed;
  CRuleFile file;
  if (!OpenStore(options, file, CMappedFile::kAccessReadWrite)) return kVkFailed;
  bool written = false;
  {
    // Held from the read to the end of the write, so that no other writer
    // comes in between. SaveRules takes it again (mutexes count their
    // owner's waits), then the Read mutex.
    MutexLock writeLock(file.WriteMutex());
    RuleList rules;
    if (!ReadOpen(options, file, rules)) return kVkFailed;
    const RuleList before = CopyRules(rules);
    const ChangeResult result = change(rules);
    if (result.status != kVkOk) return result.status;
    if (result.changed && !SameRules(before, rules)) {
      RuleSaveOutcome outcome;
      if (file.SaveRules(&before, rules, outcome) != 0) {
        Complain("writing the rule file " + options.path + " failed: " + file.FailureText());
        return kVkFailed;
      }
      if (outcome.result == RuleSaveResult::Full) {
        Complain("the rule file is full (" + std::to_string(outcome.fileRules) + " rules): the rules would take " +
                 std::to_string(RuleSetBytes(rules)) + " bytes, it holds " +
                 std::to_string(RULE_FILE_SIZE - RULE_FILE_HEADER_SIZE - RULE_FILE_RESERVE) +
                 " before its reserve; remove rules first; nothing written");
        return kVkFailed;
      }
      if (outcome.result == RuleSaveResult::Damaged) {
        Complain(options.path + ": damaged by another program while it was read; nothing written");
        return kVkFailed;
      }
      written = true;
    }
  }
  file.CloseAfterWrite();
  if (report) report();
  fflush(stdout);
  if (written) NotifyFrontEnd(options);
  return kVkOk;
}
