// The password dialog in both modes, driven through its controls.
#include <gtest/gtest.h>

#include "common/DialogDriver.h"
#include "framework/Module.h"
#include "resource.h"
#include "settings/DlgPassword.h"
#include "settings/Settings.h"

using testsupport::DialogDriver;

namespace {

struct PasswordFixture : testing::Test {
  void SetUp() override {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
    regStrPass.clear();
  }
  void TearDown() override {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
    regStrPass.clear();
  }

  // Shows the dialog, types into the boxes, presses OK (or Cancel) and
  // answers any message box; returns what DoModal returned.
  INT_PTR Run(CDlgPassword& dlg, const char* oldText, const char* newText, bool cancel = false) {
    DialogDriver driver;
    driver.On("Password", [&](HWND hwnd) {
      oldEnabled = IsWindowEnabled(GetDlgItem(hwnd, IDC_PWD_OLD)) != FALSE;
      if (oldText) DialogDriver::SetItemText(hwnd, IDC_PWD_OLD, oldText);
      if (newText) DialogDriver::SetItemText(hwnd, IDC_PWD_NEW, newText);
      DialogDriver::Click(hwnd, cancel ? IDCANCEL : IDOK);
    });
    driver.On(AppName(), [&](HWND box) { driver.Answer(box, IDOK); });
    INT_PTR r = dlg.DoModal();
    messages = driver.MessageTexts();
    return r;
  }

  bool oldEnabled = true;
  std::vector<std::string> messages;
};

}  // namespace

TEST_F(PasswordFixture, WithoutAPasswordTheChangeDialogStoresTheNewTextWithTheOldBoxDisabled) {
  CDlgPassword dlg(nullptr, CDlgPassword::changeMode);
  EXPECT_EQ(IDOK, Run(dlg, nullptr, "Abc1"));
  EXPECT_FALSE(oldEnabled);
  EXPECT_EQ("Abc1", regStrPass);
  EXPECT_EQ("Abc1", ReadPassword());  // written at once
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ("Password changed successfully!", messages[0]);
}

TEST_F(PasswordFixture, AWrongOldPasswordIsRefusedAndLeavesThePassword) {
  regStrPass = "Abc1";
  CDlgPassword dlg(nullptr, CDlgPassword::changeMode);
  EXPECT_EQ(IDOK, Run(dlg, "abc1", "New"));
  EXPECT_TRUE(oldEnabled);
  EXPECT_EQ("Abc1", regStrPass);
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ("Invalid Old Password", messages[0]);
}

TEST_F(PasswordFixture, AnEmptyNewPasswordRemovesIt) {
  regStrPass = "Abc1";
  CDlgPassword dlg(nullptr, CDlgPassword::changeMode);
  Run(dlg, "Abc1", "");
  EXPECT_TRUE(regStrPass.empty());
}

TEST_F(PasswordFixture, TheCheckPassesWithTheRightTextAndRefusesOtherCase) {
  regStrPass = "Abc1";
  CDlgPassword right(nullptr, CDlgPassword::verifyMode);
  EXPECT_EQ(IDOK, Run(right, nullptr, "Abc1"));
  EXPECT_FALSE(oldEnabled);
  EXPECT_EQ(1u, right.verified);
  EXPECT_TRUE(messages.empty());

  CDlgPassword wrongCase(nullptr, CDlgPassword::verifyMode);
  EXPECT_EQ(IDOK, Run(wrongCase, nullptr, "ABC1"));
  EXPECT_EQ(0u, wrongCase.verified);
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ("Invalid New Password", messages[0]);
}

TEST_F(PasswordFixture, CancelReportsNoMatch) {
  regStrPass = "Abc1";
  CDlgPassword dlg(nullptr, CDlgPassword::verifyMode);
  EXPECT_EQ(IDCANCEL, Run(dlg, nullptr, "Abc1", true));
  EXPECT_EQ(0u, dlg.verified);
}

TEST_F(PasswordFixture, CheckAsksOnlyWhenAPasswordIsSet) {
  // No dialog may appear: nothing would answer it.
  EXPECT_TRUE(CDlgPassword::Check(nullptr));
}
