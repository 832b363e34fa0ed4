// The stored form of the settings password: one text
//   pbkdf2-sha256$<iterations>$<salt hex>$<hash hex>
// that says how the hash was made, so that the iteration count can be
// raised later without breaking older values. Empty means no password; any
// other text that does not claim to be this form is a password written in
// plain text by an older version. Free of <windows.h>: the derivation
// itself lives in settings/PasswordCheck.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kPasswordMethod = "pbkdf2-sha256";
// 73-90 ms per check on the development machine under Wine, measured with
// bench_password on a quiet machine; raise it as machines get faster.
inline constexpr uint32_t kPasswordIterations = 70000;
// Values outside these bounds are refused as damaged: too few would make a
// stolen hash cheap to attack, too many would hang every check.
inline constexpr uint32_t kPasswordMinIterations = 1000;
inline constexpr uint32_t kPasswordMaxIterations = 10000000;
inline constexpr size_t kPasswordSaltBytes = 16;  // of a new form
inline constexpr size_t kPasswordMinSaltBytes = 16;
inline constexpr size_t kPasswordMaxSaltBytes = 64;
inline constexpr size_t kPasswordHashBytes = 32;  // one SHA-256 block

struct PasswordForm {
  uint32_t iterations = 0;
  std::vector<uint8_t> salt;
  std::vector<uint8_t> hash;
};

enum class StoredPassword {
  kNone,     // empty: no password is set
  kPlain,    // an older version's plain text
  kHashed,   // a valid form, parsed into the result
  kDamaged,  // claims to be a form ("pbkdf2..." with a "$") but is not a valid one
};

// Sorts a stored value and parses a valid form into form (left untouched
// otherwise). Hex digits may be of either case.
StoredPassword ParseStoredPassword(std::string_view stored, PasswordForm& form);

// The text of a form (lower-case hex).
std::string FormatStoredPassword(const PasswordForm& form);

// True when both are equal; the time taken depends only on their lengths.
bool EqualInConstantTime(std::string_view a, std::string_view b);

// Overwrites the whole buffer of text with zeros and empties it, so that a
// typed password does not stay in freed memory.
void WipeText(std::string& text);
