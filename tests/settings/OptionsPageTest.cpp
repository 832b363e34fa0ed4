// The Options page: what a first start shows, every change reaching its
// global and, when the page goes, the registry; the next page showing the
// stored values; the password button; the colour message.
#include <gtest/gtest.h>

#include <memory>

#include "common/DialogDriver.h"
#include "common/TestSupport.h"
#include "framework/Module.h"
#include "resource.h"
#include "settings/DlgPageOptions.h"
#include "settings/OptionsTestUtil.h"
#include "settings/Settings.h"

using namespace testsupport;

namespace {

bool ReadDword(const char* name, DWORD& value) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD size = sizeof value;
  const bool ok =
      RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

std::string ReadString(const char* name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
  char buf[512] = {};
  DWORD size = sizeof buf - 1;
  const bool ok = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok ? buf : "<no value>";
}

class OptionsPage : public testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
    SettingsDefaults();
    frame = CreateWindowExA(0, "STATIC", "frame", WS_POPUP | WS_VISIBLE, 0, 0, 700, 600, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  }
  void TearDown() override {
    page.reset();
    DestroyWindow(frame);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
    SettingsDefaults();
  }
  void Open() {
    page = std::make_unique<CDlgPageOptions>();
    ASSERT_TRUE(page->Create(frame));
    ShowWindow(*page, SW_SHOW);
  }
  void Close() {
    HWND hwnd = *page;
    DestroyWindow(hwnd);
    page.reset();
  }
  bool Checked(int id) { return IsDlgButtonChecked(*page, id) == BST_CHECKED; }
  void Click(int id) { SendMessageA(GetDlgItem(*page, id), BM_CLICK, 0, 0); }
  // Runs the password dialog from the page's button.
  std::vector<std::string> ChangePassword(const char* oldText, const char* newText, bool* oldEnabled) {
    DialogDriver driver;
    driver.On("Password", [&](HWND dlg) {
      *oldEnabled = IsWindowEnabled(GetDlgItem(dlg, IDC_PWD_OLD)) != FALSE;
      owner = GetWindow(dlg, GW_OWNER);
      if (oldText) DialogDriver::SetItemText(dlg, IDC_PWD_OLD, oldText);
      DialogDriver::SetItemText(dlg, IDC_PWD_NEW, newText);
      DialogDriver::Click(dlg, IDOK);
    });
    driver.On(AppName(), [&](HWND box) { driver.Answer(box, IDOK); });
    Click(IDC_OPT_PASSWORD);
    return driver.MessageTexts();
  }

  HWND frame = nullptr;
  HWND owner = nullptr;
  std::unique_ptr<CDlgPageOptions> page;
};

}  // namespace

TEST_F(OptionsPage, AFirstStartShowsTheDefaultsAndClosingStoresAllEightValues) {
  Open();
  EXPECT_TRUE(Checked(IDC_OPT_TRAYICON));
  EXPECT_TRUE(Checked(IDC_OPT_LOGINTOFILE));
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), page->ColourButton(0).GetColour());
  EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), page->ColourButton(1).GetColour());
  EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), page->ColourButton(2).GetColour());
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(page->ColourButton(i).GetFollowMouse());
  EXPECT_TRUE(Checked(IDC_OPT_NORMAL));
  EXPECT_FALSE(Checked(IDC_OPT_TOUGH));
  EXPECT_EQ("", page->ItemText(IDC_OPT_KEYWORDS));
  // Texts come from the string table.
  EXPECT_EQ(LoadStr(IDS_OPT_KEYWORD_LABEL), page->ItemText(IDC_OPT_KEYWORD_LABEL));
  EXPECT_EQ("No cop&y", page->ItemText(IDC_OPT_NOCOPY_GROUP));
  EXPECT_EQ("<no key>", ReadString("g_bTrayIcon")) << "nothing is written while the page lives";

  Close();
  DWORD v = 0;
  for (const char* name : {"g_bTrayIcon", "g_bLogIntoFile", "g_clrRun", "g_clrRead", "g_clrWrite", "g_bToughHook"})
    EXPECT_TRUE(ReadDword(name, v)) << name;
  EXPECT_EQ("", ReadString("regStrPass"));
  EXPECT_EQ("", ReadString("regStrNoCpyText"));
}

