// The settings store: value objects over the registry and the eight
// settings globals.
#include <gtest/gtest.h>

#include "settings/Settings.h"

namespace {

const std::string kTestKey = "Software\\QuorvexSoftware\\QX5\\TestSettings";

void DeleteTestKey() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTestKey.c_str()); }

void SetRaw(const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTestKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

// Deletes the real settings key around a test and restores nothing: the
// test prefix holds no user's settings.
struct CleanSettings {
  CleanSettings() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
    SettingsDefaults();
  }
  ~CleanSettings() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
    SettingsDefaults();
  }
};

}  // namespace

TEST(SettingDword, MissingValuesReadAsTheDefaultAndAssignmentWrites) {
  DeleteTestKey();
  CSettingDword v(kTestKey + "\\Number", 7);
  EXPECT_EQ(7u, v.Get());
  EXPECT_FALSE(v.WasRead());
  v = 42;
  EXPECT_TRUE(v.WasRead());
  EXPECT_EQ(42u, CSettingDword(kTestKey + "\\Number", 7).Get());
  DeleteTestKey();
}

TEST(SettingDword, AFourByteValueOfAnotherTypeIsTakenUnchangedAndOtherSizesAreNot) {
  DeleteTestKey();
  const DWORD colour = 0x00123456;
  SetRaw("Binary4", REG_BINARY, &colour, 4);
  SetRaw("Short", REG_BINARY, &colour, 2);
  EXPECT_EQ(colour, CSettingDword(kTestKey + "\\Binary4", 1).Get());
  EXPECT_EQ(9u, CSettingDword(kTestKey + "\\Short", 9).Get());
  DeleteTestKey();
}

TEST(SettingDword, TheKeyStringIsSplitAtItsLastBackslashAndTrimmed) {
  DeleteTestKey();
  CSettingDword v("\\" + kTestKey + "\\\\Trimmed", 0);
  v = 5;
  EXPECT_EQ(5u, CSettingDword(kTestKey + "\\Trimmed", 0).Get());
  DeleteTestKey();
}

TEST(SettingDword, ForcedReadsSeeChangesMadeBehindTheObject) {
  DeleteTestKey();
  CSettingDword forced(kTestKey + "\\Shared", 0, true);
  CSettingDword cached(kTestKey + "\\Shared", 0, false);
  cached = 3;
  EXPECT_EQ(3u, forced.Get());
  forced = 4;
  EXPECT_EQ(3u, cached.Get());  // not forced: the cache answers
  DeleteTestKey();
}

TEST(SettingString, ReadsUpToTheTerminatorAndWritesExactText) {
  DeleteTestKey();
  CSettingString s(kTestKey + "\\Text", "none");
  EXPECT_EQ("none", s.Get());
  s = "Secret|Plan";
  EXPECT_EQ("Secret|Plan", CSettingString(kTestKey + "\\Text", "").Get());
  const char embedded[] = "abc\0def";
  SetRaw("Embedded", REG_SZ, embedded, sizeof embedded);
  EXPECT_EQ("abc", CSettingString(kTestKey + "\\Embedded", "").Get());
  DeleteTestKey();
}

TEST(Settings, AFirstStartUsesTheDefaultsAndSavingCreatesAllEightValues) {
  CleanSettings clean;
  SettingsLoad();
  EXPECT_EQ(1u, g_bTrayIcon.load());
  EXPECT_EQ(1u, g_bLogIntoFile.load());
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), g_clrRun.load());
  EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), g_clrRead.load());
  EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), g_clrWrite.load());
  EXPECT_EQ(0u, g_bToughHook.load());
  EXPECT_EQ(1u, g_bNotifyDenied.load());
  EXPECT_TRUE(regStrPass.empty());
  SettingsSave();
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, &key));
  for (const char* name : {"g_bTrayIcon", "g_bLogIntoFile", "g_clrRun", "g_clrRead", "g_clrWrite", "g_bToughHook",
                           "g_bNotifyDenied", "regStrPass", "regStrNoCpyText"})
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr)) << name;
  RegCloseKey(key);
}

TEST(Settings, SavedValuesComeBackOnTheNextLoad) {
  CleanSettings clean;
  g_bTrayIcon = 0;
  g_bLogIntoFile = 0;
  g_clrRun = RGB(1, 2, 3);
  g_clrRead = RGB(4, 5, 6);
  g_clrWrite = RGB(7, 8, 9);
  g_bToughHook = 1;
  regStrPass = "Pw";
  regStrNoCpyText = "secret|plan";
  SettingsSave();
  SettingsDefaults();
  SettingsLoad();
  EXPECT_EQ(0u, g_bTrayIcon.load());
  EXPECT_EQ(0u, g_bLogIntoFile.load());
  EXPECT_EQ(RGB(1, 2, 3), g_clrRun.load());
  EXPECT_EQ(RGB(4, 5, 6), g_clrRead.load());
  EXPECT_EQ(RGB(7, 8, 9), g_clrWrite.load());
  EXPECT_EQ(1u, g_bToughHook.load());
  EXPECT_EQ("Pw", regStrPass);
  EXPECT_EQ("secret|plan", regStrNoCpyText);
}

TEST(Settings, TheTipsSwitchReadsOneWhenMissing) {
  CleanSettings clean;
  EXPECT_EQ(1u, ReadShowTips());
  WriteShowTips(0);
  EXPECT_EQ(0u, ReadShowTips());
}
