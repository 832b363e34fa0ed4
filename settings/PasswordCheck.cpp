#include "settings/PasswordCheck.h"

#include <windows.h>
#include <bcrypt.h>

#include "settings/PasswordForm.h"
#include "settings/Settings.h"

namespace {

class AlgorithmHandle {
 public:
  AlgorithmHandle() {
    if (!BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(&h_, BCRYPT_SHA256_ALGORITHM, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG)))
      h_ = nullptr;
  }
  AlgorithmHandle(const AlgorithmHandle&) = delete;
  AlgorithmHandle& operator=(const AlgorithmHandle&) = delete;
  ~AlgorithmHandle() {
    if (h_) BCryptCloseAlgorithmProvider(h_, 0);
  }
  BCRYPT_ALG_HANDLE Get() const { return h_; }

 private:
  BCRYPT_ALG_HANDLE h_ = nullptr;
};

std::string_view Bytes(const uint8_t* data, size_t length) {
  return std::string_view(reinterpret_cast<const char*>(data), length);
}

}  // namespace

bool DerivePbkdf2Sha256(std::string_view password, const uint8_t* salt, size_t saltLength, uint32_t iterations,
                        uint8_t* key, size_t keyLength) {
  AlgorithmHandle hmac;
  if (!hmac.Get()) return false;
  // CNG takes non-const buffers but only reads password and salt. An empty
  // password still needs a valid pointer.
  static char empty = 0;
  auto* pw = reinterpret_cast<UCHAR*>(const_cast<char*>(password.empty() ? &empty : password.data()));
  return BCRYPT_SUCCESS(BCryptDeriveKeyPBKDF2(hmac.Get(), pw, static_cast<ULONG>(password.size()),
                                              const_cast<UCHAR*>(salt), static_cast<ULONG>(saltLength), iterations, key,
                                              static_cast<ULONG>(keyLength), 0));
}

bool MakeStoredPassword(std::string_view text, std::string& stored) {
  if (text.empty()) {
    stored.clear();
    return true;
  }
  PasswordForm form;
  form.iterations = kPasswordIterations;
  form.salt.resize(kPasswordSaltBytes);
  form.hash.resize(kPasswordHashBytes);
  if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, form.salt.data(), static_cast<ULONG>(form.salt.size()),
                                      BCRYPT_USE_SYSTEM_PREFERRED_RNG)) ||
      !DerivePbkdf2Sha256(text, form.salt.data(), form.salt.size(), form.iterations, form.hash.data(),
                          form.hash.size()))
    return false;
  stored = FormatStoredPassword(form);
  return true;
}

PasswordCheck CheckTypedPassword(std::string_view typed, std::string& stored) {
  PasswordForm form;
  switch (ParseStoredPassword(stored, form)) {
    case StoredPassword::kNone: return typed.empty() ? PasswordCheck::kMatch : PasswordCheck::kMismatch;
    case StoredPassword::kDamaged: return PasswordCheck::kDamaged;
    case StoredPassword::kPlain: {
      if (!EqualInConstantTime(typed, stored)) return PasswordCheck::kMismatch;
      // Accepted as the older version compared it, and replaced at once so
      // that the plain text leaves the registry.
      std::string upgraded;
      if (MakeStoredPassword(typed, upgraded)) {
        WritePassword(upgraded);
        WipeText(stored);
        stored = std::move(upgraded);
      }
      return PasswordCheck::kMatch;
    }
    case StoredPassword::kHashed: break;
  }
  uint8_t key[kPasswordHashBytes];
  if (!DerivePbkdf2Sha256(typed, form.salt.data(), form.salt.size(), form.iterations, key, sizeof key))
    return PasswordCheck::kMismatch;
  const bool same = EqualInConstantTime(Bytes(key, sizeof key), Bytes(form.hash.data(), form.hash.size()));
  SecureZeroMemory(key, sizeof key);
  return same ? PasswordCheck::kMatch : PasswordCheck::kMismatch;
}
