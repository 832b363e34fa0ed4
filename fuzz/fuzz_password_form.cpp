// Reads arbitrary bytes as a stored settings password and checks that a
// value is sorted the same way as a plain reading of the form would sort it,
// and that a parsed form writes back to a text that parses to the same form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "settings/PasswordForm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  PasswordForm form;
  const StoredPassword kind = ParseStoredPassword(text, form);
  const bool claims = text.substr(0, 6) == "pbkdf2" && text.find('$') != std::string_view::npos;
  Check((kind == StoredPassword::kNone) == text.empty());
  Check((kind == StoredPassword::kPlain) == (!text.empty() && !claims));
  if (kind != StoredPassword::kHashed) {
    Check(form.iterations == 0 && form.salt.empty() && form.hash.empty());
    return 0;
  }
  Check(form.iterations >= kPasswordMinIterations && form.iterations <= kPasswordMaxIterations);
  Check(form.salt.size() >= kPasswordMinSaltBytes && form.salt.size() <= kPasswordMaxSaltBytes);
  Check(form.hash.size() == kPasswordHashBytes);
  const std::string written = FormatStoredPassword(form);
  Check(written.size() == text.size());  // only the case of hex digits may differ
  PasswordForm back;
  Check(ParseStoredPassword(written, back) == StoredPassword::kHashed);
  Check(back.iterations == form.iterations && back.salt == form.salt && back.hash == form.hash);
  Check(FormatStoredPassword(back) == written);
  Check(EqualInConstantTime(written, text) == (written == text));
  return 0;
}