TEST_F(OptionsPage, ChangesAreStoredWhenThePageGoesAndShownByTheNextOne) {
  Open();
  Click(IDC_OPT_TOUGH);
  EXPECT_EQ(1u, g_bToughHook.load());
  Click(IDC_OPT_TRAYICON);
  EXPECT_EQ(0u, g_bTrayIcon.load());
  Click(IDC_OPT_LOGINTOFILE);
  Click(IDC_OPT_LOGINTOFILE);
  EXPECT_EQ(1u, g_bLogIntoFile.load());

  // Run colour by mouse: open the palette, move onto "Red", release there.
  Click(IDC_OPT_CLR_RUN);
  CColourPopup* palette = CColourPopup::Current();
  ASSERT_TRUE(palette);
  RECT red = palette->ItemRect(16);
  SendMessageA(palette->Window(), WM_MOUSEMOVE, 0, MAKELPARAM(red.left + 5, red.top + 5));
  SendMessageA(palette->Window(), WM_LBUTTONUP, 0, MAKELPARAM(red.left + 5, red.top + 5));
  EXPECT_FALSE(CColourPopup::Current());
  EXPECT_EQ(RGB(255, 0, 0), g_clrRun.load());

  // Read colour by keyboard: from "Black" Down goes to "Dark red" below it,
  // Right to "Orange"; Enter confirms.
  page->ColourButton(1).SetColour(RGB(0, 0, 0));
  Click(IDC_OPT_CLR_READ);
  palette = CColourPopup::Current();
  ASSERT_TRUE(palette);
  EXPECT_EQ(0, palette->Selected());
  for (UINT key : {VK_DOWN, VK_RIGHT}) SendMessageA(palette->Window(), WM_KEYDOWN, key, 0);
  SendMessageA(palette->Window(), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(RGB(255, 104, 32), g_clrRead.load());

  TypeKeywords(*page, "  alpha\r\nbeta\r\n");
  EXPECT_EQ("alpha|beta", regStrNoCpyText);
  EXPECT_EQ("<no key>", ReadString("regStrNoCpyText"));
  Close();

  DWORD v = 99;
  EXPECT_TRUE(ReadDword("g_bToughHook", v));
  EXPECT_EQ(1u, v);
  EXPECT_TRUE(ReadDword("g_bTrayIcon", v));
  EXPECT_EQ(0u, v);
  EXPECT_TRUE(ReadDword("g_clrRun", v));
  EXPECT_EQ(RGB(255, 0, 0), v);
  EXPECT_TRUE(ReadDword("g_clrRead", v));
  EXPECT_EQ(RGB(255, 104, 32), v);
  EXPECT_EQ("alpha|beta", ReadString("regStrNoCpyText"));

  SettingsDefaults();  // as a new start would have them
  Open();
  EXPECT_TRUE(Checked(IDC_OPT_TOUGH));
  EXPECT_FALSE(Checked(IDC_OPT_NORMAL));
  EXPECT_FALSE(Checked(IDC_OPT_TRAYICON));
  EXPECT_EQ(RGB(255, 0, 0), page->ColourButton(0).GetColour());
  EXPECT_EQ(RGB(255, 104, 32), page->ColourButton(1).GetColour());
  EXPECT_EQ("alpha|beta", page->ItemText(IDC_OPT_KEYWORDS));
  EXPECT_EQ("alpha|beta", regStrNoCpyText);
}

TEST_F(OptionsPage, AStoredKeywordListIsShownAndKeptAsItIs) {
  CSettingString(SettingPath("regStrNoCpyText"), "") = " a||b ";
  Open();
  EXPECT_EQ(" a||b ", page->ItemText(IDC_OPT_KEYWORDS));
  Close();
  EXPECT_EQ(" a||b ", ReadString("regStrNoCpyText"));
}

TEST_F(OptionsPage, ColourMessagesSetOnlyTheirOwnSetting) {
  Open();
  const uint32_t run = g_clrRun, write = g_clrWrite;
  EXPECT_EQ(1, SendMessageA(*page, WM_USER + 1004, RGB(1, 2, 3), IDC_OPT_CLR_READ));
  EXPECT_EQ(RGB(1, 2, 3), g_clrRead.load());
  EXPECT_EQ(1, SendMessageA(*page, WM_USER + 1004, RGB(9, 9, 9), 1099));
  EXPECT_EQ(run, g_clrRun.load());
  EXPECT_EQ(write, g_clrWrite.load());
  EXPECT_EQ(RGB(1, 2, 3), g_clrRead.load());
}

TEST_F(OptionsPage, ThePasswordButtonChangesThePasswordAtOnce) {
  Open();
  bool oldEnabled = true;
  auto messages = ChangePassword(nullptr, "pw1", &oldEnabled);
  EXPECT_FALSE(oldEnabled);
  EXPECT_EQ(frame, owner);  // owned by the page's window (its top-level frame)
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ("Password changed successfully!", messages[0]);
  // Stored at once (before the page goes), as its salted hash.
  const std::string stored = ReadString("regStrPass");
  EXPECT_EQ(regStrPass, stored);
  EXPECT_EQ(std::string::npos, stored.find("pw1"));
  EXPECT_EQ(0u, stored.find("pbkdf2-sha256$")) << stored;

  messages = ChangePassword("PW1", "other", &oldEnabled);
  EXPECT_TRUE(oldEnabled);
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ("Invalid Old Password", messages[0]);
  EXPECT_EQ(stored, regStrPass);
  Close();
  EXPECT_EQ(stored, ReadString("regStrPass"));
}

TEST_F(OptionsPage, TheNotifyBoxIsOnAtFirstAndItsChoiceIsStoredAndShownAgain) {
  Open();
  EXPECT_EQ("&Notify me when an access is blocked", page->ItemText(IDC_OPT_NOTIFY_DENIED));
  EXPECT_TRUE(Checked(IDC_OPT_NOTIFY_DENIED));
  Click(IDC_OPT_NOTIFY_DENIED);
  EXPECT_EQ(0u, g_bNotifyDenied.load()) << "takes effect at once";
  Close();
  DWORD v = 99;
  EXPECT_TRUE(ReadDword("g_bNotifyDenied", v));
  EXPECT_EQ(0u, v);
  SettingsDefaults();
  EXPECT_EQ(1u, g_bNotifyDenied.load());
  Open();
  EXPECT_FALSE(Checked(IDC_OPT_NOTIFY_DENIED));
  EXPECT_EQ(0u, g_bNotifyDenied.load());
}
