// The password's stored form and its check, and the password dialog in
// both modes, driven through its controls.
#include <gtest/gtest.h>

#include "common/DialogDriver.h"
#include "framework/Module.h"
#include "resource.h"
#include "settings/DlgPassword.h"
#include "settings/PasswordCheck.h"
#include "settings/PasswordForm.h"
#include "settings/Settings.h"

using testsupport::DialogDriver;

namespace {

std::string Stored(const char* text) {
  std::string stored;
  EXPECT_TRUE(MakeStoredPassword(text, stored));
  return stored;
}

// True when stored is a valid form that accepts text.
bool HoldsPassword(std::string stored, const char* text) {
  PasswordForm form;
  return ParseStoredPassword(stored, form) == StoredPassword::kHashed && stored.find(text) == std::string::npos &&
         CheckTypedPassword(text, stored) == PasswordCheck::kMatch;
}

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
  EXPECT_TRUE(HoldsPassword(regStrPass, "Abc1"));
  EXPECT_EQ(regStrPass, ReadPassword());  // written at once
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ("Password changed successfully!", messages[0]);
}

TEST_F(PasswordFixture, AWrongOldPasswordIsRefusedAndLeavesThePassword) {
  regStrPass = Stored("Abc1");
  const std::string before = regStrPass;
  CDlgPassword dlg(nullptr, CDlgPassword::changeMode);
  EXPECT_EQ(IDOK, Run(dlg, "abc1", "New"));
  EXPECT_TRUE(oldEnabled);
  EXPECT_EQ(before, regStrPass);
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ("Invalid Old Password", messages[0]);
}

TEST_F(PasswordFixture, AnEmptyNewPasswordRemovesIt) {
  regStrPass = Stored("Abc1");
  CDlgPassword dlg(nullptr, CDlgPassword::changeMode);
  Run(dlg, "Abc1", "");
  EXPECT_TRUE(regStrPass.empty());
}

TEST_F(PasswordFixture, TheCheckPassesWithTheRightTextAndRefusesOtherCase) {
  regStrPass = Stored("Abc1");
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
  regStrPass = Stored("Abc1");
  CDlgPassword dlg(nullptr, CDlgPassword::verifyMode);
  EXPECT_EQ(IDCANCEL, Run(dlg, nullptr, "Abc1", true));
  EXPECT_EQ(0u, dlg.verified);
}

TEST_F(PasswordFixture, CheckAsksOnlyWhenAPasswordIsSet) {
  // No dialog may appear: nothing would answer it.
  EXPECT_TRUE(CDlgPassword::Check(nullptr));
}

TEST_F(PasswordFixture, ADamagedStoredPasswordRefusesEveryTextAndSaysWhy) {
  regStrPass = "pbkdf2-sha256$200000$00$00";
  for (DWORD mode : {CDlgPassword::verifyMode, CDlgPassword::changeMode}) {
    CDlgPassword dlg(nullptr, mode);
    Run(dlg, regStrPass.c_str(), regStrPass.c_str());
    EXPECT_EQ(0u, dlg.verified);
    EXPECT_EQ("pbkdf2-sha256$200000$00$00", regStrPass);
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(LoadStr(IDS_PASSWORD_DAMAGED), messages[0]);
  }
  EXPECT_NE(std::string::npos, LoadStr(IDS_PASSWORD_DAMAGED).find("HKEY_LOCAL_MACHINE\\Software\\QuorvexSoftware"));
}

// Known PBKDF2-HMAC-SHA256 results: the two of RFC 7914 section 11 and
// the widely published SHA-256 counterparts of the RFC 6070 vectors.
TEST(PasswordDerivation, MatchesKnownVectors) {
  const struct {
    std::string password, salt;
    uint32_t iterations;
    const char* key;
  } vectors[] = {
      {"passwd", "salt", 1,
       "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
       "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"},
      {"Password", "NaCl", 80000,
       "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
       "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d"},
      {"password", "salt", 1, "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b"},
      {"password", "salt", 4096, "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a"},
      {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
       "348c89dbcbd32b2f32d814b8116e84cf2b17347ebc1800181c4e2a1fb8dd53e1c635518c7dac47e9"},
  };
  for (const auto& v : vectors) {
    std::vector<uint8_t> key(strlen(v.key) / 2);
    ASSERT_TRUE(DerivePbkdf2Sha256(v.password, reinterpret_cast<const uint8_t*>(v.salt.data()), v.salt.size(),
                                   v.iterations, key.data(), key.size()));
    std::string hex;
    for (uint8_t b : key) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
    EXPECT_EQ(v.key, hex) << v.password << " / " << v.iterations;
  }
}

TEST_F(PasswordFixture, ANewFormIsSaltedAndChecksOnlyTheExactText) {
  std::string stored = Stored("Abc1");
  const std::string again = Stored("Abc1");
  PasswordForm form;
  ASSERT_EQ(StoredPassword::kHashed, ParseStoredPassword(stored, form));
  EXPECT_EQ(kPasswordIterations, form.iterations);
  EXPECT_EQ(kPasswordSaltBytes, form.salt.size());
  EXPECT_NE(stored, again);  // a fresh salt each time
  const std::string before = stored;
  for (const char* wrong : {"Abc", "Abc1 ", ""})
    EXPECT_EQ(PasswordCheck::kMismatch, CheckTypedPassword(wrong, stored)) << wrong;
  EXPECT_EQ(PasswordCheck::kMatch, CheckTypedPassword("Abc1", stored));
  EXPECT_EQ(before, stored);  // a valid form is left as it is
}

TEST_F(PasswordFixture, APlainValueIsAcceptedOnceAndReplacedByItsForm) {
  WritePassword("Abc1");
  std::string stored = ReadPassword();
  EXPECT_EQ(PasswordCheck::kMismatch, CheckTypedPassword("abc1", stored));
  EXPECT_EQ("Abc1", ReadPassword());  // nothing replaced on a wrong text
  EXPECT_EQ(PasswordCheck::kMatch, CheckTypedPassword("Abc1", stored));
  EXPECT_TRUE(HoldsPassword(stored, "Abc1"));
  EXPECT_EQ(stored, ReadPassword());
}
