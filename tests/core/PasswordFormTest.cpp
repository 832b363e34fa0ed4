#include "settings/PasswordForm.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

const std::string kSalt(32, 'a'), kHash(64, '0');  // 16 and 32 bytes

std::string Form(const std::string& iterations, const std::string& salt = kSalt, const std::string& hash = kHash,
                 const std::string& method = "pbkdf2-sha256") {
  return method + "$" + iterations + "$" + salt + "$" + hash;
}

}  // namespace

TEST(PasswordForm, AFormIsWrittenAsMethodIterationsSaltAndHashAndReadBack) {
  const PasswordForm form{
      200000, {0, 1, 0xab, 0xff, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0xfe}, std::vector<uint8_t>(32, 0xc5)};
  std::string hashHex;
  for (int i = 0; i < 32; ++i) hashHex += "c5";
  EXPECT_EQ("pbkdf2-sha256$200000$0001abff0405060708090a0b0c0d0efe$" + hashHex, FormatStoredPassword(form));
  PasswordForm back;  // upper-case hex reads the same
  ASSERT_EQ(StoredPassword::kHashed,
            ParseStoredPassword("pbkdf2-sha256$200000$0001ABFF0405060708090A0B0C0D0EFE$" + hashHex, back));
  EXPECT_EQ(form.iterations, back.iterations);
  EXPECT_EQ(form.salt, back.salt);
  EXPECT_EQ(form.hash, back.hash);
}

TEST(PasswordForm, EachValueIsSortedAsNonePlainHashedOrDamaged) {
  const struct {
    std::string text;
    StoredPassword kind;
  } cases[] = {
      {"", StoredPassword::kNone},
      {"Abc1", StoredPassword::kPlain},
      {"my$money", StoredPassword::kPlain},       // a "$" alone does not claim the form
      {"pbkdf2-sha256", StoredPassword::kPlain},  // nor the method name alone
      {"PBKDF2-SHA256$1000$x$y", StoredPassword::kPlain},
      {Form("200000"), StoredPassword::kHashed},
      {Form("200000", std::string(128, 'f')), StoredPassword::kHashed},  // 64 bytes of salt
      // Wrong method.
      {Form("200000", kSalt, kHash, "pbkdf2-sha512"), StoredPassword::kDamaged},
      {Form("200000", kSalt, kHash, "pbkdf2"), StoredPassword::kDamaged},
      // Damaged text.
      {Form("200000") + "$", StoredPassword::kDamaged},
      {"pbkdf2-sha256$200000$" + kSalt, StoredPassword::kDamaged},
      {Form("200000", kSalt.substr(1)), StoredPassword::kDamaged},         // odd hex
      {Form("200000", std::string(30, 'a')), StoredPassword::kDamaged},    // 15 bytes of salt
      {Form("200000", std::string(130, 'a')), StoredPassword::kDamaged},   // 65 bytes
      {Form("200000", "g" + kSalt.substr(1)), StoredPassword::kDamaged},   // not hex
      {Form("200000", kSalt, kHash.substr(2)), StoredPassword::kDamaged},  // 31-byte hash
      {Form("200000", kSalt, kHash + "00"), StoredPassword::kDamaged},     // 33 bytes
      {Form("200000", kSalt, kHash.substr(1) + "\0"s), StoredPassword::kDamaged},
      // Iteration counts and their bounds.
      {Form("999"), StoredPassword::kDamaged},
      {Form("1000"), StoredPassword::kHashed},
      {Form("10000000"), StoredPassword::kHashed},
      {Form("10000001"), StoredPassword::kDamaged},
      {Form("4294967296"), StoredPassword::kDamaged},   // past 32 bits
      {Form("99999999999"), StoredPassword::kDamaged},  // past 64 bits when multiplied on
      {Form("0200000"), StoredPassword::kDamaged},
      {Form("+200000"), StoredPassword::kDamaged},
      {Form("2e5"), StoredPassword::kDamaged},
      {Form(""), StoredPassword::kDamaged},
  };
  for (const auto& c : cases) {
    PasswordForm form;
    EXPECT_EQ(c.kind, ParseStoredPassword(c.text, form)) << c.text;
  }
}

TEST(PasswordForm, ConstantTimeComparisonIsExactEquality) {
  const struct {
    std::string a, b;
    bool equal;
  } cases[] = {
      {"", "", true},         {"Abc1", "Abc1", true}, {"Abc1", "abc1", false},   {"Abc1", "Abc", false},
      {"Abc", "Abc1", false}, {"", "a", false},       {"a\0b"s, "a\0c"s, false}, {"a"s, "a\0"s, false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.equal, EqualInConstantTime(c.a, c.b)) << c.a << " / " << c.b;
}

TEST(PasswordForm, WipingZeroesTheWholeBuffer) {
  std::string text(100, 'x');
  const char* buffer = text.data();
  const size_t capacity = text.capacity();
  WipeText(text);
  EXPECT_TRUE(text.empty());
  ASSERT_EQ(buffer, text.data());
  for (size_t i = 0; i < capacity; ++i) ASSERT_EQ('\0', buffer[i]) << i;
}
