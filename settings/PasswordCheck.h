// Checking a typed settings password against its stored form, and making
// that form, with PBKDF2-HMAC-SHA256 from the system's cryptography (CNG,
// bcrypt.dll). Every check of the password goes through here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum class PasswordCheck {
  kMatch,
  kMismatch,
  kDamaged,  // the stored value claims to be a hash but cannot be read: nothing can match
};

// PBKDF2 with HMAC-SHA256 through CNG. False when the system refuses.
bool DerivePbkdf2Sha256(std::string_view password, const uint8_t* salt, size_t saltLength, uint32_t iterations,
                        uint8_t* key, size_t keyLength);

// The stored form of text with a fresh random salt and the current
// iteration count; an empty text gives an empty value (no password). False
// (stored unchanged) when the system's generator or derivation fails.
bool MakeStoredPassword(std::string_view text, std::string& stored);

// Compares typed with the stored value exactly (letter case counts; an
// empty value matches only an empty text), in time that does not depend on
// where they differ. A plain-text value from an older version that matches
// is replaced in stored by a new form, which is written to regStrPass at
// once; a failure to write leaves the registry as it was but the check
// still passes.
PasswordCheck CheckTypedPassword(std::string_view typed, std::string& stored);
