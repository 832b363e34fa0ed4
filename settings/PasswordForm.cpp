#include "settings/PasswordForm.h"

#include <algorithm>

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHex(std::string_view text, size_t minBytes, size_t maxBytes, std::vector<uint8_t>& out) {
  if (text.size() % 2 != 0 || text.size() < 2 * minBytes || text.size() > 2 * maxBytes) return false;
  std::vector<uint8_t> bytes(text.size() / 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    const int hi = HexValue(text[2 * i]), lo = HexValue(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes[i] = static_cast<uint8_t>(hi << 4 | lo);
  }
  out = std::move(bytes);
  return true;
}

// Decimal digits only, no sign, no leading zero, within the bounds.
bool ParseIterations(std::string_view text, uint32_t& out) {
  if (text.empty() || text.size() > 10 || text[0] == '0') return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value < kPasswordMinIterations || value > kPasswordMaxIterations) return false;
  out = static_cast<uint32_t>(value);
  return true;
}

void AppendHex(std::string& out, const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
}

}  // namespace

StoredPassword ParseStoredPassword(std::string_view stored, PasswordForm& form) {
  if (stored.empty()) return StoredPassword::kNone;
  // Only a value that claims to be a form can be a damaged one; anything
  // else is plain text from before the form existed.
  if (stored.substr(0, 6) != "pbkdf2" || stored.find('$') == std::string_view::npos) return StoredPassword::kPlain;

  std::string_view fields[4];
  size_t count = 0, start = 0;
  for (;;) {
    const size_t end = stored.find('$', start);
    if (count == 4) return StoredPassword::kDamaged;  // a fifth field
    fields[count++] = stored.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  PasswordForm parsed;
  if (count != 4 || fields[0] != kPasswordMethod || !ParseIterations(fields[1], parsed.iterations) ||
      !ParseHex(fields[2], kPasswordMinSaltBytes, kPasswordMaxSaltBytes, parsed.salt) ||
      !ParseHex(fields[3], kPasswordHashBytes, kPasswordHashBytes, parsed.hash))
    return StoredPassword::kDamaged;
  form = std::move(parsed);
  return StoredPassword::kHashed;
}

std::string FormatStoredPassword(const PasswordForm& form) {
  std::string out(kPasswordMethod);
  out += '$';
  out += std::to_string(form.iterations);
  out += '$';
  AppendHex(out, form.salt);
  out += '$';
  AppendHex(out, form.hash);
  return out;
}

bool EqualInConstantTime(std::string_view a, std::string_view b) {
  // Every byte of the longer text is looked at, whatever differs where.
  const size_t n = std::max(a.size(), b.size());
  unsigned diff = a.size() == b.size() ? 0u : 1u;
  for (size_t i = 0; i < n; ++i) {
    const unsigned x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0u;
    const unsigned y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0u;
    diff |= x ^ y;
  }
  return diff == 0;
}

void WipeText(std::string& text) {
  text.resize(text.capacity());  // within the buffer: no new allocation
  volatile char* p = text.data();
  for (size_t i = 0; i < text.size(); ++i) p[i] = 0;
  text.clear();
}
